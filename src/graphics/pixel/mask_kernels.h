// A colour laid over 32-bit target rows through an 8-bit mask: fills, adds and subtracts weighted
// by the mask, the alpha-composing fill of text, and the clipped glyph drawing. Arguments:
// target start, mask start, target skip, mask skip, width, height, colour 0x00RRGGBB, weight row
// (256 bytes; the row of ProductTable for the caller's opacity). Plain and Mmx forms give the
// same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw {

#define BW_DECLARE_MASK_KERNEL(Name)                                                              \
  void Name(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip, int width, \
            int height, uint32_t color, const uint8_t* weightRow);                                \
  void Name##Mmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,       \
                 int width, int height, uint32_t color, const uint8_t* weightRow);

// Lerp toward the colour with W[row[m]], alpha kept.
BW_DECLARE_MASK_KERNEL(MaskColorFillRows)
// c := min(255, c + floor(k x W[row[m]] / 256)) and max(0, c - ...).
BW_DECLARE_MASK_KERNEL(MaskAddColorRows)
BW_DECLARE_MASK_KERNEL(MaskSubtractColorRows)
// a' = row[m]: lerp with W[OverWeightTable[da][a']], alpha := AlphaUnionTable[da][a'].
BW_DECLARE_MASK_KERNEL(MaskAlphaColorFillRows)

#undef BW_DECLARE_MASK_KERNEL

// A mask placed with its top-left corner at (x, y) of a target, clipped to the target.
struct MaskTarget {
  uint8_t* bits;
  int width, height;
  ptrdiff_t pitch;
};
struct MaskSource {
  const uint8_t* bits;
  int width, height;
  ptrdiff_t pitch;
};
// Where the mask byte is not 0: the colour set (alpha kept). False when the mask lies wholly
// outside, drawing nothing.
[[nodiscard]] bool DrawMaskSolid(int x, int y, int red, int green, int blue,
                                 const MaskTarget& target, const MaskSource& mask);
// Where m is not 0: c := T[k][m] + T[c][255 - m]; with the MMX flag the vector fill with the
// identity row, c + floor((k - c) x (m + 1) / 256).
[[nodiscard]] bool DrawMaskBlended(int x, int y, int red, int green, int blue,
                                   const MaskTarget& target, const MaskSource& mask);

}  // namespace bw
