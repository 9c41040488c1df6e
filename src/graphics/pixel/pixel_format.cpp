#include "graphics/pixel/pixel_format.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "graphics/pixel/blend_tables.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

uint8_t ShiftOf(uint32_t mask) {
  return mask ? uint8_t(std::countr_zero(mask)) : 32;
}

int Classify(const host::DdPixelFormat& f) {
  const uint32_t r = f.rBitMask, g = f.gBitMask, b = f.bBitMask, a = f.rgbAlphaBitMask;
  const bool rgb888 = r == 0xFF0000 && g == 0x00FF00 && b == 0x0000FF;
  const bool rgb555 = r == 0x7C00 && g == 0x03E0 && b == 0x001F;
  switch (f.rgbBitCount) {
    case 8:
      return kFormatPalette8;
    case 16:
      if (a == 0x8000) return rgb555 ? kFormat1555 : kFormatOther;
      if (a == 0xF000)
        return r == 0x0F00 && g == 0x00F0 && b == 0x000F ? kFormat4444 : kFormatOther;
      if (rgb555) return kFormat555;
      return r == 0xF800 && g == 0x07E0 && b == 0x001F ? kFormat565 : kFormatOther;
    case 24:
      return rgb888 ? kFormat24 : kFormatOther;
    case 32:
      if (!rgb888) return kFormatOther;
      if (a == 0) return kFormatX888;
      return a == 0xFF000000u ? kFormat8888 : kFormatOther;
    default:
      return kFormatOther;
  }
}

// An 8-bit component reduced to a field's width, placed and masked.
uint32_t Field(int value, uint32_t mask, uint8_t shift) {
  if (!mask) return 0;
  const int bits = std::popcount(mask);
  uint32_t v = uint32_t(value & 0xFF);
  if (bits < 8) v >>= 8 - bits;
  return (v << shift) & mask;
}

}  // namespace

int ClassifyPixelFormat(const host::MemorySurface* surface, PixelFormatInfo* info,
                        const host::DdPixelFormat* format) {
  host::DdPixelFormat f;
  if (format) {
    f = *format;
  } else if (!surface || surface->GetPixelFormat(&f) != host::kDdOk) {
    return 0;
  }
  if (info) {
    info->bitCount = uint8_t(f.rgbBitCount);
    info->redMask = f.rBitMask;
    info->greenMask = f.gBitMask;
    info->blueMask = f.bBitMask;
    info->alphaMask = f.rgbAlphaBitMask;
    info->redBits = uint8_t(std::popcount(f.rBitMask));
    info->greenBits = uint8_t(std::popcount(f.gBitMask));
    info->blueBits = uint8_t(std::popcount(f.bBitMask));
    info->alphaBits = uint8_t(std::popcount(f.rgbAlphaBitMask));
    info->redShift = ShiftOf(f.rBitMask);
    info->greenShift = ShiftOf(f.gBitMask);
    info->blueShift = ShiftOf(f.bBitMask);
    info->alphaShift = ShiftOf(f.rgbAlphaBitMask);
  }
  return Classify(f);
}

int FillSurfaceRect(host::MemorySurface* surface, const PixelFormatInfo* info, int r, int g, int b,
                    const Rect* rect, int alpha) {
  if (!surface) return kFillNoFormat;
  PixelFormatInfo own;
  if (!info) {
    if (ClassifyPixelFormat(surface, &own, nullptr) == 0) return kFillNoFormat;
    info = &own;
  }
  uint32_t color;
  if (info->bitCount == 8) {
    color = uint32_t(r & 0xFF);  // the palette index
  } else {
    color = Field(r, info->redMask, info->redShift) | Field(g, info->greenMask, info->greenShift) |
            Field(b, info->blueMask, info->blueShift) |
            Field(alpha, info->alphaMask, info->alphaShift);
  }
  host::DdBltFx fx;
  fx.fillColor = color;
  host::DdRect area{0, 0, surface->Width(), surface->Height()};
  if (rect) area = {rect->left, rect->top, rect->right, rect->bottom};
  if (surface->Blt(rect ? &area : nullptr, host::kDdBltColorFill | host::kDdBltWait, &fx) ==
      host::kDdOk) {
    return kFillDone;
  }
  host::DdSurfaceDesc desc;
  if (surface->Lock(&desc) != host::kDdOk) return kFillNoLock;
  const int32_t width = int32_t(desc.width), height = int32_t(desc.height);
  area.left = std::max(area.left, 0);
  area.top = std::max(area.top, 0);
  area.right = std::min(area.right, width);
  area.bottom = std::min(area.bottom, height);
  const int bytes = info->bitCount / 8;
  if ((bytes == 1 || bytes == 2 || bytes == 3 || bytes == 4) && info->bitCount % 8 == 0) {
    for (int32_t y = area.top; y < area.bottom; ++y) {
      uint8_t* p = desc.surface + ptrdiff_t{y} * desc.pitch + ptrdiff_t{area.left} * bytes;
      for (int32_t x = area.left; x < area.right; ++x, p += bytes)
        std::memcpy(p, &color, size_t(bytes));
    }
  }
  // Unlocking what was locked just above cannot fail.
  (void)surface->Unlock();
  return kFillDone;
}

int ClipScaledRects(int32_t x, int32_t y, Rect* source, Rect* target, const Rect* bounds,
                    const Size* targetSize) {
  if (!bounds) return kClipNoBounds;
  const int64_t sw = source->Width(), sh = source->Height();
  int64_t left = x, top = y;
  int64_t right = x + (targetSize ? int64_t{targetSize->width} : sw);
  int64_t bottom = y + (targetSize ? int64_t{targetSize->height} : sh);
  const int64_t tw = right - left, th = bottom - top;
  if (targetSize && (tw == 0 || th == 0)) return kClipEmpty;
  if (!targetSize && (sw <= 0 || sh <= 0)) return kClipEmpty;
  // A cut of d target pixels moves the source edge by d x source / target (toward zero).
  auto scaleX = [&](int64_t d) { return targetSize ? d * sw / tw : d; };
  auto scaleY = [&](int64_t d) { return targetSize ? d * sh / th : d; };
  Rect s = *source;
  if (left < bounds->left) s.left += int32_t(scaleX(bounds->left - left)), left = bounds->left;
  if (top < bounds->top) s.top += int32_t(scaleY(bounds->top - top)), top = bounds->top;
  if (right > bounds->right)
    s.right -= int32_t(scaleX(right - bounds->right)), right = bounds->right;
  if (bottom > bounds->bottom)
    s.bottom -= int32_t(scaleY(bottom - bounds->bottom)), bottom = bounds->bottom;
  *source = s;
  *target = {int32_t(std::clamp<int64_t>(left, INT32_MIN, INT32_MAX)),
             int32_t(std::clamp<int64_t>(top, INT32_MIN, INT32_MAX)),
             int32_t(std::clamp<int64_t>(right, INT32_MIN, INT32_MAX)),
             int32_t(std::clamp<int64_t>(bottom, INT32_MIN, INT32_MAX))};
  if (s.IsEmpty() || left >= right || top >= bottom) return kClipEmpty;
  return kClipLeft;
}

bool IntersectWithBounds(Rect* rect, const Rect* bounds) {
  if (!bounds) return !rect->IsEmpty();
  rect->left = std::max(rect->left, bounds->left);
  rect->right = std::min(rect->right, bounds->right);
  if (rect->left >= rect->right) return false;
  rect->top = std::max(rect->top, bounds->top);
  rect->bottom = std::min(rect->bottom, bounds->bottom);
  return rect->top < rect->bottom;
}

AlphaRampTable::AlphaRampTable(int* result, int32_t count, int32_t start, int32_t end, int depth) {
  int code = Build(count, start, end, depth);
  if (result) *result = code;
}

void AlphaRampTable::Clear() {
  buffer_.reset();
  count_ = 0;
  start_ = end_ = -1;
  depth_ = 0;
}

int AlphaRampTable::Build(int32_t count, int32_t start, int32_t end, int depth) {
  Clear();
  if (count < 2) return kRampTooFew;
  if (depth != 8 && depth != 32) return kRampBadDepth;
  const size_t bytes = size_t(count) * size_t(depth / 8);
  buffer_.reset(new (std::nothrow) uint8_t[bytes]);
  if (!buffer_) return kRampNoMemory;
  const uint32_t step = uint32_t((uint64_t{1} << 32) / uint64_t(count));
  uint32_t acc = 0;
  if (depth == 8) {
    uint8_t* out = buffer_.get();
    for (int32_t i = 0; i < count; ++i, acc += step) {
      const int k = int(acc >> 24);
      uint8_t v;
      if ((start == 0 && end == 255) || (start == 255 && end == 0)) {
        v = uint8_t(k);
      } else {
        v = uint8_t(((WeightTable[k][0] * (end - start)) >> 8) + start);
      }
      out[start == 255 && end == 0 ? count - 1 - i : i] = v;
    }
  } else {
    auto* out = reinterpret_cast<uint32_t*>(buffer_.get());
    const bool allChannels = MmxEnabled();
    for (int32_t i = 0; i < count; ++i, acc += step) {
      const int w = WeightTable[acc >> 24][0];
      uint32_t c = allChannels ? 0 : uint32_t(start) & 0xFF000000u;
      for (int shift = 0; shift < (allChannels ? 32 : 24); shift += 8) {
        const int s = int(uint32_t(start) >> shift & 0xFF), e = int(uint32_t(end) >> shift & 0xFF);
        c |= uint32_t(std::clamp(s + ((w * (e - s)) >> 8), 0, 255)) << shift;
      }
      out[i] = c;
    }
  }
  count_ = count;
  start_ = start;
  end_ = end;
  depth_ = uint8_t(depth);
  return kRampDone;
}

}  // namespace bw
