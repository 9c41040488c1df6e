# Sourced by the scripts that play the demo in sanitizer-built runs: configures $BUILD as the
# sanitizer build when it is not yet, builds the program and the demo game in it, sets PROGRAM,
# makes a work folder ($work) and, on exit, stops the program still running as $pid and removes
# the folder. SanitizerReported and ShowReports read a run's errors file.
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
    -DCMAKE_C_FLAGS_DEBUG=-g1 -DBRIMWOLD_SANITIZE=ON -DBRIMWOLD_WERROR=ON \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake --build "$BUILD" -j "${JOBS:-$(nproc)}" --target brimwold demo_game
PROGRAM=$BUILD/src/brimwold

work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Whether a run's errors file holds a sanitizer's report.
SanitizerReported() {
  grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:|WARNING: .*Sanitizer" "$1"
}

# The start of the reports in a run's errors file, or its last lines when it holds none.
ShowReports() {
  grep -E -A30 "ERROR: |runtime error:|WARNING: " "$1" | head -80 || tail -20 "$1"
}
