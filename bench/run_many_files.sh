#!/usr/bin/env bash
# Many small files written back: the tree of bench/make_many_files.sh (10 000
# files of 10 KiB, "cat" about once per 2 KiB, so every file changes), "cat"
# replaced by "dog" in every file, timed with hyperfine over a fresh copy of the
# tree before each run:
#
#   quorve, one thread     quorve -q -c -w --keep-eol --jobs=1 --recursive cat=dog TREE
#   quorve, default        the same without --jobs= (four files per processor)
#   quorve, one per core   --jobs=<processors>
#   sed, batched           find TREE -name '*.txt' -exec sed -i s/cat/dog/g {} +
#   sed, one per file      find TREE -name '*.txt' -exec sed -i s/cat/dog/g {} \;
#   sd                     find TREE -name '*.txt' -exec sd cat dog {} +   (when installed)
#
#   bench/run_many_files.sh
#
# QUORVE   the executable (default: build-release/quorve, built here if missing)
# RUNS     runs per command (default 5)
#
# -c and --keep-eol make quorve's result the bytes sed writes (sed matches the
# case and keeps LF line ends); the script checks that before timing. quorve
# flushes every new file to the disk before it takes the old one's place (and
# each folder once at the end); sed and sd do not flush at all, so the "then
# sync" cases add a sync after them to compare the whole work.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

QUORVE=${QUORVE:-build-release/quorve}
RUNS=${RUNS:-5}
TREE=bench/data/many-files
WORK=bench/data/many-files-work
bench/make_many_files.sh
# The tree is this benchmark's data (prepare_run makes none when it is there).
DATA=$TREE/d99/f99.txt
prepare_run
command -v hyperfine >/dev/null || scripts/install-missing hyperfine
processors=$(nproc)

fresh_copy="rm -rf $WORK && cp -a $TREE $WORK && sync"

# The same result as sed's, file for file.
eval "$fresh_copy"
"$QUORVE" -q -c -w --keep-eol --recursive cat=dog "$WORK"
mv "$WORK" "$WORK.quorve"
eval "$fresh_copy"
find "$WORK" -name '*.txt' -exec sed -i s/cat/dog/g {} +
diff -r "$WORK" "$WORK.quorve" >/dev/null || { echo "quorve and sed differ" >&2; exit 1; }
rm -rf "$WORK.quorve"

cases=(
  -n "quorve, one thread" "$QUORVE -q -c -w --keep-eol --jobs=1 --recursive cat=dog $WORK"
  -n "quorve, default" "$QUORVE -q -c -w --keep-eol --recursive cat=dog $WORK"
  -n "quorve, --jobs=$processors" "$QUORVE -q -c -w --keep-eol --jobs=$processors --recursive cat=dog $WORK"
  -n "sed, batched" "find $WORK -name '*.txt' -exec sed -i s/cat/dog/g {} +"
  -n "sed, batched, then sync" "find $WORK -name '*.txt' -exec sed -i s/cat/dog/g {} + && sync"
  -n "sed, one per file" "find $WORK -name '*.txt' -exec sed -i s/cat/dog/g {} \\;"
)
if command -v sd >/dev/null; then
  cases+=(-n "sd, batched" "find $WORK -name '*.txt' -exec sd cat dog {} +")
  cases+=(-n "sd, batched, then sync" "find $WORK -name '*.txt' -exec sd cat dog {} + && sync")
else
  echo "sd is not installed: its cases are left out"
fi
hyperfine --runs "$RUNS" --style basic --export-json bench/data/many-files.json \
  --prepare "$fresh_copy" "${cases[@]}"
rm -rf "$WORK"
