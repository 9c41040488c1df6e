#!/bin/sh
# The wgx command: every header form and depth turns each sample bitmap into a picture whose
# decoded bitmap encodes to the same bytes again; bad uses and bad files fail.
# usage: wgx_command_test.sh WGX BMPDIR
set -u
wgx=$1 bmps=$2
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
fail=0
# Every source at every depth, the forms turning so that each depth meets each form; the loader's
# own tests take every depth and form in one process.
s=0
for src in rgb1 rgb8 rgb24 fields16; do
  d=0
  for depth in 8 24 32; do
    form=$(( (s + d) % 3 ))
    d=$((d + 1))
    case="$src form $form depth $depth"
    if ! "$wgx" encode "$bmps/$src.bmp" "$work/a.wgx" --form $form --depth $depth ||
       ! "$wgx" decode "$work/a.wgx" "$work/a.bmp" ||
       ! "$wgx" encode "$work/a.bmp" "$work/b.wgx" --form $form --depth $depth; then
      echo "FAIL $case: a step failed"; fail=1; continue
    fi
    cmp -s "$work/a.wgx" "$work/b.wgx" || { echo "FAIL $case: decoding lost pixels"; fail=1; }
  done
  s=$((s + 1))
done
expect_refused() {
  if "$@" 2>/dev/null; then echo "FAIL accepted: $*"; fail=1; fi
}
expect_refused "$wgx"
expect_refused "$wgx" encode "$bmps/rgb24.bmp" "$work/c.wgx" --depth 16
expect_refused "$wgx" encode "$bmps/rgb24.bmp" "$work/c.wgx" --form 3
expect_refused "$wgx" decode "$bmps/rgb24.bmp" "$work/c.bmp"
expect_refused "$wgx" decode "$work/missing.wgx" "$work/c.bmp"
head -c 20 "$work/a.wgx" > "$work/cut.wgx"
expect_refused "$wgx" decode "$work/cut.wgx" "$work/c.bmp"
exit $fail
