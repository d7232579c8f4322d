#!/usr/bin/env bash
# The cost of a preview: --diff on the 256 MiB CR LF file of bench/make_data.sh
# with a rare word put into every 1000th line (about 3,300 changed lines), against
# the same run writing its output file, timed with hyperfine; peak memory from
# /usr/bin/time.
#
#   bench/run_diff.sh
#
# QUORVE   the executable (default: build-release/quorve, built here if missing)
# RUNS     runs per command (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

QUORVE=${QUORVE:-build-release/quorve}
RUNS=${RUNS:-5}
DATA=bench/data/english-256m-crlf.txt
RARE=bench/data/diff-256m-crlf.txt
OUT=bench/data/diff-out.txt
prepare_run
command -v hyperfine >/dev/null || scripts/install-missing hyperfine

if [[ ! -s $RARE ]]; then
  awk 'NR % 1000 == 0 { sub(/\r$/, ""); print $0 " zebra\r"; next } { print }' "$DATA" >"$RARE"
fi
echo "lines with the word: $(grep -c zebra "$RARE")"

hyperfine --warmup 1 --runs "$RUNS" --style basic --export-json bench/data/diff.json \
  -n "run: zebra=horse to an output file" "$QUORVE -q zebra=horse $RARE $OUT" \
  -n "preview: --diff zebra=horse" "$QUORVE -q --diff zebra=horse $RARE >/dev/null" \
  -n "preview: --diff -w zebra=horse" "$QUORVE -q --diff -w zebra=horse $RARE >/dev/null" \
  -n "run: --stats zebra=horse to an output file" "$QUORVE -q --stats zebra=horse $RARE $OUT"

echo "== peak memory"
measure "run: zebra=horse to an output file" "$QUORVE" -q zebra=horse "$RARE" "$OUT"
measure "--diff zebra=horse" "$QUORVE" -q --diff zebra=horse "$RARE"
measure "--stats zebra=horse to an output file" "$QUORVE" -q --stats zebra=horse "$RARE" "$OUT"
