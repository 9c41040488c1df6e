#include "graphics/pixel/text_kernels.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/blend_walk.h"
#include "graphics/pixel/row_walk.h"
#include "platform/mmx_flag.h"

namespace bw {

using pixel_detail::Product16;

using pixel_detail::AddBytes;

namespace {

// Sums round to the nearest step: the normaliser is 65536 / weights rounded down, and strength
// 256 must still carry full coverage to 255.
constexpr int32_t kEdgeHalf = 0x8000;

// One offset of the edge kernel and the weight its glyph copy is added with.
struct EdgeTap {
  int dx, dy;
  int64_t weight;
};

// The taps of the last radius and strength asked for on this thread: text draws many glyphs
// with one edge.
const std::vector<EdgeTap>& EdgeTaps(int r, int32_t strength) {
  thread_local std::vector<EdgeTap> taps;
  thread_local int tapsRadius = -1;
  thread_local int32_t tapsStrength = 0;
  if (r == tapsRadius && strength == tapsStrength) return taps;
  const int64_t normaliser = EdgeNormaliser(r);
  taps.clear();
  for (int dy = -r; dy <= r; ++dy) {
    for (int dx = -r; dx <= r; ++dx) {
      const int d = EdgeDistance(dx, dy);
      if (d > r) continue;
      // At most 65 x 2^31 x 2^16 before the shift: well inside 64 bits.
      taps.push_back({dx, dy, (int64_t{r - d + 1} * strength * normaliser) >> 8});
    }
  }
  tapsRadius = r;
  tapsStrength = strength;
  return taps;
}

void ClearRows(uint8_t* dst, ptrdiff_t pitch, int width, int height) {
  for (int y = 0; y < height; ++y) std::memset(dst + y * pitch, 0, size_t(width));
}

// Radius 0: the strength scales the glyph through the product table.
void ScaleByStrength(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* glyph, ptrdiff_t glyphPitch,
                     int width, int height, int32_t strength) {
  const uint8_t* row = ProductTable[std::clamp(strength, 0, 255)];
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) dst[y * dstPitch + x] = row[glyph[y * glyphPitch + x]];
  }
}

// Shared opening of both edge forms: the radius-0 and empty cases, which need no sums. True when
// the target is already done.
bool EdgeWithoutSums(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* glyph, ptrdiff_t glyphPitch,
                     int width, int height, int r, int32_t strength) {
  if (width <= 0 || height <= 0) {
    ClearRows(dst, dstPitch, std::max(width, 0) + 2 * r, std::max(height, 0) + 2 * r);
    return true;
  }
  if (r == 0) {
    ScaleByStrength(dst, dstPitch, glyph, glyphPitch, width, height, strength);
    return true;
  }
  return false;
}

// acc[x] += glyph[x] x weight in 32-bit lanes (weight below 2^16); returns the pixels done.
// The vector edge gathers: each target block sums its taps in registers, reading a copy of the
// glyph with zeros around it, so that no read needs a bounds check. Tap (dx, dy) of target
// (x, y) reads the copy at (x + r - dx, y + r - dy).
struct VectorTap {
  ptrdiff_t offset;  // from the target pixel's own place in the copy
  uint16_t weight;
};

// Eight target pixels from x: 32-bit sums of glyph x weight, then min(255, (sum + half) >> 16).
void EdgeBlockSse2(uint8_t* out, const uint8_t* at, const std::vector<VectorTap>& taps) {
  const __m128i zero = _mm_setzero_si128();
  __m128i lo4 = _mm_set1_epi32(kEdgeHalf), hi4 = lo4;
  for (const VectorTap& t : taps) {
    const __m128i w = _mm_set1_epi16(static_cast<short>(t.weight));
    __m128i m =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at + t.offset)), zero);
    __m128i lo = _mm_mullo_epi16(m, w);
    __m128i hi = _mm_mulhi_epu16(m, w);
    lo4 = _mm_add_epi32(lo4, _mm_unpacklo_epi16(lo, hi));
    hi4 = _mm_add_epi32(hi4, _mm_unpackhi_epi16(lo, hi));
  }
  // Values are at most 65535: the signed pack keeps them positive, the unsigned one clamps.
  __m128i words = _mm_packs_epi32(_mm_srli_epi32(lo4, 16), _mm_srli_epi32(hi4, 16));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, zero));
}

// Sixteen target pixels from x, as EdgeBlockSse2.
__attribute__((target("avx2"))) void EdgeBlockAvx2(uint8_t* out, const uint8_t* at,
                                                   const std::vector<VectorTap>& taps) {
  // The unpacks work per 128-bit half: a holds pixels 0-3 | 8-11, b 4-7 | 12-15.
  __m256i a = _mm256_set1_epi32(kEdgeHalf), b = a;
  for (const VectorTap& t : taps) {
    const __m256i w = _mm256_set1_epi16(static_cast<short>(t.weight));
    __m256i m =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + t.offset)));
    __m256i lo = _mm256_mullo_epi16(m, w);
    __m256i hi = _mm256_mulhi_epu16(m, w);
    a = _mm256_add_epi32(a, _mm256_unpacklo_epi16(lo, hi));
    b = _mm256_add_epi32(b, _mm256_unpackhi_epi16(lo, hi));
  }
  // Per half the pack restores the order: 0-7 | 8-15; the bytes are gathered from both halves.
  __m256i words = _mm256_packs_epi32(_mm256_srli_epi32(a, 16), _mm256_srli_epi32(b, 16));
  __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
}

}  // namespace

int EdgeRadius(int requested) {
  return std::abs(std::clamp(requested, -kMaxEdgeRadius, kMaxEdgeRadius));
}

int EdgeDistance(int dx, int dy) {
  const int ax = std::abs(dx), ay = std::abs(dy);
  const int hi = std::max(ax, ay), lo = std::min(ax, ay);
  const int m = lo + (lo >> 1);
  return (m >> 2) + hi + (m >> 6) - (hi >> 7) - (hi >> 5);
}

int32_t EdgeNormaliser(int radius) {
  const int r = EdgeRadius(radius);
  int64_t sum = 0;
  for (int dy = -r; dy <= r; ++dy) {
    for (int dx = -r; dx <= r; ++dx) {
      const int d = EdgeDistance(dx, dy);
      if (d <= r) sum += r - d + 1;
    }
  }
  return sum == 0 ? 65536 : static_cast<int32_t>(65536 / sum);
}

void BuildEdgeMask(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* glyph, ptrdiff_t glyphPitch,
                   int width, int height, int radius, int32_t strength) {
  const int r = EdgeRadius(radius);
  if (EdgeWithoutSums(dst, dstPitch, glyph, glyphPitch, width, height, r, strength)) return;
  const int outW = width + 2 * r, outH = height + 2 * r;
  thread_local std::vector<int64_t> sums;
  sums.assign(size_t(outW) * size_t(outH), 0);
  for (const EdgeTap& tap : EdgeTaps(r, strength)) {
    for (int y = 0; y < height; ++y) {
      int64_t* row = sums.data() + size_t(y + r + tap.dy) * size_t(outW) + size_t(r + tap.dx);
      const uint8_t* g = glyph + y * glyphPitch;
      for (int x = 0; x < width; ++x) row[x] += g[x] * tap.weight;
    }
  }
  for (int y = 0; y < outH; ++y) {
    const int64_t* row = sums.data() + size_t(y) * size_t(outW);
    for (int x = 0; x < outW; ++x) {
      dst[y * dstPitch + x] =
          static_cast<uint8_t>(std::clamp<int64_t>((row[x] + kEdgeHalf) >> 16, 0, 255));
    }
  }
}

void BuildEdgeMaskMmx(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* glyph, ptrdiff_t glyphPitch,
                      int width, int height, int radius, int32_t strength) {
  const int r = EdgeRadius(radius);
  if (EdgeWithoutSums(dst, dstPitch, glyph, glyphPitch, width, height, r, strength)) return;
  const int outW = width + 2 * r, outH = height + 2 * r;
  // Weights share the strength's sign: a strength of 0 or less leaves every sum at or below 0.
  if (strength <= 0) {
    ClearRows(dst, dstPitch, outW, outH);
    return;
  }
  const std::vector<EdgeTap>& taps = EdgeTaps(r, strength);
  int64_t total = 0, largest = 0;
  for (const EdgeTap& tap : taps) {
    total += tap.weight;
    largest = std::max(largest, tap.weight);
  }
  // The lanes hold 16-bit weights and 32-bit sums; strengths beyond that take the 64-bit sums.
  if (largest > 0xFFFF || total * 255 + kEdgeHalf > int64_t{std::numeric_limits<uint32_t>::max()}) {
    BuildEdgeMask(dst, dstPitch, glyph, glyphPitch, width, height, radius, strength);
    return;
  }
  // The copy: the glyph at (2r, 2r), zeros around it, and room for a last block of 16.
  const ptrdiff_t pitch = width + 4 * r + 16;
  thread_local std::vector<uint8_t> padded;
  padded.assign(size_t(pitch) * size_t(height + 4 * r), 0);
  for (int y = 0; y < height; ++y) {
    std::memcpy(padded.data() + (y + 2 * r) * pitch + 2 * r, glyph + y * glyphPitch, size_t(width));
  }
  thread_local std::vector<VectorTap> vectorTaps;
  vectorTaps.clear();
  for (const EdgeTap& tap : taps) {
    if (tap.weight == 0) continue;
    vectorTaps.push_back({(r - tap.dy) * pitch + (r - tap.dx), static_cast<uint16_t>(tap.weight)});
  }
  const bool wide = WideVectorsEnabled();
  const int block = wide ? 16 : 8;
  for (int y = 0; y < outH; ++y) {
    const uint8_t* row = padded.data() + y * pitch;
    uint8_t* out = dst + y * dstPitch;
    for (int x = 0; x < outW; x += block) {
      alignas(16) uint8_t bytes[16];
      // Whole blocks go straight to the target; the last one only as far as the row goes.
      uint8_t* to = x + block <= outW ? out + x : bytes;
      if (wide) {
        EdgeBlockAvx2(to, row + x, vectorTaps);
      } else {
        EdgeBlockSse2(to, row + x, vectorTaps);
      }
      if (to == bytes) std::memcpy(out + x, bytes, size_t(outW - x));
    }
  }
}

int GreyLevelShift(int antialiasLevel) {
  return antialiasLevel == 1 ? 4 : antialiasLevel == 2 ? 2 : 0;
}

void ScaleGreyRows(uint8_t* pixels, ptrdiff_t skip, int width, int height, int shift) {
  shift = std::clamp(shift, 0, 8);
  do {
    for (int x = 0; x < width; ++x) pixels[x] = uint8_t(std::min(255, pixels[x] << shift));
    pixels += width + skip;
  } while (--height > 0);
}

void ScaleGreyRowsMmx(uint8_t* pixels, ptrdiff_t skip, int width, int height, int shift) {
  shift = std::clamp(shift, 0, 8);
  do {
    int x = 0;
    for (; x + 16 <= width; x += 16) {
      auto* p = reinterpret_cast<__m128i*>(pixels + x);
      __m128i v = _mm_loadu_si128(p);
      // Saturating doublings: min(255, 2 x min(255, ...)) = min(255, v << shift).
      for (int i = 0; i < shift; ++i) v = _mm_adds_epu8(v, v);
      _mm_storeu_si128(p, v);
    }
    for (; x < width; ++x) pixels[x] = uint8_t(std::min(255, pixels[x] << shift));
    pixels += width + skip;
  } while (--height > 0);
}

namespace {

inline uint32_t ColorAt(const MaskColors& c, int x, int y) {
  switch (c.ramp) {
    case ColorRamp::kRows:
      return c.colors[y];
    case ColorRamp::kColumns:
      return c.colors[x];
    case ColorRamp::kNone:
      break;
  }
  return c.colors[0];
}

inline uint8_t Crossfade(uint8_t v, uint8_t k, uint8_t m) {
  return uint8_t(ProductTable[v][255 - m] + ProductTable[k][m]);
}

inline uint32_t CrossfadeColor(uint32_t d, uint32_t k, uint8_t m) {
  // Glyph masks are mostly clear or full, where the sums are the pixel or the colour.
  if (m == 0) return d;
  if (m == 255) return (d & 0xFF000000u) | (k & 0x00FFFFFFu);
  uint32_t out = d & 0xFF000000u;
  for (int s = 0; s < 24; s += 8) out |= uint32_t(Crossfade(d >> s & 0xFF, k >> s & 0xFF, m)) << s;
  return out;
}

// The colours of 16 pixels from x on (their red bytes) and of 4 pixels (whole words).
inline __m128i Reds16(const MaskColors& c, int x, int y) {
  if (c.ramp != ColorRamp::kColumns) return _mm_set1_epi8(char(ColorAt(c, x, y) >> 16));
  alignas(16) uint8_t reds[16];
  for (int i = 0; i < 16; ++i) reds[i] = uint8_t(c.colors[x + i] >> 16);
  return _mm_load_si128(reinterpret_cast<const __m128i*>(reds));
}
inline __m128i Colors4(const MaskColors& c, int x, int y) {
  if (c.ramp != ColorRamp::kColumns) return _mm_set1_epi32(int(ColorAt(c, x, y)));
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.colors + x));
}
// The column colours of the last rest (1 to 3) pixels of a row, read no further.
inline __m128i Colors4Tail(const MaskColors& c, int x, int rest) {
  alignas(16) uint32_t words[4] = {};
  std::memcpy(words, c.colors + x, size_t(rest) * 4);
  return _mm_load_si128(reinterpret_cast<const __m128i*>(words));
}

// T[d][255 - m] + T[k][m] on 16-bit lanes. d x m / 255 is never a half, so T[d][255 - m] is
// exactly d - T[d][m].
inline __m128i Crossfade16(__m128i d, __m128i k, __m128i m) {
  return _mm_add_epi16(_mm_sub_epi16(d, Product16(d, m)), Product16(k, m));
}
__attribute__((target("avx2"))) inline __m256i Crossfade16(__m256i d, __m256i k, __m256i m) {
  return _mm256_add_epi16(_mm256_sub_epi16(d, Product16(d, m)), Product16(k, m));
}
inline __m128i Crossfade8(__m128i d, __m128i k, __m128i m) {
  const __m128i zero = _mm_setzero_si128();
  __m128i lo = Crossfade16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(k, zero),
                           _mm_unpacklo_epi8(m, zero));
  __m128i hi = Crossfade16(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(k, zero),
                           _mm_unpackhi_epi8(m, zero));
  return _mm_packus_epi16(lo, hi);
}
// Four 32-bit pixels toward the colours k (their alpha bytes unused) by four mask bytes. The
// mask is spread over each pixel's colour lanes only: a crossfade by 0 keeps the alpha.
inline __m128i CrossfadeFour(__m128i d, __m128i k, uint32_t maskWord) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i colorLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
  const __m128i m = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(maskWord)), zero);
  const __m128i pairs = _mm_unpacklo_epi16(m, m);
  __m128i lo = Crossfade16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(k, zero),
                           _mm_and_si128(_mm_unpacklo_epi32(pairs, pairs), colorLanes));
  __m128i hi = Crossfade16(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(k, zero),
                           _mm_and_si128(_mm_unpackhi_epi32(pairs, pairs), colorLanes));
  return _mm_packus_epi16(lo, hi);
}
inline __m128i Load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

namespace {

// The 256-bit forms of the crossfades run from a row's start over whole blocks and return the
// pixels done. Blocks of clear mask are skipped and full ones take the colour, as the sums give.
__attribute__((target("avx2"))) int CrossfadeGreyRowAvx2(uint8_t* d, const uint8_t* m, int width,
                                                         const MaskColors& colors, int y) {
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m256i coverage = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m + x));
    if (_mm256_testz_si256(coverage, coverage)) continue;
    const __m256i k = _mm256_setr_m128i(Reds16(colors, x, y), Reds16(colors, x + 16, y));
    auto* p = reinterpret_cast<__m256i*>(d + x);
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(coverage, _mm256_set1_epi8(-1))) == -1) {
      _mm256_storeu_si256(p, k);
      continue;
    }
    const __m256i v = _mm256_loadu_si256(p);
    const __m256i lo = Crossfade16(_mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)),
                                   _mm256_cvtepu8_epi16(_mm256_castsi256_si128(k)),
                                   _mm256_cvtepu8_epi16(_mm256_castsi256_si128(coverage)));
    const __m256i hi = Crossfade16(_mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)),
                                   _mm256_cvtepu8_epi16(_mm256_extracti128_si256(k, 1)),
                                   _mm256_cvtepu8_epi16(_mm256_extracti128_si256(coverage, 1)));
    // The pack interleaves the halves by 64-bit quarters; the permute puts them back in order.
    _mm256_storeu_si256(p, _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8));
  }
  return x;
}

// Eight 32-bit pixels toward the colours k by eight mask bytes, as CrossfadeFour. The unpacks
// work within 128-bit halves: the low words hold pixels 0, 1 | 4, 5, the high ones 2, 3 | 6, 7,
// and the pack puts them back in order.
__attribute__((target("avx2"))) inline __m256i CrossfadeEight(__m256i v, __m256i k,
                                                              uint64_t eight) {
  // Mask bytes to the colour lanes of those pixels; alpha lanes get 0, which keeps the alpha.
  const __m256i spreadLo =
      _mm256_setr_epi8(0, -1, 0, -1, 0, -1, -1, -1, 1, -1, 1, -1, 1, -1, -1, -1, 4, -1, 4, -1, 4,
                       -1, -1, -1, 5, -1, 5, -1, 5, -1, -1, -1);
  const __m256i spreadHi =
      _mm256_setr_epi8(2, -1, 2, -1, 2, -1, -1, -1, 3, -1, 3, -1, 3, -1, -1, -1, 6, -1, 6, -1, 6,
                       -1, -1, -1, 7, -1, 7, -1, 7, -1, -1, -1);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i coverage = _mm256_set1_epi64x(int64_t(eight));
  const __m256i lo = Crossfade16(_mm256_unpacklo_epi8(v, zero), _mm256_unpacklo_epi8(k, zero),
                                 _mm256_shuffle_epi8(coverage, spreadLo));
  const __m256i hi = Crossfade16(_mm256_unpackhi_epi8(v, zero), _mm256_unpackhi_epi8(k, zero),
                                 _mm256_shuffle_epi8(coverage, spreadHi));
  return _mm256_packus_epi16(lo, hi);
}

// Eight pixels from p by the mask bytes at m: clear blocks stay, full ones take the colour.
__attribute__((target("avx2"))) inline void CrossfadeBlock(uint32_t* p, const uint8_t* m, __m256i v,
                                                           __m256i k) {
  uint64_t eight;
  std::memcpy(&eight, m, 8);
  if (eight == 0) return;
  const __m256i alphaBytes = _mm256_set1_epi32(int(0xFF000000u));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), eight == ~uint64_t{0}
                                                         ? _mm256_blendv_epi8(k, v, alphaBytes)
                                                         : CrossfadeEight(v, k, eight));
}

__attribute__((target("avx2"))) void CrossfadeColorRowsAvx2(uint32_t* dst, const uint8_t* mask,
                                                            ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                                                            int width, int height,
                                                            const MaskColors& colors) {
  const bool perColumn = colors.ramp == ColorRamp::kColumns;
  auto colorsAt = [&](int x) __attribute__((target("avx2"))) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(colors.colors + x));
  };
  const __m256i lanes =
      _mm256_cmpgt_epi32(_mm256_set1_epi32(width & 7), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  for (int y = 0; y < height; ++y) {
    const __m256i rowColor = _mm256_set1_epi32(perColumn ? 0 : int(ColorAt(colors, 0, y)));
    if (width < 8) {
      // Masked loads and stores touch nothing past the row; the mask bytes come one by one.
      uint8_t bytes[8] = {};
      std::memcpy(bytes, mask, size_t(width));
      auto* p = reinterpret_cast<int*>(dst);
      const __m256i k =
          perColumn ? _mm256_maskload_epi32(reinterpret_cast<const int*>(colors.colors), lanes)
                    : rowColor;
      uint64_t eight;
      std::memcpy(&eight, bytes, 8);
      if (eight != 0) {
        _mm256_maskstore_epi32(p, lanes, CrossfadeEight(_mm256_maskload_epi32(p, lanes), k, eight));
      }
    } else {
      // A row's last block overlaps the one before when the width is not a multiple of 8. Its
      // pixels are read before any store, so the overlap gets the same values twice.
      const int last = width - 8;
      const __m256i lastPixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + last));
      for (int x = 0; x < last; x += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + x));
        CrossfadeBlock(dst + x, mask + x, v, perColumn ? colorsAt(x) : rowColor);
      }
      CrossfadeBlock(dst + last, mask + last, lastPixels, perColumn ? colorsAt(last) : rowColor);
    }
    dst = AddBytes(dst + width, dstSkip);
    mask += width + maskSkip;
  }
}

// Walks target rows beside mask rows: vector(dst, mask, y) does a row's leading pixels and says
// how many (the plain set does none), pixel(d, m, x, y) gives the rest.
constexpr auto kNoVector = [](const void*, const uint8_t*, int) { return 0; };

template <typename D, typename Vector, typename Pixel>
void WalkMaskRows(D* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip, int width,
                  int height, Vector vector, Pixel pixel) {
  int y = 0;
  do {
    for (int x = vector(dst, mask, y); x < width; ++x) dst[x] = pixel(dst[x], mask[x], x, y);
    dst = AddBytes(dst + width, dstSkip);
    mask += width + maskSkip;
    ++y;
  } while (--height > 0);
}

auto GreyCrossfade(const MaskColors& colors) {
  return [&colors](uint8_t d, uint8_t m, int x, int y) {
    return Crossfade(d, uint8_t(ColorAt(colors, x, y) >> 16), m);
  };
}
auto ColorCrossfade(const MaskColors& colors) {
  return [&colors](uint32_t d, uint8_t m, int x, int y) {
    return CrossfadeColor(d, ColorAt(colors, x, y), m);
  };
}
inline uint32_t MultiplyAlpha(uint32_t d, uint8_t m, int, int) {
  return (d & 0x00FFFFFFu) | uint32_t(ProductTable[d >> 24][m]) << 24;
}

}  // namespace

void MaskCrossfadeRows(uint8_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                       int width, int height, const MaskColors& colors) {
  WalkMaskRows(dst, mask, dstSkip, maskSkip, width, height, kNoVector, GreyCrossfade(colors));
}

void MaskCrossfadeRowsMmx(uint8_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                          int width, int height, const MaskColors& colors) {
  const bool wide = WideVectorsEnabled();
  auto vector = [&](uint8_t* d, const uint8_t* m, int y) {
    int x = wide ? CrossfadeGreyRowAvx2(d, m, width, colors, y) : 0;
    for (; x + 16 <= width; x += 16) {
      const __m128i coverage = Load16(m + x);
      const int full = _mm_movemask_epi8(_mm_cmpeq_epi8(coverage, _mm_set1_epi8(-1)));
      if (_mm_movemask_epi8(_mm_cmpeq_epi8(coverage, _mm_setzero_si128())) == 0xFFFF) continue;
      const __m128i k = Reds16(colors, x, y);
      auto* p = reinterpret_cast<__m128i*>(d + x);
      _mm_storeu_si128(p, full == 0xFFFF ? k : Crossfade8(_mm_loadu_si128(p), k, coverage));
    }
    return x;
  };
  WalkMaskRows(dst, mask, dstSkip, maskSkip, width, height, vector, GreyCrossfade(colors));
}

void MaskColorCrossfadeRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                            ptrdiff_t maskSkip, int width, int height, const MaskColors& colors) {
  WalkMaskRows(dst, mask, dstSkip, maskSkip, width, height, kNoVector, ColorCrossfade(colors));
}

void MaskColorCrossfadeRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                               ptrdiff_t maskSkip, int width, int height,
                               const MaskColors& colors) {
  const __m128i alphaBytes = _mm_set1_epi32(int(0xFF000000u));
  const bool wide = WideVectorsEnabled();
  if (wide) return CrossfadeColorRowsAvx2(dst, mask, dstSkip, maskSkip, width, height, colors);
  auto vector = [&](uint32_t* d, const uint8_t* m, int y) {
    int x = 0;
    const bool perColumn = colors.ramp == ColorRamp::kColumns;
    const __m128i rowColor = perColumn ? _mm_setzero_si128() : Colors4(colors, 0, y);
    // m = 0 keeps the pixel, m = 255 gives the colour, exactly as the crossfade would.
    auto four = [&](int at, __m128i v) {
      uint32_t word;
      std::memcpy(&word, m + at, 4);
      if (word == 0) return;
      const __m128i k = perColumn ? Colors4(colors, at, y) : rowColor;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + at),
                       word == 0xFFFFFFFFu ? _mm_or_si128(_mm_and_si128(v, alphaBytes),
                                                          _mm_andnot_si128(alphaBytes, k))
                                           : CrossfadeFour(v, k, word));
    };
    auto load = [d](int at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at)); };
    if (width >= 4) {
      // The last block overlaps the one before when the width is not a multiple of 4; its
      // pixels are read before any store, so the overlap gets the same values twice.
      const int last = width - 4;
      const __m128i lastPixels = load(last);
      for (; x + 8 <= last; x += 8) {
        uint64_t eight;
        std::memcpy(&eight, m + x, 8);
        if (eight == 0) continue;
        four(x, load(x));
        four(x + 4, load(x + 4));
      }
      for (; x < last; x += 4) four(x, load(x));
      four(last, lastPixels);
      return width;
    }
    // Rows of one to three pixels through a copy, so that no access passes the row.
    alignas(16) uint32_t pixels[4] = {};
    uint32_t word = 0;
    std::memcpy(&word, m, size_t(width));
    if (word != 0) {
      std::memcpy(pixels, d, size_t(width) * 4);
      const __m128i k = perColumn ? Colors4Tail(colors, 0, width) : rowColor;
      const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(pixels));
      _mm_store_si128(reinterpret_cast<__m128i*>(pixels), CrossfadeFour(v, k, word));
      std::memcpy(d, pixels, size_t(width) * 4);
    }
    return width;
  };
  WalkMaskRows(dst, mask, dstSkip, maskSkip, width, height, vector, ColorCrossfade(colors));
}

void MultiplyAlphaRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                       int width, int height) {
  WalkMaskRows(dst, mask, dstSkip, maskSkip, width, height, kNoVector, MultiplyAlpha);
}

void MultiplyAlphaRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                          int width, int height) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i colorBytes = _mm_set1_epi32(0x00FFFFFF);
  auto vector = [&](uint32_t* d, const uint8_t* m, int) {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
      auto* p = reinterpret_cast<__m128i*>(d + x);
      __m128i v = _mm_loadu_si128(p);
      int32_t word;
      std::memcpy(&word, m + x, 4);
      // Alpha and mask in the low 16 bits of each 32-bit lane; the high halves stay 0.
      __m128i coverage = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero);
      __m128i a = _mm_and_si128(Product16(_mm_srli_epi32(v, 24), coverage), _mm_set1_epi32(0xFF));
      _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(v, colorBytes), _mm_slli_epi32(a, 24)));
    }
    return x;
  };
  WalkMaskRows(dst, mask, dstSkip, maskSkip, width, height, vector, MultiplyAlpha);
}

}  // namespace bw
