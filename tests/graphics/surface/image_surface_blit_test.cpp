#include <gtest/gtest.h>

#include <functional>

#include "graphics/pixel/mmx_flag.h"
#include "graphics/pixel/pixel_library.h"
#include "surface_fixture.h"

namespace bw {
namespace {

using namespace testing_surfaces;

TEST(ImageSurfaceBlit, CopiesTheClippedRectangleInEveryDepthPair) {
  std::mt19937 rng(1);
  ScopedPixelLibrary off(nullptr);
  for (auto [dstBits, srcBits] : {std::pair{32, 32}, std::pair{32, 8}, std::pair{8, 8}}) {
    auto dst = Random(rng, 20, 15, dstBits);
    auto src = Random(rng, 9, 7, srcBits);
    auto before = Copy(*dst);
    // Placed across the right and bottom edges: 5 x 4 pixels survive the clip.
    ASSERT_EQ(dst->Blit(src.get(), 15, 11, nullptr, false), ImageSurface::kOpDone);
    EXPECT_EQ(dst->ClippedDest(), (Rect{15, 11, 20, 15}));
    for (int y = 0; y < 15; ++y) {
      for (int x = 0; x < 20; ++x) {
        const bool inside = x >= 15 && y >= 11;
        if (dstBits == 8) {
          ASSERT_EQ(dst->GetRowPointer(y)[x],
                    inside ? src->GetRowPointer(y - 11)[x - 15] : before->GetRowPointer(y)[x]);
        } else {
          uint32_t expect = Pixel(*before, x, y);
          if (inside) {
            expect = srcBits == 32 ? Pixel(*src, x - 15, y - 11)
                                   : src->GetPalette()[src->GetRowPointer(y - 11)[x - 15]];
          }
          ASSERT_EQ(Pixel(*dst, x, y), expect)
              << dstBits << "/" << srcBits << " at " << x << "," << y;
        }
      }
    }
    EXPECT_EQ(dst->GetDirtyList()->Bounds(), (Rect{15, 11, 20, 15}));
  }
}

TEST(ImageSurfaceBlit, RefusesAndSkipsAsDocumented) {
  std::mt19937 rng(2);
  auto dst8 = Random(rng, 8, 8, 8);
  auto src32 = Random(rng, 4, 4, 32);
  ImageSurface empty;
  EXPECT_EQ(dst8->Blit(src32.get(), 0, 0, nullptr, false), ImageSurface::kOpBadFormat);
  EXPECT_EQ(dst8->Blit(nullptr, 0, 0, nullptr, false), ImageSurface::kOpNoPixels);
  EXPECT_EQ(dst8->Blit(&empty, 0, 0, nullptr, false), ImageSurface::kOpNoPixels);
  auto dst = Random(rng, 8, 8, 32);
  const Rect outside{10, 10, 12, 12};
  EXPECT_EQ(dst->Blit(src32.get(), 0, 0, &outside, false), ImageSurface::kOpDone);
  EXPECT_EQ(dst->Blit(src32.get(), 100, 0, nullptr, false), ImageSurface::kOpDone);
  EXPECT_EQ(dst->GetDirtyList()->Count(), 0) << "nothing drawn, nothing marked";
  EXPECT_FALSE(dst->IsChanged());
  EXPECT_EQ(dst->BlitMirrored(3, src32.get(), 0, 0, nullptr), ImageSurface::kOpBadParameter);
}

TEST(ImageSurfaceBlit, FlipAndMirrorRead) {
  std::mt19937 rng(3);
  auto src = Random(rng, 5, 4, 32);
  auto flipped = Random(rng, 5, 4, 32);
  auto mirrored = Copy(*flipped);
  auto viaMode = Copy(*flipped);
  ASSERT_EQ(flipped->Blit(src.get(), 0, 0, nullptr, true), 0);
  ASSERT_EQ(viaMode->BlitMirrored(1, src.get(), 0, 0, nullptr), 0);
  ASSERT_EQ(mirrored->BlitMirrored(2, src.get(), 0, 0, nullptr), 0);
  EXPECT_TRUE(SamePixels(*flipped, *viaMode));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      ASSERT_EQ(Pixel(*flipped, x, y), Pixel(*src, x, 3 - y));
      ASSERT_EQ(Pixel(*mirrored, x, y), Pixel(*src, 4 - x, 3 - y));
    }
  }
}

TEST(ImageSurfaceBlit, ColourKeyLeavesTheTargetUnderKeyedPixels) {
  std::mt19937 rng(4);
  for (bool mmx : {false, true}) {
    ScopedMmxFlag pin(mmx);
    auto src = Random(rng, 6, 6, 32);
    SetPixel32(*src, 2, 2, 0x00FF00FF);
    ASSERT_EQ(src->SetColorKeyRgb(255, 0, 255), kKeySet);
    auto dst = Random(rng, 6, 6, 32);
    auto before = Copy(*dst);
    ASSERT_EQ(dst->OpacityBlit(src.get(), 200, 0, 0, nullptr), 0);
    EXPECT_EQ(Pixel(*dst, 2, 2), Pixel(*before, 2, 2));
    ASSERT_EQ(dst->BlendBlit(1, src.get(), 0, 0, nullptr), 0);
    EXPECT_EQ(Pixel(*dst, 2, 2), Pixel(*before, 2, 2));
  }
}

TEST(ImageSurfaceBlend, WeightedBlitPicksTheKernelSetOfTheFlag) {
  // Unequal weights: the plain set is the product-table sum, not (s x ws + d x wd) >> 8.
  auto white = std::make_unique<ImageSurface>(), grey = std::make_unique<ImageSurface>();
  ScopedPixelLibrary off(nullptr);
  ASSERT_EQ(white->Create(3, 3, 32, 0), 0);
  ASSERT_EQ(grey->Create(3, 3, 32, 0), 0);
  white->Fill(0xFFFFFFFF, nullptr);
  for (bool mmx : {false, true}) {
    ScopedMmxFlag pin(mmx);
    grey->Fill(0x00646464, nullptr);
    ASSERT_EQ(grey->WeightedBlit(white.get(), 0x00808080, 0x00404040, 0, 0, nullptr), 0);
    const int plain = std::min(255, ProductTable[0x80][100] + ProductTable[0x40][255]);
    const int vector = std::min(255, (255 * 0x40 + 100 * 0x80) >> 8);
    EXPECT_EQ(int(Pixel(*grey, 0, 0) & 0xFF), mmx ? vector : plain);
  }
}

TEST(ImageSurfaceBlend, ModeOutOfRangeMarksWithoutDrawing) {
  std::mt19937 rng(5);
  auto src = Random(rng, 4, 4, 32);
  auto dst = Random(rng, 8, 8, 32);
  auto before = Copy(*dst);
  ASSERT_EQ(dst->BlendBlit(3, src.get(), 2, 2, nullptr), ImageSurface::kOpDone);
  EXPECT_TRUE(SamePixels(*dst, *before));
  EXPECT_EQ(dst->GetDirtyList()->Bounds(), (Rect{2, 2, 6, 6}));
  EXPECT_EQ(dst->AlphaOpacityBlit(3, src.get(), 10, 0, 0, nullptr), ImageSurface::kOpBadParameter);
  EXPECT_EQ(dst->MaskColorFill(0, src.get(), 10, 1, 2, 3, 0, 0, nullptr),
            ImageSurface::kOpBadFormat);
}

TEST(ImageSurfaceBlend, LibraryPathMatchesTheEnginePathWhereDefinedAlike) {
  std::mt19937 rng(6);
  const Size size{13, 9};
  using Op = std::function<int(ImageSurface&, const ImageSurface&)>;
  const Op ops[] = {
      [](ImageSurface& d, const ImageSurface& s) { return d.OpacityBlit(&s, 77, 3, -2, nullptr); },
      [&](ImageSurface& d, const ImageSurface& s) {
        return d.StretchOpacityBlit(&s, 150, &size, -1, 4, nullptr);
      },
      [](ImageSurface& d, const ImageSurface& s) { return d.AddBlit(&s, 99, 5, 5, nullptr); },
      [](ImageSurface& d, const ImageSurface& s) {
        return d.AlphaOpacityBlit(0, &s, 180, 1, 1, nullptr);
      },
      [&](ImageSurface& d, const ImageSurface& s) {
        return d.StretchAlphaOpacityBlit(0, &s, 255, &size, 2, 0, nullptr);
      },
      [](ImageSurface& d, const ImageSurface& s) {
        return d.AlphaBlitOntoAlpha(&s, 201, 0, 3, nullptr);
      },
      [&](ImageSurface& d, const ImageSurface& s) {
        return d.StretchBlit(&s, &size, 6, 1, nullptr, false);
      },
      [](ImageSurface& d, const ImageSurface&) {
        return d.FillColorBlend(10, 200, 30, 90, nullptr);
      },
  };
  for (bool mmx : {false, true}) {
    ScopedMmxFlag pin(mmx);
    for (const Op& op : ops) {
      auto src = Random(rng, 11, 7, 32);
      auto own = Random(rng, 16, 12, 32);
      auto lib = Copy(*own);
      {
        ScopedPixelLibrary off(nullptr);
        ASSERT_EQ(op(*own, *src), 0);
      }
      {
        ScopedPixelLibrary on(&BuiltInPixelLibrary());
        ASSERT_EQ(op(*lib, *src), 0);
      }
      EXPECT_TRUE(SamePixels(*own, *lib));
      EXPECT_EQ(own->GetDirtyList()->Bounds(), lib->GetDirtyList()->Bounds());
    }
  }
}

TEST(ImageSurfaceBlend, RuleBlitArgumentsAndHalfway) {
  std::mt19937 rng(7);
  auto src = Random(rng, 8, 8, 32);
  auto rule = Random(rng, 8, 8, 8);
  auto smallRule = Random(rng, 4, 8, 8);
  auto dst = Random(rng, 8, 8, 32);
  auto before = Copy(*dst);
  EXPECT_EQ(dst->RuleBlit(src.get(), rule.get(), 200, 513, 10, 0, 0, nullptr),
            ImageSurface::kOpBadParameter);
  EXPECT_EQ(dst->RuleBlit(src.get(), rule.get(), 200, 100, 0, 0, 0, nullptr),
            ImageSurface::kOpBadParameter);
  EXPECT_EQ(dst->RuleBlit(src.get(), rule.get(), 200, 100, 512, 0, 0, nullptr),
            ImageSurface::kOpBadParameter);
  EXPECT_EQ(dst->RuleBlit(src.get(), rule.get(), 200, 512, 10, 0, 0, nullptr),
            ImageSurface::kOpDone);
  EXPECT_EQ(dst->RuleBlit(src.get(), smallRule.get(), 200, 100, 10, 0, 0, nullptr),
            ImageSurface::kOpRuleNotCovering);
  EXPECT_TRUE(SamePixels(*dst, *before));
  auto even = Copy(*dst);
  ASSERT_EQ(dst->RuleBlit(src.get(), rule.get(), 200, 256, 10, 0, 0, nullptr), 0);
  ASSERT_EQ(even->WeightedBlit(src.get(), 0x373737, 0xC8C8C8, 0, 0, nullptr), 0);
  EXPECT_TRUE(SamePixels(*dst, *even));
}

TEST(ImageSurfaceBlend, RuleWeightsFollowTheRamp) {
  // Rule values below the progress show the source at the opacity; the ramp falls to 0.
  auto src = std::make_unique<ImageSurface>(), dst = std::make_unique<ImageSurface>(),
       rule = std::make_unique<ImageSurface>();
  ASSERT_EQ(src->Create(256, 1, 32, 0), 0);
  ASSERT_EQ(dst->Create(256, 1, 32, 0), 0);
  ASSERT_EQ(rule->Create(256, 1, 8, 0), 0);
  src->Fill(0x00FFFFFF, nullptr);
  for (int i = 0; i < 256; ++i) rule->GetRowPointer(0)[i] = uint8_t(i);
  for (bool mmx : {false, true}) {
    ScopedMmxFlag pin(mmx);
    dst->Fill(0, nullptr);
    ASSERT_EQ(dst->RuleBlit(src.get(), rule.get(), 255, 101, 40, 0, 0, nullptr), 0);
    auto weight = [](int k) { return k == 0 ? 0 : k + 1; };
    for (int r = 0; r < 256; ++r) {
      int table = r < 100 ? 255 : r < 140 ? 255 - (r - 100) * 255 / 40 : 0;
      ASSERT_EQ(int(Pixel(*dst, r, 0) & 0xFF), 255 * weight(table) >> 8) << r;
    }
  }
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

TEST(ImageSurfaceBlend, SmoothStretchStaysInsideTheSource) {
  // Enlarging a tight surface: the sanitizer catches any read past the last column or row.
  std::mt19937 rng(9);
  for (bool mmx : {false, true}) {
    ScopedMmxFlag pin(mmx);
    for (int bits : {32, 8}) {
      auto src = Random(rng, 7, 5, bits, 0);
      auto dst = Random(rng, 40, 30, 32);
      const Size size{23, 17};
      ASSERT_EQ(dst->SmoothStretchBlit(src.get(), &size, 3, 4, nullptr), 0);
      EXPECT_EQ(dst->ClippedDest(), (Rect{3, 4, 26, 21}));
    }
  }
}

TEST(ImageSurfaceBlend, FromObjectNeedsAContextAndAnImageSurface) {
  std::mt19937 rng(10);
  auto src = Random(rng, 4, 4, 32);
  auto plain = Random(rng, 8, 8, 32, 0);
  auto withDc = Random(rng, 8, 8, 32, kImageDibSection);
  EXPECT_EQ(plain->BlitFromObject(src.get(), 0, 0, nullptr), ImageSurface::kOpNoPixels);
  ASSERT_EQ(withDc->BlitFromObject(src.get(), 1, 1, nullptr), 0);
  EXPECT_EQ(Pixel(*withDc, 1, 1), Pixel(*src, 0, 0));
}

TEST(ImageSurfaceBlit, ChannelCopiesMoveOnlyTheirChannel) {
  std::mt19937 rng(11);
  auto src = Random(rng, 4, 4, 32);
  auto plane = Random(rng, 4, 4, 8);
  auto dst = Random(rng, 4, 4, 32);
  auto before = Copy(*dst);
  ASSERT_EQ(dst->BlitColor(src.get(), 0, 0, nullptr), 0);
  EXPECT_EQ(Pixel(*dst, 1, 2),
            (Pixel(*src, 1, 2) & 0xFFFFFF) | (Pixel(*before, 1, 2) & 0xFF000000));
  ASSERT_EQ(dst->BlitAlpha(plane.get(), 0, 0, nullptr), ImageSurface::kOpBadFormat);
  ASSERT_EQ(dst->CopyAlphaPlane(plane.get(), 0, 0, nullptr, false), 0);
  EXPECT_EQ(Pixel(*dst, 3, 1) >> 24, plane->GetRowPointer(1)[3]);
  ASSERT_EQ(plane->CopyAlphaPlaneMirrored(0, dst.get(), 0, 0, nullptr), 0);
  EXPECT_EQ(plane->GetRowPointer(2)[0], Pixel(*dst, 3, 2) >> 24);
  EXPECT_EQ(dst->CopyAlphaPlane(src.get(), 0, 0, nullptr, false), ImageSurface::kOpBadFormat);
}

TEST(ImageSurfaceBlend, AlphaAwareOpacityAtFullOpacityIsAPlainCopy) {
  auto src = std::make_unique<ImageSurface>(), dst = std::make_unique<ImageSurface>();
  ASSERT_EQ(src->Create(1, 1, 32, 0), 0);
  ASSERT_EQ(dst->Create(1, 1, 32, 0), 0);
  SetPixel32(*src, 0, 0, 0x00FFFFFF);
  SetPixel32(*dst, 0, 0, 0xC0405060);
  ASSERT_EQ(dst->AlphaAwareOpacityBlit(src.get(), 255, 0, 0, nullptr), 0);
  EXPECT_EQ(Pixel(*dst, 0, 0), 0x00FFFFFFu) << "even a clear source pixel is taken";
}

TEST(ImageSurfaceBlend, MaskFillAddsAndSubtractsByTheMaskedOpacity) {
  auto mask = std::make_unique<ImageSurface>(), dst = std::make_unique<ImageSurface>();
  ASSERT_EQ(mask->Create(2, 1, 8, 0), 0);
  ASSERT_EQ(dst->Create(2, 1, 32, 0), 0);
  mask->GetRowPointer(0)[0] = 0;
  mask->GetRowPointer(0)[1] = 255;
  for (bool mmx : {false, true}) {
    ScopedMmxFlag pin(mmx);
    dst->Fill(0x80101010, nullptr);
    ASSERT_EQ(dst->MaskColorFill(1, mask.get(), 255, 0x20, 0x20, 0x20, 0, 0, nullptr), 0);
    EXPECT_EQ(Pixel(*dst, 0, 0), 0x80101010u);
    EXPECT_EQ(Pixel(*dst, 1, 0), 0x80303030u);
    ASSERT_EQ(dst->MaskColorFill(2, mask.get(), 255, 0x40, 0x40, 0x40, 0, 0, nullptr), 0);
    EXPECT_EQ(Pixel(*dst, 1, 0), 0x80000000u);
  }
}

}  // namespace
}  // namespace bw
