#!/usr/bin/env bash
# Expressions that make a backtracking matcher take exponential or quadratic
# time, at growing sizes, in whole-file and line-by-line mode, beside perl,
# sed -E and sd doing the same replacement. Each run writes a file and is cut
# off after LIMIT seconds ("> LIMIT s" then stands for its time).
#
#   bench/run_regex_linear.sh
#
# QUORVE  the executable (default: build-release/quorve, built here if missing)
# BEFORE  another quorve to run beside it (say, a build from before RE2), if set
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
# "razor"; the corpus has no other z), and lines of 4096 bytes: "abab...a c", so
# that a matcher cannot skip a line for want of a "c".
make_inputs() {
  local mb=$1
  [[ -s $WORK/prose-$mb.txt ]] ||
    head -c $((mb * 1024 * 1024)) "$DATA" | sed 's/river/razor/g' >"$WORK/prose-$mb.txt"
  [[ -s $WORK/abab-$mb.txt ]] || python3 -c '
import sys
line = "ab" * 2046 + "a c\n"
count = int(sys.argv[1]) * 1024 * 1024 // len(line)
sys.stdout.write(line * count)' "$mb" >"$WORK/abab-$mb.txt"
}

# One run, cut off after LIMIT seconds: wall time and peak memory, or why not.
timed() {
  local label=$1
  shift
  local log rc=0
  log=$(mktemp)
  /usr/bin/time -v timeout "$LIMIT" "$@" 2>"$log" >/dev/null || rc=$?
  if ((rc == 124)); then
    printf '%-48s %10s\n' "$label" "> $LIMIT s"
  elif ((rc != 0)); then
    printf '%-48s %10s  (exit %d: %s)\n' "$label" \
      "$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log")" "$rc" \
      "$(grep -m1 -v '^\s' "$log" | cut -c1-60)"
  else
    printf '%-48s %10s  %8.1f MiB\n' "$label" \
      "$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log")" \
      "$(awk -F': ' '/Maximum resident set size/ {print $2 / 1024}' "$log")"
  fi
  rm -f "$log"
}

# A pair on one input: quorve in both modes, then perl, sed -E and sd.
run_case() {
  local expression=$1 input=$2 tag=$3
  local out=$WORK/out.txt
  timed "quorve -r $tag (whole file)" "$QUORVE" -r "$expression=X" "-o=$out" "$input"
  timed "quorve -l -r $tag (line by line)" "$QUORVE" -q -l -r "$expression=X" "-o=$out" "$input"
  if [[ -n ${BEFORE:-} ]]; then
    timed "before: quorve -r $tag" "$BEFORE" -r "$expression=X" "-o=$out" "$input"
    timed "before: quorve -l -r $tag" "$BEFORE" -q -l -r "$expression=X" "-o=$out" "$input"
  fi
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
