#!/usr/bin/env bash
# Generates the tree of the many-files benchmark, the same bytes on every run
# (fixed seed): bench/data/many-files/dNN/fNN.txt, 100 folders of 100 files,
# 10 000 files of 10 KiB each, English-like lines with LF line ends and the word
# "cat" about once per 2 KiB (as in bench/make_data.sh).
#
#   bench/make_many_files.sh [--force]
set -euo pipefail
cd "$(dirname "$0")/.."

DATA_DIR=${DATA_DIR:-bench/data}
TREE=$DATA_DIR/many-files
if [[ ${1:-} != --force && -f $TREE/d99/f99.txt ]]; then
  echo "$TREE exists (--force makes it again)"
  exit 0
fi
rm -rf "$TREE"
mkdir -p "$TREE"
echo "generating $TREE (10 000 files of 10 KiB, fixed seed)"
python3 - "$TREE" <<'PYTHON'
import os
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
year off come since against go came right used take three
""".split()

root = sys.argv[1]
random.seed(20261209)
for folder in range(100):
    path = os.path.join(root, "d%02d" % folder)
    os.mkdir(path)
    for number in range(100):
        text = []
        size = 0
        next_cat = random.randint(1000, 3000)
        while size < 10240:
            line = []
            length = random.randint(40, 120)
            line_size = 0
            while line_size < length:
                if size + line_size >= next_cat:
                    word = "cat"
                    next_cat += random.randint(1000, 3000)
                else:
                    word = random.choice(WORDS)
                line.append(word)
                line_size += len(word) + 1
            text.append(" ".join(line) + "\n")
            size += line_size
        data = "".join(text).encode()[:10240]
        data = data[: data.rfind(b"\n") + 1]
        with open(os.path.join(path, "f%02d.txt" % number), "wb") as out:
            out.write(data)
PYTHON
