#!/bin/sh
# Builds the expression fuzzer with clang's libFuzzer and AddressSanitizer,
# straight from the sources, and runs it when asked:
#
#   fuzz/build.sh [--time=SECONDS] [--runs=COUNT] [SECONDS]
#
# --time ends the run after that many seconds, --runs after that many inputs
# (whichever comes first); a bare number is --time. Without either it only
# builds. A run that finds a fault stops with its reproducer in build-fuzz/ and
# a non-zero exit code.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build-fuzz"
seconds=""
runs=""
for arg in "$@"; do
  case $arg in
    --time=*) seconds=${arg#--time=} ;;
    --runs=*) runs=${arg#--runs=} ;;
    *[!0-9]* | "") echo "usage: fuzz/build.sh [--time=SECONDS] [--runs=COUNT] [SECONDS]" >&2; exit 2 ;;
    *) seconds=$arg ;;
  esac
done
if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: fuzzer not built" >&2
  exit 0
fi
mkdir -p "$out/corpus" "$out/generated/faststrings"
src="$root/src"
# The case-folding table that caseless UTF-8 letters of an expression follow, made
# as the build makes it.
cmake -DINPUT=/usr/share/unicode/CaseFolding.txt \
  -DOUTPUT="$out/generated/faststrings/case_folding.inc" -P "$root/cmake/case_folding.cmake"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer \
  -I"$src" -I"$out/generated" \
  "$root/fuzz/regex_fuzzer.cpp" \
  "$src/regex/case_map.cpp" "$src/regex/parser.cpp" "$src/regex/lowering.cpp" \
  "$src/regex/engine_choice.cpp" "$src/regex/line_break_view.cpp" "$src/regex/literal_engine.cpp" \
  "$src/faststrings/fast_strings.cpp" "$src/faststrings/window_scan.cpp" \
  "$src/faststrings/unicode_case.cpp" "$src/platform/utf8.cpp" \
  "$src/regex/backtracking_engine.cpp" "$src/regex/linear_engine.cpp" \
  "$src/regex/regex_errors.cpp" "$src/regex/compiled_expression.cpp" \
  "$src/base/exceptions.cpp" "$src/platform/code_page.cpp" "$src/platform/posix/system.cpp" \
  $(pkg-config --cflags --libs libpcre2-8 re2) -o "$out/regex_fuzzer"
echo "built $out/regex_fuzzer"
# A few seeds so that the run starts from the language's shapes.
for seed in 'a|b' '(a)\1' '[a-z]+?' 'x{2,3}' '(?i)ab' '(?m)^$' '\x{41}' '(?#c)' '(?x) a # c' \
  '(?m)^\s*$' '(\w|\s)*z' '\xe9|\xe9b' '(a{0,1})+' '(?m)\r$|^\n' 'ab|(a)|b'; do
  printf '%s' "$seed" > "$out/corpus/$(printf '%s' "$seed" | md5sum | cut -c1-12)"
done
[ -z "$seconds" ] && [ -z "$runs" ] && exit 0
set -- -timeout=10 -max_len=128 -artifact_prefix="$out/"
[ -n "$seconds" ] && set -- "$@" -max_total_time="$seconds"
[ -n "$runs" ] && set -- "$@" -runs="$runs"
"$out/regex_fuzzer" "$@" "$out/corpus"
