#!/bin/sh
# Writes the script fuzz targets' seed corpora from the sources beside this file.
# usage: make_corpus.sh SOBASM OUTDIR [RUNDIR [DIFFDIR]]
# RUNDIR gets the code blocks alone (a code file without its magic, relocation area and sizes),
# the input of the target that runs fuzzed code. DIFFDIR gets the same bytes for the target that
# decodes any bytes into a program and compares its interpreted and translated runs.
set -e
here=$(dirname "$0")
for src in "$here"/*.sobs; do
  name=$(basename "$src" .sobs)
  "$1" "$src" "$2/$name.sob"
done
"$1" --bad-terminator "$here/calls.sobs" "$2/bad_terminator.sob"
"$1" --oversize-count=3 "$here/calls.sobs" "$2/oversize_count.sob"
"$1" --truncate=40 "$here/calls.sobs" "$2/truncated.sob"
if [ -n "$3" ]; then
  for name in arith calls switch library; do
    area=$(od -An -tu4 -j4 -N4 "$2/$name.sob" | tr -d ' ')
    tail -c +$((area + 17)) "$2/$name.sob" > "$3/$name.code"
    if [ -n "$4" ]; then cp "$3/$name.code" "$4/$name.code"; fi
  done
fi
