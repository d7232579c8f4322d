#!/usr/bin/env bash
# The cost of writing a file durably: whole-file mode on the 256 MiB English-like
# file of bench/make_data.sh, writing an output file and writing back over a copy
# of the input (-w), timed with hyperfine. Each such run flushes its new file to
# the disk before it renames it, so it ends only when the bytes are there.
#
#   bench/run_write_back.sh
#
# QUORVE   the executable (default: build-release/quorve, built here if missing)
# BEFORE   another executable to time beside it (an older build), optional
# RUNS     runs per command (default 5)
#
# "then sync" cases add a sync after the run: a run that left its bytes in the
# page cache pays for them there, so those cases compare the whole work.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

QUORVE=${QUORVE:-build-release/quorve}
BEFORE=${BEFORE:-}
RUNS=${RUNS:-5}
DATA=bench/data/english-256m.txt
OUT=bench/data/write-back-out.txt
COPY=bench/data/write-back-copy.txt
prepare_run
command -v hyperfine >/dev/null || scripts/install-missing hyperfine

builds=("quorve|$QUORVE")
[[ -n $BEFORE ]] && builds+=("before|$BEFORE")

cases=()
for build in "${builds[@]}"; do
  name=${build%%|*}
  exe=${build#*|}
  cases+=(-n "$name: output file" "$exe --unix cat=dog $DATA $OUT")
  cases+=(-n "$name: output file, then sync" "$exe --unix cat=dog $DATA $OUT && sync")
done
echo "== an output file (it exists: it is replaced)"
cp "$DATA" "$OUT"
hyperfine --warmup 1 --runs "$RUNS" --style basic --export-json bench/data/write-back-file.json "${cases[@]}"

cases=()
for build in "${builds[@]}"; do
  name=${build%%|*}
  exe=${build#*|}
  cases+=(-n "$name: -w" "$exe -w --unix cat=dog $COPY")
  cases+=(-n "$name: -w, then sync" "$exe -w --unix cat=dog $COPY && sync")
done
echo
echo "== -w over a fresh copy of the input"
hyperfine --warmup 1 --runs "$RUNS" --style basic --export-json bench/data/write-back-w.json --prepare "cp $DATA $COPY && sync" "${cases[@]}"
rm -f "$OUT" "$COPY"
