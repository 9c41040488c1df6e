// The weighted interpolation of blue, green and red toward a source, c + floor((s - c) x w /
// 256) with w from 0 to 256, alpha kept: the plain form in packed words, the vector form in
// 16-bit lanes. Both give the same bytes.
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace bw::pixel_detail {

inline uint32_t LerpPlain(uint32_t d, uint32_t s, uint32_t w) {
  uint32_t drb = d & 0x00FF00FFu, dg = d & 0x0000FF00u;
  uint32_t rb = (drb + (((s & 0x00FF00FFu) - drb) * w >> 8)) & 0x00FF00FFu;
  uint32_t g = (dg + (((s & 0x0000FF00u) - dg) * w >> 8)) & 0x0000FF00u;
  return (d & 0xFF000000u) | rb | g;
}

// Subtract, multiply, shift without sign, add with wrap-around, pack.
inline uint32_t LerpLanes(uint32_t d, uint32_t s, uint32_t w) {
  const __m128i zero = _mm_setzero_si128();
  __m128i d16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(d)), zero);
  __m128i s16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(s)), zero);
  __m128i weights = _mm_set_epi16(0, 0, 0, 0, 0, short(w), short(w), short(w));
  __m128i delta = _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(s16, d16), weights), 8);
  __m128i sum = _mm_and_si128(_mm_add_epi16(d16, delta), _mm_set1_epi16(0xFF));
  return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(sum, zero)));
}

}  // namespace bw::pixel_detail
