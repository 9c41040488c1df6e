// The pixel kernels of text: the soft edge around an 8-bit glyph, the scaling of grey glyph
// levels to 0..255, and the blends of a glyph mask into 8-bit grey planes and 32-bit rows.
// Row arguments: target start, mask start, target skip, mask skip, width, height (each at least
// 1). Each kernel has a plain form and an Mmx form (SSE2, AVX2 where the wide-vector switch is
// on) that give the same bytes; the caller chooses through MmxEnabled().
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw {

// Scripts set the edge's strength and radius freely; larger radii are cut to this.
constexpr int kMaxEdgeRadius = 64;

// |radius| cut to kMaxEdgeRadius, for any int.
int EdgeRadius(int requested);
// The approximate distance of an offset that the edge kernel weighs by.
int EdgeDistance(int dx, int dy);
// 65536 divided by the sum of (r - d + 1) over the offsets with d <= r, or 65536 when that sum
// is 0. The radius is taken through EdgeRadius.
int32_t EdgeNormaliser(int radius);

// The soft edge of a width x height glyph into a (width + 2r) x (height + 2r) target, r =
// EdgeRadius(radius). With r >= 1 each offset within distance r adds the glyph with weight
// ((r - d + 1) x strength x normaliser) >> 8; the sums are 64-bit and each pixel is
// clamp((sum + 2^15) >> 16, 0, 255), so strength 256 spreads full coverage and a negative one
// clears. With r = 0 each value v becomes T[clamp(strength, 0, 255)][v].
void BuildEdgeMask(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* glyph, ptrdiff_t glyphPitch,
                   int width, int height, int radius, int32_t strength);
void BuildEdgeMaskMmx(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* glyph, ptrdiff_t glyphPitch,
                      int width, int height, int radius, int32_t strength);

// The multiplier shift of a grey glyph level: 17 levels (1) times 16, 65 levels (2) times 4;
// 0 for any other level.
int GreyLevelShift(int antialiasLevel);
// In place: v := min(255, v << shift), shift cut to 0..8.
void ScaleGreyRows(uint8_t* pixels, ptrdiff_t skip, int width, int height, int shift);
void ScaleGreyRowsMmx(uint8_t* pixels, ptrdiff_t skip, int width, int height, int shift);

// Where the colour of a blend comes from: one colour, or a ramp entry per row or per column of
// the area (colors[row] or colors[column], counted from the area's first row and column).
enum class ColorRamp { kNone, kRows, kColumns };
struct MaskColors {
  const uint32_t* colors;  // 0x00RRGGBB
  ColorRamp ramp = ColorRamp::kNone;
};

// 8-bit grey plane, k the colour's red: v := T[v][255 - m] + T[k][m].
void MaskCrossfadeRows(uint8_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                       int width, int height, const MaskColors& colors);
void MaskCrossfadeRowsMmx(uint8_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                          int width, int height, const MaskColors& colors);
// 32-bit rows, per colour channel: c := T[c][255 - m] + T[k][m]; alpha kept.
void MaskColorCrossfadeRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                            ptrdiff_t maskSkip, int width, int height, const MaskColors& colors);
void MaskColorCrossfadeRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                               ptrdiff_t maskSkip, int width, int height, const MaskColors& colors);
// 32-bit rows: a := T[a][m]; colour kept.
void MultiplyAlphaRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                       int width, int height);
void MultiplyAlphaRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                          int width, int height);

}  // namespace bw
