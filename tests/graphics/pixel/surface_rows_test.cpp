// Label: optimised
#include "graphics/pixel/surface_rows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/pixel/blend_tables.h"

namespace bw {
namespace {

class SurfaceRows : public testing::Test {
 protected:
  static void SetUpTestSuite() { BuildBlendTables(); }
};

TEST_F(SurfaceRows, EveryFormatPacksItsFields) {
  const uint32_t white = 0x00FFFFFF;
  uint32_t palette[256] = {};
  palette[1] = white;
  palette[2] = 0x00123456;
  const uint8_t indexes[2] = {1, 2};
  struct Row {
    int flag;
    int bytes;
    uint32_t whiteValue;
    uint32_t otherValue;
  };
  const Row rows[] = {
      {kFormat555, 2, 0x7FFF, (0x12 >> 3) << 10 | (0x34 >> 3) << 5 | 0x56 >> 3},
      {kFormat565, 2, 0xFFFF, (0x12 >> 3) << 11 | (0x34 >> 2) << 5 | 0x56 >> 3},
      {kFormat24, 3, 0xFFFFFF, 0x123456},
      {kFormatX888, 4, 0x00FFFFFF, 0x00123456},
      {kFormat1555, 2, 0xFFFF, 0x8000 | (0x12 >> 3) << 10 | (0x34 >> 3) << 5 | 0x56 >> 3},
      {kFormat4444, 2, 0xFFFF, 0xF000 | 0x1 << 8 | 0x3 << 4 | 0x5},
      {kFormat8888, 4, 0xFFFFFFFF, 0xFF123456},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> out(16, 0xEE);
    ASSERT_TRUE(PaletteRowsToSurface(r.flag, out.data(), 1, 0, 16, indexes, 2, 2, 1, palette));
    uint32_t first = 0, second = 0;
    std::memcpy(&first, out.data() + r.bytes, size_t(r.bytes));
    std::memcpy(&second, out.data() + 2 * r.bytes, size_t(r.bytes));
    EXPECT_EQ(first, r.whiteValue) << "flag " << r.flag;
    EXPECT_EQ(second, r.otherValue) << "flag " << r.flag;
    EXPECT_EQ(out[0], 0xEE) << "x = 1 leaves pixel 0 alone";
  }
  std::vector<uint8_t> untouched(8, 0xEE);
  EXPECT_FALSE(
      PaletteRowsToSurface(kFormatPalette8, untouched.data(), 0, 0, 8, indexes, 2, 2, 1, palette));
  EXPECT_FALSE(Rows32ToSurface(kFormatOther, untouched.data(), 0, 0, 8, palette, 8, 2, 1));
  EXPECT_FALSE(Rows32ToSurface(12, untouched.data(), 0, 0, 8, palette, 8, 2, 1));
  EXPECT_EQ(untouched, std::vector<uint8_t>(8, 0xEE));

  // 32-bit rows carry their alpha where the format has any.
  const uint32_t src[2] = {0x7FFFFFFF, 0x80123456};
  uint16_t out16[2];
  ASSERT_TRUE(
      Rows32ToSurface(kFormat1555, reinterpret_cast<uint8_t*>(out16), 0, 0, 4, src, 8, 2, 1));
  EXPECT_EQ(std::tuple(out16[0], out16[1] >> 15), std::tuple(0x7FFF, 1));
  ASSERT_TRUE(
      Rows32ToSurface(kFormat4444, reinterpret_cast<uint8_t*>(out16), 0, 0, 4, src, 8, 2, 1));
  EXPECT_EQ(std::tuple(out16[0], out16[1]), std::tuple(0x7FFF, 0x8135));
}

// A block of a wider picture lands at its place in a 32-bit target, row by row through both
// pitches, and nothing around it is touched: the alpha kept or dropped as the format says.
TEST_F(SurfaceRows, ThirtyTwoBitTargetsTakeTheBlockAtItsPlace) {
  constexpr int kSrcW = 5, kDstW = 6, kDstH = 4;
  std::vector<uint32_t> src(kSrcW * 3);
  for (size_t i = 0; i < src.size(); ++i) src[i] = 0x80000000u | uint32_t(i + 1) * 0x010203u;
  for (int format : {kFormat8888, kFormatX888}) {
    std::vector<uint32_t> dst(kDstW * kDstH, 0xEEEEEEEEu);
    ASSERT_TRUE(Rows32ToSurface(format, reinterpret_cast<uint8_t*>(dst.data()), 2, 1, kDstW * 4,
                                src.data(), kSrcW * 4, 3, 2));
    for (int y = 0; y < kDstH; ++y) {
      for (int x = 0; x < kDstW; ++x) {
        uint32_t want = 0xEEEEEEEEu;
        if (x >= 2 && x < 5 && y >= 1 && y < 3) {
          want = src[size_t((y - 1) * kSrcW + x - 2)];
          if (format == kFormatX888) want &= 0x00FFFFFFu;
        }
        EXPECT_EQ(dst[size_t(y * kDstW + x)], want) << format << " at " << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace bw
