#include "graphics/pixel/blend_kernels.h"

#include <immintrin.h>

#include <climits>
#include <type_traits>

#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/blend_walk.h"
#include "graphics/pixel/lerp.h"
#include "platform/mmx_flag.h"

namespace bw {

using namespace pixel_detail;

namespace {

struct Crossfade {
  const uint8_t* dstRows[3];
  const uint8_t* srcRows[3];
  Crossfade(uint32_t dstWeights, uint32_t srcWeights) {
    for (int c = 0; c < 3; ++c) {
      dstRows[c] = ProductTable[(dstWeights >> (8 * c)) & 0xFF];
      srcRows[c] = ProductTable[(srcWeights >> (8 * c)) & 0xFF];
    }
  }
  uint32_t Pixel(uint32_t d, uint32_t s) const {
    uint32_t out = d & 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
      uint32_t v = uint32_t(dstRows[c][(d >> (8 * c)) & 0xFF]) + srcRows[c][(s >> (8 * c)) & 0xFF];
      out |= (v > 255 ? 255 : v) << (8 * c);
    }
    return out;
  }
};

struct Opacity {
  uint32_t weight;
  __m128i lanes;
  explicit Opacity(int opacity)
      : weight(WeightTable[opacity & 0xFF][0]), lanes(PairWeights(weight, weight)) {}
  uint32_t Pixel(uint32_t d, uint32_t s) const { return LerpPlain(d, s, weight); }
  __m128i Four(__m128i d, __m128i s) const { return LerpFour(d, s, lanes, lanes); }
};

struct Weighted {
  uint32_t dstWeights, srcWeights;
  __m128i dstLanes, srcLanes;
  static __m128i Lanes(uint32_t w) {
    __m128i one = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(w)), _mm_setzero_si128());
    return _mm_unpacklo_epi64(one, one);
  }
  Weighted(uint32_t dw, uint32_t sw)
      : dstWeights(dw), srcWeights(sw), dstLanes(Lanes(dw)), srcLanes(Lanes(sw)) {}
  uint32_t Pixel(uint32_t d, uint32_t s) const {
    uint32_t out = 0;
    for (int c = 0; c < 32; c += 8) {
      uint32_t sum = ((s >> c) & 0xFF) * ((srcWeights >> c) & 0xFF) +
                     ((d >> c) & 0xFF) * ((dstWeights >> c) & 0xFF);
      sum = (sum > 0xFFFF ? 0xFFFF : sum) >> 8;
      out |= (sum > 255 ? 255 : sum) << c;
    }
    return out;
  }
  __m128i Half(__m128i d16, __m128i s16) const {
    __m128i sum = _mm_adds_epu16(_mm_mullo_epi16(s16, srcLanes), _mm_mullo_epi16(d16, dstLanes));
    return _mm_srli_epi16(sum, 8);
  }
  __m128i Four(__m128i d, __m128i s) const {
    const __m128i zero = _mm_setzero_si128();
    return _mm_packus_epi16(Half(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero)),
                            Half(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero)));
  }
};

struct AlphaAware {
  const uint8_t* keep;
  const uint8_t* take;
  __m128i keepLanes, takeLanes;
  int opacity;
  explicit AlphaAware(int o)
      : keep(ProductTable[255 - o]),
        take(ProductTable[o]),
        keepLanes(_mm_set1_epi16(short(255 - o))),
        takeLanes(_mm_set1_epi16(short(o))),
        opacity(o) {}
  // Four's bytes eight pixels at a time, without unpacking: blue and red in the 16-bit lanes of
  // the even bytes, green and alpha in those of the odd ones.
  __attribute__((target("avx2"))) __m256i Eight(__m256i d, __m256i s) const {
    const __m256i lowBytes = _mm256_set1_epi16(0xFF);
    const __m256i keepBy = _mm256_set1_epi16(short(255 - opacity));
    const __m256i takeBy = _mm256_set1_epi16(short(opacity));
    const __m256i rb = _mm256_add_epi16(Product16(_mm256_and_si256(d, lowBytes), keepBy),
                                        Product16(_mm256_and_si256(s, lowBytes), takeBy));
    const __m256i ga = _mm256_add_epi16(Product16(_mm256_srli_epi16(d, 8), keepBy),
                                        Product16(_mm256_srli_epi16(s, 8), takeBy));
    const __m256i mixed = _mm256_or_si256(rb, _mm256_slli_epi16(ga, 8));
    const __m256i alphaBits = _mm256_set1_epi32(int(0xFF000000u));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i clearSource = _mm256_cmpeq_epi32(_mm256_and_si256(s, alphaBits), zero);
    const __m256i clearTarget = _mm256_cmpeq_epi32(_mm256_and_si256(d, alphaBits), zero);
    __m256i colour = _mm256_blendv_epi8(mixed, s, clearTarget);
    colour = _mm256_blendv_epi8(colour, d, clearSource);
    return _mm256_blendv_epi8(colour, mixed, alphaBits);
  }
  __m128i Four(__m128i d, __m128i s) const {
    const __m128i zero = _mm_setzero_si128();
    const auto half = [&](__m128i d16, __m128i s16) {
      return _mm_add_epi16(Product16(d16, keepLanes), Product16(s16, takeLanes));
    };
    // Every byte as both alphas set; the sums stay within a byte, T[255 - o][255] + T[o][255].
    const __m128i mixed =
        _mm_packus_epi16(half(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero)),
                         half(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero)));
    const __m128i alphaBits = _mm_set1_epi32(int(0xFF000000u));
    const __m128i clearSource = _mm_cmpeq_epi32(_mm_and_si128(s, alphaBits), zero);
    const __m128i clearTarget = _mm_cmpeq_epi32(_mm_and_si128(d, alphaBits), zero);
    __m128i colour =
        _mm_or_si128(_mm_and_si128(clearTarget, s), _mm_andnot_si128(clearTarget, mixed));
    colour = _mm_or_si128(_mm_and_si128(clearSource, d), _mm_andnot_si128(clearSource, colour));
    return _mm_or_si128(_mm_andnot_si128(alphaBits, colour), _mm_and_si128(alphaBits, mixed));
  }
  uint32_t Pixel(uint32_t d, uint32_t s) const {
    uint32_t sa = s >> 24, da = d >> 24;
    uint32_t alpha = uint32_t(keep[da] + take[sa]) << 24;
    if (sa == 0) return (d & 0x00FFFFFFu) | alpha;
    if (da == 0) return (s & 0x00FFFFFFu) | alpha;
    uint32_t out = alpha;
    for (int c = 0; c < 24; c += 8) {
      out |= uint32_t(keep[(d >> c) & 0xFF] + take[(s >> c) & 0xFF]) << c;
    }
    return out;
  }
};

__attribute__((target("avx2"))) void AlphaAwareRowAvx2(uint32_t* dst, const uint32_t* src,
                                                       int width, const AlphaAware& op) {
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + x));
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), op.Eight(d, s));
  }
  _mm256_zeroupper();  // the 128-bit tail would wait on dirty upper halves
  BlendRowVector<false>(dst + x, src + x, width - x, op, 0);
}

struct Average {
  uint32_t Pixel(uint32_t d, uint32_t s) const { return (s & d) + (((s ^ d) >> 1) & 0x007F7F7Fu); }
  __m128i Four(__m128i d, __m128i s) const {
    __m128i half =
        _mm_and_si128(_mm_srli_epi32(_mm_xor_si128(s, d), 1), _mm_set1_epi32(0x007F7F7F));
    return _mm_add_epi32(_mm_and_si128(s, d), half);
  }
};

struct Add {
  uint32_t Pixel(uint32_t d, uint32_t s) const { return AddBytesSaturated(d, s); }
  __m128i Four(__m128i d, __m128i s) const { return _mm_adds_epu8(d, s); }
};

struct Subtract {
  uint32_t Pixel(uint32_t d, uint32_t s) const { return SubtractBytesSaturated(d, s); }
  __m128i Four(__m128i d, __m128i s) const { return _mm_subs_epu8(d, s); }
};

// Saturating byte arithmetic is the same at any vector width: the 256-bit rows give the bytes of
// the 128-bit ones. Stores are aligned after a few single pixels.
template <bool kAdd>
__attribute__((target("avx2"))) inline __m256i Saturated8(const uint32_t* dst,
                                                          const uint32_t* src) {
  __m256i d = _mm256_load_si256(reinterpret_cast<const __m256i*>(dst));
  __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
  return kAdd ? _mm256_adds_epu8(d, s) : _mm256_subs_epu8(d, s);
}
template <bool kAdd>
__attribute__((target("avx2"))) void SaturatedRowAvx2(uint32_t* dst, const uint32_t* src,
                                                      int width) {
  int x = 0;
  for (; x < width && reinterpret_cast<uintptr_t>(dst + x) % 32 != 0; ++x) {
    dst[x] = kAdd ? AddBytesSaturated(dst[x], src[x]) : SubtractBytesSaturated(dst[x], src[x]);
  }
  for (; x + 16 <= width; x += 16) {
    __m256i a = Saturated8<kAdd>(dst + x, src + x);
    __m256i b = Saturated8<kAdd>(dst + x + 8, src + x + 8);
    _mm256_store_si256(reinterpret_cast<__m256i*>(dst + x), a);
    _mm256_store_si256(reinterpret_cast<__m256i*>(dst + x + 8), b);
  }
  for (; x + 8 <= width; x += 8) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(dst + x), Saturated8<kAdd>(dst + x, src + x));
  }
  for (; x < width; ++x) {
    dst[x] = kAdd ? AddBytesSaturated(dst[x], src[x]) : SubtractBytesSaturated(dst[x], src[x]);
  }
}

template <bool kAdd>
inline __m128i Saturated4(const uint32_t* dst, const uint32_t* src) {
  __m128i d = _mm_load_si128(reinterpret_cast<const __m128i*>(dst));
  __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  return kAdd ? _mm_adds_epu8(d, s) : _mm_subs_epu8(d, s);
}
template <bool kAdd>
void SaturatedRowSse2(uint32_t* dst, const uint32_t* src, int width) {
  int x = 0;
  for (; x < width && reinterpret_cast<uintptr_t>(dst + x) % 16 != 0; ++x) {
    dst[x] = kAdd ? AddBytesSaturated(dst[x], src[x]) : SubtractBytesSaturated(dst[x], src[x]);
  }
  for (; x + 8 <= width; x += 8) {
    __m128i a = Saturated4<kAdd>(dst + x, src + x);
    __m128i b = Saturated4<kAdd>(dst + x + 4, src + x + 4);
    _mm_store_si128(reinterpret_cast<__m128i*>(dst + x), a);
    _mm_store_si128(reinterpret_cast<__m128i*>(dst + x + 4), b);
  }
  for (; x + 4 <= width; x += 4) {
    _mm_store_si128(reinterpret_cast<__m128i*>(dst + x), Saturated4<kAdd>(dst + x, src + x));
  }
  for (; x < width; ++x) {
    dst[x] = kAdd ? AddBytesSaturated(dst[x], src[x]) : SubtractBytesSaturated(dst[x], src[x]);
  }
}

// Three-operand lerps with one weight for the whole row.
__attribute__((target("avx2"))) void OpacityRowOfAvx2(uint32_t* dst, const uint32_t* from,
                                                      const uint32_t* src, int width, uint32_t w) {
  const __m256i takeRb = _mm256_set1_epi32(int(w | w << 16)), takeGa = _mm256_set1_epi32(int(w));
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + x));
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x),
                        LerpEightInLanes(d, s, takeRb, takeGa));
  }
  for (; x < width; ++x) dst[x] = LerpPlain(from[x], src[x], w);
}
void OpacityRowOfSse2(uint32_t* dst, const uint32_t* from, const uint32_t* src, int width,
                      uint32_t w) {
  const __m128i takeRb = _mm_set1_epi32(int(w | w << 16)), takeGa = _mm_set1_epi32(int(w));
  int x = 0;
  for (; x + 4 <= width; x += 4)
    Store4(dst + x, LerpFourTaking(Load4(from + x), Load4(src + x), takeRb, takeGa));
  for (; x < width; ++x) dst[x] = LerpPlain(from[x], src[x], w);
}

// The unkeyed straight vector forms.
template <typename Op>
void VectorRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
                int height) {
  BlendRows<true, false>(dst, src, dstSkip, srcSkip, width, height, Op{});
}
// Rows without padding are one long run.
template <typename Op>
void SaturatedRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                      int width, int height) {
  if (dstSkip == 0 && srcSkip == 0 && int64_t{width} * height <= INT32_MAX) {
    width *= height;
    height = 1;
  }
  constexpr bool kAdd = std::is_same_v<Op, Add>;
  if (WideVectorsEnabled()) {
    EachRow(dst, src, dstSkip, srcSkip, width, height, SaturatedRowAvx2<kAdd>);
  } else {
    EachRow(dst, src, dstSkip, srcSkip, width, height, SaturatedRowSse2<kAdd>);
  }
}

}  // namespace

void CrossfadeRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int width, int height, uint32_t dstWeights, uint32_t srcWeights) {
  BlendRows<false, false>(dst, src, dstSkip, srcSkip, width, height,
                          Crossfade(dstWeights, srcWeights));
}
void CrossfadeRowsKeyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                        int width, int height, uint32_t key, uint32_t dstWeights,
                        uint32_t srcWeights) {
  BlendRows<false, true>(dst, src, dstSkip, srcSkip, width, height,
                         Crossfade(dstWeights, srcWeights), key);
}
void StretchCrossfadeRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                          int width, int height, const StretchStepper& st, uint32_t dstWeights,
                          uint32_t srcWeights) {
  StretchBlendRows<false, false>(dst, src, dstSkip, srcPitch, width, height, st,
                                 Crossfade(dstWeights, srcWeights));
}
void StretchCrossfadeRowsKeyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                               ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                               uint32_t key, uint32_t dstWeights, uint32_t srcWeights) {
  StretchBlendRows<false, true>(dst, src, dstSkip, srcPitch, width, height, st,
                                Crossfade(dstWeights, srcWeights), key);
}

void OpacityRowOfMmx(uint32_t* dst, const uint32_t* from, const uint32_t* src, int width,
                     int opacity) {
  const uint32_t w = WeightTable[opacity & 0xFF][0];
  (WideVectorsEnabled() ? OpacityRowOfAvx2 : OpacityRowOfSse2)(dst, from, src, width, w);
}
void OpacityRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                    int width, int height, int opacity) {
  EachRow(dst, src, dstSkip, srcSkip, width, height,
          [&](uint32_t* d, const uint32_t* s, int w) { OpacityRowOfMmx(d, d, s, w, opacity); });
}
void OpacityRowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                         int width, int height, uint32_t key, int opacity) {
  BlendRows<true, true>(dst, src, dstSkip, srcSkip, width, height, Opacity(opacity), key);
}
void StretchOpacityRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                           ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                           int opacity) {
  StretchBlendRows<true, false>(dst, src, dstSkip, srcPitch, width, height, st, Opacity(opacity));
}
void StretchOpacityRowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                                uint32_t key, int opacity) {
  StretchBlendRows<true, true>(dst, src, dstSkip, srcPitch, width, height, st, Opacity(opacity),
                               key);
}

void WeightedRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                     int width, int height, uint32_t dstWeights, uint32_t srcWeights) {
  BlendRows<true, false>(dst, src, dstSkip, srcSkip, width, height,
                         Weighted(dstWeights, srcWeights));
}
void WeightedRowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                          int width, int height, uint32_t key, uint32_t dstWeights,
                          uint32_t srcWeights) {
  BlendRows<true, true>(dst, src, dstSkip, srcSkip, width, height, Weighted(dstWeights, srcWeights),
                        key);
}
void StretchWeightedRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                            ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                            uint32_t dstWeights, uint32_t srcWeights) {
  StretchBlendRows<true, false>(dst, src, dstSkip, srcPitch, width, height, st,
                                Weighted(dstWeights, srcWeights));
}
void StretchWeightedRowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                 ptrdiff_t srcPitch, int width, int height,
                                 const StretchStepper& st, uint32_t key, uint32_t dstWeights,
                                 uint32_t srcWeights) {
  StretchBlendRows<true, true>(dst, src, dstSkip, srcPitch, width, height, st,
                               Weighted(dstWeights, srcWeights), key);
}

void AlphaAwareOpacityRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                           int width, int height, int opacity) {
  BlendRows<false, false>(dst, src, dstSkip, srcSkip, width, height, AlphaAware(opacity & 0xFF));
}
void AlphaAwareOpacityRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                              ptrdiff_t srcSkip, int width, int height, int opacity) {
  const AlphaAware op(opacity & 0xFF);
  if (WideVectorsEnabled()) {
    EachRow(dst, src, dstSkip, srcSkip, width, height,
            [&op](uint32_t* d, const uint32_t* s, int w) { AlphaAwareRowAvx2(d, s, w, op); });
    return;
  }
  BlendRows<true, false>(dst, src, dstSkip, srcSkip, width, height, op);
}

#define BW_DEFINE_PLAIN_BLEND(Name, MmxRows)                                                      \
  void Name##Rows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,       \
                  int width, int height) {                                                        \
    BlendRows<false, false>(dst, src, dstSkip, srcSkip, width, height, Name{});                   \
  }                                                                                               \
  void Name##RowsKeyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,  \
                       int width, int height, uint32_t key) {                                     \
    BlendRows<false, true>(dst, src, dstSkip, srcSkip, width, height, Name{}, key);               \
  }                                                                                               \
  void Stretch##Name##Rows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,                 \
                           ptrdiff_t srcPitch, int width, int height, const StretchStepper& st) { \
    StretchBlendRows<false, false>(dst, src, dstSkip, srcPitch, width, height, st, Name{});       \
  }                                                                                               \
  void Stretch##Name##RowsKeyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,            \
                                ptrdiff_t srcPitch, int width, int height,                        \
                                const StretchStepper& st, uint32_t key) {                         \
    StretchBlendRows<false, true>(dst, src, dstSkip, srcPitch, width, height, st, Name{}, key);   \
  }                                                                                               \
  void Name##RowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,    \
                     int width, int height) {                                                     \
    MmxRows(dst, src, dstSkip, srcSkip, width, height);                                           \
  }                                                                                               \
  void Name##RowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,                  \
                          ptrdiff_t srcSkip, int width, int height, uint32_t key) {               \
    BlendRows<true, true>(dst, src, dstSkip, srcSkip, width, height, Name{}, key);                \
  }                                                                                               \
  void Stretch##Name##RowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,              \
                              ptrdiff_t srcPitch, int width, int height,                          \
                              const StretchStepper& st) {                                         \
    StretchBlendRows<true, false>(dst, src, dstSkip, srcPitch, width, height, st, Name{});        \
  }                                                                                               \
  void Stretch##Name##RowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,         \
                                   ptrdiff_t srcPitch, int width, int height,                     \
                                   const StretchStepper& st, uint32_t key) {                      \
    StretchBlendRows<true, true>(dst, src, dstSkip, srcPitch, width, height, st, Name{}, key);    \
  }

BW_DEFINE_PLAIN_BLEND(Average, VectorRows<Average>)
BW_DEFINE_PLAIN_BLEND(Add, SaturatedRowsMmx<Add>)
BW_DEFINE_PLAIN_BLEND(Subtract, SaturatedRowsMmx<Subtract>)

#undef BW_DEFINE_PLAIN_BLEND

}  // namespace bw
