#include "graphics/surface/pixel_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "common/global.h"
#include "graphics/surface/surface_fixture.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using namespace testing_surfaces;

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
