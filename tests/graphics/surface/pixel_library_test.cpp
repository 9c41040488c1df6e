#include "graphics/surface/pixel_library.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/global.h"
#include "graphics/surface/surface_fixture.h"
#include "host/trust.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using namespace testing_surfaces;

// The built-in library on, and a random 8 x 8 target and 4 x 4 source.
class PixelLibraryTest : public testing::Test {
 protected:
  ScopedPixelLibrary on{&BuiltInPixelLibrary()};
  std::mt19937 rng{30};
  std::unique_ptr<ImageSurface> dst = Random(rng, 8, 8, 32);
  std::unique_ptr<ImageSurface> src = Random(rng, 4, 4, 32);
};

TEST_F(PixelLibraryTest, LibraryOnlyOperationsAnswerTheirCodesWithoutALibraryOrFor8Bits) {
  auto eight = Random(rng, 8, 8, 8);
  const uint32_t words[13] = {};
  {
    ScopedPixelLibrary off(nullptr);
    EXPECT_EQ(dst->LibOpLevel(0, 0, 0, nullptr), ImageSurface::kOpDone) << "level 0 calls nothing";
    EXPECT_EQ(dst->LibStretchBlit(src.get(), 1, 0, 255, 0, nullptr, 0, 0, nullptr),
              ImageSurface::kOpBadFormat);
    EXPECT_FALSE(dst->LibFilterC(1));
    EXPECT_EQ(dst->LibBlendB(src.get(), src.get(), eight.get(), words), ImageSurface::kOpBadFormat);
    EXPECT_EQ(dst->LibBlendB(src.get(), src.get(), nullptr, words), ImageSurface::kOpNoPixels);
  }
  EXPECT_EQ(eight->LibOpLevel(0, 5, 0, nullptr), ImageSurface::kOpBadFormat);
  EXPECT_EQ(eight->LibBlitOpB(src.get(), 0, 255, 0, 0, 0, nullptr), ImageSurface::kOpBadFormat);
  EXPECT_EQ(eight->LibBlendB(src.get(), src.get(), eight.get(), words), ImageSurface::kOpBadFormat);
  ImageSurface empty;
  EXPECT_EQ(empty.LibOpByte(1, nullptr), ImageSurface::kOpNoPixels);
}

TEST_F(PixelLibraryTest, TheRuleBlendRunsTheLibrarysRoutine) {
  auto from = Random(rng, 8, 8, 32);
  auto to = Random(rng, 8, 8, 32);
  auto rule = Random(rng, 8, 8, 8);
  // Level 255 with a narrow ramp: the area shows the new picture wherever the rule is below it.
  for (int y = 0; y < 8; ++y) std::fill_n(rule->GetRowPointer(y), 8, uint8_t(0));
  // level, ramp width, extra, target x, y, width, height, old x, y, new x, y, rule x, y
  const uint32_t words[13] = {255, 1, 0, 2, 3, 4, 2, 0, 0, 4, 6, 0, 0};
  ASSERT_EQ(dst->LibBlendB(from.get(), to.get(), rule.get(), words), 0);
  EXPECT_EQ(Pixel(*dst, 5, 4) & 0xFFFFFF, Pixel(*to, 7, 7) & 0xFFFFFF);
  EXPECT_EQ(dst->GetDirtyList()->Bounds(), (Rect{2, 3, 6, 5}));

  // An area past the pictures is refused by the routine: 3, nothing marked.
  auto fresh = Random(rng, 8, 8, 32);
  auto before = Copy(*fresh);
  const uint32_t outside[13] = {255, 1, 0, 6, 6, 4, 4, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(fresh->LibBlendB(from.get(), to.get(), rule.get(), outside), 3);
  EXPECT_TRUE(SamePixels(*fresh, *before));
  EXPECT_FALSE(fresh->IsChanged());
}

TEST_F(PixelLibraryTest, BuiltInRefusesUnknownOperationWordsAndMarksNothing) {
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
  // A position whose work lies only in a library: the built-in one does not provide it.
  EXPECT_EQ(dst->LibFilterA(nullptr), ImageSurface::kOpBadFormat);
}

// Operation 3 of the affine routine: a quarter turn, whose samples are exact, lands as the
// turned picture laid onto the target's own alpha would, inside the clip only.
TEST_F(PixelLibraryTest, TheAffineRoutineLaysATurnOntoTheTargetsAlpha) {
  src = Random(rng, 6, 4, 32);
  dst = Random(rng, 12, 10, 32);
  ImageSurface turned;
  ASSERT_EQ(turned.Create(4, 6, 32, 0), kSurfaceDone);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 4; ++x) SetPixel32(turned, x, y, Pixel(*src, 5 - y, x));
  }
  const Rect clip{6, 2, 12, 8};
  dst->SetClipRect(&clip);
  auto expected = Copy(*dst);
  expected->SetClipRect(&clip);
  ASSERT_EQ(expected->AlphaBlitOntoAlpha(&turned, 200, 5, 3, nullptr), ImageSurface::kOpDone);
  const LibPoint corners[3] = {{5, 9}, {5, 3}, {9, 9}};
  const uint32_t extras[4] = {};
  auto affine = BuiltInPixelLibrary().Get<AffineRoutine>(kLibAffine);
  ASSERT_EQ(affine(dst.get(), src.get(), corners, nullptr, kLibOntoAlpha, 0, 200, extras), 0);
  EXPECT_TRUE(SamePixels(*dst, *expected));
  EXPECT_EQ(*BuiltInPixelLibrary().Touched(), (Rect{6, 3, 9, 8}));
}

#ifdef BW_TEST_PIXEL_LIBRARY_DIR
TEST_F(PixelLibraryTest, ASharedObjectReplacesTheBuiltInTable) {
  host::ScopedGameTrust trust(true);
  PixelLibrary loaded(BW_TEST_PIXEL_LIBRARY_DIR, nullptr);
  ASSERT_NE(loaded.GetModule(), nullptr);
  ASSERT_TRUE(loaded.HasTable());
  ScopedPixelLibrary useLoaded(&loaded);
  // The opacity blit goes to the library's blend routine, which paints its marker.
  ASSERT_EQ(dst->OpacityBlit(src.get(), 100, 6, 6, nullptr), 0);
  EXPECT_EQ(Pixel(*dst, 6, 6), 0xFFABCDEFu);
  EXPECT_EQ(dst->GetDirtyList()->Bounds(), (Rect{6, 6, 7, 7})) << "the library's touched rectangle";
  // A refusing routine gives 2 and marks nothing; an empty position likewise.
  auto fresh = Random(rng, 8, 8, 32);
  const Size size{5, 5};
  EXPECT_EQ(fresh->StretchOpacityBlit(src.get(), 100, &size, 0, 0, nullptr),
            ImageSurface::kOpBadFormat);
  EXPECT_EQ(fresh->FillColorBlend(1, 2, 3, 4, nullptr), ImageSurface::kOpBadFormat);
  EXPECT_EQ(fresh->GetDirtyList()->Count(), 0);
  // Switched off, the engine's own kernels draw again.
  ScopedPixelLibrary off(nullptr);
  ASSERT_EQ(fresh->OpacityBlit(src.get(), 255, 0, 0, nullptr), 0);
  EXPECT_EQ(Pixel(*fresh, 0, 0) & 0xFFFFFF, Pixel(*src, 0, 0) & 0xFFFFFF);
}
#endif

}  // namespace
}  // namespace bw
