#include "graphics/pixel/ripple_rows.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdlib>

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

// The code of each of eight pixels from i on, in 32-bit lanes.
template <int kStep>
__attribute__((target("avx2"))) inline __m256i CodesAt(const RippleRow& row, int i) {
  if constexpr (kStep > 0) {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row.codes + i)));
  } else {
    const __m128i backwards =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(row.codes - ptrdiff_t{i} - 7));
    const __m128i reversed = _mm_shuffle_epi8(
        backwards, _mm_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1));
    return _mm256_cvtepu16_epi32(reversed);
  }
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

// The samples of up to 64 pixels read one by one into two small buffers, then blended eight at
// a time: the reads wait on memory, and nothing else should wait with them. Left to itself the
// compiler packs the reads into vectors lane by lane, which costs more than it saves.
template <int kStep>
__attribute__((target("avx2"), optimize("no-tree-vectorize"))) void RowAvx2(const RippleRow& row) {
  const __m256i level = _mm256_set1_epi16(int16_t(row.level));
  alignas(32) uint32_t olds[64], news[64];
  for (int i = 0; i < row.count; i += 64) {
    const int n = std::min(64, row.count - i);
    const uint16_t* codes = row.codes + ptrdiff_t{kStep} * i;
    const uint32_t *from = row.from + i, *to = row.to + i;
    if (row.fromOffsets == row.toOffsets) {
      // Pictures of one pitch: one look-up serves both samples.
      for (int k = 0; k < n; ++k) {
        const int32_t at = k + row.fromOffsets[codes[kStep * k]];
        olds[k] = from[at];
        news[k] = to[at];
      }
    } else {
      for (int k = 0; k < n; ++k) {
        const uint16_t code = codes[kStep * k];
        olds[k] = from[k + row.fromOffsets[code]];
        news[k] = to[k + row.toOffsets[code]];
      }
    }
    int k = 0;
    for (; k + 8 <= n; k += 8) {
      const __m256i o = _mm256_load_si256(reinterpret_cast<const __m256i*>(olds + k));
      const __m256i nn = _mm256_load_si256(reinterpret_cast<const __m256i*>(news + k));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.dst + i + k), BlendEight(o, nn, level));
    }
    for (; k < n; ++k) row.dst[i + k] = RippleBlend(olds[k], news[k], row.level);
  }
}

// v reflected back inside [low, high) and clamped, as Reflect.
__attribute__((target("avx2"))) inline __m256i ReflectEight(__m256i v, __m256i low, __m256i high) {
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i below = _mm256_cmpgt_epi32(low, v);
  v = _mm256_blendv_epi8(v, _mm256_sub_epi32(_mm256_add_epi32(low, low), v), below);
  const __m256i last = _mm256_sub_epi32(high, one);
  const __m256i above = _mm256_cmpgt_epi32(v, last);
  v = _mm256_blendv_epi8(v, _mm256_sub_epi32(_mm256_add_epi32(high, last), v), above);
  return _mm256_max_epi32(low, _mm256_min_epi32(v, last));
}

template <int kStep>
__attribute__((target("avx2"))) void EdgeSafeAvx2(const RippleRow& row, const RippleBounds& b) {
  const __m256i level = _mm256_set1_epi16(int16_t(row.level));
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i left = _mm256_set1_epi32(b.left), right = _mm256_set1_epi32(b.right);
  const __m256i top = _mm256_set1_epi32(b.top), bottom = _mm256_set1_epi32(b.bottom);
  const __m256i x0 = _mm256_set1_epi32(row.x), y0 = _mm256_set1_epi32(row.y);
  const __m256i fromPitch = _mm256_set1_epi32(int32_t(row.fromPitch));
  const __m256i toPitch = _mm256_set1_epi32(int32_t(row.toPitch));
  const int* from = reinterpret_cast<const int*>(row.from);
  const int* to = reinterpret_cast<const int*>(row.to);
  int i = 0;
  for (; i + 8 <= row.count; i += 8) {
    const __m256i move = _mm256_i32gather_epi32(row.moves, CodesAt<kStep>(row, i), 4);
    const __m256i across = _mm256_srai_epi32(_mm256_slli_epi32(move, 16), 16);
    const __m256i down = _mm256_srai_epi32(move, 16);
    const __m256i x = _mm256_add_epi32(_mm256_add_epi32(x0, _mm256_set1_epi32(i)), lanes);
    const __m256i sx = ReflectEight(_mm256_add_epi32(x, across), left, right);
    const __m256i sy = ReflectEight(_mm256_add_epi32(y0, down), top, bottom);
    const __m256i dx = _mm256_sub_epi32(sx, x0), dy = _mm256_sub_epi32(sy, y0);
    const __m256i o =
        _mm256_i32gather_epi32(from, _mm256_add_epi32(dx, _mm256_mullo_epi32(dy, fromPitch)), 4);
    const __m256i n =
        _mm256_i32gather_epi32(to, _mm256_add_epi32(dx, _mm256_mullo_epi32(dy, toPitch)), 4);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.dst + i), BlendEight(o, n, level));
  }
  if (i < row.count) {
    RippleRow rest = row;
    rest.dst += i, rest.from += i, rest.to += i, rest.codes += ptrdiff_t{i} * kStep;
    rest.x += i, rest.count -= i;
    RippleRowEdgeSafe(rest, b);
  }
}

// Pitches and bounds small enough for 32-bit sample offsets in lanes.
bool LaneSized(const RippleRow& row, const RippleBounds& b) {
  const int64_t rows = int64_t{b.bottom} - b.top, columns = int64_t{b.right} - b.left;
  const int64_t pitch = std::max(std::abs(int64_t{row.fromPitch}), std::abs(int64_t{row.toPitch}));
  return (rows + 1) * pitch + columns < int64_t{INT32_MAX} / 4;
}

}  // namespace

void RippleSampleMoves(int32_t* out, const uint16_t* displacement, int count, int xSign,
                       int ySign) {
  for (int c = 0; c < count; ++c) {
    const uint16_t e = displacement[c];
    const int32_t across = xSign * int8_t(e >> 8), down = ySign * int8_t(e & 0xFF);
    out[c] = int32_t(uint32_t(uint16_t(int16_t(across))) | uint32_t(down) << 16);
  }
}

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
  if (WideVectorsEnabled()) return (row.codeStep > 0 ? RowAvx2<1> : RowAvx2<-1>)(row);
  (row.codeStep > 0 ? RowSse2<1> : RowSse2<-1>)(row);
}

void RippleRowEdgeSafeVector(const RippleRow& given, const RippleBounds& b) {
  const RippleRow row = given;
  if (!WideVectorsEnabled() || row.moves == nullptr || !LaneSized(row, b))
    return RippleRowEdgeSafe(row, b);
  (row.codeStep > 0 ? EdgeSafeAvx2<1> : EdgeSafeAvx2<-1>)(row, b);
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
