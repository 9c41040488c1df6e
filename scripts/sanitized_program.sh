# Sourced by the scripts that play the demo in sanitizer-built runs: configures $BUILD as the
# sanitizer build when it is not yet, builds the program and the demo game in it, sets PROGRAM,
# makes a work folder ($work) and, on exit, stops the program still running as $pid and removes
# the folder.
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
