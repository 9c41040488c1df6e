// Label: optimised
#include "graphics/pixel/pixel_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "blend_reference.h"
#include "graphics/pixel/surface_rows.h"
#include "host/ddraw/direct_draw.h"
#include "host/surface/surface_test_util.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using host::test::Format, host::test::Get;

TEST(FillSurfaceRect, PacksEveryFieldAndClipsTheLockedFallback) {
  auto s565 = host::MemorySurface::Create(4, 3, Format(16, 0xF800, 0x07E0, 0x001F, 0));
  ASSERT_EQ(FillSurfaceRect(s565.get(), nullptr, 255, 255, 255, nullptr, 255), kFillDone);
  EXPECT_EQ(Get(*s565, 3, 2), 0xFFFFu) << "white, and no alpha bits spill";
  const Rect one{1, 1, 2, 2};
  ASSERT_EQ(FillSurfaceRect(s565.get(), nullptr, 0x10, 0x20, 0x30, &one, 0), kFillDone);
  EXPECT_EQ(Get(*s565, 1, 1), (0x10 >> 3) << 11 | (0x20 >> 2) << 5 | 0x30 >> 3);
  EXPECT_EQ(Get(*s565, 0, 1), 0xFFFFu) << "outside the rectangle";

  // 4444: alpha reduced to its four bits like the colours.
  auto s4444 = host::MemorySurface::Create(2, 2, Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000));
  ASSERT_EQ(FillSurfaceRect(s4444.get(), nullptr, 0x12, 0x34, 0x56, nullptr, 0x80), kFillDone);
  EXPECT_EQ(Get(*s4444, 0, 0), 0x8135u);

  // The blitter refuses: the locked memory is written, only inside the surface.
  auto s32 = host::MemorySurface::Create(4, 3, Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000));
  s32->SetBlitterRefuses(true);
  Rect wide{2, 1, 9, 9};
  ASSERT_EQ(FillSurfaceRect(s32.get(), nullptr, 1, 2, 3, &wide, 4), kFillDone);
  EXPECT_EQ(Get(*s32, 3, 2), 0x04010203u);
  EXPECT_EQ(Get(*s32, 1, 1) | Get(*s32, 2, 0), 0u);
  EXPECT_FALSE(s32->IsLocked()) << "never left locked";

  // A rectangle partly outside makes the blitter refuse too; the fallback still clips.
  auto s24 = host::MemorySurface::Create(3, 2, Format(24, 0xFF0000, 0xFF00, 0xFF, 0));
  Rect off{-5, 1, 2, 7};
  ASSERT_EQ(FillSurfaceRect(s24.get(), nullptr, 0xAA, 0xBB, 0xCC, &off, 0), kFillDone);
  EXPECT_EQ(Get(*s24, 1, 1), 0xAABBCCu);
  EXPECT_EQ(Get(*s24, 2, 1) | Get(*s24, 0, 0), 0u);

  s24->SetLost(true);
  EXPECT_EQ(FillSurfaceRect(s24.get(), nullptr, 0, 0, 0, nullptr, 0), kFillNoLock);
  EXPECT_EQ(FillSurfaceRect(nullptr, nullptr, 0, 0, 0, nullptr, 0), kFillNoFormat);
}

TEST(ClassifyPixelFormat, EachFormatOfTheTableAndTheNearMisses) {
  const struct {
    host::DdPixelFormat format;
    int flag;
  } cases[] = {
      {Format(8, 0, 0, 0, 0), kFormatPalette8},
      {Format(16, 0x7C00, 0x03E0, 0x001F, 0), kFormat555},
      {Format(16, 0xF800, 0x07E0, 0x001F, 0), kFormat565},
      {Format(24, 0xFF0000, 0xFF00, 0xFF, 0), kFormat24},
      {Format(32, 0xFF0000, 0xFF00, 0xFF, 0), kFormatX888},
      {Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000), kFormat1555},
      {Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000), kFormat4444},
      {Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u), kFormat8888},
      // Near misses are "any other format".
      {Format(16, 0xF800, 0x07E0, 0x001F, 0x8000), kFormatOther},
      {Format(32, 0xFF, 0xFF00, 0xFF0000, 0), kFormatOther},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyPixelFormat(nullptr, nullptr, &c.format), c.flag)
        << c.format.rgbBitCount << " bits, alpha " << std::hex << c.format.rgbAlphaBitMask;
  }
  EXPECT_EQ(ClassifyPixelFormat(nullptr, nullptr, nullptr), 0) << "nothing to classify";
}

TEST(AlphaRampTable, RampsAndRefusals) {
  AlphaRampTable table;
  EXPECT_EQ(table.Build(4, 0, 255, 16), kRampBadDepth);
  ASSERT_EQ(table.Build(256, 255, 0, 8), kRampDone);
  EXPECT_EQ(std::tuple(table.Levels()[0], table.Levels()[255]), std::tuple(255, 0));
  ASSERT_EQ(table.Build(4, 100, 20, 8), kRampDone);
  // k = 0, 64, 128, 192; w = 0, 65, 129, 193.
  EXPECT_EQ(table.Levels()[0], 100);
  EXPECT_EQ(table.Levels()[1], ((65 * -80) >> 8) + 100);
  EXPECT_EQ(table.Levels()[3], ((193 * -80) >> 8) + 100);
  for (bool mmx : {false, true}) {
    ScopedMmxFlag pin(mmx);
    ASSERT_EQ(table.Build(2, int32_t(0x80000000u), 0x00FF00FF, 32), kRampDone);
    EXPECT_EQ(table.Colors()[0], 0x80000000u);
    uint32_t alpha = mmx ? uint32_t(0x80 + ((129 * -0x80) >> 8)) : 0x80;
    EXPECT_EQ(table.Colors()[1],
              alpha << 24 | uint32_t((129 * 255) >> 8) << 16 | uint32_t((129 * 255) >> 8))
        << "mmx " << mmx << ": the vector form ramps alpha too";
  }
}

TEST(SurfaceRows, EveryFormatPacksItsFieldsAndPlacesTheBlock) {
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
  // A block of a wider picture lands at its place in a 32-bit target, row by row through both
  // pitches, and nothing around it is touched: the alpha kept or dropped as the format says.
  constexpr int kSrcW = 5, kDstW = 6, kDstH = 4;
  std::vector<uint32_t> block(kSrcW * 3);
  for (size_t i = 0; i < block.size(); ++i) block[i] = 0x80000000u | uint32_t(i + 1) * 0x010203u;
  for (int format : {kFormat8888, kFormatX888}) {
    std::vector<uint32_t> target(kDstW * kDstH, 0xEEEEEEEEu);
    ASSERT_TRUE(Rows32ToSurface(format, reinterpret_cast<uint8_t*>(target.data()), 2, 1, kDstW * 4,
                                block.data(), kSrcW * 4, 3, 2));
    for (int y = 0; y < kDstH; ++y) {
      for (int x = 0; x < kDstW; ++x) {
        uint32_t want = 0xEEEEEEEEu;
        if (x >= 2 && x < 5 && y >= 1 && y < 3) {
          want = block[size_t((y - 1) * kSrcW + x - 2)];
          if (format == kFormatX888) want &= 0x00FFFFFFu;
        }
        EXPECT_EQ(target[size_t(y * kDstW + x)], want) << format << " at " << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace bw
