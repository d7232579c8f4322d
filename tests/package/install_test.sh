#!/usr/bin/env bash
# `cmake --install` into a temporary prefix: the files land where they belong,
# and the installed program, man page and completion work.
# Usage: install_test.sh BUILD_FOLDER VERSION SOURCE_FOLDER
set -uo pipefail
build=$1
version=$2
source=$3
. "$(dirname "$0")/check_installed.sh"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
if ! cmake --install "$build" --prefix "$prefix" >/dev/null; then
  echo "FAIL: cmake --install $build --prefix $prefix" >&2
  exit 1
fi
check_installed_tree "$prefix" "$version"
check_every_option_completed "$completion_file" "$source/src/app/command_line_parser.cpp"
((failures == 0)) && echo "installed tree: all checks passed"
((failures == 0))
