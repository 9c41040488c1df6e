#include "graphics/pixel/source_blend_kernels.h"

#include <immintrin.h>
#include <bit>

#include "graphics/pixel/alpha_opacity_four.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/blend_walk.h"
#include "graphics/pixel/lerp.h"
#include "platform/mmx_flag.h"

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

inline void FourWeights(__m128i, const ConstantWeight& weightOf, __m128i& lo, __m128i& hi) {
  lo = hi = PairWeights(weightOf.w, weightOf.w);
}

// The weights W[T[o][a]] of four source alphas computed in lanes when the row is a row of
// ProductTable (T[o][a] = (o x a + 127) / 255, the division exact as (x + 1 + (x >> 8)) >> 8
// below 65535); any other row is looked up pixel by pixel.
inline void FourWeights(__m128i s, const AlphaRowWeight& weightOf, __m128i& lo, __m128i& hi) {
  const uint8_t opacity = weightOf.row[255];
  if (weightOf.row != ProductTable[opacity]) {
    alignas(16) uint32_t px[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(px), s);
    lo = PairWeights(weightOf(px[0]), weightOf(px[1]));
    hi = PairWeights(weightOf(px[2]), weightOf(px[3]));
    return;
  }
  const __m128i alpha = _mm_srli_epi32(s, 24);
  __m128i x = _mm_mullo_epi16(_mm_packs_epi32(alpha, alpha), _mm_set1_epi16(short(opacity)));
  x = _mm_add_epi16(x, _mm_set1_epi16(127));
  __m128i t =
      _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8)), 8);
  // W[k] = k + 1, or 0 for k = 0.
  __m128i w =
      _mm_add_epi16(_mm_add_epi16(t, _mm_set1_epi16(1)), _mm_cmpeq_epi16(t, _mm_setzero_si128()));
  const __m128i colorLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
  __m128i pairs = _mm_unpacklo_epi16(w, w);
  lo = _mm_and_si128(_mm_unpacklo_epi32(pairs, pairs), colorLanes);
  hi = _mm_and_si128(_mm_unpackhi_epi32(pairs, pairs), colorLanes);
}

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
    // The table entries at the ends: a clear source leaves a target with alpha as it is (weight
    // 0, union da) and an opaque one replaces it (weight 256, union 255).
    if (a == 0 && da != 0) return d;
    if (a == 255) return s | 0xFF000000u;
    uint32_t out = LerpPlain(d, s, WeightTable[OverWeightTable[da][a]][0]);
    return (out & 0x00FFFFFFu) | uint32_t(AlphaUnionTable[da][a]) << 24;
  }
  __m128i Four(__m128i d, __m128i s) const {
    // Text and sprites are mostly clear or solid: four at an end of the table at once.
    const __m128i alphaBits = _mm_set1_epi32(int(0xFF000000u));
    const __m128i sa = _mm_and_si128(s, alphaBits);
    const __m128i zero = _mm_setzero_si128();
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, zero)) == 0xFFFF && row[0] == 0 &&
        _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(d, alphaBits), zero)) == 0) {
      return d;
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaBits)) == 0xFFFF && row[255] == 255) {
      return _mm_or_si128(s, alphaBits);
    }
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

// Eight pixels at a time, as AlphaOpacityEightTo gives them, weights kept from group to group.
// Answers how many pixels it did (a multiple of eight).
__attribute__((target("avx2"))) int AlphaOpacityRowAvx2(uint32_t* dst, const uint32_t* src,
                                                        int width, uint8_t opacity) {
  const __m256i o32 = _mm256_set1_epi32(opacity);
  RepeatedWeights repeated{};
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    AlphaOpacityEightTo(dst + x, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + x)),
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x)), o32,
                        opacity == 255, &repeated);
  }
  return x;
}

// Four pixels at a time in the 128-bit registers (AlphaOpacityFour). Sprites are mostly clear
// or solid: a clear group is skipped, and a solid one needs no per-pixel weights (W[T[o][255]]
// is W[o]), at full opacity only its colour copied.
// Answers how many pixels it did (a multiple of four).
int AlphaOpacityRowSse2(uint32_t* dst, const uint32_t* src, int width, uint8_t opacity) {
  const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i zero = _mm_setzero_si128();
  const __m128i o32 = _mm_set1_epi32(opacity);
  const uint32_t wSolid = opacity == 0 ? 0 : opacity + 1u;
  const __m128i solidRb = _mm_set1_epi32(static_cast<int>(wSolid | wSolid << 16));
  const __m128i solidGa = _mm_set1_epi32(static_cast<int>(wSolid));
  const bool full = opacity == 255;
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    const __m128i s = Load4(src + x);
    const __m128i sa = _mm_and_si128(s, alphaBytes);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, zero)) == 0xFFFF) continue;
    const __m128i d = Load4(dst + x);
    __m128i out;
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaBytes)) != 0xFFFF) {
      out = AlphaOpacityFour(d, s, o32);
    } else if (full) {
      out = _mm_or_si128(_mm_andnot_si128(alphaBytes, s), _mm_and_si128(d, alphaBytes));
    } else {
      out = LerpFourTaking(d, s, solidRb, solidGa);
    }
    Store4(dst + x, out);
  }
  return x;
}

template <typename Op>
void VectorRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
                int height, const Op& op) {
  BlendRows<true, false>(dst, src, dstSkip, srcSkip, width, height, op);
}
void VectorRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
                int height, const AlphaOpacity& op) {
  const uint8_t opacity = op.weightOf.row[255];
  if (op.weightOf.row != ProductTable[opacity]) {
    BlendRows<true, false>(dst, src, dstSkip, srcSkip, width, height, op);
    return;
  }
  auto row = WideVectorsEnabled() ? AlphaOpacityRowAvx2 : AlphaOpacityRowSse2;
  EachRow(dst, src, dstSkip, srcSkip, width, height, [&](uint32_t* d, const uint32_t* s, int w) {
    const int done = row(d, s, w, opacity);
    BlendRowVector<false>(d + done, s + done, w - done, op, 0);
  });
}

// OntoAlpha's tables computed in lanes for a row of ProductTable. The over weight
// 65025 c / (255 (b + c) - b c) is divided in single precision: numerator and denominator are
// exact there, and a quotient that is not whole lies at least 1 / 65025 from the next integer,
// more than half a unit in the last place below 256, so truncation gives the integer division.
inline __m128i OntoAlphaFour(__m128i d, __m128i s, uint8_t opacity) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi32(1);
  const __m128i full = _mm_set1_epi32(255);
  const __m128i a = Div255(_mm_add_epi32(
      _mm_mullo_epi16(_mm_srli_epi32(s, 24), _mm_set1_epi32(opacity)), _mm_set1_epi32(127)));
  const __m128i da = _mm_srli_epi32(d, 24);
  const __m128i sum = _mm_add_epi32(da, a);
  const __m128i den =
      _mm_sub_epi32(_mm_sub_epi32(_mm_slli_epi32(sum, 8), sum), _mm_mullo_epi16(da, a));
  const __m128 num = _mm_mul_ps(_mm_cvtepi32_ps(a), _mm_set1_ps(65025.0f));
  const __m128i quotient = _mm_cvttps_epi32(_mm_div_ps(num, _mm_cvtepi32_ps(den)));
  const __m128i bare = _mm_cmpeq_epi32(da, zero);
  const __m128i k = _mm_or_si128(_mm_and_si128(bare, full), _mm_andnot_si128(bare, quotient));
  // W[k] = k + 1, 0 at 0.
  const __m128i w = _mm_add_epi32(_mm_add_epi32(k, one), _mm_cmpeq_epi32(k, zero));
  const __m128i keep = _mm_mullo_epi16(_mm_sub_epi32(full, da), _mm_sub_epi32(full, a));
  const __m128i alpha = _mm_slli_epi32(_mm_sub_epi32(full, Div255(keep)), 24);
  const __m128i color = _mm_and_si128(LerpFourInLanes(d, s, w), _mm_set1_epi32(0x00FFFFFF));
  return _mm_or_si128(color, alpha);
}

// x / 255 rounded down for 0 <= x <= 65535 in the low half of 32-bit lanes whose high half is 0.
__attribute__((target("avx2"))) inline __m256i Div255Eight(__m256i x) {
  return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(int16_t(0x8081))), 7);
}

// OntoAlphaFour eight pixels wide. At opacity 255 the scaled alpha is the source alpha itself.
// The over weight's denominator 255 (b + c) - b c is 65025 - (255 - b)(255 - c), the product
// the union alpha needs too. A target and source both clear divide 0 by 0: the NaN converts to
// 0x80000000, which the unsigned minimum turns into the table's 255.
template <bool kFull>
__attribute__((target("avx2"))) inline __m256i OntoAlphaEight(__m256i d, __m256i s,
                                                              __m256i opacity) {
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i full = _mm256_set1_epi32(255);
  const __m256i lowBytes = _mm256_set1_epi16(0xFF);
  __m256i a = _mm256_srli_epi32(s, 24);
  if constexpr (!kFull) {
    a = Div255Eight(_mm256_add_epi32(_mm256_mullo_epi16(a, opacity), _mm256_set1_epi32(127)));
  }
  const __m256i da = _mm256_srli_epi32(d, 24);
  const __m256i keep = _mm256_mullo_epi16(_mm256_sub_epi32(full, da), _mm256_sub_epi32(full, a));
  const __m256i den = _mm256_sub_epi32(_mm256_set1_epi32(65025), keep);
  const __m256 num = _mm256_mul_ps(_mm256_cvtepi32_ps(a), _mm256_set1_ps(65025.0f));
  const __m256i k =
      _mm256_min_epu32(_mm256_cvttps_epi32(_mm256_div_ps(num, _mm256_cvtepi32_ps(den))), full);
  // W[k] = k + 1, 0 at 0.
  const __m256i w = _mm256_add_epi32(k, _mm256_min_epu32(k, one));
  const __m256i alpha = _mm256_slli_epi32(_mm256_sub_epi32(full, Div255Eight(keep)), 24);
  const __m256i wBoth = _mm256_or_si256(w, _mm256_slli_epi32(w, 16));
  const __m256i dRb = _mm256_and_si256(d, lowBytes), sRb = _mm256_and_si256(s, lowBytes);
  const __m256i dG = _mm256_srli_epi16(d, 8), sG = _mm256_srli_epi16(s, 8);
  const __m256i rb = _mm256_add_epi16(
      dRb, _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(sRb, dRb), wBoth), 8));
  const __m256i g =
      _mm256_add_epi16(dG, _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(sG, dG), w), 8));
  // Green from the low halves, the union alpha as the high halves.
  const __m256i ga = _mm256_blend_epi16(_mm256_slli_epi16(g, 8), alpha, 0xAA);
  return _mm256_or_si256(_mm256_and_si256(rb, lowBytes), ga);
}

// Eight pixels at a time for a row of ProductTable, with OntoAlphaRowSse2's whole groups, and
// the whole row: the tail as a masked group.
template <bool kFull>
__attribute__((target("avx2"))) int OntoAlphaRowAvx2(uint32_t* dst, const uint32_t* src, int width,
                                                     uint8_t opacity) {
  const __m256i alphaBits = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i zero = _mm256_setzero_si256();
  const __m256i o = _mm256_set1_epi32(opacity);
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + x));
    if (_mm256_testz_si256(s, alphaBits)) {
      const __m256i bare = _mm256_cmpeq_epi32(_mm256_and_si256(d, alphaBits), zero);
      if (_mm256_testz_si256(bare, bare)) continue;
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), _mm256_blendv_epi8(d, s, bare));
      continue;
    }
    if (kFull && _mm256_testc_si256(s, alphaBits)) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), s);
      continue;
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), OntoAlphaEight<kFull>(d, s, o));
  }
  if (x < width) {
    // The last pixels of the row as one masked group; the lanes past the row are not touched.
    const __m256i lanes =
        _mm256_cmpgt_epi32(_mm256_set1_epi32(width - x), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    const __m256i s = _mm256_maskload_epi32(reinterpret_cast<const int*>(src + x), lanes);
    const __m256i d = _mm256_maskload_epi32(reinterpret_cast<const int*>(dst + x), lanes);
    _mm256_maskstore_epi32(reinterpret_cast<int*>(dst + x), lanes, OntoAlphaEight<kFull>(d, s, o));
  }
  return width;
}

// Four pixels at a time, whole groups first: a group of clear source pixels leaves the target
// untouched where it has alpha (not even stored when all four have) and takes the source colour
// with alpha 0 where it has none; a group of opaque source pixels at opacity 255 is the source.
// Mixed groups go through the tables lane by lane.
void OntoAlphaRowSse2(uint32_t* dst, const uint32_t* src, int width, const OntoAlpha& op) {
  const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i zero = _mm_setzero_si128();
  const bool clearKeeps = op.row[0] == 0, opaqueCopies = op.row[255] == 255;
  const uint8_t opacity = op.row[255];
  const bool productRow = op.row == ProductTable[opacity];
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    const __m128i s = Load4(src + x);
    const __m128i sa = _mm_and_si128(s, alphaBytes);
    if (clearKeeps && _mm_movemask_epi8(_mm_cmpeq_epi32(sa, zero)) == 0xFFFF) {
      const __m128i d = Load4(dst + x);
      const __m128i bare = _mm_cmpeq_epi32(_mm_and_si128(d, alphaBytes), zero);
      if (_mm_movemask_epi8(bare) == 0) continue;
      Store4(dst + x, _mm_or_si128(_mm_and_si128(bare, s), _mm_andnot_si128(bare, d)));
      continue;
    }
    if (opaqueCopies && _mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaBytes)) == 0xFFFF) {
      Store4(dst + x, s);
      continue;
    }
    const __m128i d = Load4(dst + x);
    Store4(dst + x, productRow ? OntoAlphaFour(d, s, opacity) : op.Four(d, s));
  }
  BlendRowPlain<false>(dst + x, src + x, width - x, op, 0);
}
void VectorRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
                int height, const OntoAlpha& op) {
  const uint8_t opacity = op.row[255];
  if (op.row != ProductTable[opacity] || !WideVectorsEnabled()) {
    EachRow(dst, src, dstSkip, srcSkip, width, height,
            [&](uint32_t* d, const uint32_t* s, int w) { OntoAlphaRowSse2(d, s, w, op); });
    return;
  }
  auto wide = opacity == 255 ? OntoAlphaRowAvx2<true> : OntoAlphaRowAvx2<false>;
  EachRow(dst, src, dstSkip, srcSkip, width, height,
          [&](uint32_t* d, const uint32_t* s, int w) { wide(d, s, w, opacity); });
}

// The weights of eight rule bytes, W[table[r]] as 16-bit lanes.
inline __m128i RuleWeights8(const uint8_t* rule, const uint8_t* table) {
  uint64_t k = 0;
  for (int i = 0; i < 8; ++i) k |= uint64_t{table[rule[i]]} << (8 * i);
  const __m128i zero = _mm_setzero_si128();
  const __m128i k16 = _mm_unpacklo_epi8(_mm_cvtsi64_si128(int64_t(k)), zero);
  return _mm_andnot_si128(_mm_cmpeq_epi16(k16, zero), _mm_add_epi16(k16, _mm_set1_epi16(1)));
}

// Where a rule table is flat: every entry below fullBelow is 255 and every entry from clearFrom
// on is 0 (fullBelow 0 and clearFrom 256 when it has no such end).
struct RuleTableEnds {
  int fullBelow;
  int clearFrom;
};

// One bit for each byte of lo, then of hi: set where the byte is all ones.
__attribute__((target("avx2"))) inline uint64_t ByteMask(__m256i lo, __m256i hi) {
  const uint64_t low = uint32_t(_mm256_movemask_epi8(lo));
  const uint64_t high = uint32_t(_mm256_movemask_epi8(hi));
  return low | high << 32;
}

__attribute__((target("avx2"))) RuleTableEnds EndsOf(const uint8_t* table) {
  uint64_t notFull[4], nonZero[4];
  const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi8(-1);
  for (int i = 0; i < 4; ++i) {
    const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(table + 64 * i));
    const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(table + 64 * i + 32));
    notFull[i] = ~ByteMask(_mm256_cmpeq_epi8(lo, full), _mm256_cmpeq_epi8(hi, full));
    nonZero[i] = ~ByteMask(_mm256_cmpeq_epi8(lo, zero), _mm256_cmpeq_epi8(hi, zero));
  }
  RuleTableEnds ends{256, 0};
  for (int i = 0; i < 4 && ends.fullBelow == 256; ++i) {
    if (notFull[i]) ends.fullBelow = 64 * i + std::countr_zero(notFull[i]);
  }
  for (int i = 3; i >= 0 && ends.clearFrom == 0; --i) {
    if (nonZero[i]) ends.clearFrom = 64 * i + 64 - std::countl_zero(nonZero[i]);
  }
  return ends;
}

__attribute__((target("avx2"))) void RuleRowOfAvx2(uint32_t* dst, const uint32_t* from,
                                                   const uint32_t* src, const uint8_t* rule,
                                                   int width, const uint8_t* table) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i alphaBits = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const auto at = [](const uint32_t* p) { return reinterpret_cast<const __m256i*>(p); };
  // Eight rule bytes all below fullBelow are all 255, all at clearFrom or above all 0: the
  // groups away from a wipe's edge are told apart without looking up their weights.
  const RuleTableEnds ends = EndsOf(table);
  const bool hasFull = ends.fullBelow > 0, hasClear = ends.clearFrom < 256;
  const __m128i lastFull = _mm_set1_epi8(char(hasFull ? ends.fullBelow - 1 : 0));
  const __m128i firstClear = _mm_set1_epi8(char(hasClear ? ends.clearFrom : 255));
  const auto all8 = [](__m128i lanes) { return (_mm_movemask_epi8(lanes) & 0xFF) == 0xFF; };
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m128i r8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(rule + x));
    uint64_t k8;
    if (hasClear && all8(_mm_cmpeq_epi8(_mm_max_epu8(r8, firstClear), r8))) {
      k8 = 0;
    } else if (hasFull && all8(_mm_cmpeq_epi8(_mm_min_epu8(r8, lastFull), r8))) {
      k8 = ~uint64_t{0};
    } else {
      // Each pixel's W[table[r]] in its own 32-bit lane.
      k8 = 0;
      for (int i = 0; i < 8; ++i) k8 |= uint64_t{table[rule[x + i]]} << (8 * i);
    }
    // Away from a wipe's edge a group is all old (weight 0) or all new (weight 256: the new
    // colour under the old alpha), as the lerp would give it.
    if (k8 == 0) {
      if (dst != from)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), _mm256_loadu_si256(at(from + x)));
      continue;
    }
    const __m256i d = _mm256_loadu_si256(at(from + x));
    const __m256i s = _mm256_loadu_si256(at(src + x));
    if (k8 == ~uint64_t{0}) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), _mm256_blendv_epi8(s, d, alphaBits));
      continue;
    }
    const __m256i k = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(int64_t(k8)));
    const __m256i w = _mm256_andnot_si256(_mm256_cmpeq_epi32(k, zero), _mm256_add_epi32(k, one));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x),
                        LerpEightInLanes(d, s, _mm256_or_si256(w, _mm256_slli_epi32(w, 16)), w));
  }
  for (; x < width; ++x) dst[x] = LerpPlain(from[x], src[x], WeightTable[table[rule[x]]][0]);
}
void RuleRowOfSse2(uint32_t* dst, const uint32_t* from, const uint32_t* src, const uint8_t* rule,
                   int width, const uint8_t* table) {
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m128i w = RuleWeights8(rule + x, table);
    const __m128i pairs = _mm_unpacklo_epi16(w, w), pairsHi = _mm_unpackhi_epi16(w, w);
    const __m128i colorLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i lanes[4] = {_mm_unpacklo_epi32(pairs, pairs), _mm_unpackhi_epi32(pairs, pairs),
                              _mm_unpacklo_epi32(pairsHi, pairsHi),
                              _mm_unpackhi_epi32(pairsHi, pairsHi)};
    for (int h = 0; h < 2; ++h) {
      const int at = x + 4 * h;
      Store4(dst + at,
             LerpFour(Load4(from + at), Load4(src + at), _mm_and_si128(lanes[2 * h], colorLanes),
                      _mm_and_si128(lanes[2 * h + 1], colorLanes)));
    }
  }
  for (; x < width; ++x) dst[x] = LerpPlain(from[x], src[x], WeightTable[table[rule[x]]][0]);
}

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
        Store4(dst + x,
               LerpFour(Load4(dst + x), s, PairWeights(w[0], w[1]), PairWeights(w[2], w[3])));
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

#define BW_DEFINE_ALPHA_ROW_BLEND(Name, Make)                                                      \
  void Name##Rows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,        \
                  int width, int height, const uint8_t* opacityRow) {                              \
    BlendRows<false, false>(dst, src, dstSkip, srcSkip, width, height, Make);                      \
  }                                                                                                \
  void Name##RowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,     \
                     int width, int height, const uint8_t* opacityRow) {                           \
    VectorRows(dst, src, dstSkip, srcSkip, width, height, Make);                                   \
  }                                                                                                \
  void Stretch##Name##Rows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,                  \
                           ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,    \
                           const uint8_t* opacityRow) {                                            \
    StretchBlendRows<false, false>(dst, src, dstSkip, srcPitch, width, height, st, Make);          \
  }                                                                                                \
  void Stretch##Name##RowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,               \
                              ptrdiff_t srcPitch, int width, int height, const StretchStepper& st, \
                              const uint8_t* opacityRow) {                                         \
    StretchBlendRows<true, false>(dst, src, dstSkip, srcPitch, width, height, st, Make);           \
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
void RuleRowOfMmx(uint32_t* dst, const uint32_t* from, const uint32_t* src, const uint8_t* rule,
                  int width, const uint8_t* table) {
  (WideVectorsEnabled() ? RuleRowOfAvx2 : RuleRowOfSse2)(dst, from, src, rule, width, table);
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
