#!/usr/bin/env bash
# Fails when a source drops a result marked [[nodiscard]]. clang finds drops gcc lets through
# (the arms of a conditional, calls through a base, among others), so every unit of the engine,
# its tests, tools, benchmarks and fuzz targets is parsed once with clang, syntax only, every
# other warning off. The standard headers are parsed once into a precompiled header; the units run
# in parallel (JOBS=<n> to change how many). Given sources, it parses those only.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
out=build/dropped-results
mkdir -p "$out"
imgui_backends="$(pkg-config --variable=includedir imgui)/backends"
# shellcheck disable=SC2207 # the flags are words
flags=(-std=c++20 -I"$PWD/src" -I"$imgui_backends"
  $(pkg-config --cflags sdl2 freetype2 fontconfig harfbuzz imgui vorbisfile libavformat libavcodec \
    libavutil libswscale libswresample pixman-1 lua5.4 libpng)
  -Wno-everything -Werror=unused-result
  -I"$PWD/tests" -I"$PWD/tools" -I"$PWD/fuzz")
# The paths the build gives the tests and tools (plug-ins, the program, the demo game) matter to
# their runs only: here they are empty texts.
while read -r name; do flags+=(-D"$name=\"\"")
done < <(grep -rhoE '\b[A-Z][A-Z0-9_]+="' --include=CMakeLists.txt --include='*.cmake' \
  tests bench fuzz tools cmake | sed 's/="$//' | LC_ALL=C sort -u)
# Every standard header the sources include, and the test and benchmark libraries', once.
grep -rhoE '^#include <([a-z_]+|(gtest|gmock|benchmark)/[a-z_]+\.h)>' src tests tools bench fuzz |
  LC_ALL=C sort -u > "$out/std.h"
clang++ "${flags[@]}" -x c++-header "$out/std.h" -o "$out/std.h.pch"
list_sources() {
  if [ $# -gt 0 ]; then printf '%s\0' "$@"
  else find src tests tools bench fuzz -name '*.cpp' -print0 | LC_ALL=C sort -z; fi
}
if ! list_sources "$@" |
  xargs -0 -P "$jobs" -n 4 clang++ "${flags[@]}" -fsyntax-only -include-pch "$out/std.h.pch"; then
  echo "check-dropped-results: a result marked [[nodiscard]] is dropped (above): handle it, or" \
    "cast it to (void) with the reason beside it" >&2
  exit 1
fi
echo "check-dropped-results: no result dropped"
