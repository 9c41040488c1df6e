#!/bin/sh
# Writes the scenario fuzz targets' seed corpora from the sources beside this file.
# usage: make_corpus.sh TOBASM SOBASM OUTDIR   (OUTDIR gets one folder per target)
set -e
here=$(dirname "$0")
out=$3
mkdir -p "$out/tgs_load" "$out/tgs_run" "$out/tgs_log" "$out/tgs_state" "$out/tgs_call_record"
for name in story plain loop; do
  "$1" "$here/$name.tobs" "$out/tgs_load/$name.tob"
  # The code alone: what follows the 20 bytes of a header without labels or messages.
  grep -v -e '^start:' -e '^sub:' -e '^end:' "$here/$name.tobs" | sed -e 's/@end/@0/' -e 's/@start/@0/' \
    -e 's/Call "sub"/Call @0/' > "$out/code.tobs"
  "$1" "$out/code.tobs" "$out/code.tob"
  tail -c +21 "$out/code.tob" > "$out/tgs_run/$name.code"
done
rm -f "$out/code.tobs" "$out/code.tob"
"$1" --oversize-n=1 "$here/story.tobs" "$out/tgs_load/oversize_n.tob"
"$1" --truncate=30 "$here/story.tobs" "$out/tgs_load/truncated.tob"
"$1" "$here/init.tobs" "$out/init.dat"
"$1" "$here/log.tobs" "$out/log.dat"
# One byte giving the table's length in words, the table padded to whole words, then the log.
size=$(wc -c < "$out/init.dat")
words=$(( (size + 3) / 4 ))
{
  printf "\\$(printf %03o "$words")"
  cat "$out/init.dat"
  head -c $((words * 4 - size)) /dev/zero
  cat "$out/log.dat"
} > "$out/tgs_log/init_and_log"
rm -f "$out/init.dat" "$out/log.dat"
"$2" "$here/state.sobs" "$out/tgs_state/state"
"$2" "$here/call_record.sobs" "$out/tgs_call_record/records"
