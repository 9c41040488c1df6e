// The row loops of the ripple. A frame is drawn in two steps: the old and the new picture are
// blended into a crossed frame row by row, then each output pixel takes the crossed sample its
// ring code points at. Both samples of a pixel lie at the same point of the two pictures, so
// blending first gives the same bytes as blending the two samples of every pixel. The interior
// loop trusts that every sample lies inside the crossed frame; the edge-safe loop reflects a
// sample that falls outside the bounds and clamps it. The plain and the vector blends give the
// same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw {

// The blend: red and blue together, green alone, alpha 0.
inline uint32_t RippleBlend(uint32_t o, uint32_t n, uint32_t level) {
  const uint32_t orb = o & 0xFF00FF, og = o & 0xFF00;
  const uint32_t rb = ((((n & 0xFF00FF) - orb) * level >> 8) + orb) & 0xFF00FF;
  const uint32_t g = ((((n & 0xFF00) - og) * level >> 8) + og) & 0xFF00;
  return rb | g;
}

// The sample bounds in ripple coordinates: [left, right) x [top, bottom), never empty.
struct RippleBounds {
  int32_t left, top, right, bottom;
};

struct RippleRow {
  uint32_t* dst;                 // the output of the first pixel
  const uint32_t* src;           // the crossed frame's pixel under the first pixel
  ptrdiff_t pitch;               // of the crossed frame, in pixels
  const uint16_t* codes;         // the first pixel's code
  int codeStep;                  // +1 right of the centre column, -1 left of it
  const uint16_t* displacement;  // the displacements of the current level and phase
  // Interior loop: per code, the sample's offset from its pixel in the crossed frame (the
  // displacement with this row's signs and the pitch).
  const int32_t* offsets;
  int32_t x;  // the first pixel, ripple coordinates (edge-safe loop)
  int32_t y;
  int count;
  int xSign;  // sample x + xSign x h: -1 right of the centre, +1 left of it
  int ySign;  // sample y + ySign x v: -1 from the centre row down, +1 above it
};

// Fills the offsets of count codes for one quadrant and the crossed frame's pitch.
void RippleSampleOffsets(int32_t* out, const uint16_t* displacement, int count, int xSign,
                         int ySign, ptrdiff_t pitch);

// dst := old + (new - old) x level >> 8 for count pixels.
void RippleCrossRowPlain(uint32_t* dst, const uint32_t* from, const uint32_t* to, int count,
                         uint32_t level);
// Eight pixels a step where 256-bit vectors run, else four.
void RippleCrossRowVector(uint32_t* dst, const uint32_t* from, const uint32_t* to, int count,
                          uint32_t level);

void RippleMoveRow(const RippleRow& row);
void RippleMoveRowEdgeSafe(const RippleRow& row, const RippleBounds& bounds);

using RippleCrossRoutine = void (*)(uint32_t* dst, const uint32_t* from, const uint32_t* to,
                                    int count, uint32_t level);

}  // namespace bw
