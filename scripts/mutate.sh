#!/usr/bin/env bash
# Breaks the engine on purpose, one change at a time, and checks that a test notices each change.
# The changes are listed in tests/mutations.txt (its head says how). For every entry, in a copy of
# the tree, the script replaces the one place the entry names, rebuilds only the test program the
# entry names, runs it (on the entry's filter) and restores the file. An entry is
#   caught     when the program fails, or ends by a signal or the time limit;
#   SURVIVED   when the program passes with the change in place: no test looks at that behaviour;
#   STALE      when its text is not found exactly once in its file (the code moved on);
#   NO BUILD   when the changed code does not compile (the entry proves nothing).
# Before any change, each program named is run once on its filter unchanged: a program that fails
# then makes every entry that names it meaningless, and the run stops.
#   MUTATE_JOBS   copies of the tree working side by side (default: a third of the cores, at least 1)
#   MUTATE_ONLY   a pattern of the files or descriptions to keep (grep -E), for one area
#   MUTATE_LIST   another list (default tests/mutations.txt)
#   MUTATE_BUILD_JOBS  compile jobs for each copy's first build (default: MUTATE_JOBS)
# Ends with 0 only when every entry was caught.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

LIST=${MUTATE_LIST:-tests/mutations.txt}
JOBS=${MUTATE_JOBS:-$(($(nproc) / 3 > 0 ? $(nproc) / 3 : 1))}
ONLY=${MUTATE_ONLY:-}
TIMEOUT=${MUTATE_TIMEOUT:-300}
# Compile jobs for the first build of each copy (the machine is shared).
BUILD_JOBS=${MUTATE_BUILD_JOBS:-$JOBS}
work=$root/build/mutate
start=$(date +%s)

# The copies share the sanitizer build's cache: same flags, and paths that read the same from each
# copy's build folder as from the tree's own.
export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=true

# The entries, one line each: file, find, into, program, filter and what, split by the unit
# separator (0x1F): a tab would let read merge an empty into with its neighbours.
entries=$(
  awk -v only="$ONLY" '
    function flush() {
      if (file != "") {
        line = file "\037" find "\037" into "\037" program "\037" filter "\037" what
        if (only == "" || line ~ only) print line
      }
      file = find = into = program = filter = what = ""; nfind = ninto = 0
    }
    /^[ \t]*$/ { flush(); next }
    /^## / { next }
    /^# / { what = substr($0, 3); next }
    /^in: / { file = substr($0, 5); next }
    /^find: / { find = (nfind++ ? find "\036" : "") substr($0, 7); next }
    /^into: / { into = (ninto++ ? into "\036" : "") substr($0, 7); next }
    /^into:$/ { into = ""; next }
    /^run: / {
      split(substr($0, 6), words, " ")
      program = words[1]; filter = (words[2] == "" ? "*" : words[2]); next
    }
    { printf "mutations: %s:%d: line not understood: %s\n", FILENAME, FNR, $0 > "/dev/stderr"; bad = 1 }
    END { flush(); exit bad }
  ' "$LIST"
)
[ -n "$entries" ] || { echo "mutate: no entries in $LIST${ONLY:+ match $ONLY}"; exit 1; }
mapfile -t lines <<<"$entries"
count=${#lines[@]}
[ "$JOBS" -le "$count" ] || JOBS=$count
echo "== $count changes from $LIST, $JOBS copies of the tree"

# One copy of the tracked tree (as it stands in the work tree) per job, each with its build.
Prepare() {
  local copy=$work/copy$1
  mkdir -p "$copy"
  # Only the files that differ are copied, with the time of the copy: a file put back with an
  # older time than the object built from a change would not be built again.
  rm -rf "$copy/stage" && mkdir -p "$copy/stage" "$copy/tree"
  git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$copy/stage"
  # One process compares them all (a process per file takes minutes on a busy machine).
  (cd "$copy/stage" && find . -type f -print0) | STAGE=$copy/stage TREE=$copy/tree perl -0 -ne '
    use File::Copy; use File::Path qw(make_path); use File::Basename;
    chomp; my ($from, $to) = ("$ENV{STAGE}/$_", "$ENV{TREE}/$_");
    sub Slurp { local $/; open(my $h, "<:raw", $_[0]) or return undef; my $t = <$h>; $t }
    my $old = -f $to ? Slurp($to) : undef;
    next if defined $old && $old eq Slurp($from);
    make_path(dirname($to)); copy($from, $to) or die "mutate: cannot copy $_: $!\n";
  '
  # A file gone from the tree goes from the copy too: the test programs take their sources by glob.
  (cd "$copy/tree" && find . -path ./build -prune -o -type f -print0) |
    STAGE=$copy/stage TREE=$copy/tree perl -0 -ne '
      chomp; unlink("$ENV{TREE}/$_") or die "mutate: cannot remove $_: $!\n" unless -e "$ENV{STAGE}/$_";
    '
  rm -rf "$copy/stage"
  if [ ! -f "$copy/tree/build/test/build.ninja" ]; then
    cmake -S "$copy/tree" -B "$copy/tree/build/test" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1 -DBRIMWOLD_SANITIZE=ON -DBRIMWOLD_WERROR=ON \
      $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache) \
      $(command -v ld.lld >/dev/null && echo -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld) \
      >"$copy/configure.log"
  fi
}

# Runs program on filter in copy; its output goes to log. Answers the program's status.
RunTests() {
  local copy=$1 program=$2 filter=$3 log=$4 path
  path=$(find "$copy/tree/build/test/tests" -maxdepth 1 -type f -name "$program" | head -n 1)
  [ -n "$path" ] || { echo "no program $program" >"$log"; return 127; }
  (cd "$copy/tree/build/test/tests" && timeout "$TIMEOUT" "$path" --gtest_filter="$filter" \
    --gtest_brief=1 >"$log" 2>&1)
}

# Literal replacement of the one occurrence of find by into, in file; answers 3 when find is not
# there exactly once.
Replace() {
  FIND=$2 INTO=$3 perl -0777 -e '
    local $/; my $text = <STDIN>; my ($find, $into) = ($ENV{FIND}, $ENV{INTO});
    s/\x1e/\n/g for $find, $into;
    my $n = () = $text =~ /\Q$find\E/g;
    if ($n != 1) { print $text; exit 3 }
    $text =~ s/\Q$find\E/$into/;
    print $text;
  ' <"$1" >"$1.mutated" && mv "$1.mutated" "$1" || { local s=$?; rm -f "$1.mutated"; return $s; }
}

# Worker job: entries from the shared counter until none is left, a result line each into
# results.job.
Work() {
  local job=$1 copy=$work/copy$1 index file find into program filter what target status result
  : >"$work/results.$job"
  # The copies take the entries one by one from a shared counter, so none waits on another.
  while index=$(flock "$work/next" sh -c 'n=$(cat "$1"); echo $((n + 1)) >"$1"; echo "$n"' _ "$work/next") &&
    [ "$index" -lt "$count" ]; do
    IFS=$'\x1f' read -r file find into program filter what <<<"${lines[$index]}"
    target=$copy/tree/$file
    cp -p "$target" "$work/original.$job"
    if ! Replace "$target" "$find" "$into"; then
      result=STALE
    elif ! cmake --build "$copy/tree/build/test" -j 2 --target "$program" >"$work/build.$job.log" 2>&1; then
      result="NO BUILD"
    else
      status=0
      RunTests "$copy" "$program" "$filter" "$work/run.$job.log" || status=$?
      if [ "$status" -eq 0 ]; then result=SURVIVED; else result=caught; fi
    fi
    cp -p "$work/original.$job" "$target"
    touch "$target"
    printf '%d\t%s\t%s\t%s\n' "$index" "$result" "$file" "$what" >>"$work/results.$job"
    [ "$result" = caught ] || printf '%-9s %s: %s\n' "$result" "$file" "$what"
  done
}

mkdir -p "$work"
# A run with more copies before this one left results of copies this one does not have.
rm -f "$work"/results.*
for ((job = 0; job < JOBS; job++)); do Prepare "$job" & done
wait

# Every program named, built and run unchanged on each filter it is given.
mapfile -t programs < <(printf '%s\n' "${lines[@]}" | cut -d $'\x1f' -f4 | sort -u)
cmake --build "$work/copy0/tree/build/test" -j "$BUILD_JOBS" --target "${programs[@]}" >"$work/build.base.log" 2>&1 ||
  { tail -30 "$work/build.base.log"; echo "mutate: the unchanged tree does not build"; exit 1; }
while IFS=$'\x1f' read -r program filter; do
  if ! RunTests "$work/copy0" "$program" "$filter" "$work/run.base.log"; then
    tail -30 "$work/run.base.log"
    echo "mutate: $program --gtest_filter='$filter' fails on the unchanged tree"
    exit 1
  fi
done < <(printf '%s\n' "${lines[@]}" | cut -d $'\x1f' -f4,5 | sort -u)
echo 0 >"$work/next"
# The first copy starts on its changes at once; each other copy builds its programs first.
for ((job = 0; job < JOBS; job++)); do
  if [ "$job" -eq 0 ]; then
    Work 0 &
  else
    (cmake --build "$work/copy$job/tree/build/test" -j "$BUILD_JOBS" --target "${programs[@]}" >/dev/null 2>&1
      Work "$job") &
  fi
done
wait

caught=$(cat "$work"/results.* | awk -F'\t' '$2 == "caught"' | wc -l)
failed=$((count - caught))
echo "== $count changes in $(($(date +%s) - start)) s: $caught caught, $failed not"
echo "mutate: $caught passed, $failed failed"
[ "$failed" -eq 0 ]
