#!/usr/bin/env bash
# Regular-expression runs (-r) on the 256 MiB English-like file of bench/make_data.sh,
# in whole-file and in line-by-line mode, side by side with sed -E, perl -pe, sd
# and python3 re.sub (whole file in memory) doing the same replacement, with the wall
# time and peak memory (/usr/bin/time -v) of each run. Every command writes a file,
# and quorve's results are checked against sed's.
#
#   bench/run_regex.sh [data-file]
#
# QUORVE     the executable (default: build-release/quorve, built here if missing)
# DATA       the input (default: the first argument, else bench/data/english-256m.txt)
set -euo pipefail
cd "$(dirname "$0")/.."

QUORVE=${QUORVE:-build-release/quorve}
DATA=${1:-${DATA:-bench/data/english-256m.txt}}
OUT_DIR=${OUT_DIR:-bench/data/regex-out}
mkdir -p "$OUT_DIR"

source bench/common.sh
prepare_run
command -v sd >/dev/null || scripts/install-missing sd >/dev/null

# quorve writes CR LF line ends and one more line end at the end of its output;
# apart from that the bytes must be sed's.
same_as_sed() {
  local quorve_out=$1 sed_out=$2
  if ! cmp -s -n "$(stat -c %s "$sed_out")" <(tr -d '\r' <"$quorve_out") "$sed_out"; then
    echo "WARNING: $quorve_out and $sed_out differ"
  fi
}

python_sub() {  # expression, replacement, input, output
  python3 -c 'import re, sys
data = open(sys.argv[3], "rb").read()
open(sys.argv[4], "wb").write(re.sub(sys.argv[1].encode(), sys.argv[2].encode(), data))' "$@"
}
export -f python_sub

# The same replacement for every tool, one case per index.
TITLES=('word with group, $1 template' 'alternation of three words' 'case-insensitive (?i)')
PAIRS=('(cat)=[$1]' 'cat|dog|bird=X' '(?i)the=X')
SED_SCRIPTS=('s/(cat)/[\1]/g' 's/cat|dog|bird/X/g' 's/the/X/gI')
PERL_SCRIPTS=('s/(cat)/[$1]/g' 's/cat|dog|bird/X/g' 's/the/X/gi')
SD_EXPRESSIONS=('(cat)' 'cat|dog|bird' '(?i)the')
SD_REPLACEMENTS=('[${1}]' 'X' 'X')
PYTHON_EXPRESSIONS=('(cat)' 'cat|dog|bird' '(?i)the')
PYTHON_REPLACEMENTS=('[\1]' 'X' 'X')

size=$(du -h "$DATA" | cut -f1)
echo "== -r on $DATA ($size): whole-file and line-by-line mode beside sed, perl, sd and python"
printf '%-52s %10s  %12s\n' "run" "wall" "peak memory"
for n in "${!PAIRS[@]}"; do
  echo "-- ${TITLES[$n]}"
  pair=${PAIRS[$n]}
  measure "quorve -r '$pair' (whole file)" "$QUORVE" -r "$pair" "-o=$OUT_DIR/w-$n.txt" "$DATA"
  measure "quorve -l -r '$pair' (line by line)" "$QUORVE" -q -l -r "$pair" \
    "-o=$OUT_DIR/l-$n.txt" "$DATA"
  measure "sed -E '${SED_SCRIPTS[$n]}'" sh -c 'sed -E "$1" "$2" >"$3"' _ "${SED_SCRIPTS[$n]}" \
    "$DATA" "$OUT_DIR/s-$n.txt"
  measure "perl -pe '${PERL_SCRIPTS[$n]}'" sh -c 'perl -pe "$1" "$2" >"$3"' _ \
    "${PERL_SCRIPTS[$n]}" "$DATA" "$OUT_DIR/p-$n.txt"
  measure "sd '${SD_EXPRESSIONS[$n]}'" sh -c 'sd "$1" "$2" <"$3" >"$4"' _ \
    "${SD_EXPRESSIONS[$n]}" "${SD_REPLACEMENTS[$n]}" "$DATA" "$OUT_DIR/d-$n.txt"
  measure "python3 re.sub('${PYTHON_EXPRESSIONS[$n]}')" bash -c 'python_sub "$@"' _ \
    "${PYTHON_EXPRESSIONS[$n]}" "${PYTHON_REPLACEMENTS[$n]}" "$DATA" "$OUT_DIR/y-$n.txt"
  same_as_sed "$OUT_DIR/w-$n.txt" "$OUT_DIR/s-$n.txt"
  same_as_sed "$OUT_DIR/l-$n.txt" "$OUT_DIR/s-$n.txt"
  cmp -s "$OUT_DIR/d-$n.txt" "$OUT_DIR/s-$n.txt" || echo "WARNING: sd and sed differ"
  rm -f "$OUT_DIR"/*-"$n".txt
done
