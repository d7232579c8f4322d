#!/bin/sh
# Builds the expression fuzzer with clang's libFuzzer and AddressSanitizer,
# straight from the sources. Usage: fuzz/build.sh [seconds-to-run]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build-fuzz"
if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: fuzzer not built" >&2
  exit 0
fi
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer \
  -I"$root/src" \
  "$root/fuzz/regex_fuzzer.cpp" \
  "$root/src/regex/case_map.cpp" "$root/src/regex/parser.cpp" "$root/src/regex/lowering.cpp" \
  "$root/src/regex/regex_errors.cpp" "$root/src/regex/compiled_expression.cpp" \
  "$root/src/base/exceptions.cpp" "$root/src/platform/code_page.cpp" \
  $(pkg-config --cflags --libs libpcre2-8) -o "$out/regex_fuzzer"
echo "built $out/regex_fuzzer"
# A few seeds so that the run starts from the language's shapes.
for seed in 'a|b' '(a)\1' '[a-z]+?' 'x{2,3}' '(?i)ab' '(?m)^$' '\x{41}' '(?#c)' '(?x) a # c'; do
  printf '%s' "$seed" > "$out/corpus/$(printf '%s' "$seed" | md5sum | cut -c1-12)"
done
if [ $# -ge 1 ]; then
  "$out/regex_fuzzer" -max_total_time="$1" -timeout=10 -max_len=128 "$out/corpus"
fi
