// The row loops of the ripple: each output pixel takes a displacement through its ring code,
// samples the old and the new picture there and blends them. The interior loops trust that
// every sample lies inside the pictures; the edge-safe loop reflects a sample that falls outside
// and clamps it into the bounds. The plain and the vector loops give the same pixels.
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
  uint32_t* dst;         // the output of the first pixel
  const uint32_t* from;  // the old picture's pixel under the first pixel
  const uint32_t* to;    // the new picture's
  ptrdiff_t fromPitch;   // in pixels
  ptrdiff_t toPitch;
  const uint16_t* codes;         // the first pixel's code
  int codeStep;                  // +1 right of the centre column, -1 left of it
  const uint16_t* displacement;  // the displacements of the current level and phase
  // Interior loops: per code, the sample's offset from its pixel in each picture (the
  // displacement with this row's signs and the picture's pitch).
  const int32_t* fromOffsets;
  const int32_t* toOffsets;
  // Edge-safe vector loop: per code, the sample's move from its pixel with this row's signs,
  // across in the low 16 bits and down in the high 16 (both signed).
  const int32_t* moves;
  int32_t x;  // the first pixel, ripple coordinates (edge-safe loop)
  int32_t y;
  int count;
  int xSign;  // sample x + xSign x h: -1 right of the centre, +1 left of it
  int ySign;  // sample y + ySign x v: -1 from the centre row down, +1 above it
  uint32_t level;
};

// Fills the offsets of count codes for one quadrant and one picture's pitch.
void RippleSampleOffsets(int32_t* out, const uint16_t* displacement, int count, int xSign,
                         int ySign, ptrdiff_t pitch);

// Fills the moves of count codes for one quadrant.
void RippleSampleMoves(int32_t* out, const uint16_t* displacement, int count, int xSign, int ySign);

void RippleRowPlain(const RippleRow& row);
// Samples read one by one, blended eight at a time where 256-bit vectors run, else four.
void RippleRowVector(const RippleRow& row);
void RippleRowEdgeSafe(const RippleRow& row, const RippleBounds& bounds);
// Eight pixels a step, reflected and clamped in lanes, where 256-bit vectors run; else the plain
// edge-safe loop.
void RippleRowEdgeSafeVector(const RippleRow& row, const RippleBounds& bounds);

using RippleRowRoutine = void (*)(const RippleRow& row);
using RippleEdgeRoutine = void (*)(const RippleRow& row, const RippleBounds& bounds);

}  // namespace bw
