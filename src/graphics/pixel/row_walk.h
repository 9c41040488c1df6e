// The four ways a row kernel walks its source: straight, mirrored (each row read right to left
// from one past its right end), stretched and stretched mirrored (stepped by the stepper, given
// the source pitch instead of a skip). Skips and pitches are in bytes. The per-pixel work is a
// callable op(dst, src) on typed pixel pointers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "graphics/pixel/stretch_stepper.h"

namespace bw::pixel_detail {

template <typename D>
inline D* AddBytes(D* p, ptrdiff_t bytes) {
  using Byte = std::conditional_t<std::is_const_v<D>, const uint8_t, uint8_t>;
  return reinterpret_cast<D*>(reinterpret_cast<Byte*>(p) + bytes);
}

// Hands whole rows to row(dst, src, width): for the vector kernels.
template <typename D, typename S, typename Row>
inline void EachRow(D* dst, const S* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
                    int height, Row row) {
  do {
    row(dst, src, width);
    dst = AddBytes(dst + width, dstSkip);
    src = AddBytes(src + width, srcSkip);
  } while (--height > 0);
}

template <typename D, typename S, typename Op>
inline void WalkStraight(D* dst, const S* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
                         int height, Op op) {
  do {
    for (int x = 0; x < width; ++x) op(dst++, src++);
    dst = AddBytes(dst, dstSkip);
    src = AddBytes(src, srcSkip);
  } while (--height > 0);
}

template <typename D, typename S, typename Op>
inline void WalkMirrored(D* dst, const S* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
                         int height, Op op) {
  do {
    for (int x = 0; x < width; ++x) op(dst++, --src);
    dst = AddBytes(dst, dstSkip);
    src = AddBytes(src, srcSkip);
  } while (--height > 0);
}

template <typename D, typename S, typename Op>
inline void WalkStretched(D* dst, const S* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch, int width,
                          int height, const StretchStepper& st, Op op) {
  int32_t yError = st.yError;
  do {
    const S* s = src;
    int32_t xError = st.xError;
    for (int x = 0; x < width; ++x) {
      op(dst++, s);
      s += StepAxis(xError, st.xRemainder, st.destWidth, st.xStep);
    }
    dst = AddBytes(dst, dstSkip);
    src = AddBytes(src, srcPitch * StepAxis(yError, st.yRemainder, st.destHeight, st.yStep));
  } while (--height > 0);
}

template <typename D, typename S, typename Op>
inline void WalkStretchedMirrored(D* dst, const S* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                                  int width, int height, const StretchStepper& st, Op op) {
  int32_t yError = st.yError;
  do {
    const S* s = src;
    int32_t xError = st.xError;
    for (int x = 0; x < width; ++x) {
      op(dst++, s - 1);
      s -= StepAxis(xError, st.xRemainder, st.destWidth, st.xStep);
    }
    dst = AddBytes(dst, dstSkip);
    src = AddBytes(src, srcPitch * StepAxis(yError, st.yRemainder, st.destHeight, st.yStep));
  } while (--height > 0);
}

}  // namespace bw::pixel_detail
