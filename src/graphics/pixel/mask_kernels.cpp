#include "graphics/pixel/mask_kernels.h"

#include <algorithm>

#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/blend_walk.h"
#include "graphics/pixel/lerp.h"
#include "platform/mmx_flag.h"

namespace bw {

using namespace pixel_detail;

namespace {

inline uint32_t ScaleColor(uint32_t c, uint32_t w) {
  return (((c & 0x00FF00FFu) * w >> 8) & 0x00FF00FFu) |
         (((c & 0x0000FF00u) * w >> 8) & 0x0000FF00u);
}

struct Fill {
  uint32_t color;
  const uint8_t* row;
  uint32_t Weight(uint32_t, uint8_t m) const { return WeightTable[row[m]][0]; }
  uint32_t Pixel(uint32_t d, uint8_t m) const { return LerpPlain(d, color, Weight(d, m)); }
  __m128i Four(__m128i d, __m128i c, __m128i wLo, __m128i wHi) const {
    return LerpFour(d, c, wLo, wHi);
  }
};
struct AddMasked {
  uint32_t color;
  const uint8_t* row;
  uint32_t Weight(uint32_t, uint8_t m) const { return WeightTable[row[m]][0]; }
  uint32_t Pixel(uint32_t d, uint8_t m) const {
    return AddBytesSaturated(d, ScaleColor(color, Weight(d, m)));
  }
  __m128i Four(__m128i d, __m128i c, __m128i wLo, __m128i wHi) const {
    return _mm_adds_epu8(d, ScaleFour(c, wLo, wHi));
  }
};
struct SubtractMasked {
  uint32_t color;
  const uint8_t* row;
  uint32_t Weight(uint32_t, uint8_t m) const { return WeightTable[row[m]][0]; }
  uint32_t Pixel(uint32_t d, uint8_t m) const {
    return SubtractBytesSaturated(d, ScaleColor(color, Weight(d, m)));
  }
  __m128i Four(__m128i d, __m128i c, __m128i wLo, __m128i wHi) const {
    return _mm_subs_epu8(d, ScaleFour(c, wLo, wHi));
  }
};
struct AlphaFill {
  uint32_t color;
  const uint8_t* row;
  uint32_t Weight(uint32_t d, uint8_t m) const {
    return WeightTable[OverWeightTable[d >> 24][row[m]]][0];
  }
  uint32_t Pixel(uint32_t d, uint8_t m) const {
    uint32_t out = LerpPlain(d, color, Weight(d, m)) & 0x00FFFFFFu;
    return out | uint32_t(AlphaUnionTable[d >> 24][row[m]]) << 24;
  }
};

template <bool kVector, typename Op>
void MaskWalk(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip, int width,
              int height, const Op& op) {
  const __m128i colors = _mm_set1_epi32(int(op.color & 0x00FFFFFFu));
  do {
    int x = 0;
    if constexpr (kVector) {
      for (; x + 4 <= width; x += 4) {
        uint32_t w[4];
        for (int i = 0; i < 4; ++i) w[i] = op.Weight(dst[x + i], mask[x + i]);
        Store4(dst + x,
               op.Four(Load4(dst + x), colors, PairWeights(w[0], w[1]), PairWeights(w[2], w[3])));
      }
    }
    for (; x < width; ++x) dst[x] = op.Pixel(dst[x], mask[x]);
    dst = AddBytes(dst + width, dstSkip);
    mask += width + maskSkip;
  } while (--height > 0);
}

// The vector alpha fill: the colour lerp in lanes, then the union alphas put in.
void AlphaFillVector(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                     int width, int height, const AlphaFill& op) {
  const __m128i colors = _mm_set1_epi32(int(op.color & 0x00FFFFFFu));
  const __m128i colorMask = _mm_set1_epi32(0x00FFFFFF);
  do {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
      alignas(16) uint32_t alphas[4];
      uint32_t w[4];
      for (int i = 0; i < 4; ++i) {
        w[i] = op.Weight(dst[x + i], mask[x + i]);
        alphas[i] = uint32_t(AlphaUnionTable[dst[x + i] >> 24][op.row[mask[x + i]]]) << 24;
      }
      __m128i out =
          LerpFour(Load4(dst + x), colors, PairWeights(w[0], w[1]), PairWeights(w[2], w[3]));
      out = _mm_or_si128(_mm_and_si128(out, colorMask),
                         _mm_load_si128(reinterpret_cast<const __m128i*>(alphas)));
      Store4(dst + x, out);
    }
    for (; x < width; ++x) dst[x] = op.Pixel(dst[x], mask[x]);
    dst = AddBytes(dst + width, dstSkip);
    mask += width + maskSkip;
  } while (--height > 0);
}

// The part of a mask at (x, y) that lies inside the target; false when none.
struct MaskClip {
  int targetX, targetY, maskX, maskY, width, height;
};
bool ClipMask(int x, int y, const MaskTarget& t, const MaskSource& m, MaskClip& out) {
  if (x + m.width < 1 || x >= t.width || y + m.height < 1 || y >= t.height) return false;
  out.maskX = std::max(0, -x);
  out.maskY = std::max(0, -y);
  out.targetX = x + out.maskX;
  out.targetY = y + out.maskY;
  out.width = std::min(m.width - out.maskX, t.width - out.targetX);
  out.height = std::min(m.height - out.maskY, t.height - out.targetY);
  return true;
}

template <typename PerPixel>
void EachMaskPixel(const MaskClip& c, const MaskTarget& t, const MaskSource& m, PerPixel f) {
  for (int j = 0; j < c.height; ++j) {
    const uint8_t* mrow = m.bits + (c.maskY + j) * m.pitch + c.maskX;
    auto* trow = reinterpret_cast<uint32_t*>(t.bits + (c.targetY + j) * t.pitch) + c.targetX;
    for (int i = 0; i < c.width; ++i) {
      if (mrow[i] != 0) trow[i] = f(trow[i], mrow[i]);
    }
  }
}

}  // namespace

void MaskColorFillRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                       int width, int height, uint32_t color, const uint8_t* weightRow) {
  MaskWalk<false>(dst, mask, dstSkip, maskSkip, width, height, Fill{color, weightRow});
}
void MaskColorFillRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                          int width, int height, uint32_t color, const uint8_t* weightRow) {
  MaskWalk<true>(dst, mask, dstSkip, maskSkip, width, height, Fill{color, weightRow});
}
void MaskAddColorRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                      int width, int height, uint32_t color, const uint8_t* weightRow) {
  MaskWalk<false>(dst, mask, dstSkip, maskSkip, width, height, AddMasked{color, weightRow});
}
void MaskAddColorRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip, ptrdiff_t maskSkip,
                         int width, int height, uint32_t color, const uint8_t* weightRow) {
  MaskWalk<true>(dst, mask, dstSkip, maskSkip, width, height, AddMasked{color, weightRow});
}
void MaskSubtractColorRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                           ptrdiff_t maskSkip, int width, int height, uint32_t color,
                           const uint8_t* weightRow) {
  MaskWalk<false>(dst, mask, dstSkip, maskSkip, width, height, SubtractMasked{color, weightRow});
}
void MaskSubtractColorRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                              ptrdiff_t maskSkip, int width, int height, uint32_t color,
                              const uint8_t* weightRow) {
  MaskWalk<true>(dst, mask, dstSkip, maskSkip, width, height, SubtractMasked{color, weightRow});
}
void MaskAlphaColorFillRows(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                            ptrdiff_t maskSkip, int width, int height, uint32_t color,
                            const uint8_t* weightRow) {
  MaskWalk<false>(dst, mask, dstSkip, maskSkip, width, height, AlphaFill{color, weightRow});
}
void MaskAlphaColorFillRowsMmx(uint32_t* dst, const uint8_t* mask, ptrdiff_t dstSkip,
                               ptrdiff_t maskSkip, int width, int height, uint32_t color,
                               const uint8_t* weightRow) {
  AlphaFillVector(dst, mask, dstSkip, maskSkip, width, height, AlphaFill{color, weightRow});
}

bool DrawMaskSolid(int x, int y, int red, int green, int blue, const MaskTarget& target,
                   const MaskSource& mask) {
  MaskClip c;
  if (!ClipMask(x, y, target, mask, c)) return false;
  const uint32_t color =
      uint32_t(red & 0xFF) << 16 | uint32_t(green & 0xFF) << 8 | uint32_t(blue & 0xFF);
  EachMaskPixel(c, target, mask,
                [color](uint32_t d, uint8_t) { return (d & 0xFF000000u) | color; });
  return true;
}

bool DrawMaskBlended(int x, int y, int red, int green, int blue, const MaskTarget& target,
                     const MaskSource& mask) {
  MaskClip c;
  if (!ClipMask(x, y, target, mask, c)) return false;
  const uint32_t color =
      uint32_t(red & 0xFF) << 16 | uint32_t(green & 0xFF) << 8 | uint32_t(blue & 0xFF);
  if (c.width <= 0 || c.height <= 0) return true;
  if (MmxEnabled()) {
    auto* start = reinterpret_cast<uint32_t*>(target.bits + c.targetY * target.pitch) + c.targetX;
    MaskColorFillRowsMmx(start, mask.bits + c.maskY * mask.pitch + c.maskX,
                         target.pitch - ptrdiff_t{c.width} * 4, mask.pitch - c.width, c.width,
                         c.height, color, ProductTable[255]);
    return true;
  }
  EachMaskPixel(c, target, mask, [color](uint32_t d, uint8_t m) {
    uint32_t out = d & 0xFF000000u;
    for (int s = 0; s < 24; s += 8) {
      out |= uint32_t(ProductTable[color >> s & 0xFF][m] + ProductTable[d >> s & 0xFF][255 - m])
             << s;
    }
    return out;
  });
  return true;
}

}  // namespace bw
