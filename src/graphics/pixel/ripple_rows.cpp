#include "graphics/pixel/ripple_rows.h"

#include <immintrin.h>

#include <algorithm>

#include "platform/mmx_flag.h"

namespace bw {

namespace {

// Back inside [low, high) by reflection, then clamped, for displacements larger than the bounds.
inline int32_t Reflect(int32_t v, int32_t low, int32_t high) {
  if (v < low) v = 2 * low - v;
  if (v >= high) v = 2 * high - v - 1;
  return std::clamp(v, low, high - 1);
}

// Low 32 bits of each lane times a level below 256, from 16-bit products.
inline __m128i TimesLevel(__m128i d, __m128i level) {
  const __m128i carry = _mm_slli_epi32(_mm_mulhi_epu16(d, level), 16);
  return _mm_add_epi32(_mm_mullo_epi16(d, level), carry);
}

inline __m128i BlendFour(__m128i o, __m128i n, __m128i level) {
  const __m128i rbMask = _mm_set1_epi32(0xFF00FF), gMask = _mm_set1_epi32(0xFF00);
  const __m128i orb = _mm_and_si128(o, rbMask), og = _mm_and_si128(o, gMask);
  const __m128i drb = _mm_sub_epi32(_mm_and_si128(n, rbMask), orb);
  const __m128i dg = _mm_sub_epi32(_mm_and_si128(n, gMask), og);
  const __m128i rb = _mm_add_epi32(_mm_srli_epi32(TimesLevel(drb, level), 8), orb);
  const __m128i g = _mm_add_epi32(_mm_srli_epi32(TimesLevel(dg, level), 8), og);
  return _mm_or_si128(_mm_and_si128(rb, rbMask), _mm_and_si128(g, gMask));
}

__attribute__((target("avx2"))) inline __m256i TimesLevel8(__m256i d, __m256i level) {
  const __m256i carry = _mm256_slli_epi32(_mm256_mulhi_epu16(d, level), 16);
  return _mm256_add_epi32(_mm256_mullo_epi16(d, level), carry);
}

__attribute__((target("avx2"))) inline __m256i BlendEight(__m256i o, __m256i n, __m256i level) {
  const __m256i rbMask = _mm256_set1_epi32(0xFF00FF), gMask = _mm256_set1_epi32(0xFF00);
  const __m256i orb = _mm256_and_si256(o, rbMask), og = _mm256_and_si256(o, gMask);
  const __m256i drb = _mm256_sub_epi32(_mm256_and_si256(n, rbMask), orb);
  const __m256i dg = _mm256_sub_epi32(_mm256_and_si256(n, gMask), og);
  const __m256i rb = _mm256_add_epi32(_mm256_srli_epi32(TimesLevel8(drb, level), 8), orb);
  const __m256i g = _mm256_add_epi32(_mm256_srli_epi32(TimesLevel8(dg, level), 8), og);
  return _mm256_or_si256(_mm256_and_si256(rb, rbMask), _mm256_and_si256(g, gMask));
}

void CrossRowSse2(uint32_t* dst, const uint32_t* from, const uint32_t* to, int count,
                  uint32_t level) {
  const __m128i weight = _mm_set1_epi16(int16_t(level));
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    const __m128i n = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), BlendFour(o, n, weight));
  }
  for (; i < count; ++i) dst[i] = RippleBlend(from[i], to[i], level);
}

__attribute__((target("avx2"))) void CrossRowAvx2(uint32_t* dst, const uint32_t* from,
                                                  const uint32_t* to, int count, uint32_t level) {
  const __m256i weight = _mm256_set1_epi16(int16_t(level));
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i));
    const __m256i n = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(to + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), BlendEight(o, n, weight));
  }
  for (; i < count; ++i) dst[i] = RippleBlend(from[i], to[i], level);
}

// Everything in locals: the output's stores cannot alias them.
template <int kStep>
void MoveLoop(uint32_t* dst, const uint32_t* src, const uint16_t* codes, const int32_t* offsets,
              int count) {
#pragma GCC unroll 4
  for (int i = 0; i < count; ++i) dst[i] = src[i + ptrdiff_t{offsets[codes[kStep * i]]}];
}

}  // namespace

void RippleSampleOffsets(int32_t* out, const uint16_t* displacement, int count, int xSign,
                         int ySign, ptrdiff_t pitch) {
  for (int c = 0; c < count; ++c) {
    const uint16_t e = displacement[c];
    out[c] = int32_t(xSign * int8_t(e >> 8) + ySign * int8_t(e & 0xFF) * pitch);
  }
}

void RippleCrossRowPlain(uint32_t* dst, const uint32_t* from, const uint32_t* to, int count,
                         uint32_t level) {
  for (int i = 0; i < count; ++i) dst[i] = RippleBlend(from[i], to[i], level);
}

void RippleCrossRowVector(uint32_t* dst, const uint32_t* from, const uint32_t* to, int count,
                          uint32_t level) {
  (WideVectorsEnabled() ? CrossRowAvx2 : CrossRowSse2)(dst, from, to, count, level);
}

void RippleMoveRow(const RippleRow& row) {
  (row.codeStep > 0 ? MoveLoop<1> : MoveLoop<-1>)(row.dst, row.src, row.codes, row.offsets,
                                                  row.count);
}

// Works on a copy of the row, which the output's stores cannot alias.
void RippleMoveRowEdgeSafe(const RippleRow& given, const RippleBounds& b) {
  const RippleRow row = given;
  for (int i = 0; i < row.count; ++i) {
    const uint16_t e = row.displacement[row.codes[ptrdiff_t{i} * row.codeStep]];
    const int32_t sx = Reflect(row.x + i + row.xSign * int8_t(e >> 8), b.left, b.right);
    const int32_t sy = Reflect(row.y + row.ySign * int8_t(e & 0xFF), b.top, b.bottom);
    row.dst[i] = row.src[(sx - row.x) + (sy - row.y) * row.pitch];
  }
}

}  // namespace bw
