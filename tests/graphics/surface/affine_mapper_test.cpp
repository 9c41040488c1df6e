// Label: optimised
#include "graphics/surface/affine_mapper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "graphics/pixel/blend_reference.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/quad_mapper.h"
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
  (void)s->Create(w, h, 32, kImageDirtyList);
  (void)s->Fill(kBackground, nullptr);
  return s;
}

// The turned-picture mapper walks each row as one run of samples; a pixel-by-pixel mapper with
// the exact test at every pixel is the oracle. It samples just inside each pixel's top-left
// corner, so at whole turns, where samples fall on pixel edges, it is exact too.
constexpr double kNudgeX = 1.0 / 4096;
constexpr double kNudgeY = 0.6180339887498949 / 4096;

// Every target pixel of the clip tested on its own; write(out, sample) answers whether it wrote.
template <typename Write>
Rect MapPixelByPixel(ImageSurface& target, const ImageSurface& source, const LibPoint p[3],
                     const Rect& from, uint32_t mirror, Write write) {
  const double w = from.right - from.left, h = from.bottom - from.top;
  const double ux = p[1].x - p[0].x, uy = p[1].y - p[0].y;
  const double vx = p[2].x - p[0].x, vy = p[2].y - p[0].y;
  const double det = ux * vy - uy * vx;
  const double uPerX = vy / det * w, uPerY = -vx / det * w;
  const double vPerX = -uy / det * h, vPerY = ux / det * h;
  Rect clip{0, 0, target.GetWidth(), target.GetHeight()},
      sourceClip{0, 0, source.GetWidth(), source.GetHeight()};
  IntersectRects(&clip, clip, *target.GetClipRectPtr());
  IntersectRects(&sourceClip, sourceClip, *source.GetClipRectPtr());
  Rect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (int32_t y = clip.top; y < clip.bottom; ++y) {
    const double dy = y + kNudgeY - p[0].y;
    for (int32_t x = clip.left; x < clip.right; ++x) {
      const double dx = x + kNudgeX - p[0].x;
      const double u = dy * uPerY + dx * uPerX, v = dy * vPerY + dx * vPerX;
      if (!(u >= 0 && u < w && v >= 0 && v < h)) continue;
      const int64_t su = int64_t(u), sv = int64_t(v);
      const int64_t sx = mirror & kLibMirrorLeftRight ? from.right - 1 - su : from.left + su;
      const int64_t sy = mirror & kLibMirrorUpsideDown ? from.bottom - 1 - sv : from.top + sv;
      if (sx < sourceClip.left || sx >= sourceClip.right || sy < sourceClip.top ||
          sy >= sourceClip.bottom) {
        continue;
      }
      auto* out = reinterpret_cast<uint32_t*>(target.GetRowPointer(y)) + x;
      if (!write(out, Pixel(source, int(sx), int(sy)))) continue;
      box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
             std::max(box.bottom, y + 1)};
    }
  }
  return box.left < box.right ? box : Rect{};
}

struct Turn {
  const char* name;
  Vec e1, e2;  // where one source step right and one step down land
};
constexpr Turn kTurns[] = {{"none", {1, 0}, {0, 1}},
                           {"quarter", {0, -1}, {1, 0}},
                           {"half", {-1, 0}, {0, -1}},
                           {"three quarters", {0, 1}, {-1, 0}}};

// Source pixel (i, j) covers the unit square a + i x e1 + j x e2 and shows in the target pixel
// at that square's top-left.
TEST(AffineMapper, WholeTurnsLandEverySourcePixelOnceAtItsSquare) {
  std::mt19937 rng(71);
  for (const Vec size : {Vec{5, 3}, Vec{3, 7}, Vec{1, 1}}) {
    auto source = Opaque(rng, size.x, size.y);
    const Rect all{0, 0, size.x, size.y};
    for (const Turn& turn : kTurns) {
      for (uint32_t mirror = 0; mirror < 4; ++mirror) {
        auto target = Blank(16, 16), expected = Blank(16, 16);
        const Vec a{8, 8};
        const LibPoint corners[3] = {
            {double(a.x), double(a.y)},
            {double(a.x + size.x * turn.e1.x), double(a.y + size.x * turn.e1.y)},
            {double(a.x + size.y * turn.e2.x), double(a.y + size.y * turn.e2.y)}};
        ASSERT_EQ(AffineTextureMap(target.get(), source.get(), corners, all, mirror, nullptr),
                  kAffineDone);
        MapPixelByPixel(*expected, *source, corners, all, mirror, [](uint32_t* out, uint32_t s) {
          *out = s;
          return true;
        });
        ASSERT_TRUE(SamePixels(*target, *expected))
            << size.x << "x" << size.y << " " << turn.name << " mirror " << mirror;
      }
    }
  }
}

// A corner that is not a number draws nothing; so does a shape without area. A huge shape covers
// the whole target without overflowing. (Clips and keys meet the pixel-by-pixel oracle below.)
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

// The same pixels and the same touched box for any corners, mirror, clip rectangles, colour key
// and kernel set.
TEST(AffineMapperRuns, EveryRowRunMatchesThePixelByPixelMapper) {
  std::mt19937 rng(81);
  std::uniform_real_distribution<double> place(-30, 90), angle(0, 6.3), scale(0.3, 2.5);
  const uint8_t* opacityRow = ProductTable[150];
  for (int round = 0; round < 120; ++round) {
    auto source = Random(rng, 23 + round % 7, 17, 32);
    const Rect from{round % 3, round % 4, source->GetWidth() - round % 2, source->GetHeight()};
    const Rect sourceClip{2, 1, 20, 15}, clip{5, 3, 50, 40};
    if (round % 5 == 0) source->SetClipRect(&sourceClip);
    if (round % 4 == 1) (void)source->SetColorKeyFromPixel(3, 3);
    const double a = angle(rng), k = scale(rng), cx = place(rng), cy = place(rng);
    const double c = std::cos(a) * k, s = std::sin(a) * k;
    auto at = [&](double x, double y) { return LibPoint{cx + x * c - y * s, cy + x * s + y * c}; };
    const double w = from.Width(), h = from.Height() * (round % 3 == 2 ? 1.7 : 1.0);
    const LibPoint corners[3] = {at(0, 0), at(w, 0), at(0, h)};
    const uint32_t mirror = uint32_t(round) % 4;
    auto base = Random(rng, 64, 48, 32);
    // A copy takes no clip rectangle: each one gets its own.
    auto fresh = [&] {
      auto copy = Copy(*base);
      if (round % 6 == 0) copy->SetClipRect(&clip);
      return copy;
    };
    const uint32_t key = source->GetColorKey();
    // The copy and the opacity blend, by either kernel set.
    for (int form = 0; form < 4; ++form) {
      const bool mmx = form % 2, blend = form >= 2;
      ScopedMmxFlag set(mmx);
      auto got = fresh(), want = fresh();
      Rect touched;
      ASSERT_EQ(blend ? (mmx ? AffineTextureMapOpacityMmx : AffineTextureMapOpacity)(
                            got.get(), source.get(), corners, from, mirror, opacityRow, &touched)
                      : AffineTextureMap(got.get(), source.get(), corners, from, mirror, &touched),
                kAffineDone);
      const Rect box = MapPixelByPixel(
          *want, *source, corners, from, mirror, [&](uint32_t* out, uint32_t sample) {
            if (!blend && key != kNoColorKey && sample == key) return false;
            *out = blend ? reference::LerpRef(*out, sample, reference::W(opacityRow[sample >> 24]))
                         : sample;
            return true;
          });
      ASSERT_TRUE(SamePixels(*got, *want)) << "round " << round << ", form " << form;
      ASSERT_EQ(touched, box) << "round " << round << ", form " << form;
    }
  }
}

// The faded turn of the vector set in one pass gives the trail that turning into a scratch copy
// of the frame and laying all of it over at the opacity gave.
TEST(AffineMapperRuns, FadedTurnEqualsTheScratchFrameLaidOver) {
  ScopedMmxFlag vector(true);
  ScopedPixelLibrary library(&BuiltInPixelLibrary());
  auto affine = BuiltInPixelLibrary().Get<AffineRoutine>(kLibAffine);
  ASSERT_NE(affine, nullptr);
  std::mt19937 rng(82);
  const uint32_t extras[4] = {};
  for (int round = 0; round < 12; ++round) {
    auto picture = Random(rng, 40, 30, 32);
    if (round % 3 == 1) (void)picture->SetColorKeyFromPixel(5, 5);
    auto frame = Random(rng, 64, 48, 32);
    const double a = 0.4 * round, k = 0.6 + 0.1 * round;
    auto at = [&](double x, double y) {
      return LibPoint{20 + x * std::cos(a) * k - y * std::sin(a) * k,
                      10 + x * std::sin(a) * k + y * std::cos(a) * k};
    };
    const LibPoint corners[3] = {at(0, 0), at(40, 0), at(0, 30)};
    const int opacity = 20 * round + 3;
    auto scratch = Copy(*frame), want = Copy(*frame), got = Copy(*frame);
    ASSERT_EQ(affine(scratch.get(), picture.get(), corners, nullptr, LibraryOperation(kLibCopy), 0,
                     255, extras),
              0);
    ASSERT_EQ(want->OpacityBlit(scratch.get(), opacity, 0, 0, nullptr), ImageSurface::kOpDone);
    ASSERT_EQ(affine(got.get(), picture.get(), corners, nullptr, LibraryOperation(kLibOpacity), 0,
                     opacity, extras),
              0);
    ASSERT_TRUE(SamePixels(*got, *want)) << "round " << round;
  }
}

class QuadMapper : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(source.Create(kW, kH, 32, 0), kSurfaceDone);
    ASSERT_EQ(target.Create(kW, kH, 32, 0), kSurfaceDone);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) (void)source.SetPixel(x, y, 0xFF000000u | uint32_t(y << 8 | x));
    (void)target.Fill(kBackground, nullptr);
  }

  static constexpr int kW = 16, kH = 10;
  ImageSurface source, target;
  const Point corners[4] = {{0, 0}, {kW, 0}, {0, kH}, {kW, kH}};
  const Rect all{0, 0, kW, kH};
};

TEST_F(QuadMapper, ClipsToTheTargetAndKeepsTheSamplingAndFarPointsTheirFractions) {
  Rect part{3, 2, 9, 6};
  ASSERT_EQ(QuadTextureMap(&target, &source, corners, corners, part, true), kQuadDone);
  EXPECT_EQ(target.GetPixel(2, 2), kBackground);
  EXPECT_EQ(target.GetPixel(3, 2), source.GetPixel(3, 3)) << "skipped pixels still step";
  EXPECT_EQ(target.GetPixel(9, 5), kBackground);
  Rect beyond{-50, -50, 500, 500};
  EXPECT_EQ(QuadTextureMap(&target, &source, corners, corners, beyond, true), kQuadDone);
  // 8000 target pixels wide: positions past 2047 pixels need more than 32 bits.
  const Point wide[4] = {{-4000, 0}, {4000, 0}, {-4000, kH}, {4000, kH}};
  ASSERT_EQ(QuadTextureMap(&target, &source, wide, corners, all, true), kQuadDone);
  const int64_t step = (int64_t{kW} << 40) / (int64_t{8000} << 20);
  for (int x : {0, kW - 1}) {
    EXPECT_EQ(target.GetPixel(x, 0), source.GetPixel(int(((x + 4000) * step) >> 20), 1)) << x;
  }
}

// A quad turned so that the top corner's neighbour lies lowest: below the opposite corner the
// left edge goes on toward that lowest corner, and the last band is drawn too.
TEST_F(QuadMapper, DrawsTheBandBelowTheOppositeCorner) {
  const Point turned[4] = {{1, 3}, {14, 0}, {1, 6}, {14, 9}};
  ASSERT_EQ(QuadTextureMap(&target, &source, turned, corners, all, true), kQuadDone);
  EXPECT_NE(target.GetPixel(4, 4), kBackground) << "the middle band";
  for (int y : {6, 7}) {
    EXPECT_NE(target.GetPixel(12, y), kBackground) << "row " << y << " of the last band";
  }
  EXPECT_EQ(target.GetPixel(2, 8), kBackground) << "left of the lower edge";
}

TEST_F(QuadMapper, KeyedAndOpacityWrites) {
  const uint32_t key = source.GetPixel(4, 1);
  ASSERT_EQ(QuadTextureMapKeyed(&target, &source, corners, corners, all, true, key), kQuadDone);
  EXPECT_EQ(target.GetPixel(4, 0), kBackground);
  EXPECT_EQ(target.GetPixel(5, 0), source.GetPixel(5, 1));

  for (auto map : {QuadTextureMapOpacity, QuadTextureMapOpacityMmx}) {
    (void)target.Fill(kBackground, nullptr);
    ASSERT_EQ(map(&target, &source, corners, corners, all, true, ProductTable[0]), kQuadDone);
    EXPECT_EQ(target.GetPixel(3, 3), kBackground) << "opacity 0";
    ASSERT_EQ(map(&target, &source, corners, corners, all, true, ProductTable[255]), kQuadDone);
    EXPECT_EQ(target.GetPixel(3, 3),
              (kBackground & 0xFF000000u) | (source.GetPixel(3, 4) & 0xFFFFFF))
        << "opaque source at full opacity: its colours, the target's alpha";
    (void)target.Fill(0x00000000, nullptr);
    (void)source.SetPixel(6, 2, 0x80FF8040);
    ASSERT_EQ(map(&target, &source, corners, corners, all, true, ProductTable[255]), kQuadDone);
    EXPECT_EQ(target.GetPixel(6, 1),
              reference::LerpRef(0, 0x80FF8040, reference::W(ProductTable[255][0x80])));
  }
  ImageSurface empty;
  EXPECT_EQ(QuadTextureMap(&target, &empty, corners, corners, all, true), kQuadNoRowTable);
}

}  // namespace
}  // namespace bw
