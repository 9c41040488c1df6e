// Converters from a rectangle of a device-independent bitmap (bottom-up rows of 1, 4, 8, 16, 24
// or 32 bits) into the engine's pixel formats. Each takes the target pixels, the target
// rectangle and pitch, the bitmap's header and palette, the source bits with their size and
// pitch, and the source point of the rectangle's top-left corner. Each refuses (false, nothing
// written) another bit count, a compressed 4- or 8-bit source, and a rectangle that reaches
// past the source rows or bytes given.
//
// An index at or beyond the palette's colour count (the header's colour count, or 2^bits when
// it is 0) converts to the target value 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/rect.h"

namespace bw {

struct BitmapInfoHeader {
  uint32_t size = 40;
  int32_t width = 0;
  int32_t height = 0;  // positive: rows stored bottom-up
  uint16_t planes = 1;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};

// The header and its palette of blue, green, red, reserved words (0x00RRGGBB as read).
struct BitmapInfo {
  BitmapInfoHeader header;
  uint32_t colors[256] = {};
};

struct DibSource {
  const BitmapInfo* info;
  const uint8_t* bits;
  size_t size;
  ptrdiff_t pitch;
  int x;
  int y;
};

// Palette entries with alpha 255, 16-bit as 5-5-5 with alpha 255, 24-bit with alpha 255,
// 32-bit copied with its alpha.
[[nodiscard]] bool ConvertRowsTo32(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch,
                                   const DibSource& src);
// Palette entries copied whole (the reserved byte as alpha); 16-, 24- and 32-bit with alpha 0.
[[nodiscard]] bool ConvertDibRowsTo32(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch,
                                      const DibSource& src);
// Indexed sources give their index; the others grey = (77 R + 150 G + 29 B) >> 8.
[[nodiscard]] bool ConvertDibRowsTo8(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch,
                                     const DibSource& src);

// Targets of DirectDraw formats; channels are truncated, pictures without alpha get the
// target's opaque alpha.
bool ConvertRowsTo555(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch, const DibSource& src);
bool ConvertRowsTo565(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch, const DibSource& src);
[[nodiscard]] bool ConvertRowsTo1555(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch,
                                     const DibSource& src);
bool ConvertRowsTo4444(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch, const DibSource& src);
[[nodiscard]] bool ConvertRowsTo24(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch,
                                   const DibSource& src);

}  // namespace bw
