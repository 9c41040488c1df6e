// The alpha-over of one pixel in each kernel set, for the row kernels and for callers that blend
// pieces too small to pay a kernel call per row. See AlphaOverRows for the weights.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace bw::pixel_detail {

// Red and blue share one multiply, green another; a 256 weight still fits each lane.
inline uint32_t AlphaOverPlain(uint32_t d, uint32_t s) {
  uint32_t a = s >> 24;
  // The weights 256 and 0 give one side's colour exactly.
  if (a == 0) return d & 0x00FFFFFFu;
  if (a == 255) return s & 0x00FFFFFFu;
  uint32_t ws = a == 255 ? 256 : a;
  uint32_t wd = a == 0 ? 256 : 255 - a;
  uint32_t rb =
      (((s & 0x00FF00FFu) * ws >> 8) & 0x00FF00FFu) + (((d & 0x00FF00FFu) * wd >> 8) & 0x00FF00FFu);
  uint32_t g =
      (((s & 0x0000FF00u) * ws >> 8) & 0x0000FF00u) + (((d & 0x0000FF00u) * wd >> 8) & 0x0000FF00u);
  // A byte that carried into its neighbour saturates at 255.
  uint32_t carry = (rb & 0x01000100u) | (g & 0x00010000u);
  return (rb & 0x00FF00FFu) | (g & 0x0000FF00u) | (carry >> 8) * 0xFF;
}

inline uint32_t AlphaOverMmxPixel(uint32_t d, uint32_t s) {
  uint32_t a = s >> 24;
  if (a == 0) return d & 0x00FFFFFFu;
  if (a == 255) return s & 0x00FFFFFFu;
  uint32_t ws = a == 255 ? 256 : a;
  uint32_t wd = 256 - ws;
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t c = (((s >> shift) & 0xFF) * ws >> 8) + (((d >> shift) & 0xFF) * wd >> 8);
    out |= (c > 255 ? 255 : c) << shift;
  }
  return out;
}

// Four pixels without unpacking: blue and red sit in the 16-bit lanes of the even bytes, green
// in the low lane of the odd ones, each moved to its lane's high byte so that one high multiply
// gives b x w >> 8. ws holds each pixel's source weight in both of its lanes. Green is taken
// without the alpha byte, so the result's alpha is already clear. A colour sum never passes 255,
// as the two weights add up to 256.
inline __m128i AlphaOverFour(__m128i d, __m128i s, __m128i ws) {
  const __m128i green = _mm_set1_epi32(0x0000FF00);
  const __m128i wd = _mm_sub_epi16(_mm_set1_epi16(256), ws);
  const __m128i rb = _mm_add_epi16(_mm_mulhi_epu16(_mm_slli_epi16(s, 8), ws),
                                   _mm_mulhi_epu16(_mm_slli_epi16(d, 8), wd));
  const __m128i g = _mm_add_epi16(_mm_mulhi_epu16(_mm_and_si128(s, green), ws),
                                  _mm_mulhi_epu16(_mm_and_si128(d, green), wd));
  return _mm_or_si128(rb, _mm_slli_epi16(g, 8));
}

// Each pixel's source weight in both of its lanes: the alpha, 256 for an opaque pixel.
inline __m128i AlphaOverWeights(__m128i s) {
  const __m128i a = _mm_srli_epi32(s, 24);
  const __m128i w = _mm_sub_epi32(a, _mm_cmpeq_epi32(a, _mm_set1_epi32(255)));
  return _mm_or_si128(w, _mm_slli_epi32(w, 16));
}

// The rows of a piece a few pixels wide (a column, a cell), without a kernel call per row; the
// vector set takes four, two and one pixels at once, with no branch on their alphas (a dissolve's
// cells come in any order). Pitches in pixels.
template <bool kVectorSet>
inline void AlphaOverNarrowRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstPitch,
                                ptrdiff_t srcPitch, int width, int height) {
  for (int row = 0; row < height; ++row, dst += dstPitch, src += srcPitch) {
    int x = 0;
    if constexpr (kVectorSet) {
      for (; x + 4 <= width; x += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x),
                         AlphaOverFour(d, s, AlphaOverWeights(s)));
      }
      if (x + 2 <= width) {
        const __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + x));
        const __m128i d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(dst + x));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + x),
                         AlphaOverFour(d, s, AlphaOverWeights(s)));
        x += 2;
      }
      if (x < width) {
        const __m128i s = _mm_cvtsi32_si128(int(src[x]));
        const __m128i d = _mm_cvtsi32_si128(int(dst[x]));
        dst[x] = uint32_t(_mm_cvtsi128_si32(AlphaOverFour(d, s, AlphaOverWeights(s))));
        ++x;
      }
    }
    for (; x < width; ++x) {
      dst[x] = kVectorSet ? AlphaOverMmxPixel(dst[x], src[x]) : AlphaOverPlain(dst[x], src[x]);
    }
  }
}

}  // namespace bw::pixel_detail
