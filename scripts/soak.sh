#!/usr/bin/env bash
# The demo story played over and over in one headless process of the sanitizer build, for
# SOAK_MINUTES (default 10): the skip key held, the title's start button clicked at the start of
# each round, and a click every SOAK_CLICK_EVERY frames at a choice line (the first line in even
# rounds, the second in odd ones), which advances the text and takes the choice when one shows.
# Each round is SOAK_ROUND_FRAMES frames and must end back on the title; the program prints the
# frame's hash at each round's end, when its resident memory is read, and 60 frames after each
# start click, when the story must be showing. Fails when the memory after the last round differs
# from that after the first by 5 % or more, when a round ends elsewhere than on the title the
# first round ended on, when a round shows the title where its story should be, or on any
# sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."

MINUTES=${SOAK_MINUTES:-10}
ROUND=${SOAK_ROUND_FRAMES:-600}
CLICK_EVERY=${SOAK_CLICK_EVERY:-50}
BUILD=${SOAK_BUILD:-build/test}
# The 800 x 600 title and story screen: the start button, the heights of the two choice lines, a
# spot with nothing under it for the pointer to rest on.
START="400:352"
# The frame of a round, 60 after its start click, at which the story shows.
STORY_AT=120
CHOICES=(267 318)
REST="790:10"

fail() {
  echo "soak: FAILED: $*" >&2
  exit 1
}

source scripts/sanitized_program.sh
cp -r "$BUILD/demo/game" "$work/game"
mkdir -p "$work/home"

# Input and hash frames for as many rounds as the switch's length allows (an environment string
# holds at most 128 KiB); the run is stopped when the time is up, normally long before the last.
# The choice list takes a click only after the pointer moved over it, so each click comes after a
# move to a point of the line other than the last one.
input="2:keydown:Left Ctrl"
hashes=""
rounds=0
while [ ${#input} -lt 120000 ]; do
  base=$((rounds * ROUND))
  choice=${CHOICES[$((rounds % 2))]}
  input+=",$((base + 55)):move:$START,$((base + 60)):click:$START"
  nudge=-5
  for ((f = base + 100; f < base + ROUND - 100; f += CLICK_EVERY)); do
    at="400:$((choice + nudge))"
    input+=",$f:move:$at,$((f + 3)):click:$at"
    nudge=$((-nudge))
  done
  input+=",$((base + ROUND - 60)):move:$REST"
  rounds=$((rounds + 1))
  hashes+="${hashes:+,}$((base + STORY_AT)),$((rounds * ROUND))"
done

echo "soak: $MINUTES minutes, rounds of $ROUND frames (at most $rounds), $PROGRAM"
mkfifo "$work/out"
# The address sanitizer holds freed blocks back (256 MB by default) and a round frees far more,
# so the resident figure would climb until that store is full: a small one keeps it out of the
# comparison.
env XDG_RUNTIME_DIR="$work/home" XDG_DATA_HOME="$work/home" BRIMWOLD_HEADLESS=1 \
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=8" \
  BRIMWOLD_HEADLESS_INPUT="$input" BRIMWOLD_HEADLESS_HASHES="$hashes" \
  "$PROGRAM" /L "$work/game" >"$work/out" 2>"$work/errors" &
pid=$!
exec 3<"$work/out"

rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0; }

deadline=$((SECONDS + MINUTES * 60))
first_rss=0 last_rss=0 first_hash="" played=0 strays=0 stories=()
while [ $SECONDS -lt $deadline ]; do
  if ! read -r -t $((deadline - SECONDS)) -u 3 line; then break; fi
  case $line in
    "frame "*" hash "*) ;;
    *) continue ;;
  esac
  hash=${line##* }
  frame=${line#frame }
  frame=${frame%% *}
  if [ $((frame % ROUND)) -ne 0 ]; then
    stories+=("$hash")
    continue
  fi
  now=$(rss)
  played=$((played + 1))
  if [ $played -eq 1 ]; then
    first_rss=$now first_hash=$hash
    echo "soak: round 1 ended at $(date +%T): VmRSS $first_rss kB"
  else
    [ "$hash" = "$first_hash" ] || strays=$((strays + 1))
  fi
  last_rss=$now
  if [ $played -eq $rounds ]; then break; fi
done
exec 3<&-

# Ends the game as its window's close button does, so that the leak check runs at the exit.
status=0
if kill -0 "$pid" 2>/dev/null; then
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" || status=$?
else
  wait "$pid" || status=$?
fi
pid=

[ $played -lt $rounds ] || echo "soak: the scripted rounds ran out before the time was up"
echo "soak: $played rounds played; VmRSS after the first $first_rss kB, after the last $last_rss kB"
if SanitizerReported "$work/errors"; then
  ShowReports "$work/errors" >&2
  fail "a sanitizer report"
fi
[ "$status" -eq 0 ] || {
  tail -20 "$work/errors" >&2
  fail "the game ended with status $status"
}
[ $played -ge 2 ] || fail "fewer than two rounds played: no figures to compare"
[ $strays -eq 0 ] || fail "$strays of $played rounds did not end on the first round's title frame"
idle=0
for story in "${stories[@]}"; do [ "$story" != "$first_hash" ] || idle=$((idle + 1)); done
[ $idle -eq 0 ] || fail "$idle rounds showed the title where their story should have been"
growth=$(awk -v a="$first_rss" -v b="$last_rss" 'BEGIN { d = (b - a) / a * 100; printf "%.2f", d }')
echo "soak: resident memory changed by $growth %"
awk -v g="$growth" 'BEGIN { exit !(g < 5 && g > -5) }' || fail "resident memory changed by 5 % or more"
echo "soak: passed"
