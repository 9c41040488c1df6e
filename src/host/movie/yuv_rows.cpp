#include "host/movie/yuv_rows.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
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

// The wide kernel works in 16-bit lanes. 298 (y - 16) + k e + 128 splits into 256 (y - 16 + w e)
// plus 42 (y - 16) + p e + 128 with k = 256 w + p, so (sum >> 8) is (y - 16 + w e) plus
// (part >> 8) exactly, and every part stays within 16 bits.
constexpr int32_t kYPart = kY - 256;
constexpr int32_t kRvWhole = 2, kRvPart = kRv - 256 * kRvWhole;
constexpr int32_t kGvWhole = -1, kGvPart = kGv - 256 * kGvWhole;
constexpr int32_t kBuWhole = 2, kBuPart = kBu - 256 * kBuWhole;
// The parts' constants, so that the raw y, u and v bytes go in as they are.
constexpr int32_t kRPartBase = kRound - 16 * kYPart - 128 * kRvPart;
constexpr int32_t kGPartBase = kRound - 16 * kYPart - 128 * kGu - 128 * kGvPart;
constexpr int32_t kBPartBase = kRound - 16 * kYPart - 128 * kBuPart;
constexpr bool FitsInt16(int64_t low, int64_t high) {
  return low >= INT16_MIN && high <= INT16_MAX;
}
static_assert(kRvPart >= -128 && kGu >= -128 && kGvPart <= 127, "byte coefficients");
static_assert(FitsInt16(kRPartBase + 255 * std::min(kRvPart, 0),
                        kRPartBase + 255 * kYPart + 255 * std::max(kRvPart, 0)));
static_assert(FitsInt16(kGPartBase + 255 * kGu, kGPartBase + 255 * kYPart + 255 * kGvPart));
static_assert(FitsInt16(kBPartBase, kBPartBase + 255 * kYPart + 255 * kBuPart));

// Signed coefficients for the low and high byte of a word, for maddubs.
constexpr int16_t BytePair(int32_t lo, int32_t hi) {
  return static_cast<int16_t>(static_cast<uint8_t>(hi) << 8 | static_cast<uint8_t>(lo));
}

// What one chroma sample adds to each channel, per pixel (its sample repeated for two pixels).
struct ChromaTerms {
  __m256i rPart, gPart, bPart, rWhole, gWhole, bWhole;
};

// uv: one word per pixel, u in the low byte and v in the high one.
__attribute__((target("avx2"))) inline ChromaTerms Terms(__m256i uv) {
  const __m256i u = _mm256_and_si256(uv, _mm256_set1_epi16(0xff));
  const __m256i v = _mm256_srli_epi16(uv, 8);
  ChromaTerms t;
  t.rPart = _mm256_add_epi16(_mm256_mullo_epi16(v, _mm256_set1_epi16(kRvPart)),
                             _mm256_set1_epi16(kRPartBase));
  t.gPart = _mm256_add_epi16(_mm256_maddubs_epi16(uv, _mm256_set1_epi16(BytePair(kGu, kGvPart))),
                             _mm256_set1_epi16(kGPartBase));
  t.bPart = _mm256_add_epi16(_mm256_mullo_epi16(u, _mm256_set1_epi16(kBuPart)),
                             _mm256_set1_epi16(kBPartBase));
  t.rWhole = _mm256_add_epi16(_mm256_mullo_epi16(v, _mm256_set1_epi16(kRvWhole)),
                              _mm256_set1_epi16(-16 - 128 * kRvWhole));
  t.gWhole = _mm256_add_epi16(_mm256_mullo_epi16(v, _mm256_set1_epi16(kGvWhole)),
                              _mm256_set1_epi16(-16 - 128 * kGvWhole));
  t.bWhole = _mm256_add_epi16(_mm256_mullo_epi16(u, _mm256_set1_epi16(kBuWhole)),
                              _mm256_set1_epi16(-16 - 128 * kBuWhole));
  return t;
}

// The rows' dwords in the order the stores want: after unpacking each lane to words and packing
// the channels, pixels come out 0-7, 8-15, 16-23, 24-31.
__attribute__((target("avx2"))) inline __m256i StoreOrder(__m256i dwords) {
  return _mm256_permutevar8x32_epi32(dwords, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
}

// Chroma for 32 pixels of a row: the first 16 pixels' terms in a, the rest in b.
__attribute__((target("avx2"))) inline void Chroma32(const uint8_t* u, const uint8_t* v,
                                                     ChromaTerms* a, ChromaTerms* b) {
  const __m128i u16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u));
  const __m128i v16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v));
  const __m256i uv =
      StoreOrder(_mm256_setr_m128i(_mm_unpacklo_epi8(u16, v16), _mm_unpackhi_epi8(u16, v16)));
  *a = Terms(_mm256_unpacklo_epi16(uv, uv));
  *b = Terms(_mm256_unpackhi_epi16(uv, uv));
}

__attribute__((target("avx2"))) inline __m256i Channel(__m256i whole, __m256i part, __m256i luma,
                                                       __m256i lumaPart) {
  return _mm256_add_epi16(_mm256_add_epi16(luma, whole),
                          _mm256_srai_epi16(_mm256_add_epi16(lumaPart, part), 8));
}

// Streaming needs the address aligned to the store: whole vectors, else halves.
enum class Store { kCached, kStream, kStreamHalves };

template <Store kStore>
__attribute__((target("avx2"))) inline void Put(__m256i* to, __m256i value) {
  if constexpr (kStore == Store::kStream) {
    _mm256_stream_si256(to, value);
  } else if constexpr (kStore == Store::kStreamHalves) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(to), _mm256_castsi256_si128(value));
    _mm_stream_si128(reinterpret_cast<__m128i*>(to) + 1, _mm256_extracti128_si256(value, 1));
  } else {
    _mm256_storeu_si256(to, value);
  }
}

// 32 pixels of one row from their chroma terms.
template <Store kStore>
__attribute__((target("avx2"))) inline void Row32(const uint8_t* y, const ChromaTerms& a,
                                                  const ChromaTerms& b, uint32_t* out) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i bytes = StoreOrder(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(y)));
  const __m256i yA = _mm256_unpacklo_epi8(bytes, zero);
  const __m256i yB = _mm256_unpackhi_epi8(bytes, zero);
  // maddubs rather than mullo, which compilers turn into a longer chain of shifts and adds.
  const __m256i yPart = _mm256_set1_epi16(BytePair(kYPart, 0));
  const __m256i partA = _mm256_maddubs_epi16(yA, yPart);
  const __m256i partB = _mm256_maddubs_epi16(yB, yPart);
  const __m256i r = _mm256_packus_epi16(Channel(a.rWhole, a.rPart, yA, partA),
                                        Channel(b.rWhole, b.rPart, yB, partB));
  const __m256i g = _mm256_packus_epi16(Channel(a.gWhole, a.gPart, yA, partA),
                                        Channel(b.gWhole, b.gPart, yB, partB));
  const __m256i bl = _mm256_packus_epi16(Channel(a.bWhole, a.bPart, yA, partA),
                                         Channel(b.bWhole, b.bPart, yB, partB));
  const __m256i opaque = _mm256_set1_epi8(-1);
  const __m256i bgA = _mm256_unpacklo_epi8(bl, g), bgB = _mm256_unpackhi_epi8(bl, g);
  const __m256i raA = _mm256_unpacklo_epi8(r, opaque), raB = _mm256_unpackhi_epi8(r, opaque);
  const __m256i pixels[4] = {_mm256_unpacklo_epi16(bgA, raA), _mm256_unpackhi_epi16(bgA, raA),
                             _mm256_unpacklo_epi16(bgB, raB), _mm256_unpackhi_epi16(bgB, raB)};
  auto* to = reinterpret_cast<__m256i*>(out);
  for (int i = 0; i < 4; ++i) Put<kStore>(to + i, pixels[i]);
}

// Rows sharing their chroma row (second may be null), whole blocks of 32 pixels; answers the
// pixels done.
template <Store kStore>
__attribute__((target("avx2"))) int Rows32(const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                                           const uint8_t* v, uint32_t* out0, uint32_t* out1,
                                           int width) {
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    ChromaTerms a, b;
    Chroma32(u + x / 2, v + x / 2, &a, &b);
    Row32<kStore>(y0 + x, a, b, out0 + x);
    if (out1) Row32<kStore>(y1 + x, a, b, out1 + x);
  }
  if constexpr (kStore != Store::kCached) _mm_sfence();
  return x;
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

__attribute__((target("avx2"))) void YuvRowPairToXrgbAvx2(const uint8_t* y0, const uint8_t* y1,
                                                          const uint8_t* u, const uint8_t* v,
                                                          uint32_t* out0, uint32_t* out1, int width,
                                                          bool bypassCache) {
  const uintptr_t alignment =
      reinterpret_cast<uintptr_t>(out0) | (out1 ? reinterpret_cast<uintptr_t>(out1) : 0);
  int x = 0;
  if (bypassCache && alignment % 32 == 0) {
    x = Rows32<Store::kStream>(y0, y1, u, v, out0, out1, width);
  } else if (bypassCache && alignment % 16 == 0) {
    x = Rows32<Store::kStreamHalves>(y0, y1, u, v, out0, out1, width);
  } else {
    x = Rows32<Store::kCached>(y0, y1, u, v, out0, out1, width);
  }
  YuvRowToXrgbSse2(y0 + x, u + x / 2, v + x / 2, out0 + x, width - x, false);
  if (out1) YuvRowToXrgbSse2(y1 + x, u + x / 2, v + x / 2, out1 + x, width - x, false);
}

void YuvRowToXrgbAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out,
                      int width, bool bypassCache) {
  YuvRowPairToXrgbAvx2(y, nullptr, u, v, out, nullptr, width, bypassCache);
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

void YuvRowPairToXrgb(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v,
                      uint32_t* out0, uint32_t* out1, int width, bool bypassCache) {
  if (HasAvx2()) {
    YuvRowPairToXrgbAvx2(y0, y1, u, v, out0, out1, width, bypassCache);
  } else {
    YuvRowToXrgbSse2(y0, u, v, out0, width, bypassCache);
    YuvRowToXrgbSse2(y1, u, v, out1, width, bypassCache);
  }
}

}  // namespace bw::host
