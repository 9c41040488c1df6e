#include <gtest/gtest.h>

#include "surface_fixture.h"

namespace bw {
namespace {

using namespace testing_surfaces;

TEST(ImageSurfaceBlit, RefusesWrongDepthsEmptySourcesAndModesOutOfRange) {
  std::mt19937 rng(2);
  auto dst8 = Random(rng, 8, 8, 8);
  auto src32 = Random(rng, 4, 4, 32);
  ImageSurface empty;
  EXPECT_EQ(dst8->Blit(src32.get(), 0, 0, nullptr, false), ImageSurface::kOpBadFormat);
  EXPECT_EQ(dst8->Blit(&empty, 0, 0, nullptr, false), ImageSurface::kOpNoPixels);
  auto dst = Random(rng, 8, 8, 32);
  auto before = Copy(*dst);
  ASSERT_EQ(dst->BlendBlit(3, src32.get(), 2, 2, nullptr), ImageSurface::kOpDone);
  EXPECT_TRUE(SamePixels(*dst, *before)) << "a blend mode out of range draws nothing";
  EXPECT_EQ(dst->GetDirtyList()->Bounds(), (Rect{2, 2, 6, 6})) << "but marks its place";
  EXPECT_EQ(dst->BlitMirrored(3, src32.get(), 0, 0, nullptr), ImageSurface::kOpBadParameter);
  EXPECT_EQ(dst->AlphaOpacityBlit(3, src32.get(), 10, 0, 0, nullptr),
            ImageSurface::kOpBadParameter);
  EXPECT_EQ(dst->MaskColorFill(0, src32.get(), 10, 1, 2, 3, 0, 0, nullptr),
            ImageSurface::kOpBadFormat);
}

TEST(ImageSurfaceBlend, BlurRadiusIsRefusedBelowZeroAndCappedAbove) {
  std::mt19937 rng(8);
  auto src = Random(rng, 300, 3, 32);
  auto a = Random(rng, 300, 3, 32);
  auto b = Copy(*a);
  EXPECT_EQ(a->BlurBlit(src.get(), -1, 255, 0, 0, nullptr), ImageSurface::kOpBadParameter);
  ASSERT_EQ(a->BlurBlit(src.get(), 1000, 255, 0, 0, nullptr), 0);
  ASSERT_EQ(b->BlurBlit(src.get(), 127, 255, 0, 0, nullptr), 0);
  EXPECT_TRUE(SamePixels(*a, *b));
  EXPECT_EQ(a->BlurAlphaBlit(src.get(), -5, 255, 0, 0, nullptr), ImageSurface::kOpBadParameter);
}

}  // namespace
}  // namespace bw
