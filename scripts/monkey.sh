#!/usr/bin/env bash
# The demo played by a monkey in headless processes of the sanitizer build: for each seed in
# MONKEY_SEEDS (default "1 2 3 4"), MONKEY_FRAMES frames (default 6000) of clicks anywhere on the
# screen and on the title's buttons, right clicks (the game's menu), wheel turns, held and tapped
# keys (the skip key, the quick-save key, the screen mode's switch, Escape, Return, the arrows) at
# random moments, on a fresh copy of the game each time; the first dialogs are answered at random,
# mostly No and Cancel. A seed fails on any sanitizer report, on an end other than status 0 (the
# monkey may quit through the game's menu, which is an end like any other) or on a run that stops
# showing frames. The seed and the input of a failed run are printed, so that it can be played
# again.
set -euo pipefail
cd "$(dirname "$0")/.."

SEEDS=${MONKEY_SEEDS:-1 2 3 4}
FRAMES=${MONKEY_FRAMES:-6000}
BUILD=${MONKEY_BUILD:-build/test}

source scripts/sanitized_program.sh

# The title's buttons: start (most often), load, settings and the name entry. In the story the
# same clicks advance the text or land on the choice lines.
TITLE=(400:352 400:352 400:352 400:352 400:412 400:472 99:560)
# Keys a player presses; clicks fall anywhere on the 800 x 600 screen and a little past its edges.
KEYS=(Return Space Escape Up Down Left Right Tab Backspace Delete Home End PageUp PageDown
  F1 F2 F3 F4 F5 a s l q)

# One seed's input: an event every 1 to 40 frames.
MakeInput() {
  RANDOM=$1
  # The title's start button first, so that the story gets going.
  local input="55:move:400:352,60:click:400:352" frame=100 ctrl=0 right=0
  while [ "$frame" -lt "$FRAMES" ] && [ ${#input} -lt 120000 ]; do
    local x=$((RANDOM % 840 - 20)) y=$((RANDOM % 640 - 20)) event
    case $((RANDOM % 16)) in
      0 | 1 | 2 | 3 | 4 | 5) event="$frame:click:$x:$y" ;;
      6) event="$frame:move:$x:$y" ;;
      7) if [ $right -eq 0 ]; then event="$frame:move:$x:$y,$frame:down:right" right=1
         else event="$frame:up:right" right=0; fi ;;
      8) event="$frame:wheel:$((RANDOM % 2 ? 1 : -1))" ;;
      9) if [ $ctrl -eq 0 ]; then event="$frame:keydown:Left Ctrl" ctrl=1
         else event="$frame:keyup:Left Ctrl" ctrl=0; fi ;;
      10)
        # The quick save (Ctrl+F1), or now and then the screen mode's switch (Alt+Enter).
        if [ $((RANDOM % 4)) -ne 0 ]; then
          event="$frame:keydown:Left Ctrl,$frame:key:F1,$((frame + 1)):keyup:Left Ctrl" ctrl=0
        else
          event="$frame:keydown:Left Alt,$frame:key:Return,$((frame + 1)):keyup:Left Alt"
        fi ;;
      11 | 12)
        # A button of the title, mostly start, so that the monkey does not stay on the title:
        # the pointer moves over it first, as a player's does.
        local at=${TITLE[$((RANDOM % ${#TITLE[@]}))]}
        event="$frame:move:$at,$((frame + 5)):click:$at" frame=$((frame + 5)) ;;
      *) event="$frame:key:${KEYS[$((RANDOM % ${#KEYS[@]}))]}" ;;
    esac
    input+="${input:+,}$event"
    frame=$((frame + 1 + RANDOM % 40))
  done
  echo "$input"
}

# Answers to the first dialogs that come, mostly No and Cancel so that a run seldom ends at the
# first question whether to quit; later ones take their default buttons.
MakeAnswers() {
  RANDOM=$1
  local answers="" buttons=(7 7 7 2 2 1 6)
  for ((i = 0; i < 12; ++i)); do answers+="${answers:+,}${buttons[$((RANDOM % ${#buttons[@]}))]}"; done
  echo "$answers"
}

failed=0
for seed in $SEEDS; do
  rm -rf "$work/game" "$work/home"
  cp -r "$BUILD/demo/game" "$work/game"
  mkdir -p "$work/home"
  input=$(MakeInput "$seed")
  env XDG_RUNTIME_DIR="$work/home" XDG_DATA_HOME="$work/home" BRIMWOLD_HEADLESS=1 \
    BRIMWOLD_HEADLESS_FRAMES="$FRAMES" BRIMWOLD_HEADLESS_INPUT="$input" \
    BRIMWOLD_HEADLESS_ANSWERS="$(MakeAnswers "$seed")" \
    BRIMWOLD_HEADLESS_HASHES="$(seq -s, 100 100 "$FRAMES")" \
    "$PROGRAM" /L "$work/game" >"$work/out" 2>"$work/errors" &
  pid=$!
  # The game may refuse the close that ends the run (an answer of No to its question): once it
  # has shown its frames it gets five seconds, then the signal that closes it as its window's
  # close button does, and a second one fifteen seconds later, which ends it at once. One still
  # running a minute after its last frame hangs.
  deadline=$((SECONDS + FRAMES / 10 + 120)) shown_at=0 status=0 signals=0 hung=0
  while kill -0 "$pid" 2>/dev/null; do
    if grep -qs "^frame $FRAMES " "$work/out"; then
      [ $shown_at -ne 0 ] || shown_at=$SECONDS
      waited=$((SECONDS - shown_at))
      due=$((signals == 0 ? 5 : 20))
      if [ $signals -lt 2 ] && [ $waited -ge $due ]; then
        kill -TERM "$pid" 2>/dev/null || true
        signals=$((signals + 1))
      fi
      [ $waited -lt 60 ] || { hung=1; kill -KILL "$pid" 2>/dev/null || true; }
    elif [ $SECONDS -ge $deadline ]; then
      hung=1
      kill -KILL "$pid" 2>/dev/null || true
    fi
    sleep 1
  done
  wait "$pid" || status=$?
  pid=
  reached=$(awk '/^frame / { f = $2 } END { print f + 0 }' "$work/out")
  # Closed by the signals after the last frame: the run itself went through.
  [ $shown_at -eq 0 ] || [ $hung -ne 0 ] || status=0
  if SanitizerReported "$work/errors" ||
    [ "$status" -ne 0 ]; then
    echo "monkey: seed $seed FAILED (status $status, $reached of $FRAMES frames shown)" >&2
    ShowReports "$work/errors" >&2
    echo "monkey: input: $input" >&2
    failed=$((failed + 1))
  else
    echo "monkey: seed $seed passed ($reached of $FRAMES frames shown)"
  fi
done
[ $failed -eq 0 ] || { echo "monkey: $failed seeds FAILED" >&2; exit 1; }
echo "monkey: passed"
