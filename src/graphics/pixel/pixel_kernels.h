// Kernels that move whole 32-bit pixels: fills, copies (plain, keyed, stretched, mirrored) and
// copies from 8-bit indexed rows through a colour table. Arguments as in alpha_kernels.h. Keyed
// 32-bit kernels compare the whole source word with the key; indexed kernels compare the index
// byte with the key's low byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/pixel/stretch_stepper.h"

namespace bw {

void FillRows32(uint32_t* dst, ptrdiff_t dstSkip, int width, int height, uint32_t value);
// Colour set, alpha kept.
void FillRgbRows(uint32_t* dst, ptrdiff_t dstSkip, int width, int height, uint32_t rgb);
void FillRgbRowsMmx(uint32_t* dst, ptrdiff_t dstSkip, int width, int height, uint32_t rgb);

void CopyRows32(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
                int height);
void CopyRows32Mmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int width, int height);
void CopyRows32Keyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                     int width, int height, uint32_t key);
void StretchCopyRows32(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                       int width, int height, const StretchStepper& st);
void StretchCopyRows32Mmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                          int width, int height, const StretchStepper& st);
void StretchCopyRows32Keyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                            ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                            uint32_t key);
void MirrorCopyRows32(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                      int width, int height);
void MirrorCopyRows32Mmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                         int width, int height);
void MirrorCopyRows32Keyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                           int width, int height, uint32_t key);
void StretchMirrorCopyRows32(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                             ptrdiff_t srcPitch, int width, int height, const StretchStepper& st);
void StretchMirrorCopyRows32Mmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                ptrdiff_t srcPitch, int width, int height,
                                const StretchStepper& st);
void StretchMirrorCopyRows32Keyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                  ptrdiff_t srcPitch, int width, int height,
                                  const StretchStepper& st, uint32_t key);

void CopyIndexedRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                     int width, int height, const uint32_t* colors);
void CopyIndexedRowsKeyed(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                          int width, int height, const uint32_t* colors, uint32_t key);
void StretchCopyIndexedRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                            ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                            const uint32_t* colors);
void StretchCopyIndexedRowsKeyed(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                 ptrdiff_t srcPitch, int width, int height,
                                 const StretchStepper& st, const uint32_t* colors, uint32_t key);
void MirrorCopyIndexedRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                           int width, int height, const uint32_t* colors);
void MirrorCopyIndexedRowsKeyed(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                ptrdiff_t srcSkip, int width, int height, const uint32_t* colors,
                                uint32_t key);
void StretchMirrorCopyIndexedRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                  ptrdiff_t srcPitch, int width, int height,
                                  const StretchStepper& st, const uint32_t* colors);
void StretchMirrorCopyIndexedRowsKeyed(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                       ptrdiff_t srcPitch, int width, int height,
                                       const StretchStepper& st, const uint32_t* colors,
                                       uint32_t key);

}  // namespace bw
