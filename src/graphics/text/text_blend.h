// How both text renderers put an 8-bit coverage mask onto a picture: the picture behind any
// surface they are handed, and the blends, each clipped to the picture and reporting the box
// it touched.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/pixel/text_kernels.h"
#include "graphics/surface/surface.h"
#include "platform/rect.h"

namespace bw {

struct TextPixels {
  uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  ptrdiff_t pitch = 0;
  int bits = 0;
};

// The 8- or 32-bit pixels of a DIB or image surface, a memory bitmap, or the picture of a
// surface layer. False for anything else, for other depths and without pixels.
[[nodiscard]] bool ResolveTextPixels(Surface* surface, TextPixels* out);

struct CoverageMask {
  const uint8_t* bits = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  ptrdiff_t pitch = 0;
};

enum class MaskBlend {
  kSolid,       // the colour where the mask is 128 or more
  kBlended,     // each channel toward the colour by the mask (8 bits: a grey plane by the red)
  kAlphaAware,  // 32 bits: the colour weighted by mask and target alpha, the alpha raised
};

// Puts the mask with its top-left at (x, y). The ramp colours, when used, count from the mask's
// own first row or column. drawn, when given, gets the clipped box (empty when nothing was
// touched). False when nothing was touched.
[[nodiscard]] bool BlendTextMask(const TextPixels& target, int32_t x, int32_t y,
                                 const CoverageMask& mask, MaskBlend blend,
                                 const MaskColors& colors, Rect* drawn);

// The colour over rect, clipped (8 bits: its red); the ramp counted from rect's own top row or
// left column. 32 bits keep their alpha, or set it to 0 when clearAlpha.
void FillTextColor(const TextPixels& target, Rect rect, const MaskColors& colors, bool clearAlpha);
// 32 bits: alpha := max(alpha, m) under the mask, so neighbouring glyph boxes never cut what
// the other covers.
void RaiseTextAlpha(const TextPixels& target, int32_t x, int32_t y, const CoverageMask& mask);

// Extends rect by box; an empty rect takes the box.
void UniteTextBox(Rect* rect, const Rect& box);

}  // namespace bw
