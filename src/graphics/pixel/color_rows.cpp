#include "graphics/pixel/color_rows.h"

#include <algorithm>

#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/blend_walk.h"
#include "platform/mmx_flag.h"

namespace bw {

using namespace pixel_detail;

namespace {

// The target-only kernels run the two-operand walk with the target as its own source, so that
// the keyed test compares the target word.
template <bool kVector, bool kKeyed, typename Op>
void OnTarget(uint32_t* dst, ptrdiff_t skip, int width, int height, const Op& op,
              uint32_t key = 0) {
  BlendRows<kVector, kKeyed>(dst, dst, skip, skip, width, height, op, key);
}

struct Scale {
  const uint8_t* row;
  uint32_t Pixel(uint32_t d, uint32_t) const {
    return (d & 0xFF000000u) | uint32_t(row[d >> 16 & 0xFF]) << 16 |
           uint32_t(row[d >> 8 & 0xFF]) << 8 | row[d & 0xFF];
  }
};

// Four pixels kept by k (T[k][c]) and the colour's products added, each byte in a 16-bit lane:
// keepBy holds k in the colour lanes and 255 in the alpha lanes (T[255][a] = a), added holds
// T[k][o] per colour and 0 for alpha. A channel's sum never passes 255 (for any opacity, colour
// and byte), so the lanes pack back without a carry to keep.
inline __m128i BlendColorFour(__m128i d, __m128i keepBy, __m128i added) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_add_epi16(Product16(_mm_unpacklo_epi8(d, zero), keepBy), added);
  const __m128i hi = _mm_add_epi16(Product16(_mm_unpackhi_epi8(d, zero), keepBy), added);
  return _mm_packus_epi16(lo, hi);
}

// BlendColorFour eight pixels at a time.
__attribute__((target("avx2"))) inline __m256i BlendColorEight(__m256i d, __m256i keepBy,
                                                               __m256i added) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i lo = _mm256_add_epi16(Product16(_mm256_unpacklo_epi8(d, zero), keepBy), added);
  const __m256i hi = _mm256_add_epi16(Product16(_mm256_unpackhi_epi8(d, zero), keepBy), added);
  return _mm256_packus_epi16(lo, hi);
}

// k in the colour lanes of two pixels, 255 in their alpha lanes.
inline __m128i KeepLanes(int k) {
  const short c = short(k);
  return _mm_set_epi16(255, c, c, c, 255, c, c, c);
}

struct BlendColor {
  const uint8_t* keep;
  uint32_t added;  // T[k][o] per channel
  __m128i keepBy, addedLanes;
  BlendColor(int opacity, uint32_t add)
      : keep(ProductTable[255 - opacity]),
        added(add),
        keepBy(KeepLanes(255 - opacity)),
        addedLanes(_mm_unpacklo_epi8(_mm_set1_epi32(int(add)), _mm_setzero_si128())) {}
  uint32_t Pixel(uint32_t d, uint32_t) const {
    return ((d & 0xFF000000u) | uint32_t(keep[d >> 16 & 0xFF]) << 16 |
            uint32_t(keep[d >> 8 & 0xFF]) << 8 | keep[d & 0xFF]) +
           added;
  }
};
BlendColor MakeBlendColor(int opacity, int red, int green, int blue) {
  const uint8_t* byOpacity = ProductTable[opacity & 0xFF];
  // T[k][o] = T[o][k]: the table is symmetric.
  uint32_t added = uint32_t(byOpacity[red & 0xFF]) << 16 | uint32_t(byOpacity[green & 0xFF]) << 8 |
                   byOpacity[blue & 0xFF];
  return {opacity & 0xFF, added};
}

struct AddColor {
  uint32_t color;
  __m128i lanes;
  explicit AddColor(uint32_t c) : color(c & 0x00FFFFFFu), lanes(_mm_set1_epi32(int(color))) {}
  uint32_t Pixel(uint32_t d, uint32_t) const { return AddBytesSaturated(d, color); }
  __m128i Four(__m128i d, __m128i) const { return _mm_adds_epu8(d, lanes); }
};
struct SubtractColor {
  uint32_t color;
  __m128i lanes;
  explicit SubtractColor(uint32_t c) : color(c & 0x00FFFFFFu), lanes(_mm_set1_epi32(int(color))) {}
  uint32_t Pixel(uint32_t d, uint32_t) const { return SubtractBytesSaturated(d, color); }
  __m128i Four(__m128i d, __m128i) const { return _mm_subs_epu8(d, lanes); }
};

struct Grey {
  uint32_t Pixel(uint32_t d, uint32_t) const {
    uint32_t g = (77 * (d >> 16 & 0xFF) + 150 * (d >> 8 & 0xFF) + 29 * (d & 0xFF)) >> 8;
    return (d & 0xFF000000u) | g * 0x010101u;
  }
  // (b, g, r, a) x (29, 150, 77, 0) summed by two multiply-adds per pixel.
  __m128i Four(__m128i d, __m128i) const {
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights = _mm_set_epi16(0, 77, 150, 29, 0, 77, 150, 29);
    __m128i lo = _mm_madd_epi16(_mm_unpacklo_epi8(d, zero), weights);
    __m128i hi = _mm_madd_epi16(_mm_unpackhi_epi8(d, zero), weights);
    // Each pixel's two partial sums sit in adjacent 32-bit lanes.
    __m128i sumLo = _mm_add_epi32(lo, _mm_srli_epi64(lo, 32));
    __m128i sumHi = _mm_add_epi32(hi, _mm_srli_epi64(hi, 32));
    __m128i sums =
        _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(sumLo), _mm_castsi128_ps(sumHi), 0x88));
    __m128i g = _mm_srli_epi32(sums, 8);
    __m128i grey = _mm_or_si128(g, _mm_or_si128(_mm_slli_epi32(g, 8), _mm_slli_epi32(g, 16)));
    return _mm_or_si128(grey, _mm_and_si128(d, _mm_set1_epi32(int(0xFF000000u))));
  }
};

struct Tone {
  int multiplier[3];
  int offset[3];
  __m128i mulLanes, offLanes;
  explicit Tone(const ToneCurve& t)
      : multiplier{t.blueMultiplier, t.greenMultiplier, t.redMultiplier},
        offset{t.blueOffset, t.greenOffset, t.redOffset},
        mulLanes(_mm_set_epi32(0, t.redMultiplier, t.greenMultiplier, t.blueMultiplier)),
        offLanes(_mm_set_epi32(0, t.redOffset, t.greenOffset, t.blueOffset)) {}
  uint32_t Pixel(uint32_t d, uint32_t) const {
    const uint8_t* clamp = ClampTable();
    uint32_t out = d & 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
      int v = int(d >> (8 * c) & 0xFF);
      out |= uint32_t(clamp[((v * multiplier[c]) >> 7) + offset[c]]) << (8 * c);
    }
    return out;
  }
  // One pixel per 32-bit lane group: products up to 65280 need 32-bit lanes.
  __m128i One(__m128i p32) const {
    __m128i prod = _mm_madd_epi16(p32, mulLanes);
    return _mm_add_epi32(_mm_srai_epi32(prod, 7), offLanes);
  }
  __m128i Four(__m128i d, __m128i) const {
    const __m128i zero = _mm_setzero_si128();
    __m128i lo16 = _mm_unpacklo_epi8(d, zero), hi16 = _mm_unpackhi_epi8(d, zero);
    __m128i p0 = One(_mm_unpacklo_epi16(lo16, zero)), p1 = One(_mm_unpackhi_epi16(lo16, zero));
    __m128i p2 = One(_mm_unpacklo_epi16(hi16, zero)), p3 = One(_mm_unpackhi_epi16(hi16, zero));
    __m128i packed = _mm_packus_epi16(_mm_packs_epi32(p0, p1), _mm_packs_epi32(p2, p3));
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    return _mm_or_si128(_mm_andnot_si128(alpha, packed), _mm_and_si128(alpha, d));
  }
};

// The source inverted: on the target alone, the source is the target.
struct Invert {
  uint32_t mask;
  __m128i lanes;
  explicit Invert(int mode) : mask(InvertMask(mode)), lanes(_mm_set1_epi32(int(mask))) {}
  uint32_t Pixel(uint32_t, uint32_t s) const { return s ^ mask; }
  __m128i Four(__m128i, __m128i s) const { return _mm_xor_si128(s, lanes); }
};

// The saturating colour add or subtract eight pixels at a time, the rest as the 128-bit walk.
template <bool kAdd>
__attribute__((target("avx2"))) void SaturateRowAvx2(uint32_t* d, int w, uint32_t color) {
  const __m256i lanes = _mm256_set1_epi32(int(color & 0x00FFFFFFu));
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    auto* at = reinterpret_cast<__m256i*>(d + x);
    const __m256i v = _mm256_loadu_si256(at);
    _mm256_storeu_si256(at, kAdd ? _mm256_adds_epu8(v, lanes) : _mm256_subs_epu8(v, lanes));
  }
  if (kAdd) {
    BlendRowVector<false>(d + x, d + x, w - x, AddColor(color), 0);
  } else {
    BlendRowVector<false>(d + x, d + x, w - x, SubtractColor(color), 0);
  }
}
// BlendColorFour along a row, its constants in registers: the walk would read them through the
// operation again after every store, since the row might hold them.
void BlendColorRowSse2(uint32_t* d, int w, const BlendColor& op) {
  const __m128i keepBy = op.keepBy, added = op.addedLanes;
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    const __m128i a = BlendColorFour(Load4(d + x), keepBy, added);
    const __m128i b = BlendColorFour(Load4(d + x + 4), keepBy, added);
    Store4(d + x, a);
    Store4(d + x + 4, b);
  }
  if (x + 4 <= w) Store4(d + x, BlendColorFour(Load4(d + x), keepBy, added)), x += 4;
  for (; x < w; ++x) d[x] = op.Pixel(d[x], 0);
}

// BlendColorEight along a row, the rest as the 128-bit row.
__attribute__((target("avx2"))) void BlendColorRowAvx2(uint32_t* d, int w, const BlendColor& op) {
  const __m256i keepBy = _mm256_broadcastsi128_si256(op.keepBy);
  const __m256i added = _mm256_broadcastsi128_si256(op.addedLanes);
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    auto* at = reinterpret_cast<__m256i*>(d + x);
    _mm256_storeu_si256(at, BlendColorEight(_mm256_loadu_si256(at), keepBy, added));
  }
  // The tail is 128-bit code without the VEX form: with the upper halves left dirty each of its
  // instructions waits on them (a row of 64 pixels took six times as long). The compiler does
  // not clear them before a tail call.
  _mm256_zeroupper();
  BlendColorRowSse2(d + x, w - x, op);
}

// a := T[k][a] + lift on the alpha bytes (AlphaLevelOf), the colours kept; the sum stays within
// the byte. In the lanes each alpha is the low half of a 32-bit lane; the high half gives
// T[0][0], 0.
struct ScaleAlpha {
  int k;
  uint32_t lift;
  const uint8_t* row;
  explicit ScaleAlpha(AlphaLevel level)
      : k(level.k), lift(uint32_t(level.lift)), row(ProductTable[k]) {}
  uint32_t Pixel(uint32_t d, uint32_t) const {
    return (d & 0x00FFFFFFu) | uint32_t(row[d >> 24] + lift) << 24;
  }
  __m128i Four(__m128i d, __m128i) const {
    const __m128i a = Product16(_mm_srli_epi32(d, 24), _mm_set1_epi32(k));
    return _mm_or_si128(_mm_and_si128(d, _mm_set1_epi32(0x00FFFFFF)),
                        _mm_slli_epi32(_mm_add_epi32(a, _mm_set1_epi32(int(lift))), 24));
  }
};

__attribute__((target("avx2"))) void ScaleAlphaRowAvx2(uint32_t* d, int w, const ScaleAlpha& op) {
  const __m256i k = _mm256_set1_epi32(op.k), lift = _mm256_set1_epi32(int(op.lift));
  const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    auto* at = reinterpret_cast<__m256i*>(d + x);
    const __m256i p = _mm256_loadu_si256(at);
    const __m256i a = Product16(_mm256_srli_epi32(p, 24), k);
    _mm256_storeu_si256(at, _mm256_or_si256(_mm256_and_si256(p, colour),
                                            _mm256_slli_epi32(_mm256_add_epi32(a, lift), 24)));
  }
  BlendRowVector<false>(d + x, d + x, w - x, op, 0);
}

template <bool kAdd>
void SaturateRowsAvx2(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color) {
  EachRow(dst, dst, skip, skip, width, height,
          [color](uint32_t* d, const uint32_t*, int w) { SaturateRowAvx2<kAdd>(d, w, color); });
}

ptrdiff_t SkipOf(ptrdiff_t pitch, int width) {
  return pitch - ptrdiff_t{width} * 4;
}

}  // namespace

void ScaleRgbRows(uint32_t* pixels, ptrdiff_t pitch, int width, int height, int level) {
  OnTarget<false, false>(pixels, SkipOf(pitch, width), width, height,
                         Scale{ProductTable[std::clamp(level, 0, 255)]});
}
void ScaleAlphaRows(uint32_t* pixels, ptrdiff_t pitch, int width, int height, int level) {
  const ScaleAlpha op(AlphaLevelOf(std::clamp(level, 0, 511)));
  const ptrdiff_t skip = SkipOf(pitch, width);
  if (WideVectorsEnabled()) {
    EachRow(pixels, pixels, skip, skip, width, height,
            [&op](uint32_t* d, const uint32_t*, int w) { ScaleAlphaRowAvx2(d, w, op); });
  } else {
    OnTarget<true, false>(pixels, skip, width, height, op);
  }
}
void BlendColorRows(uint32_t* pixels, ptrdiff_t pitch, int width, int height, int opacity, int red,
                    int green, int blue) {
  const BlendColor op = MakeBlendColor(opacity, red, green, blue);
  const ptrdiff_t skip = SkipOf(pitch, width);
  // Columns a few pixels wide (a streak of rain) go pixel by pixel here: a call a row would cost
  // them more than the vectors save. The two forms give the same bytes.
  if (width < 8) {
    for (int y = 0; y < height; ++y, pixels = AddBytes(pixels, pitch)) {
      for (int x = 0; x < width; ++x) pixels[x] = op.Pixel(pixels[x], 0);
    }
  } else if (MmxEnabled() && WideVectorsEnabled()) {
    EachRow(pixels, pixels, skip, skip, width, height,
            [&op](uint32_t* d, const uint32_t*, int w) { BlendColorRowAvx2(d, w, op); });
  } else if (MmxEnabled()) {
    EachRow(pixels, pixels, skip, skip, width, height,
            [&op](uint32_t* d, const uint32_t*, int w) { BlendColorRowSse2(d, w, op); });
  } else {
    OnTarget<false, false>(pixels, skip, width, height, op);
  }
}
void BlendColorRowsKeyed(uint32_t* pixels, ptrdiff_t pitch, int width, int height, int opacity,
                         int red, int green, int blue, uint32_t key) {
  OnTarget<false, true>(pixels, SkipOf(pitch, width), width, height,
                        MakeBlendColor(opacity, red, green, blue), key);
}

void AddColorRows(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color) {
  OnTarget<false, false>(dst, skip, width, height, AddColor(color));
}
void AddColorRowsKeyed(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color,
                       uint32_t key) {
  OnTarget<false, true>(dst, skip, width, height, AddColor(color), key);
}
void AddColorRowsMmx(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color) {
  if (WideVectorsEnabled()) return SaturateRowsAvx2<true>(dst, skip, width, height, color);
  OnTarget<true, false>(dst, skip, width, height, AddColor(color));
}
void AddColorRowsKeyedMmx(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color,
                          uint32_t key) {
  OnTarget<true, true>(dst, skip, width, height, AddColor(color), key);
}
void SubtractColorRows(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color) {
  OnTarget<false, false>(dst, skip, width, height, SubtractColor(color));
}
void SubtractColorRowsKeyed(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color,
                            uint32_t key) {
  OnTarget<false, true>(dst, skip, width, height, SubtractColor(color), key);
}
void SubtractColorRowsMmx(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color) {
  if (WideVectorsEnabled()) return SaturateRowsAvx2<false>(dst, skip, width, height, color);
  OnTarget<true, false>(dst, skip, width, height, SubtractColor(color));
}
void SubtractColorRowsKeyedMmx(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t color,
                               uint32_t key) {
  OnTarget<true, true>(dst, skip, width, height, SubtractColor(color), key);
}

void GreyRows(uint32_t* dst, ptrdiff_t skip, int width, int height) {
  OnTarget<false, false>(dst, skip, width, height, Grey{});
}
void GreyRowsKeyed(uint32_t* dst, ptrdiff_t skip, int width, int height, uint32_t key) {
  OnTarget<false, true>(dst, skip, width, height, Grey{}, key);
}
void GreyRowsMmx(uint32_t* dst, ptrdiff_t skip, int width, int height) {
  OnTarget<true, false>(dst, skip, width, height, Grey{});
}

void ToneRows(uint32_t* dst, ptrdiff_t skip, int width, int height, const ToneCurve& tone) {
  OnTarget<false, false>(dst, skip, width, height, Tone(tone));
}
void ToneRowsKeyed(uint32_t* dst, ptrdiff_t skip, int width, int height, const ToneCurve& tone,
                   uint32_t key) {
  OnTarget<false, true>(dst, skip, width, height, Tone(tone), key);
}
void ToneRowsMmx(uint32_t* dst, ptrdiff_t skip, int width, int height, const ToneCurve& tone) {
  OnTarget<true, false>(dst, skip, width, height, Tone(tone));
}

uint32_t InvertMask(int mode) {
  return mode == 0 ? 0x00FFFFFFu : mode == 1 ? 0xFFFFFFFFu : 0xFF000000u;
}
void InvertRows(uint32_t* dst, ptrdiff_t skip, int width, int height, int mode) {
  OnTarget<false, false>(dst, skip, width, height, Invert(mode));
}
void InvertRowsKeyed(uint32_t* dst, ptrdiff_t skip, int width, int height, int mode, uint32_t key) {
  OnTarget<false, true>(dst, skip, width, height, Invert(mode), key);
}
void InvertRowsMmx(uint32_t* dst, ptrdiff_t skip, int width, int height, int mode) {
  OnTarget<true, false>(dst, skip, width, height, Invert(mode));
}
void InvertRowsFrom(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                    int width, int height, int mode) {
  BlendRows<false, false>(dst, src, dstSkip, srcSkip, width, height, Invert(mode));
}
void InvertRowsFromMmx(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                       int width, int height, int mode) {
  BlendRows<true, false>(dst, src, dstSkip, srcSkip, width, height, Invert(mode));
}

}  // namespace bw
