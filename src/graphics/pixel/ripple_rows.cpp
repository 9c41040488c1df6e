#include "graphics/pixel/ripple_rows.h"

#include <immintrin.h>

#include <algorithm>

#include "platform/mmx_flag.h"

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
  const Offset e = Displacement(row, i);
  BlendAt(row, i, i + row.xSign * e.h, row.ySign * e.v);
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
inline Samples SamplesAt(const RippleRow& row, int i) {
  const Offset e = Displacement(row, i);
  const ptrdiff_t across = i + row.xSign * e.h, down = row.ySign * e.v;
  return {row.from[across + down * row.fromPitch], row.to[across + down * row.toPitch]};
}

void RowSse2(const RippleRow& row) {
  const __m128i level = _mm_set1_epi16(int16_t(row.level));
  int i = 0;
  for (; i + 4 <= row.count; i += 4) {
    const Samples a = SamplesAt(row, i), b = SamplesAt(row, i + 1), c = SamplesAt(row, i + 2),
                  d = SamplesAt(row, i + 3);
    const __m128i o = _mm_setr_epi32(int(a.o), int(b.o), int(c.o), int(d.o));
    const __m128i n = _mm_setr_epi32(int(a.n), int(b.n), int(c.n), int(d.n));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row.dst + i), BlendFour(o, n, level));
  }
  for (; i < row.count; ++i) Interior(row, i);
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

// Eight pixels a step: the codes loaded (reversed left of the centre), then the displacements
// and both pictures' samples gathered.
__attribute__((target("avx2"))) void RowAvx2(const RippleRow& row) {
  const __m256i level = _mm256_set1_epi16(int16_t(row.level));
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m128i reverse = _mm_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
  const __m256i fromDown = _mm256_set1_epi32(int32_t(row.ySign * row.fromPitch));
  const __m256i toDown = _mm256_set1_epi32(int32_t(row.ySign * row.toPitch));
  const auto* table = reinterpret_cast<const int*>(row.displacement);
  const auto* from = reinterpret_cast<const int*>(row.from);
  const auto* to = reinterpret_cast<const int*>(row.to);
  int i = 0;
  for (; i + 8 <= row.count; i += 8) {
    __m128i packed;
    if (row.codeStep > 0) {
      packed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row.codes + i));
    } else {
      packed = _mm_shuffle_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(row.codes - i - 7)), reverse);
    }
    // Each gather reads the entry and the one after it; only the low half is kept.
    const __m256i e = _mm256_i32gather_epi32(table, _mm256_cvtepu16_epi32(packed), 2);
    const __m256i h = _mm256_srai_epi32(_mm256_slli_epi32(e, 16), 24);
    const __m256i v = _mm256_srai_epi32(_mm256_slli_epi32(e, 24), 24);
    const __m256i at = _mm256_add_epi32(_mm256_set1_epi32(i), lanes);
    const __m256i across = row.xSign > 0 ? _mm256_add_epi32(at, h) : _mm256_sub_epi32(at, h);
    const __m256i o =
        _mm256_i32gather_epi32(from, _mm256_add_epi32(across, _mm256_mullo_epi32(v, fromDown)), 4);
    const __m256i n =
        _mm256_i32gather_epi32(to, _mm256_add_epi32(across, _mm256_mullo_epi32(v, toDown)), 4);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.dst + i), BlendEight(o, n, level));
  }
  for (; i < row.count; ++i) Interior(row, i);
}

}  // namespace

// The loops work on a copy of the row, which the output's stores cannot alias.
void RippleRowPlain(const RippleRow& given) {
  const RippleRow row = given;
  for (int i = 0; i < row.count; ++i) Interior(row, i);
}

void RippleRowVector(const RippleRow& given) {
  const RippleRow row = given;
  (WideVectorsEnabled() ? RowAvx2 : RowSse2)(row);
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
