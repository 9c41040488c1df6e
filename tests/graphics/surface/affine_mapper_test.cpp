#include "graphics/surface/affine_mapper.h"

#include <gtest/gtest.h>

#include <limits>

#include "graphics/surface/surface_fixture.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using namespace testing_surfaces;

constexpr uint32_t kBackground = 0x5A5A5A5A;

struct Vec {
  int x, y;
};

std::unique_ptr<ImageSurface> Opaque(std::mt19937& rng, int w, int h) {
  auto s = Random(rng, w, h, 32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SetPixel32(*s, x, y, Pixel(*s, x, y) | 0xFF000000u);
  return s;
}

std::unique_ptr<ImageSurface> Blank(int w, int h) {
  auto s = std::make_unique<ImageSurface>();
  s->Create(w, h, 32, kImageDirtyList);
  s->Fill(kBackground, nullptr);
  return s;
}

// Whole-pixel turns: source pixel (i, j) covers the unit square a + i x e1 + j x e2 (e1 and e2
// unit steps along the axes) and shows in the target pixel at that square's top-left.
std::unique_ptr<ImageSurface> ExpectedTurn(const ImageSurface& source, const ImageSurface& target,
                                           Vec a, Vec e1, Vec e2, uint32_t mirror) {
  auto out = Copy(target);
  const int w = source.GetWidth(), h = source.GetHeight();
  const Rect& clip = *target.GetClipRectPtr();
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const int x = a.x + i * e1.x + j * e2.x + std::min(0, e1.x) + std::min(0, e2.x);
      const int y = a.y + i * e1.y + j * e2.y + std::min(0, e1.y) + std::min(0, e2.y);
      if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom) continue;
      const int si = mirror & kLibMirrorLeftRight ? w - 1 - i : i;
      const int sj = mirror & kLibMirrorUpsideDown ? h - 1 - j : j;
      SetPixel32(*out, x, y, Pixel(source, si, sj));
    }
  }
  return out;
}

struct Turn {
  const char* name;
  Vec e1, e2;  // where one source step right and one step down land
};
constexpr Turn kTurns[] = {{"none", {1, 0}, {0, 1}},
                           {"quarter", {0, -1}, {1, 0}},
                           {"half", {-1, 0}, {0, -1}},
                           {"three quarters", {0, 1}, {-1, 0}}};

TEST(AffineMapper, WholeTurnsLandEverySourcePixelOnceAtItsSquare) {
  std::mt19937 rng(71);
  for (const Vec size : {Vec{5, 3}, Vec{3, 7}, Vec{1, 1}}) {
    auto source = Opaque(rng, size.x, size.y);
    const Rect all{0, 0, size.x, size.y};
    for (const Turn& turn : kTurns) {
      for (uint32_t mirror = 0; mirror < 4; ++mirror) {
        auto target = Blank(16, 16);
        const Vec a{8, 8};
        auto expected = ExpectedTurn(*source, *target, a, turn.e1, turn.e2, mirror);
        const LibPoint corners[3] = {
            {double(a.x), double(a.y)},
            {double(a.x + size.x * turn.e1.x), double(a.y + size.x * turn.e1.y)},
            {double(a.x + size.y * turn.e2.x), double(a.y + size.y * turn.e2.y)}};
        ASSERT_EQ(AffineTextureMap(target.get(), source.get(), corners, all, mirror, nullptr),
                  kAffineDone);
        ASSERT_TRUE(SamePixels(*target, *expected))
            << size.x << "x" << size.y << " " << turn.name << " mirror " << mirror;
      }
    }
  }
}

TEST(AffineMapper, CornersOffByRoundingNoiseOrHalfAPixelStillLandEveryPixel) {
  // Turned corners come from cosine tables: a quarter turn's zero is 6e-17, not 0. And the
  // rotated-bounds corners sit half a pixel out, so every centre lies half a pixel inside.
  std::mt19937 rng(72);
  auto source = Opaque(rng, 5, 3);
  const Rect all{0, 0, 5, 3};
  const double noise = 6.123233995736766e-17 * 5;
  const LibPoint noisy[3] = {{8 - noise, 8 + noise}, {8 + noise, 3 - noise}, {11, 8 - noise}};
  auto target = Blank(16, 16);
  auto expected = ExpectedTurn(*source, *target, {8, 8}, {0, -1}, {1, 0}, 0);
  ASSERT_EQ(AffineTextureMap(target.get(), source.get(), noisy, all, 0, nullptr), kAffineDone);
  EXPECT_TRUE(SamePixels(*target, *expected));

  const LibPoint halfOut[3] = {{-0.5, 4.5}, {-0.5, -0.5}, {2.5, 4.5}};
  auto box = Blank(3, 5);
  ASSERT_EQ(AffineTextureMap(box.get(), source.get(), halfOut, all, 0, nullptr), kAffineDone);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 5; ++i) ASSERT_EQ(Pixel(*box, j, 4 - i), Pixel(*source, i, j));
}

// A corner that is not a number draws nothing; so does a shape without area. A huge shape covers
// the whole target without overflowing. (Clips and keys meet a pixel-by-pixel oracle in the row
// runs' test.)
TEST(AffineMapper, BadCornersDrawNothingAndHugeShapesStayInside) {
  std::mt19937 rng(75);
  auto source = Opaque(rng, 5, 3);
  const Rect all{0, 0, 5, 3};
  const LibPoint straight[3] = {{0, 0}, {5, 0}, {0, 3}};
  Rect touched;
  auto untouched = Blank(8, 8);
  auto before = Copy(*untouched);
  const LibPoint bad[3] = {{0, 0}, {std::numeric_limits<double>::quiet_NaN(), 0}, {0, 3}};
  EXPECT_EQ(AffineTextureMap(untouched.get(), source.get(), bad, all, 0, &touched),
            kAffineBadArguments);
  const LibPoint flat[3] = {{0, 0}, {5, 5}, {2, 2}};
  EXPECT_EQ(AffineTextureMap(untouched.get(), source.get(), flat, all, 0, &touched), kAffineDone);
  EXPECT_TRUE(touched.IsEmpty());
  EXPECT_TRUE(SamePixels(*untouched, *before));
  const LibPoint huge[3] = {{-3e9, -3e9}, {3e9, -3e9}, {-3e9, 3e9}};
  EXPECT_EQ(AffineTextureMap(untouched.get(), source.get(), huge, all, 0, &touched), kAffineDone);
  EXPECT_EQ(touched, (Rect{0, 0, 8, 8}));
  ImageSurface eight;
  ASSERT_EQ(eight.Create(4, 4, 8, 0), kSurfaceDone);
  EXPECT_EQ(AffineTextureMap(untouched.get(), &eight, straight, all, 0, &touched),
            kAffineBadArguments);
}

}  // namespace
}  // namespace bw
