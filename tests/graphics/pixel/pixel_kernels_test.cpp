// Label: optimised
#include "graphics/pixel/pixel_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "blend_reference.h"
#include "graphics/pixel/alpha_kernels.h"
#include "graphics/pixel/blend_kernels.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/mask_kernels.h"
#include "graphics/pixel/source_blend_kernels.h"
#include "graphics/pixel/stretch_rows.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using namespace reference;

// The copies in every walk, keyed or not, meet the surface blits' clipping test; here the key is
// the whole word, for the whole copy and the colour copy that keeps the target's alpha, by either
// set at both vector widths: a word that differs from the key in alpha only is still copied.
TEST(KeyedCopyRows, SkipOnlyTheWholeKeyWord) {
  const uint32_t key = 0x00FF00FF;  // magenta with alpha 0
  const struct {
    const char* name;
    void (*kernel)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int, uint32_t);
    bool keepsAlpha;
  } kernels[] = {{"whole", CopyRows32Keyed, false},
                 {"colour", CopyColorRowsKeyed, true},
                 {"colour, vector set", CopyColorRowsKeyedMmx, true}};
  for (bool wide : {false, true}) {
    ScopedWideVectors pin(wide);
    for (const auto& k : kernels) {
      // Keys, opaque magenta and other words across whole vector groups and a tail.
      std::vector<uint32_t> src(19), dst(19), want(19);
      for (size_t i = 0; i < src.size(); ++i) {
        src[i] = i % 3 == 0 ? key : i % 2 ? 0xFFFF00FFu : 0x01020304u;
        dst[i] = 0x11111111u * uint32_t(i % 15 + 1);
        const uint32_t alpha = k.keepsAlpha ? dst[i] & 0xFF000000u : src[i] & 0xFF000000u;
        want[i] = src[i] == key ? dst[i] : alpha | (src[i] & 0x00FFFFFFu);
      }
      k.kernel(dst.data(), src.data(), 0, 0, 19, 1, key);
      EXPECT_EQ(dst, want) << k.name << (wide ? ", 256-bit" : ", 128-bit");
    }
  }
}

TEST(FillRows, SetValueOrColourOnlyWithinTheRectangleAtAnySize) {
  // The 128-bit and 256-bit forms of the vector set give the same bytes.
  for (bool wide : {false, true}) {
    ScopedWideVectors pin(wide);
    std::mt19937 rng(77);
    for (int round = 0; round < 40; ++round) {
      Plane base = RandomPlane(rng, 1 + rng() % 40, 1 + rng() % 9, 4, 8);
      Geometry g =
          RandomGeometry(rng, Walk::kStraight, base.width, base.height, base.width, base.height);
      uint32_t value = static_cast<uint32_t>(rng());
      Plane expectFill = base, expectRgb = base;
      for (int j = 0; j < g.h; ++j) {
        for (int i = 0; i < g.w; ++i) {
          expectFill.Set32(g.dx + i, g.dy + j, value);
          uint32_t old = base.Get32(g.dx + i, g.dy + j);
          expectRgb.Set32(g.dx + i, g.dy + j, (old & 0xFF000000u) | (value & 0x00FFFFFFu));
        }
      }
      ptrdiff_t skip = base.pitch - g.w * 4;
      Plane fill = base, rgb = base, rgbMmx = base;
      FillRows32(fill.Ptr<uint32_t>(g.dx, g.dy), skip, g.w, g.h, value);
      FillRgbRows(rgb.Ptr<uint32_t>(g.dx, g.dy), skip, g.w, g.h, value);
      FillRgbRowsMmx(rgbMmx.Ptr<uint32_t>(g.dx, g.dy), skip, g.w, g.h, value);
      ASSERT_EQ(fill.bytes, expectFill.bytes) << "round " << round;
      ASSERT_EQ(rgb.bytes, expectRgb.bytes) << "round " << round;
      ASSERT_EQ(rgbMmx.bytes, expectRgb.bytes) << "round " << round;
    }
  }
  // Fills larger than the caches take another way through memory; rows of odd width on padded
  // rows must still come out whole and leave the padding alone.
  constexpr int kWidth = 2049, kHeight = 2100, kPitch = 2052;
  for (bool wide : {false, true}) {
    ScopedWideVectors pin(wide);
    std::vector<uint32_t> pixels(size_t(kPitch) * kHeight, 0x5A5A5A5Au);
    FillRows32(pixels.data() + 1, (kPitch - kWidth) * 4, kWidth, kHeight, 0x80402010u);
    size_t wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kPitch; ++x) {
        const bool inside = x >= 1 && x <= kWidth;
        wrong += pixels[size_t(y) * kPitch + x] != (inside ? 0x80402010u : 0x5A5A5A5Au);
      }
    }
    EXPECT_EQ(wrong, 0u) << (wide ? "256-bit" : "128-bit");
  }
}

// Against the real quotient, with a guard against doubles landing just under an integer:
// floating-point truncation used to lose exact quotients such as [51][153] = 225 by one.
TEST(BlendTables, OverWeightKeepsExactQuotientsAndColourSharesFitAByte) {
  for (int c = 0; c < 256; ++c) EXPECT_EQ(OverWeightTable[0][c], 255) << "row 0, column " << c;
  for (int b = 1; b < 256; ++b) {
    for (int c = 0; c < 256; ++c) {
      double share = 255.0 * c / (c + b - b * c / 255.0);
      int expected = std::min(255, static_cast<int>(std::floor(share + 1e-9)));
      ASSERT_EQ(OverWeightTable[b][c], expected) << "[" << b << "][" << c << "]";
    }
  }
  // The colour blend adds the kept channel and the colour's share in 16-bit lanes and packs them
  // back: the sum must stay within a byte for every opacity, byte and colour.
  for (int o = 0; o < 256; ++o) {
    const int kept = *std::max_element(ProductTable[255 - o], ProductTable[255 - o] + 256);
    const int added = *std::max_element(ProductTable[o], ProductTable[o] + 256);
    ASSERT_LE(kept + added, 255) << "opacity " << o;
  }
}

TEST(AddSubtractRowsMmx, BothVectorWidthsMatchOnPaddedAndWholeSurfaces) {
  std::mt19937 rng(77);
  for (bool wide : {false, true}) {
    ScopedWideVectors pin(wide);
    // Rows with no padding on either side (whole surfaces), from every alignment.
    for (auto [w, h] : {std::pair{1, 1}, {7, 3}, {16, 2}, {37, 5}, {64, 3}}) {
      for (int offset = 0; offset < 8; ++offset) {
        std::vector<uint32_t> dst(size_t(w * h) + 8), src(dst.size());
        for (size_t i = 0; i < dst.size(); ++i) dst[i] = rng(), src[i] = rng();
        std::vector<uint32_t> sum = dst, diff = dst, wantSum = dst, wantDiff = dst;
        for (size_t i = size_t(offset); i < size_t(offset + w * h); ++i)
          wantSum[i] = AddRef(dst[i], src[i]), wantDiff[i] = SubtractRef(dst[i], src[i]);
        AddRowsMmx(sum.data() + offset, src.data() + offset, 0, 0, w, h);
        SubtractRowsMmx(diff.data() + offset, src.data() + offset, 0, 0, w, h);
        ASSERT_EQ(sum, wantSum) << "wide " << wide << ", " << w << "x" << h << " at " << offset;
        ASSERT_EQ(diff, wantDiff) << "wide " << wide << ", " << w << "x" << h << " at " << offset;
      }
    }
  }
}

TEST(AlphaAwareOpacityRows, MatchesItsThreeCasesInEverySetAndWidth) {
  for (int o : {0, 1, 128, 200, 255}) {
    auto formula = [o](uint32_t d, uint32_t s) {
      int sa = Channel(s, 3), da = Channel(d, 3);
      uint32_t out = d;
      for (int c = 0; c < 3; ++c) {
        int v = ProductTable[255 - o][Channel(d, c)] + ProductTable[o][Channel(s, c)];
        if (sa != 0) out = WithChannel(out, c, da != 0 ? v : Channel(s, c));
      }
      return WithChannel(out, 3, ProductTable[255 - o][da] + ProductTable[o][sa]);
    };
    for (int set = 0; set < 3; ++set) {
      ScopedWideVectors wide(set == 2);
      const auto rows = set == 0 ? AlphaAwareOpacityRows : AlphaAwareOpacityRowsMmx;
      EXPECT_TRUE(MatchesReference(
          4, 4, Walk::kStraight,
          [o, rows](const KernelArgs& a, const Geometry& g) {
            rows(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, o);
          },
          PixelOp(formula)))
          << "opacity " << o << ", set " << set;
    }
  }
}

constexpr int kPad = 8;

struct Rows {
  std::vector<uint32_t> from, src, dst;
  int fromAt, srcAt, dstAt;
};

// Source rows mix runs of eight clear, eight opaque and random pixels, so that the vector
// forms' skips and copies are taken as well as the blend.
std::vector<uint32_t> RandomPixels(std::mt19937& rng, size_t count) {
  std::vector<uint32_t> pixels(count);
  for (uint32_t& p : pixels) p = rng();
  return pixels;
}

Rows RandomRows(std::mt19937& rng, int width) {
  Rows r;
  for (auto* row : {&r.from, &r.src, &r.dst}) *row = RandomPixels(rng, size_t(width + 2 * kPad));
  r.fromAt = int(rng() % 8), r.srcAt = int(rng() % 8), r.dstAt = int(rng() % 8);
  for (size_t x = 0; x < r.src.size(); x += 8) {
    const uint32_t run = rng() % 3;
    for (size_t i = x; run != 2 && i < std::min(x + 8, r.src.size()); ++i)
      r.src[i] = run == 0 ? r.src[i] & 0x00FFFFFFu : r.src[i] | 0xFF000000u;
  }
  return r;
}

// Runs kernel(dst, old, src, width, level) on random rows against the lerp of every colour
// channel of the old pixel toward the source by weight(level, x), the old alpha
// kept: on both vector sets, at every opacity, for widths around the vector steps and at every
// misalignment of the rows, written apart and in place. Padding around the target stays as it
// was.
void ExpectLerpRows(
    const std::function<void(uint32_t*, const uint32_t*, const uint32_t*, int, int)>& kernel,
    const std::function<int(int, int)>& weight) {
  std::mt19937 rng(62);
  for (bool wide : {false, true}) {
    ScopedWideVectors vectors(wide && WideVectorsEnabled());
    for (int round = 0; round < 600; ++round) {
      const int width = round < 40 ? round : int(rng() % 900);
      const int opacity = round < 256 ? round : int(rng() % 256);
      Rows r = RandomRows(rng, width);
      const bool inPlace = round % 3 == 0;
      const uint32_t* oldRow = inPlace ? r.dst.data() + r.dstAt : r.from.data() + r.fromAt;
      const uint32_t* src = r.src.data() + r.srcAt;
      std::vector<uint32_t> expect = r.dst;
      for (int x = 0; x < width; ++x)
        expect[size_t(r.dstAt + x)] = LerpRef(oldRow[x], src[x], weight(opacity, x));
      kernel(r.dst.data() + r.dstAt, oldRow, src, width, opacity);
      ASSERT_EQ(r.dst, expect) << (wide ? "256-bit" : "128-bit") << " width " << width
                               << " opacity " << opacity << (inPlace ? " in place" : "");
    }
  }
}

TEST(LerpRows, CrossfadeRowMatchesThePlainLerp) {
  ExpectLerpRows([](uint32_t* dst, const uint32_t* from, const uint32_t* src, int width,
                    int opacity) { OpacityRowOfMmx(dst, from, src, width, opacity); },
                 [](int opacity, int) { return W(opacity); });
}

// The rule transition's row: each pixel weighed by the table's value for its rule byte. The rule
// is a smooth wipe on its left and noise on its right; the tables are a wipe's ramp, the reverse
// ramp, a ramp with one odd entry inside its flat end, and flat tables.
TEST(LerpRows, RuleRowMatchesThePlainLerp) {
  std::mt19937 rng(7);
  std::vector<uint8_t> rule(1000);
  for (size_t i = 0; i < rule.size(); ++i) rule[i] = i < 600 ? uint8_t(i / 3) : uint8_t(rng());
  const auto value = [](int level, int r) {
    switch (level % 4) {
      case 0:
        return std::clamp((level - r) * 4, 0, 255);
      case 1:
        return std::clamp((r - level) * 4, 0, 255);
      case 2:
        return r == level / 2 ? 77 : std::clamp((level - r) * 4, 0, 255);
      default:
        return level;
    }
  };
  uint8_t table[256];
  ExpectLerpRows(
      [&](uint32_t* dst, const uint32_t* from, const uint32_t* src, int width, int level) {
        for (int r = 0; r < 256; ++r) table[r] = uint8_t(value(level, r));
        RuleRowOfMmx(dst, from, src, rule.data() + level % 7, width, table);
      },
      [&](int level, int x) { return W(value(level, rule[size_t(level % 7 + x)])); });
}

// The vector set's stretched rows where source and target overlap; the surface clipping test
// meets them at every ratio, mirrored and clipped.
TEST(StretchRowsVector, OverlappingRowsKeepTheWalksOrderAndStraightOnesTheGatheredBytes) {
  std::mt19937 rng(12);
  const StretchStepper st = MakeStretchStepper(30, 4, 30, 4);
  std::vector<uint32_t> plain = RandomPixels(rng, 40 * 5), vector = plain;
  // The target starts two pixels into the source: the walk smears, a block copy would not.
  StretchCopyRows32(plain.data() + 2, plain.data(), 40 * 4 - 30 * 4, 40 * 4, 30, 4, st);
  StretchCopyRows32Mmx(vector.data() + 2, vector.data(), 40 * 4 - 30 * 4, 40 * 4, 30, 4, st);
  EXPECT_EQ(plain, vector);
  EXPECT_FALSE(StretchCopyRowsVector(vector.data() + 2, vector.data(), 40, 160, 30, 4, st, false));
  // At 1:1 across, the stretched blends read the source row in place; a row overlapping its
  // target is still read from a copy first.
  const StretchStepper straightStep = MakeStretchStepper(37, 3, 37, 3);
  const std::vector<uint32_t> src = RandomPixels(rng, 37 * 3);
  std::vector<uint32_t> straight = RandomPixels(rng, 37 * 3), stretched = straight;
  OpacityRowsMmx(straight.data(), src.data(), 0, 0, 37, 3, 77);
  StretchOpacityRowsMmx(stretched.data(), src.data(), 0, 37 * 4, 37, 3, straightStep, 77);
  EXPECT_EQ(straight, stretched);

  std::vector<uint32_t> row = RandomPixels(rng, 40), expected = row;
  const std::vector<uint32_t> copy(expected.begin(), expected.begin() + 37);
  OpacityRowsMmx(expected.data() + 3, copy.data(), 0, 0, 37, 1, 140);
  StretchOpacityRowsMmx(row.data() + 3, row.data(), 0, 160, 37, 1, straightStep, 140);
  EXPECT_EQ(row, expected);
}

// Every pair of target and source alpha (the clear and opaque groups, the lane-computed tables
// and the tails), against the table formula, at both vector widths.
TEST(AlphaRowKernels, OntoAlphaMatchesItsTablesForEveryAlphaPair) {
  std::mt19937 rng(31);
  for (int opacity : {255, 254, 128, 3}) {
    const uint8_t* row = ProductTable[opacity];
    std::vector<uint32_t> src, dst;
    for (uint32_t da = 0; da < 256; ++da) {
      for (uint32_t sa = 0; sa < 256; ++sa) {
        dst.push_back(da << 24 | (rng() & 0xFFFFFF));
        src.push_back(sa << 24 | (rng() & 0xFFFFFF));
      }
    }
    std::vector<uint32_t> want(dst.size());
    for (size_t i = 0; i < dst.size(); ++i) want[i] = OntoAlphaRef(dst[i], src[i], row);
    for (bool wide : {false, true}) {
      ScopedWideVectors pin(wide);
      for (auto kernel : {AlphaOntoAlphaRows, AlphaOntoAlphaRowsMmx}) {
        std::vector<uint32_t> got = dst;
        kernel(got.data(), src.data(), 0, 0, 256, 256, row);
        EXPECT_EQ(got, want) << "opacity " << opacity << ", wide " << wide;
      }
    }
  }
}

// Sprite- and text-like rows take the short ways through runs of clear and opaque pixels and the
// vector forms' skips over clear groups, over targets whose alpha is sometimes already clear; the
// bytes stay the formula's at both vector widths.
TEST(AlphaRowKernels, SpriteRowsMatchTheirFormulas) {
  std::mt19937 rng(9);
  // Over by the plain and the vector set, then by the opacity row, and onto the target's alpha.
  for (int kind = 0; kind < 4; ++kind) {
    for (int round = 0; round < 30; ++round) {
      const int width = 1 + int(rng() % 97);
      const uint8_t* row = ProductTable[round % 2 ? 255 : 1 + rng() % 254];
      const std::vector<uint32_t> src = SpriteLikeRow(rng, width);
      std::vector<uint32_t> dst(src.size()), want(src.size());
      for (auto& d : dst) {
        d = round % 3 == 0 ? rng() & 0x01FFFFFF : rng() % 2 ? rng() & 0xFFFFFF : uint32_t(rng());
      }
      for (size_t x = 0; x < src.size(); ++x) {
        want[x] = kind == 0   ? AlphaOverPlain(dst[x], src[x])
                  : kind == 1 ? AlphaOverMmx(dst[x], src[x])
                  : kind == 2 ? AlphaLerpRef(dst[x], src[x], row)
                              : OntoAlphaRef(dst[x], src[x], row);
      }
      for (bool wide : {false, true}) {
        ScopedWideVectors pin(wide);
        std::vector<uint32_t> got = dst;
        if (kind < 2) {
          (kind ? AlphaOverRowsMmx : AlphaOverRows)(got.data(), src.data(), 0, 0, width, 1);
        } else {
          (kind == 3 ? AlphaOntoAlphaRowsMmx : AlphaOpacityRowsMmx)(got.data(), src.data(), 0, 0,
                                                                    width, 1, row);
        }
        EXPECT_EQ(got, want) << "kind " << kind << ", wide " << wide << ", width " << width;
      }
    }
  }
}

TEST(RuleRows, BothSetsMatchTheTableWeight) {
  uint8_t table[256];
  std::mt19937 rng(7);
  for (auto& v : table) v = uint8_t(rng());
  for (int form = 0; form < 8; ++form) {
    const bool withRule = form & 1, alphaToo = form & 2, mmx = form & 4;
    auto kernel =
        alphaToo ? (mmx ? RuleAlphaRowsMmx : RuleAlphaRows) : (mmx ? RuleRowsMmx : RuleRows);
    std::mt19937 check(99);
    for (int round = 0; round < 30; ++round) {
      int w = int(check() % 23) + 1, h = int(check() % 7) + 1;
      Plane dst = RandomPlane(check, w, h, 4, 8), src = RandomPlane(check, w, h, 4, 4);
      Plane expect = dst;
      // A rule plane with a skip of 3 bytes per row, its bytes a fixed pattern.
      std::vector<uint8_t> rule(size_t(w + 3) * h);
      for (size_t i = 0; i < rule.size(); ++i) rule[i] = uint8_t(i * 37 + w);
      for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
          uint32_t s = src.Get32(i, j), d = expect.Get32(i, j);
          int sa = Channel(s, 3);
          int r = withRule ? rule[size_t(j) * (w + 3) + i] : sa;
          int k = alphaToo ? ProductTable[table[r]][sa] : table[r];
          expect.Set32(i, j, LerpRef(d, s, W(k)));
        }
      }
      kernel(dst.Ptr<uint32_t>(0, 0), src.Ptr<uint32_t>(0, 0), withRule ? rule.data() : nullptr, 8,
             4, 3, w, h, table);
      ASSERT_EQ(dst.bytes, expect.bytes) << "form " << form << " round " << round;
    }
  }
}

using MaskKernel = void (*)(uint32_t*, const uint8_t*, ptrdiff_t, ptrdiff_t, int, int, uint32_t,
                            const uint8_t*);

// The 8-bit "source" plane of the reference walk is the mask.
template <typename F>
void ExpectMaskPair(MaskKernel plain, MaskKernel mmx, F formula) {
  for (uint32_t color : {0x00FF8001u, 0x00000000u, 0x12FFFFFFu}) {
    for (int o : {0, 77, 255}) {
      const uint8_t* row = ProductTable[o];
      auto op = [&](uint8_t* d, const uint8_t* m) {
        Store32(d, formula(Load32(d), *m, color, row));
      };
      for (MaskKernel k : {plain, mmx}) {
        EXPECT_TRUE(MatchesReference(4, 1, Walk::kStraight, CallRows(k, color, row), op))
            << std::hex << color << " " << o;
      }
    }
  }
}

TEST(MaskKernels, EachPairMatchesItsFormula) {
  ExpectMaskPair(
      MaskColorFillRows, MaskColorFillRowsMmx,
      [](uint32_t d, int m, uint32_t k, const uint8_t* row) { return LerpRef(d, k, W(row[m])); });
  ExpectMaskPair(MaskAddColorRows, MaskAddColorRowsMmx,
                 [](uint32_t d, int m, uint32_t k, const uint8_t* row) {
                   return ScaledSumRef(d, k, W(row[m]), 1);
                 });
  ExpectMaskPair(MaskSubtractColorRows, MaskSubtractColorRowsMmx,
                 [](uint32_t d, int m, uint32_t k, const uint8_t* row) {
                   return ScaledSumRef(d, k, W(row[m]), -1);
                 });
  // The mask byte stands where the others read the source alpha.
  ExpectMaskPair(MaskAlphaColorFillRows, MaskAlphaColorFillRowsMmx,
                 [](uint32_t d, int m, uint32_t k, const uint8_t* row) {
                   return OntoAlphaRef(d, (k & 0x00FFFFFFu) | uint32_t(m) << 24, row);
                 });
}

// A 3 x 3 mask drawn solid or blended at each edge of a 5 x 5 target: only its part inside is
// drawn, and one wholly outside, even by a touching edge, draws nothing and says so.
TEST(MaskKernels, MasksAtTheEdgesDrawOnlyTheirPartInside) {
  const std::vector<uint8_t> mask(9, 255);
  const MaskSource source{mask.data(), 3, 3, 3};
  const struct {
    int x, y;
    bool drawn;
  } cases[] = {{-2, -2, true}, {3, 3, true},   {4, 0, true},  {0, 4, true}, {1, 1, true},
               {-3, 0, false}, {0, -3, false}, {5, 0, false}, {0, 5, false}};
  for (int kind = 0; kind < 3; ++kind) {
    ScopedMmxFlag pin(kind == 2);
    for (const auto& c : cases) {
      std::vector<uint32_t> pixels(25, 0xFF000000u);
      const MaskTarget target{reinterpret_cast<uint8_t*>(pixels.data()), 5, 5, 20};
      const bool drawn = kind == 0 ? DrawMaskSolid(c.x, c.y, 255, 255, 255, target, source)
                                   : DrawMaskBlended(c.x, c.y, 255, 255, 255, target, source);
      EXPECT_EQ(drawn, c.drawn) << "kind " << kind << " at " << c.x << "," << c.y;
      for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) {
          const bool inside = x >= c.x && x < c.x + 3 && y >= c.y && y < c.y + 3;
          EXPECT_EQ(pixels[size_t(y * 5 + x)] & 0xFFFFFFu, inside ? 0xFFFFFFu : 0u)
              << "kind " << kind << " at " << c.x << "," << c.y << " pixel " << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace bw
