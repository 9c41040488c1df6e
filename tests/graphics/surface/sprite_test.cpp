#include "graphics/surface/sprite.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "common/global.h"
#include "graphics/pixel/blend_reference.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/rotated_bounds.h"
#include "graphics/surface/surface_fixture.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"

namespace bw {
namespace {

using testing_surfaces::Pixel;
using testing_surfaces::Random;

using namespace reference;

// Colour channels only: each mode's own alpha rule is the kernels' business.
uint32_t ModeReference(int mode, int opacity, uint32_t d, uint32_t s, bool mmx) {
  switch (mode) {
    case 0:  // the plain set sums two products; the other lerps by opacity + 1
      return mmx ? OpacityRef(d, s, opacity)
                 : CrossfadeRef(d, s, 0x010101u * uint32_t(255 - opacity),
                                0x010101u * uint32_t(opacity));
    case 1:
      return s;
    case 2:  // the source alpha scaled by the opacity is the lerp weight
      return AlphaLerpRef(d, s, ProductTable[opacity]);
    case 4:
      return AddRef(d, s);
    case 5:
      return SubtractRef(d, s);
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
          const uint32_t s =
              inside ? Pixel(*source, i - x + sourceRect.left, j - y + sourceRect.top) : 0;
          const uint32_t expected =
              inside && opacity != 0 ? ModeReference(mode, opacity, d, s, GetParam()) : d;
          const uint32_t mask = inside ? 0x00FFFFFFu : 0xFFFFFFFFu;
          ASSERT_EQ(Pixel(*target, i, j) & mask, expected & mask)
              << "mode " << mode << " opacity " << opacity << " at " << i << "," << j;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothKernelSets, SpriteDraw, testing::Bool());

TEST(Sprite, RefusesRectsOutsideTheSurfaceAndModesPastTheLast) {
  ImageSurface source;
  ASSERT_EQ(source.Create(10, 10, 32, 0), kSurfaceDone);
  Sprite sprite;
  ScopedPixelLibrary library(&BuiltInPixelLibrary());
  const Rect outside{20, 20, 30, 30};
  EXPECT_EQ(sprite.SetImage(&source, &outside, 0, 0), kSpriteRectNotClipping);
  const Rect partly{5, 5, 30, 30};
  ASSERT_EQ(sprite.SetImage(&source, &partly, 3, 4), kSpriteDone);
  EXPECT_EQ(sprite.GetSourceRect(), (Rect{5, 5, 10, 10}));
  EXPECT_EQ(*sprite.GetRectPtr(), (Rect{3, 4, 8, 9}));
  EXPECT_EQ(sprite.SetSourceRect(&outside), kSpriteRectRefused);
  // Draw modes end at the last.
  for (int mode : {0, kMaxDrawMode}) EXPECT_EQ(sprite.SetDrawMode(mode), 0) << mode;
  for (int mode : {-1, kMaxDrawMode + 1}) EXPECT_EQ(sprite.SetDrawMode(mode), 1) << mode;
  EXPECT_EQ(sprite.GetDrawMode(), kMaxDrawMode) << "a refused mode changes nothing";
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
  const Rect placed = *sprite.GetRectPtr();
  EXPECT_EQ(std::tuple(placed.left, placed.Width(), placed.Height()), std::tuple(11, 4, 6))
      << "turned about the centre (3, 2)";
  // A 32-bit picture is never mirrored: modes 0 and 1 (with or without the flag 0x10) copy it
  // whole, and 3 lays it onto the clear work surface, which gives the same bytes.
  for (int mode : {0, 1, 0x11, 3}) {
    (void)sprite.SetMirrorMode(mode);
    const ImageSurface* work = sprite.GetWorkSurface();
    ASSERT_NE(work, nullptr);
    // Every source pixel shows once: the top-left lands bottom-left, the top-right top-left.
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 4; ++x) {
        ASSERT_EQ(Pixel(*work, x, y), Pixel(*source, 5 - y, x))
            << "mode " << mode << " at " << x << "," << y;
      }
    }
  }
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

// The mirror byte of a zoomed picture: 8-bit pictures flip; a 32-bit one is copied whole in modes
// 0 and 1, and 2 lays it alpha-over onto a clear picture whose alpha stays 0, afresh each time.
TEST(Sprite, TheMirrorByteFlipsAZoomed8BitPictureAndBlendsA32BitOne) {
  ScopedPixelLibrary library(&BuiltInPixelLibrary());
  ImageSurface wide;
  ASSERT_EQ(wide.Create(2, 2, 32, 0), kSurfaceDone);
  const uint32_t left = 0x80102030, right = 0xFFC0B0A0;
  for (int y = 0; y < 2; ++y) {
    testing_surfaces::SetPixel32(wide, 0, y, left);
    testing_surfaces::SetPixel32(wide, 1, y, right);
  }
  Sprite sprite;
  ASSERT_EQ(sprite.SetImage(&wide, nullptr, 0, 0), kSpriteDone);
  for (int mode : {1, 0x10, 0}) {
    (void)sprite.SetMirrorMode(mode);
    ASSERT_EQ(sprite.SetZoom(5, 3), kSpriteDone);
    const ImageSurface& work = *sprite.GetWorkSurface();
    EXPECT_EQ(Pixel(work, 0, 2), left) << "mode " << mode;
    EXPECT_EQ(Pixel(work, 4, 0), right) << "mode " << mode;
  }
  (void)sprite.SetMirrorMode(2);
  const uint32_t blended = Pixel(*sprite.GetWorkSurface(), 0, 0);
  EXPECT_EQ(blended >> 24, 0u);
  EXPECT_LT(blended & 0xFF, 0x30u) << "weighted by its alpha";
  sprite.Refresh(nullptr);
  EXPECT_EQ(Pixel(*sprite.GetWorkSurface(), 0, 0), blended) << "not blended over the last one";
  EXPECT_EQ(Pixel(*sprite.GetWorkSurface(), 4, 0), right & 0xFFFFFF);

  ImageSurface indexed;
  ASSERT_EQ(indexed.Create(2, 1, 8, 0), kSurfaceDone);
  indexed.GetRowPointer(0)[0] = 7;
  indexed.GetRowPointer(0)[1] = 9;
  Sprite flat;
  ASSERT_EQ(flat.SetImage(&indexed, nullptr, 0, 0), kSpriteDone);
  (void)flat.SetMirrorMode(1);
  ASSERT_EQ(flat.SetZoom(4, 1), kSpriteDone);
  EXPECT_EQ(flat.GetWorkSurface()->GetRowPointer(0)[0], 9) << "left-right";
  EXPECT_EQ(flat.GetWorkSurface()->GetRowPointer(0)[3], 7);
}

class RotatedBoundsTest : public testing::Test {
 protected:
  // Calls with every box output asked for (the corners then stay relative to the box).
  bool Boxed(int32_t x, int32_t y, int angle, double scale, int32_t w, int32_t h, double ax,
             double ay) {
    return ComputeRotatedBounds(&corners, x, y, angle, scale, w, h, ax, ay,
                                RotatedBox{&width, &height, &left, &top});
  }
  TrigTables trig;
  ScopedGlobal<TrigTables> scope{&trig};
  RotatedCorners corners{};
  int32_t width = -7, height = -7, left = -7, top = -7;
};

TEST_F(RotatedBoundsTest, AQuarterTurnAboutTheCentreSwapsTheSidesAndKeepsTheAnchor) {
  ASSERT_TRUE(Boxed(10, 20, 128, 1.0, 100, 50, 50, 25));
  // The top's -24.5 is truncated toward zero.
  EXPECT_EQ(std::tuple(width, height, left, top), std::tuple(50, 100, 10 + 25, 20 - 24));
  // Relative to the box: the turned corners lie on its edges, half a pixel in.
  double minX = 1e9, maxX = -1e9;
  for (const auto& p : corners.point) minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
  EXPECT_NEAR(minX, -0.5, 1e-9);
  EXPECT_NEAR(maxX, 49.5, 1e-9);

  // Without the box's place asked for, the corners are in target coordinates.
  RotatedCorners placed{};
  ASSERT_TRUE(ComputeRotatedBounds(&placed, 10, 20, 128, 1.0, 100, 50, 50, 25, RotatedBox{}));
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(placed.point[i].x, corners.point[i].x + left, 1e-9) << i;
    EXPECT_NEAR(placed.point[i].y, corners.point[i].y + top, 1e-9) << i;
  }
}

TEST_F(RotatedBoundsTest, RefusalsWriteNothing) {
  EXPECT_FALSE(Boxed(0, 0, 0, 1.0, 10, 10, 5, 5)) << "nothing to do";
  EXPECT_FALSE(Boxed(0, 0, 64, std::nan(""), 10, 10, 5, 5));
  EXPECT_FALSE(Boxed(0, 0, 64, 1e9, 10000, 10000, 0, 0)) << "a box past 32 bits";
  EXPECT_FALSE(Boxed(INT32_MAX, 0, 256, 1.0, 10, 10, 10, 10)) << "a place past 32 bits";
  EXPECT_EQ(std::pair(width, left), std::pair(-7, -7));
  EXPECT_FALSE(ComputeRotatedBounds(nullptr, 0, 0, 64, 1.0, 10, 10, 5, 5, RotatedBox{}));
  ScopedGlobal<TrigTables> none(nullptr);
  EXPECT_FALSE(Boxed(0, 0, 64, 1.0, 10, 10, 5, 5)) << "no tables";
}

// Turns about the top-left corner: a positive quarter turn lifts the picture above its anchor.
// Only the low 9 bits of the angle count: 512 and the lowest angle are whole turns about the
// centre, which leave the box where x puts it.
TEST_F(RotatedBoundsTest, TurnsAboutTheCornerGoTheirWayAndWholeTurnsStay) {
  const struct {
    int32_t x;
    int angle;
    double anchorX, anchorY;
    int32_t width, height, left, top;
  } cases[] = {{0, 128, 0, 0, 50, 100, 0, -99},
               {0, 256, 0, 0, 100, 50, -99, -49},
               {0, 384, 0, 0, 50, 100, -49, 0},
               {10, 512, 50, 25, 100, 50, 10, 0},
               {1, INT32_MIN, 50, 25, 100, 50, 1, 0}};
  for (const auto& c : cases) {
    ASSERT_TRUE(Boxed(c.x, 0, c.angle, 1.0, 100, 50, c.anchorX, c.anchorY)) << c.angle;
    EXPECT_EQ(std::tuple(width, height, left, top), std::tuple(c.width, c.height, c.left, c.top))
        << c.angle;
  }
}

}  // namespace
}  // namespace bw
