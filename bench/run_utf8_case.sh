#!/usr/bin/env bash
# Case-insensitive search for a word with a letter beyond ASCII under a UTF-8
# locale, side by side with GNU sed's case-insensitive replace and with quorve's
# ASCII-only search over the same file. The input is the 256 MiB corpus of
# bench/make_data.sh with "window" turned into "müller" and "letter" into "MÜLLER"
# (so both cases of the word occur); it is made for the run and deleted at the
# end. Every command writes a file on the same disk and runs RUNS times, the
# commands taking turns. Reported: median wall time, median CPU time (user +
# system), peak memory, and the wall time as a ratio to sed's and to the ASCII
# search's.
#
#   bench/run_utf8_case.sh
#
# QUORVE    the executable (default: build-release/quorve, built here if missing)
# RUNS      runs per command (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."

QUORVE=${QUORVE:-build-release/quorve}
RUNS=${RUNS:-5}
DATA=bench/data/english-256m.txt
INPUT=bench/data/english-256m-umlaut.txt
OUT=bench/data/utf8-out.txt
RESULTS=$(mktemp)
TIMES=$(mktemp)
trap 'rm -f "$RESULTS" "$TIMES" "$OUT" "$INPUT"' EXIT

source bench/common.sh
prepare_run
LC_ALL=C sed 's/window/müller/g; s/letter/MÜLLER/g' "$DATA" >"$INPUT"
export LC_ALL=C.UTF-8

echo "== müller, any case ($(($(stat -c %s "$INPUT") / 1048576)) MiB; \
$(grep -c -i müller "$INPUT") lines with it; load average $(cut -d' ' -f1-3 /proc/loadavg))"
commands=(
  "quorve müller|$QUORVE -q müller=Schmidt $INPUT $OUT"
  "quorve -l müller|$QUORVE -q -l müller=Schmidt $INPUT $OUT"
  "quorve -r (?i)müller|$QUORVE -q -r '(?i)müller=Schmidt' $INPUT $OUT"
  "quorve garden (ASCII)|$QUORVE -q garden=Schmidt $INPUT $OUT"
  "sed müller gI|sed 's/müller/Schmidt/gI' $INPUT > $OUT"
)
for ((run = 1; run <= RUNS; run++)); do
  for entry in "${commands[@]}"; do
    name=${entry%%|*}
    rm -f "$OUT"
    /usr/bin/time -f '%e %U %S %M' -o "$TIMES" bash -c "${entry#*|}" >/dev/null 2>&1 ||
      echo "  $name failed"
    echo "$name|$(cat "$TIMES")" >>"$RESULTS"
  done
done
python3 - "$RESULTS" <<'PY'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    name, times = line.rstrip("\n").split("|")
    wall, user, system, rss = times.split()
    rows.setdefault(name, []).append((float(wall), float(user) + float(system), int(rss)))
median = lambda name, i: statistics.median(r[i] for r in rows[name])
sed = median("sed müller gI", 0)
ascii = median("quorve garden (ASCII)", 0)
print("| command | wall | CPU | peak memory | vs sed | vs ASCII search |")
print("|---|---|---|---|---|---|")
for name in rows:
    wall, cpu = median(name, 0), median(name, 1)
    peak = max(r[2] for r in rows[name]) / 1024
    print(f"| {name} | {wall:.2f} s | {cpu:.2f} s | {peak:.0f} MiB | {wall / sed:.2f}x | {wall / ascii:.2f}x |")
PY
