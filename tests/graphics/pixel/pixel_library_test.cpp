#include "graphics/pixel/pixel_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/platform/trig_tables.h"
#include "common/global.h"
#include "graphics/pixel/mmx_flag.h"
#include "graphics/surface/surface_fixture.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using namespace testing_surfaces;

TEST(PixelLibrary, PublishesTheBuiltInOrALoadedLibraryOnly) {
  ScopedPixelLibrary restore(nullptr);
  test::TempDir empty;
  PixelLibrary missing(empty.path().string(), nullptr);
  EXPECT_EQ(missing.GetModule(), nullptr);
  EXPECT_FALSE(missing.HasTable());
  EXPECT_FALSE(SetPixelLibrary(&missing));
  EXPECT_EQ(GetPixelLibrary(), nullptr);
  EXPECT_TRUE(SetPixelLibrary(&BuiltInPixelLibrary()));
  EXPECT_EQ(GetPixelLibrary(), &BuiltInPixelLibrary());
  EXPECT_EQ(BuiltInPixelLibrary().At(0), nullptr);
  EXPECT_EQ(BuiltInPixelLibrary().At(235), nullptr);
  const auto& multiply = BuiltInPixelLibrary().Multiply();
  EXPECT_EQ(multiply[255][77], 77);
  EXPECT_EQ(multiply[128][128], 128 * 128 / 255);
  EXPECT_EQ(multiply[254][1], 0) << "truncated, not rounded";
}

TEST(PixelLibrary, WithoutALibraryTheLibraryOnlyOperationsAnswerTheirCodes) {
  ScopedPixelLibrary off(nullptr);
  std::mt19937 rng(30);
  auto dst = Random(rng, 8, 8, 32);
  auto src = Random(rng, 4, 4, 32);
  EXPECT_EQ(dst->LibOpLevel(0, 0, 0, nullptr), ImageSurface::kOpDone) << "level 0 calls nothing";
  EXPECT_EQ(dst->LibOpLevel(0, 5, 0, nullptr), ImageSurface::kOpBadFormat);
  EXPECT_EQ(dst->LibBlitOpB(src.get(), 0, 255, 0, 0, 0, nullptr), ImageSurface::kOpBadFormat);
  EXPECT_EQ(dst->LibStretchBlit(src.get(), 1, 0, 255, 0, nullptr, 0, 0, nullptr),
            ImageSurface::kOpBadFormat);
  EXPECT_EQ(dst->LibFilterA(nullptr), ImageSurface::kOpNoPixels);
  EXPECT_FALSE(dst->LibFilterC(1));
}

TEST(PixelLibrary, BuiltInRefusesUnknownOperationWordsAndMarksNothing) {
  ScopedPixelLibrary on(&BuiltInPixelLibrary());
  std::mt19937 rng(31);
  auto dst = Random(rng, 8, 8, 32);
  auto src = Random(rng, 4, 4, 32);
  auto before = Copy(*dst);
  for (uint32_t operation :
       {6u, LibraryOperation(kLibCopy, 4), LibraryOperation(kLibAlpha, 1), 0x10000u}) {
    EXPECT_EQ(dst->LibBlitOpB(src.get(), int(operation), 255, 0, 0, 0, nullptr), 3) << operation;
  }
  EXPECT_EQ(dst->LibStretchBlit(src.get(), int(LibraryOperation(kLibAdd)), 0, 255, 0, nullptr, 0, 0,
                                nullptr),
            3);
  EXPECT_TRUE(SamePixels(*dst, *before));
  EXPECT_EQ(dst->GetDirtyList()->Count(), 0);
  EXPECT_FALSE(dst->IsChanged());
  // Positions whose work lies only in a library: the built-in one does not provide them.
  EXPECT_EQ(dst->LibOpLevel(1, 5, 0, nullptr), 3);
  EXPECT_EQ(dst->LibFilterA(nullptr), ImageSurface::kOpBadFormat);
}

TEST(PixelLibrary, BuiltInStretchCopiesAndMirrors) {
  ScopedPixelLibrary on(&BuiltInPixelLibrary());
  std::mt19937 rng(32);
  auto src = Random(rng, 4, 3, 32);
  auto dst = Random(rng, 8, 6, 32);
  const Size same{4, 3};
  ASSERT_EQ(
      dst->LibStretchBlit(
          src.get(), int(LibraryOperation(kLibCopy, kLibMirrorLeftRight | kLibMirrorSpriteFlag)), 0,
          255, 0, &same, 1, 1, nullptr),
      0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) ASSERT_EQ(Pixel(*dst, 1 + x, 1 + y), Pixel(*src, 3 - x, y));
  }
  EXPECT_EQ(dst->GetDirtyList()->Bounds(), (Rect{1, 1, 5, 4}));
}

TEST(PixelLibrary, TransitionRoutinesBlendOldTowardNew) {
  std::mt19937 rng(33);
  auto oldImage = Random(rng, 6, 4, 32);
  auto newImage = Random(rng, 6, 4, 32);
  auto rule = Random(rng, 6, 4, 8);
  auto target = Random(rng, 10, 10, 32);
  PixelLibrary& lib = BuiltInPixelLibrary();
  auto cross = lib.Get<CrossfadeRoutine>(kLibCrossfade);
  auto ruled = lib.Get<RuleBlendRoutine>(kLibRuleBlend);
  auto row = lib.Get<RowCrossBlendRoutine>(kLibRowCrossBlend);
  const LibArea area{2, 3, 6, 4, 0, 0, 0, 0};
  ASSERT_EQ(cross(target.get(), oldImage.get(), newImage.get(), 0, 0, area), 0);
  EXPECT_EQ(Pixel(*target, 2, 3), Pixel(*oldImage, 0, 0));
  ASSERT_EQ(cross(target.get(), oldImage.get(), newImage.get(), 255, 0, area), 0);
  EXPECT_EQ(Pixel(*target, 7, 6),
            (Pixel(*newImage, 5, 3) & 0xFFFFFF) | (Pixel(*oldImage, 5, 3) & 0xFF000000));
  EXPECT_EQ(*lib.Touched(), (Rect{2, 3, 8, 7}));
  const LibArea tooBig{5, 7, 6, 4, 0, 0, 0, 0};
  EXPECT_NE(cross(target.get(), oldImage.get(), newImage.get(), 10, 0, tooBig), 0);
  ASSERT_EQ(ruled(target.get(), oldImage.get(), newImage.get(), rule.get(), 0, 32, 0, area, 0, 0),
            0);
  EXPECT_EQ(Pixel(*target, 4, 4), Pixel(*oldImage, 2, 1));
  ASSERT_EQ(ruled(target.get(), oldImage.get(), newImage.get(), rule.get(), 255, 32, 0, area, 0, 0),
            0);
  EXPECT_EQ(Pixel(*target, 4, 4) & 0xFFFFFF, Pixel(*newImage, 2, 1) & 0xFFFFFF);
  EXPECT_NE(ruled(target.get(), oldImage.get(), newImage.get(), rule.get(), 10, 0, 0, area, 0, 0),
            0);
  uint32_t a[5] = {0, 0, 0, 0, 0x12000000},
           b[5] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}, out[5];
  row(out, a, b, 5, 128);
  EXPECT_EQ(out[4], 0x12808080u);
}

TEST(PixelLibrary, BuiltInAffineMapsTheRectangleEdges) {
  // A quarter turn of a 5 x 3 picture whose top-left lands at (2, 9): the top-right corner
  // (x + w) lands at (2, 4), the bottom-left (y + h) at (5, 9); all 15 pixels show once.
  ScopedPixelLibrary on(&BuiltInPixelLibrary());
  std::mt19937 rng(35);
  auto src = Random(rng, 5, 3, 32);
  auto dst = Random(rng, 12, 12, 32);
  auto before = Copy(*dst);
  const uint32_t words[9] = {LibraryOperation(kLibCopy), 0, 255, 2, 9, 2, 4, 5, 9};
  ASSERT_EQ(dst->LibAffineBlit(src.get(), words), 0);
  EXPECT_EQ(Pixel(*dst, 2, 8), Pixel(*src, 0, 0));
  EXPECT_EQ(Pixel(*dst, 2, 4), Pixel(*src, 4, 0));
  EXPECT_EQ(Pixel(*dst, 4, 8), Pixel(*src, 0, 2));
  EXPECT_EQ(Pixel(*dst, 5, 8), Pixel(*before, 5, 8));
  EXPECT_EQ(Pixel(*dst, 2, 9), Pixel(*before, 2, 9));
  EXPECT_EQ(dst->GetDirtyList()->Bounds(), (Rect{2, 4, 5, 9}));
  EXPECT_TRUE(dst->IsChanged());

  // A copy and the crossfade at full opacity draw alike; other crossfades and additions are
  // refused with nothing marked.
  auto affine = BuiltInPixelLibrary().Get<AffineRoutine>(kLibAffine);
  const LibPoint corners[3] = {{1.5, 2.25}, {7.75, 0.5}, {3.25, 8.5}};
  const uint32_t extras[4] = {};
  auto viaCopy = Copy(*before), viaFull = Copy(*before);
  ASSERT_EQ(affine(viaCopy.get(), src.get(), corners, nullptr, kLibCopy, 0, 0, extras), 0);
  ASSERT_EQ(affine(viaFull.get(), src.get(), corners, nullptr, kLibOpacity, 0, 255, extras), 0);
  EXPECT_TRUE(SamePixels(*viaCopy, *viaFull));
  EXPECT_FALSE(SamePixels(*viaCopy, *before));
  auto refused = Copy(*before);
  for (auto [operation, opacity] : {std::pair{kLibAdd, 255}, {kLibOpacity, 128}}) {
    EXPECT_NE(affine(refused.get(), src.get(), corners, nullptr, operation, 0, opacity, extras), 0);
    EXPECT_TRUE(BuiltInPixelLibrary().Touched()->IsEmpty());
  }
  EXPECT_TRUE(SamePixels(*refused, *before));
}

TEST(PixelLibrary, RotateZoomTakesTheSamePixelsWithOrWithoutTheLibrary) {
  TrigTables trig;
  ScopedGlobal<TrigTables> publish{&trig};
  std::mt19937 rng(36);
  auto base = Random(rng, 16, 16, 32);
  const auto both = [&](auto draw) {
    auto own = Copy(*base), lib = Copy(*base);
    {
      ScopedPixelLibrary off(nullptr);
      EXPECT_EQ(draw(*own), 0);
    }
    {
      ScopedPixelLibrary on(&BuiltInPixelLibrary());
      EXPECT_EQ(draw(*lib), 0);
    }
    return std::pair{std::move(own), std::move(lib)};
  };
  // Unturned and unscaled, both paths copy the picture to the anchored place. (A height whose
  // 12.20 row step is inexact, such as 3, makes the engine's own mapper repeat a row.)
  auto flat = Random(rng, 5, 4, 32);
  for (int anchor = 0; anchor <= 4; ++anchor) {
    for (bool mmx : {false, true}) {
      ScopedMmxFlag flag(mmx);
      auto [own, lib] = both([&](ImageSurface& dst) {
        return dst.RotateZoomBlit(flat.get(), anchor, 7, 6, 0, 65536, nullptr, nullptr);
      });
      EXPECT_TRUE(SamePixels(*own, *lib)) << anchor;
      auto [ownFaded, libFaded] = both([&](ImageSurface& dst) {
        return dst.RotateZoomOpacityBlit(flat.get(), anchor, 7, 6, 0, 65536, 170, nullptr, nullptr);
      });
      EXPECT_TRUE(SamePixels(*ownFaded, *libFaded)) << anchor;
    }
  }
  // Turned by whole quarters, both cover the same pixels; the library shows every source pixel
  // once and marks exactly what it drew.
  auto src = Random(rng, 5, 3, 32);
  std::vector<uint32_t> all;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) all.push_back(Pixel(*src, x, y));
  std::sort(all.begin(), all.end());
  for (int angle : {128, 256, 384}) {
    auto [own, lib] = both([&](ImageSurface& dst) {
      return dst.RotateZoomBlit(src.get(), 4, 8, 8, angle, 65536, nullptr, nullptr);
    });
    std::vector<uint32_t> shown;
    Rect drawn{16, 16, 0, 0};
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const bool byOwn = Pixel(*own, x, y) != Pixel(*base, x, y);
        const bool byLib = Pixel(*lib, x, y) != Pixel(*base, x, y);
        EXPECT_EQ(byOwn, byLib) << angle << ": " << x << "," << y;
        if (!byLib) continue;
        shown.push_back(Pixel(*lib, x, y));
        drawn = {std::min(drawn.left, x), std::min(drawn.top, y), std::max(drawn.right, x + 1),
                 std::max(drawn.bottom, y + 1)};
      }
    }
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, all) << angle;
    EXPECT_EQ(lib->GetDirtyList()->Bounds(), drawn) << angle;
  }
}

#ifdef BW_TEST_PIXEL_LIBRARY_DIR
TEST(PixelLibrary, ASharedObjectReplacesTheBuiltInTable) {
  PixelLibrary loaded(BW_TEST_PIXEL_LIBRARY_DIR, nullptr);
  ASSERT_NE(loaded.GetModule(), nullptr);
  ASSERT_TRUE(loaded.HasTable());
  ScopedPixelLibrary on(&loaded);
  EXPECT_EQ(GetPixelLibrary(), &loaded);
  std::mt19937 rng(34);
  auto dst = Random(rng, 8, 8, 32);
  auto src = Random(rng, 4, 4, 32);
  // The opacity blit goes to the library's blend routine, which paints its marker.
  ASSERT_EQ(dst->OpacityBlit(src.get(), 100, 6, 6, nullptr), 0);
  EXPECT_EQ(Pixel(*dst, 7, 7), 0xFFABCDEFu);
  EXPECT_EQ(dst->GetDirtyList()->Bounds(), (Rect{6, 6, 8, 8}));
  // A refusing routine gives 2 and marks nothing; an empty position likewise.
  auto fresh = Random(rng, 8, 8, 32);
  const Size size{5, 5};
  EXPECT_EQ(fresh->StretchOpacityBlit(src.get(), 100, &size, 0, 0, nullptr),
            ImageSurface::kOpBadFormat);
  EXPECT_EQ(fresh->FillColorBlend(1, 2, 3, 4, nullptr), ImageSurface::kOpBadFormat);
  EXPECT_EQ(fresh->GetDirtyList()->Count(), 0);
  EXPECT_FALSE(fresh->IsChanged());
  // Switched off, the engine's own kernels draw again.
  ScopedPixelLibrary off(nullptr);
  ASSERT_EQ(fresh->OpacityBlit(src.get(), 255, 0, 0, nullptr), 0);
  EXPECT_EQ(Pixel(*fresh, 0, 0) & 0xFFFFFF, Pixel(*src, 0, 0) & 0xFFFFFF);
}
#endif

}  // namespace
}  // namespace bw
