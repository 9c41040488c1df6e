// Where the corners of a scaled rectangle land when it is turned about an anchor, and the
// axis-aligned box that holds them. Angles in 512ths of a turn.
#pragma once

#include <cstdint>

namespace bw {

// The cosine-table step of minus the angle, 0..511; any angle, INT32_MIN too. Turning by the
// angle reads the cosine here and, a quarter turn further, (step - 128) & 511.
constexpr int NegatedTurn(int angle) {
  return int((0u - unsigned(angle)) & 511u);
}

struct RotatedCorners {
  struct {
    double x, y;
  } point[4];  // top-left, top-right, bottom-left, bottom-right
};

struct RotatedBox {
  int32_t* width = nullptr;
  int32_t* height = nullptr;
  int32_t* x = nullptr;  // asked for: the corners stay relative to the box
  int32_t* y = nullptr;
};

// False (nothing written) without corners, without the process-wide trigonometric tables or
// their doubles, for a scale not above 0 (or not finite), when nothing would change (angle a
// multiple of 512, x = y = 0, scale 1), and when the box or its place does not fit in 32 bits.
bool ComputeRotatedBounds(RotatedCorners* corners, int32_t x, int32_t y, int angle, double scale,
                          int32_t width, int32_t height, double anchorX, double anchorY,
                          const RotatedBox& box);

}  // namespace bw
