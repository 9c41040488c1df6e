// Blends weighted by an opacity, the source alpha, a rule picture, a mask or a box blur; and the
// copy from any displayable surface.
#include <algorithm>

#include "graphics/layers/surface_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/filter_kernels.h"
#include "graphics/pixel/mask_kernels.h"
#include "graphics/pixel/source_blend_kernels.h"
#include "graphics/surface/directdraw_image_surface.h"
#include "graphics/surface/image_surface_ops.h"
#include "graphics/surface/pixel_library.h"
#include "host/gdi/memory_dc.h"
#include "platform/mmx_flag.h"

namespace bw {

using namespace surface_ops;

namespace {

using RowsByOpacity = void (*)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int, int);
using RowsByRow = void (*)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int,
                           const uint8_t*);
using StretchRowsByRow = void (*)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int,
                                  const StretchStepper&, const uint8_t*);

int ByOpacity(ImageSurface* target, const Surface* source, int opacity, int32_t x, int32_t y,
              const Rect* rect, RowsByOpacity plain, RowsByOpacity mmx) {
  return Draw32(target, source, nullptr, x, y, rect, [&](const Span& s) {
    (MmxEnabled() ? mmx : plain)(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height,
                                 opacity);
  });
}

struct RowFamily {
  RowsByRow plain, mmx;
  StretchRowsByRow stretchedPlain, stretchedMmx;
};
const RowFamily kAlphaFamilies[3] = {
    {AlphaOpacityRows, AlphaOpacityRowsMmx, StretchAlphaOpacityRows, StretchAlphaOpacityRowsMmx},
    {AlphaAddRows, AlphaAddRowsMmx, StretchAlphaAddRows, StretchAlphaAddRowsMmx},
    {AlphaSubtractRows, AlphaSubtractRowsMmx, StretchAlphaSubtractRows,
     StretchAlphaSubtractRowsMmx}};
const RowFamily kOntoAlpha{AlphaOntoAlphaRows, AlphaOntoAlphaRowsMmx, StretchAlphaOntoAlphaRows,
                           StretchAlphaOntoAlphaRowsMmx};

int ByAlphaRow(ImageSurface* target, const Surface* source, int opacity, const Size* size,
               int32_t x, int32_t y, const Rect* rect, const RowFamily& family) {
  const uint8_t* row = ProductTable[opacity];
  const bool mmx = MmxEnabled();
  return Draw32(target, source, size, x, y, rect, [&](const Span& s) {
    if (s.stretched) {
      (mmx ? family.stretchedMmx : family.stretchedPlain)(Dst32(s), Src32(s), s.dstSkip, s.srcSkip,
                                                          s.width, s.height, s.stepper, row);
    } else {
      (mmx ? family.mmx : family.plain)(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height,
                                        row);
    }
  });
}

constexpr int kAlphaOver = 0;
constexpr int kAlphaSubtractMode = 2;

int AlphaOpacityAny(ImageSurface* target, int mode, const Surface* source, int opacity,
                    const Size* size, int32_t x, int32_t y, const Rect* rect) {
  if (int code = Check32(target, source); code != kContinue) return code;
  if (mode < kAlphaOver || mode > kAlphaSubtractMode) return ImageSurface::kOpBadParameter;
  opacity &= 0xFF;
  if (opacity == 0) return ImageSurface::kOpDone;
  if (mode == kAlphaOver && ActiveLibrary()) {
    return LibraryBlend(target, source, size, x, y, rect, LibraryOperation(kLibAlpha), opacity);
  }
  return ByAlphaRow(target, source, opacity, size, x, y, rect, kAlphaFamilies[mode]);
}

int OntoAlphaAny(ImageSurface* target, const Surface* source, int opacity, const Size* size,
                 int32_t x, int32_t y, const Rect* rect) {
  if (int code = Check32(target, source); code != kContinue) return code;
  opacity &= 0xFF;
  if (opacity == 0) return ImageSurface::kOpDone;
  if (ActiveLibrary()) {
    return LibraryBlend(target, source, size, x, y, rect, LibraryOperation(kLibOntoAlpha), opacity);
  }
  return ByAlphaRow(target, source, opacity, size, x, y, rect, kOntoAlpha);
}

}  // namespace

int ImageSurface::AddBlit(const Surface* source, int opacity, int32_t x, int32_t y,
                          const Rect* rect) {
  if (int code = Check32(this, source); code != kContinue) return code;
  opacity &= 0xFF;
  if (opacity == 0) return kOpDone;
  if (ActiveLibrary()) {
    return LibraryBlend(this, source, nullptr, x, y, rect, LibraryOperation(kLibAdd), opacity);
  }
  return ByOpacity(this, source, opacity, x, y, rect, AddBlitRows, AddBlitRowsMmx);
}

int ImageSurface::SubtractBlit(const Surface* source, int opacity, int32_t x, int32_t y,
                               const Rect* rect) {
  if (int code = Check32(this, source); code != kContinue) return code;
  opacity &= 0xFF;
  if (opacity == 0) return kOpDone;
  return ByOpacity(this, source, opacity, x, y, rect, SubtractBlitRows, SubtractBlitRowsMmx);
}

int ImageSurface::AlphaOpacityBlit(int mode, const Surface* source, int opacity, int32_t x,
                                   int32_t y, const Rect* rect) {
  return AlphaOpacityAny(this, mode, source, opacity, nullptr, x, y, rect);
}

int ImageSurface::StretchAlphaOpacityBlit(int mode, const Surface* source, int opacity,
                                          const Size* size, int32_t x, int32_t y,
                                          const Rect* rect) {
  const Size target = SizeOr(this, size);
  return AlphaOpacityAny(this, mode, source, opacity, &target, x, y, rect);
}

int ImageSurface::AlphaBlitOntoAlpha(const Surface* source, int opacity, int32_t x, int32_t y,
                                     const Rect* rect) {
  return OntoAlphaAny(this, source, opacity, nullptr, x, y, rect);
}

int ImageSurface::StretchAlphaBlitOntoAlpha(const Surface* source, int opacity, const Size* size,
                                            int32_t x, int32_t y, const Rect* rect) {
  const Size target = SizeOr(this, size);
  return OntoAlphaAny(this, source, opacity, &target, x, y, rect);
}

namespace {

constexpr int kProgressEnd = 512;
constexpr int kProgressHalf = 256;
constexpr int kRampMax = 511;

// The 256-entry weight table of a rule transition at this progress.
void BuildRuleTable(int opacity, int progress, int rampWidth, uint8_t table[256]) {
  const bool above = progress > kProgressHalf;
  if (above) progress -= kProgressHalf;
  const int fill = above ? 255 : 0;
  const int p = progress - 1;
  const uint8_t* row = ProductTable[opacity];
  int i = 0;
  for (; i < p; ++i) table[i] = row[255 - fill];
  const int rampEnd = std::min(p + rampWidth, 256);
  for (int k = 0; i < rampEnd; ++i, ++k) {
    const int v = above ? k * 255 / rampWidth : 255 - k * 255 / rampWidth;
    table[i] = row[v];
  }
  for (; i < 256; ++i) table[i] = row[fill];
}

int RuleAny(ImageSurface* target, const Surface* source, const Surface* rule, int opacity,
            int progress, int rampWidth, int32_t x, int32_t y, const Rect* rect, bool alphaToo) {
  if (int code = Check32(target, source); code != kContinue) return code;
  if (progress < 0 || progress > kProgressEnd || rampWidth < 1 || rampWidth > kRampMax) {
    return ImageSurface::kOpBadParameter;
  }
  opacity &= 0xFF;
  if (progress == 0 || progress == kProgressEnd || opacity == 0) return ImageSurface::kOpDone;
  if (progress == kProgressHalf) {
    return alphaToo
               ? target->AlphaOpacityBlit(0, source, opacity, x, y, rect)
               : target->WeightedBlit(source, Splat(255 - opacity), Splat(opacity), x, y, rect);
  }
  Span s;
  if (!Prepare(target, source, x, y, rect, nullptr, false, Mirror::kNone, s)) {
    return ImageSurface::kOpDone;
  }
  uint8_t table[256];
  BuildRuleTable(opacity, progress, rampWidth, table);
  const uint8_t* ruleStart = nullptr;
  ptrdiff_t ruleSkip = 0;
  const Rect& cs = target->ClippedSource();
  if (rule) {
    if (!rule->GetPixels() || BitsOf(rule) != 8 || cs.left + cs.Width() > rule->GetWidth() ||
        cs.top + cs.Height() > rule->GetHeight()) {
      return ImageSurface::kOpRuleNotCovering;
    }
    ruleStart = rule->GetPixels() + cs.top * rule->GetPitch() + cs.left;
    ruleSkip = rule->GetPitch() - s.width;
  }
  const bool mmx = MmxEnabled();
  auto kernel =
      alphaToo ? (mmx ? RuleAlphaRowsMmx : RuleAlphaRows) : (mmx ? RuleRowsMmx : RuleRows);
  kernel(Dst32(s), Src32(s), ruleStart, s.dstSkip, s.srcSkip, ruleSkip, s.width, s.height, table);
  target->MarkDirty(target->ClippedDest());
  return ImageSurface::kOpDone;
}

}  // namespace

int ImageSurface::RuleBlit(const Surface* source, const Surface* rule, int opacity, int progress,
                           int rampWidth, int32_t x, int32_t y, const Rect* rect) {
  return RuleAny(this, source, rule, opacity, progress, rampWidth, x, y, rect, false);
}

int ImageSurface::RuleAlphaBlit(const Surface* source, const Surface* rule, int opacity,
                                int progress, int rampWidth, int32_t x, int32_t y,
                                const Rect* rect) {
  return RuleAny(this, source, rule, opacity, progress, rampWidth, x, y, rect, true);
}

namespace {

int BlurAny(ImageSurface* target, const Surface* source, int radius, int opacity, int32_t x,
            int32_t y, const Rect* rect, bool byAlpha) {
  if (int code = Check32(target, source); code != kContinue) return code;
  if (radius < 0) return ImageSurface::kOpBadParameter;
  radius = std::min(radius, kBlurMaxRadius);
  opacity &= 0xFF;
  if (opacity == 0) return ImageSurface::kOpDone;
  if (radius == 0) {
    return byAlpha ? target->AlphaOpacityBlit(0, source, opacity, x, y, rect)
                   : target->WeightedBlit(source, Splat(255 - opacity), Splat(opacity), x, y, rect);
  }
  return Draw32(target, source, nullptr, x, y, rect, [&](const Span& s) {
    const Rect& cs = target->ClippedSource();
    const Rect& bounds = *source->GetClipRectPtr();
    const BlurExtent extent{cs.left - bounds.left, bounds.right - cs.left, radius};
    if (byAlpha) {
      BlurAlphaRows(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, extent,
                    ProductTable[opacity]);
    } else if (opacity == 255) {
      BlurRows(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, extent);
    } else {
      BlurRowsWithOpacity(Dst32(s), Src32(s), s.dstSkip, s.srcSkip, s.width, s.height, extent,
                          opacity);
    }
  });
}

}  // namespace

int ImageSurface::BlurBlit(const Surface* source, int radius, int opacity, int32_t x, int32_t y,
                           const Rect* rect) {
  return BlurAny(this, source, radius, opacity, x, y, rect, false);
}

int ImageSurface::BlurAlphaBlit(const Surface* source, int radius, int opacity, int32_t x,
                                int32_t y, const Rect* rect) {
  return BlurAny(this, source, radius, opacity, x, y, rect, true);
}

int ImageSurface::MaskColorFill(int mode, const Surface* mask, int opacity, int red, int green,
                                int blue, int32_t x, int32_t y, const Rect* rect) {
  if (!GetPixels() || !HasPixels(mask)) return kOpNoPixels;
  if (BitsOf(this) != 32 || BitsOf(mask) != 8) return kOpBadFormat;
  using MaskKernel =
      void (*)(uint32_t*, const uint8_t*, ptrdiff_t, ptrdiff_t, int, int, uint32_t, const uint8_t*);
  static const MaskKernel kernels[3][2] = {{MaskColorFillRows, MaskColorFillRowsMmx},
                                           {MaskAddColorRows, MaskAddColorRowsMmx},
                                           {MaskSubtractColorRows, MaskSubtractColorRowsMmx}};
  if (mode < 0 || mode > 2) return kOpBadParameter;
  opacity &= 0xFF;
  if (opacity == 0) return kOpDone;
  const uint32_t color =
      uint32_t(red & 0xFF) << 16 | uint32_t(green & 0xFF) << 8 | uint32_t(blue & 0xFF);
  Span s;
  if (!Prepare(this, mask, x, y, rect, nullptr, false, Mirror::kNone, s)) return kOpDone;
  kernels[mode][MmxEnabled() ? 1 : 0](Dst32(s), s.src, s.dstSkip, s.srcSkip, s.width, s.height,
                                      color, ProductTable[opacity]);
  MarkDirty(ClippedDest());
  return kOpDone;
}

namespace {
// A picture that lives in a DirectDraw surface: copied through the surface's device context,
// clipped against this surface only.
int FromDirectDraw(ImageSurface* target, const Surface* source, host::MemorySurface* surface,
                   const Size* size, int32_t x, int32_t y, const Rect* rect) {
  if (!surface) return ImageSurface::kOpNoPixels;
  const Rect whole{0, 0, source->GetWidth(), source->GetHeight()};
  StretchStepper steps;
  const int clip =
      target->ClipBlit(nullptr, x, y, rect ? rect : &whole, size, size ? &steps : nullptr, nullptr);
  if (clip == kClipNothing) return ImageSurface::kOpDone;
  if (clip != kClipDraw) return ImageSurface::kOpNoPixels;
  host::MemoryDc* dc = nullptr;
  if (surface->GetDC(&dc) != host::kDdOk || !dc) return ImageSurface::kOpBadFormat;
  const Rect s = target->ClippedSource(), d = target->ClippedDest();
  const bool ok = size ? host::StretchBlt(*target->GetDc(), d.left, d.top, d.Width(), d.Height(),
                                          *dc, s.left, s.top, s.Width(), s.Height())
                       : host::BitBlt(*target->GetDc(), d.left, d.top, d.Width(), d.Height(), *dc,
                                      s.left, s.top);
  // Releasing the DC taken just above cannot fail.
  (void)surface->ReleaseDC(dc);
  if (!ok) return ImageSurface::kOpBadFormat;
  target->MarkDirty(d);
  return ImageSurface::kOpDone;
}

int FromObject(ImageSurface* target, const Surface* source, const Size* size, int32_t x, int32_t y,
               const Rect* rect) {
  if (!target->GetDc() || !target->GetPixels() || !source) return ImageSurface::kOpNoPixels;
  const Surface* picture = nullptr;
  switch (source->GetKind()) {
    case kKindDibSurface:
      picture = source;
      break;
    case kKindSoftwareSurfaceLayer:
    case kKindTextureLayer:
      // Layers that hold their picture in an image surface part.
      if (const auto* layer = dynamic_cast<const SurfaceLayer*>(source))
        picture = layer->GetImage();
      break;
    case kKindDirectDrawImageSurface:
    case kKindDirectDrawSurface:
    case kKindWgxPictureLayer:
    case kKindTextLayer:
      // Every kind kept in DirectDraw memory is a DirectDraw picture underneath.
      if (const auto* image = dynamic_cast<const DirectDrawImageSurface*>(source)) {
        return FromDirectDraw(target, source, image->GetDirectDrawSurface(), size, x, y, rect);
      }
      return ImageSurface::kOpNoPixels;
    default:
      return ImageSurface::kOpNoPixels;
  }
  if (!picture) return ImageSurface::kOpNoPixels;
  return size ? target->StretchBlit(picture, size, x, y, rect, false)
              : target->Blit(picture, x, y, rect, false);
}
}  // namespace

int ImageSurface::BlitFromObject(const Surface* source, int32_t x, int32_t y, const Rect* rect) {
  return FromObject(this, source, nullptr, x, y, rect);
}

int ImageSurface::StretchBlitFromObject(const Surface* source, const Size* size, int32_t x,
                                        int32_t y, const Rect* rect) {
  const Size target = SizeOr(this, size);
  return FromObject(this, source, &target, x, y, rect);
}

}  // namespace bw
