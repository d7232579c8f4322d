#!/usr/bin/env bash
# Line-by-line mode on the 256 MiB English-like file of bench/make_data.sh, side by
# side with sed, perl -pe and awk gsub doing the same work, with the wall time and
# peak memory (/usr/bin/time -v) of each run. Every command writes a file.
#
#   bench/run_line_by_line.sh [data-file]
#
# QUORVE     the executable (default: build-release/quorve, built here if missing)
# DATA       the input (default: the first argument, else bench/data/english-256m.txt)
# BIG=1      also run quorve on a 1 GiB file (the input four times over)
set -euo pipefail
cd "$(dirname "$0")/.."

QUORVE=${QUORVE:-build-release/quorve}
DATA=${1:-${DATA:-bench/data/english-256m.txt}}
OUT_DIR=${OUT_DIR:-bench/data/line-by-line-out}
mkdir -p "$OUT_DIR"

source bench/common.sh
prepare_run

size=$(du -h "$DATA" | cut -f1)
echo "== line-by-line mode, $DATA ($size)"
printf '%-44s %10s  %12s\n' "run" "wall" "peak memory"

# One replacement both ways: quorve's output differs from sed's only by its CR LF
# line ends and the empty line read at the end of the input.
same_as_sed() {
  local quorve_out=$1 sed_out=$2
  if ! cmp -s -n "$(stat -c %s "$sed_out")" <(tr -d '\r' <"$quorve_out") "$sed_out"; then
    echo "WARNING: $quorve_out and $sed_out differ"
  fi
}

measure "quorve -l -c cat=dog" "$QUORVE" -q -l -c cat=dog "-o=$OUT_DIR/q1.txt" "$DATA"
measure "sed s/cat/dog/g" sh -c 'sed "s/cat/dog/g" "$1" >"$2"' _ "$DATA" "$OUT_DIR/s1.txt"
measure "perl -pe s/cat/dog/g" sh -c 'perl -pe "s/cat/dog/g" "$1" >"$2"' _ "$DATA" "$OUT_DIR/p1.txt"
measure "awk gsub(cat,dog)" sh -c 'awk "{gsub(/cat/,\"dog\"); print}" "$1" >"$2"' _ "$DATA" \
  "$OUT_DIR/a1.txt"
same_as_sed "$OUT_DIR/q1.txt" "$OUT_DIR/s1.txt"

measure "quorve -l cat=dog (any case)" "$QUORVE" -q -l cat=dog "-o=$OUT_DIR/q2.txt" "$DATA"
measure "sed s/cat/dog/gI" sh -c 'sed "s/cat/dog/gI" "$1" >"$2"' _ "$DATA" "$OUT_DIR/s2.txt"
same_as_sed "$OUT_DIR/q2.txt" "$OUT_DIR/s2.txt"

measure "quorve -l -c the=THE (dense)" "$QUORVE" -q -l -c the=THE "-o=$OUT_DIR/q3.txt" "$DATA"
measure "sed s/the/THE/g" sh -c 'sed "s/the/THE/g" "$1" >"$2"' _ "$DATA" "$OUT_DIR/s3.txt"
measure "perl -pe s/the/THE/g" sh -c 'perl -pe "s/the/THE/g" "$1" >"$2"' _ "$DATA" "$OUT_DIR/p3.txt"
measure "awk gsub(the,THE)" sh -c 'awk "{gsub(/the/,\"THE\"); print}" "$1" >"$2"' _ "$DATA" \
  "$OUT_DIR/a3.txt"
same_as_sed "$OUT_DIR/q3.txt" "$OUT_DIR/s3.txt"

measure "quorve -l -c three pairs" "$QUORVE" -q -l -c cat=dog the=a and=or "-o=$OUT_DIR/q4.txt" \
  "$DATA"
measure "sed three expressions" \
  sh -c 'sed -e s/cat/dog/g -e s/the/a/g -e s/and/or/g "$1" >"$2"' _ "$DATA" "$OUT_DIR/s4.txt"
same_as_sed "$OUT_DIR/q4.txt" "$OUT_DIR/s4.txt"

measure "quorve -l -m=^The -m" "$QUORVE" -q -l "-m=^The" -m "-o=$OUT_DIR/q5.txt" "$DATA"
measure "sed -n /^The/p" sh -c 'sed -n "/^The/p" "$1" >"$2"' _ "$DATA" "$OUT_DIR/s5.txt"
measure "awk /^The/" sh -c 'awk "/^The/" "$1" >"$2"' _ "$DATA" "$OUT_DIR/a5.txt"
same_as_sed "$OUT_DIR/q5.txt" "$OUT_DIR/s5.txt"

measure "quorve -l -r (cat|dog)=[\$1]" "$QUORVE" -q -l -r '(cat|dog)=[$1]' "-o=$OUT_DIR/q6.txt" \
  "$DATA"
measure "sed -E s/(cat|dog)/[\\1]/g" sh -c 'sed -E "s/(cat|dog)/[\\1]/g" "$1" >"$2"' _ "$DATA" \
  "$OUT_DIR/s6.txt"
measure "perl -pe s/(cat|dog)/[\$1]/g" sh -c 'perl -pe "s/(cat|dog)/[\$1]/g" "$1" >"$2"' _ \
  "$DATA" "$OUT_DIR/p6.txt"
same_as_sed "$OUT_DIR/q6.txt" "$OUT_DIR/s6.txt"
rm -f "$OUT_DIR"/*.txt

if [[ ${BIG:-0} == 1 ]]; then
  big=$OUT_DIR/input-1g.txt
  for _ in 1 2 3 4; do cat "$DATA"; done >"$big"
  echo "== $big ($(du -h "$big" | cut -f1))"
  measure "quorve -l -c cat=dog (1 GiB)" "$QUORVE" -q -l -c cat=dog "-o=$OUT_DIR/big.txt" "$big"
  measure "sed s/cat/dog/g (1 GiB)" sh -c 'sed "s/cat/dog/g" "$1" >"$2"' _ "$big" "$OUT_DIR/sbig.txt"
  rm -f "$big" "$OUT_DIR"/*.txt
fi
