#!/usr/bin/env bash
# Whole-file mode on a 256 MiB English-like file, side by side with GNU sed, perl,
# python and cat (the floor), timed with hyperfine; then the peak memory of each
# run from /usr/bin/time -v. Every command writes a file on the same disk.
#
#   bench/run.sh
#
# QUORVE   the executable (default: build-release/quorve, built here if missing)
# RUNS     runs per command (default 10)
# At the end the line-by-line, regular-expression and write-back benchmarks run, when present
# (WHOLE_FILE_ONLY=1 leaves them out).
set -euo pipefail
cd "$(dirname "$0")/.."

QUORVE=${QUORVE:-build-release/quorve}
RUNS=${RUNS:-10}
DATA_DIR=bench/data
LF_FILE=$DATA_DIR/english-256m.txt
CRLF_FILE=$DATA_DIR/english-256m-crlf.txt
OUT=$DATA_DIR/whole-file-out.txt
RESULTS=$DATA_DIR/whole-file-results
mkdir -p "$RESULTS"

install_missing() {
  local command=$1 package=$2
  if ! command -v "$command" >/dev/null 2>&1; then
    echo "installing $package"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq "$package" >/dev/null
  fi
}
install_missing hyperfine hyperfine
[[ -x /usr/bin/time ]] || install_missing /usr/bin/time time

if [[ ! -s $LF_FILE || ! -s $CRLF_FILE ]]; then
  bench/make_data.sh
fi

if [[ ! -x $QUORVE ]]; then
  cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVE_TESTS=OFF >/dev/null
  cmake --build build-release --target quorve -j2 >/dev/null
  QUORVE=build-release/quorve
fi

PY_REPLACE='import sys; d = open(sys.argv[1], "rb").read(); sys.stdout.buffer.write(d.replace(b"cat", b"dog"))'
PY_REPLACE_I='import re, sys; d = open(sys.argv[1], "rb").read(); sys.stdout.buffer.write(re.sub(rb"(?i)cat", b"dog", d))'
PY_CRLF='import sys; d = open(sys.argv[1], "rb").read(); sys.stdout.buffer.write(d.replace(b"\r\n", b"\n"))'

# name|command pairs of one comparison
run_case() {
  local title=$1
  shift
  local args=()
  local entry
  for entry in "$@"; do
    args+=(-n "${entry%%|*}" "${entry#*|}")
  done
  echo
  echo "== $title"
  hyperfine --warmup 1 --runs "$RUNS" --style basic \
    --export-markdown "$RESULTS/${title// /-}.md" "${args[@]}"
}

run_case "case-sensitive cat to dog" \
  "quorve -c cat=dog|$QUORVE -c cat=dog $LF_FILE > $OUT" \
  "sed s/cat/dog/g|sed 's/cat/dog/g' $LF_FILE > $OUT" \
  "perl -pe|perl -pe 's/cat/dog/g' $LF_FILE > $OUT" \
  "python3 bytes.replace|python3 -c '$PY_REPLACE' $LF_FILE > $OUT" \
  "cat|cat $LF_FILE > $OUT"

run_case "case-insensitive cat to dog" \
  "quorve cat=dog|$QUORVE cat=dog $LF_FILE > $OUT" \
  "sed s/cat/dog/gI|sed 's/cat/dog/gI' $LF_FILE > $OUT" \
  "perl -pe /gi|perl -pe 's/cat/dog/gi' $LF_FILE > $OUT" \
  "python3 re (?i)|python3 -c '$PY_REPLACE_I' $LF_FILE > $OUT"

run_case "CR LF file with the pair CR LF to LF" \
  "quorve \\r\\n=\\n|$QUORVE '\\r\\n=\\n' $CRLF_FILE > $OUT" \
  "sed s/\\r\$//|sed 's/\\r\$//' $CRLF_FILE > $OUT" \
  "perl -pe s/\\r\\n/\\n/|perl -pe 's/\\r\\n/\\n/' $CRLF_FILE > $OUT" \
  "python3 bytes.replace|python3 -c '$PY_CRLF' $CRLF_FILE > $OUT" \
  "cat|cat $CRLF_FILE > $OUT"

run_case "unix line ends to an output file" \
  "quorve --unix cat=dog in out|$QUORVE --unix cat=dog $LF_FILE $OUT" \
  "quorve --unix -c cat=dog in out|$QUORVE --unix -c cat=dog $LF_FILE $OUT" \
  "sed s/cat/dog/gI|sed 's/cat/dog/gI' $LF_FILE > $OUT" \
  "sed s/cat/dog/g|sed 's/cat/dog/g' $LF_FILE > $OUT"

echo
echo "== peak memory (maximum resident set size; the input is $(($(stat -c %s "$LF_FILE") / 1048576)) MiB)"
peak() {
  local name=$1 command=$2
  local kib
  kib=$(/usr/bin/time -v bash -c "$command" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}')
  printf '%-36s %8d MiB\n' "$name" $((kib / 1024))
}
peak "quorve -c cat=dog" "$QUORVE -c cat=dog $LF_FILE > $OUT"
peak "quorve cat=dog" "$QUORVE cat=dog $LF_FILE > $OUT"
peak "quorve \\r\\n=\\n (CR LF file)" "$QUORVE '\\r\\n=\\n' $CRLF_FILE > $OUT"
peak "quorve --unix cat=dog in out" "$QUORVE --unix cat=dog $LF_FILE $OUT"
peak "quorve a=bbbb (longer replacement)" "$QUORVE a=bbbb $LF_FILE > $OUT"
peak "sed s/cat/dog/g" "sed 's/cat/dog/g' $LF_FILE > $OUT"
peak "python3 bytes.replace" "python3 -c '$PY_REPLACE' $LF_FILE > $OUT"
rm -f "$OUT"

[[ ${WHOLE_FILE_ONLY:-0} == 1 ]] && exit 0
for other in bench/run_whole_file.sh bench/run_line_by_line.sh bench/run_regex.sh bench/run_write_back.sh; do
  if [[ -x $other ]]; then
    echo
    echo "== $other"
    QUORVE=$QUORVE "$other"
  elif [[ -f $other ]]; then
    echo
    echo "== $other"
    QUORVE=$QUORVE bash "$other"
  fi
done
