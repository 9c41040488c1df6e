// Pixel formats, pixel reads and writes, and fills for tests of memory surfaces.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "host/surface/memory_surface.h"

namespace bw::host::test {

inline DdPixelFormat Format(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0) {
  DdPixelFormat f;
  f.flags = bits == 8 ? kDdpfPaletteIndexed8 : kDdpfRgb | (a ? kDdpfAlphaPixels : 0);
  f.rgbBitCount = bits;
  f.rBitMask = r, f.gBitMask = g, f.bBitMask = b, f.rgbAlphaBitMask = a;
  return f;
}

inline DdPixelFormat Argb32() {
  return Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
}
inline DdPixelFormat Rgb32() {
  return Format(32, 0xFF0000, 0xFF00, 0xFF);
}
inline DdPixelFormat Rgb565() {
  return Format(16, 0xF800, 0x07E0, 0x001F);
}

inline uint32_t Get(const MemorySurface& s, int x, int y) {
  uint32_t v = 0;
  std::memcpy(&v, s.Pixels() + y * s.Pitch() + x * s.BytesPerPixel(), size_t(s.BytesPerPixel()));
  return v;
}

inline void Put(MemorySurface& s, int x, int y, uint32_t v) {
  DdSurfaceDesc d;
  ASSERT_EQ(s.Lock(&d), kDdOk);
  std::memcpy(d.surface + y * d.pitch + x * s.BytesPerPixel(), &v, size_t(s.BytesPerPixel()));
  EXPECT_EQ(0, s.Unlock());
}

inline void Fill(MemorySurface& s, uint32_t color) {
  DdBltFx fx;
  fx.fillColor = color;
  ASSERT_EQ(s.Blt(nullptr, kDdBltColorFill, &fx), kDdOk);
}

}  // namespace bw::host::test
