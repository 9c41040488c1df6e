#include "graphics/pixel/ripple_rows.h"

#include <immintrin.h>

#include <algorithm>

namespace bw {

namespace {

struct Offset {
  int h, v;
};

inline Offset Displacement(const RippleRow& row, int i) {
  const uint16_t e = row.displacement[row.codes[ptrdiff_t{i} * row.codeStep]];
  return {int8_t(e >> 8), int8_t(e & 0xFF)};
}

inline uint32_t Sample(const RipplePicture& p, int32_t x, int32_t y) {
  return p.pixels[(ptrdiff_t{y} + p.dy) * p.pitch + x + p.dx];
}

// Back inside [low, high) by reflection, then clamped, for displacements larger than the bounds.
inline int32_t Reflect(int32_t v, int32_t low, int32_t high) {
  if (v < low) v = 2 * low - v;
  if (v >= high) v = 2 * high - v - 1;
  return std::clamp(v, low, high - 1);
}

// Low 32 bits of each lane times a level below 256, from 16-bit products.
inline __m128i TimesLevel(__m128i d, __m128i level) {
  const __m128i low = _mm_mullo_epi16(d, level);
  const __m128i carry = _mm_slli_epi32(_mm_mulhi_epu16(d, level), 16);
  return _mm_add_epi32(low, carry);
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

}  // namespace

void RippleRowPlain(const RippleRow& row) {
  for (int i = 0; i < row.count; ++i) {
    const Offset e = Displacement(row, i);
    const int32_t sx = row.x + i + row.xSign * e.h, sy = row.y + row.ySign * e.v;
    row.dst[i] = RippleBlend(Sample(row.from, sx, sy), Sample(row.to, sx, sy), row.level);
  }
}

void RippleRowVector(const RippleRow& row) {
  const __m128i level = _mm_set1_epi16(int16_t(row.level));
  int i = 0;
  for (; i + 4 <= row.count; i += 4) {
    // The codes a few pixels on; a hint only, never read.
    _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(row.codes) +
                                               uintptr_t(ptrdiff_t{i + 32} * row.codeStep * 2)),
                 _MM_HINT_T0);
    uint32_t o[4], n[4];
    for (int k = 0; k < 4; ++k) {
      const Offset e = Displacement(row, i + k);
      const int32_t sx = row.x + i + k + row.xSign * e.h, sy = row.y + row.ySign * e.v;
      o[k] = Sample(row.from, sx, sy);
      n[k] = Sample(row.to, sx, sy);
    }
    const __m128i out = BlendFour(_mm_loadu_si128(reinterpret_cast<const __m128i*>(o)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(n)), level);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row.dst + i), out);
  }
  for (; i < row.count; ++i) {
    const Offset e = Displacement(row, i);
    const int32_t sx = row.x + i + row.xSign * e.h, sy = row.y + row.ySign * e.v;
    row.dst[i] = RippleBlend(Sample(row.from, sx, sy), Sample(row.to, sx, sy), row.level);
  }
}

void RippleRowEdgeSafe(const RippleRow& row, const RippleBounds& b) {
  for (int i = 0; i < row.count; ++i) {
    const Offset e = Displacement(row, i);
    const int32_t sx = Reflect(row.x + i + row.xSign * e.h, b.left, b.right);
    const int32_t sy = Reflect(row.y + row.ySign * e.v, b.top, b.bottom);
    row.dst[i] = RippleBlend(Sample(row.from, sx, sy), Sample(row.to, sx, sy), row.level);
  }
}

}  // namespace bw
