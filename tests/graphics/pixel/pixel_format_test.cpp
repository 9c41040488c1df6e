// Label: optimised
#include "graphics/pixel/pixel_format.h"

#include <gtest/gtest.h>

#include "graphics/pixel/blend_tables.h"
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

TEST(AlphaRampTable, RampsAndRefusals) {
  BuildBlendTables();
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

}  // namespace
}  // namespace bw
