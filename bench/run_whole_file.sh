#!/usr/bin/env bash
# Whole-file mode side by side with sd, GNU sed, perl and the floor (bench/floor:
# read the whole file, LF to CR LF, write, on one thread), on the 256 MiB corpus
# of bench/make_data.sh and on a 2 GiB file made for the run from it (deleted at
# the end). Every command writes a file on the same disk; the -w cases edit a
# fresh copy in place. Each command runs RUNS times, the commands of a case taking
# turns, so a change in the machine's load falls on all of them alike. Reported:
# median wall time, median CPU time (user + system), peak memory, and the wall
# time as a ratio to the floor's and to sd's.
#
#   bench/run_whole_file.sh
#
# QUORVE    the executable (default: build-release/quorve, built here if missing)
# RUNS      runs per command on 256 MiB (default 5); BIG_RUNS on 2 GiB (default 2)
# BIG=0     leaves the 2 GiB file out
set -euo pipefail
cd "$(dirname "$0")/.."

QUORVE=${QUORVE:-build-release/quorve}
RUNS=${RUNS:-5}
BIG_RUNS=${BIG_RUNS:-2}
DATA=bench/data/english-256m.txt
BIG_DATA=bench/data/english-2g.txt
OUT=bench/data/whole-out.txt
WORK=bench/data/whole-work.txt
FLOOR=bench/data/floor
RESULTS=$(mktemp)
TIMES=$(mktemp)
trap 'rm -f "$RESULTS" "$TIMES" "$OUT" "$WORK" "$BIG_DATA"' EXIT

source bench/common.sh
prepare_run
for tool in sd hyperfine; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq "$tool" >/dev/null
  fi
done
g++ -O2 -o "$FLOOR" bench/floor/floor.cpp

# case, runs, input, then name|command entries; a command may use $IN (the input),
# $OUT (a file to write) and $WORK (a fresh copy of the input, for -w).
compare() {
  local title=$1 runs=$2 input=$3
  shift 3
  echo "== $title ($(($(stat -c %s "$input") / 1048576)) MiB; load average $(cut -d' ' -f1-3 /proc/loadavg))"
  for ((run = 1; run <= runs; run++)); do
    local entry
    for entry in "$@"; do
      local name=${entry%%|*} command=${entry#*|}
      rm -f "$OUT"
      [[ $command == *'$WORK'* ]] && cp "$input" "$WORK"
      IN=$input OUT=$OUT WORK=$WORK /usr/bin/time -f '%e %U %S %M' -o "$TIMES" \
        bash -c "$command" >/dev/null 2>&1 || echo "  $name failed"
      echo "$title|$name|$(cat "$TIMES")" >>"$RESULTS"
    done
  done
  python3 - "$RESULTS" "$title" <<'PY'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    title, name, times = line.rstrip("\n").split("|")
    if title != sys.argv[2]:
        continue
    wall, user, system, rss = times.split()
    rows.setdefault(name, []).append((float(wall), float(user) + float(system), int(rss)))
def median(name, i):
    return statistics.median(r[i] for r in rows[name])
floor = median("floor", 0) if "floor" in rows else None
sd = median("sd", 0) if "sd" in rows else None
print(f"| command | wall | CPU | peak memory | vs floor | vs sd |")
print(f"|---|---|---|---|---|---|")
for name in rows:
    wall, cpu = median(name, 0), median(name, 1)
    peak = max(r[2] for r in rows[name]) / 1024
    ratio = lambda base: f"{wall / base:.2f}x" if base else ""
    print(f"| {name} | {wall:.2f} s | {cpu:.2f} s | {peak:.0f} MiB | {ratio(floor)} | {ratio(sd)} |")
PY
  echo
}

whole_file_cases() {
  local input=$1 runs=$2 size=$3
  compare "case-sensitive cat to dog, $size" "$runs" "$input" \
    "quorve|$QUORVE -c cat=dog \$IN \$OUT" \
    "sd|sd -s cat dog < \$IN > \$OUT" \
    "sed|sed 's/cat/dog/g' \$IN > \$OUT" \
    "perl|perl -pe 's/cat/dog/g' \$IN > \$OUT" \
    "floor|$FLOOR \$IN > \$OUT"
  compare "case-insensitive cat to dog, $size" "$runs" "$input" \
    "quorve|$QUORVE cat=dog \$IN \$OUT" \
    "sd|sd -f i cat dog < \$IN > \$OUT" \
    "sed|sed 's/cat/dog/gI' \$IN > \$OUT" \
    "perl|perl -pe 's/cat/dog/gi' \$IN > \$OUT" \
    "floor|$FLOOR \$IN > \$OUT"
  compare "-w: case-sensitive cat to dog in place, $size" "$runs" "$input" \
    "quorve|$QUORVE -w -c cat=dog \$WORK" \
    "sd|sd -s cat dog \$WORK" \
    "sed|sed -i 's/cat/dog/g' \$WORK" \
    "perl|perl -pi -e 's/cat/dog/g' \$WORK" \
    "floor|$FLOOR \$WORK > \$WORK.new && mv \$WORK.new \$WORK"
}

whole_file_cases "$DATA" "$RUNS" "256 MiB"
compare "line ends: --unix, and a longer replacement, 256 MiB" "$RUNS" "$DATA" \
  "quorve --unix|$QUORVE --unix -c cat=dog \$IN \$OUT" \
  "quorve a=bbbb|$QUORVE -c a=bbbb \$IN \$OUT" \
  "quorve --keep-eol|$QUORVE --keep-eol -c cat=dog \$IN \$OUT" \
  "quorve -r|$QUORVE -r cat=dog \$IN \$OUT" \
  "floor|$FLOOR \$IN > \$OUT"

if [[ ${BIG:-1} != 0 ]]; then
  rm -f "$BIG_DATA"
  for _ in 1 2 3 4 5 6 7 8; do cat "$DATA" >>"$BIG_DATA"; done
  whole_file_cases "$BIG_DATA" "$BIG_RUNS" "2 GiB"
fi
