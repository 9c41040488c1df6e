// Two-operand blends of 32-bit source rows into 32-bit target rows: weighted crossfade, constant
// opacity, per-channel weighted sum, alpha-aware opacity, average, add and subtract. Arguments:
// target start, source start, target skip, source skip (the source pitch for stretched forms),
// width, height, then the stepper (stretched), the key (keyed) and the operation's extras. Keyed
// forms leave target pixels alone where the source word equals the key. A weights word holds one
// weight per byte: blue, green, red, alpha from the low byte up.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/pixel/stretch_stepper.h"

namespace bw {

// Plain set. Crossfade: c := min(255, T[wd][d] + T[ws][s]) on the colour bytes, alpha kept.
void CrossfadeRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int width, int height, uint32_t dstWeights, uint32_t srcWeights);
void CrossfadeRowsKeyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                        int width, int height, uint32_t key, uint32_t dstWeights,
                        uint32_t srcWeights);
void StretchCrossfadeRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                          int width, int height, const StretchStepper& st, uint32_t dstWeights,
                          uint32_t srcWeights);
void StretchCrossfadeRowsKeyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                               ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                               uint32_t key, uint32_t dstWeights, uint32_t srcWeights);

// MMX set. Opacity: lerp toward the source with W[o], alpha kept.
void OpacityRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                    int width, int height, int opacity);
// One row: dst := from lerped toward src with W[o], alpha of from kept; the bytes of copying from
// into dst and then OpacityRowsMmx, in one pass. dst may be from; it must not overlap src.
void OpacityRowOfMmx(uint32_t* dst, const uint32_t* from, const uint32_t* src, int width,
                     int opacity);
void OpacityRowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                         int width, int height, uint32_t key, int opacity);
void StretchOpacityRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                           ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                           int opacity);
void StretchOpacityRowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                                uint32_t key, int opacity);

// MMX set. All four bytes: min(255, (s x ws + d x wd) >> 8).
void WeightedRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                     int width, int height, uint32_t dstWeights, uint32_t srcWeights);
void WeightedRowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                          int width, int height, uint32_t key, uint32_t dstWeights,
                          uint32_t srcWeights);
void StretchWeightedRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                            ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                            uint32_t dstWeights, uint32_t srcWeights);
void StretchWeightedRowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                 ptrdiff_t srcPitch, int width, int height,
                                 const StretchStepper& st, uint32_t key, uint32_t dstWeights,
                                 uint32_t srcWeights);

// Both alphas set: T blend at the opacity; only the source's: the source colour; source alpha 0:
// colour kept. The alpha always becomes T[255 - o][da] + T[o][sa].
void AlphaAwareOpacityRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                           int width, int height, int opacity);
void AlphaAwareOpacityRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                              ptrdiff_t srcSkip, int width, int height, int opacity);

// Average: colour floor((s + d) / 2), alpha sa AND da. Add and subtract saturate all four bytes
// (subtract is target minus source) in both sets.
#define BW_DECLARE_PLAIN_BLEND(Name)                                                             \
  void Name##Rows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,      \
                  int width, int height);                                                        \
  void Name##RowsKeyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, \
                       int width, int height, uint32_t key);                                     \
  void Stretch##Name##Rows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,                \
                           ptrdiff_t srcPitch, int width, int height, const StretchStepper& st); \
  void Stretch##Name##RowsKeyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,           \
                                ptrdiff_t srcPitch, int width, int height,                       \
                                const StretchStepper& st, uint32_t key);                         \
  void Name##RowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,   \
                     int width, int height);                                                     \
  void Name##RowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,                 \
                          ptrdiff_t srcSkip, int width, int height, uint32_t key);               \
  void Stretch##Name##RowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,             \
                              ptrdiff_t srcPitch, int width, int height,                         \
                              const StretchStepper& st);                                         \
  void Stretch##Name##RowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,        \
                                   ptrdiff_t srcPitch, int width, int height,                    \
                                   const StretchStepper& st, uint32_t key);

BW_DECLARE_PLAIN_BLEND(Average)
BW_DECLARE_PLAIN_BLEND(Add)
BW_DECLARE_PLAIN_BLEND(Subtract)

#undef BW_DECLARE_PLAIN_BLEND

}  // namespace bw
