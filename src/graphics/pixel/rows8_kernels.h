// Row kernels of 8-bit surfaces: copies (either direction, keyed by an index), stretches,
// bilinear scaling, neighbour blur and mosaic; plus writing an alpha plane into a 16- or 32-bit
// surface and folding supersampled text rows into coverage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/pixel/stretch_stepper.h"

namespace bw {

// direction 1 reads each source row left to right; -1 reads it right to left from a source
// start at the row's last pixel.
void CopyRows8(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
               int direction, int width, int height);
void CopyRows8Keyed(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                    int direction, int width, int height, uint8_t key);
void StretchRows8(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                  int width, int height, const StretchStepper& st);
void StretchRows8Keyed(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                       int width, int height, const StretchStepper& st, uint8_t key);
// Read from the pixel left of the source pointer, stepping leftwards.
void StretchRows8Mirrored(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                          int width, int height, const StretchStepper& st);
void StretchRows8MirroredKeyed(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                               ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                               uint8_t key);

// Positions in 32.32 fixed point relative to the source pointer; the source's extent from that
// pointer keeps every neighbour read inside it (the last column and row repeat).
struct BilinearStepper {
  int64_t xStart;
  uint32_t yFraction;
  int64_t xStep;
  int64_t yStep;
  int32_t sourceColumns;
  int32_t sourceRows;
};
void ScaleRows8Bilinear(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                        int width, int height, const BilinearStepper& st);

constexpr int kBlurDone = 0;
constexpr int kBlurTooSmall = 1;
constexpr int kBlurNoMemory = 2;
// Each pixel becomes a weighted mean of itself and its neighbours as they were before.
[[nodiscard]] int BlurRows8(uint8_t* pixels, ptrdiff_t pitch, int width, int height);

// Block anchors: 1 top-left, 2 top-right, 3 bottom-left, 4 bottom-right, others centred.
void MosaicRows8(uint8_t* pixels, ptrdiff_t pitch, int width, int height, int blockSize,
                 int anchorMode);

// Writes 8-bit alpha values into the alpha bits of a 1555 (flag 64), 4444 (128) or 8888 (256)
// region; other formats are left alone.
void WriteAlphaPlane(int formatFlag, uint8_t* pixels, int x, int y, int width, int height,
                     ptrdiff_t pitch, const uint8_t* plane, int planeX, int planeY,
                     ptrdiff_t planePitch);

// Folds each four rows of 32-bit pixels into one row of 8-bit sums of their 16 bytes (kept to
// 8 bits), in place, output rows at the buffer's pitch.
void FoldRowsToGrey8(uint8_t* buffer, ptrdiff_t pitch, int width, int outputRows);

}  // namespace bw
