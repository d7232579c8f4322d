#!/usr/bin/env bash
# Generates the whole-file benchmark inputs, the same bytes on every run (fixed seed):
#   bench/data/english-256m.txt       256 MiB of English-like lines, LF line ends
#   bench/data/english-256m-crlf.txt  the same lines with CR LF line ends
# Lines hold 40 to 120 characters of common words; the word "cat" comes about once
# per 2 KiB (as "Cat" when it begins a line). No other word contains "cat".
#
#   bench/make_data.sh [--force]
set -euo pipefail
cd "$(dirname "$0")/.."

DATA_DIR=${DATA_DIR:-bench/data}
LF_FILE=$DATA_DIR/english-256m.txt
CRLF_FILE=$DATA_DIR/english-256m-crlf.txt
mkdir -p "$DATA_DIR"

if [[ ${1:-} != --force && -s $LF_FILE && -s $CRLF_FILE ]]; then
  echo "$LF_FILE and $CRLF_FILE exist (--force makes them again)"
  exit 0
fi

echo "generating $LF_FILE and $CRLF_FILE (256 MiB each, fixed seed)"
python3 - "$LF_FILE" "$CRLF_FILE" <<'EOF'
import random
import sys

WORDS = """
the of and to in is was he for it with as his on be at by had are but from or
have an they which one you were her all she there would their we him been has
when who will more no if out so said what up its about into than them can only
other new some could time these two may then do first any my now such like our
over man me even most made after also did many before must through back years
where much your way well down should because each just those people how too
little state good very make world still own see men work long get here between
both life being under never day same another know while last might us great old
year off come since against go came right used take three house morning garden
river window letter market summer winter evening table paper story road water
light night friend mother father child family school money question number point
group problem fact hand place week home head room music voice doctor morning
across yellow green purple silver golden quiet gentle bright simple strong small
""".split()
WORDS = sorted({w for w in WORDS if "cat" not in w.lower()})
assert all(len(w) <= 12 for w in WORDS)

TARGET = 256 * 1024 * 1024
CAT_EVERY = 2048  # bytes, on average

rng = random.Random(20240607)
lf_out = open(sys.argv[1], "wb")
crlf_out = open(sys.argv[2], "wb")
written = 0
lines = []
pool = []
while written < TARGET:
    if len(pool) < 64:
        pool = rng.choices(WORDS, k=200000)
    limit = rng.randint(40, 102)
    words = []
    length = -1
    while length < limit:
        word = pool.pop()
        words.append(word)
        length += len(word) + 1
    # One line of about 73 bytes carries a "cat" with this chance.
    if rng.random() < (length + 2) / CAT_EVERY:
        words.insert(rng.randrange(len(words) + 1), "cat")
    words[0] = words[0].capitalize()
    line = " ".join(words) + "."
    lines.append(line)
    written += len(line) + 1
    if len(lines) >= 20000:
        block = "\n".join(lines) + "\n"
        lf_out.write(block.encode("ascii"))
        crlf_out.write(block.replace("\n", "\r\n").encode("ascii"))
        lines = []
if lines:
    block = "\n".join(lines) + "\n"
    lf_out.write(block.encode("ascii"))
    crlf_out.write(block.replace("\n", "\r\n").encode("ascii"))
lf_out.close()
crlf_out.close()
EOF
ls -l "$LF_FILE" "$CRLF_FILE"
