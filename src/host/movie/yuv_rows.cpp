#include "host/movie/yuv_rows.h"

#include <immintrin.h>

#include <cstring>

namespace bw::host {
namespace {

// 8.8 fixed point: 1.164 (Y - 16), 1.596 V, -0.391 U - 0.813 V, 2.018 U.
constexpr int32_t kY = 298;
constexpr int32_t kRv = 409;
constexpr int32_t kGu = -100;
constexpr int32_t kGv = -208;
constexpr int32_t kBu = 516;
constexpr int32_t kRound = 128;

inline uint32_t Clamp8(int32_t value) {
  return static_cast<uint32_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

inline uint32_t Pixel(int32_t y, int32_t u, int32_t v) {
  const int32_t c = kY * (y - 16) + kRound;
  const int32_t d = u - 128;
  const int32_t e = v - 128;
  return 0xff000000u | Clamp8((c + kRv * e) >> 8) << 16 |
         Clamp8((c + kGu * d + kGv * e) >> 8) << 8 | Clamp8((c + kBu * d) >> 8);
}

// Two 16-bit coefficients as one madd pair: lo multiplies the even lane, hi the odd one.
inline __m128i Pair(int32_t lo, int32_t hi) {
  return _mm_set1_epi32(
      static_cast<int32_t>(static_cast<uint32_t>(hi) << 16 | static_cast<uint16_t>(lo)));
}

// Eight pixels from x (even): luma and chroma terms in 32 bits, so the sums equal Pixel's.
template <bool kStream>
inline void Eight(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out) {
  const __m128i zero = _mm_setzero_si128();
  __m128i luma = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y)), zero);
  luma = _mm_sub_epi16(luma, _mm_set1_epi16(16));
  const __m128i one = _mm_set1_epi16(1);
  const __m128i yTerm = Pair(kY, kRound);
  const __m128i y0 = _mm_madd_epi16(_mm_unpacklo_epi16(luma, one), yTerm);
  const __m128i y1 = _mm_madd_epi16(_mm_unpackhi_epi16(luma, one), yTerm);

  int32_t u4 = 0, v4 = 0;
  std::memcpy(&u4, u, 4);
  std::memcpy(&v4, v, 4);
  __m128i uv = _mm_unpacklo_epi8(_mm_cvtsi32_si128(u4), _mm_cvtsi32_si128(v4));
  uv = _mm_sub_epi16(_mm_unpacklo_epi8(uv, zero), _mm_set1_epi16(128));  // u0 v0 u1 v1 ...

  auto channel = [&](__m128i coefficients) {
    const __m128i chroma = _mm_madd_epi16(uv, coefficients);
    const __m128i lo = _mm_srai_epi32(_mm_add_epi32(y0, _mm_unpacklo_epi32(chroma, chroma)), 8);
    const __m128i hi = _mm_srai_epi32(_mm_add_epi32(y1, _mm_unpackhi_epi32(chroma, chroma)), 8);
    return _mm_packs_epi32(lo, hi);
  };
  const __m128i b = channel(Pair(kBu, 0));
  const __m128i g = channel(Pair(kGu, kGv));
  const __m128i r = channel(Pair(0, kRv));
  const __m128i bg = _mm_packus_epi16(b, g);                             // b0..b7 g0..g7
  const __m128i ra = _mm_packus_epi16(r, _mm_set1_epi16(255));           // r0..r7 ff..ff
  const __m128i bgPairs = _mm_unpacklo_epi8(bg, _mm_srli_si128(bg, 8));  // b0 g0 b1 g1 ...
  const __m128i raPairs = _mm_unpacklo_epi8(ra, _mm_srli_si128(ra, 8));  // r0 ff r1 ff ...
  auto* to = reinterpret_cast<__m128i*>(out);
  if constexpr (kStream) {
    _mm_stream_si128(to, _mm_unpacklo_epi16(bgPairs, raPairs));
    _mm_stream_si128(to + 1, _mm_unpackhi_epi16(bgPairs, raPairs));
  } else {
    _mm_storeu_si128(to, _mm_unpacklo_epi16(bgPairs, raPairs));
    _mm_storeu_si128(to + 1, _mm_unpackhi_epi16(bgPairs, raPairs));
  }
}

// One channel of sixteen pixels, 0-7 then 8-15, from the luma terms of pixels 0-3 and 8-11 (y0)
// and 4-7 and 12-15 (y1).
__attribute__((target("avx2"))) inline __m256i Channel16(__m256i uv, __m256i y0, __m256i y1,
                                                         __m128i pair) {
  const __m256i chroma = _mm256_madd_epi16(uv, _mm256_broadcastsi128_si256(pair));
  const __m256i lo =
      _mm256_srai_epi32(_mm256_add_epi32(y0, _mm256_unpacklo_epi32(chroma, chroma)), 8);
  const __m256i hi =
      _mm256_srai_epi32(_mm256_add_epi32(y1, _mm256_unpackhi_epi32(chroma, chroma)), 8);
  return _mm256_packs_epi32(lo, hi);
}

// Sixteen pixels from x (even), as Eight does it in each 128-bit half.
template <bool kStream>
__attribute__((target("avx2"))) inline void Sixteen(const uint8_t* y, const uint8_t* u,
                                                    const uint8_t* v, uint32_t* out) {
  __m256i luma = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y)));
  luma = _mm256_sub_epi16(luma, _mm256_set1_epi16(16));
  const __m256i one = _mm256_set1_epi16(1);
  const __m256i yTerm = _mm256_set1_epi32(kRound << 16 | kY);
  // Halves: pixels 0-3 and 8-11, then 4-7 and 12-15.
  const __m256i y0 = _mm256_madd_epi16(_mm256_unpacklo_epi16(luma, one), yTerm);
  const __m256i y1 = _mm256_madd_epi16(_mm256_unpackhi_epi16(luma, one), yTerm);

  const __m128i uv8 = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u)),
                                        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v)));
  const __m256i uv = _mm256_sub_epi16(_mm256_cvtepu8_epi16(uv8), _mm256_set1_epi16(128));

  const __m256i b = Channel16(uv, y0, y1, Pair(kBu, 0));
  const __m256i g = Channel16(uv, y0, y1, Pair(kGu, kGv));
  const __m256i r = Channel16(uv, y0, y1, Pair(0, kRv));
  const __m256i bg = _mm256_packus_epi16(b, g);
  const __m256i ra = _mm256_packus_epi16(r, _mm256_set1_epi16(255));
  const __m256i bgPairs = _mm256_unpacklo_epi8(bg, _mm256_srli_si256(bg, 8));
  const __m256i raPairs = _mm256_unpacklo_epi8(ra, _mm256_srli_si256(ra, 8));
  const __m256i lo = _mm256_unpacklo_epi16(bgPairs, raPairs);  // pixels 0-3, 8-11
  const __m256i hi = _mm256_unpackhi_epi16(bgPairs, raPairs);  // pixels 4-7, 12-15
  auto* to = reinterpret_cast<__m256i*>(out);
  if constexpr (kStream) {
    _mm256_stream_si256(to, _mm256_permute2x128_si256(lo, hi, 0x20));
    _mm256_stream_si256(to + 1, _mm256_permute2x128_si256(lo, hi, 0x31));
  } else {
    _mm256_storeu_si256(to, _mm256_permute2x128_si256(lo, hi, 0x20));
    _mm256_storeu_si256(to + 1, _mm256_permute2x128_si256(lo, hi, 0x31));
  }
}

}  // namespace

void YuvRowToXrgbPlain(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out,
                       int width) {
  for (int x = 0; x < width; ++x) out[x] = Pixel(y[x], u[x / 2], v[x / 2]);
}

void YuvRowToXrgbSse2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out,
                      int width, bool bypassCache) {
  int x = 0;
  if (bypassCache && reinterpret_cast<uintptr_t>(out) % 16 == 0) {
    for (; x + 8 <= width; x += 8) Eight<true>(y + x, u + x / 2, v + x / 2, out + x);
    _mm_sfence();
  } else {
    for (; x + 8 <= width; x += 8) Eight<false>(y + x, u + x / 2, v + x / 2, out + x);
  }
  YuvRowToXrgbPlain(y + x, u + x / 2, v + x / 2, out + x, width - x);
}

__attribute__((target("avx2"))) void YuvRowToXrgbAvx2(const uint8_t* y, const uint8_t* u,
                                                      const uint8_t* v, uint32_t* out, int width,
                                                      bool bypassCache) {
  int x = 0;
  if (bypassCache && reinterpret_cast<uintptr_t>(out) % 32 == 0) {
    for (; x + 16 <= width; x += 16) Sixteen<true>(y + x, u + x / 2, v + x / 2, out + x);
    _mm_sfence();
  } else {
    for (; x + 16 <= width; x += 16) Sixteen<false>(y + x, u + x / 2, v + x / 2, out + x);
  }
  YuvRowToXrgbSse2(y + x, u + x / 2, v + x / 2, out + x, width - x, false);
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

void YuvRowToXrgb(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out, int width,
                  bool bypassCache) {
  if (HasAvx2()) {
    YuvRowToXrgbAvx2(y, u, v, out, width, bypassCache);
  } else {
    YuvRowToXrgbSse2(y, u, v, out, width, bypassCache);
  }
}

}  // namespace bw::host
