// Label: optimised
#include "graphics/pixel/rows8_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "blend_reference.h"

namespace bw {
namespace {

TEST(Rows8, BilinearFollowsItsFormulaAndStaysInside) {
  // A 2 x 2 source scaled so that samples fall between and beyond the pixels.
  const uint8_t src[2 * 3] = {0, 200, 77, 100, 40, 77};  // pitch 3, the third byte is padding
  // Starting half a row down, stepping half a pixel and half a row.
  const BilinearStepper st{.xStart = 0,
                           .yFraction = 0x80000000u,
                           .xStep = int64_t{1} << 31,
                           .yStep = int64_t{1} << 31,
                           .sourceColumns = 2,
                           .sourceRows = 2};
  uint8_t dst[4 * 3];
  ScaleRows8Bilinear(dst, src, 0, 3, 4, 3, st);
  auto lerp = [](int p, int q, int f) { return uint8_t(p + ((q - p) * f >> 8)); };
  // Row 0 samples half way between the two rows.
  uint8_t a = lerp(0, 200, 128), b = lerp(100, 40, 128);
  EXPECT_EQ(dst[0], lerp(0, 100, 128));
  EXPECT_EQ(dst[1], lerp(a, b, 128));
  EXPECT_EQ(dst[2], lerp(200, 40, 128)) << "the last column is its own right neighbour";
  EXPECT_EQ(dst[3], lerp(200, 40, 128)) << "beyond the last column, the last column";
  // Row 1 sits on the second row, whose lower neighbour is itself; row 2 is past it.
  EXPECT_EQ(dst[4], 100);
  EXPECT_EQ(dst[5], lerp(100, 40, 128));
  EXPECT_EQ(dst[8], 100);
}

TEST(Rows8, BlurWeighsNeighboursAsTheyWere) {
  std::mt19937 rng(4);
  const int w = 7, h = 5, pitch = 9;
  std::vector<uint8_t> pixels(pitch * h);
  for (auto& p : pixels) p = uint8_t(rng());
  std::vector<uint8_t> before = pixels;
  ASSERT_EQ(BlurRows8(pixels.data(), pitch, w, h), kBlurDone);
  auto at = [&](int x, int y) { return int(before[y * pitch + x]); };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      ASSERT_EQ(pixels[y * pitch + x], reference::SmoothNeighbours(at, x, y, w, h))
          << x << "," << y;
    }
    for (int x = w; x < pitch; ++x) ASSERT_EQ(pixels[y * pitch + x], before[y * pitch + x]);
  }
  std::vector<uint8_t> small(3 * 10, 9);
  EXPECT_EQ(BlurRows8(small.data(), 3, 3, 10), kBlurTooSmall);
  EXPECT_EQ(small, std::vector<uint8_t>(30, 9));
}

}  // namespace
}  // namespace bw
