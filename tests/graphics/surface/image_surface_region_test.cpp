// Label: optimised
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "common/global.h"
#include "graphics/pixel/blend_reference.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/color_rows.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/quad_mapper.h"
#include "graphics/surface/rotated_bounds.h"
#include "host/gdi/memory_dc.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"
#include "surface_fixture.h"

namespace bw {
namespace {

using namespace testing_surfaces;

using reference::Channel;
using reference::PerChannel;
using reference::Saturate;

// Tone curves at the ends of the range: the products no longer fit 16-bit lanes.
constexpr ToneCurve kCurves[] = {{128, 128, 128, 0, 0, 0},
                                 {256, -256, 255, 255, -255, 0},
                                 {-256, 256, -1, -255, 255, 100},
                                 {1, 200, -130, 17, -3, -200}};

// A colour operation on a region: apply(surface, rect, level) and its formula pixel(d, level);
// level picks the colour (with the opacity above it), the curve or the brightness.
struct RegionOp {
  int (*apply)(ImageSurface&, const Rect*, uint32_t);
  uint32_t (*pixel)(uint32_t, uint32_t);
  bool keyed;  // the surface's key spares its pixels
};
const RegionOp kRegionOps[] = {
    // Subtracting with the top bit.
    {[](ImageSurface& s, const Rect* r, uint32_t c) {
       const int red = int(c >> 16 & 0xFF), green = int(c >> 8 & 0xFF), blue = int(c & 0xFF);
       return c >> 31 ? s.SubtractColor(red, green, blue, r) : s.AddColor(red, green, blue, r);
     },
     [](uint32_t d, uint32_t c) {
       const int sign = c >> 31 ? -1 : 1;
       return PerChannel(d, [&](int v, int ch) { return Saturate(v + sign * Channel(c, ch)); });
     },
     true},
    {[](ImageSurface& s, const Rect* r, uint32_t) { return s.Greyscale(r); },
     [](uint32_t d, uint32_t) {
       const int g = (77 * Channel(d, 2) + 150 * Channel(d, 1) + 29 * Channel(d, 0)) >> 8;
       return PerChannel(d, [g](int, int) { return g; });
     },
     true},
    {[](ImageSurface& s, const Rect* r, uint32_t l) {
       const ToneCurve& t = kCurves[l % 4];
       return s.ColorTone(t.redMultiplier, t.greenMultiplier, t.blueMultiplier, t.redOffset,
                          t.greenOffset, t.blueOffset, r);
     },
     [](uint32_t d, uint32_t l) {
       const ToneCurve& t = kCurves[l % 4];
       const int mul[3] = {t.blueMultiplier, t.greenMultiplier, t.redMultiplier};
       const int off[3] = {t.blueOffset, t.greenOffset, t.redOffset};
       return PerChannel(d, [&](int v, int c) { return Saturate(((v * mul[c]) >> 7) + off[c]); });
     },
     true},
    {[](ImageSurface& s, const Rect* r, uint32_t c) {
       return s.FillColorBlend(int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF), int(c >> 24),
                               r);
     },
     [](uint32_t d, uint32_t c) {
       const int o = int(c >> 24);
       return PerChannel(d, [&](int v, int ch) {
         return ProductTable[255 - o][v] + ProductTable[Channel(c, ch)][o];
       });
     },
     true},
    // Brightness: below 255 the colours scale down, above they blend toward white.
    {[](ImageSurface& s, const Rect* r, uint32_t l) { return s.SetBrightness(int(l % 511), r); },
     [](uint32_t d, uint32_t l) {
       const int level = int(l % 511), o = level - 255;
       return PerChannel(d, [&](int v, int) {
         return o < 0 ? int(ProductTable[level][v])
                      : ProductTable[255 - o][v] + ProductTable[255][o];
       });
     },
     false},
};

// Each operation changes exactly its region's pixels that are not the key, by its formula, with
// either kernel set at both vector widths.
TEST(ImageSurfaceRegion, ColourOperationsChangeTheirRegionsUnkeyedPixelsByTheirFormulas) {
  std::mt19937 rng(23);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 480; ++round) {
    const RegionOp& op = kRegionOps[round % std::size(kRegionOps)];
    ScopedMmxFlag kernels(round / 10 % 3 != 0);
    ScopedWideVectors wide(round / 10 % 3 == 2);
    auto s = Random(rng, pick(1, 40), pick(1, 9), 32);
    const Rect clip{pick(0, 3), pick(0, 3), s->GetWidth() - pick(0, 3),
                    s->GetHeight() - pick(0, 3)};
    s->SetClipRect(&clip);
    if (round / 5 % 2)
      (void)s->SetColorKeyFromPixel(pick(0, s->GetWidth() - 1), pick(0, s->GetHeight() - 1));
    const uint32_t key = op.keyed ? s->GetColorKey() : kNoColorKey;
    const Rect part{pick(-4, 30), pick(-4, 6), pick(0, 44), pick(0, 12)};
    const Rect* rect = round % 7 == 0 ? nullptr : &part;
    const uint32_t level = uint32_t(rng());
    auto before = Copy(*s);
    ASSERT_EQ(op.apply(*s, rect, level), ImageSurface::kOpDone);
    Rect region;
    if (!IntersectRects(&region, rect ? part : *s->GetClipRectPtr(), *s->GetClipRectPtr())) {
      region = {};
    }
    for (int y = 0; y < s->GetHeight(); ++y) {
      for (int x = 0; x < s->GetWidth(); ++x) {
        const uint32_t d = Pixel(*before, x, y);
        const bool changed = x >= region.left && x < region.right && y >= region.top &&
                             y < region.bottom && d != key;
        ASSERT_EQ(Pixel(*s, x, y), changed ? op.pixel(d, level) : d)
            << "round " << round << ", operation " << round % std::size(kRegionOps) << " at " << x
            << "," << y << ", vector set " << MmxEnabled();
      }
    }
  }
}

// The other colour operations meet the key in the test above.
// Every channel value at every opacity, through each kernel set and vector width, as one row
// and as a column one pixel wide: the region test above meets a rounding edge only by chance.
TEST(ImageSurfaceRegion, ColourBlendGivesEveryChannelValueItsFormula) {
  std::mt19937 rng(5);
  constexpr int kPixels = 256 + 13;  // the wide body and its narrower tail
  for (int set = 0; set < 6; ++set) {
    ScopedMmxFlag kernels(set % 3 != 0);
    ScopedWideVectors wide(set % 3 == 2);
    const bool column = set >= 3;
    for (int o = 0; o < 256; ++o) {
      const uint32_t colour = uint32_t(rng()) & 0xFFFFFF;
      std::vector<uint32_t> pixels(kPixels);
      for (int i = 0; i < kPixels; ++i)
        pixels[size_t(i)] = uint32_t(i * 13 & 0xFF) << 24 | uint32_t(255 - i % 256) << 16 |
                            uint32_t(i * 7 & 0xFF) << 8 | uint32_t(i & 0xFF);
      const std::vector<uint32_t> before = pixels;
      BlendColorRows(pixels.data(), column ? 4 : kPixels * 4, column ? 1 : kPixels,
                     column ? kPixels : 1, o, int(colour >> 16 & 0xFF), int(colour >> 8 & 0xFF),
                     int(colour & 0xFF));
      for (int i = 0; i < kPixels; ++i) {  // the colour blend's formula from the table above
        ASSERT_EQ(pixels[size_t(i)],
                  kRegionOps[3].pixel(before[size_t(i)], uint32_t(o) << 24 | colour))
            << "set " << set << ", opacity " << o << ", pixel " << i;
      }
    }
  }
}

// Every alpha at every level, through each kernel set and vector width, on a part of the picture
// whose edges move with the level: the alphas of the part follow the formula, nothing else moves.
TEST(ImageSurfaceRegion, AlphaScaleGivesEveryAlphaAtEveryLevelItsFormula) {
  constexpr int kWidth = 256 + 13, kHeight = 3;  // the wide body and its narrower tail
  auto product = [](int a, int b) { return (a * b + 127) / 255; };
  for (int set = 0; set < 3; ++set) {
    ScopedMmxFlag kernels(set != 0);
    ScopedWideVectors wide(set == 2);
    ImageSurface s;
    ASSERT_EQ(s.Create(kWidth, kHeight, 32, kImageDibSection), kSurfaceDone);
    for (int level = 0; level < 512; ++level) {
      for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x)
          SetPixel32(s, x, y, uint32_t((x + y) & 0xFF) << 24 | uint32_t(x * 40503 + y));
      }
      const auto before = Copy(s);
      const Rect part{level % 9, level % 2, kWidth - level % 11, kHeight};
      ASSERT_TRUE(s.ScaleAlpha(level, level % 5 == 0 ? nullptr : &part));
      const Rect region = level % 5 == 0 ? Rect{0, 0, kWidth, kHeight} : part;
      for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
          const uint32_t d = Pixel(*before, x, y);
          const int a = int(d >> 24), m = level - 256;
          const bool inside =
              x >= region.left && x < region.right && y >= region.top && y < region.bottom;
          const int want = !inside ? a : m < 0 ? product(level, a) : product(255 - m, a) + m;
          ASSERT_EQ(Pixel(s, x, y), (d & 0x00FFFFFFu) | uint32_t(want) << 24)
              << "set " << set << ", level " << level << " at " << x << "," << y;
        }
      }
    }
    EXPECT_FALSE(s.ScaleAlpha(512, nullptr));
  }
}

TEST(ImageSurfaceRegion, BlackAddsNothingAndInvertSparesTheKey) {
  std::mt19937 rng(22);
  for (bool mmx : {false, true}) {
    ScopedMmxFlag pin(mmx);
    auto s = Random(rng, 7, 7, 32);
    SetPixel32(*s, 3, 4, 0x00123456);
    ASSERT_EQ(s->SetColorKeyRgb(0x12, 0x34, 0x56), kKeySet);
    EXPECT_EQ(s->AddColor(0, 0, 0, nullptr), 0);
    EXPECT_EQ(s->GetDirtyList()->Count(), 0);
    EXPECT_EQ(s->Invert(0, nullptr), 0);
    EXPECT_EQ(Pixel(*s, 3, 4), 0x00123456u);
  }
}

// Each channel of an 8-bit palette entry at a brightness level, by the engine's formula.
uint32_t Bright(uint32_t c, int level) {
  auto product = [](int a, int b) { return (a * b + 127) / 255; };
  return PerChannel(c & 0xFFFFFF, [&](int v, int) {
    return level <= 255 ? product(level, v) : product(510 - level, v) + level - 255;
  });
}

TEST(ImageSurfaceRegion, EightBitBrightnessIsComputedFromThePaletteBeforeTheFirstChange) {
  ImageSurface s;
  ASSERT_EQ(s.Create(4, 2, 8, kImageDibSection | kImageDirtyList), kSurfaceDone);
  std::array<uint32_t, 256> palette{};
  for (uint32_t i = 0; i < 256; ++i) palette[i] = i << 16 | (255 - i) << 8 | (i * 7 & 0xFF);
  ASSERT_EQ(s.SetPalette(palette.data(), 256, 0), kSurfaceDone);
  ASSERT_EQ(s.SetColorKeyRgb(200, 55, 200 * 7 & 0xFF), kKeySet);
  const uint32_t* table = s.GetDc()->Selected()->ColorTable();

  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(s.SetBrightness(128, nullptr), 0);
    EXPECT_EQ(s.GetPalette()[200], Bright(palette[200], 128))
        << "round " << round << ": not compounded";
  }
  EXPECT_EQ(table[200], s.GetPalette()[200]) << "the section shows the new palette";
  ASSERT_EQ(s.SetBrightness(400, nullptr), 0);
  EXPECT_EQ(s.GetPalette()[7], Bright(palette[7], 400));
  ASSERT_EQ(s.SetBrightness(255, nullptr), 0);
  EXPECT_EQ(s.GetPalette()[200], palette[200]) << "255 brings the first palette back";
  EXPECT_EQ(s.GetColorKey(), 200u) << "the key is an index and stays";

  const Rect part{0, 0, 2, 2};
  EXPECT_EQ(s.SetBrightness(100, &part), ImageSurface::kOpBadFormat) << "whole surface only";
  EXPECT_EQ(s.GetPalette()[200], palette[200]);
  EXPECT_EQ(s.SetBrightness(511, nullptr), ImageSurface::kOpBadParameter);

  // A palette set anew is the base from then on.
  ASSERT_EQ(s.SetBrightness(50, nullptr), 0);
  ASSERT_TRUE(s.SetPaletteEntry(200, 0x102030, true));
  ASSERT_EQ(s.SetBrightness(255, nullptr), 0);
  EXPECT_EQ(s.GetPalette()[200], 0x102030u);
  EXPECT_EQ(s.GetPalette()[199], Bright(palette[199], 50)) << "the rest as it was when set";
}

// The ends of the tone's range are accepted by the colour operations' test.
TEST(ImageSurfaceRegion, ToneBlurMosaicAndGradientEdges) {
  std::mt19937 rng(24);
  auto s = Random(rng, 10, 10, 32);
  const Rect thin{0, 0, 3, 10};
  EXPECT_EQ(s->Blur(2, &thin), 2) << "the kernel's 1 comes back as 2";
  EXPECT_EQ(s->GetDirtyList()->Count(), 0);
  EXPECT_EQ(s->Mosaic(1, 0, nullptr), 0);
  ASSERT_EQ(s->Mosaic(4, 1, nullptr), 0);
  EXPECT_EQ(Pixel(*s, 3, 3), Pixel(*s, 0, 0));
  EXPECT_EQ(s->ColorTone(257, 128, 128, 0, 0, 0, nullptr), ImageSurface::kOpBadParameter);
  EXPECT_EQ(s->ColorTone(128, 128, 128, 0, 256, 0, nullptr), ImageSurface::kOpBadParameter);
  // A gradient of one pixel is its start value.
  const Rect one{2, 2, 3, 3};
  ASSERT_EQ(s->FillGradient(0, 0xFF102030, 0x00FFFFFF, &one), 0);
  EXPECT_EQ(Pixel(*s, 2, 2), 0xFF102030u);
  EXPECT_EQ(s->FillGradient(2, 0, 0, nullptr), ImageSurface::kOpBadParameter);
  const Rect column{0, 0, 1, 5};
  ASSERT_EQ(s->FillGradient(1, 0x00000000, 0x00FFFFFF, &column), 0);
  EXPECT_LT(Pixel(*s, 0, 1), Pixel(*s, 0, 3)) << "runs down the rows";
}

// A palette picture turns grey by the same weights as a 32-bit one, its indices then the levels.
TEST(ImageSurfaceRegion, APalettePictureTurnsGreyByTheWeightsOfEachChannel) {
  ImageSurface s;
  ASSERT_EQ(s.Create(4, 1, 8, kImageDibSection), kSurfaceDone);
  std::array<uint32_t, 256> palette{};
  palette[1] = 0xFF0000, palette[2] = 0x00FF00, palette[3] = 0x0000FF, palette[4] = 0x406080;
  ASSERT_EQ(s.SetPalette(palette.data(), 256, 0), kSurfaceDone);
  for (int32_t x = 0; x < 4; ++x) s.GetRowPointer(0)[x] = uint8_t(x + 1);
  ASSERT_EQ(s.Greyscale(nullptr), ImageSurface::kOpDone);
  const int weighted = (77 * 0x40 + 150 * 0x60 + 29 * 0x80) >> 8;
  EXPECT_EQ(std::vector<uint8_t>(s.GetRowPointer(0), s.GetRowPointer(0) + 4),
            (std::vector<uint8_t>{76, 149, 28, uint8_t(weighted)}));
  EXPECT_EQ(s.GetPalette()[149], 0x959595u) << "the palette is the grey ramp";
}

// Invert's modes: the colour, the colour with the alpha, or the alpha alone; an alpha tone curve
// scales by 128ths and adds its offset. Both kernel sets.
TEST(ImageSurfaceRegion, InvertAndAlphaToneReachTheAlphaByTheirModes) {
  const struct {
    int mode;  // -1: the alpha tone curve
    int multiplier, offset;
    uint32_t expected;
  } cases[] = {{0, 0, 0, 0x80EDCBA9u},     {1, 0, 0, 0x7FEDCBA9u},   {2, 0, 0, 0x7F123456u},
               {0x100, 0, 0, 0x80EDCBA9u}, {-1, 64, 0, 0x40123456u}, {-1, 256, -10, 0xF6123456u},
               {-1, 0, 33, 0x21123456u},   {-1, 255, 0, 0xFF123456u}};
  for (bool mmx : {false, true}) {
    ScopedMmxFlag pin(mmx);
    for (const auto& c : cases) {
      ImageSurface s;
      ASSERT_EQ(s.Create(5, 1, 32, 0), kSurfaceDone);
      (void)s.Fill(0x80123456u, nullptr);
      if (c.mode < 0) {
        ASSERT_TRUE(s.ToneAlpha(c.multiplier, c.offset, nullptr));
      } else {
        ASSERT_EQ(s.Invert(c.mode, nullptr), ImageSurface::kOpDone);
      }
      EXPECT_EQ(Pixel(s, 4, 0), c.expected) << "mode " << c.mode << " multiplier " << c.multiplier
                                            << " offset " << c.offset << " vector set " << mmx;
    }
  }
}

TEST(ImageSurfaceRotate, HighZoomDoesNotWrap) {
  TrigTables trig;
  ScopedGlobal<TrigTables> publish{&trig};
  // A zoom that takes the corner products of a 200-pixel source far past 32 bits (the sanitizer
  // traps a wrapped product); the quarter turn at anchor 0 then lies wholly above the target.
  std::mt19937 rng(26);
  auto src = Random(rng, 200, 2, 32);
  auto dst = Random(rng, 16, 16, 32);
  ScopedPixelLibrary off(nullptr);
  ASSERT_EQ(dst->RotateZoomBlit(src.get(), 4, 8, 8, 64, 0x7FFFFFFF, nullptr, nullptr), 0);
  auto before = Copy(*dst);
  ASSERT_EQ(dst->RotateZoomBlit(src.get(), 0, 0, -1, 128, 0x01000000, nullptr, nullptr), 0);
  EXPECT_TRUE(SamePixels(*dst, *before));
  // A script's source rectangles at the ends of the numbers, at the highest zoom.
  for (const Rect& r : {Rect{INT32_MIN, 0, INT32_MAX, 2}, Rect{0, 0, INT32_MIN, 2}}) {
    EXPECT_EQ(dst->RotateZoomBlit(src.get(), 4, 8, 8, 64, 0x7FFFFFFF, &r, nullptr), 0);
    EXPECT_EQ(dst->RotateZoomOpacityBlit(src.get(), 0, 8, 8, 32, 0x7FFFFFFF, 128, &r, nullptr), 0);
  }
}

}  // namespace
}  // namespace bw
