#include "graphics/pixel/alpha_kernels.h"

#include <emmintrin.h>
#include <immintrin.h>

#include "graphics/pixel/alpha_over_pixel.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/row_walk.h"
#include "platform/mmx_flag.h"

namespace bw {

using namespace pixel_detail;

namespace {

constexpr uint32_t kAlphaMask = 0xFF000000u;
constexpr uint32_t kColorMask = 0x00FFFFFFu;

// Eight pixels at a time. Each source byte goes to the high byte of a 16-bit lane, so that one
// high multiply gives s x w >> 8; the weights come straight from the alpha bytes.
__attribute__((target("avx2"))) void AlphaOverRowAvx2(uint32_t* dst, const uint32_t* src,
                                                      int width) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i full =
      _mm256_setr_epi16(256, 256, 256, 0, 256, 256, 256, 0, 256, 256, 256, 0, 256, 256, 256, 0);
  const __m256i opaque = _mm256_set1_epi16(255);
  // Alpha bytes of pixels 0 and 1 (low half) or 2 and 3 (high half) of each 128-bit lane into
  // the three colour lanes; 0x80 zeroes the alpha lane.
  const __m256i alphaLo = _mm256_setr_epi8(3, -128, 3, -128, 3, -128, -128, -128, 7, -128, 7, -128,
                                           7, -128, -128, -128, 3, -128, 3, -128, 3, -128, -128,
                                           -128, 7, -128, 7, -128, 7, -128, -128, -128);
  const __m256i alphaHi =
      _mm256_add_epi8(alphaLo, _mm256_setr_epi8(8, 0, 8, 0, 8, 0, 0, 0, 8, 0, 8, 0, 8, 0, 0, 0, 8,
                                                0, 8, 0, 8, 0, 0, 0, 8, 0, 8, 0, 8, 0, 0, 0));
  const __m256i alphaBytes = _mm256_set1_epi32(static_cast<int>(kAlphaMask));
  const __m256i colors = _mm256_set1_epi32(static_cast<int>(kColorMask));
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x));
    // Eight transparent pixels leave the colour and clear the alpha; eight opaque ones are the
    // source's colour.
    const __m256i sa = _mm256_and_si256(s, alphaBytes);
    if (_mm256_testz_si256(s, alphaBytes)) {
      __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + x));
      if (!_mm256_testz_si256(d, alphaBytes)) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), _mm256_and_si256(d, colors));
      }
      continue;
    }
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, alphaBytes)) == -1) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), _mm256_and_si256(s, colors));
      continue;
    }
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + x));
    __m256i aLo = _mm256_shuffle_epi8(s, alphaLo);
    __m256i aHi = _mm256_shuffle_epi8(s, alphaHi);
    __m256i wsLo = _mm256_sub_epi16(aLo, _mm256_cmpeq_epi16(aLo, opaque));
    __m256i wsHi = _mm256_sub_epi16(aHi, _mm256_cmpeq_epi16(aHi, opaque));
    __m256i wdLo = _mm256_sub_epi16(full, wsLo);
    __m256i wdHi = _mm256_sub_epi16(full, wsHi);
    __m256i lo = _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, s), wsLo),
                                  _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, d), wdLo));
    __m256i hi = _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, s), wsHi),
                                  _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, d), wdHi));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), _mm256_packus_epi16(lo, hi));
  }
  for (; x < width; ++x) dst[x] = AlphaOverMmxPixel(dst[x], src[x]);
}

// Four target pixels under transparent source pixels keep their colour and lose their alpha;
// a target whose alpha is already clear is left unwritten.
inline void ClearAlphaFour(uint32_t* dst, __m128i alphaBytes, __m128i zero) {
  const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(d, alphaBytes), zero)) != 0xFFFF) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_andnot_si128(alphaBytes, d));
  }
}

// Eight pixels a step: their alpha values packed into one register give one test for a group of
// transparent or of opaque pixels and the weights of both halves at once (256 for 255); then a
// last group of four, then single pixels.
inline void AlphaOverRowSse2(uint32_t* dst, const uint32_t* src, int width) {
  const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(kAlphaMask));
  const __m128i opaqueAlpha = _mm_set1_epi16(255);
  const __m128i zero = _mm_setzero_si128();
  auto load = [](const uint32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };
  auto store = [](uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); };
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m128i s0 = load(src + x), s1 = load(src + x + 4);
    const __m128i a = _mm_packs_epi32(_mm_srli_epi32(s0, 24), _mm_srli_epi32(s1, 24));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(a, zero)) == 0xFFFF) {
      ClearAlphaFour(dst + x, alphaBytes, zero);
      ClearAlphaFour(dst + x + 4, alphaBytes, zero);
      continue;
    }
    const __m128i opaque = _mm_cmpeq_epi16(a, opaqueAlpha);
    if (_mm_movemask_epi8(opaque) == 0xFFFF) {
      store(dst + x, _mm_andnot_si128(alphaBytes, s0));
      store(dst + x + 4, _mm_andnot_si128(alphaBytes, s1));
      continue;
    }
    const __m128i w = _mm_sub_epi16(a, opaque);
    store(dst + x, AlphaOverFour(load(dst + x), s0, _mm_unpacklo_epi16(w, w)));
    store(dst + x + 4, AlphaOverFour(load(dst + x + 4), s1, _mm_unpackhi_epi16(w, w)));
  }
  if (x + 4 <= width) {
    const __m128i s = load(src + x);
    const __m128i a = _mm_srli_epi32(s, 24);
    const __m128i opaque = _mm_cmpeq_epi32(a, _mm_set1_epi32(255));
    store(dst + x, AlphaOverFour(load(dst + x), s,
                                 _mm_sub_epi16(_mm_or_si128(a, _mm_slli_epi32(a, 16)), opaque)));
    x += 4;
  }
  for (; x < width; ++x) dst[x] = AlphaOverMmxPixel(dst[x], src[x]);
}

// Colour from one side, alpha from the other, in groups of four.
template <bool kKeyed>
void MergeChannelsSse2(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                       int width, int height, uint32_t fromSource, uint32_t key) {
  const __m128i take = _mm_set1_epi32(static_cast<int>(fromSource));
  const __m128i keyVec = _mm_set1_epi32(static_cast<int>(key));
  do {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
      __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
      __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + x));
      __m128i mask = take;
      if constexpr (kKeyed) mask = _mm_andnot_si128(_mm_cmpeq_epi32(s, keyVec), take);
      __m128i out = _mm_or_si128(_mm_and_si128(mask, s), _mm_andnot_si128(mask, d));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), out);
    }
    for (; x < width; ++x) {
      if (kKeyed && src[x] == key) continue;
      dst[x] = (src[x] & fromSource) | (dst[x] & ~fromSource);
    }
    dst = AddBytes(dst + width, dstSkip);
    src = AddBytes(src + width, srcSkip);
  } while (--height > 0);
}

}  // namespace

void AlphaOverRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int width, int height) {
  // Runs of transparent and of opaque pixels go by without a multiply.
  EachRow(dst, src, dstSkip, srcSkip, width, height, [](uint32_t* d, const uint32_t* s, int w) {
    int x = 0;
    while (x < w) {
      if (s[x] <= kColorMask) {
        do d[x] &= kColorMask;
        while (++x < w && s[x] <= kColorMask);
      } else if (s[x] >= kAlphaMask) {
        do d[x] = s[x] & kColorMask;
        while (++x < w && s[x] >= kAlphaMask);
      } else {
        d[x] = AlphaOverPlain(d[x], s[x]);
        ++x;
      }
    }
  });
}
void MirrorAlphaOverRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                         int width, int height) {
  WalkMirrored(dst, src, dstSkip, srcSkip, width, height,
               [](uint32_t* d, const uint32_t* s) { *d = AlphaOverPlain(*d, *s); });
}
void StretchAlphaOverRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                          int width, int height, const StretchStepper& st) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st,
                [](uint32_t* d, const uint32_t* s) { *d = AlphaOverPlain(*d, *s); });
}
void StretchMirrorAlphaOverRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                ptrdiff_t srcPitch, int width, int height,
                                const StretchStepper& st) {
  WalkStretchedMirrored(dst, src, dstSkip, srcPitch, width, height, st,
                        [](uint32_t* d, const uint32_t* s) { *d = AlphaOverPlain(*d, *s); });
}

void AlphaOverRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                      int width, int height) {
  // The row forms are named, not chosen through a pointer, so that the 128-bit one inlines into
  // the walk and a small picture pays no call per row.
  if (WideVectorsEnabled()) {
    EachRow(dst, src, dstSkip, srcSkip, width, height, AlphaOverRowAvx2);
  } else {
    EachRow(dst, src, dstSkip, srcSkip, width, height,
            [](uint32_t* d, const uint32_t* s, int w) { AlphaOverRowSse2(d, s, w); });
  }
}
void MirrorAlphaOverRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                            ptrdiff_t srcSkip, int width, int height) {
  WalkMirrored(dst, src, dstSkip, srcSkip, width, height,
               [](uint32_t* d, const uint32_t* s) { *d = AlphaOverMmxPixel(*d, *s); });
}
void StretchAlphaOverRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                             ptrdiff_t srcPitch, int width, int height, const StretchStepper& st) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st,
                [](uint32_t* d, const uint32_t* s) { *d = AlphaOverMmxPixel(*d, *s); });
}
void StretchMirrorAlphaOverRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                   ptrdiff_t srcPitch, int width, int height,
                                   const StretchStepper& st) {
  WalkStretchedMirrored(dst, src, dstSkip, srcPitch, width, height, st,
                        [](uint32_t* d, const uint32_t* s) { *d = AlphaOverMmxPixel(*d, *s); });
}

namespace {
inline void ByteToAlpha(uint32_t* d, const uint8_t* s) {
  *d = (*d & kColorMask) | uint32_t{*s} << 24;
}
inline void AlphaToByte(uint8_t* d, const uint32_t* s) {
  *d = static_cast<uint8_t>(*s >> 24);
}
inline void ColorOnly(uint32_t* d, const uint32_t* s) {
  *d = (*d & kAlphaMask) | (*s & kColorMask);
}
inline void AlphaOnly(uint32_t* d, const uint32_t* s) {
  *d = (*d & kColorMask) | (*s & kAlphaMask);
}
}  // namespace

void CopyBytesToAlphaRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                          int width, int height) {
  WalkStraight(dst, src, dstSkip, srcSkip, width, height, ByteToAlpha);
}
void MirrorCopyBytesToAlphaRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                ptrdiff_t srcSkip, int width, int height) {
  WalkMirrored(dst, src, dstSkip, srcSkip, width, height, ByteToAlpha);
}
void StretchCopyBytesToAlphaRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                 ptrdiff_t srcPitch, int width, int height,
                                 const StretchStepper& st) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st, ByteToAlpha);
}
void StretchMirrorCopyBytesToAlphaRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                       ptrdiff_t srcPitch, int width, int height,
                                       const StretchStepper& st) {
  WalkStretchedMirrored(dst, src, dstSkip, srcPitch, width, height, st, ByteToAlpha);
}

void CopyAlphaToBytesRows(uint8_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                          int width, int height) {
  WalkStraight(dst, src, dstSkip, srcSkip, width, height, AlphaToByte);
}
void MirrorCopyAlphaToBytesRows(uint8_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                ptrdiff_t srcSkip, int width, int height) {
  WalkMirrored(dst, src, dstSkip, srcSkip, width, height, AlphaToByte);
}
void StretchCopyAlphaToBytesRows(uint8_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                 ptrdiff_t srcPitch, int width, int height,
                                 const StretchStepper& st) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st, AlphaToByte);
}
void StretchMirrorCopyAlphaToBytesRows(uint8_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                       ptrdiff_t srcPitch, int width, int height,
                                       const StretchStepper& st) {
  WalkStretchedMirrored(dst, src, dstSkip, srcPitch, width, height, st, AlphaToByte);
}

void CopyColorRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int width, int height) {
  WalkStraight(dst, src, dstSkip, srcSkip, width, height, ColorOnly);
}
void StretchCopyColorRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                          int width, int height, const StretchStepper& st) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st, ColorOnly);
}
void CopyColorRowsKeyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                        int width, int height, uint32_t key) {
  WalkStraight(dst, src, dstSkip, srcSkip, width, height, [key](uint32_t* d, const uint32_t* s) {
    if (*s != key) ColorOnly(d, s);
  });
}
void StretchCopyColorRowsKeyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                               ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                               uint32_t key) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st,
                [key](uint32_t* d, const uint32_t* s) {
                  if (*s != key) ColorOnly(d, s);
                });
}
void CopyColorRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                      int width, int height) {
  MergeChannelsSse2<false>(dst, src, dstSkip, srcSkip, width, height, kColorMask, 0);
}
// Stepping one pixel at a time gains nothing from vectors: the stretched forms share the loop.
void StretchCopyColorRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                             ptrdiff_t srcPitch, int width, int height, const StretchStepper& st) {
  StretchCopyColorRows(dst, src, dstSkip, srcPitch, width, height, st);
}
void CopyColorRowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                           int width, int height, uint32_t key) {
  MergeChannelsSse2<true>(dst, src, dstSkip, srcSkip, width, height, kColorMask, key);
}
void StretchCopyColorRowsKeyedMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                  ptrdiff_t srcPitch, int width, int height,
                                  const StretchStepper& st, uint32_t key) {
  StretchCopyColorRowsKeyed(dst, src, dstSkip, srcPitch, width, height, st, key);
}

void CopyAlphaRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int width, int height) {
  WalkStraight(dst, src, dstSkip, srcSkip, width, height, AlphaOnly);
}
void StretchCopyAlphaRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                          int width, int height, const StretchStepper& st) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st, AlphaOnly);
}
void CopyAlphaRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                      int width, int height) {
  MergeChannelsSse2<false>(dst, src, dstSkip, srcSkip, width, height, kAlphaMask, 0);
}
void StretchCopyAlphaRowsMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                             ptrdiff_t srcPitch, int width, int height, const StretchStepper& st) {
  StretchCopyAlphaRows(dst, src, dstSkip, srcPitch, width, height, st);
}

void MergeAlphaRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                    int width, int height) {
  WalkStraight(dst, mask, dstSkip, maskSkip, width, height, [](uint32_t* d, const uint8_t* m) {
    *d = (*d & kColorMask) | uint32_t{AlphaUnionTable[*d >> 24][*m]} << 24;
  });
}

void SetAlphaRun(uint32_t* pixels, size_t count, uint8_t alpha) {
  uint32_t a = uint32_t{alpha} << 24;
  for (size_t i = 0; i < count; ++i) pixels[i] = (pixels[i] & kColorMask) | a;
}

}  // namespace bw
