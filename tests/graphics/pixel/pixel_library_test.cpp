#include "graphics/pixel/pixel_library.h"

#include <gtest/gtest.h>

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
