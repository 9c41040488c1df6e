// Whole-rectangle filters of 32-bit pixels: the box blur along rows, the bilinear stretch, the
// in-place smoothing and mosaic, and the conversion of 32-bit rows into texture formats.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/pixel/stretch_stepper.h"

namespace bw {

// Box blur along rows, window 2 x radius + 1 (radius 1..127) centred on each pixel. Source
// positions outside [-availableLeft, availableRight - 1] of each row's first pixel take the
// nearest available pixel. Each channel = (sum x floor(65536 / (2r + 1)) + 32768) >> 16.
constexpr int kBlurMaxRadius = 127;
struct BlurExtent {
  int availableLeft;
  int availableRight;
  int radius;
};
// All four channels := the blurred pixel b.
void BlurRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
              int height, const BlurExtent& extent);
// Lerp toward b with W[o].
void BlurRowsWithOpacity(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                         int width, int height, const BlurExtent& extent, int opacity);
// Lerp toward b with W[row[b's alpha]].
void BlurAlphaRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int width, int height, const BlurExtent& extent, const uint8_t* opacityRow);

// Bilinear stretch: four neighbours mixed with the top 8 bits of the 32.32 fractions on all
// four channels, a + floor((b - a) x f / 256), horizontally first. The right and lower
// neighbours are clamped to the sourceColumns x sourceRows pixels from the row start, so
// nothing outside the source is read.
void SmoothStretchRows32(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                         int width, int height, const SmoothStepper& st, int sourceColumns,
                         int sourceRows);
void SmoothStretchRows32Mmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                            ptrdiff_t srcPitch, int width, int height, const SmoothStepper& st,
                            int sourceColumns, int sourceRows);
// The same from 8-bit indexes through a 256-entry colour table.
void SmoothStretchIndexedRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                              ptrdiff_t srcPitch, const uint32_t* colors, int width, int height,
                              const SmoothStepper& st, int sourceColumns, int sourceRows);
void SmoothStretchIndexedRowsMmx(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                 ptrdiff_t srcPitch, const uint32_t* colors, int width, int height,
                                 const SmoothStepper& st, int sourceColumns, int sourceRows);

// In-place smoothing by the neighbours above, below, left and right, from the values as they
// were before the call. Mode 0 drops each channel's low three bits first, mode 1 then adds 7,
// mode 2 and above is exact. Written pixels have alpha 0.
constexpr int kSmoothDone = 0;
constexpr int kSmoothRefused = 1;
constexpr int kSmoothNoMemory = 2;
[[nodiscard]] int SmoothRect(uint32_t* pixels, ptrdiff_t skip, ptrdiff_t pitch, int width,
                             int height, int mode);

// Blocks of blockSize filled with their top-left pixel; the anchor mode places the grid:
// 1 top-left, 2 right, 3 bottom, 4 bottom-right, anything else centred.
void MosaicRect(uint32_t* pixels, ptrdiff_t skip, ptrdiff_t pitch, int width, int height,
                int blockSize, int anchor);
// The width of the first block of a side of the given length, 0 meaning a whole block.
int MosaicFirstBlock(int length, int blockSize, bool fromFarEdge, bool centred);
// Blocks of blockWidth x blockHeight whose first column and first row are firstWidth and
// firstHeight wide (each at least 1).
struct MosaicGrid {
  int blockWidth, blockHeight, firstWidth, firstHeight;
};
// Whether MosaicRect changes anything: a rectangle under 3 x 3, or blocks of one pixel, it leaves.
inline bool MosaicMakesBlocks(int width, int height, int blockSize) {
  return width >= 3 && height >= 3 && blockSize >= 2;
}
// MosaicRect's grid for a rectangle of width x height.
MosaicGrid MosaicGridOf(int width, int height, int blockSize, int anchor);
// Each block of `to` filled with the pixel of `from` at the block's top left (pitches in bytes);
// `from` may be `to` itself, or a picture drawn into it mosaicked in one pass.
void MosaicBlocks(uint32_t* to, ptrdiff_t toPitch, const uint32_t* from, ptrdiff_t fromPitch,
                  int width, int height, const MosaicGrid& grid);

// Format flags 64 (1555), 128 (4444) and 256 (8888, copied); others convert nothing.
struct TextureRowsTarget {
  uint8_t* bits;
  int x, y;
  ptrdiff_t pitch;
};
struct TextureRowsSource {
  const uint8_t* bits;
  int x, y;
  ptrdiff_t pitch;
};
void ConvertRowsToTextureFormat(int formatFlag, const TextureRowsTarget& target, int width,
                                int height, const TextureRowsSource& source);

}  // namespace bw
