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

// One pixel from its offsets: the column step and the row step from the first pixel.
inline void BlendAt(const RippleRow& row, int i, ptrdiff_t across, ptrdiff_t down) {
  row.dst[i] = RippleBlend(row.from[across + down * row.fromPitch],
                           row.to[across + down * row.toPitch], row.level);
}

inline void Interior(const RippleRow& row, int i) {
  const uint16_t code = row.codes[ptrdiff_t{i} * row.codeStep];
  row.dst[i] =
      RippleBlend(row.from[i + row.fromOffsets[code]], row.to[i + row.toOffsets[code]], row.level);
}

template <int kStep>
void PlainLoop(const RippleRow& row) {
  for (int i = 0; i < row.count; ++i) {
    const uint16_t code = row.codes[kStep * i];
    row.dst[i] = RippleBlend(row.from[i + row.fromOffsets[code]], row.to[i + row.toOffsets[code]],
                             row.level);
  }
}

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

// The two samples of pixel i.
struct Samples {
  uint32_t o, n;
};
template <int kStep>
inline Samples SamplesAt(const RippleRow& row, int i) {
  const uint16_t code = row.codes[kStep * i];
  return {row.from[i + row.fromOffsets[code]], row.to[i + row.toOffsets[code]]};
}

template <int kStep>
void RowSse2(const RippleRow& row) {
  const __m128i level = _mm_set1_epi16(int16_t(row.level));
  int i = 0;
  for (; i + 4 <= row.count; i += 4) {
    const Samples a = SamplesAt<kStep>(row, i), b = SamplesAt<kStep>(row, i + 1),
                  c = SamplesAt<kStep>(row, i + 2), d = SamplesAt<kStep>(row, i + 3);
    const __m128i o = _mm_setr_epi32(int(a.o), int(b.o), int(c.o), int(d.o));
    const __m128i n = _mm_setr_epi32(int(a.n), int(b.n), int(c.n), int(d.n));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row.dst + i), BlendFour(o, n, level));
  }
  for (; i < row.count; ++i) Interior(row, i);
}

}  // namespace

// The loops work on a copy of the row, which the output's stores cannot alias.
void RippleSampleOffsets(int32_t* out, const uint16_t* displacement, int count, int xSign,
                         int ySign, ptrdiff_t pitch) {
  for (int c = 0; c < count; ++c) {
    const uint16_t e = displacement[c];
    out[c] = int32_t(xSign * int8_t(e >> 8) + ySign * int8_t(e & 0xFF) * pitch);
  }
}

void RippleRowPlain(const RippleRow& given) {
  const RippleRow row = given;
  (row.codeStep > 0 ? PlainLoop<1> : PlainLoop<-1>)(row);
}

void RippleRowVector(const RippleRow& given) {
  const RippleRow row = given;
  (row.codeStep > 0 ? RowSse2<1> : RowSse2<-1>)(row);
}

void RippleRowEdgeSafe(const RippleRow& given, const RippleBounds& b) {
  const RippleRow row = given;
  for (int i = 0; i < row.count; ++i) {
    const Offset e = Displacement(row, i);
    const int32_t sx = Reflect(row.x + i + row.xSign * e.h, b.left, b.right);
    const int32_t sy = Reflect(row.y + row.ySign * e.v, b.top, b.bottom);
    BlendAt(row, i, sx - row.x, sy - row.y);
  }
}

}  // namespace bw
