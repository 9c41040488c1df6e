// The walks of the two-operand kernels. An operation is a struct with Pixel(d, s) (one pixel)
// and, for the vector set, Four(d, s) on four pixels in a 128-bit register giving the same bytes
// as Pixel. Stretched vector walks gather each row's source pixels first, so that the vector body
// serves them too.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/pixel/row_walk.h"

namespace bw::pixel_detail {

// T[a][b] = (a x b + 127) / 255 in 16-bit lanes holding 0..255: with t = a x b + 128,
// (t + (t >> 8)) >> 8 equals (t x 257) >> 16, one high multiply.
inline __m128i Product16(__m128i a, __m128i b) {
  const __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
  return _mm_mulhi_epu16(t, _mm_set1_epi16(257));
}
__attribute__((target("avx2"))) inline __m256i Product16(__m256i a, __m256i b) {
  const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(a, b), _mm256_set1_epi16(128));
  return _mm256_mulhi_epu16(t, _mm256_set1_epi16(257));
}

// Saturating add and subtract of the four bytes of two words.
inline uint32_t AddBytesSaturated(uint32_t d, uint32_t s) {
  uint32_t rb = (d & 0x00FF00FFu) + (s & 0x00FF00FFu);
  uint32_t ag = ((d >> 8) & 0x00FF00FFu) + ((s >> 8) & 0x00FF00FFu);
  rb |= ((rb >> 8) & 0x00010001u) * 0xFF;
  ag |= ((ag >> 8) & 0x00010001u) * 0xFF;
  return (rb & 0x00FF00FFu) | (ag & 0x00FF00FFu) << 8;
}
inline uint32_t SubtractBytesSaturated(uint32_t d, uint32_t s) {
  uint32_t rb = ((d & 0x00FF00FFu) | 0x01000100u) - (s & 0x00FF00FFu);
  uint32_t ag = (((d >> 8) & 0x00FF00FFu) | 0x01000100u) - ((s >> 8) & 0x00FF00FFu);
  // A lane that borrowed lost its guard bit: it becomes 0.
  rb &= ((rb >> 8) & 0x00010001u) * 0xFF;
  ag &= ((ag >> 8) & 0x00010001u) * 0xFF;
  return (rb & 0x00FF00FFu) | (ag & 0x00FF00FFu) << 8;
}

// Four pixels' colour lanes toward s by per-pixel weights w (16-bit lanes, alpha lanes 0):
// d + floor((s - d) x w / 256), in wrap-around arithmetic kept to each byte.
inline __m128i LerpHalf(__m128i d16, __m128i s16, __m128i w) {
  __m128i delta = _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(s16, d16), w), 8);
  return _mm_and_si128(_mm_add_epi16(d16, delta), _mm_set1_epi16(0xFF));
}
inline __m128i LerpFour(__m128i d, __m128i s, __m128i wLo, __m128i wHi) {
  const __m128i zero = _mm_setzero_si128();
  return _mm_packus_epi16(LerpHalf(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero), wLo),
                          LerpHalf(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero), wHi));
}
// Weight lanes for two pixels: (w0, w0, w0, 0, w1, w1, w1, 0).
inline __m128i PairWeights(uint32_t w0, uint32_t w1) {
  return _mm_set_epi16(0, short(w1), short(w1), short(w1), 0, short(w0), short(w0), short(w0));
}
// floor(s x w / 256) per byte, packed.
inline __m128i ScaleFour(__m128i s, __m128i wLo, __m128i wHi) {
  const __m128i zero = _mm_setzero_si128();
  __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), wLo), 8);
  __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), wHi), 8);
  return _mm_packus_epi16(lo, hi);
}

// LerpFour on eight pixels, with the weights in each pixel's own 32-bit lane: w in both halves
// for blue and red (takeRb), w in the low half only for green and alpha (takeGa), so alpha keeps
// the target's.
// d + floor((s - d) w / 256) is floor((d (256 - w) + s w) / 256), which fits 16 bits; blue and
// red are taken in place and green and alpha shifted down, so no byte is unpacked and the
// shuffle unit, the bottleneck of the unpacking form, stays idle. Same bytes as LerpFour.
__attribute__((target("avx2"))) inline __m256i LerpEightInLanes(__m256i d, __m256i s,
                                                                __m256i takeRb, __m256i takeGa) {
  const __m256i full = _mm256_set1_epi32(0x01000100);
  const __m256i rbBytes = _mm256_set1_epi32(0x00FF00FF);
  const __m256i rb = _mm256_add_epi16(
      _mm256_mullo_epi16(_mm256_and_si256(d, rbBytes), _mm256_sub_epi16(full, takeRb)),
      _mm256_mullo_epi16(_mm256_and_si256(s, rbBytes), takeRb));
  const __m256i ga =
      _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(d, 8), _mm256_sub_epi16(full, takeGa)),
                       _mm256_mullo_epi16(_mm256_srli_epi16(s, 8), takeGa));
  return _mm256_or_si256(_mm256_srli_epi16(rb, 8),
                         _mm256_and_si256(ga, _mm256_set1_epi16(short(0xFF00))));
}

// LerpEightInLanes on four pixels in a 128-bit register; same bytes as LerpFour. Four multiplies,
// but for weights the same in every group none of the per-group weight work.
inline __m128i LerpFourTaking(__m128i d, __m128i s, __m128i takeRb, __m128i takeGa) {
  const __m128i full = _mm_set1_epi32(0x01000100);
  const __m128i rbBytes = _mm_set1_epi32(0x00FF00FF);
  const __m128i rb =
      _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(d, rbBytes), _mm_sub_epi16(full, takeRb)),
                    _mm_mullo_epi16(_mm_and_si128(s, rbBytes), takeRb));
  const __m128i ga =
      _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(d, 8), _mm_sub_epi16(full, takeGa)),
                    _mm_mullo_epi16(_mm_srli_epi16(s, 8), takeGa));
  return _mm_or_si128(_mm_srli_epi16(rb, 8), _mm_and_si128(ga, _mm_set1_epi16(short(0xFF00))));
}

inline __m128i Load4(const uint32_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store4(uint32_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

template <bool kKeyed, typename Op>
void BlendRowPlain(uint32_t* dst, const uint32_t* src, int width, const Op& op, uint32_t key) {
  for (int x = 0; x < width; ++x) {
    if (kKeyed && src[x] == key) continue;
    dst[x] = op.Pixel(dst[x], src[x]);
  }
}

template <bool kKeyed, typename Op>
void BlendRowVector(uint32_t* dst, const uint32_t* src, int width, const Op& op, uint32_t key) {
  const __m128i keys = _mm_set1_epi32(int(key));
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    __m128i s = Load4(src + x);
    __m128i d = Load4(dst + x);
    __m128i r = op.Four(d, s);
    if (kKeyed) {
      __m128i hit = _mm_cmpeq_epi32(s, keys);
      r = _mm_or_si128(_mm_and_si128(hit, d), _mm_andnot_si128(hit, r));
    }
    Store4(dst + x, r);
  }
  BlendRowPlain<kKeyed>(dst + x, src + x, width - x, op, key);
}

// The source pixels one stretched row reads, in target order.
inline const uint32_t* GatherStretchedRow(const uint32_t* src, int width, const StretchStepper& st,
                                          std::vector<uint32_t>& buffer) {
  buffer.resize(size_t(width));
  int32_t error = st.xError;
  for (int x = 0; x < width; ++x) {
    buffer[size_t(x)] = *src;
    src += StepAxis(error, st.xRemainder, st.destWidth, st.xStep);
  }
  return buffer.data();
}

template <bool kVector, bool kKeyed, typename Op>
void BlendRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
               int height, const Op& op, uint32_t key = 0) {
  EachRow(dst, src, dstSkip, srcSkip, width, height, [&](uint32_t* d, const uint32_t* s, int w) {
    if constexpr (kVector) {
      BlendRowVector<kKeyed>(d, s, w, op, key);
    } else {
      BlendRowPlain<kKeyed>(d, s, w, op, key);
    }
  });
}

template <bool kVector, bool kKeyed, typename Op>
void StretchBlendRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                      int width, int height, const StretchStepper& st, const Op& op,
                      uint32_t key = 0) {
  thread_local std::vector<uint32_t> buffer;
  // At 1:1 across, a source row apart from its target row is read where it lies.
  const bool straight = st.xStep == 1 && st.xRemainder == 0;
  int32_t yError = st.yError;
  do {
    const auto s = reinterpret_cast<uintptr_t>(src), d = reinterpret_cast<uintptr_t>(dst);
    const bool apart = s + uintptr_t(width) * 4 <= d || d + uintptr_t(width) * 4 <= s;
    const uint32_t* row = straight && apart ? src : GatherStretchedRow(src, width, st, buffer);
    if constexpr (kVector) {
      BlendRowVector<kKeyed>(dst, row, width, op, key);
    } else {
      BlendRowPlain<kKeyed>(dst, row, width, op, key);
    }
    dst = AddBytes(dst + width, dstSkip);
    src = AddBytes(src, srcPitch * StepAxis(yError, st.yRemainder, st.destHeight, st.yStep));
  } while (--height > 0);
}

}  // namespace bw::pixel_detail
