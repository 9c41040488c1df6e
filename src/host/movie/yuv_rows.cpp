#include "host/movie/yuv_rows.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

namespace bw::host {
namespace {

// 6 fractional bits, so that every sum fits a signed 16-bit lane: 74.5 (y - 16) for luma,
// 1.594 V, -0.391 U - 0.813 V and 2.016 U for chroma, 0.5 for rounding. Within one of exact
// BT.601 for every y, u and v.
constexpr int32_t kLumaTimesTwo = 149;  // luma term = (149 y) >> 1
constexpr int32_t kRv = 102;
constexpr int32_t kGu = -25;
constexpr int32_t kGv = -52;
constexpr int32_t kBu = 129;
constexpr int32_t kShift = 6;
constexpr int32_t kLumaBias = -(kLumaTimesTwo * 16 / 2) + (1 << (kShift - 1));
// Each channel's chroma term with the biases folded in: coefficient x raw byte + base.
constexpr int32_t kRBase = kLumaBias - 128 * kRv;
constexpr int32_t kGBase = kLumaBias - 128 * (kGu + kGv);
constexpr int32_t kBBase = kLumaBias - 128 * kBu;
// Luma as a high multiply of y << 8: (y << 8) x 19072 >> 16 = 74.5 y.
constexpr int32_t kLumaHigh = kLumaTimesTwo << 7;
static_assert(kLumaHigh <= UINT16_MAX);
// Sums stay above the signed 16-bit floor; above its ceiling the lane saturates, which still
// clamps to 255.
static_assert(kBBase >= INT16_MIN && kRBase >= INT16_MIN &&
              kGBase + 255 * (kGu + kGv) >= INT16_MIN);
static_assert(kRv <= 127 && kGu >= -128 && kGv >= -128, "byte coefficients for the wide kernel");

inline uint32_t Clamp8(int32_t value) {
  return static_cast<uint32_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

inline uint32_t Pixel(int32_t y, int32_t u, int32_t v) {
  const int32_t luma = (kLumaTimesTwo * y) >> 1;
  return 0xff000000u | Clamp8((luma + kRv * v + kRBase) >> kShift) << 16 |
         Clamp8((luma + kGu * u + kGv * v + kGBase) >> kShift) << 8 |
         Clamp8((luma + kBu * u + kBBase) >> kShift);
}

// Eight pixels from x (even) in 16-bit lanes. The chroma products wrap in their lanes, but each
// term with its base lands back in range, as Pixel's does.
template <bool kStream>
inline void Eight(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i luma =
      _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(y))),
                      _mm_set1_epi16(static_cast<int16_t>(kLumaHigh)));
  int32_t u4 = 0, v4 = 0;
  std::memcpy(&u4, u, 4);
  std::memcpy(&v4, v, 4);
  // Each chroma sample twice, for its two pixels.
  __m128i us = _mm_unpacklo_epi8(_mm_cvtsi32_si128(u4), zero);
  __m128i vs = _mm_unpacklo_epi8(_mm_cvtsi32_si128(v4), zero);
  us = _mm_unpacklo_epi16(us, us);
  vs = _mm_unpacklo_epi16(vs, vs);
  auto channel = [&](__m128i term) { return _mm_srai_epi16(_mm_adds_epi16(luma, term), kShift); };
  const __m128i r = channel(_mm_add_epi16(_mm_mullo_epi16(vs, _mm_set1_epi16(kRv)),
                                          _mm_set1_epi16(static_cast<int16_t>(kRBase))));
  const __m128i g = channel(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(us, _mm_set1_epi16(kGu)),
                                                        _mm_mullo_epi16(vs, _mm_set1_epi16(kGv))),
                                          _mm_set1_epi16(static_cast<int16_t>(kGBase))));
  const __m128i b = channel(_mm_add_epi16(_mm_mullo_epi16(us, _mm_set1_epi16(kBu)),
                                          _mm_set1_epi16(static_cast<int16_t>(kBBase))));
  const __m128i bg = _mm_unpacklo_epi8(_mm_packus_epi16(b, b), _mm_packus_epi16(g, g));
  const __m128i ra = _mm_unpacklo_epi8(_mm_packus_epi16(r, r), _mm_set1_epi8(-1));
  auto* to = reinterpret_cast<__m128i*>(out);
  if constexpr (kStream) {
    _mm_stream_si128(to, _mm_unpacklo_epi16(bg, ra));
    _mm_stream_si128(to + 1, _mm_unpackhi_epi16(bg, ra));
  } else {
    _mm_storeu_si128(to, _mm_unpacklo_epi16(bg, ra));
    _mm_storeu_si128(to + 1, _mm_unpackhi_epi16(bg, ra));
  }
}

// Signed coefficients for the low and high byte of a word, for maddubs.
constexpr int16_t BytePair(int32_t lo, int32_t hi) {
  return static_cast<int16_t>(static_cast<uint8_t>(hi) << 8 | static_cast<uint8_t>(lo));
}

// What one chroma sample adds to each channel, per pixel (its sample repeated for two pixels).
struct ChromaTerms {
  __m256i r, g, b;
};

// uv: one word per pixel, u in the low byte and v in the high one.
__attribute__((target("avx2"))) inline ChromaTerms Terms(__m256i uv) {
  ChromaTerms t;
  t.r = _mm256_add_epi16(_mm256_maddubs_epi16(uv, _mm256_set1_epi16(BytePair(0, kRv))),
                         _mm256_set1_epi16(static_cast<int16_t>(kRBase)));
  t.g = _mm256_add_epi16(_mm256_maddubs_epi16(uv, _mm256_set1_epi16(BytePair(kGu, kGv))),
                         _mm256_set1_epi16(static_cast<int16_t>(kGBase)));
  t.b = _mm256_add_epi16(
      _mm256_mullo_epi16(_mm256_and_si256(uv, _mm256_set1_epi16(0xff)), _mm256_set1_epi16(kBu)),
      _mm256_set1_epi16(static_cast<int16_t>(kBBase)));
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

__attribute__((target("avx2"))) inline __m256i Channel(__m256i luma, __m256i term) {
  return _mm256_srai_epi16(_mm256_adds_epi16(luma, term), kShift);
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
  const __m256i high = _mm256_set1_epi16(static_cast<int16_t>(kLumaHigh));
  const __m256i yA = _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, bytes), high);
  const __m256i yB = _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, bytes), high);
  const __m256i r = _mm256_packus_epi16(Channel(yA, a.r), Channel(yB, b.r));
  const __m256i g = _mm256_packus_epi16(Channel(yA, a.g), Channel(yB, b.g));
  const __m256i bl = _mm256_packus_epi16(Channel(yA, a.b), Channel(yB, b.b));
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
  return x;
}

// The same arithmetic 64 pixels at a time. Dwords gathered so that, after the per-lane unpacks
// and packs, each lane k holds pixels 4k to 4k + 3 of each 16 that a store writes.
__attribute__((target("avx512f,avx512bw"))) inline __m512i StoreOrder512(__m512i dwords) {
  // The masked form: GCC's plain one warns of its own undefined filler.
  return _mm512_maskz_permutexvar_epi32(
      0xffff, _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15), dwords);
}

struct ChromaTerms512 {
  __m512i r, g, b;
};

__attribute__((target("avx512f,avx512bw"))) inline ChromaTerms512 Terms512(__m512i uv) {
  ChromaTerms512 t;
  t.r = _mm512_add_epi16(_mm512_maddubs_epi16(uv, _mm512_set1_epi16(BytePair(0, kRv))),
                         _mm512_set1_epi16(static_cast<int16_t>(kRBase)));
  t.g = _mm512_add_epi16(_mm512_maddubs_epi16(uv, _mm512_set1_epi16(BytePair(kGu, kGv))),
                         _mm512_set1_epi16(static_cast<int16_t>(kGBase)));
  t.b = _mm512_add_epi16(
      _mm512_mullo_epi16(_mm512_and_si512(uv, _mm512_set1_epi16(0xff)), _mm512_set1_epi16(kBu)),
      _mm512_set1_epi16(static_cast<int16_t>(kBBase)));
  return t;
}

// Chroma for 64 pixels of a row: words of pixels 0-15 and 16-31 of each lane's four in a, the
// rest in b.
__attribute__((target("avx512f,avx512bw"))) inline void Chroma64(const uint8_t* u, const uint8_t* v,
                                                                 ChromaTerms512* a,
                                                                 ChromaTerms512* b) {
  const __m512i us = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(u)));
  const __m512i vs = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(v)));
  const __m512i uv = StoreOrder512(_mm512_or_si512(us, _mm512_slli_epi16(vs, 8)));
  *a = Terms512(_mm512_unpacklo_epi16(uv, uv));
  *b = Terms512(_mm512_unpackhi_epi16(uv, uv));
}

__attribute__((target("avx512f,avx512bw"))) inline __m512i Channel512(__m512i luma, __m512i term) {
  return _mm512_srai_epi16(_mm512_adds_epi16(luma, term), kShift);
}

template <bool kStream>
__attribute__((target("avx512f"))) inline void Put512(__m512i* to, __m512i value) {
  if constexpr (kStream) {
    _mm512_stream_si512(to, value);
  } else {
    _mm512_storeu_si512(to, value);
  }
}

template <bool kStream>
__attribute__((target("avx512f,avx512bw"))) inline void Row64(const uint8_t* y,
                                                              const ChromaTerms512& a,
                                                              const ChromaTerms512& b,
                                                              uint32_t* out) {
  const __m512i zero = _mm512_setzero_si512();
  const __m512i bytes = StoreOrder512(_mm512_loadu_si512(y));
  const __m512i high = _mm512_set1_epi16(static_cast<int16_t>(kLumaHigh));
  const __m512i yA = _mm512_mulhi_epu16(_mm512_unpacklo_epi8(zero, bytes), high);
  const __m512i yB = _mm512_mulhi_epu16(_mm512_unpackhi_epi8(zero, bytes), high);
  const __m512i r = _mm512_packus_epi16(Channel512(yA, a.r), Channel512(yB, b.r));
  const __m512i g = _mm512_packus_epi16(Channel512(yA, a.g), Channel512(yB, b.g));
  const __m512i bl = _mm512_packus_epi16(Channel512(yA, a.b), Channel512(yB, b.b));
  const __m512i opaque = _mm512_set1_epi8(-1);
  const __m512i bgA = _mm512_unpacklo_epi8(bl, g), bgB = _mm512_unpackhi_epi8(bl, g);
  const __m512i raA = _mm512_unpacklo_epi8(r, opaque), raB = _mm512_unpackhi_epi8(r, opaque);
  const __m512i pixels[4] = {_mm512_unpacklo_epi16(bgA, raA), _mm512_unpackhi_epi16(bgA, raA),
                             _mm512_unpacklo_epi16(bgB, raB), _mm512_unpackhi_epi16(bgB, raB)};
  auto* to = reinterpret_cast<__m512i*>(out);
  for (int i = 0; i < 4; ++i) Put512<kStream>(to + i, pixels[i]);
}

template <bool kStream>
__attribute__((target("avx512f,avx512bw"))) int Rows64(const uint8_t* y0, const uint8_t* y1,
                                                       const uint8_t* u, const uint8_t* v,
                                                       uint32_t* out0, uint32_t* out1, int width) {
  int x = 0;
  for (; x + 64 <= width; x += 64) {
    ChromaTerms512 a, b;
    Chroma64(u + x / 2, v + x / 2, &a, &b);
    Row64<kStream>(y0 + x, a, b, out0 + x);
    if (out1) Row64<kStream>(y1 + x, a, b, out1 + x);
  }
  return x;
}

// With byte permutes (VBMI) the same sums take fewer shuffles: luma and chroma come in pixel
// order straight from their bytes, and one two-table permute puts each 16 pixels' b, g and r
// bytes in place, the alpha byte coming from the index itself.
struct VbmiTables {
  uint8_t lumaA[64], lumaB[64];      // pixel w (32 + w) into the high byte of word w
  uint8_t chromaA[64], chromaB[64];  // u and v of pixel w (32 + w) into word w
  uint8_t out[4][64];                // a store's 16 pixels from the packed channels
};

constexpr VbmiTables MakeVbmiTables() {
  VbmiTables t{};
  for (int w = 0; w < 32; ++w) {
    t.lumaA[2 * w + 1] = static_cast<uint8_t>(w);
    t.lumaB[2 * w + 1] = static_cast<uint8_t>(32 + w);
    t.chromaA[2 * w] = static_cast<uint8_t>(w / 2);
    t.chromaA[2 * w + 1] = static_cast<uint8_t>(64 + w / 2);
    t.chromaB[2 * w] = static_cast<uint8_t>(16 + w / 2);
    t.chromaB[2 * w + 1] = static_cast<uint8_t>(64 + 16 + w / 2);
  }
  // Packed per 16-byte lane k: blue and green of pixels 8k + j (of the half) at j and 8 + j of
  // the first table; red of pixels 8k + j at j of the second, of pixels 32 + 8k + j at 8 + j.
  for (int store = 0; store < 4; ++store) {
    for (int i = 0; i < 16; ++i) {
      const int p = (store % 2) * 16 + i, k = p / 8, j = p % 8;
      t.out[store][4 * i] = static_cast<uint8_t>(16 * k + j);
      t.out[store][4 * i + 1] = static_cast<uint8_t>(16 * k + 8 + j);
      t.out[store][4 * i + 2] = static_cast<uint8_t>(64 + 16 * k + (store / 2) * 8 + j);
      t.out[store][4 * i + 3] = 0xff;
    }
  }
  return t;
}

alignas(64) constexpr VbmiTables kVbmi = MakeVbmiTables();

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i Table(const uint8_t* bytes) {
  return _mm512_load_si512(bytes);
}

template <bool kStream>
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline void Row64Vbmi(
    const uint8_t* y, const ChromaTerms512& a, const ChromaTerms512& b, uint32_t* out) {
  const __m512i bytes = _mm512_loadu_si512(y);
  constexpr __mmask64 kHighBytes = 0xAAAAAAAAAAAAAAAAull;
  const __m512i high = _mm512_set1_epi16(static_cast<int16_t>(kLumaHigh));
  const __m512i yA = _mm512_mulhi_epu16(
      _mm512_maskz_permutexvar_epi8(kHighBytes, Table(kVbmi.lumaA), bytes), high);
  const __m512i yB = _mm512_mulhi_epu16(
      _mm512_maskz_permutexvar_epi8(kHighBytes, Table(kVbmi.lumaB), bytes), high);
  const __m512i bgA = _mm512_packus_epi16(Channel512(yA, a.b), Channel512(yA, a.g));
  const __m512i bgB = _mm512_packus_epi16(Channel512(yB, b.b), Channel512(yB, b.g));
  const __m512i r = _mm512_packus_epi16(Channel512(yA, a.r), Channel512(yB, b.r));
  // Bytes 3 of each pixel keep the index's 0xff.
  constexpr __mmask64 kColour = 0x7777777777777777ull;
  auto* to = reinterpret_cast<__m512i*>(out);
  for (int i = 0; i < 4; ++i) {
    Put512<kStream>(
        to + i, _mm512_mask2_permutex2var_epi8(i < 2 ? bgA : bgB, Table(kVbmi.out[i]), kColour, r));
  }
}

template <bool kStream>
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) int Rows64Vbmi(
    const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint32_t* out0,
    uint32_t* out1, int width) {
  int x = 0;
  for (; x + 64 <= width; x += 64) {
    // 32 bytes of each; the permutes read only those.
    const __m512i us =
        _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(u + x / 2)));
    const __m512i vs =
        _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + x / 2)));
    const ChromaTerms512 a = Terms512(_mm512_permutex2var_epi8(us, Table(kVbmi.chromaA), vs));
    const ChromaTerms512 b = Terms512(_mm512_permutex2var_epi8(us, Table(kVbmi.chromaB), vs));
    Row64Vbmi<kStream>(y0 + x, a, b, out0 + x);
    if (out1) Row64Vbmi<kStream>(y1 + x, a, b, out1 + x);
  }
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
  } else {
    for (; x + 8 <= width; x += 8) Eight<false>(y + x, u + x / 2, v + x / 2, out + x);
  }
  YuvRowToXrgbPlain(y + x, u + x / 2, v + x / 2, out + x, width - x);
}

__attribute__((target("avx2"))) void YuvRowPairToXrgbAvx2(const uint8_t* y0, const uint8_t* y1,
                                                          const uint8_t* u, const uint8_t* v,
                                                          uint32_t* out0, uint32_t* out1, int width,
                                                          bool bypassCache) {
  const auto at0 = reinterpret_cast<uintptr_t>(out0);
  const uintptr_t at1 = out1 ? reinterpret_cast<uintptr_t>(out1) : at0;
  int x = 0;
  if (bypassCache && (at0 | at1) % 32 == 0) {
    x = Rows32<Store::kStream>(y0, y1, u, v, out0, out1, width);
  } else if (bypassCache && at0 % 32 == 16 && (at0 ^ at1) % 32 == 0 && width >= 4 + 32) {
    // Rows a half vector off: four pixels bring both to where whole vectors stream.
    constexpr int kLead = 4;
    YuvRowToXrgbPlain(y0, u, v, out0, kLead);
    if (out1) YuvRowToXrgbPlain(y1, u, v, out1, kLead);
    x = kLead + Rows32<Store::kStream>(y0 + kLead, out1 ? y1 + kLead : nullptr, u + kLead / 2,
                                       v + kLead / 2, out0 + kLead, out1 ? out1 + kLead : nullptr,
                                       width - kLead);
  } else if (bypassCache && (at0 | at1) % 16 == 0) {
    x = Rows32<Store::kStreamHalves>(y0, y1, u, v, out0, out1, width);
  } else {
    x = Rows32<Store::kCached>(y0, y1, u, v, out0, out1, width);
  }
  _mm256_zeroupper();  // the 128-bit tail would wait on dirty upper halves
  YuvRowToXrgbSse2(y0 + x, u + x / 2, v + x / 2, out0 + x, width - x, false);
  if (out1) YuvRowToXrgbSse2(y1 + x, u + x / 2, v + x / 2, out1 + x, width - x, false);
}

void YuvRowToXrgbAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out,
                      int width, bool bypassCache) {
  YuvRowPairToXrgbAvx2(y, nullptr, u, v, out, nullptr, width, bypassCache);
}

namespace {

// The 64-pixel kernel a processor with AVX-512 runs, streamed or not.
template <bool kVbmi, bool kStream>
int Rows64Of(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v,
             uint32_t* out0, uint32_t* out1, int width) {
  if constexpr (kVbmi) {
    return Rows64Vbmi<kStream>(y0, y1, u, v, out0, out1, width);
  } else {
    return Rows64<kStream>(y0, y1, u, v, out0, out1, width);
  }
}

template <bool kVbmi>
void PairAvx512(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v,
                uint32_t* out0, uint32_t* out1, int width, bool bypassCache) {
  const auto at0 = reinterpret_cast<uintptr_t>(out0);
  const uintptr_t at1 = out1 ? reinterpret_cast<uintptr_t>(out1) : at0;
  int x = 0;
  if (bypassCache) {
    // Streaming wants whole vectors: an even number of pixels brings rows that share their
    // alignment there; others go the narrower way, which streams halves.
    const int lead = static_cast<int>((64 - at0 % 64) % 64 / 4);
    if ((at0 ^ at1) % 64 != 0 || at0 % 8 != 0 || width < lead + 64) {
      YuvRowPairToXrgbAvx2(y0, y1, u, v, out0, out1, width, true);
      return;
    }
    YuvRowPairToXrgbAvx2(y0, y1, u, v, out0, out1, lead, false);
    x = lead + Rows64Of<kVbmi, true>(y0 + lead, y1 ? y1 + lead : nullptr, u + lead / 2,
                                     v + lead / 2, out0 + lead, out1 ? out1 + lead : nullptr,
                                     width - lead);
  } else {
    x = Rows64Of<kVbmi, false>(y0, y1, u, v, out0, out1, width);
  }
  YuvRowPairToXrgbAvx2(y0 + x, y1 ? y1 + x : nullptr, u + x / 2, v + x / 2, out0 + x,
                       out1 ? out1 + x : nullptr, width - x, false);
}

}  // namespace

void YuvRowPairToXrgbAvx512(const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                            const uint8_t* v, uint32_t* out0, uint32_t* out1, int width,
                            bool bypassCache) {
  PairAvx512<false>(y0, y1, u, v, out0, out1, width, bypassCache);
}

void YuvRowPairToXrgbAvx512Vbmi(const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                                const uint8_t* v, uint32_t* out0, uint32_t* out1, int width,
                                bool bypassCache) {
  PairAvx512<true>(y0, y1, u, v, out0, out1, width, bypassCache);
}

bool HasAvx512() {
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  return has;
}

bool HasAvx512Vbmi() {
  static const bool has = HasAvx512() && __builtin_cpu_supports("avx512vbmi");
  return has;
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

void YuvRowToXrgb(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out, int width,
                  bool bypassCache) {
  if (HasAvx512Vbmi()) {
    YuvRowPairToXrgbAvx512Vbmi(y, nullptr, u, v, out, nullptr, width, bypassCache);
  } else if (HasAvx512()) {
    YuvRowPairToXrgbAvx512(y, nullptr, u, v, out, nullptr, width, bypassCache);
  } else if (HasAvx2()) {
    YuvRowToXrgbAvx2(y, u, v, out, width, bypassCache);
  } else {
    YuvRowToXrgbSse2(y, u, v, out, width, bypassCache);
  }
}

void YuvRowPairToXrgb(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v,
                      uint32_t* out0, uint32_t* out1, int width, bool bypassCache) {
  if (HasAvx512Vbmi()) {
    YuvRowPairToXrgbAvx512Vbmi(y0, y1, u, v, out0, out1, width, bypassCache);
  } else if (HasAvx512()) {
    YuvRowPairToXrgbAvx512(y0, y1, u, v, out0, out1, width, bypassCache);
  } else if (HasAvx2()) {
    YuvRowPairToXrgbAvx2(y0, y1, u, v, out0, out1, width, bypassCache);
  } else {
    YuvRowToXrgbSse2(y0, u, v, out0, width, bypassCache);
    YuvRowToXrgbSse2(y1, u, v, out1, width, bypassCache);
  }
}

}  // namespace bw::host
