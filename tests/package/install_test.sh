#!/usr/bin/env bash
# `cmake --install` into a temporary prefix: the files land where they belong,
# and the installed program, man page and completion work.
# Usage: install_test.sh BUILD_FOLDER VERSION
set -uo pipefail
build=$1
version=$2
. "$(dirname "$0")/check_installed.sh"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
if ! cmake --install "$build" --prefix "$prefix" >/dev/null; then
  echo "FAIL: cmake --install $build --prefix $prefix" >&2
  exit 1
fi
check_installed_tree "$prefix" "$version"
((failures == 0)) && echo "installed tree: all checks passed"
((failures == 0))
