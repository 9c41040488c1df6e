#include "graphics/pixel/turned_rows.h"

#include <immintrin.h>

#include <cstring>

#include "platform/mmx_flag.h"

namespace bw {

namespace {

inline uint32_t SampleAt(const TurnedRow& row, int32_t x) {
  const double dx = x + row.nudge - row.originX;
  const double u = row.rowU + dx * row.uPerX, v = row.rowV + dx * row.vPerX;
  const int64_t sx = row.columnBase + row.columnSign * int64_t(u);
  const int64_t sy = row.rowBase + row.rowSign * int64_t(v);
  uint32_t sample;
  std::memcpy(&sample, row.pixels + sy * row.pitch + 4 * sx, 4);
  return sample;
}

// Four truncated positions along one axis for pixels x .. x + 3 (xs holds them as doubles).
__attribute__((target("avx2"))) inline __m128i Truncated(__m256d xs, __m256d nudge, __m256d origin,
                                                         __m256d base, __m256d per) {
  const __m256d dx = _mm256_sub_pd(_mm256_add_pd(xs, nudge), origin);
  return _mm256_cvttpd_epi32(_mm256_add_pd(base, _mm256_mul_pd(dx, per)));
}

__attribute__((target("avx2"))) void SamplesAvx2(uint32_t* out, const TurnedRow& row, int32_t first,
                                                 int count) {
  const __m256d nudge = _mm256_set1_pd(row.nudge), origin = _mm256_set1_pd(row.originX);
  const __m256d rowU = _mm256_set1_pd(row.rowU), rowV = _mm256_set1_pd(row.rowV);
  const __m256d uPer = _mm256_set1_pd(row.uPerX), vPer = _mm256_set1_pd(row.vPerX);
  const __m256d lanes = _mm256_setr_pd(0, 1, 2, 3), four = _mm256_set1_pd(4);
  const __m256i columnBase = _mm256_set1_epi32(int32_t(row.columnBase));
  const __m256i rowBase = _mm256_set1_epi32(int32_t(row.rowBase));
  const __m256i columnSign = _mm256_set1_epi32(row.columnSign);
  const __m256i rowSign = _mm256_set1_epi32(row.rowSign);
  const __m256i pitch = _mm256_set1_epi32(int32_t(row.pitch / 4));
  const int* base = reinterpret_cast<const int*>(row.pixels);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    // Whole numbers below 2^31 are exact in doubles, so the lanes hold x itself.
    const __m256d lo = _mm256_add_pd(_mm256_set1_pd(double(first + i)), lanes);
    const __m256d hi = _mm256_add_pd(lo, four);
    const __m256i u = _mm256_set_m128i(Truncated(hi, nudge, origin, rowU, uPer),
                                       Truncated(lo, nudge, origin, rowU, uPer));
    const __m256i v = _mm256_set_m128i(Truncated(hi, nudge, origin, rowV, vPer),
                                       Truncated(lo, nudge, origin, rowV, vPer));
    const __m256i sx = _mm256_add_epi32(columnBase, _mm256_mullo_epi32(u, columnSign));
    const __m256i sy = _mm256_add_epi32(rowBase, _mm256_mullo_epi32(v, rowSign));
    const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(sy, pitch), sx);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_i32gather_epi32(base, at, 4));
  }
  for (; i < count; ++i) out[i] = SampleAt(row, first + i);
}

}  // namespace

void TurnedRowSamples(uint32_t* out, const TurnedRow& row, int32_t first, int count) {
  for (int i = 0; i < count; ++i) out[i] = SampleAt(row, first + i);
}

void TurnedRowSamplesMmx(uint32_t* out, const TurnedRow& row, int32_t first, int count) {
  if (WideVectorsEnabled() && row.smallOffsets && row.columnBase >= INT32_MIN &&
      row.columnBase <= INT32_MAX && row.rowBase >= INT32_MIN && row.rowBase <= INT32_MAX) {
    return SamplesAvx2(out, row, first, count);
  }
  TurnedRowSamples(out, row, first, count);
}

}  // namespace bw
