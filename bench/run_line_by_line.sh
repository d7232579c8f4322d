#!/usr/bin/env bash
# Line-by-line mode on the 256 MiB English-like file of bench/make_data.sh, side by
# side with sed, perl -pe and awk gsub doing the same work, with the wall time and
# peak memory (/usr/bin/time -v) of each run. Every command writes a file. After
# each quorve run and the sed run doing its work, the line "sed / quorve" gives how
# many times longer sed took, in wall and in CPU (user + system) time; the machine's
# load average is shown at the start and the end, since other work on the machine
# stretches wall times.
#
#   bench/run_line_by_line.sh [data-file]
#
# QUORVE     the executable (default: build-release/quorve, built here if missing)
# DATA       the input (default: the first argument, else bench/data/english-256m.txt)
# ROUNDS     how often the first case runs, quorve and sed in turn (default 3)
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
echo "== line-by-line mode, $DATA ($size), load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-44s %10s  %12s\n' "run" "wall" "peak memory"

# Call after a quorve run (wall and CPU kept in QUORVE_WALL, QUORVE_CPU) and then
# the sed run doing the same work.
QUORVE_WALL=0
QUORVE_CPU=0
keep_quorve_times() {
  QUORVE_WALL=$MEASURED_WALL
  QUORVE_CPU=$MEASURED_CPU
}
sed_ratio() {
  awk -v sw="$MEASURED_WALL" -v sc="$MEASURED_CPU" -v qw="$QUORVE_WALL" -v qc="$QUORVE_CPU" \
    'BEGIN {printf "%-48s wall %.2fx, cpu %.2fx\n", "  sed / quorve", sw / qw, sc / qc}'
}

# One replacement both ways: quorve's output differs from sed's only by its CR LF
# line ends and the empty line read at the end of the input.
same_as_sed() {
  local quorve_out=$1 sed_out=$2
  if ! cmp -s -n "$(stat -c %s "$sed_out")" <(tr -d '\r' <"$quorve_out") "$sed_out"; then
    echo "WARNING: $quorve_out and $sed_out differ"
  fi
}

for ((round = 1; round <= ${ROUNDS:-3}; ++round)); do
  measure "quorve -l -c cat=dog" "$QUORVE" -q -l -c cat=dog "-o=$OUT_DIR/q1.txt" "$DATA"
  keep_quorve_times
  measure "sed s/cat/dog/g" sh -c 'sed "s/cat/dog/g" "$1" >"$2"' _ "$DATA" "$OUT_DIR/s1.txt"
  sed_ratio
done
measure "perl -pe s/cat/dog/g" sh -c 'perl -pe "s/cat/dog/g" "$1" >"$2"' _ "$DATA" "$OUT_DIR/p1.txt"
measure "awk gsub(cat,dog)" sh -c 'awk "{gsub(/cat/,\"dog\"); print}" "$1" >"$2"' _ "$DATA" \
  "$OUT_DIR/a1.txt"
same_as_sed "$OUT_DIR/q1.txt" "$OUT_DIR/s1.txt"

measure "quorve -l cat=dog (any case)" "$QUORVE" -q -l cat=dog "-o=$OUT_DIR/q2.txt" "$DATA"
keep_quorve_times
measure "sed s/cat/dog/gI" sh -c 'sed "s/cat/dog/gI" "$1" >"$2"' _ "$DATA" "$OUT_DIR/s2.txt"
sed_ratio
same_as_sed "$OUT_DIR/q2.txt" "$OUT_DIR/s2.txt"

measure "quorve -l -c the=THE (dense)" "$QUORVE" -q -l -c the=THE "-o=$OUT_DIR/q3.txt" "$DATA"
keep_quorve_times
measure "sed s/the/THE/g" sh -c 'sed "s/the/THE/g" "$1" >"$2"' _ "$DATA" "$OUT_DIR/s3.txt"
sed_ratio
measure "perl -pe s/the/THE/g" sh -c 'perl -pe "s/the/THE/g" "$1" >"$2"' _ "$DATA" "$OUT_DIR/p3.txt"
measure "awk gsub(the,THE)" sh -c 'awk "{gsub(/the/,\"THE\"); print}" "$1" >"$2"' _ "$DATA" \
  "$OUT_DIR/a3.txt"
same_as_sed "$OUT_DIR/q3.txt" "$OUT_DIR/s3.txt"

measure "quorve -l -c three pairs" "$QUORVE" -q -l -c cat=dog the=a and=or "-o=$OUT_DIR/q4.txt" \
  "$DATA"
keep_quorve_times
measure "sed three expressions" \
  sh -c 'sed -e s/cat/dog/g -e s/the/a/g -e s/and/or/g "$1" >"$2"' _ "$DATA" "$OUT_DIR/s4.txt"
sed_ratio
same_as_sed "$OUT_DIR/q4.txt" "$OUT_DIR/s4.txt"

measure "quorve -l -m=^The -m" "$QUORVE" -q -l "-m=^The" -m "-o=$OUT_DIR/q5.txt" "$DATA"
keep_quorve_times
measure "sed -n /^The/p" sh -c 'sed -n "/^The/p" "$1" >"$2"' _ "$DATA" "$OUT_DIR/s5.txt"
sed_ratio
measure "awk /^The/" sh -c 'awk "/^The/" "$1" >"$2"' _ "$DATA" "$OUT_DIR/a5.txt"
same_as_sed "$OUT_DIR/q5.txt" "$OUT_DIR/s5.txt"

measure "quorve -l -r (cat|dog)=[\$1]" "$QUORVE" -q -l -r '(cat|dog)=[$1]' "-o=$OUT_DIR/q6.txt" \
  "$DATA"
keep_quorve_times
measure "sed -E s/(cat|dog)/[\\1]/g" sh -c 'sed -E "s/(cat|dog)/[\\1]/g" "$1" >"$2"' _ "$DATA" \
  "$OUT_DIR/s6.txt"
sed_ratio
measure "perl -pe s/(cat|dog)/[\$1]/g" sh -c 'perl -pe "s/(cat|dog)/[\$1]/g" "$1" >"$2"' _ \
  "$DATA" "$OUT_DIR/p6.txt"
same_as_sed "$OUT_DIR/q6.txt" "$OUT_DIR/s6.txt"

# --keep-eol: the same LF line ends as sed, so the two outputs are the same bytes.
measure "quorve -l -c --keep-eol cat=dog" "$QUORVE" -q -l -c --keep-eol cat=dog \
  "-o=$OUT_DIR/q7.txt" "$DATA"
keep_quorve_times
measure "sed s/cat/dog/g" sh -c 'sed "s/cat/dog/g" "$1" >"$2"' _ "$DATA" "$OUT_DIR/s7.txt"
sed_ratio
cmp -s "$OUT_DIR/q7.txt" "$OUT_DIR/s7.txt" || echo "WARNING: $OUT_DIR/q7.txt and $OUT_DIR/s7.txt differ"
rm -f "$OUT_DIR"/*.txt

if [[ ${BIG:-0} == 1 ]]; then
  big=$OUT_DIR/input-1g.txt
  for _ in 1 2 3 4; do cat "$DATA"; done >"$big"
  echo "== $big ($(du -h "$big" | cut -f1))"
  measure "quorve -l -c cat=dog (1 GiB)" "$QUORVE" -q -l -c cat=dog "-o=$OUT_DIR/big.txt" "$big"
  keep_quorve_times
  measure "sed s/cat/dog/g (1 GiB)" sh -c 'sed "s/cat/dog/g" "$1" >"$2"' _ "$big" "$OUT_DIR/sbig.txt"
  sed_ratio
  rm -f "$big" "$OUT_DIR"/*.txt
fi
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
