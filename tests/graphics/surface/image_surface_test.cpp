// Label: optimised
#include "graphics/surface/image_surface.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <random>
#include <tuple>

#include "graphics/pixel/blend_reference.h"
#include "graphics/surface/memory_bitmap.h"
#include "graphics/surface/surface_fixture.h"
#include "host/gdi/memory_dc.h"
#include "platform/mmx_flag.h"
#include "support/pixel_reference.h"

namespace bw {
namespace {

using namespace testing_surfaces;

TEST(DibSurface, CreateAndResizeRefuseBadSizesAndPadRows) {
  DibSurface s;
  EXPECT_EQ(s.Create(0, 10, 32, false), kSurfaceBadArgument);
  EXPECT_EQ(s.Create(10, 10, 12, false), kSurfaceBadArgument);
  EXPECT_EQ(s.Create(INT32_MAX, 1, 32, false), kSurfaceNoMemory)
      << "one row whose pitch passes 32 bits";
  EXPECT_EQ(s.Create(1, INT32_MAX, 24, true), kSurfaceNoMemory) << "a section as tall as the limit";
  EXPECT_EQ(s.Resize(4, 4), kSurfaceBadArgument) << "nothing to resize";
  ASSERT_EQ(s.Create(3, 2, 8, false), kSurfaceDone);
  EXPECT_EQ(s.GetPitch(), 4);
  EXPECT_EQ(s.Resize(INT32_MAX, INT32_MAX), kSurfaceNoMemory);
  EXPECT_EQ(s.GetPitch(), 4) << "a refused resize keeps the store";
  ASSERT_EQ(s.Create(3, 2, 32, true), kSurfaceDone);
  EXPECT_EQ(s.GetRowPointer(2), nullptr);

  ASSERT_EQ(s.Create(8, 8, 32, false), kSurfaceDone);
  s.GetPixels()[0] = 0x5A;
  uint8_t* pixels = s.GetPixels();
  EXPECT_EQ(s.Resize(4, 4), kSurfaceDone);
  EXPECT_EQ(s.GetPixels(), pixels) << "a smaller heap surface keeps its block";
  EXPECT_EQ(std::tuple(s.GetPixels()[0], s.GetPitch()), std::tuple(0x5A, 16));
}

TEST(DibSurface, PalettesReachTheSectionOnlyWhenAskedAndKeysFindTheirIndex) {
  DibSurface s;
  ASSERT_EQ(s.Create(3, 2, 8, true), kSurfaceDone);
  std::array<uint32_t, 256> colours{};
  for (uint32_t i = 0; i < 256; ++i) colours[i] = 0xFF000000u | i * 0x030201u;
  ASSERT_EQ(s.SetPalette(colours.data(), 2, 254), kSurfaceDone);
  EXPECT_EQ(s.GetPalette()[254], colours[254] & 0xFFFFFF) << "the top byte is cleared";
  EXPECT_EQ(s.GetPalette()[253], 253u * 0x010101u)
      << "entries outside first..first+count keep the ramp";
  ASSERT_EQ(s.SetPalette(colours.data(), INT_MAX, 250), kSurfaceDone);
  EXPECT_EQ(s.GetPalette()[255], colours[255] & 0xFFFFFF) << "a count past 255 stops there";
  EXPECT_EQ(s.GetPalette()[249], 249u * 0x010101u);
  ASSERT_EQ(s.SetPalette(colours.data(), 3, -2), kSurfaceDone);
  EXPECT_EQ(s.GetPalette()[0], colours[0] & 0xFFFFFF) << "from a negative first only 0..255";
  EXPECT_EQ(s.GetPalette()[1], 0x010101u);

  const uint32_t* table = s.GetDc()->Selected()->ColorTable();
  ASSERT_TRUE(s.SetPaletteEntry(5, 0xAB123456u, false));
  EXPECT_EQ(table[5], 0x050505u) << "not applied";
  ASSERT_TRUE(s.SetPaletteEntry(6, 0x654321u, true));
  EXPECT_EQ(table[5], 0x123456u) << "applying sends the whole palette";

  // Keys: an 8-bit key is the first index of the colour, -1 when the palette lacks it.
  EXPECT_EQ(s.SetColorKeyRgb(0, 0, 0), kKeySet);
  EXPECT_EQ(s.GetColorKey(), 0u);
  EXPECT_EQ(s.SetColorKeyRgb(1, 2, 3), kKeyCleared);
  EXPECT_EQ(s.GetColorKey(), kNoColorKey);
  EXPECT_EQ(s.SetColorKeyFromPixel(3, 0), kKeyCleared) << "outside";
  DibSurface deep;
  ASSERT_EQ(deep.Create(3, 2, 32, false), kSurfaceDone);
  EXPECT_EQ(deep.SetPalette(nullptr, 0, 0), kSurfaceBadArgument);
  EXPECT_EQ(deep.FindPaletteIndex(7, 7, 7), -1) << "no palette";
}

TEST(ImageSurface, ACopyTakesPixelsPaletteKeyAndWordsAndCopyingItselfChangesNothing) {
  ImageSurface source;
  ASSERT_EQ(source.Create(3, 2, 8, kImageDibSection | kImageDirtyList), kSurfaceDone);
  ASSERT_TRUE(source.SetPaletteEntry(4, 0x112233, true));
  ASSERT_TRUE(source.SetPixel(2, 1, 4));
  ASSERT_EQ(source.SetColorKeyRgb(0x11, 0x22, 0x33), kKeySet);
  source.SetWord1(uint32_t(-3));
  source.SetHasAlpha(true);
  for (int mode : {kCopyToHeap, kCopyToDibSection, kCopyLikeSource}) {
    SCOPED_TRACE(mode);
    ImageSurface copy;
    ASSERT_EQ(copy.CopyFrom(&source, mode), kSurfaceDone);
    EXPECT_EQ(std::tuple(copy.GetPixel(2, 1), copy.GetPalette()[4], copy.GetColorKey(),
                         int32_t(copy.GetWord1()), copy.HasAlpha()),
              std::tuple(4u, 0x112233u, 4u, -3, true));
    EXPECT_EQ(copy.GetDc() != nullptr, mode != kCopyToHeap);
    EXPECT_EQ(copy.GetDirtyList() != nullptr, mode == kCopyLikeSource);
  }
  ASSERT_EQ(source.CopyFrom(&source, kCopyToHeap), kSurfaceDone);
  EXPECT_EQ(source.GetPixel(2, 1), 4u);
  EXPECT_NE(source.GetDc(), nullptr) << "still the surface it was";
  ImageSurface empty;
  EXPECT_EQ(empty.CopyFrom(&empty, kCopyToHeap), kNoPixels);
}

TEST(MemoryBitmap, KeysAndPixelsInEachDepth) {
  MemoryBitmap m;
  EXPECT_EQ(m.Create(10, 10, 24), kSurfaceBadArgument);
  ASSERT_EQ(m.Create(3, 2, 16), kSurfaceDone);
  EXPECT_EQ(m.GetPitch(), 8);
  EXPECT_EQ(m.SetColorKeyRgb(8, 4, 8), kKeySet);
  EXPECT_EQ(m.GetColorKey(), 0x0821u);
  m.GetRowPointer(1)[4] = 0x34, m.GetRowPointer(1)[5] = 0x12;
  EXPECT_EQ(m.SetColorKeyFromPixel(2, 1), kKeySet);
  EXPECT_EQ(m.GetColorKey(), 0x1234u);
  EXPECT_EQ(m.SetColorKeyFromPixel(3, 1), kKeyCleared) << "outside";
  EXPECT_EQ(m.GetPixel(0, 2), kNoPixel);
  uint8_t* block = m.GetPixels();
  ASSERT_EQ(m.Resize(1, 1), kSurfaceDone);
  EXPECT_EQ(m.GetPixels(), block) << "a smaller size keeps the block";
  ASSERT_EQ(m.Create(2, 2, 8), kSurfaceDone);
  EXPECT_EQ(m.SetColorKeyRgb(9, 100, 100), kKeySet);
  EXPECT_EQ(m.GetColorKey(), 9u) << "the red value is the index";
}

// The blits that read a source: draw(target, source, size, x, y, rect, mirrored, level) stretches
// when size is not null; level is the blit's opacity, weights or mode.
using Draw = int (*)(ImageSurface&, const Surface*, const Size*, int32_t, int32_t, const Rect*,
                     bool, uint32_t);
template <int (ImageSurface::*straight)(const Surface*, int32_t, int32_t, const Rect*, bool),
          int (ImageSurface::*stretched)(const Surface*, const Size*, int32_t, int32_t, const Rect*,
                                         bool),
          int (ImageSurface::*mirror)(int, const Surface*, int32_t, int32_t, const Rect*),
          int (ImageSurface::*stretchedMirror)(int, const Surface*, const Size*, int32_t, int32_t,
                                               const Rect*)>
int DrawFourWays(ImageSurface& t, const Surface* s, const Size* z, int32_t x, int32_t y,
                 const Rect* r, bool mirrored, uint32_t) {
  return z ? (mirrored ? (t.*stretchedMirror)(0, s, z, x, y, r)
                       : (t.*stretched)(s, z, x, y, r, false))
           : (mirrored ? (t.*mirror)(0, s, x, y, r) : (t.*straight)(s, x, y, r, false));
}
template <int (ImageSurface::*straight)(const Surface*, int32_t, int32_t, const Rect*),
          int (ImageSurface::*stretched)(const Surface*, const Size*, int32_t, int32_t,
                                         const Rect*)>
int DrawTwoWays(ImageSurface& t, const Surface* s, const Size* z, int32_t x, int32_t y,
                const Rect* r, bool, uint32_t) {
  return z ? (t.*stretched)(s, z, x, y, r) : (t.*straight)(s, x, y, r);
}
template <int (ImageSurface::*straight)(const Surface*, int, int32_t, int32_t, const Rect*),
          int (ImageSurface::*stretched)(const Surface*, int, const Size*, int32_t, int32_t,
                                         const Rect*)>
int DrawAtOpacity(ImageSurface& t, const Surface* s, const Size* z, int32_t x, int32_t y,
                  const Rect* r, bool, uint32_t o) {
  return z ? (t.*stretched)(s, int(o), z, x, y, r) : (t.*straight)(s, int(o), x, y, r);
}
constexpr Draw kDrawCopy =
    DrawFourWays<&ImageSurface::Blit, &ImageSurface::StretchBlit, &ImageSurface::BlitMirrored,
                 &ImageSurface::StretchBlitMirrored>;
constexpr Draw kDrawAlphaPlane =
    DrawFourWays<&ImageSurface::CopyAlphaPlane, &ImageSurface::StretchCopyAlphaPlane,
                 &ImageSurface::CopyAlphaPlaneMirrored,
                 &ImageSurface::StretchCopyAlphaPlaneMirrored>;
// The source's weights of the weighted blit, from the target's.
constexpr uint32_t SourceWeights(uint32_t targetWeights) {
  return targetWeights * 2654435761u;
}
// The keyed kinds first: the blits weighed by the source alpha ignore keys.
enum class Blit {
  kCopy,
  kColour,
  kOpacity,
  kWeighted,
  kBlend,
  kAlphaOver,
  kAlphaPlane,
  kAlpha,
  kAlphaOpacity,
  kOntoAlpha,
  kAddOrSubtract
};
struct BlitKind {
  int dstBits, srcBits;
  Blit blit;
  Draw draw;
  bool mirrors = true, stretches = true;
};
constexpr BlitKind kBlitKinds[] = {
    {32, 32, Blit::kCopy, kDrawCopy},
    {32, 8, Blit::kCopy, kDrawCopy},
    {8, 8, Blit::kCopy, kDrawCopy},
    {32, 32, Blit::kAlphaOver,
     DrawFourWays<&ImageSurface::AlphaBlit, &ImageSurface::StretchAlphaBlit,
                  &ImageSurface::AlphaBlitMirrored, &ImageSurface::StretchAlphaBlitMirrored>},
    {32, 8, Blit::kAlphaPlane, kDrawAlphaPlane},
    {8, 32, Blit::kAlphaPlane, kDrawAlphaPlane},
    {32, 32, Blit::kColour, DrawTwoWays<&ImageSurface::BlitColor, &ImageSurface::StretchBlitColor>,
     false},
    {32, 32, Blit::kAlpha, DrawTwoWays<&ImageSurface::BlitAlpha, &ImageSurface::StretchBlitAlpha>,
     false},
    {32, 32, Blit::kOpacity,
     DrawAtOpacity<&ImageSurface::OpacityBlit, &ImageSurface::StretchOpacityBlit>, false},
    {32, 32, Blit::kWeighted,
     [](ImageSurface& t, const Surface* s, const Size* z, int32_t x, int32_t y, const Rect* r, bool,
        uint32_t w) {
       return z ? t.StretchWeightedBlit(s, w, SourceWeights(w), z, x, y, r)
                : t.WeightedBlit(s, w, SourceWeights(w), x, y, r);
     },
     false},
    {32, 32, Blit::kBlend,
     [](ImageSurface& t, const Surface* s, const Size* z, int32_t x, int32_t y, const Rect* r, bool,
        uint32_t mode) {
       return z ? t.StretchBlendBlit(int(mode), s, z, x, y, r) : t.BlendBlit(int(mode), s, x, y, r);
     },
     false},
    // The mode (over, add, subtract) above the opacity.
    {32, 32, Blit::kAlphaOpacity,
     [](ImageSurface& t, const Surface* s, const Size* z, int32_t x, int32_t y, const Rect* r, bool,
        uint32_t l) {
       const int mode = int(l >> 8), o = int(l & 0xFF);
       return z ? t.StretchAlphaOpacityBlit(mode, s, o, z, x, y, r)
                : t.AlphaOpacityBlit(mode, s, o, x, y, r);
     },
     false},
    {32, 32, Blit::kOntoAlpha,
     DrawAtOpacity<&ImageSurface::AlphaBlitOntoAlpha, &ImageSurface::StretchAlphaBlitOntoAlpha>,
     false},
    // Subtracting above the opacity.
    {32, 32, Blit::kAddOrSubtract,
     [](ImageSurface& t, const Surface* s, const Size*, int32_t x, int32_t y, const Rect* r, bool,
        uint32_t l) {
       return l >> 8 ? t.SubtractBlit(s, int(l & 0xFF), x, y, r)
                     : t.AddBlit(s, int(l & 0xFF), x, y, r);
     },
     false, false},
};
constexpr uint32_t kOpacities[] = {1, 77, 128, 254, 255};

using reference::StretchSourceIndex;

// Clipping: every blit draws exactly the visible part of the unclipped one, its pixels by the
// blit's own formula, with either kernel set, and marks what it drew.
TEST(ClipBlit, DrawsExactlyTheVisiblePartOfTheUnclippedBlit) {
  std::mt19937 rng(21);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 2688; ++round) {
    const BlitKind& kind = kBlitKinds[round / 4 % std::size(kBlitKinds)];
    const bool mirrored = kind.mirrors && round % 2;
    const bool scaled = kind.stretches && round % 4 >= 2;
    ScopedMmxFlag kernels(round / 112 % 3 != 0);
    ScopedWideVectors wide(round / 112 % 3 == 2);
    const uint32_t opacity = kOpacities[pick(0, 4)];
    const uint32_t level = kind.blit == Blit::kWeighted        ? uint32_t(rng())
                           : kind.blit == Blit::kBlend         ? uint32_t(pick(0, 2))
                           : kind.blit == Blit::kAlphaOpacity  ? opacity | uint32_t(pick(0, 2)) << 8
                           : kind.blit == Blit::kAddOrSubtract ? opacity | uint32_t(pick(0, 1)) << 8
                                                               : opacity;
    auto src = testing_surfaces::Random(rng, pick(1, 24), pick(1, 24), kind.srcBits);
    auto dst = testing_surfaces::Random(rng, pick(1, 24), pick(1, 24), kind.dstBits);
    Rect srcClip{pick(0, 4), pick(0, 4), src->GetWidth() - pick(0, 4),
                 src->GetHeight() - pick(0, 4)};
    src->SetClipRect(&srcClip);
    // Half the rounds keyed by a pixel of the source.
    if (round / 56 % 2) {
      (void)src->SetColorKeyFromPixel(pick(0, src->GetWidth() - 1), pick(0, src->GetHeight() - 1));
    }
    const uint32_t key = kind.blit <= Blit::kBlend ? src->GetColorKey() : kNoColorKey;
    Rect dstClip{pick(0, 4), pick(0, 4), dst->GetWidth() - pick(0, 4),
                 dst->GetHeight() - pick(0, 4)};
    dst->SetClipRect(&dstClip);
    dstClip = *dst->GetClipRectPtr();  // a refused clip leaves the whole surface
    Rect srcRect{pick(-4, 8), pick(-4, 8), pick(0, 30), pick(0, 30)};
    const Rect* rect = round % 5 == 0 ? nullptr : &srcRect;  // null: the source's clip
    const int x = pick(-20, 20), y = pick(-20, 20);
    Size size{pick(1, 40), pick(1, 40)};
    SCOPED_TRACE(testing::Message()
                 << "round " << round << " mirrored " << mirrored << " scaled " << scaled << " at "
                 << x << "," << y << ", kind " << round / 4 % std::size(kBlitKinds) << ", key "
                 << key << ", vector set " << MmxEnabled());
    std::vector<uint32_t> expect;
    for (int j = 0; j < dst->GetHeight(); ++j)
      for (int i = 0; i < dst->GetWidth(); ++i) expect.push_back(dst->GetPixel(i, j));
    const ImageSurface* from = src.get();
    ASSERT_EQ(kind.draw(*dst, from, scaled ? &size : nullptr, x, y, rect, mirrored, level),
              ImageSurface::kOpDone);
    // The expected picture: the source rectangle cut to the source clip (the placement moving
    // with a cut at the drawn-first edge), scaled or not, then cut to the destination clip.
    const Rect& sc = *src->GetClipRectPtr();
    Rect s = rect ? srcRect : sc;
    int px = x, py = y;
    px += mirrored ? std::max(0, s.right - sc.right) : std::max(0, sc.left - s.left);
    py += std::max(0, sc.top - s.top);
    s = {std::max(s.left, sc.left), std::max(s.top, sc.top), std::min(s.right, sc.right),
         std::min(s.bottom, sc.bottom)};
    Rect drawn{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    if (!s.IsEmpty()) {
      int w = scaled ? size.width : s.Width(), h = scaled ? size.height : s.Height();
      for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
          int tx = px + i, ty = py + j;
          if (tx < dstClip.left || tx >= dstClip.right || ty < dstClip.top || ty >= dstClip.bottom)
            continue;
          int col = scaled ? StretchSourceIndex(i, s.Width(), w) : i;
          int row = scaled ? StretchSourceIndex(j, s.Height(), h) : j;
          if (mirrored) col = s.Width() - 1 - col;
          drawn = {std::min(drawn.left, tx), std::min(drawn.top, ty), std::max(drawn.right, tx + 1),
                   std::max(drawn.bottom, ty + 1)};
          const uint32_t v = src->GetPixel(s.left + col, s.top + row);
          if (key != kNoColorKey && v == key) continue;
          uint32_t& out = expect[size_t(ty) * dst->GetWidth() + tx];
          if (kind.blit == Blit::kAlphaOver) {
            out = (MmxEnabled() ? reference::AlphaOverMmx : reference::AlphaOverPlain)(out, v);
          } else if (kind.blit == Blit::kAlphaPlane) {
            out = kind.dstBits == 8 ? v >> 24 : (out & 0x00FFFFFFu) | v << 24;
          } else if (kind.blit == Blit::kOpacity) {
            const uint32_t o = 0x010101u * level;
            out = MmxEnabled() ? reference::OpacityRef(out, v, int(level))
                               : reference::CrossfadeRef(out, v, 0x010101u * 255 - o, o);
          } else if (kind.blit == Blit::kWeighted) {
            out = (MmxEnabled() ? reference::WeightedRef : reference::CrossfadeRef)(
                out, v, level, SourceWeights(level));
          } else if (kind.blit == Blit::kBlend) {
            out = level == 0   ? reference::AverageRef(out, v)
                  : level == 1 ? reference::AddRef(out, v)
                               : reference::SubtractRef(out, v);
          } else if (kind.blit == Blit::kAlphaOpacity || kind.blit == Blit::kOntoAlpha) {
            const uint8_t* weights = ProductTable[level & 0xFF];
            const int mode = kind.blit == Blit::kOntoAlpha ? 3 : int(level >> 8);
            out = mode == 3   ? reference::OntoAlphaRef(out, v, weights)
                  : mode == 0 ? reference::AlphaLerpRef(out, v, weights)
                              : reference::ScaledSumRef(out, v, reference::W(weights[v >> 24]),
                                                        mode == 1 ? 1 : -1);
          } else if (kind.blit == Blit::kAddOrSubtract) {
            out = reference::ScaledSumRef(out, v, reference::W(int(level & 0xFF)),
                                          level >> 8 ? -1 : 1);
          } else if (kind.blit != Blit::kCopy) {
            const uint32_t colour = kind.blit == Blit::kColour ? 0x00FFFFFFu : 0xFF000000u;
            out = (out & ~colour) | (v & colour);
          } else {
            out = kind.dstBits == kind.srcBits ? v : src->GetPalette()[v];
          }
        }
      }
    }
    for (size_t i = 0; i < expect.size(); ++i)
      ASSERT_EQ(dst->GetPixel(int(i) % dst->GetWidth(), int(i) / dst->GetWidth()), expect[i]) << i;
    if (drawn.left < drawn.right) {
      EXPECT_EQ(dst->GetDirtyList()->Bounds(), drawn);
    } else {
      EXPECT_EQ(dst->GetDirtyList()->Count(), 0) << "nothing drawn, nothing marked";
    }
  }
}

TEST(ImageSurfaceBlit, RefusesWrongDepthsEmptySourcesAndArgumentsOutOfRange) {
  std::mt19937 rng(2);
  auto dst8 = Random(rng, 8, 8, 8);
  auto src32 = Random(rng, 4, 4, 32);
  ImageSurface empty;
  EXPECT_EQ(dst8->Blit(src32.get(), 0, 0, nullptr, false), ImageSurface::kOpBadFormat);
  EXPECT_EQ(dst8->Blit(&empty, 0, 0, nullptr, false), ImageSurface::kOpNoPixels);
  auto dst = Random(rng, 8, 8, 32);
  auto before = Copy(*dst);
  ASSERT_EQ(dst->BlendBlit(3, src32.get(), 2, 2, nullptr), ImageSurface::kOpDone);
  EXPECT_TRUE(SamePixels(*dst, *before)) << "a blend mode out of range draws nothing";
  EXPECT_EQ(dst->GetDirtyList()->Bounds(), (Rect{2, 2, 6, 6})) << "but marks its place";
  EXPECT_EQ(dst->BlitMirrored(3, src32.get(), 0, 0, nullptr), ImageSurface::kOpBadParameter);
  EXPECT_EQ(dst->AlphaOpacityBlit(3, src32.get(), 10, 0, 0, nullptr),
            ImageSurface::kOpBadParameter);
  EXPECT_EQ(dst->MaskColorFill(0, src32.get(), 10, 1, 2, 3, 0, 0, nullptr),
            ImageSurface::kOpBadFormat);
  Size some{5, 5};
  EXPECT_EQ(dst->ClipBlit(src32.get(), 0, 0, nullptr, &some, nullptr, nullptr), kClipNoStepRecord);
  EXPECT_EQ(dst->ClipBlit(nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr), kClipNoSource);
  EXPECT_EQ(dst->ClipBlit(src32.get(), 2000000000, 0, nullptr, nullptr, nullptr, nullptr),
            kClipNothing)
      << "far placements clip instead of wrapping";

  // A blur radius is refused below zero and capped above.
  auto src = Random(rng, 300, 3, 32), a = Random(rng, 300, 3, 32);
  auto b = Copy(*a);
  EXPECT_EQ(a->BlurBlit(src.get(), -1, 255, 0, 0, nullptr), ImageSurface::kOpBadParameter);
  ASSERT_EQ(a->BlurBlit(src.get(), 1000, 255, 0, 0, nullptr), 0);
  ASSERT_EQ(b->BlurBlit(src.get(), 127, 255, 0, 0, nullptr), 0);
  EXPECT_TRUE(SamePixels(*a, *b));
  EXPECT_EQ(a->BlurAlphaBlit(src.get(), -5, 255, 0, 0, nullptr), ImageSurface::kOpBadParameter);
}

// A filtered stretch placed partly off the target shows exactly that part of the whole stretch:
// the clipped positions continue the unclipped ones.
TEST(ClipSmoothStretch, AClippedStretchShowsItsPartOfTheWholeOne) {
  std::mt19937 rng(33);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto src = testing_surfaces::Random(rng, 40, 30, 32);
  for (int round = 0; round < 300; ++round) {
    Rect from{pick(0, 10), pick(0, 10), pick(11, 40), pick(11, 30)};
    // More than half the source each way, or the plain copies take over.
    Size size{pick(from.Width() / 2 + 1, 90), pick(from.Height() / 2 + 1, 90)};
    const int x = pick(-60, 45), y = pick(-60, 35);
    auto whole = testing_surfaces::Random(rng, size.width, size.height, 32);
    auto dst = testing_surfaces::Random(rng, 50, 40, 32);
    auto before = testing_surfaces::Copy(*dst);
    ASSERT_EQ(whole->SmoothStretchBlit(src.get(), &size, 0, 0, &from), ImageSurface::kOpDone);
    ASSERT_EQ(dst->SmoothStretchBlit(src.get(), &size, x, y, &from), ImageSurface::kOpDone);
    for (int j = 0; j < 40; ++j) {
      for (int i = 0; i < 50; ++i) {
        const bool shown = i >= x && i < x + size.width && j >= y && j < y + size.height;
        ASSERT_EQ(dst->GetPixel(i, j),
                  shown ? whole->GetPixel(i - x, j - y) : before->GetPixel(i, j))
            << "round " << round << " at " << i << "," << j;
      }
    }
  }
  Size some{4, 4};
  EXPECT_EQ(src->ClipSmoothStretch(src.get(), 0, 0, nullptr, &some, nullptr, nullptr),
            kClipNoStepRecord);
}

// A clip is cut to the picture, and a fill reaching past every edge stops at the clip's.
TEST(ImageSurfaceClip, FillsStopAtEachEdgeOfTheClip) {
  const struct {
    Rect given, kept;
  } cases[] = {{{-5, -5, 100, 100}, {0, 0, 10, 6}},
               {{2, 1, 8, 5}, {2, 1, 8, 5}},
               {{9, 5, 40, 40}, {9, 5, 10, 6}}};
  for (const auto& c : cases) {
    ImageSurface s;
    ASSERT_EQ(s.Create(10, 6, 32, 0), kSurfaceDone);
    ASSERT_TRUE(s.SetClipRect(&c.given));
    EXPECT_EQ(*s.GetClipRectPtr(), c.kept);
    const Rect past{-3, -3, 20, 20};
    ASSERT_TRUE(s.Fill(0xFFFFFFFFu, &past));
    for (int32_t y = 0; y < 6; ++y) {
      for (int32_t x = 0; x < 10; ++x) {
        const bool inside =
            x >= c.kept.left && x < c.kept.right && y >= c.kept.top && y < c.kept.bottom;
        ASSERT_EQ(s.GetPixel(x, y), inside ? 0xFFFFFFFFu : 0u)
            << "clip " << c.kept.left << "," << c.kept.top << " at " << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace bw
