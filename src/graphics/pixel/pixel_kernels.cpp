#include "graphics/pixel/pixel_kernels.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "graphics/pixel/row_walk.h"
#include "graphics/pixel/stretch_rows.h"
#include "platform/mmx_flag.h"

namespace bw {

using namespace pixel_detail;

namespace {

inline void Copy(uint32_t* d, const uint32_t* s) {
  *d = *s;
}

struct KeyedCopy {
  uint32_t key;
  void operator()(uint32_t* d, const uint32_t* s) const {
    if (*s != key) *d = *s;
  }
};

struct IndexedCopy {
  const uint32_t* colors;
  void operator()(uint32_t* d, const uint8_t* s) const { *d = colors[*s]; }
};

struct KeyedIndexedCopy {
  const uint32_t* colors;
  uint8_t key;
  void operator()(uint32_t* d, const uint8_t* s) const {
    if (*s != key) *d = colors[*s];
  }
};

__attribute__((target("avx2"))) inline __m256i Load8(const uint32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
__attribute__((target("avx2"))) inline void Store8(uint32_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Rows of 4 to 31 pixels (narrow strips) as whole vectors from both ends, the middle written twice
// with the same pixels; all loads come before the stores, so the rows must lie apart.
__attribute__((target("avx2"))) inline void CopyNarrowRowAvx2(uint32_t* dst, const uint32_t* src,
                                                              int width) {
  if (width < 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + width - 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + width - 4), b);
  } else if (width < 16) {
    const __m256i a = Load8(src), b = Load8(src + width - 8);
    Store8(dst, a);
    Store8(dst + width - 8, b);
  } else {
    const __m256i a = Load8(src), b = Load8(src + 8), c = Load8(src + width - 16),
                  e = Load8(src + width - 8);
    Store8(dst, a);
    Store8(dst + 8, b);
    Store8(dst + width - 16, c);
    Store8(dst + width - 8, e);
  }
}

// Whole 64-byte lines of the target, four vectors at a time: the compiler may reorder the four
// stores, and stores that alternate between two lines commit a fifth slower.
__attribute__((target("avx2"))) inline void CopyLinesAvx2(uint32_t* dst, const uint32_t* src,
                                                          int& x, int width) {
  for (; x + 32 <= width; x += 32) {
    const __m256i a = Load8(src + x), b = Load8(src + x + 8), c = Load8(src + x + 16),
                  e = Load8(src + x + 24);
    Store8(dst + x, a);
    Store8(dst + x + 8, b);
    Store8(dst + x + 16, c);
    Store8(dst + x + 24, e);
  }
}

__attribute__((target("avx2"))) void CopyRowAvx2(uint32_t* dst, const uint32_t* src, int width) {
  const uintptr_t apart = reinterpret_cast<uintptr_t>(dst) - reinterpret_cast<uintptr_t>(src);
  if (width >= 4 && std::min(apart, 0 - apart) >= uintptr_t(width) * 4) {
    if (width < 32) return CopyNarrowRowAvx2(dst, src, width);
    // Rows apart: the first line's worth unaligned, the lines from the first boundary, and the
    // last 32 pixels unaligned, rewriting what the lines already wrote.
    const __m256i a = Load8(src), b = Load8(src + 8);
    Store8(dst, a);
    Store8(dst + 8, b);
    int x = int((0 - reinterpret_cast<uintptr_t>(dst)) % 64 / 4);
    CopyLinesAvx2(dst, src, x, width);
    if (x < width) {
      const __m256i c = Load8(src + width - 32), e = Load8(src + width - 24),
                    f = Load8(src + width - 16), g = Load8(src + width - 8);
      Store8(dst + width - 32, c);
      Store8(dst + width - 24, e);
      Store8(dst + width - 16, f);
      Store8(dst + width - 8, g);
    }
    return;
  }
  int x = 0;
  // Overlapping rows go forward pixel by pixel up to the first line boundary.
  for (; x < width && reinterpret_cast<uintptr_t>(dst + x) % 64 != 0; ++x) dst[x] = src[x];
  CopyLinesAvx2(dst, src, x, width);
  for (; x + 8 <= width; x += 8) Store8(dst + x, Load8(src + x));
  for (; x + 4 <= width; x += 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x)));
  }
  for (; x < width; ++x) dst[x] = src[x];
}

void CopyRowSse2(uint32_t* dst, const uint32_t* src, int width) {
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x)));
  }
  for (; x < width; ++x) dst[x] = src[x];
}

// Fills store whole aligned vectors, four to a step, after single pixels up to the alignment.
// Fills far larger than the caches stream past them: nothing would be left to read back, and the
// stores need not fetch the lines they overwrite.
template <bool kStream>
__attribute__((target("avx2"))) inline void StoreFill(uint32_t* p, __m256i v) {
  if constexpr (kStream) {
    _mm256_stream_si256(reinterpret_cast<__m256i*>(p), v);
  } else {
    _mm256_store_si256(reinterpret_cast<__m256i*>(p), v);
  }
}
template <bool kStream>
inline void StoreFill(uint32_t* p, __m128i v) {
  if constexpr (kStream) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(p), v);
  } else {
    _mm_store_si128(reinterpret_cast<__m128i*>(p), v);
  }
}

template <bool kStream>
__attribute__((target("avx2"))) void FillRowAvx2(uint32_t* dst, int width, uint32_t value) {
  const __m256i v = _mm256_set1_epi32(static_cast<int>(value));
  int x = 0;
  for (; x < width && reinterpret_cast<uintptr_t>(dst + x) % 32 != 0; ++x) dst[x] = value;
  for (; x + 32 <= width; x += 32) {
    StoreFill<kStream>(dst + x, v);
    StoreFill<kStream>(dst + x + 8, v);
    StoreFill<kStream>(dst + x + 16, v);
    StoreFill<kStream>(dst + x + 24, v);
  }
  for (; x + 8 <= width; x += 8) StoreFill<kStream>(dst + x, v);
  for (; x < width; ++x) dst[x] = value;
}

template <bool kStream>
void FillRowSse2(uint32_t* dst, int width, uint32_t value) {
  const __m128i v = _mm_set1_epi32(static_cast<int>(value));
  int x = 0;
  for (; x < width && reinterpret_cast<uintptr_t>(dst + x) % 16 != 0; ++x) dst[x] = value;
  for (; x + 16 <= width; x += 16) {
    StoreFill<kStream>(dst + x, v);
    StoreFill<kStream>(dst + x + 4, v);
    StoreFill<kStream>(dst + x + 8, v);
    StoreFill<kStream>(dst + x + 12, v);
  }
  for (; x + 4 <= width; x += 4) StoreFill<kStream>(dst + x, v);
  for (; x < width; ++x) dst[x] = value;
}

constexpr int64_t kStreamedFillBytes = int64_t{16} << 20;

__attribute__((target("avx2"))) void FillRgbRowAvx2(uint32_t* dst, int width, uint32_t rgb) {
  const __m256i keep = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i color = _mm256_set1_epi32(static_cast<int>(rgb));
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + x));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x),
                        _mm256_or_si256(_mm256_and_si256(d, keep), color));
  }
  for (; x < width; ++x) dst[x] = (dst[x] & 0xFF000000u) | rgb;
}

void FillRgbRowSse2(uint32_t* dst, int width, uint32_t rgb) {
  const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i color = _mm_set1_epi32(static_cast<int>(rgb));
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x),
                     _mm_or_si128(_mm_and_si128(d, keep), color));
  }
  for (; x < width; ++x) dst[x] = (dst[x] & 0xFF000000u) | rgb;
}

__attribute__((target("avx2"))) void KeyedCopyRowAvx2(uint32_t* dst, const uint32_t* src, int width,
                                                      uint32_t key) {
  const __m256i keyVec = _mm256_set1_epi32(static_cast<int>(key));
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x));
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + x));
    __m256i out = _mm256_blendv_epi8(s, d, _mm256_cmpeq_epi32(s, keyVec));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), out);
  }
  for (; x < width; ++x) {
    if (src[x] != key) dst[x] = src[x];
  }
}

// Reverses four pixels at a time: the source is read from the right end of the row.
void MirrorRowSse2(uint32_t* dst, const uint32_t* srcEnd, int width) {
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(srcEnd - x - 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), _mm_shuffle_epi32(s, 0x1B));
  }
  for (; x < width; ++x) dst[x] = srcEnd[-x - 1];
}

}  // namespace

void FillRows32(uint32_t* dst, ptrdiff_t dstSkip, int width, int height, uint32_t value) {
  if (dstSkip == 0 && int64_t{width} * height <= INT32_MAX) {
    width *= height;
    height = 1;
  }
  const bool stream = int64_t{width} * height * 4 > kStreamedFillBytes;
  auto row = WideVectorsEnabled() ? (stream ? FillRowAvx2<true> : FillRowAvx2<false>)
                                  : (stream ? FillRowSse2<true> : FillRowSse2<false>);
  do {
    row(dst, width, value);
    dst = AddBytes(dst + width, dstSkip);
  } while (--height > 0);
  if (stream) _mm_sfence();
}

void FillRgbRows(uint32_t* dst, ptrdiff_t dstSkip, int width, int height, uint32_t rgb) {
  rgb &= 0x00FFFFFFu;
  do {
    for (int x = 0; x < width; ++x) dst[x] = (dst[x] & 0xFF000000u) | rgb;
    dst = AddBytes(dst + width, dstSkip);
  } while (--height > 0);
}

void FillRgbRowsMmx(uint32_t* dst, ptrdiff_t dstSkip, int width, int height, uint32_t rgb) {
  rgb &= 0x00FFFFFFu;
  auto row = WideVectorsEnabled() ? FillRgbRowAvx2 : FillRgbRowSse2;
  do {
    row(dst, width, rgb);
    dst = AddBytes(dst + width, dstSkip);
  } while (--height > 0);
}

void CopyRows32(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
                int height) {
  do {
    std::memcpy(dst, src, size_t(width) * 4);
    dst = AddBytes(dst + width, dstSkip);
    src = AddBytes(src + width, srcSkip);
  } while (--height > 0);
}

void CopyRows32Mmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int width, int height) {
  auto row = WideVectorsEnabled() ? CopyRowAvx2 : CopyRowSse2;
  // Rows without padding on either side are one long run.
  if (dstSkip == 0 && srcSkip == 0 && int64_t{width} * height <= INT32_MAX) {
    width *= height;
    height = 1;
  }
  EachRow(dst, src, dstSkip, srcSkip, width, height, row);
}

void CopyRows32Keyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                     int width, int height, uint32_t key) {
  if (WideVectorsEnabled()) {
    EachRow(dst, src, dstSkip, srcSkip, width, height,
            [key](uint32_t* d, const uint32_t* s, int w) { KeyedCopyRowAvx2(d, s, w, key); });
  } else {
    WalkStraight(dst, src, dstSkip, srcSkip, width, height, KeyedCopy{key});
  }
}

void StretchCopyRows32(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                       int width, int height, const StretchStepper& st) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st, Copy);
}
void StretchCopyRows32Mmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                          int width, int height, const StretchStepper& st) {
  if (!StretchCopyRowsVector(dst, src, dstSkip, srcPitch, width, height, st, false))
    StretchCopyRows32(dst, src, dstSkip, srcPitch, width, height, st);
}
void StretchCopyRows32Keyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                            ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                            uint32_t key) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st, KeyedCopy{key});
}

void MirrorCopyRows32(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                      int width, int height) {
  WalkMirrored(dst, src, dstSkip, srcSkip, width, height, Copy);
}
void MirrorCopyRows32Mmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                         int width, int height) {
  do {
    MirrorRowSse2(dst, src, width);
    dst = AddBytes(dst + width, dstSkip);
    src = AddBytes(src - width, srcSkip);
  } while (--height > 0);
}
void MirrorCopyRows32Keyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                           int width, int height, uint32_t key) {
  WalkMirrored(dst, src, dstSkip, srcSkip, width, height, KeyedCopy{key});
}
void StretchMirrorCopyRows32(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                             ptrdiff_t srcPitch, int width, int height, const StretchStepper& st) {
  WalkStretchedMirrored(dst, src, dstSkip, srcPitch, width, height, st, Copy);
}
void StretchMirrorCopyRows32Mmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                ptrdiff_t srcPitch, int width, int height,
                                const StretchStepper& st) {
  if (!StretchCopyRowsVector(dst, src, dstSkip, srcPitch, width, height, st, true))
    StretchMirrorCopyRows32(dst, src, dstSkip, srcPitch, width, height, st);
}
void StretchMirrorCopyRows32Keyed(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                                  ptrdiff_t srcPitch, int width, int height,
                                  const StretchStepper& st, uint32_t key) {
  WalkStretchedMirrored(dst, src, dstSkip, srcPitch, width, height, st, KeyedCopy{key});
}

void CopyIndexedRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                     int width, int height, const uint32_t* colors) {
  WalkStraight(dst, src, dstSkip, srcSkip, width, height, IndexedCopy{colors});
}
void CopyIndexedRowsKeyed(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                          int width, int height, const uint32_t* colors, uint32_t key) {
  WalkStraight(dst, src, dstSkip, srcSkip, width, height,
               KeyedIndexedCopy{colors, static_cast<uint8_t>(key)});
}
void StretchCopyIndexedRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                            ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                            const uint32_t* colors) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st, IndexedCopy{colors});
}
void StretchCopyIndexedRowsKeyed(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                 ptrdiff_t srcPitch, int width, int height,
                                 const StretchStepper& st, const uint32_t* colors, uint32_t key) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st,
                KeyedIndexedCopy{colors, static_cast<uint8_t>(key)});
}
void MirrorCopyIndexedRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                           int width, int height, const uint32_t* colors) {
  WalkMirrored(dst, src, dstSkip, srcSkip, width, height, IndexedCopy{colors});
}
void MirrorCopyIndexedRowsKeyed(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                ptrdiff_t srcSkip, int width, int height, const uint32_t* colors,
                                uint32_t key) {
  WalkMirrored(dst, src, dstSkip, srcSkip, width, height,
               KeyedIndexedCopy{colors, static_cast<uint8_t>(key)});
}
void StretchMirrorCopyIndexedRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                  ptrdiff_t srcPitch, int width, int height,
                                  const StretchStepper& st, const uint32_t* colors) {
  WalkStretchedMirrored(dst, src, dstSkip, srcPitch, width, height, st, IndexedCopy{colors});
}
void StretchMirrorCopyIndexedRowsKeyed(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                       ptrdiff_t srcPitch, int width, int height,
                                       const StretchStepper& st, const uint32_t* colors,
                                       uint32_t key) {
  WalkStretchedMirrored(dst, src, dstSkip, srcPitch, width, height, st,
                        KeyedIndexedCopy{colors, static_cast<uint8_t>(key)});
}

}  // namespace bw
