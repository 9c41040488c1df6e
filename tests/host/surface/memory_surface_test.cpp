#include "host/surface/memory_surface.h"

#include <gtest/gtest.h>

namespace bw::host {
namespace {

DdPixelFormat Rgb32() {
  DdPixelFormat f;
  f.flags = kDdpfRgb;
  f.rgbBitCount = 32;
  f.rBitMask = 0xFF0000, f.gBitMask = 0xFF00, f.bBitMask = 0xFF;
  return f;
}

TEST(MemorySurface, FillsLocksAndRefuses) {
  DdPixelFormat odd = Rgb32();
  odd.rgbBitCount = 12;
  EXPECT_EQ(MemorySurface::Create(4, 4, odd), nullptr);
  EXPECT_EQ(MemorySurface::Create(0, 4, Rgb32()), nullptr);
  auto s = MemorySurface::Create(4, 3, Rgb32());
  ASSERT_NE(s, nullptr);
  DdPixelFormat got;
  ASSERT_EQ(s->GetPixelFormat(&got), kDdOk);
  EXPECT_EQ(got.rBitMask, 0xFF0000u);

  DdBltFx fx;
  fx.fillColor = 0x00ABCDEF;
  DdRect inside{1, 1, 3, 2};
  ASSERT_EQ(s->Blt(&inside, kDdBltColorFill | kDdBltWait, &fx), kDdOk);
  DdRect outside{1, 1, 5, 2};
  EXPECT_EQ(s->Blt(&outside, kDdBltColorFill, &fx), kDdErrInvalidParams);
  EXPECT_EQ(s->Blt(nullptr, 0, &fx), kDdErrInvalidParams) << "only colour fills";

  DdSurfaceDesc desc;
  ASSERT_EQ(s->Lock(&desc), kDdOk);
  EXPECT_EQ(desc.pitch, 16);
  const uint32_t* row1 = reinterpret_cast<const uint32_t*>(desc.surface + desc.pitch);
  EXPECT_EQ(row1[0], 0u);
  EXPECT_EQ(row1[1], 0x00ABCDEFu);
  EXPECT_EQ(row1[3], 0u);
  EXPECT_EQ(s->Lock(&desc), kDdErrSurfaceBusy);
  EXPECT_EQ(s->Blt(nullptr, kDdBltColorFill, &fx), kDdErrSurfaceBusy);
  EXPECT_EQ(s->Unlock(), kDdOk);
  EXPECT_EQ(s->Unlock(), kDdErrNotLocked);
  s->SetLost(true);
  EXPECT_EQ(s->Lock(&desc), kDdErrSurfaceLost);
}

}  // namespace
}  // namespace bw::host
