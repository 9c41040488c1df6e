// Blends of a 32-bit source into 32-bit target rows weighted by an opacity, by the source alpha
// scaled by an opacity row (a row of ProductTable), or by a rule image. Arguments as in
// blend_kernels.h; W is WeightTable (k + 1 for k >= 1, 0 for k = 0). The target alpha is kept
// except by the onto-alpha kernels. Plain and Mmx forms give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/pixel/stretch_stepper.h"

namespace bw {

// c := min(255, c + floor(s x W[o] / 256)); c := max(0, c - floor(s x W[o] / 256)).
void AddBlitRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                 int width, int height, int opacity);
void AddBlitRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                    int width, int height, int opacity);
void SubtractBlitRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                      int width, int height, int opacity);
void SubtractBlitRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                         int width, int height, int opacity);

// Weight w = W[row[source alpha]]: lerp toward s (Opacity), add or subtract floor(s x w / 256).
// OntoAlpha: a' = row[source alpha]; lerp with W[OverWeightTable[da][a']], alpha := union.
#define BW_DECLARE_ALPHA_ROW_BLEND(Name)                                                           \
  void Name##Rows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,        \
                  int width, int height, const uint8_t* opacityRow);                               \
  void Name##RowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,     \
                     int width, int height, const uint8_t* opacityRow);                            \
  void Stretch##Name##Rows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,                  \
                           ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,    \
                           const uint8_t* opacityRow);                                             \
  void Stretch##Name##RowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,               \
                              ptrdiff_t srcPitch, int width, int height, const StretchStepper& st, \
                              const uint8_t* opacityRow);

BW_DECLARE_ALPHA_ROW_BLEND(AlphaOpacity)
BW_DECLARE_ALPHA_ROW_BLEND(AlphaAdd)
BW_DECLARE_ALPHA_ROW_BLEND(AlphaSubtract)
BW_DECLARE_ALPHA_ROW_BLEND(AlphaOntoAlpha)

#undef BW_DECLARE_ALPHA_ROW_BLEND

// Lerp toward s with W[table[r]], r the rule byte (the source alpha when rule is null).
void RuleRows(uint32_t* dst, const uint32_t* src, const uint8_t* rule, ptrdiff_t dstSkip,
              ptrdiff_t srcSkip, ptrdiff_t ruleSkip, int width, int height, const uint8_t* table);
void RuleRowsMmx(uint32_t* dst, const uint32_t* src, const uint8_t* rule, ptrdiff_t dstSkip,
                 ptrdiff_t srcSkip, ptrdiff_t ruleSkip, int width, int height,
                 const uint8_t* table);
// One row: dst := from lerped toward src with W[table[r]]; the bytes of copying from into dst and
// then RuleRowsMmx, in one pass. dst may be from; it must not overlap src.
void RuleRowOfMmx(uint32_t* dst, const uint32_t* from, const uint32_t* src, const uint8_t* rule,
                  int width, const uint8_t* table);
// Lerp toward s with W[ProductTable[table[r]][source alpha]], r as above.
void RuleAlphaRows(uint32_t* dst, const uint32_t* src, const uint8_t* rule, ptrdiff_t dstSkip,
                   ptrdiff_t srcSkip, ptrdiff_t ruleSkip, int width, int height,
                   const uint8_t* table);
void RuleAlphaRowsMmx(uint32_t* dst, const uint32_t* src, const uint8_t* rule, ptrdiff_t dstSkip,
                      ptrdiff_t srcSkip, ptrdiff_t ruleSkip, int width, int height,
                      const uint8_t* table);

}  // namespace bw
