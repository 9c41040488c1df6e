// Label: optimised
// The vector set's stretched rows where source and target overlap; the surface clipping test
// meets them at every ratio, mirrored and clipped.
#include "graphics/pixel/stretch_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "graphics/pixel/blend_kernels.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/pixel_kernels.h"

namespace bw {
namespace {

std::vector<uint32_t> RandomPixels(std::mt19937& rng, size_t count) {
  std::vector<uint32_t> pixels(count);
  for (uint32_t& p : pixels) p = rng();
  return pixels;
}

TEST(StretchCopyVector, OverlappingRowsKeepTheWalksOrder) {
  std::mt19937 rng(12);
  const StretchStepper st = MakeStretchStepper(30, 4, 30, 4);
  std::vector<uint32_t> plain = RandomPixels(rng, 40 * 5), vector = plain;
  // The target starts two pixels into the source: the walk smears, a block copy would not.
  StretchCopyRows32(plain.data() + 2, plain.data(), 40 * 4 - 30 * 4, 40 * 4, 30, 4, st);
  StretchCopyRows32Mmx(vector.data() + 2, vector.data(), 40 * 4 - 30 * 4, 40 * 4, 30, 4, st);
  EXPECT_EQ(plain, vector);
  EXPECT_FALSE(StretchCopyRowsVector(vector.data() + 2, vector.data(), 40, 160, 30, 4, st, false));
}

// At 1:1 across, the stretched blends read the source row in place; a row overlapping its
// target is still read from a copy first.
TEST(StretchBlendRows, StraightRowsGiveTheGatheredBytes) {
  BuildBlendTables();
  std::mt19937 rng(13);
  const StretchStepper st = MakeStretchStepper(37, 3, 37, 3);
  const std::vector<uint32_t> src = RandomPixels(rng, 37 * 3);
  std::vector<uint32_t> straight = RandomPixels(rng, 37 * 3), stretched = straight;
  OpacityRowsMmx(straight.data(), src.data(), 0, 0, 37, 3, 77);
  StretchOpacityRowsMmx(stretched.data(), src.data(), 0, 37 * 4, 37, 3, st, 77);
  EXPECT_EQ(straight, stretched);

  std::vector<uint32_t> row = RandomPixels(rng, 40), expected = row;
  const std::vector<uint32_t> copy(expected.begin(), expected.begin() + 37);
  OpacityRowsMmx(expected.data() + 3, copy.data(), 0, 0, 37, 1, 140);
  StretchOpacityRowsMmx(row.data() + 3, row.data(), 0, 160, 37, 1, st, 140);
  EXPECT_EQ(row, expected);
}

}  // namespace
}  // namespace bw
