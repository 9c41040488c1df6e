#!/bin/sh
# Writes the script fuzz target's seed corpus from the sources beside this file.
# usage: make_corpus.sh SOBASM OUTDIR
set -e
here=$(dirname "$0")
for src in "$here"/*.sobs; do
  name=$(basename "$src" .sobs)
  "$1" "$src" "$2/$name.sob"
done
"$1" --bad-terminator "$here/calls.sobs" "$2/bad_terminator.sob"
"$1" --oversize-count=3 "$here/calls.sobs" "$2/oversize_count.sob"
"$1" --truncate=40 "$here/calls.sobs" "$2/truncated.sob"
