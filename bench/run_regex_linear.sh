#!/usr/bin/env bash
# Expressions that make a backtracking matcher take exponential or quadratic
# time, at growing sizes, in whole-file and line-by-line mode, beside perl,
# sed -E and sd doing the same replacement. Each run writes a file and is cut
# off after LIMIT seconds ("> LIMIT s" then stands for its time).
#
#   bench/run_regex_linear.sh
#
# QUORVE  the executable (default: build-release/quorve, built here if missing)
# SIZES   the input sizes in MB (default: "1 10 100")
# LIMIT   seconds before a run is cut off (default: 60)
set -euo pipefail
cd "$(dirname "$0")/.."

QUORVE=${QUORVE:-build-release/quorve}
DATA=${DATA:-bench/data/english-256m.txt}
SIZES=${SIZES:-1 10 100}
LIMIT=${LIMIT:-60}
WORK=${WORK:-bench/data/linear}
mkdir -p "$WORK"

source bench/common.sh
prepare_run
command -v sd >/dev/null || scripts/install-missing sd >/dev/null

# Inputs: English-like prose with a letter z about once per KiB ("river" becomes
# "razor"; the corpus has no other z), and lines of 4096 "abab..." bytes.
make_inputs() {
  local mb=$1
  [[ -s $WORK/prose-$mb.txt ]] ||
    head -c $((mb * 1024 * 1024)) "$DATA" | sed 's/river/razor/g' >"$WORK/prose-$mb.txt"
  [[ -s $WORK/abab-$mb.txt ]] || python3 -c '
import sys
line = "ab" * 2047 + "a\n"
count = int(sys.argv[1]) * 1024 * 1024 // len(line)
sys.stdout.write(line * count)' "$mb" >"$WORK/abab-$mb.txt"
}

# measure, cut off after LIMIT seconds.
timed() {
  local label=$1
  shift
  measure "$label" timeout "$LIMIT" "$@" || echo "$label: > $LIMIT s (cut off)"
}

# A pair on one input: quorve in both modes, then perl, sed -E and sd.
run_case() {
  local expression=$1 input=$2 tag=$3
  local out=$WORK/out.txt
  timed "quorve -r $tag (whole file)" "$QUORVE" -r "$expression=X" "-o=$out" "$input"
  timed "quorve -l -r $tag (line by line)" "$QUORVE" -q -l -r "$expression=X" "-o=$out" "$input"
  timed "perl -pe $tag" sh -c 'perl -pe "s/$1/X/g" "$2" >"$3"' _ "$expression" "$input" "$out"
  timed "sed -E $tag" sh -c 'sed -E "s/$1/X/g" "$2" >"$3"' _ "$expression" "$input" "$out"
  timed "sd $tag" sh -c 'sd "$1" X <"$2" >"$3"' _ "$expression" "$input" "$out"
  rm -f "$out"
}

printf '%-52s %10s  %12s\n' "run" "wall" "peak memory"
for mb in $SIZES; do
  make_inputs "$mb"
  echo "-- (\\w|\\s)*zzz on $mb MB of prose"
  run_case '(\w|\s)*zzz' "$WORK/prose-$mb.txt" "'(\\w|\\s)*zzz' $mb MB"
  echo "-- (a|b)*c on $mb MB of abab lines"
  run_case '(a|b)*c' "$WORK/abab-$mb.txt" "'(a|b)*c' $mb MB"
done

echo "-- (a|a)*b on a line of 10 000 a (and an x b after them)"
python3 -c 'print("a" * 10000 + "xb")' >"$WORK/a-10000.txt"
run_case '(a|a)*b' "$WORK/a-10000.txt" "'(a|a)*b'"

echo "-- (\\w| )* on one line of 20 MB"
python3 -c '
text = "lorem ipsum dolor sit amet " * (20 * 1024 * 1024 // 27 + 1)
print(text[:20 * 1024 * 1024])' >"$WORK/line-20m.txt"
run_case '(\w| )*' "$WORK/line-20m.txt" "'(\\w| )*' 20 MB line"
