#!/usr/bin/env bash
# The Debian package made by `cpack -G DEB`: its name, its control fields, its
# files under /usr, and the program, man page and completion taken out of it.
# Usage: deb_test.sh BUILD_FOLDER VERSION
set -uo pipefail
build=$1
version=$2
. "$(dirname "$0")/check_installed.sh"

deb=$build/quorve_${version}_amd64.deb
[[ -f $deb ]] || {
  echo "FAIL: $deb is missing" >&2
  exit 1
}

field() {
  dpkg-deb --field "$deb" "$1"
}
expect_equal "Package" quorve "$(field Package)"
expect_equal "Version" "$version" "$(field Version)"
expect_equal "Architecture" amd64 "$(field Architecture)"
expect_equal "Section" utils "$(field Section)"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
[[ $(field Description) == *"search and replace"* ]] || fail "Description: $(field Description)"

# Depends is what dpkg-shlibdeps found: a versioned entry for every shared library
# the program links, PCRE2's among them.
depends=$(field Depends)
for package in libc6 libpcre2-8-0 libstdc++6; do
  [[ ", $depends" == *", $package (>= "[0-9]* ]] || fail "Depends lacks $package: $depends"
done
for library in $(objdump -p "$build/quorve" | awk '$1 == "NEEDED" {print $2}'); do
  owner=$(dpkg -S "*/$library" 2>/dev/null | head -n1 | cut -d: -f1)
  [[ -z $owner || ", $depends" == *", $owner "* ]] || fail "Depends lacks $owner (for $library): $depends"
done

# Every file lies under /usr.
outside=$(dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -v '^\./$')
expect_equal "files outside /usr" "" "$outside"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
check_installed_tree "$unpacked/usr" "$version"
((failures == 0)) && echo "$deb: all checks passed"
((failures == 0))
