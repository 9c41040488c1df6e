// Colour arithmetic on 32-bit target rows: scale, blend toward a colour, add, subtract, grey,
// tone and invert. Arguments: target start, target skip (the pitch for ScaleRgbRows, ScaleAlphaRows
// and the BlendColorRows pair, which walk each row from its start), width, height, extras, then the
// key for keyed forms, which leave target pixels equal to the key alone. Blue, green and red
// change; the alpha byte is kept except by InvertRows, and ScaleAlphaRows changes the alpha alone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw {

// c := ProductTable[level][c].
void ScaleRgbRows(uint32_t* pixels, ptrdiff_t pitch, int width, int height, int level);
// a := ProductTable[level][a] for a level below 256, ProductTable[255 - m][a] + m for level
// 256 + m (0..511): a := ProductTable[k][a] + lift. One formula, the table's: the vector forms
// give its bytes in either set.
struct AlphaLevel {
  int k;
  int lift;
};
constexpr AlphaLevel AlphaLevelOf(int level) {
  return level < 256 ? AlphaLevel{level, 0} : AlphaLevel{511 - level, level - 256};
}
void ScaleAlphaRows(uint32_t* pixels, ptrdiff_t pitch, int width, int height, int level);
// c := T[255 - o][c] + T[k][o], k the colour's channel.
// The vector form runs while the MMX flag is on: the same bytes.
void BlendColorRows(uint32_t* pixels, ptrdiff_t pitch, int width, int height, int opacity, int red,
                    int green, int blue);
void BlendColorRowsKeyed(uint32_t* pixels, ptrdiff_t pitch, int width, int height, int opacity,
                         int red, int green, int blue, uint32_t key);

// color is 0x00RRGGBB; c := min(255, c + k) or max(0, c - k).
void AddColorRows(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color);
void AddColorRowsKeyed(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color,
                       uint32_t key);
void AddColorRowsMmx(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color);
void AddColorRowsKeyedMmx(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color,
                          uint32_t key);
void SubtractColorRows(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color);
void SubtractColorRowsKeyed(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color,
                            uint32_t key);
void SubtractColorRowsMmx(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color);
void SubtractColorRowsKeyedMmx(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color,
                               uint32_t key);

// Blue, green and red := (77 x red + 150 x green + 29 x blue) >> 8.
void GreyRows(uint32_t* dst, ptrdiff_t skip, int width, int height);
void GreyRowsKeyed(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t key);
void GreyRowsMmx(uint32_t* dst, ptrdiff_t skip, int width, int height);

// c := ClampTable[(c x multiplier >> 7) + offset]. Multipliers -256..256 (128 = unchanged),
// offsets -255..255: the callers keep to these, which keep the index inside the clamp table.
struct ToneCurve {
  int redMultiplier, greenMultiplier, blueMultiplier;
  int redOffset, greenOffset, blueOffset;
};
constexpr int kToneMultiplierLimit = 256;
constexpr int kToneOffsetLimit = 255;
void ToneRows(uint32_t* dst, ptrdiff_t skip, int width, int height, const ToneCurve& tone);
void ToneRowsKeyed(uint32_t* dst, ptrdiff_t skip, int width, int height, const ToneCurve& tone,
                   uint32_t key);
void ToneRowsMmx(uint32_t* dst, ptrdiff_t skip, int width, int height, const ToneCurve& tone);

// XOR with 0x00FFFFFF (mode 0), 0xFFFFFFFF (mode 1) or 0xFF000000 (any other mode).
uint32_t InvertMask(int mode);
void InvertRows(uint32_t* dst, ptrdiff_t skip, int width, int height, int mode);
void InvertRowsKeyed(uint32_t* dst, ptrdiff_t skip, int width, int height, int mode, uint32_t key);
void InvertRowsMmx(uint32_t* dst, ptrdiff_t skip, int width, int height, int mode);
// A picture's rows inverted into the target: a copy and an invert in one pass.
void InvertRowsFrom(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                    int width, int height, int mode);
void InvertRowsFromMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                       int width, int height, int mode);

}  // namespace bw
