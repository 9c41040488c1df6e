#include "graphics/pixel/surface_rows.h"

#include <cstring>

#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/lerp.h"
#include "resource/images/pack16.h"

namespace bw {

using pixel_detail::LerpLanes;
using pixel_detail::LerpPlain;

namespace {

// The target value of a colour; withAlpha false means the picture has none (palette rows).
uint32_t Encode(int flag, uint32_t c, bool withAlpha) {
  switch (flag) {
    case kFormat555:
      return To555(c);
    case kFormat565:
      return To565(c);
    case kFormat24:
      return c & 0xFFFFFF;
    case kFormatX888:
      return withAlpha ? c & 0xFFFFFF : c;
    case kFormat1555:
      return To555(c) | (withAlpha ? (c >> 31) << 15 : 0x8000);
    case kFormat4444:
      return To444(c) | (withAlpha ? (c >> 28) << 12 : 0xF000);
    default:
      return withAlpha ? c : (c & 0xFFFFFF) | 0xFF000000u;
  }
}

void Put(uint8_t* p, int bytes, uint32_t v) {
  if (bytes == 3) {
    p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16);
  } else {
    std::memcpy(p, &v, size_t(bytes));  // little-endian: the low bytes
  }
}

template <typename Pixel, typename Lookup>
bool WriteRows(int flag, uint8_t* pixels, int x, int y, ptrdiff_t pitch, const Pixel* src,
               ptrdiff_t srcPitch, int width, int height, Lookup colorOf, bool withAlpha) {
  // Rows are written in a colour format: a palette surface takes no rows.
  const int bytes = flag == kFormatPalette8 ? 0 : FormatBytesPerPixel(flag);
  if (bytes == 0) return false;
  for (int j = 0; j < height; ++j) {
    uint8_t* out = pixels + (y + j) * pitch + ptrdiff_t{x} * bytes;
    auto row = reinterpret_cast<const Pixel*>(reinterpret_cast<const uint8_t*>(src) + j * srcPitch);
    for (int i = 0; i < width; ++i, out += bytes)
      Put(out, bytes, Encode(flag, colorOf(row[i]), withAlpha));
  }
  return true;
}

template <bool kCompose, bool kMmx, typename SourceOf>
void MaskRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip, int width,
              int height, const uint8_t* map, SourceOf sourceOf) {
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < width; ++x) {
      const uint32_t d = dst[x];
      const uint8_t mapped = map[mask[x]];
      const uint32_t dA = d >> 24;
      const uint8_t k = kCompose ? OverWeightTable[dA][mapped] : mapped;
      const uint32_t w = WeightTable[k][0];
      const uint32_t s = sourceOf(row, x);
      uint32_t out = kMmx ? LerpLanes(d, s, w) : LerpPlain(d, s, w);
      if (kCompose) out = (out & 0x00FFFFFFu) | uint32_t{AlphaUnionTable[dA][mapped]} << 24;
      dst[x] = out;
    }
    dst = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(dst + width) + dstSkip);
    mask += width + maskSkip;
  }
}

template <bool kCompose, bool kMmx>
void ImageRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip, int width,
               int height, const uint32_t* image, const uint8_t* map) {
  const ptrdiff_t rowWords = width + dstSkip / 4;
  MaskRows<kCompose, kMmx>(dst, mask, dstSkip, maskSkip, width, height, map,
                           [image, rowWords](int row, int x) { return image[row * rowWords + x]; });
}

template <bool kCompose, bool kMmx>
void ColorRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip, int width,
               int height, const uint32_t* rowColors, const uint8_t* map) {
  MaskRows<kCompose, kMmx>(dst, mask, dstSkip, maskSkip, width, height, map,
                           [rowColors](int row, int) { return rowColors[row]; });
}

}  // namespace

int FormatBytesPerPixel(int formatFlag) {
  switch (formatFlag) {
    case kFormatPalette8:
      return 1;
    case kFormat555:
    case kFormat565:
    case kFormat1555:
    case kFormat4444:
      return 2;
    case kFormat24:
      return 3;
    case kFormatX888:
    case kFormat8888:
      return 4;
    default:
      return 0;
  }
}

bool PaletteRowsToSurface(int formatFlag, uint8_t* pixels, int x, int y, ptrdiff_t pitch,
                          const uint8_t* src, ptrdiff_t srcPitch, int width, int height,
                          const uint32_t* palette) {
  return WriteRows(
      formatFlag, pixels, x, y, pitch, src, srcPitch, width, height,
      [palette](uint8_t i) { return palette[i] & 0x00FFFFFFu; }, false);
}

bool Rows32ToSurface(int formatFlag, uint8_t* pixels, int x, int y, ptrdiff_t pitch,
                     const uint32_t* src, ptrdiff_t srcPitch, int width, int height) {
  // The 32-bit targets take whole rows: every frame is presented through here.
  if (formatFlag == kFormat8888 || formatFlag == kFormatX888) {
    for (int j = 0; j < height; ++j) {
      auto* out = reinterpret_cast<uint32_t*>(pixels + (y + j) * pitch) + x;
      auto row =
          reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(src) + j * srcPitch);
      if (formatFlag == kFormat8888) {
        std::memcpy(out, row, size_t(width) * 4);
      } else {
        for (int i = 0; i < width; ++i) out[i] = row[i] & 0x00FFFFFFu;
      }
    }
    return true;
  }
  return WriteRows(
      formatFlag, pixels, x, y, pitch, src, srcPitch, width, height, [](uint32_t c) { return c; },
      true);
}

void MaskImageBlendRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                        int width, int height, const uint32_t* image, const uint8_t* map) {
  ImageRows<false, false>(dst, mask, dstSkip, maskSkip, width, height, image, map);
}
void MaskImageBlendRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                           ptrdiff_t maskSkip, int width, int height, const uint32_t* image,
                           const uint8_t* map) {
  ImageRows<false, true>(dst, mask, dstSkip, maskSkip, width, height, image, map);
}
void MaskColorBlendRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                        int width, int height, const uint32_t* rowColors, const uint8_t* map) {
  ColorRows<false, false>(dst, mask, dstSkip, maskSkip, width, height, rowColors, map);
}
void MaskColorBlendRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                           ptrdiff_t maskSkip, int width, int height, const uint32_t* rowColors,
                           const uint8_t* map) {
  ColorRows<false, true>(dst, mask, dstSkip, maskSkip, width, height, rowColors, map);
}
void MaskImageComposeRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                          int width, int height, const uint32_t* image, const uint8_t* map) {
  ImageRows<true, false>(dst, mask, dstSkip, maskSkip, width, height, image, map);
}
void MaskImageComposeRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                             ptrdiff_t maskSkip, int width, int height, const uint32_t* image,
                             const uint8_t* map) {
  ImageRows<true, true>(dst, mask, dstSkip, maskSkip, width, height, image, map);
}
void MaskColorComposeRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                          int width, int height, const uint32_t* rowColors, const uint8_t* map) {
  ColorRows<true, false>(dst, mask, dstSkip, maskSkip, width, height, rowColors, map);
}
void MaskColorComposeRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                             ptrdiff_t maskSkip, int width, int height, const uint32_t* rowColors,
                             const uint8_t* map) {
  ColorRows<true, true>(dst, mask, dstSkip, maskSkip, width, height, rowColors, map);
}

}  // namespace bw
