#include "graphics/pixel/source_blend_kernels.h"

#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/blend_walk.h"
#include "graphics/pixel/lerp.h"

namespace bw {

using namespace pixel_detail;

namespace {

// floor(s x w / 256) on the colour bytes, alpha byte 0.
inline uint32_t ScaleColor(uint32_t s, uint32_t w) {
  uint32_t rb = ((s & 0x00FF00FFu) * w >> 8) & 0x00FF00FFu;
  uint32_t g = ((s & 0x0000FF00u) * w >> 8) & 0x0000FF00u;
  return rb | g;
}

// Per-pixel weights of four source pixels into the two halves' weight lanes.
template <typename WeightOf>
inline void FourWeights(__m128i s, const WeightOf& weightOf, __m128i& lo, __m128i& hi) {
  alignas(16) uint32_t px[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(px), s);
  lo = PairWeights(weightOf(px[0]), weightOf(px[1]));
  hi = PairWeights(weightOf(px[2]), weightOf(px[3]));
}

struct ConstantWeight {
  uint32_t w;
  uint32_t operator()(uint32_t) const { return w; }
};
struct AlphaRowWeight {
  const uint8_t* row;
  uint32_t operator()(uint32_t s) const { return WeightTable[row[s >> 24]][0]; }
};

template <typename WeightOf>
struct LerpBy {
  WeightOf weightOf;
  uint32_t Pixel(uint32_t d, uint32_t s) const { return LerpPlain(d, s, weightOf(s)); }
  __m128i Four(__m128i d, __m128i s) const {
    __m128i lo, hi;
    FourWeights(s, weightOf, lo, hi);
    return LerpFour(d, s, lo, hi);
  }
};
template <typename WeightOf>
struct AddBy {
  WeightOf weightOf;
  uint32_t Pixel(uint32_t d, uint32_t s) const {
    return AddBytesSaturated(d, ScaleColor(s, weightOf(s)));
  }
  __m128i Four(__m128i d, __m128i s) const {
    __m128i lo, hi;
    FourWeights(s, weightOf, lo, hi);
    return _mm_adds_epu8(d, ScaleFour(s, lo, hi));
  }
};
template <typename WeightOf>
struct SubtractBy {
  WeightOf weightOf;
  uint32_t Pixel(uint32_t d, uint32_t s) const {
    return SubtractBytesSaturated(d, ScaleColor(s, weightOf(s)));
  }
  __m128i Four(__m128i d, __m128i s) const {
    __m128i lo, hi;
    FourWeights(s, weightOf, lo, hi);
    return _mm_subs_epu8(d, ScaleFour(s, lo, hi));
  }
};

struct OntoAlpha {
  const uint8_t* row;
  uint32_t Pixel(uint32_t d, uint32_t s) const {
    uint32_t da = d >> 24, a = row[s >> 24];
    uint32_t out = LerpPlain(d, s, WeightTable[OverWeightTable[da][a]][0]);
    return (out & 0x00FFFFFFu) | uint32_t(AlphaUnionTable[da][a]) << 24;
  }
  __m128i Four(__m128i d, __m128i s) const {
    alignas(16) uint32_t sp[4], dp[4], w[4], alpha[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(sp), s);
    _mm_store_si128(reinterpret_cast<__m128i*>(dp), d);
    for (int i = 0; i < 4; ++i) {
      uint32_t da = dp[i] >> 24, a = row[sp[i] >> 24];
      w[i] = WeightTable[OverWeightTable[da][a]][0];
      alpha[i] = uint32_t(AlphaUnionTable[da][a]) << 24;
    }
    __m128i out = LerpFour(d, s, PairWeights(w[0], w[1]), PairWeights(w[2], w[3]));
    out = _mm_and_si128(out, _mm_set1_epi32(0x00FFFFFF));
    return _mm_or_si128(out, _mm_load_si128(reinterpret_cast<const __m128i*>(alpha)));
  }
};

using AlphaOpacity = LerpBy<AlphaRowWeight>;
using AlphaAdd = AddBy<AlphaRowWeight>;
using AlphaSubtract = SubtractBy<AlphaRowWeight>;

// Rule kernels: the weight comes from a third row, so they walk by themselves.
template <bool kVector, typename WeightOf>
void RuleWalk(uint32_t* dst, const uint32_t* src, const uint8_t* rule, ptrdiff_t dstSkip,
              ptrdiff_t srcSkip, ptrdiff_t ruleSkip, int width, int height, WeightOf weightOf) {
  do {
    int x = 0;
    if constexpr (kVector) {
      for (; x + 4 <= width; x += 4) {
        __m128i s = Load4(src + x);
        uint32_t w[4];
        for (int i = 0; i < 4; ++i) w[i] = weightOf(src[x + i], rule ? rule[x + i] : 0);
        Store4(dst + x, LerpFour(Load4(dst + x), s, PairWeights(w[0], w[1]),
                                 PairWeights(w[2], w[3])));
      }
    }
    for (; x < width; ++x) dst[x] = LerpPlain(dst[x], src[x], weightOf(src[x], rule ? rule[x] : 0));
    dst = AddBytes(dst + width, dstSkip);
    src = AddBytes(src + width, srcSkip);
    if (rule) rule += width + ruleSkip;
  } while (--height > 0);
}

auto RuleWeight(const uint8_t* rule, const uint8_t* table) {
  bool byAlpha = rule == nullptr;
  return [byAlpha, table](uint32_t s, uint8_t r) {
    return uint32_t(WeightTable[table[byAlpha ? s >> 24 : r]][0]);
  };
}
auto RuleAlphaWeight(const uint8_t* rule, const uint8_t* table) {
  bool byAlpha = rule == nullptr;
  return [byAlpha, table](uint32_t s, uint8_t r) {
    uint32_t a = s >> 24;
    return uint32_t(WeightTable[ProductTable[table[byAlpha ? a : r]][a]][0]);
  };
}

}  // namespace

void AddBlitRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                 int width, int height, int opacity) {
  BlendRows<false, false>(dst, src, dstSkip, srcSkip, width, height,
                          AddBy<ConstantWeight>{{WeightTable[opacity & 0xFF][0]}});
}
void AddBlitRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                    int width, int height, int opacity) {
  BlendRows<true, false>(dst, src, dstSkip, srcSkip, width, height,
                         AddBy<ConstantWeight>{{WeightTable[opacity & 0xFF][0]}});
}
void SubtractBlitRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                      int width, int height, int opacity) {
  BlendRows<false, false>(dst, src, dstSkip, srcSkip, width, height,
                          SubtractBy<ConstantWeight>{{WeightTable[opacity & 0xFF][0]}});
}
void SubtractBlitRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                         int width, int height, int opacity) {
  BlendRows<true, false>(dst, src, dstSkip, srcSkip, width, height,
                         SubtractBy<ConstantWeight>{{WeightTable[opacity & 0xFF][0]}});
}

#define BW_DEFINE_ALPHA_ROW_BLEND(Name, Make)                                                   \
  void Name##Rows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,     \
                  int width, int height, const uint8_t* opacityRow) {                           \
    BlendRows<false, false>(dst, src, dstSkip, srcSkip, width, height, Make);                   \
  }                                                                                             \
  void Name##RowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,  \
                     int width, int height, const uint8_t* opacityRow) {                        \
    BlendRows<true, false>(dst, src, dstSkip, srcSkip, width, height, Make);                    \
  }                                                                                             \
  void Stretch##Name##Rows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,              \
                           ptrdiff_t srcPitch, int width, int height, const StretchStepper& st, \
                           const uint8_t* opacityRow) {                                         \
    StretchBlendRows<false, false>(dst, src, dstSkip, srcPitch, width, height, st, Make);       \
  }                                                                                             \
  void Stretch##Name##RowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,           \
                              ptrdiff_t srcPitch, int width, int height,                        \
                              const StretchStepper& st, const uint8_t* opacityRow) {            \
    StretchBlendRows<true, false>(dst, src, dstSkip, srcPitch, width, height, st, Make);        \
  }

BW_DEFINE_ALPHA_ROW_BLEND(AlphaOpacity, AlphaOpacity{{opacityRow}})
BW_DEFINE_ALPHA_ROW_BLEND(AlphaAdd, AlphaAdd{{opacityRow}})
BW_DEFINE_ALPHA_ROW_BLEND(AlphaSubtract, AlphaSubtract{{opacityRow}})
BW_DEFINE_ALPHA_ROW_BLEND(AlphaOntoAlpha, OntoAlpha{opacityRow})

#undef BW_DEFINE_ALPHA_ROW_BLEND

void RuleRows(uint32_t* dst, const uint32_t* src, const uint8_t* rule, ptrdiff_t dstSkip,
              ptrdiff_t srcSkip, ptrdiff_t ruleSkip, int width, int height, const uint8_t* table) {
  RuleWalk<false>(dst, src, rule, dstSkip, srcSkip, ruleSkip, width, height,
                  RuleWeight(rule, table));
}
void RuleRowsMmx(uint32_t* dst, const uint32_t* src, const uint8_t* rule, ptrdiff_t dstSkip,
                 ptrdiff_t srcSkip, ptrdiff_t ruleSkip, int width, int height,
                 const uint8_t* table) {
  RuleWalk<true>(dst, src, rule, dstSkip, srcSkip, ruleSkip, width, height,
                 RuleWeight(rule, table));
}
void RuleAlphaRows(uint32_t* dst, const uint32_t* src, const uint8_t* rule, ptrdiff_t dstSkip,
                   ptrdiff_t srcSkip, ptrdiff_t ruleSkip, int width, int height,
                   const uint8_t* table) {
  RuleWalk<false>(dst, src, rule, dstSkip, srcSkip, ruleSkip, width, height,
                  RuleAlphaWeight(rule, table));
}
void RuleAlphaRowsMmx(uint32_t* dst, const uint32_t* src, const uint8_t* rule, ptrdiff_t dstSkip,
                      ptrdiff_t srcSkip, ptrdiff_t ruleSkip, int width, int height,
                      const uint8_t* table) {
  RuleWalk<true>(dst, src, rule, dstSkip, srcSkip, ruleSkip, width, height,
                 RuleAlphaWeight(rule, table));
}

}  // namespace bw
