// Row kernels that move alpha and colour channels between 32-bit and 8-bit rows, and the
// alpha-over kernels. Arguments: destination start, source start, destination row skip, source
// row skip (the source pitch for stretched forms), width, height, then the extras. Width and
// height are at least 1. Mirrored forms take the source one pixel past the right end of its
// first row. The Mmx forms are the vector set, chosen by the caller through MmxEnabled().
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/pixel/stretch_stepper.h"

namespace bw {

using Rows32Kernel = void (*)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int);
using StretchRows32Kernel = void (*)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int,
                                     const StretchStepper&);

// Alpha-over: colour = (s x ws >> 8) + (d x wd >> 8), alpha 0. The plain set weighs the
// destination 255 - a (256 at a = 0); the MMX set 256 - ws. Both take ws = a, 256 at a = 255.
void AlphaOverRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int width, int height);
void MirrorAlphaOverRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                         int width, int height);
void StretchAlphaOverRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                          int width, int height, const StretchStepper& st);
void StretchMirrorAlphaOverRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                ptrdiff_t srcPitch, int width, int height,
                                const StretchStepper& st);
void AlphaOverRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                      int width, int height);
void MirrorAlphaOverRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                            ptrdiff_t srcSkip, int width, int height);
void StretchAlphaOverRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                             ptrdiff_t srcPitch, int width, int height, const StretchStepper& st);
void StretchMirrorAlphaOverRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                   ptrdiff_t srcPitch, int width, int height,
                                   const StretchStepper& st);

// 8-bit values into the alpha bytes of 32-bit rows.
void CopyBytesToAlphaRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                          int width, int height);
void MirrorCopyBytesToAlphaRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                ptrdiff_t srcSkip, int width, int height);
void StretchCopyBytesToAlphaRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                 ptrdiff_t srcPitch, int width, int height,
                                 const StretchStepper& st);
void StretchMirrorCopyBytesToAlphaRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                       ptrdiff_t srcPitch, int width, int height,
                                       const StretchStepper& st);

// The alpha bytes of 32-bit rows into 8-bit rows.
void CopyAlphaToBytesRows(uint8_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                          int width, int height);
void MirrorCopyAlphaToBytesRows(uint8_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                ptrdiff_t srcSkip, int width, int height);
void StretchCopyAlphaToBytesRows(uint8_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                 ptrdiff_t srcPitch, int width, int height,
                                 const StretchStepper& st);
void StretchMirrorCopyAlphaToBytesRows(uint8_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                       ptrdiff_t srcPitch, int width, int height,
                                       const StretchStepper& st);

// Red, green and blue from the source; the destination keeps its alpha. Keyed forms skip
// source pixels equal to the key in all 32 bits.
void CopyColorRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int width, int height);
void StretchCopyColorRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                          int width, int height, const StretchStepper& st);
void CopyColorRowsKeyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                        int width, int height, uint32_t key);
void StretchCopyColorRowsKeyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                               ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                               uint32_t key);
void CopyColorRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                      int width, int height);
void StretchCopyColorRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                             ptrdiff_t srcPitch, int width, int height, const StretchStepper& st);
void CopyColorRowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                           int width, int height, uint32_t key);
void StretchCopyColorRowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                  ptrdiff_t srcPitch, int width, int height,
                                  const StretchStepper& st, uint32_t key);

// The alpha byte from the source; the destination keeps its colour.
void CopyAlphaRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int width, int height);
void StretchCopyAlphaRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                          int width, int height, const StretchStepper& st);
void CopyAlphaRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                      int width, int height);
void StretchCopyAlphaRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                             ptrdiff_t srcPitch, int width, int height, const StretchStepper& st);

// Destination alpha := AlphaUnionTable[alpha][mask byte].
void MergeAlphaRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                    int width, int height);

// Sets the alpha byte of count consecutive 32-bit pixels, keeping their colour.
void SetAlphaRun(uint32_t* pixels, size_t count, uint8_t alpha);

}  // namespace bw
