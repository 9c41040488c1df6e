#include <gtest/gtest.h>

#include "app/platform/trig_tables.h"
#include "common/global.h"
#include "graphics/pixel/mmx_flag.h"
#include "graphics/pixel/pixel_library.h"
#include "graphics/pixel/quad_mapper.h"
#include "graphics/surface/rotated_bounds.h"
#include "surface_fixture.h"

namespace bw {
namespace {

using namespace testing_surfaces;

TEST(ImageSurfaceRegion, ToneAcceptsTheWholeMultiplierRangeAndRefusesBeyond) {
  std::mt19937 rng(20);
  auto s = Random(rng, 9, 5, 32);
  EXPECT_EQ(s->ColorTone(257, 128, 128, 0, 0, 0, nullptr), ImageSurface::kOpBadParameter);
  EXPECT_EQ(s->ColorTone(128, -257, 128, 0, 0, 0, nullptr), ImageSurface::kOpBadParameter);
  EXPECT_EQ(s->ColorTone(128, 128, 128, 0, 256, 0, nullptr), ImageSurface::kOpBadParameter);
  EXPECT_EQ(s->ColorTone(-256, 256, 200, 255, -255, 3, nullptr), 0);
  auto same = Copy(*s);
  ASSERT_EQ(same->ColorTone(128, 128, 128, 0, 0, 0, nullptr), 0);
  EXPECT_TRUE(SamePixels(*same, *s)) << "unit multipliers and no offsets change nothing";
}

TEST(ImageSurfaceRegion, ScaleAlphaLevels) {
  std::mt19937 rng(21);
  auto s = Random(rng, 6, 6, 32);
  auto before = Copy(*s);
  EXPECT_FALSE(s->ScaleAlpha(-1, nullptr));
  EXPECT_FALSE(s->ScaleAlpha(512, nullptr));
  const Rect outside{10, 10, 20, 20};
  EXPECT_FALSE(s->ScaleAlpha(100, &outside));
  ASSERT_TRUE(s->ScaleAlpha(256, nullptr));
  EXPECT_TRUE(SamePixels(*s, *before));
  ASSERT_TRUE(s->ScaleAlpha(511, nullptr));
  for (int i = 0; i < 36; ++i) {
    EXPECT_EQ(Pixel(*s, i % 6, i / 6), Pixel(*before, i % 6, i / 6) | 0xFF000000u);
  }
  ASSERT_TRUE(s->ScaleAlpha(0, nullptr));
  EXPECT_EQ(Pixel(*s, 3, 3), Pixel(*before, 3, 3) & 0x00FFFFFFu);
}

TEST(ImageSurfaceRegion, ColourOperationsSpareKeyedPixelsAndBlackDoesNothing) {
  std::mt19937 rng(22);
  for (bool mmx : {false, true}) {
    ScopedMmxFlag pin(mmx);
    auto s = Random(rng, 7, 7, 32);
    SetPixel32(*s, 3, 4, 0x00123456);
    ASSERT_EQ(s->SetColorKeyRgb(0x12, 0x34, 0x56), kKeySet);
    EXPECT_EQ(s->AddColor(0, 0, 0, nullptr), 0);
    EXPECT_EQ(s->GetDirtyList()->Count(), 0);
    EXPECT_EQ(s->AddColor(10, 20, 30, nullptr), 0);
    EXPECT_EQ(s->SubtractColor(1, 2, 3, nullptr), 0);
    EXPECT_EQ(s->Greyscale(nullptr), 0);
    EXPECT_EQ(s->ColorTone(100, 200, 50, 5, -5, 0, nullptr), 0);
    EXPECT_EQ(s->Invert(0, nullptr), 0);
    EXPECT_EQ(s->FillColorBlend(1, 2, 3, 100, nullptr), 0);
    EXPECT_EQ(Pixel(*s, 3, 4), 0x00123456u);
  }
}

TEST(ImageSurfaceRegion, EightBitSurfacesWorkThroughThePalette) {
  std::mt19937 rng(23);
  auto s = Random(rng, 5, 5, 8);
  const Rect part{0, 0, 2, 2};
  EXPECT_EQ(s->Invert(0, &part), ImageSurface::kOpBadFormat);
  EXPECT_EQ(s->Greyscale(&part), ImageSurface::kOpBadParameter);
  EXPECT_EQ(s->ColorTone(128, 128, 128, 0, 0, 0, &part), ImageSurface::kOpBadFormat);
  uint32_t white = 0x00FFFFFF;
  s->SetPalette(&white, 1, 0);
  s->GetRowPointer(0)[0] = 0;
  ASSERT_EQ(s->Greyscale(nullptr), 0);
  EXPECT_EQ(s->GetRowPointer(0)[0], 255) << "white becomes index 255";
  EXPECT_EQ(s->GetPalette()[200], 0x00C8C8C8u);
  ASSERT_EQ(s->SetBrightness(255 + 255, nullptr), 0);
  EXPECT_EQ(s->GetPalette()[10], 0x00FFFFFFu);
}

TEST(ImageSurfaceRegion, BrightnessScalesDownAndBlendsTowardWhite) {
  auto s = std::make_unique<ImageSurface>();
  ASSERT_EQ(s->Create(4, 1, 32, 0), 0);
  s->Fill(0x80204060, nullptr);
  ASSERT_EQ(s->SetBrightness(128, nullptr), 0);
  EXPECT_EQ(Pixel(*s, 0, 0), 0x80000000u | uint32_t(ProductTable[128][0x20]) << 16 |
                                 uint32_t(ProductTable[128][0x40]) << 8 | ProductTable[128][0x60]);
  s->Fill(0x80204060, nullptr);
  ASSERT_EQ(s->SetBrightness(255 + 100, nullptr), 0);
  EXPECT_EQ(Pixel(*s, 3, 0) & 0xFF, uint32_t(ProductTable[155][0x60] + ProductTable[255][100]));
  EXPECT_EQ(s->SetBrightness(511, nullptr), ImageSurface::kOpBadParameter);
}

TEST(ImageSurfaceRegion, GradientOfOnePixelIsTheStartValue) {
  auto s = std::make_unique<ImageSurface>();
  ASSERT_EQ(s->Create(5, 5, 32, 0), 0);
  const Rect one{2, 2, 3, 3};
  ASSERT_EQ(s->FillGradient(0, 0xFF102030, 0x00FFFFFF, &one), 0);
  EXPECT_EQ(Pixel(*s, 2, 2), 0xFF102030u);
  EXPECT_EQ(s->FillGradient(2, 0, 0, nullptr), ImageSurface::kOpBadParameter);
  const Rect column{0, 0, 1, 5};
  ASSERT_EQ(s->FillGradient(1, 0x00000000, 0x00FFFFFF, &column), 0);
  EXPECT_LT(Pixel(*s, 0, 1), Pixel(*s, 0, 3)) << "runs down the rows";
}

TEST(ImageSurfaceRegion, BlurAndMosaicReportKernelRefusals) {
  std::mt19937 rng(24);
  auto s = Random(rng, 10, 10, 32);
  const Rect thin{0, 0, 3, 10};
  EXPECT_EQ(s->Blur(2, &thin), 2) << "the kernel's 1 comes back as 2";
  EXPECT_EQ(s->GetDirtyList()->Count(), 0);
  EXPECT_EQ(s->Mosaic(1, 0, nullptr), 0);
  ASSERT_EQ(s->Mosaic(4, 1, nullptr), 0);
  EXPECT_EQ(Pixel(*s, 3, 3), Pixel(*s, 0, 0));
}

class RotateTest : public ::testing::Test {
 protected:
  TrigTables trig;
  ScopedGlobal<TrigTables> publish{&trig};
};

TEST_F(RotateTest, UnturnedUnscaledIsABlitAtThePoint) {
  std::mt19937 rng(25);
  auto src = Random(rng, 6, 4, 32);
  auto dst = Random(rng, 20, 20, 32);
  auto viaBlit = Copy(*dst);
  ScopedPixelLibrary off(nullptr);
  ASSERT_EQ(dst->RotateZoomBlit(src.get(), 0, 5, 7, 0, 65536, nullptr, nullptr), 0);
  const Size size{6, 4};
  ASSERT_EQ(viaBlit->StretchBlit(src.get(), &size, 5, 7, nullptr, false), 0);
  for (int y = 7; y < 11; ++y) {
    for (int x = 5; x < 11; ++x) ASSERT_EQ(Pixel(*dst, x, y), Pixel(*src, x - 5, y - 7));
  }
  EXPECT_EQ(dst->RotateZoomBlit(src.get(), 5, 0, 0, 0, 65536, nullptr, nullptr),
            ImageSurface::kOpBadParameter);
}

TEST_F(RotateTest, HighZoomDoesNotWrap) {
  // A zoom that takes the corner products of a 200-pixel source far past 32 bits (the sanitizer
  // traps a wrapped product); the quarter turn at anchor 0 then lies wholly above the target.
  std::mt19937 rng(26);
  auto src = Random(rng, 200, 2, 32);
  auto dst = Random(rng, 16, 16, 32);
  ScopedPixelLibrary off(nullptr);
  ASSERT_EQ(dst->RotateZoomBlit(src.get(), 4, 8, 8, 64, 0x7FFFFFFF, nullptr, nullptr), 0);
  auto before = Copy(*dst);
  ASSERT_EQ(dst->RotateZoomBlit(src.get(), 0, 0, -1, 128, 0x01000000, nullptr, nullptr), 0);
  EXPECT_TRUE(SamePixels(*dst, *before));
}

TEST_F(RotateTest, QuarterTurnMapsTheTopRightCornerUpward) {
  RotatedCorners corners{};
  int32_t w = 0, h = 0, x = 0, y = 0;
  ASSERT_TRUE(ComputeRotatedBounds(&corners, 0, 0, 128, 1.0, 100, 50, 50, 25, {&w, &h, &x, &y}));
  EXPECT_EQ(w, 50);
  EXPECT_EQ(h, 100);
  EXPECT_EQ(x, 25);
  EXPECT_EQ(y, -24);
  RotatedCorners untouched{};
  EXPECT_FALSE(ComputeRotatedBounds(&untouched, 0, 0, 512, 1.0, 10, 10, 0, 0, {}));
  EXPECT_TRUE(ComputeRotatedBounds(&untouched, 10, 0, 512, 1.0, 10, 10, 0, 0, {}));
  EXPECT_FALSE(ComputeRotatedBounds(&untouched, 10, 0, 0, 0.0, 10, 10, 0, 0, {}));
  ASSERT_TRUE(ComputeRotatedBounds(&corners, 3, 4, 0, 2.0, 10, 5, 0, 0, {&w, &h, &x, &y}));
  EXPECT_EQ(w, 20);
  EXPECT_EQ(h, 10);
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 4);
}

TEST_F(RotateTest, OpacityFormRefusesEightBitSources) {
  std::mt19937 rng(28);
  auto dst = Random(rng, 10, 10, 32);
  ImageSurface eight;
  ASSERT_EQ(eight.Create(4, 4, 8, 0), 0);
  ScopedPixelLibrary off(nullptr);
  EXPECT_EQ(dst->RotateZoomOpacityBlit(&eight, 0, 0, 0, 0, 65536, 255, nullptr, nullptr),
            ImageSurface::kOpBadFormat);
}

}  // namespace
}  // namespace bw
