#include "graphics/surface/directdraw_ops.h"

#include <cstring>

#include "graphics/pixel/pixel_format.h"

namespace bw {
namespace {

// The XOR mask of a 16- or 32-bit format per mode; 0 when the mode does not apply.
uint32_t InvertMask(int formatCode, int mode) {
  static constexpr struct {
    int format;
    uint32_t masks[3];
  } kMasks[] = {
      {kFormat555, {0x7FFF, 0, 0}},
      {kFormat565, {0xFFFF, 0, 0}},
      {kFormat1555, {0x7FFF, 0xFFFF, 0x8000}},
      {kFormat4444, {0x0FFF, 0xFFFF, 0xF000}},
      {kFormatX888, {0x00FFFFFF, 0, 0}},
      {kFormat8888, {0x00FFFFFF, 0xFFFFFFFF, 0xFF000000}},
  };
  for (const auto& m : kMasks)
    if (m.format == formatCode) return m.masks[mode];
  return 0;
}

}  // namespace

int DirectDrawBltFast(host::MemorySurface* target, host::MemorySurface* source, int32_t x,
                      int32_t y, const Rect* sourceRect, const Rect* bounds, uint32_t key) {
  if (!target || !source || !bounds) return kDdOpMissing;
  Rect src = sourceRect ? *sourceRect : Rect{0, 0, source->Width(), source->Height()};
  Rect dst;
  if (ClipScaledRects(x, y, &src, &dst, bounds, nullptr) != kClipLeft) return kDdOpDone;
  const host::DdRect s{src.left, src.top, src.right, src.bottom};
  const uint32_t flags =
      host::kDdBltFastWait | (key != 0xFFFFFFFFu ? host::kDdBltFastSrcColorKey : 0);
  return target->BltFast(dst.left, dst.top, source, &s, flags) == host::kDdOk ? kDdOpDone
                                                                              : kDdOpRefused;
}

int DirectDrawBlt(host::MemorySurface* target, const Rect* destRect, host::MemorySurface* source,
                  const Rect* sourceRect, const Rect* bounds, uint32_t key) {
  if (!target || !destRect || !source || !bounds) return kDdOpMissing;
  Rect src = sourceRect ? *sourceRect : Rect{0, 0, source->Width(), source->Height()};
  Rect dst;
  const Size size{destRect->Width(), destRect->Height()};
  if (ClipScaledRects(destRect->left, destRect->top, &src, &dst, bounds, &size) != kClipLeft)
    return kDdOpDone;
  const host::DdRect s{src.left, src.top, src.right, src.bottom};
  const host::DdRect d{dst.left, dst.top, dst.right, dst.bottom};
  const uint32_t flags = host::kDdBltWait | (key != 0xFFFFFFFFu ? host::kDdBltKeySrc : 0);
  return target->Blt(&d, source, &s, flags, nullptr) == host::kDdOk ? kDdOpDone : kDdOpRefused;
}

int InvertPixelMemory(int mode, int formatCode, uint8_t* pixels, ptrdiff_t pitch, const Rect* rect,
                      const Rect* bounds) {
  if (!pixels || !rect) return kDdOpBadFormat;
  Rect r = *rect;
  if (!IntersectWithBounds(&r, bounds)) return kDdOpNothingLeft;
  const int bytes = FormatBytesPerPixel(formatCode);
  if (bytes < 2) return kDdOpBadFormat;
  if (mode < 0 || mode > 2) return kDdOpBadMode;
  const bool hasAlpha =
      formatCode == kFormat1555 || formatCode == kFormat4444 || formatCode == kFormat8888;
  if (mode != 0 && !hasAlpha) return kDdOpBadMode;
  const uint32_t mask = InvertMask(formatCode, mode);
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint8_t* p = pixels + ptrdiff_t{y} * pitch + ptrdiff_t{r.left} * bytes;
    for (int32_t x = r.left; x < r.right; ++x, p += bytes) {
      if (bytes == 3) {
        p[0] ^= 0xFF, p[1] ^= 0xFF, p[2] ^= 0xFF;
        continue;
      }
      uint32_t v = 0;
      std::memcpy(&v, p, size_t(bytes));
      v ^= mask;
      std::memcpy(p, &v, size_t(bytes));
    }
  }
  return kDdOpDone;
}

int MosaicPixelMemory(int formatCode, uint8_t* pixels, ptrdiff_t pitch, const Rect* rect,
                      const Rect* bounds, int blockSize, int anchor) {
  if (!pixels || !rect) return kDdOpBadFormat;
  Rect r = *rect;
  if (!IntersectWithBounds(&r, bounds)) return kDdOpNothingLeft;
  const int bytes = FormatBytesPerPixel(formatCode);
  if (bytes == 0) return kDdOpBadFormat;
  const int32_t w = r.Width(), h = r.Height();
  if (w < 3 || h < 3 || blockSize < 2) return kDdOpDone;
  // Where the first whole block starts, counted from the rectangle's edge; the cells before
  // it form the partial blocks on that side.
  auto offset = [&](int32_t size, bool fromFar) {
    if (fromFar) return size % blockSize;
    return ((size - blockSize) / 2 % blockSize + blockSize) % blockSize;
  };
  int32_t ox = 0, oy = 0;
  switch (anchor) {
    case 1:
      break;
    case 2:
      ox = offset(w, true);
      break;
    case 3:
      oy = offset(h, true);
      break;
    case 4:
      ox = offset(w, true), oy = offset(h, true);
      break;
    default:
      ox = offset(w, false), oy = offset(h, false);
      break;
  }
  // Block edges: the rectangle's edge, then every blockSize from the first whole block.
  auto nextEdge = [&](int32_t pos, int32_t first, int32_t end) {
    const int32_t next = pos < first ? first : pos + blockSize;
    return next > end ? end : next;
  };
  for (int32_t by = r.top; by < r.bottom; by = nextEdge(by, r.top + oy, r.bottom)) {
    const int32_t byEnd = nextEdge(by, r.top + oy, r.bottom);
    if (byEnd == by) break;
    for (int32_t bx = r.left; bx < r.right;) {
      const int32_t bxEnd = nextEdge(bx, r.left + ox, r.right);
      if (bxEnd == bx) break;
      uint8_t value[4];
      std::memcpy(value, pixels + ptrdiff_t{by} * pitch + ptrdiff_t{bx} * bytes, size_t(bytes));
      for (int32_t y = by; y < byEnd; ++y) {
        uint8_t* p = pixels + ptrdiff_t{y} * pitch + ptrdiff_t{bx} * bytes;
        for (int32_t x = bx; x < bxEnd; ++x, p += bytes) std::memcpy(p, value, size_t(bytes));
      }
      bx = bxEnd;
    }
  }
  return kDdOpDone;
}

}  // namespace bw
