// The vector set's stretched copy: the source columns a row reads are worked out once for all
// rows, a row the stretch repeats is copied from the one above it, and a 1:1 stretch is a row
// copy. The bytes are those of the pixel-by-pixel walk.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/pixel/stretch_stepper.h"

namespace bw {

// Arguments as StretchCopyRows32 (mirrored: each row read right to left from one past its right
// end, as StretchMirrorCopyRows32). False, with nothing written, when the target rows overlap the
// source pixels the stretch reads: only the walk's own order gives those bytes.
[[nodiscard]] bool StretchCopyRowsVector(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                         ptrdiff_t srcPitch, int width, int height,
                                         const StretchStepper& st, bool mirrored);

// dst[x] := src[columns[x]] for count pixels.
void GatherRow32(uint32_t* dst, const uint32_t* src, const int32_t* columns, int count);

}  // namespace bw
