// Label: optimised
// The vector set's stretched rows against the plain walks: the same bytes at 1:1, at whole and
// uneven ratios, mirrored, from steppers entered part-way, and where source and target overlap.
#include "graphics/pixel/stretch_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "graphics/pixel/blend_kernels.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/pixel_kernels.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

std::vector<uint32_t> RandomPixels(std::mt19937& rng, size_t count) {
  std::vector<uint32_t> pixels(count);
  for (uint32_t& p : pixels) p = rng();
  return pixels;
}

TEST(StretchCopyVector, GivesThePlainWalksBytes) {
  struct Ratio {
    int srcW, srcH, dstW, dstH;
  };
  const Ratio ratios[] = {{40, 9, 40, 9},  {20, 5, 40, 15},  {40, 9, 27, 6},
                          {13, 7, 50, 21}, {33, 12, 33, 25}, {1, 1, 37, 3}};
  constexpr int kPad = 3;
  std::mt19937 rng(11);
  for (bool wide : {false, true}) {
    ScopedWideVectors pin(wide);
    for (const Ratio& r : ratios) {
      for (bool mirrored : {false, true}) {
        for (bool partWay : {false, true}) {
          StretchStepper st = MakeStretchStepper(r.srcW, r.srcH, r.dstW, r.dstH);
          if (partWay) {
            st.xError = -1 - int32_t(rng() % uint32_t(r.dstW));
            st.yError = -1 - int32_t(rng() % uint32_t(r.dstH));
          }
          // A stepper entered part-way may carry one pixel further: a row of room either side.
          const std::vector<uint32_t> src = RandomPixels(rng, size_t(r.srcW + kPad) * (r.srcH + 2));
          std::vector<uint32_t> plain = RandomPixels(rng, size_t(r.dstW + kPad) * r.dstH);
          std::vector<uint32_t> vector = plain;
          const uint32_t* from = src.data() + (r.srcW + kPad) + (mirrored ? r.srcW : 0);
          const ptrdiff_t pitch = ptrdiff_t{r.srcW + kPad} * 4;
          (mirrored ? StretchMirrorCopyRows32 : StretchCopyRows32)(plain.data(), from, kPad * 4,
                                                                   pitch, r.dstW, r.dstH, st);
          (mirrored ? StretchMirrorCopyRows32Mmx : StretchCopyRows32Mmx)(
              vector.data(), from, kPad * 4, pitch, r.dstW, r.dstH, st);
          ASSERT_EQ(plain, vector)
              << r.srcW << "x" << r.srcH << " onto " << r.dstW << "x" << r.dstH
              << (mirrored ? " mirrored" : "") << (partWay ? " part-way" : "") << ", wide " << wide;
        }
      }
    }
  }
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
