// Label: optimised
#include "graphics/pixel/filter_kernels.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "blend_reference.h"
#include "graphics/pixel/rows8_kernels.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/directdraw_ops.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using namespace reference;

uint32_t BlurRef(const Plane& src, int x0, int y, int i, const BlurExtent& e) {
  const int lo = -std::min(e.availableLeft, e.radius), hi = e.availableRight - 1;
  uint32_t out = 0;
  for (int c = 0; c < 4; ++c) {
    int sum = 0;
    for (int k = -e.radius; k <= e.radius; ++k) {
      sum += Channel(src.Get32(x0 + std::clamp(i + k, lo, hi), y), c);
    }
    int64_t v = (int64_t(sum) * (65536 / (2 * e.radius + 1)) + 32768) >> 16;
    out = WithChannel(out, c, int(v));
  }
  return out;
}

TEST(BlurRows, EachFormMatchesTheWindowSumWithEdgeReplication) {
  std::mt19937 rng(5);
  for (int round = 0; round < 80; ++round) {
    int w = int(rng() % 30) + 1, h = int(rng() % 4) + 1, pad = int(rng() % 6);
    Plane src = RandomPlane(rng, w + 2 * pad, h, 4, 4);
    Plane dst = RandomPlane(rng, w, h, 4, 8);
    // Part of the source row left of and right of the drawn span is available.
    BlurExtent e{int(rng() % (pad + 1)), w + int(rng() % (pad + 1)),
                 round % 9 == 0 ? kBlurMaxRadius : int(rng() % 12) + 1};
    int form = round % 3, o = int(rng() % 256);
    const uint8_t* row = ProductTable[o];
    // Every fourth round blurs the source in place, where the rows must be read before written.
    const bool inPlace = round % 4 == 3;
    if (inPlace) dst = src;
    const int x0 = inPlace ? pad : 0;
    Plane expect = dst;
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) {
        const uint32_t b = BlurRef(src, pad, j, i, e), d = expect.Get32(x0 + i, j);
        expect.Set32(x0 + i, j,
                     form == 0 ? b : LerpRef(d, b, W(form == 1 ? o : row[Channel(b, 3)])));
      }
    }
    const uint32_t* s = inPlace ? dst.Ptr<uint32_t>(pad, 0) : src.Ptr<uint32_t>(pad, 0);
    ptrdiff_t srcSkip = src.pitch - 4 * w, dstSkip = dst.pitch - 4 * w;
    uint32_t* d = dst.Ptr<uint32_t>(x0, 0);
    if (form == 0) BlurRows(d, s, dstSkip, srcSkip, w, h, e);
    if (form == 1) BlurRowsWithOpacity(d, s, dstSkip, srcSkip, w, h, e, o);
    if (form == 2) BlurAlphaRows(d, s, dstSkip, srcSkip, w, h, e, row);
    ASSERT_EQ(dst.bytes, expect.bytes) << "round " << round;
  }
}

uint32_t BilinearRef(const Plane& src, int64_t x, int64_t y, uint32_t fx, uint32_t fy) {
  int64_t x1 = std::min<int64_t>(x + 1, src.width - 1),
          y1 = std::min<int64_t>(y + 1, src.height - 1);
  uint32_t out = 0;
  for (int c = 0; c < 4; ++c) {
    auto lerp8 = [](int a, int b, uint32_t f) { return a + (((b - a) * int(f)) >> 8); };
    int top =
        lerp8(Channel(src.Get32(int(x), int(y)), c), Channel(src.Get32(int(x1), int(y)), c), fx);
    int bottom =
        lerp8(Channel(src.Get32(int(x), int(y1)), c), Channel(src.Get32(int(x1), int(y1)), c), fx);
    out = WithChannel(out, c, lerp8(top, bottom, fy));
  }
  return out;
}

TEST(SmoothStretchRows, BothSetsMatchTheBilinearFormulaWithoutReadingPastTheSource) {
  std::mt19937 rng(11);
  for (int form = 0; form < 3; ++form) {  // plain, 128-bit, 256-bit
    const bool mmx = form > 0;
    ScopedWideVectors wide(form == 2);
    for (bool indexed : {false, true}) {
      for (int round = 0; round < 40; ++round) {
        int sw = int(rng() % 12) + 1, sh = int(rng() % 6) + 1;
        int w = int(rng() % 25) + 1, h = int(rng() % 9) + 1;
        // Exactly the source's pixels: a read past the last column or row trips the sanitizer.
        std::vector<uint32_t> colors(256);
        for (auto& c : colors) c = rng();
        Plane src32 = RandomPlane(rng, sw, sh, 4, 0);
        Plane src8 = RandomPlane(rng, sw, sh, 1, 0);
        Plane view = src32;
        if (indexed) {
          for (int y = 0; y < sh; ++y) {
            for (int x = 0; x < sw; ++x) view.Set32(x, y, colors[src8.Get8(x, y)]);
          }
        }
        SmoothStepper st{uint32_t(rng()), uint32_t(rng()), (uint64_t(sw) << 32) / uint64_t(w),
                         (uint64_t(sh) << 32) / uint64_t(h)};
        Plane dst = RandomPlane(rng, w, h, 4, 4), expect = dst;
        uint64_t yPos = st.yFraction;
        int64_t row = 0;
        for (int j = 0; j < h; ++j) {
          uint64_t xPos = st.xFraction;
          for (int i = 0; i < w; ++i, xPos += st.xStep) {
            expect.Set32(i, j,
                         BilinearRef(view, std::min<int64_t>(int64_t(xPos >> 32), sw - 1),
                                     std::min<int64_t>(row, sh - 1), uint32_t(xPos) >> 24,
                                     uint32_t(yPos) >> 24));
          }
          yPos = uint32_t(yPos) + st.yStep;
          row += int64_t(yPos >> 32);
        }
        if (indexed) {
          (mmx ? SmoothStretchIndexedRowsMmx : SmoothStretchIndexedRows)(
              dst.Ptr<uint32_t>(0, 0), src8.At(0, 0), 4, src8.pitch, colors.data(), w, h, st, sw,
              sh);
        } else {
          (mmx ? SmoothStretchRows32Mmx : SmoothStretchRows32)(
              dst.Ptr<uint32_t>(0, 0), src32.Ptr<uint32_t>(0, 0), 4, src32.pitch, w, h, st, sw, sh);
        }
        ASSERT_EQ(dst.bytes, expect.bytes) << indexed << form << " round " << round;
      }
    }
  }
}

// Modes below 2 smooth the top five bits of each channel; mode 1 adds 7.
uint32_t SmoothRef(const Plane& p, int x, int y, int mode) {
  uint32_t out = 0;
  for (int c = 0; c < 3; ++c) {
    auto v = [&](int i, int j) {
      const int ch = Channel(p.Get32(i, j), c);
      return mode >= 2 ? ch : ch & 0xF8;
    };
    out = WithChannel(out, c, SmoothNeighbours(v, x, y, p.width, p.height) + (mode == 1 ? 7 : 0));
  }
  return out;
}

TEST(SmoothRect, MatchesTheNeighbourWeightsInEveryModeAndRefusesSmallRects) {
  std::mt19937 rng(3);
  for (int mode : {0, 1, 2, 9}) {
    for (int round = 0; round < 20; ++round) {
      int w = int(rng() % 14) + 4, h = int(rng() % 9) + 4;
      Plane p = RandomPlane(rng, w + 2, h, 4, 0), expect = p;
      Plane inner = RandomPlane(rng, w, h, 4, 0);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) inner.Set32(x, y, p.Get32(x + 1, y));
      }
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) expect.Set32(x + 1, y, SmoothRef(inner, x, y, mode));
      }
      ASSERT_EQ(SmoothRect(p.Ptr<uint32_t>(1, 0), 8, p.pitch, w, h, mode), kSmoothDone);
      ASSERT_EQ(p.bytes, expect.bytes) << mode << " round " << round;
    }
  }
  // Small or misaligned rectangles are refused.
  std::vector<uint32_t> px(64, 0x12345678);
  EXPECT_EQ(SmoothRect(px.data(), 0, 12, 3, 5, 2), kSmoothRefused);
  EXPECT_EQ(SmoothRect(px.data(), 2, 18, 4, 4, 2), kSmoothRefused);
  EXPECT_EQ(px[0], 0x12345678u);
}

TEST(Rows8, BilinearFollowsItsFormulaAndStaysInside) {
  // A 2 x 2 source scaled so that samples fall between and beyond the pixels.
  const uint8_t src[2 * 3] = {0, 200, 77, 100, 40, 77};  // pitch 3, the third byte is padding
  // Starting half a row down, stepping half a pixel and half a row.
  const BilinearStepper st{.xStart = 0,
                           .yFraction = 0x80000000u,
                           .xStep = int64_t{1} << 31,
                           .yStep = int64_t{1} << 31,
                           .sourceColumns = 2,
                           .sourceRows = 2};
  uint8_t dst[4 * 3];
  ScaleRows8Bilinear(dst, src, 0, 3, 4, 3, st);
  auto lerp = [](int p, int q, int f) { return uint8_t(p + ((q - p) * f >> 8)); };
  // Row 0 samples half way between the two rows.
  uint8_t a = lerp(0, 200, 128), b = lerp(100, 40, 128);
  EXPECT_EQ(dst[0], lerp(0, 100, 128));
  EXPECT_EQ(dst[1], lerp(a, b, 128));
  EXPECT_EQ(dst[2], lerp(200, 40, 128)) << "the last column is its own right neighbour";
  EXPECT_EQ(dst[3], lerp(200, 40, 128)) << "beyond the last column, the last column";
  // Row 1 sits on the second row, whose lower neighbour is itself; row 2 is past it.
  EXPECT_EQ(dst[4], 100);
  EXPECT_EQ(dst[5], lerp(100, 40, 128));
  EXPECT_EQ(dst[8], 100);
}

TEST(Rows8, BlurWeighsNeighboursAsTheyWere) {
  std::mt19937 rng(4);
  const int w = 7, h = 5, pitch = 9;
  std::vector<uint8_t> pixels(pitch * h);
  for (auto& p : pixels) p = uint8_t(rng());
  std::vector<uint8_t> before = pixels;
  ASSERT_EQ(BlurRows8(pixels.data(), pitch, w, h), kBlurDone);
  auto at = [&](int x, int y) { return int(before[y * pitch + x]); };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      ASSERT_EQ(pixels[y * pitch + x], SmoothNeighbours(at, x, y, w, h)) << x << "," << y;
    }
    for (int x = w; x < pitch; ++x) ASSERT_EQ(pixels[y * pitch + x], before[y * pitch + x]);
  }
  std::vector<uint8_t> small(3 * 10, 9);
  EXPECT_EQ(BlurRows8(small.data(), 3, 3, 10), kBlurTooSmall);
  EXPECT_EQ(small, std::vector<uint8_t>(30, 9));
}

// A pixel's block origin along one axis when whole blocks start at offset.
int Origin(int pos, int offset, int block) {
  return pos < offset ? 0 : offset + (pos - offset) / block * block;
}

TEST(Mosaic, EveryFormTakesEachBlocksTopLeftPixelFromEachAnchor) {
  // Whole blocks start after the partial ones on the far side of the anchor (1 top-left,
  // 2 top-right, 3 bottom-left, 4 bottom-right, others centred).
  for (auto [w, h, b] : {std::tuple{11, 7, 3}, {10, 10, 4}, {12, 5, 4}}) {
    for (int anchor : {1, 2, 3, 4, 0}) {
      const bool right = anchor == 2 || anchor == 4, bottom = anchor == 3 || anchor == 4;
      const int ox = anchor == 0 ? ((w - b) / 2) % b : right ? w % b : 0;
      const int oy = anchor == 0 ? ((h - b) / 2) % b : bottom ? h % b : 0;
      std::vector<uint32_t> px32(size_t(w * h));
      std::vector<uint16_t> px16(px32.size());
      std::vector<uint8_t> px8(px32.size());
      for (int i = 0; i < w * h; ++i)
        px32[size_t(i)] = px16[size_t(i)] = px8[size_t(i)] = uint8_t(i);
      // The same blocks drawn from the picture into another target, rows padded differently.
      const int pad = 3;
      std::vector<uint32_t> from(size_t((w + pad) * h)), into(size_t((w + 2 * pad) * h), 7u);
      for (int y = 0; y < h; ++y)
        std::copy_n(px32.begin() + y * w, w, from.begin() + y * (w + pad));
      MosaicBlocks(into.data() + pad, 4 * (w + 2 * pad), from.data(), 4 * (w + pad), w, h,
                   MosaicGridOf(w, h, b, anchor));
      MosaicRect(px32.data(), 0, 4 * w, w, h, b, anchor);
      MosaicRows8(px8.data(), w, w, h, b, anchor);
      const Rect all{0, 0, w, h};
      ASSERT_EQ(MosaicPixelMemory(kFormat565, reinterpret_cast<uint8_t*>(px16.data()), 2 * w, &all,
                                  nullptr, b, anchor),
                kDdOpDone);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const size_t at = size_t(y * w + x);
          const uint32_t want = uint32_t(Origin(y, oy, b) * w + Origin(x, ox, b));
          ASSERT_EQ(px32[at], want) << "32-bit, anchor " << anchor << " at " << x << "," << y;
          ASSERT_EQ(into[size_t(y * (w + 2 * pad) + pad + x)], want)
              << "from a picture, anchor " << anchor << " at " << x << "," << y;
          ASSERT_EQ(px8[at], want) << "8-bit, anchor " << anchor << " at " << x << "," << y;
          ASSERT_EQ(px16[at], want) << "memory, anchor " << anchor << " at " << x << "," << y;
        }
      }
    }
  }
  // Around the rectangle the target is left as it was.
  std::vector<uint32_t> from(16, 5u), into(24, 7u);
  MosaicBlocks(into.data() + 1, 24, from.data(), 16, 4, 4, {2, 2, 1, 1});
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(into[size_t(y * 6)], 7u) << "left of row " << y;
    EXPECT_EQ(into[size_t(y * 6 + 5)], 7u) << "right of row " << y;
  }
  // Too small a rectangle changes nothing.
  std::vector<uint32_t> small = {1, 2, 3, 4, 5, 6};
  MosaicRect(small.data(), 0, 12, 3, 2, 2, 1);
  EXPECT_EQ(small[1], 2u) << "under 3 rows";
}

}  // namespace
}  // namespace bw
