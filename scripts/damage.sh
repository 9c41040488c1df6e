#!/usr/bin/env bash
# The demo's story played on damaged copies of its game folder, in headless processes of the
# sanitizer build: each file of the game and each member of its packs in turn (DAMAGE_ONLY, a
# pattern of names, narrows them), damaged each way of DAMAGE_KINDS (default "empty half flips
# words"):
#   empty  the file emptied, or the member's bytes all zero;
#   half   the file cut to half its length, or the member's second half zeroed;
#   flips  one bit in a hundred bytes flipped at random, once per seed of DAMAGE_SEEDS (default
#          "1 2 3");
#   words  one 32-bit word of the first 64 bytes set to -1, 0x7FFFFFFF or 0x80000000 (sizes,
#          counts and offsets live there), once per seed.
# The story is played as the story bench plays it, DAMAGE_FRAMES frames (default 2540), JOBS runs
# at a time. A damaged game may refuse to start or end early, with a message; a run fails on any
# sanitizer report, on an end by a signal, on a run that stops showing frames, and on one that
# ends early with status 0 and nothing said. A failed run's damage is printed, so that it can be
# made again.
set -euo pipefail
cd "$(dirname "$0")/.."

KINDS=${DAMAGE_KINDS:-empty half flips words}
SEEDS=${DAMAGE_SEEDS:-1 2 3}
FRAMES=${DAMAGE_FRAMES:-2540}
ONLY=${DAMAGE_ONLY:-}
BUILD=${DAMAGE_BUILD:-build/test}

source scripts/sanitized_program.sh
cmake --build "$BUILD" -j "${JOBS:-$(nproc)}" --target vfa

# The title's start button, a click on the text every 120 frames (on the choice list's first
# line when one is up) and a quick save in the second scene.
input="55:move:400:352,60:click:400:352"
for ((f = 200; f < FRAMES - 40; f += 120)); do
  input+=",$((f - 3)):move:390:262,$((f - 2)):move:400:268,$f:click:400:268"
done
input+=",905:keydown:Left Ctrl,905:key:F1,906:keyup:Left Ctrl"

# What to damage: "FILE" for a file, "PACK#INDEX" for a member of a pack.
targets=()
while IFS= read -r file; do
  targets+=("$file")
  if [[ $file == *.VFA ]]; then
    while read -r index; do targets+=("$file#$index"); done < <(
      "$BUILD/tools/vfa" list "$BUILD/demo/game/$file" | awk 'NR > 1 { print $1 }')
  fi
done < <(cd "$BUILD/demo/game" && find . -type f ! -path './SAVEDATA/*' | sed 's|^\./||' | sort)

# Damages target in the game folder game: kind, seed.
Damage() {
  local game=$1 target=$2 kind=$3 seed=$4 file=${2%%#*} from=0 size
  size=$(stat -c %s "$game/$file")
  if [[ $target == *#* ]]; then
    read -r from size < <("$BUILD/tools/vfa" list "$game/$file" |
      awk -v i="${target#*#}" 'NR > 1 && $1 == i { print $2, $3 }')
  elif [ "$kind" = empty ]; then
    : >"$game/$file"
    return
  elif [ "$kind" = half ]; then
    truncate -s $((size / 2)) "$game/$file"
    return
  fi
  python3 - "$game/$file" "$from" "$size" "$kind" "$seed" <<'EOF'
import random, struct, sys
path, start, size, kind, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], int(sys.argv[5])
data = bytearray(open(path, 'rb').read())
pick = random.Random(seed * 7919 + start)
if size > 0:
    if kind in ('empty', 'half'):
        first = start if kind == 'empty' else start + size // 2
        data[first:start + size] = bytes(start + size - first)
    elif kind == 'flips':
        for _ in range(max(1, size // 100)):
            data[start + pick.randrange(size)] ^= 1 << pick.randrange(8)
    elif kind == 'words' and size >= 4:
        at = start + 4 * pick.randrange(min(16, size // 4))
        data[at:at + 4] = struct.pack('<I', pick.choice([0xFFFFFFFF, 0x7FFFFFFF, 0x80000000]))
open(path, 'wb').write(data)
EOF
}

# One run: prints "ok ..." or "FAILED ..." and the run's end.
Play() {
  local target=$1 kind=$2 seed=$3 dir status=0
  dir=$(mktemp -d "$work/run.XXXX")
  cp -r "$BUILD/demo/game" "$dir/game"
  rm -rf "$dir/game/SAVEDATA" && mkdir -p "$dir/home"
  Damage "$dir/game" "$target" "$kind" "$seed"
  timeout -s KILL $((FRAMES / 10 + 120)) env XDG_RUNTIME_DIR="$dir/home" \
    XDG_DATA_HOME="$dir/home" BRIMWOLD_HEADLESS=1 BRIMWOLD_HEADLESS_FRAMES="$FRAMES" \
    BRIMWOLD_HEADLESS_INPUT="$input" BRIMWOLD_HEADLESS_HASHES="$(seq -s, 100 100 $((FRAMES - 1))),$FRAMES" \
    "$PROGRAM" /L "$dir/game" >"$dir/out" 2>"$dir/errors" || status=$?
  local reached why=""
  reached=$(awk '/^frame / { f = $2 } END { print f + 0 }' "$dir/out")
  if SanitizerReported "$dir/errors"; then
    why="a sanitizer report"
  elif [ "$status" -ge 128 ]; then
    why="ended by signal $((status - 128))"
  elif [ "$status" -eq 0 ] && [ "$reached" -lt "$FRAMES" ] && [ ! -s "$dir/errors" ]; then
    why="ended early without a word"
  fi
  local what="$target $kind seed $seed: status $status, $reached of $FRAMES frames"
  if [ -n "$why" ]; then
    echo "FAILED $what: $why"
    ShowReports "$dir/errors"
  elif [ "$reached" -lt "$FRAMES" ]; then
    echo "ok $what; said: $(head -c 300 "$dir/errors" | tr '\n' ' ')"
  else
    echo "ok $what"
  fi
  rm -rf "$dir"
}

runs=()
for target in "${targets[@]}"; do
  [ -z "$ONLY" ] || [[ $target == $ONLY ]] || continue
  for kind in $KINDS; do
    case $kind in
      flips | words) for seed in $SEEDS; do runs+=("$target|$kind|$seed"); done ;;
      *) runs+=("$target|$kind|0") ;;
    esac
  done
done

echo "damage: ${#runs[@]} runs over ${#targets[@]} files and pack members"
: >"$work/results"
for run in "${runs[@]}"; do
  IFS='|' read -r target kind seed <<<"$run"
  while [ "$(jobs -rp | wc -l)" -ge "${JOBS:-$(nproc)}" ]; do wait -n || true; done
  Play "$target" "$kind" "$seed" >>"$work/results" &
done
wait
grep -v "^ok " "$work/results" || true
grep "^ok .*; said: " "$work/results" | sort || true
# How the runs ended: played through, or ended early with a status.
awk '/^ok / { sub(/; said: .*/, ""); n = split($0, w, " "); s = w[n - 4]; sub(",", "", s);
              k = (w[n - 3] == w[n - 1]) ? "played through" : "ended early, status " s; c[k]++ }
     END { for (k in c) printf "damage: %d %s\n", c[k], k }' "$work/results" | sort
failed=$(grep -c "^FAILED " "$work/results" || true)
[ "$failed" -eq 0 ] || { echo "damage: $failed runs FAILED" >&2; exit 1; }
echo "damage: passed"
