// Blends of one surface into this one: opacity, weighted, average/add/subtract, alpha-aware,
// bilinear stretch, add and subtract by opacity, alpha by opacity, rule transitions, box blur
// and mask fills.
#include <algorithm>

#include "graphics/pixel/blend_kernels.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/filter_kernels.h"
#include "graphics/pixel/mask_kernels.h"
#include "graphics/pixel/rows8_kernels.h"
#include "graphics/pixel/source_blend_kernels.h"
#include "graphics/surface/image_surface_ops.h"
#include "graphics/surface/pixel_library.h"
#include "platform/mmx_flag.h"

namespace bw {

using namespace surface_ops;

namespace {

// The plain crossfade and the vector weighted sum share their callers' weight words.
void Weighted(const Span& s, uint32_t key, uint32_t dw, uint32_t sw) {
  const bool keyed = key != kNoColorKey;
  if (MmxEnabled()) {
    if (s.stretched) {
      keyed ? StretchWeightedRowsKeyedMmx(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width,
                                          s.height, s.stepper, key, dw, sw)
            : StretchWeightedRowsMmx(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height,
                                     s.stepper, dw, sw);
    } else {
      keyed ? WeightedRowsKeyedMmx(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, key,
                                   dw, sw)
            : WeightedRowsMmx(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, dw, sw);
    }
    return;
  }
  Crossfade(s, key, dw, sw);
}

}  // namespace

// The plain crossfade family.
void surface_ops::Crossfade(const Span& s, uint32_t key, uint32_t dw, uint32_t sw) {
  const bool keyed = key != kNoColorKey;
  if (s.stretched) {
    keyed ? StretchCrossfadeRowsKeyed(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height,
                                      s.stepper, key, dw, sw)
          : StretchCrossfadeRows(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height,
                                 s.stepper, dw, sw);
  } else {
    keyed ? CrossfadeRowsKeyed(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, key, dw,
                               sw)
          : CrossfadeRows(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, dw, sw);
  }
}

void surface_ops::Opacity(const Span& s, uint32_t key, int opacity) {
  if (!MmxEnabled()) {
    Crossfade(s, key, Splat(255 - opacity), Splat(opacity));
    return;
  }
  const bool keyed = key != kNoColorKey;
  if (s.stretched) {
    keyed ? StretchOpacityRowsKeyedMmx(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height,
                                       s.stepper, key, opacity)
          : StretchOpacityRowsMmx(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height,
                                  s.stepper, opacity);
  } else {
    keyed ? OpacityRowsKeyedMmx(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, key,
                                opacity)
          : OpacityRowsMmx(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, opacity);
  }
}

int ImageSurface::OpacityBlit(const Surface* source, int opacity, int32_t x, int32_t y,
                              const Rect* rect) {
  if (int code = Check32(this, source); code != kContinue) return code;
  opacity &= 0xFF;
  if (opacity == 0) return kOpDone;
  if (ActiveLibrary() && source->GetColorKey() == kNoColorKey) {
    return LibraryBlend(this, source, nullptr, x, y, rect, LibraryOperation(kLibOpacity), opacity);
  }
  return Draw32(this, source, nullptr, x, y, rect,
                [&](const Span& s) { Opacity(s, source->GetColorKey(), opacity); });
}

int ImageSurface::StretchOpacityBlit(const Surface* source, int opacity, const Size* size,
                                     int32_t x, int32_t y, const Rect* rect) {
  if (int code = Check32(this, source); code != kContinue) return code;
  opacity &= 0xFF;
  if (opacity == 0) return kOpDone;
  const Size target = SizeOr(this, size);
  if (ActiveLibrary() && source->GetColorKey() == kNoColorKey) {
    return LibraryBlend(this, source, &target, x, y, rect, LibraryOperation(kLibOpacity), opacity);
  }
  return Draw32(this, source, &target, x, y, rect,
                [&](const Span& s) { Opacity(s, source->GetColorKey(), opacity); });
}

int ImageSurface::WeightedBlit(const Surface* source, uint32_t dstWeights, uint32_t srcWeights,
                               int32_t x, int32_t y, const Rect* rect) {
  if (int code = Check32(this, source); code != kContinue) return code;
  return Draw32(this, source, nullptr, x, y, rect,
                [&](const Span& s) { Weighted(s, source->GetColorKey(), dstWeights, srcWeights); });
}

int ImageSurface::StretchWeightedBlit(const Surface* source, uint32_t dstWeights,
                                      uint32_t srcWeights, const Size* size, int32_t x, int32_t y,
                                      const Rect* rect) {
  if (int code = Check32(this, source); code != kContinue) return code;
  const Size target = SizeOr(this, size);
  return Draw32(this, source, &target, x, y, rect,
                [&](const Span& s) { Weighted(s, source->GetColorKey(), dstWeights, srcWeights); });
}

namespace {

constexpr int kBlendAverage = 0;
[[maybe_unused]] constexpr int kBlendAdd = 1;  // between the two bounds: named for the reader
constexpr int kBlendSubtract = 2;

using BlendRows32 = void (*)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int);
using BlendRows32Keyed = void (*)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int,
                                  uint32_t);
using StretchBlendRows32 = void (*)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int,
                                    const StretchStepper&);
using StretchBlendRows32Keyed = void (*)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int,
                                         const StretchStepper&, uint32_t);
struct BlendSet {
  BlendRows32 rows;
  BlendRows32Keyed keyed;
  StretchBlendRows32 stretched;
  StretchBlendRows32Keyed stretchedKeyed;
};

const BlendSet kBlendSets[3][2] = {
    {{AverageRows, AverageRowsKeyed, StretchAverageRows, StretchAverageRowsKeyed},
     {AverageRowsMmx, AverageRowsKeyedMmx, StretchAverageRowsMmx, StretchAverageRowsKeyedMmx}},
    {{AddRows, AddRowsKeyed, StretchAddRows, StretchAddRowsKeyed},
     {AddRowsMmx, AddRowsKeyedMmx, StretchAddRowsMmx, StretchAddRowsKeyedMmx}},
    {{SubtractRows, SubtractRowsKeyed, StretchSubtractRows, StretchSubtractRowsKeyed},
     {SubtractRowsMmx, SubtractRowsKeyedMmx, StretchSubtractRowsMmx, StretchSubtractRowsKeyedMmx}},
};

int BlendAny(ImageSurface* target, int mode, const Surface* source, const Size* size, int32_t x,
             int32_t y, const Rect* rect) {
  if (int code = Check32(target, source); code != kContinue) return code;
  return Draw32(target, source, size, x, y, rect, [&](const Span& s) {
    if (mode < kBlendAverage || mode > kBlendSubtract) return;  // marked, not drawn
    const BlendSet& set = kBlendSets[mode][MmxEnabled() ? 1 : 0];
    const uint32_t key = source->GetColorKey();
    if (s.stretched) {
      key != kNoColorKey
          ? set.stretchedKeyed(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height,
                               s.stepper, key)
          : set.stretched(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, s.stepper);
    } else {
      key != kNoColorKey
          ? set.keyed(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, key)
          : set.rows(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height);
    }
  });
}

}  // namespace

int ImageSurface::BlendBlit(int mode, const Surface* source, int32_t x, int32_t y,
                            const Rect* rect) {
  return BlendAny(this, mode, source, nullptr, x, y, rect);
}

int ImageSurface::StretchBlendBlit(int mode, const Surface* source, const Size* size, int32_t x,
                                   int32_t y, const Rect* rect) {
  const Size target = SizeOr(this, size);
  return BlendAny(this, mode, source, &target, x, y, rect);
}

int ImageSurface::AlphaAwareOpacityBlit(const Surface* source, int opacity, int32_t x, int32_t y,
                                        const Rect* rect) {
  if (int code = Check32(this, source); code != kContinue) return code;
  opacity &= 0xFF;
  if (opacity == 0) return kOpDone;
  if (opacity == 255) return Blit(source, x, y, rect, false);
  return Draw32(this, source, nullptr, x, y, rect, [&](const Span& s) {
    (MmxEnabled() ? AlphaAwareOpacityRowsMmx : AlphaAwareOpacityRows)(
        Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, opacity);
  });
}

int ImageSurface::SmoothStretchBlit(const Surface* source, const Size* size, int32_t x, int32_t y,
                                    const Rect* rect) {
  if (!GetPixels() || !HasPixels(source)) return kOpNoPixels;
  const int dstBits = BitsOf(this), srcBits = BitsOf(source);
  if (srcBits == 0 || (dstBits == 8 && srcBits != 8)) return kOpBadFormat;
  const Size target = SizeOr(this, size);
  const Rect from = rect ? *rect : *source->GetClipRectPtr();
  // In 64 bits: a script's rectangle and size can be any 32-bit numbers.
  const int64_t fromWidth = int64_t{from.right} - from.left;
  const int64_t fromHeight = int64_t{from.bottom} - from.top;
  // Without scaling, or when shrinking by half or more, the plain copies do it; the colour key
  // plays no part.
  if (target.width == fromWidth && target.height == fromHeight) {
    return CopyWithoutKey(this, source, nullptr, x, y, rect);
  }
  if (fromWidth <= 1 || fromHeight <= 1 || int64_t{target.width} * 2 <= fromWidth ||
      int64_t{target.height} * 2 <= fromHeight) {
    return CopyWithoutKey(this, source, &target, x, y, rect);
  }
  SmoothStepper st{};
  if (ClipSmoothStretch(source, x, y, rect, &target, &st, nullptr) != kClipDraw) return kOpDone;
  const Rect& d = ClippedDest();
  const Rect& s = ClippedSource();
  const ptrdiff_t dstBytes = dstBits / 8, srcBytes = srcBits / 8;
  uint8_t* dst = GetPixels() + d.top * GetPitch() + d.left * dstBytes;
  const ptrdiff_t dstSkip = GetPitch() - d.Width() * dstBytes;
  const uint8_t* src = source->GetPixels() + s.top * source->GetPitch() + s.left * srcBytes;
  const int columns = source->GetWidth() - s.left, rows = source->GetHeight() - s.top;
  if (dstBits == 8) {
    BilinearStepper b{int64_t{st.xFraction}, st.yFraction, int64_t(st.xStep),
                      int64_t(st.yStep),     columns,      rows};
    ScaleRows8Bilinear(dst, src, dstSkip, source->GetPitch(), d.Width(), d.Height(), b);
  } else if (srcBits == 8) {
    const uint32_t* colors = static_cast<const DibSurface*>(source)->GetPalette();
    if (!colors) return kOpBadFormat;
    (MmxEnabled() ? SmoothStretchIndexedRowsMmx : SmoothStretchIndexedRows)(
        reinterpret_cast<uint32_t*>(dst), src, dstSkip, source->GetPitch(), colors, d.Width(),
        d.Height(), st, columns, rows);
  } else {
    (MmxEnabled() ? SmoothStretchRows32Mmx : SmoothStretchRows32)(
        reinterpret_cast<uint32_t*>(dst), reinterpret_cast<const uint32_t*>(src), dstSkip,
        source->GetPitch(), d.Width(), d.Height(), st, columns, rows);
  }
  MarkDirty(d);
  return kOpDone;
}

}  // namespace bw
