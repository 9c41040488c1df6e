#include "graphics/pixel/filter_kernels.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/lerp.h"
#include "graphics/pixel/row_walk.h"
#include "platform/mmx_flag.h"

namespace bw {

using namespace pixel_detail;

namespace {

// The reach of a row's window: the pixels it may read run from lo to hi, row-relative.
struct BlurReach {
  int r, lo, hi;
  explicit BlurReach(const BlurExtent& e)
      : r(std::clamp(e.radius, 1, kBlurMaxRadius)),
        lo(-std::min(e.availableLeft, r)),
        hi(std::max(e.availableRight, 1) - 1) {}
};

// The blurred row of one source row, written through emit(x, b).
template <typename Emit>
void BlurOneRow(const uint32_t* src, int width, const BlurReach& reach, Emit emit) {
  const int r = reach.r;
  auto at = [&](int i) { return src[std::clamp(i, reach.lo, reach.hi)]; };
  // Red and blue share one sum word, alpha and green another: 16 bits per channel suffice.
  uint32_t rb = 0, ag = 0;
  for (int i = -r; i < r; ++i) {
    uint32_t p = at(i);
    rb += p & 0x00FF00FFu;
    ag += (p >> 8) & 0x00FF00FFu;
  }
  const uint64_t reciprocal = 65536u / uint32_t(2 * r + 1);
  auto step = [&](int x, uint32_t in, uint32_t gone) {
    rb += in & 0x00FF00FFu;
    ag += (in >> 8) & 0x00FF00FFu;
    auto channel = [&](uint32_t sum) { return uint32_t((sum * reciprocal + 32768) >> 16); };
    emit(x, channel(rb & 0xFFFF) | channel(rb >> 16) << 16 | channel(ag & 0xFFFF) << 8 |
                channel(ag >> 16) << 24);
    rb -= gone & 0x00FF00FFu;
    ag -= (gone >> 8) & 0x00FF00FFu;
  };
  // Only the ends clamp: in between, the window lies inside what may be read.
  const int inFrom = std::clamp(reach.lo + r, 0, width);
  const int inTo = std::clamp(reach.hi - r + 1, inFrom, width);
  int x = 0;
  for (; x < inFrom; ++x) step(x, at(x + r), at(x - r));
  for (; x < inTo; ++x) step(x, src[x + r], src[x - r]);
  for (; x < width; ++x) step(x, at(x + r), at(x - r));
}

template <typename Mix>
void BlurWalk(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
              int height, const BlurExtent& extent, Mix mix) {
  const BlurReach reach(extent);
  // A row buffer lets the target be the source itself.
  thread_local std::vector<uint32_t> row;
  do {
    const auto from = reinterpret_cast<uintptr_t>(src + reach.lo);
    const auto to = reinterpret_cast<uintptr_t>(src + reach.hi + 1);
    const auto out = reinterpret_cast<uintptr_t>(dst);
    if (out + size_t(width) * 4 <= from || to <= out) {
      BlurOneRow(src, width, reach, [&](int x, uint32_t b) { dst[x] = mix(dst[x], b); });
    } else {
      row.resize(size_t(width));
      BlurOneRow(src, width, reach, [&](int x, uint32_t b) { row[size_t(x)] = b; });
      for (int x = 0; x < width; ++x) dst[x] = mix(dst[x], row[size_t(x)]);
    }
    dst = AddBytes(dst + width, dstSkip);
    src = AddBytes(src + width, srcSkip);
  } while (--height > 0);
}

// a + floor((b - a) x f / 256) on all four channels, two channels per word.
inline uint32_t Lerp8(uint32_t a, uint32_t b, uint32_t f) {
  uint32_t arb = a & 0x00FF00FFu, aag = (a >> 8) & 0x00FF00FFu;
  uint32_t rb = (arb + (((b & 0x00FF00FFu) - arb) * f >> 8)) & 0x00FF00FFu;
  uint32_t ag = (aag + ((((b >> 8) & 0x00FF00FFu) - aag) * f >> 8)) & 0x00FF00FFu;
  return rb | ag << 8;
}

inline uint32_t BilinearPlain(uint32_t p00, uint32_t p01, uint32_t p10, uint32_t p11, uint32_t fx,
                              uint32_t fy) {
  return Lerp8(Lerp8(p00, p01, fx), Lerp8(p10, p11, fx), fy);
}

// The same in 16-bit lanes: the top pair and the bottom pair in one register.
inline uint32_t BilinearLanes(uint32_t p00, uint32_t p01, uint32_t p10, uint32_t p11, uint32_t fx,
                              uint32_t fy) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i mask = _mm_set1_epi16(0xFF);
  __m128i left = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, int(p10), int(p00)), zero);
  __m128i right = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, int(p11), int(p01)), zero);
  __m128i delta =
      _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(right, left), _mm_set1_epi16(short(fx))), 8);
  __m128i pair = _mm_and_si128(_mm_add_epi16(left, delta), mask);  // top, bottom
  __m128i top = pair, bottom = _mm_srli_si128(pair, 8);
  delta = _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(bottom, top), _mm_set1_epi16(short(fy))), 8);
  __m128i out = _mm_and_si128(_mm_add_epi16(top, delta), mask);
  return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(out, zero)));
}

template <typename Pixel, typename Mix>
void SmoothStretchWalk(uint32_t* dst, const Pixel* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                       int width, int height, const SmoothStepper& st, int sourceColumns,
                       int sourceRows, Mix mix) {
  const int64_t lastColumn = std::max(sourceColumns, 1) - 1;
  const int64_t lastRow = std::max(sourceRows, 1) - 1;
  int64_t row = 0;
  uint64_t yPos = st.yFraction;
  do {
    const int64_t r0 = std::min(row, lastRow);
    const Pixel* top = AddBytes(src, r0 * srcPitch);
    const Pixel* below = AddBytes(src, std::min(r0 + 1, lastRow) * srcPitch);
    const uint32_t fy = uint32_t(yPos) >> 24;
    uint64_t x = st.xFraction;
    for (int i = 0; i < width; ++i, x += st.xStep) {
      const int64_t c0 = std::min(int64_t(x >> 32), lastColumn);
      const int64_t c1 = std::min(c0 + 1, lastColumn);
      *dst++ = mix(top[c0], top[c1], below[c0], below[c1], uint32_t(x) >> 24, fy);
    }
    dst = AddBytes(dst, dstSkip);
    yPos = uint32_t(yPos) + st.yStep;
    row += int64_t(yPos >> 32);
  } while (--height > 0);
}

}  // namespace

void BlurRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip, int width,
              int height, const BlurExtent& extent) {
  BlurWalk(dst, src, dstSkip, srcSkip, width, height, extent,
           [](uint32_t, uint32_t b) { return b; });
}
void BlurRowsWithOpacity(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                         int width, int height, const BlurExtent& extent, int opacity) {
  const uint32_t w = WeightTable[opacity & 0xFF][0];
  BlurWalk(dst, src, dstSkip, srcSkip, width, height, extent,
           [w](uint32_t d, uint32_t b) { return LerpPlain(d, b, w); });
}
void BlurAlphaRows(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int width, int height, const BlurExtent& extent, const uint8_t* opacityRow) {
  BlurWalk(dst, src, dstSkip, srcSkip, width, height, extent, [opacityRow](uint32_t d, uint32_t b) {
    return LerpPlain(d, b, WeightTable[opacityRow[b >> 24]][0]);
  });
}

void SmoothStretchRows32(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                         int width, int height, const SmoothStepper& st, int sourceColumns,
                         int sourceRows) {
  SmoothStretchWalk(dst, src, dstSkip, srcPitch, width, height, st, sourceColumns, sourceRows,
                    BilinearPlain);
}
__attribute__((target("avx2"))) inline __m256i Lerp256(__m256i a, __m256i b, __m256i w) {
  __m256i delta = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(b, a), w), 8);
  return _mm256_and_si256(_mm256_add_epi16(a, delta), _mm256_set1_epi16(0xFF));
}

// Each pixel's two horizontal neighbours; pixels 0 and 1 in the low lane, 2 and 3 in the high.
__attribute__((target("avx2"))) inline __m256i NeighbourPairs(const uint32_t* line,
                                                              const int64_t c[4]) {
  __m128i p[4];
  for (int k = 0; k < 4; ++k) p[k] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + c[k]));
  return _mm256_set_m128i(_mm_unpacklo_epi32(p[2], p[3]), _mm_unpacklo_epi32(p[0], p[1]));
}

// Four target pixels of one row, two per 128-bit lane, as in the two-pixel step below. Answers
// how many it did; stops before any pixel whose right neighbour is clamped.
__attribute__((target("avx2"))) int BilinearRowAvx2(uint32_t* dst, const uint32_t* top,
                                                    const uint32_t* below, int width, uint64_t& x,
                                                    uint64_t step, int64_t lastColumn,
                                                    uint32_t fy) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i fyLanes = _mm256_set1_epi16(short(fy));
  int i = 0;
  for (; i + 4 <= width; i += 4) {
    int64_t c[4];
    int f[4];
    for (int k = 0; k < 4; ++k) {
      const uint64_t p = x + uint64_t(k) * step;
      c[k] = int64_t(p >> 32);
      f[k] = int(uint32_t(p) >> 24);
    }
    if (c[3] >= lastColumn) break;
    const __m256i t = NeighbourPairs(top, c), u = NeighbourPairs(below, c);
    const __m128i f4 = _mm_unpacklo_epi16(_mm_cvtsi32_si128(f[0] | f[1] << 16),
                                          _mm_cvtsi32_si128(f[0] | f[1] << 16));
    const __m128i g4 = _mm_unpacklo_epi16(_mm_cvtsi32_si128(f[2] | f[3] << 16),
                                          _mm_cvtsi32_si128(f[2] | f[3] << 16));
    const __m256i w = _mm256_set_m128i(_mm_unpacklo_epi32(g4, g4), _mm_unpacklo_epi32(f4, f4));
    const __m256i upper = Lerp256(_mm256_unpacklo_epi8(t, zero), _mm256_unpackhi_epi8(t, zero), w);
    const __m256i lower = Lerp256(_mm256_unpacklo_epi8(u, zero), _mm256_unpackhi_epi8(u, zero), w);
    const __m256i out = _mm256_packus_epi16(Lerp256(upper, lower, fyLanes), zero);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                     _mm256_castsi256_si128(_mm256_permute4x64_epi64(out, 0x08)));
    x += 4 * step;
  }
  return i;
}

// Two target pixels per step: both pixels' left neighbours in one register, their right ones in
// another, each half weighted by its own fraction; the clamped last column goes pixel by pixel.
void SmoothStretchRows32Mmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                            ptrdiff_t srcPitch, int width, int height, const SmoothStepper& st,
                            int sourceColumns, int sourceRows) {
  const int64_t lastColumn = std::max(sourceColumns, 1) - 1;
  const int64_t lastRow = std::max(sourceRows, 1) - 1;
  const __m128i zero = _mm_setzero_si128();
  const __m128i byteMask = _mm_set1_epi16(0xFF);
  auto lerp = [&](__m128i a, __m128i b, __m128i w) {
    __m128i delta = _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(b, a), w), 8);
    return _mm_and_si128(_mm_add_epi16(a, delta), byteMask);
  };
  int64_t row = 0;
  uint64_t yPos = st.yFraction;
  do {
    const int64_t r0 = std::min(row, lastRow);
    const uint32_t* top = AddBytes(src, r0 * srcPitch);
    const uint32_t* below = AddBytes(src, std::min(r0 + 1, lastRow) * srcPitch);
    const uint32_t fy = uint32_t(yPos) >> 24;
    const __m128i fyLanes = _mm_set1_epi16(short(fy));
    uint64_t x = st.xFraction;
    int i = WideVectorsEnabled()
                ? BilinearRowAvx2(dst, top, below, width, x, st.xStep, lastColumn, fy)
                : 0;
    for (; i + 2 <= width; i += 2) {
      const int64_t ca = int64_t(x >> 32), cb = int64_t((x + st.xStep) >> 32);
      if (cb >= lastColumn) break;
      const uint32_t fa = uint32_t(x) >> 24, fb = uint32_t(x + st.xStep) >> 24;
      auto pair = [&](const uint32_t* line) {
        __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + ca));
        __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + cb));
        return _mm_unpacklo_epi32(a, b);  // left a, left b, right a, right b
      };
      const __m128i t = pair(top), u = pair(below);
      const __m128i w = _mm_unpacklo_epi64(_mm_set1_epi16(short(fa)), _mm_set1_epi16(short(fb)));
      const __m128i upper = lerp(_mm_unpacklo_epi8(t, zero), _mm_unpackhi_epi8(t, zero), w);
      const __m128i lower = lerp(_mm_unpacklo_epi8(u, zero), _mm_unpackhi_epi8(u, zero), w);
      const __m128i out = lerp(upper, lower, fyLanes);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(out, zero));
      x += 2 * st.xStep;
    }
    for (; i < width; ++i, x += st.xStep) {
      const int64_t c0 = std::min(int64_t(x >> 32), lastColumn);
      const int64_t c1 = std::min(c0 + 1, lastColumn);
      dst[i] = BilinearLanes(top[c0], top[c1], below[c0], below[c1], uint32_t(x) >> 24, fy);
    }
    dst = AddBytes(dst + width, dstSkip);
    yPos = uint32_t(yPos) + st.yStep;
    row += int64_t(yPos >> 32);
  } while (--height > 0);
}
void SmoothStretchIndexedRows(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                              ptrdiff_t srcPitch, const uint32_t* colors, int width, int height,
                              const SmoothStepper& st, int sourceColumns, int sourceRows) {
  SmoothStretchWalk(dst, src, dstSkip, srcPitch, width, height, st, sourceColumns, sourceRows,
                    [colors](uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint32_t fx, uint32_t fy) {
                      return BilinearPlain(colors[a], colors[b], colors[c], colors[d], fx, fy);
                    });
}
void SmoothStretchIndexedRowsMmx(uint32_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                                 ptrdiff_t srcPitch, const uint32_t* colors, int width, int height,
                                 const SmoothStepper& st, int sourceColumns, int sourceRows) {
  SmoothStretchWalk(dst, src, dstSkip, srcPitch, width, height, st, sourceColumns, sourceRows,
                    [colors](uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint32_t fx, uint32_t fy) {
                      return BilinearLanes(colors[a], colors[b], colors[c], colors[d], fx, fy);
                    });
}

int SmoothRect(uint32_t* pixels, ptrdiff_t skip, ptrdiff_t pitch, int width, int height, int mode) {
  if (width < 4 || height < 4 || skip % 4 != 0 || pitch % 4 != 0) return kSmoothRefused;
  std::vector<uint32_t> above, current;
  try {
    above.resize(size_t(width));
    current.resize(size_t(width));
  } catch (const std::bad_alloc&) {
    return kSmoothNoMemory;
  }
  const uint32_t inputMask = mode >= 2 ? 0x00FFFFFFu : 0x00F8F8F8u;
  const uint32_t bias = mode == 1 ? 0x00070707u : 0;
  // Sums of up to eight terms: red and blue in one word, green in another, without overlap.
  auto divide = [&](uint32_t rb, uint32_t g, int shift) {
    return ((rb >> shift) & 0x00FF00FFu) | ((g >> shift) & 0x0000FF00u);
  };
  const ptrdiff_t stride = pitch / 4;
  for (int y = 0; y < height; ++y) {
    uint32_t* row = pixels + y * stride;
    for (int x = 0; x < width; ++x) current[size_t(x)] = row[x] & inputMask;
    const uint32_t* below = y + 1 < height ? row + stride : nullptr;
    for (int x = 0; x < width; ++x) {
      const bool edgeX = x == 0 || x == width - 1;
      const uint32_t c = current[size_t(x)];
      const uint32_t l = x > 0 ? current[size_t(x - 1)] : 0;
      const uint32_t r = x + 1 < width ? current[size_t(x + 1)] : 0;
      const uint32_t h = x > 0 ? l : r;  // the one horizontal neighbour of an edge pixel
      const uint32_t up = y > 0 ? above[size_t(x)] : 0;
      const uint32_t down = below ? below[x] & inputMask : 0;
      uint32_t rb = 0, g = 0;
      auto add = [&](uint32_t p, uint32_t times) {
        rb += (p & 0x00FF00FFu) * times;
        g += (p & 0x0000FF00u) * times;
      };
      int shift = 2;
      if (y == 0 || y == height - 1) {
        const uint32_t v = y == 0 ? down : up;
        if (edgeX) {
          add(c, 2), add(h, 1), add(v, 1);
        } else {
          add(l, 1), add(c, 1), add(r, 1), add(v, 1);
        }
      } else if (edgeX) {
        add(up, 1), add(down, 1), add(c, 1), add(h, 1);
      } else {
        add(l, 2), add(c, 2), add(r, 2), add(up, 1), add(down, 1);
        shift = 3;
      }
      row[x] = divide(rb, g, shift) + bias;
    }
    std::swap(above, current);
  }
  return kSmoothDone;
}

int MosaicFirstBlock(int length, int n, bool fromFarEdge, bool centred) {
  int first = n;
  if (centred) {
    first = n < length ? ((length - n) / 2) % n : n;
  } else if (fromFarEdge) {
    first = length % n;
  }
  return first == 0 ? n : first;
}

void MosaicBlocks(uint32_t* to, ptrdiff_t toPitch, const uint32_t* from, ptrdiff_t fromPitch,
                  int width, int height, const MosaicGrid& grid) {
  // A band's first row is made once and copied down the band: filled block by block, a band
  // would be written a column of blocks at a time, each block's rows on lines apart.
  for (int top = 0, rows = grid.firstHeight; top < height; top += rows, rows = grid.blockHeight) {
    rows = std::min(rows, height - top);
    const uint32_t* sample = AddBytes(from, top * fromPitch);
    uint32_t* first = AddBytes(to, top * toPitch);
    // Each sample is read before its block is written, so `from` may be `to`.
    for (int left = 0, cols = grid.firstWidth; left < width; left += cols, cols = grid.blockWidth) {
      cols = std::min(cols, width - left);
      std::fill_n(first + left, cols, sample[left]);
    }
    for (int j = 1; j < rows; ++j) {
      std::memcpy(AddBytes(first, j * toPitch), first, size_t(width) * 4);
    }
  }
}

void MosaicRect(uint32_t* pixels, ptrdiff_t skip, ptrdiff_t pitch, int width, int height,
                int blockSize, int anchor) {
  (void)skip;
  if (!MosaicMakesBlocks(width, height, blockSize)) return;
  MosaicBlocks(pixels, pitch, pixels, pitch, width, height,
               MosaicGridOf(width, height, blockSize, anchor));
}

MosaicGrid MosaicGridOf(int width, int height, int blockSize, int anchor) {
  const bool centred = anchor < 1 || anchor > 4;
  return {blockSize, blockSize,
          MosaicFirstBlock(width, blockSize, anchor == 2 || anchor == 4, centred),
          MosaicFirstBlock(height, blockSize, anchor == 3 || anchor == 4, centred)};
}

void ConvertRowsToTextureFormat(int formatFlag, const TextureRowsTarget& target, int width,
                                int height, const TextureRowsSource& source) {
  constexpr int k1555 = 64, k4444 = 128, k8888 = 256;
  if (formatFlag != k1555 && formatFlag != k4444 && formatFlag != k8888) return;
  const int bytes = formatFlag == k8888 ? 4 : 2;
  for (int j = 0; j < height; ++j) {
    const uint8_t* from = source.bits + (source.y + j) * source.pitch + ptrdiff_t{source.x} * 4;
    uint8_t* to = target.bits + (target.y + j) * target.pitch + ptrdiff_t{target.x} * bytes;
    if (formatFlag == k8888) {
      std::memcpy(to, from, size_t(width) * 4);
      continue;
    }
    for (int i = 0; i < width; ++i) {
      uint32_t p;
      std::memcpy(&p, from + i * 4, 4);
      uint16_t w = formatFlag == k1555 ? uint16_t((p >> 16 & 0x8000) | (p >> 9 & 0x7C00) |
                                                  (p >> 6 & 0x03E0) | (p >> 3 & 0x001F))
                                       : uint16_t((p >> 16 & 0xF000) | (p >> 12 & 0x0F00) |
                                                  (p >> 8 & 0x00F0) | (p >> 4 & 0x000F));
      std::memcpy(to + i * 2, &w, 2);
    }
  }
}

}  // namespace bw
