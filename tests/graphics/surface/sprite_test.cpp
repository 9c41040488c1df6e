#include "graphics/surface/sprite.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "app/platform/trig_tables.h"
#include "common/global.h"
#include "graphics/pixel/mmx_flag.h"
#include "graphics/pixel/pixel_library.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/pixel/blend_reference.h"
#include "graphics/surface/surface_fixture.h"

namespace bw {
namespace {

using testing_surfaces::Pixel;
using testing_surfaces::Random;

using namespace reference;

// Colour channels only: each mode's own alpha rule is the kernels' business.
uint32_t ModeReference(int mode, int opacity, uint32_t d, uint32_t s, bool mmx) {
  switch (mode) {
    case 0:  // the plain set sums two products; the other lerps by opacity + 1
      return PerChannel(d, [&](int v, int c) {
        return mmx ? Lerp(v, Channel(s, c), opacity + 1)
                   : std::min(255, ProductTable[255 - opacity][v] + ProductTable[opacity][Channel(s, c)]);
      });
    case 1: return s;
    case 2:  // the source alpha scaled by the opacity is the lerp weight
      return PerChannel(d, [&](int v, int c) {
        return Lerp(v, Channel(s, c), W(ProductTable[opacity][Channel(s, 3)]));
      });
    case 4: return PerChannel(d, [&](int v, int c) { return Saturate(v + Channel(s, c)); });
    case 5: return PerChannel(d, [&](int v, int c) { return Saturate(v - Channel(s, c)); });
  }
  return d;
}

class SpriteDraw : public testing::TestWithParam<bool> {
 protected:
  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  ScopedMmxFlag mmx_{GetParam()};
};

TEST_P(SpriteDraw, EachModeMatchesThePixelReferenceInsideTheClip) {
  std::mt19937 rng(77);
  for (int mode : {0, 1, 2, 4, 5}) {
    for (int round = 0; round < 6; ++round) {
      auto target = Random(rng, 37, 29, 32);
      auto source = Random(rng, 23, 19, 32);
      const auto before = testing_surfaces::Copy(*target);
      Sprite sprite;
      const Rect sourceRect{2, 3, 21, 17};
      const int32_t x = int32_t(rng() % 40) - 10, y = int32_t(rng() % 30) - 8;
      ASSERT_EQ(sprite.SetImage(source.get(), &sourceRect, x, y), kSpriteDone);
      ASSERT_EQ(sprite.SetDrawMode(mode), 0);
      const int opacity = mode == 0 ? int(rng() % 256) : 255;
      sprite.SetAlpha(opacity);
      const Rect clip{3, 2, 31, 25};
      ASSERT_EQ(sprite.Draw(target.get(), clip), kDrawDone) << "mode " << mode;
      for (int j = 0; j < target->GetHeight(); ++j) {
        for (int i = 0; i < target->GetWidth(); ++i) {
          const uint32_t d = Pixel(*before, i, j);
          const bool inside = i >= std::max(clip.left, x) && j >= std::max(clip.top, y) &&
                              i < std::min(clip.right, x + sourceRect.Width()) &&
                              j < std::min(clip.bottom, y + sourceRect.Height());
          const uint32_t s = inside ? Pixel(*source, i - x + sourceRect.left, j - y + sourceRect.top) : 0;
          const uint32_t expected = inside && opacity != 0 ? ModeReference(mode, opacity, d, s, GetParam()) : d;
          const uint32_t mask = inside ? 0x00FFFFFFu : 0xFFFFFFFFu;
          ASSERT_EQ(Pixel(*target, i, j) & mask, expected & mask)
              << "mode " << mode << " opacity " << opacity << " at " << i << "," << j;
        }
      }
    }
  }
}

TEST_P(SpriteDraw, ZoomedAndMirroredSpritesDrawTheirWorkSurface) {
  std::mt19937 rng(5);
  auto source = Random(rng, 6, 4, 32);
  ImageSurface target;
  ASSERT_EQ(target.Create(20, 20, 32, kImageDirtyList), kSurfaceDone);
  Sprite sprite;
  ASSERT_EQ(sprite.SetImage(source.get(), nullptr, 1, 1), kSpriteDone);
  sprite.SetDrawMode(1);
  ASSERT_EQ(sprite.SetMirrorMode(1), 1);
  EXPECT_EQ(sprite.SetMirrorMode(1), 0);
  ASSERT_EQ(sprite.SetZoom(12, 8), kSpriteDone);
  EXPECT_EQ(*sprite.GetRectPtr(), (Rect{1, 1, 13, 9}));
  Rect drawn;
  ASSERT_EQ(sprite.DrawInto(&target, &drawn), kDrawDone);
  EXPECT_EQ(drawn, (Rect{1, 1, 13, 9}));
  const Geometry walk{1, 1, 12, 8, 0, 0, 6, 4, Walk::kStretchedMirrored};
  for (int j = 0; j < 8; ++j) {
    for (int i = 0; i < 12; ++i) {
      const auto [sx, sy] = SourceOf(walk, i, j);
      ASSERT_EQ(Pixel(target, 1 + i, 1 + j), Pixel(*source, sx, sy)) << i << "," << j;
    }
  }
  EXPECT_TRUE(target.IsChanged());
}

INSTANTIATE_TEST_SUITE_P(BothKernelSets, SpriteDraw, testing::Bool());

TEST(Sprite, KeyedAndEightBitSourcesTakeTheBlitPaths) {
  ScopedPixelLibrary library(&BuiltInPixelLibrary());
  ImageSurface source, target;
  ASSERT_EQ(source.Create(4, 4, 32, 0), kSurfaceDone);
  ASSERT_EQ(target.Create(8, 8, 32, 0), kSurfaceDone);
  source.Fill(0xFF112233u, nullptr);
  source.SetPixel(0, 0, 0x00000000u);
  ASSERT_EQ(source.SetColorKeyRgb(0, 0, 0), kKeySet);
  target.Fill(0xFF808080u, nullptr);
  Sprite sprite;
  ASSERT_EQ(sprite.SetImage(&source, nullptr, 0, 0), kSpriteDone);
  for (int mode : {1, 3}) {
    sprite.SetDrawMode(mode);
    Rect out{};
    EXPECT_EQ(sprite.DrawInto(&target, &out), kDrawNothing) << mode;
    EXPECT_EQ(Pixel(target, 1, 1), 0xFF808080u) << "keyed mode " << mode << " draws nothing";
  }
  sprite.SetDrawMode(0);
  ASSERT_EQ(sprite.DrawInto(&target, nullptr), kDrawDone);
  EXPECT_EQ(Pixel(target, 0, 0) & 0xFFFFFF, 0x808080u) << "the key stays transparent";
  EXPECT_EQ(Pixel(target, 1, 0) & 0xFFFFFF, 0x112233u);
  EXPECT_TRUE(sprite.HitTest(1, 0, true));
  EXPECT_FALSE(sprite.HitTest(0, 0, true));
  EXPECT_TRUE(sprite.HitTest(0, 0, false));
  EXPECT_FALSE(sprite.HitTest(4, 0, false));

  ImageSurface indexed, indexedTarget;
  ASSERT_EQ(indexed.Create(3, 3, 8, 0), kSurfaceDone);
  ASSERT_EQ(indexedTarget.Create(5, 5, 8, 0), kSurfaceDone);
  indexed.Fill(7, nullptr);
  Sprite small;
  ASSERT_EQ(small.SetImage(&indexed, nullptr, 1, 1), kSpriteDone);
  small.SetDrawMode(9);
  ASSERT_EQ(small.Draw(&indexedTarget, Rect{0, 0, 5, 5}), kDrawDone);
  EXPECT_EQ(indexedTarget.GetRowPointer(2)[2], 7) << "any mode copies an 8-bit picture";
  EXPECT_EQ(indexedTarget.GetRowPointer(0)[0], 0);
}

TEST(Sprite, RefusesWithoutALibraryOrASurfaceAndKeepsTheSourceRectInside) {
  ImageSurface source;
  ASSERT_EQ(source.Create(10, 10, 32, 0), kSurfaceDone);
  Sprite sprite;
  {
    ScopedPixelLibrary none(nullptr);
    EXPECT_EQ(sprite.SetImage(&source, nullptr, 0, 0), kSpriteNoLibrary);
  }
  ScopedPixelLibrary library(&BuiltInPixelLibrary());
  ImageSurface empty;
  EXPECT_EQ(sprite.SetImage(&empty, nullptr, 0, 0), kSpriteNoSurface);
  const Rect outside{20, 20, 30, 30};
  EXPECT_EQ(sprite.SetImage(&source, &outside, 0, 0), kSpriteRectNotClipping);
  const Rect partly{5, 5, 30, 30};
  ASSERT_EQ(sprite.SetImage(&source, &partly, 3, 4), kSpriteDone);
  EXPECT_EQ(sprite.GetSourceRect(), (Rect{5, 5, 10, 10}));
  EXPECT_EQ(*sprite.GetRectPtr(), (Rect{3, 4, 8, 9}));
  EXPECT_EQ(sprite.SetSourceRect(&outside), kSpriteRectRefused);
  EXPECT_EQ(sprite.GetSourceRect(), (Rect{5, 5, 10, 10}));
}

TEST(Sprite, CopyStateSharesTheWorkSurfaceAndCopyFromDuplicatesIt) {
  ScopedPixelLibrary library(&BuiltInPixelLibrary());
  std::mt19937 rng(9);
  auto source = Random(rng, 8, 8, 32);
  Sprite original;
  ASSERT_EQ(original.SetImage(source.get(), nullptr, 4, 5), kSpriteDone);
  ASSERT_EQ(original.SetZoom(16, 16), kSpriteDone);
  Sprite shared, copy;
  shared.SetTag(42);
  shared.CopyStateFrom(original);
  EXPECT_EQ(shared.GetTag(), 42u) << "the tag is not state";
  EXPECT_EQ(shared.GetWorkSurface(), original.GetWorkSurface());
  EXPECT_EQ(shared.SetSourceRect(nullptr), kSpriteBorrowed) << "a borrowed picture is not re-rendered";
  copy.CopyFrom(original);
  ASSERT_NE(copy.GetWorkSurface(), nullptr);
  EXPECT_NE(copy.GetWorkSurface(), original.GetWorkSurface());
  EXPECT_TRUE(testing_surfaces::SamePixels(*copy.GetWorkSurface(), *original.GetWorkSurface()));
  EXPECT_EQ(*copy.GetRectPtr(), *original.GetRectPtr());
}

TEST(Sprite, AQuarterTurnSwapsThePlacedSizeAndAWholeTurnDropsIt) {
  TrigTables trig;
  ScopedGlobal<TrigTables> publish{&trig};
  ScopedPixelLibrary library(&BuiltInPixelLibrary());
  std::mt19937 rng(31);
  auto source = Random(rng, 6, 4, 32);
  Sprite sprite;
  ASSERT_EQ(sprite.SetImage(source.get(), nullptr, 10, 10), kSpriteDone);
  ASSERT_EQ(sprite.SetRotation(128, 1.0), kSpriteDone);
  ASSERT_TRUE(sprite.IsRotated());
  EXPECT_EQ(sprite.GetWidth(), 4);
  EXPECT_EQ(sprite.GetHeight(), 6);
  const Rect placed = *sprite.GetRectPtr();
  EXPECT_EQ(placed.left + 2, 10 + 3) << "turned about the centre (3, 2)";
  const ImageSurface* work = sprite.GetWorkSurface();
  ASSERT_NE(work, nullptr);
  // Every source pixel shows once: the top-left lands bottom-left, the top-right top-left.
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 4; ++x) {
      ASSERT_EQ(Pixel(*work, x, y), Pixel(*source, 5 - y, x)) << x << "," << y;
    }
  }
  ASSERT_EQ(sprite.SetRotation(256, 1.0), kSpriteDone);
  EXPECT_EQ(sprite.GetWidth(), 6);
  EXPECT_EQ(sprite.GetHeight(), 4);
  work = sprite.GetWorkSurface();
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      ASSERT_EQ(Pixel(*work, x, y), Pixel(*source, 5 - x, 3 - y)) << x << "," << y;
    }
  }
  ASSERT_EQ(sprite.SetRotation(128, 1.0), kSpriteDone);
  sprite.SetChanged(false);
  EXPECT_EQ(sprite.SetRotation(128, 1.0), kSpriteDone);
  EXPECT_FALSE(sprite.IsChanged()) << "the same angle and scale change nothing";
  ASSERT_EQ(sprite.SetRotation(512, 1.0), kSpriteDone);
  EXPECT_FALSE(sprite.IsRotated());
  EXPECT_EQ(*sprite.GetRectPtr(), (Rect{10, 10, 16, 14}));

  ImageSurface indexed;
  ASSERT_EQ(indexed.Create(4, 4, 8, 0), kSurfaceDone);
  Sprite flat;
  ASSERT_EQ(flat.SetImage(&indexed, nullptr, 0, 0), kSpriteDone);
  EXPECT_EQ(flat.SetRotation(128, 1.0), kSpriteNoSurface) << "only 32-bit pictures turn";
}

TEST(ColorRectObject, BlendsAddsAndSubtractsItsColour) {
  ImageSurface target;
  ASSERT_EQ(target.Create(6, 6, 32, 0), kSurfaceDone);
  target.Fill(0xFF404040u, nullptr);
  ColorRectObject rect;
  ASSERT_EQ(rect.Create(2, 2, 0xFF102030u, 1, 1), 0);
  ASSERT_EQ(rect.SetDrawMode(2), 0);
  ASSERT_EQ(rect.Draw(&target, Rect{0, 0, 6, 6}), kDrawDone);
  EXPECT_EQ(Pixel(target, 1, 1) & 0xFFFFFF, 0x506070u);
  EXPECT_EQ(Pixel(target, 3, 3) & 0xFFFFFF, 0x404040u);
  rect.SetDrawMode(3);
  rect.SetArgb(0x80FF0000u);
  ASSERT_EQ(rect.Draw(&target, Rect{0, 0, 6, 2}), kDrawDone);
  EXPECT_EQ(Pixel(target, 1, 1) & 0xFFFFFF, 0x006070u) << "red scaled by alpha 128 is 127";
  EXPECT_EQ(Pixel(target, 1, 2) & 0xFFFFFF, 0x506070u) << "outside the clip";
  rect.SetDrawMode(1);
  EXPECT_EQ(rect.Draw(&target, Rect{0, 0, 6, 6}), kDrawNothing);
  EXPECT_EQ(rect.SetDrawMode(4), 1);
  EXPECT_TRUE(rect.HitTest(2, 2, false));
  rect.Resize(0, 2);
  EXPECT_FALSE(rect.HitTest(1, 1, false));
}

}  // namespace
}  // namespace bw
