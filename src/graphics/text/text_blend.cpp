#include "graphics/text/text_blend.h"

#include <algorithm>

#include "graphics/layers/surface_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/mask_kernels.h"
#include "graphics/surface/dib_surface.h"
#include "graphics/surface/memory_bitmap.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

// The mask's placement cut to the picture: target and mask starts and the size left.
struct Clip {
  int32_t x, y;    // first target pixel
  int32_t mx, my;  // first mask pixel
  int32_t width, height;
};

bool ClipMask(const TextPixels& t, int32_t x, int32_t y, int32_t w, int32_t h, Clip* c) {
  const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(int64_t(x) + w, t.width);
  const int64_t bottom = std::min<int64_t>(int64_t(y) + h, t.height);
  if (left >= right || top >= bottom) return false;
  *c = {int32_t(left),    int32_t(top),          int32_t(left - x),
        int32_t(top - y), int32_t(right - left), int32_t(bottom - top)};
  return true;
}

uint32_t* Pixel32(const TextPixels& t, int32_t x, int32_t y) {
  return reinterpret_cast<uint32_t*>(t.pixels + y * t.pitch) + x;
}

uint32_t ColorAt(const MaskColors& colors, int32_t column, int32_t row) {
  switch (colors.ramp) {
    case ColorRamp::kRows:
      return colors.colors[row];
    case ColorRamp::kColumns:
      return colors.colors[column];
    case ColorRamp::kNone:
      break;
  }
  return colors.colors[0];
}

// The ramp moved on to the clipped area's first row or column.
MaskColors Shifted(const MaskColors& colors, int32_t columns, int32_t rows) {
  MaskColors out = colors;
  if (colors.ramp == ColorRamp::kRows) out.colors += rows;
  if (colors.ramp == ColorRamp::kColumns) out.colors += columns;
  return out;
}

}  // namespace

bool ResolveTextPixels(Surface* surface, TextPixels* out) {
  if (!surface) return false;
  Surface* picture = surface;
  if (auto* layer = dynamic_cast<SurfaceLayer*>(surface)) picture = layer->GetImage();
  int bits = 0;
  if (const auto* dib = dynamic_cast<const DibSurface*>(picture)) {
    bits = dib->GetBitsPerPixel();
  } else if (const auto* bitmap = dynamic_cast<const MemoryBitmap*>(picture)) {
    bits = bitmap->GetBitsPerPixel();
  }
  if (!picture || !picture->GetPixels() || (bits != 8 && bits != 32)) return false;
  *out = {picture->GetPixels(), picture->GetWidth(), picture->GetHeight(), picture->GetPitch(),
          bits};
  return out->width > 0 && out->height > 0;
}

bool BlendTextMask(const TextPixels& t, int32_t x, int32_t y, const CoverageMask& mask,
                   MaskBlend blend, const MaskColors& colors, Rect* drawn) {
  if (drawn) *drawn = {};
  Clip c{};
  if (!mask.bits || !ClipMask(t, x, y, mask.width, mask.height, &c)) return false;
  if (t.bits != 32 && blend == MaskBlend::kAlphaAware) return false;
  const uint8_t* m = mask.bits + c.my * mask.pitch + c.mx;
  const ptrdiff_t maskSkip = mask.pitch - c.width;
  const MaskColors shifted = Shifted(colors, c.mx, c.my);
  const bool mmx = MmxEnabled();
  if (blend == MaskBlend::kSolid) {
    for (int32_t row = 0; row < c.height; ++row) {
      const uint8_t* mr = m + row * mask.pitch;
      for (int32_t col = 0; col < c.width; ++col) {
        if (mr[col] < 128) continue;
        const uint32_t color = ColorAt(shifted, col, row);
        if (t.bits == 8) {
          t.pixels[(c.y + row) * t.pitch + c.x + col] = uint8_t(color >> 16);
        } else {
          uint32_t* p = Pixel32(t, c.x + col, c.y + row);
          *p = (*p & 0xFF000000u) | (color & 0xFFFFFF);
        }
      }
    }
  } else if (t.bits == 8) {
    auto kernel = mmx ? MaskCrossfadeRowsMmx : MaskCrossfadeRows;
    kernel(t.pixels + c.y * t.pitch + c.x, m, t.pitch - c.width, maskSkip, c.width, c.height,
           shifted);
  } else if (blend == MaskBlend::kBlended) {
    auto kernel = mmx ? MaskColorCrossfadeRowsMmx : MaskColorCrossfadeRows;
    kernel(Pixel32(t, c.x, c.y), m, t.pitch - ptrdiff_t(c.width) * 4, maskSkip, c.width, c.height,
           shifted);
  } else {
    auto kernel = mmx ? MaskAlphaColorFillRowsMmx : MaskAlphaColorFillRows;
    const uint8_t* identity = ProductTable[255];
    const ptrdiff_t dstSkip = t.pitch - ptrdiff_t(c.width) * 4;
    if (shifted.ramp == ColorRamp::kNone) {
      kernel(Pixel32(t, c.x, c.y), m, dstSkip, maskSkip, c.width, c.height, shifted.colors[0],
             identity);
    } else if (shifted.ramp == ColorRamp::kRows) {
      for (int32_t row = 0; row < c.height; ++row) {
        kernel(Pixel32(t, c.x, c.y + row), m + row * mask.pitch, dstSkip, maskSkip, c.width, 1,
               shifted.colors[row], identity);
      }
    } else {
      for (int32_t col = 0; col < c.width; ++col) {
        kernel(Pixel32(t, c.x + col, c.y), m + col, t.pitch - 4, mask.pitch - 1, 1, c.height,
               shifted.colors[col], identity);
      }
    }
  }
  if (drawn) *drawn = {c.x, c.y, c.x + c.width, c.y + c.height};
  return true;
}

void FillTextColor(const TextPixels& t, Rect rect, const MaskColors& colors, bool clearAlpha) {
  Clip c{};
  if (!ClipMask(t, rect.left, rect.top, rect.Width(), rect.Height(), &c)) return;
  const MaskColors shifted = Shifted(colors, c.mx, c.my);
  const uint32_t keep = clearAlpha ? 0 : 0xFF000000u;
  for (int32_t row = 0; row < c.height; ++row) {
    if (t.bits == 8) {
      uint8_t* p = t.pixels + (c.y + row) * t.pitch + c.x;
      for (int32_t col = 0; col < c.width; ++col)
        p[col] = uint8_t(ColorAt(shifted, col, row) >> 16);
      continue;
    }
    uint32_t* p = Pixel32(t, c.x, c.y + row);
    for (int32_t col = 0; col < c.width; ++col) {
      p[col] = (p[col] & keep) | (ColorAt(shifted, col, row) & 0xFFFFFF);
    }
  }
}

void RaiseTextAlpha(const TextPixels& t, int32_t x, int32_t y, const CoverageMask& mask) {
  Clip c{};
  if (t.bits != 32 || !mask.bits || !ClipMask(t, x, y, mask.width, mask.height, &c)) return;
  for (int32_t row = 0; row < c.height; ++row) {
    uint32_t* p = Pixel32(t, c.x, c.y + row);
    const uint8_t* m = mask.bits + (c.my + row) * mask.pitch + c.mx;
    for (int32_t col = 0; col < c.width; ++col) {
      const uint32_t a = std::max<uint32_t>(p[col] >> 24, m[col]);
      p[col] = (p[col] & 0xFFFFFF) | a << 24;
    }
  }
}

void UniteTextBox(Rect* rect, const Rect& box) {
  if (!rect || box.IsEmpty()) return;
  if (rect->IsEmpty()) {
    *rect = box;
    return;
  }
  rect->left = std::min(rect->left, box.left);
  rect->top = std::min(rect->top, box.top);
  rect->right = std::max(rect->right, box.right);
  rect->bottom = std::max(rect->bottom, box.bottom);
}

}  // namespace bw
