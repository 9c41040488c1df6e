// The stretch stepper that the blit clipper fills and every stretched kernel consumes.
#pragma once

#include <cstdint>

namespace bw {

// Per axis: error (kept negative between steps), remainder (source mod destination length),
// the destination length and the integer step (source / destination length).
struct StretchStepper {
  int32_t xError;
  int32_t xRemainder;
  int32_t destWidth;
  int32_t xStep;
  int32_t yError;
  int32_t yRemainder;
  int32_t destHeight;
  int32_t yStep;
};

// The step block of the filtered stretch: the fractions of the first source position, then the
// steps per destination pixel and row in 32.32 fixed point.
struct SmoothStepper {
  uint32_t xFraction;
  uint32_t yFraction;
  uint64_t xStep;
  uint64_t yStep;
};

// The stepper of an unclipped stretch of srcW x srcH onto dstW x dstH (both positive).
inline StretchStepper MakeStretchStepper(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH) {
  return {-dstW - 1, srcW % dstW, dstW, srcW / dstW, -dstH - 1, srcH % dstH, dstH, srcH / dstH};
}

// Advances a position along one axis: the integer step, then one more on the error's carry.
inline int32_t StepAxis(int32_t& error, int32_t remainder, int32_t length, int32_t step) {
  error += remainder;
  if (error >= 0) {
    error -= length;
    return step + 1;
  }
  return step;
}

}  // namespace bw
