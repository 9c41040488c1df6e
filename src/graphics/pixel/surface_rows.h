// Rows of 8-bit palette indexes or 32-bit pixels written into the memory of a locked surface
// of any pixel-format flag, and the kernels that blend an 8-bit coverage mask into 32-bit rows
// (glyphs laid over a surface with a second image or a per-row colour).
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw {

// Pixel-format flags.
constexpr int kFormatOther = 1;
constexpr int kFormatPalette8 = 2;
constexpr int kFormat555 = 4;
constexpr int kFormat565 = 8;
constexpr int kFormat24 = 16;
constexpr int kFormatX888 = 32;
constexpr int kFormat1555 = 64;
constexpr int kFormat4444 = 128;
constexpr int kFormat8888 = 256;

// Bytes a pixel of the flag takes; 0 for kFormatOther and anything not listed above.
int FormatBytesPerPixel(int formatFlag);

// False (nothing written) for flags 1, 2 and anything else not listed above.
[[nodiscard]] bool PaletteRowsToSurface(int formatFlag, uint8_t* pixels, int x, int y,
                                        ptrdiff_t pitch, const uint8_t* src, ptrdiff_t srcPitch,
                                        int width, int height, const uint32_t* palette);
bool Rows32ToSurface(int formatFlag, uint8_t* pixels, int x, int y, ptrdiff_t pitch,
                     const uint32_t* src, ptrdiff_t srcPitch, int width, int height);

// Mask kernels: per pixel the mapped mask value M[m] (blend) or the over-weight of it on the
// destination alpha (compose) gives a lerp weight from WeightTable toward the blend source;
// blend keeps the destination alpha, compose writes the union of the two alphas. The second
// image advances with the destination; the colour array one entry per row.
using MaskImageKernel = void (*)(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                                 ptrdiff_t maskSkip, int width, int height, const uint32_t* image,
                                 const uint8_t* map);
using MaskColorKernel = void (*)(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                                 ptrdiff_t maskSkip, int width, int height,
                                 const uint32_t* rowColors, const uint8_t* map);

void MaskImageBlendRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                        int width, int height, const uint32_t* image, const uint8_t* map);
void MaskImageBlendRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                           ptrdiff_t maskSkip, int width, int height, const uint32_t* image,
                           const uint8_t* map);
void MaskColorBlendRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                        int width, int height, const uint32_t* rowColors, const uint8_t* map);
void MaskColorBlendRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                           ptrdiff_t maskSkip, int width, int height, const uint32_t* rowColors,
                           const uint8_t* map);
void MaskImageComposeRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                          int width, int height, const uint32_t* image, const uint8_t* map);
void MaskImageComposeRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                             ptrdiff_t maskSkip, int width, int height, const uint32_t* image,
                             const uint8_t* map);
void MaskColorComposeRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                          int width, int height, const uint32_t* rowColors, const uint8_t* map);
void MaskColorComposeRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                             ptrdiff_t maskSkip, int width, int height, const uint32_t* rowColors,
                             const uint8_t* map);

}  // namespace bw
