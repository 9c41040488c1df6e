// The source-alpha blend by an opacity (AlphaOpacityRows with a row of ProductTable) of four
// pixels and of eight, and of the rows of a piece a few pixels wide, for callers that blend
// pieces too small to pay a kernel call per row.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "graphics/pixel/blend_walk.h"

namespace bw::pixel_detail {

// The lerp of four pixels toward s by the weights w, one in each pixel's own 32-bit lane (0 to
// 256), in the 128-bit registers without unpacking: blue and red sit in the 16-bit lanes of the
// even bytes, green and alpha in those of the odd ones, so nothing waits on the shuffle unit. The
// alpha lanes get weight 0 and keep the target's alpha.
inline __m128i LerpFourInLanes(__m128i d, __m128i s, __m128i w) {
  const __m128i lowBytes = _mm_set1_epi16(0xFF);
  const __m128i wBoth = _mm_or_si128(w, _mm_slli_epi32(w, 16));
  const __m128i dRb = _mm_and_si128(d, lowBytes), sRb = _mm_and_si128(s, lowBytes);
  const __m128i dG = _mm_srli_epi16(d, 8), sG = _mm_srli_epi16(s, 8);
  const __m128i rb =
      _mm_add_epi16(dRb, _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(sRb, dRb), wBoth), 8));
  const __m128i g = _mm_add_epi16(dG, _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(sG, dG), w), 8));
  return _mm_or_si128(_mm_and_si128(rb, lowBytes), _mm_slli_epi16(g, 8));
}

// x / 255 rounded down for 0 <= x <= 65535 in 32-bit lanes, as (x x 0x8081) >> 23.
inline __m128i Div255(__m128i x) {
  return _mm_srli_epi32(_mm_mulhi_epu16(x, _mm_set1_epi32(0x8081)), 7);
}

// The weights W[T[o][a]] of four source pixels, each in its own 32-bit lane:
// T[o][a] = (o x a + 127) / 255; W[k] = k + 1, 0 at 0. opacity holds o in each 32-bit lane.
inline __m128i AlphaWeightsInLanes(__m128i s, __m128i opacity) {
  const __m128i t =
      Div255(_mm_add_epi32(_mm_mullo_epi16(_mm_srli_epi32(s, 24), opacity), _mm_set1_epi32(127)));
  return _mm_add_epi32(_mm_add_epi32(t, _mm_set1_epi32(1)),
                       _mm_cmpeq_epi32(t, _mm_setzero_si128()));
}

// Four pixels, the weights made from the source alphas in their lanes.
inline __m128i AlphaOpacityFour(__m128i d, __m128i s, __m128i opacity) {
  return LerpFourInLanes(d, s, AlphaWeightsInLanes(s, opacity));
}

// Four (or, in the low half, two) pixels as AlphaOpacityFour gives them, clear source pixels
// leaving the target as it is and solid ones at full opacity taking their colour without the
// arithmetic: sprites are mostly one or the other. lanes is the movemask of the pixels used.
inline __m128i AlphaOpacityFourSkipping(__m128i d, __m128i s, __m128i opacity, bool full,
                                        int lanes) {
  const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i sa = _mm_and_si128(s, alphaBytes);
  if ((_mm_movemask_epi8(_mm_cmpeq_epi32(sa, _mm_setzero_si128())) & lanes) == lanes) return d;
  if (full && (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaBytes)) & lanes) == lanes)
    return _mm_or_si128(_mm_andnot_si128(alphaBytes, s), _mm_and_si128(d, alphaBytes));
  return AlphaOpacityFour(d, s, opacity);
}

// The lerp weights W[T[o][a]] of eight alpha values a, one to each 32-bit lane, o32 holding the
// opacity in each: T[o][a] = (o x a + 127) / 255, exact as (v + 1 + (v >> 8)) >> 8; W[k] = k + 1,
// 0 at 0.
__attribute__((target("avx2"))) inline __m256i AlphaOpacityWeights(__m256i a, __m256i o32) {
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i v = _mm256_add_epi32(_mm256_mullo_epi16(a, o32), _mm256_set1_epi32(127));
  const __m256i t =
      _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(v, one), _mm256_srli_epi32(v, 8)), 8);
  return _mm256_add_epi32(_mm256_add_epi32(t, one), _mm256_cmpeq_epi32(t, _mm256_setzero_si256()));
}

// Eight pixels as AlphaOpacityFour gives them, by the lerp of LerpEightInLanes.
__attribute__((target("avx2"))) inline __m256i AlphaOpacityEight(__m256i d, __m256i s,
                                                                 __m256i o32) {
  const __m256i w = AlphaOpacityWeights(_mm256_srli_epi32(s, 24), o32);
  return LerpEightInLanes(d, s, _mm256_or_si256(w, _mm256_slli_epi32(w, 16)), w);
}

// A row of a few pixels, o holding the opacity in each 32-bit lane. A row four pixels wide or more
// takes fours from its left and a last four flush with its right, loaded before the others are
// stored: each four is worked out from the target as it was, so a pixel two of them share gets
// the same bytes twice. Narrower ones take two and one at once.
inline void AlphaOpacityNarrowRow(uint32_t* dst, const uint32_t* src, int width, __m128i o,
                                  bool full) {
  if (width >= 4) {
    const __m128i sLast = Load4(src + width - 4), dLast = Load4(dst + width - 4);
    for (int x = 0; x + 4 < width; x += 4)
      Store4(dst + x, AlphaOpacityFourSkipping(Load4(dst + x), Load4(src + x), o, full, 0xFFFF));
    Store4(dst + width - 4, AlphaOpacityFourSkipping(dLast, sLast, o, full, 0xFFFF));
    return;
  }
  int x = 0;
  if (width >= 2) {
    const __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src));
    const __m128i d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(dst));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst),
                     AlphaOpacityFourSkipping(d, s, o, full, 0xFF));
    x = 2;
  }
  if (x < width) {
    const uint32_t alpha = src[x] >> 24;
    if (full && alpha == 255) {
      dst[x] = (src[x] & 0x00FFFFFFu) | (dst[x] & 0xFF000000u);
    } else if (alpha != 0) {
      const __m128i s = _mm_cvtsi32_si128(int(src[x]));
      const __m128i d = _mm_cvtsi32_si128(int(dst[x]));
      dst[x] = uint32_t(_mm_cvtsi128_si32(AlphaOpacityFour(d, s, o)));
    }
  }
}

// The rows of a piece a few pixels wide. Pitches in pixels.
inline void AlphaOpacityNarrowRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstPitch,
                                   ptrdiff_t srcPitch, int width, int height, uint8_t opacity) {
  const __m128i o = _mm_set1_epi32(opacity);
  for (int row = 0; row < height; ++row, dst += dstPitch, src += srcPitch)
    AlphaOpacityNarrowRow(dst, src, width, o, opacity == 255);
}

// The weights of the last group worked out, kept for the next group with the same alphas: a
// window's or a box's picture is mostly one alpha. Made zeroed ({}): no group that reaches the
// weights has every alpha 0.
struct RepeatedWeights {
  __m256i alpha, rb, ga;
};

// Eight pixels of a row from s, d the target's as they were. Sprites are mostly clear or solid: a
// clear group (weight 0) leaves the target, a solid one at full opacity (weight 256) takes the
// source's colour and keeps the target's alpha, without the arithmetic. With repeated, a group
// with the alphas of the one before takes its weights.
__attribute__((target("avx2"))) inline void AlphaOpacityEightTo(
    uint32_t* dst, __m256i d, __m256i s, __m256i o32, bool full,
    RepeatedWeights* repeated = nullptr) {
  const __m256i alphaBits = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  if (_mm256_testz_si256(s, alphaBits)) return;
  __m256i out;
  if (full && _mm256_testc_si256(s, alphaBits)) {
    out = _mm256_blendv_epi8(s, d, alphaBits);
  } else if (!repeated) {
    out = AlphaOpacityEight(d, s, o32);
  } else {
    const __m256i a = _mm256_srli_epi32(s, 24);
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(a, repeated->alpha)) != -1) {
      repeated->alpha = a;
      repeated->ga = AlphaOpacityWeights(a, o32);
      repeated->rb = _mm256_or_si256(repeated->ga, _mm256_slli_epi32(repeated->ga, 16));
    }
    out = LerpEightInLanes(d, s, repeated->rb, repeated->ga);
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), out);
}

// A row of eight to sixteen pixels as AlphaOpacityNarrowRow gives it, in two eights, one flush
// with each end; a row all clear is left without reading the target.
__attribute__((target("avx2"))) inline void AlphaOpacityNarrowRowAvx2(uint32_t* dst,
                                                                      const uint32_t* src,
                                                                      int width, __m256i o32,
                                                                      bool full) {
  const auto at = [](const uint32_t* p) { return reinterpret_cast<const __m256i*>(p); };
  const __m256i s = _mm256_loadu_si256(at(src)), sLast = _mm256_loadu_si256(at(src + width - 8));
  if (_mm256_testz_si256(_mm256_or_si256(s, sLast), _mm256_set1_epi32(int(0xFF000000u)))) return;
  const __m256i d = _mm256_loadu_si256(at(dst)), dLast = _mm256_loadu_si256(at(dst + width - 8));
  AlphaOpacityEightTo(dst, d, s, o32, full);
  if (width > 8) AlphaOpacityEightTo(dst + width - 8, dLast, sLast, o32, full);
}

// The rows of a piece eight to sixteen pixels wide. Pitches in pixels.
__attribute__((target("avx2"))) inline void AlphaOpacityNarrowRowsAvx2(
    uint32_t* dst, const uint32_t* src, ptrdiff_t dstPitch, ptrdiff_t srcPitch, int width,
    int height, uint8_t opacity) {
  const __m256i o32 = _mm256_set1_epi32(opacity);
  for (int row = 0; row < height; ++row, dst += dstPitch, src += srcPitch)
    AlphaOpacityNarrowRowAvx2(dst, src, width, o32, opacity == 255);
}

}  // namespace bw::pixel_detail
