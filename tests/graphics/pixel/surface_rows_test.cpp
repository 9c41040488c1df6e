// Label: optimised
#include "graphics/pixel/surface_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
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
  EXPECT_FALSE(PaletteRowsToSurface(kFormatPalette8, untouched.data(), 0, 0, 8, indexes, 2, 2, 1,
                                    palette));
  EXPECT_FALSE(Rows32ToSurface(kFormatOther, untouched.data(), 0, 0, 8, palette, 8, 2, 1));
  EXPECT_FALSE(Rows32ToSurface(12, untouched.data(), 0, 0, 8, palette, 8, 2, 1));
  EXPECT_EQ(untouched, std::vector<uint8_t>(8, 0xEE));

  // 32-bit rows carry their alpha where the format has any.
  const uint32_t src[2] = {0x7FFFFFFF, 0x80123456};
  uint16_t out16[2];
  ASSERT_TRUE(Rows32ToSurface(kFormat1555, reinterpret_cast<uint8_t*>(out16), 0, 0, 4, src, 8, 2, 1));
  EXPECT_EQ(out16[0], 0x7FFF);
  EXPECT_EQ(out16[1] >> 15, 1);
  ASSERT_TRUE(Rows32ToSurface(kFormat4444, reinterpret_cast<uint8_t*>(out16), 0, 0, 4, src, 8, 2, 1));
  EXPECT_EQ(out16[0], 0x7FFF);
  EXPECT_EQ(out16[1], 0x8135);
  uint32_t out32[2];
  ASSERT_TRUE(Rows32ToSurface(kFormatX888, reinterpret_cast<uint8_t*>(out32), 0, 0, 8, src, 8, 2, 1));
  EXPECT_EQ(out32[1], 0x00123456u);
}

// The exact per-channel lerp: c + floor((s - c) x w / 256).
uint32_t Lerp(uint32_t d, uint32_t s, int w) {
  uint32_t out = d & 0xFF000000u;
  for (int c = 0; c < 3; ++c) {
    int dc = int(d >> (8 * c)) & 0xFF, sc = int(s >> (8 * c)) & 0xFF;
    int v = dc + int(std::floor((sc - dc) * w / 256.0));
    out |= uint32_t(v) << (8 * c);
  }
  return out;
}

TEST_F(SurfaceRows, MaskKernelsMatchTheFormulaInBothSets) {
  std::mt19937 rng(8);
  uint8_t map[256];
  for (int i = 0; i < 256; ++i) map[i] = ProductTable[200][i];
  struct Kernel {
    const char* name;
    bool compose;
    bool image;
    MaskImageKernel fn;  // the colour kernels have the same shape
  };
  const Kernel kernels[] = {
      {"MaskImageBlendRows", false, true, MaskImageBlendRows},
      {"MaskImageBlendRowsMmx", false, true, MaskImageBlendRowsMmx},
      {"MaskColorBlendRows", false, false, MaskColorBlendRows},
      {"MaskColorBlendRowsMmx", false, false, MaskColorBlendRowsMmx},
      {"MaskImageComposeRows", true, true, MaskImageComposeRows},
      {"MaskImageComposeRowsMmx", true, true, MaskImageComposeRowsMmx},
      {"MaskColorComposeRows", true, false, MaskColorComposeRows},
      {"MaskColorComposeRowsMmx", true, false, MaskColorComposeRowsMmx},
  };
  for (const Kernel& k : kernels) {
    for (int round = 0; round < 20; ++round) {
      const int w = 1 + rng() % 13, h = 1 + rng() % 5, pad = int(rng() % 3);
      const int rowWords = w + pad, maskPitch = w + 2;
      std::vector<uint32_t> dst(rowWords * h), image(rowWords * h), colors(h);
      std::vector<uint8_t> mask(maskPitch * h);
      for (auto& p : dst) p = uint32_t(rng()) & (rng() % 3 ? 0xFFFFFFFFu : 0x00FFFFFFu);
      for (auto& p : image) p = uint32_t(rng());
      for (auto& p : colors) p = uint32_t(rng());
      for (auto& m : mask) m = uint8_t(rng() % 4 ? rng() : (rng() % 2) * 255);
      std::vector<uint32_t> expect = dst;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          uint32_t d = dst[y * rowWords + x];
          uint32_t s = k.image ? image[y * rowWords + x] : colors[y];
          int mapped = map[mask[y * maskPitch + x]];
          int dA = int(d >> 24);
          int weightIndex = k.compose ? OverWeightTable[dA][mapped] : mapped;
          uint32_t out = Lerp(d, s, weightIndex == 0 ? 0 : weightIndex + 1);
          if (k.compose) out = (out & 0xFFFFFF) | uint32_t(AlphaUnionTable[dA][mapped]) << 24;
          expect[y * rowWords + x] = out;
        }
      }
      const uint32_t* source = k.image ? image.data() : colors.data();
      k.fn(dst.data(), mask.data(), pad * 4, maskPitch - w, w, h, source, map);
      ASSERT_EQ(dst, expect) << k.name << " round " << round;
    }
  }
}

}  // namespace
}  // namespace bw
