#!/usr/bin/env bash
# Line-by-line mode on a large file, side by side with sed, perl -pe and awk gsub
# doing the same replacement, with wall time and peak memory of each run.
#
#   bench/run_line_by_line.sh [data-file]
#
# QUORVE     the executable (default: build-release/quorve, built here if missing)
# DATA       the input (default: the first argument, else bench/data/lines-256M.txt,
#            generated with a fixed seed when it does not exist)
# BIG=1      also run quorve alone on a 1 GiB file (made from the same generator)
set -euo pipefail
cd "$(dirname "$0")/.."

QUORVE=${QUORVE:-build-release/quorve}
DATA=${1:-${DATA:-bench/data/lines-256M.txt}}
OUT_DIR=${OUT_DIR:-bench/data/out}
mkdir -p "$(dirname "$DATA")" "$OUT_DIR"

if [[ ! -x $QUORVE ]]; then
  cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVE_TESTS=OFF >/dev/null
  cmake --build build-release --target quorve -j2 >/dev/null
  QUORVE=build-release/quorve
fi

# Text lines of 20 to 120 words drawn from a small vocabulary, LF line ends, a
# blank line now and then; the same bytes on every run (fixed seed).
make_lines() {
  local target=$1 megabytes=$2
  perl -e '
    srand(20240611);
    my @words = qw(the quick brown fox jumps over lazy dog alpha beta gamma delta
                   error warning info debug request response value key name data);
    my $limit = $ARGV[0] * 1024 * 1024;
    my ($size, $out) = (0, "");
    while ($size < $limit) {
      my $line = "";
      if (rand() >= 0.02) {
        my $count = 20 + int(rand(100));
        $line = join(" ", map { $words[int(rand(@words))] } 1 .. $count);
      }
      $out .= $line . "\n";
      if (length($out) > 1 << 20) { print $out; $size += length($out); $out = ""; }
    }
    print $out;
  ' "$megabytes" >"$target"
}

if [[ ! -s $DATA ]]; then
  echo "generating $DATA (256 MiB, fixed seed)"
  make_lines "$DATA" 256
fi

# One run: label, then the command; prints seconds and peak resident memory.
measure() {
  local label=$1
  shift
  local log
  log=$(mktemp)
  /usr/bin/time -v "$@" 2>"$log" >/dev/null || {
    echo "$label: failed"
    tail -5 "$log"
    rm -f "$log"
    return 1
  }
  local wall rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log")
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
  printf '%-44s %10s  %8.1f MiB\n' "$label" "$wall" "$(awk -v k="$rss" 'BEGIN {print k / 1024}')"
  rm -f "$log"
}

size=$(du -h "$DATA" | cut -f1)
echo "== line-by-line mode, $DATA ($size)"
printf '%-44s %10s  %12s\n' "run" "wall" "peak memory"

measure "quorve -l -c fox=cat" "$QUORVE" -q -l -c fox=cat "-o=$OUT_DIR/q1.txt" "$DATA"
measure "sed s/fox/cat/g" sh -c 'sed "s/fox/cat/g" "$1" >"$2"' _ "$DATA" "$OUT_DIR/s1.txt"
measure "perl -pe s/fox/cat/g" sh -c 'perl -pe "s/fox/cat/g" "$1" >"$2"' _ "$DATA" "$OUT_DIR/p1.txt"
measure "awk gsub(fox,cat)" sh -c 'awk "{gsub(/fox/,\"cat\"); print}" "$1" >"$2"' _ "$DATA" \
  "$OUT_DIR/a1.txt"

measure "quorve -l fox=cat (any case)" "$QUORVE" -q -l fox=cat "-o=$OUT_DIR/q2.txt" "$DATA"
measure "sed s/fox/cat/gI" sh -c 'sed "s/fox/cat/gI" "$1" >"$2"' _ "$DATA" "$OUT_DIR/s2.txt"

measure "quorve -l -c three pairs" "$QUORVE" -q -l -c fox=cat dog=wolf error=fault \
  "-o=$OUT_DIR/q3.txt" "$DATA"
measure "sed three expressions" sh -c 'sed -e s/fox/cat/g -e s/dog/wolf/g -e s/error/fault/g "$1" >"$2"' \
  _ "$DATA" "$OUT_DIR/s3.txt"

measure "quorve -l -m=^the -m" "$QUORVE" -q -l "-m=^the" -m "-o=$OUT_DIR/q4.txt" "$DATA"
measure "sed -n /^the/p" sh -c 'sed -n "/^the/p" "$1" >"$2"' _ "$DATA" "$OUT_DIR/s4.txt"

measure "quorve -l -r (fox|dog)=[\$1]" "$QUORVE" -q -l -r '(fox|dog)=[$1]' "-o=$OUT_DIR/q5.txt" "$DATA"
measure "sed -E s/(fox|dog)/[\\1]/g" sh -c 'sed -E "s/(fox|dog)/[\\1]/g" "$1" >"$2"' _ "$DATA" \
  "$OUT_DIR/s5.txt"

# Same content apart from the CR LF line ends and the empty line read at the end.
if ! cmp -s -n "$(stat -c %s "$OUT_DIR/s1.txt")" <(tr -d '\r' <"$OUT_DIR/q1.txt") "$OUT_DIR/s1.txt"; then
  echo "WARNING: quorve and sed outputs differ for fox=cat"
fi

if [[ ${BIG:-0} == 1 ]]; then
  big=bench/data/lines-1G.txt
  [[ -s $big ]] || make_lines "$big" 1024
  echo "== 1 GiB file"
  measure "quorve -l -c fox=cat (1 GiB)" "$QUORVE" -q -l -c fox=cat "-o=$OUT_DIR/big.txt" "$big"
  rm -f "$OUT_DIR/big.txt"
fi

rm -f "$OUT_DIR"/*.txt
