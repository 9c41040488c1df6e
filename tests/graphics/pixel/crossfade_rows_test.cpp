// Label: optimised
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "blend_reference.h"
#include "graphics/pixel/blend_kernels.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using namespace reference;

// The cross-fade row (the old row toward the new one, the old alpha kept) on both vector sets,
// at every opacity, for widths around the vector steps and at every misalignment of the three
// rows, written apart and in place. Padding around the target must stay untouched.
TEST(CrossfadeRowTest, MatchesThePlainLerpAtAnyWidthAndAlignment) {
  BuildBlendTables();
  std::mt19937 rng(62);
  constexpr int kPad = 8;
  for (bool wide : {false, true}) {
    ScopedWideVectors vectors(wide && WideVectorsEnabled());
    for (int round = 0; round < 600; ++round) {
      const int width = round < 40 ? round : int(rng() % 900);
      const int opacity = round < 256 ? round : int(rng() % 256);
      const int dstAt = int(rng() % 8), fromAt = int(rng() % 8), srcAt = int(rng() % 8);
      const bool inPlace = round % 3 == 0;
      std::vector<uint32_t> from(size_t(width + 2 * kPad)), src(from.size()), dst(from.size());
      for (auto* row : {&from, &src, &dst}) {
        for (uint32_t& p : *row) p = uint32_t(rng());
      }
      const uint32_t* oldRow = (inPlace ? dst.data() + dstAt : from.data() + fromAt);
      std::vector<uint32_t> expect = dst;
      for (int x = 0; x < width; ++x) {
        const uint32_t d = oldRow[x], s = src[size_t(srcAt + x)];
        expect[size_t(dstAt + x)] =
            PerChannel(d, [&](int v, int c) { return Lerp(v, Channel(s, c), W(opacity)); });
      }
      OpacityRowOfMmx(dst.data() + dstAt, oldRow, src.data() + srcAt, width, opacity);
      ASSERT_EQ(dst, expect) << (wide ? "256-bit" : "128-bit") << " width " << width << " opacity "
                             << opacity << (inPlace ? " in place" : "");
    }
  }
}

}  // namespace
}  // namespace bw
