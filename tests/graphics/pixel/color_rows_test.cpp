// Label: optimised
#include "graphics/pixel/color_rows.h"

#include <gtest/gtest.h>

#include "blend_reference.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using namespace reference;

// A target-only kernel run(dst, skip, w, h, key) against formula(d); with keyed, target words
// equal to the key (the first target pixel of the round) stay.
template <typename Run, typename F>
testing::AssertionResult MatchesOnTarget(Run run, F formula, bool keyed) {
  KeyedRound round;
  auto op = [&](uint8_t* d, const uint8_t*) {
    uint32_t v = Load32(d);
    if (keyed) {
      if (!round.set) round.set = true, round.key = v;
      if (v == round.key) return;
    }
    Store32(d, formula(v));
  };
  return MatchesReference(
      4, 4, Walk::kStraight,
      [&](const KernelArgs& a, const Geometry& g) {
        run(reinterpret_cast<uint32_t*>(a.dst), a.dstSkip, g.w, g.h, round.Take());
      },
      op);
}

TEST(ColorRows, AddAndSubtractMatchInEverySet) {
  using Plain = void (*)(uint32_t*, ptrdiff_t, int, int, uint32_t);
  using Keyed = void (*)(uint32_t*, ptrdiff_t, int, int, uint32_t, uint32_t);
  for (uint32_t color : {0x00C86432u, 0x00010203u, 0x00FFFFFFu}) {
    for (int sign : {1, -1}) {
      auto formula = [color, sign](uint32_t d) {
        return PerChannel(d, [&](int v, int c) { return Saturate(v + sign * Channel(color, c)); });
      };
      const bool add = sign > 0;
      for (Plain k :
           {add ? AddColorRows : SubtractColorRows, add ? AddColorRowsMmx : SubtractColorRowsMmx}) {
        EXPECT_TRUE(MatchesOnTarget(
            [color, k](uint32_t* d, ptrdiff_t s, int w, int h, uint32_t) { k(d, s, w, h, color); },
            formula, false));
      }
      for (Keyed k : {add ? AddColorRowsKeyed : SubtractColorRowsKeyed,
                      add ? AddColorRowsKeyedMmx : SubtractColorRowsKeyedMmx}) {
        EXPECT_TRUE(MatchesOnTarget([color, k](uint32_t* d, ptrdiff_t s, int w, int h,
                                               uint32_t key) { k(d, s, w, h, color, key); },
                                    formula, true));
      }
    }
  }
}

TEST(ColorRows, GreyMatchesInEverySet) {
  auto grey = [](uint32_t d) {
    int g = (77 * Channel(d, 2) + 150 * Channel(d, 1) + 29 * Channel(d, 0)) >> 8;
    return PerChannel(d, [g](int, int) { return g; });
  };
  EXPECT_TRUE(MatchesOnTarget(
      [](uint32_t* d, ptrdiff_t s, int w, int h, uint32_t) { GreyRows(d, s, w, h); }, grey, false));
  EXPECT_TRUE(MatchesOnTarget(
      [](uint32_t* d, ptrdiff_t s, int w, int h, uint32_t) { GreyRowsMmx(d, s, w, h); }, grey,
      false));
  EXPECT_TRUE(MatchesOnTarget(GreyRowsKeyed, grey, true));
}

TEST(ColorRows, ToneSetsAgreeOverTheWholeRange) {
  // Extreme multipliers and offsets: the products no longer fit 16-bit lanes.
  const ToneCurve curves[] = {{128, 128, 128, 0, 0, 0},
                              {256, -256, 255, 255, -255, 0},
                              {-256, 256, -1, -255, 255, 100},
                              {1, 200, -130, 17, -3, -200}};
  for (const ToneCurve& t : curves) {
    auto tone = [&t](uint32_t d) {
      const int mul[3] = {t.blueMultiplier, t.greenMultiplier, t.redMultiplier};
      const int off[3] = {t.blueOffset, t.greenOffset, t.redOffset};
      return PerChannel(d, [&](int v, int c) { return Saturate(((v * mul[c]) >> 7) + off[c]); });
    };
    auto with = [&t](auto kernel) {
      return
          [&t, kernel](uint32_t* d, ptrdiff_t s, int w, int h, uint32_t) { kernel(d, s, w, h, t); };
    };
    EXPECT_TRUE(MatchesOnTarget(with(ToneRows), tone, false));
    EXPECT_TRUE(MatchesOnTarget(with(ToneRowsMmx), tone, false));
    EXPECT_TRUE(MatchesOnTarget([&t](uint32_t* d, ptrdiff_t s, int w, int h,
                                     uint32_t key) { ToneRowsKeyed(d, s, w, h, t, key); },
                                tone, true));
  }
}

// Both sets at the ends and inside the opacity range, toward a colour whose sums reach 255.
TEST(ColorRows, ScaleAndBlendTowardAColourWalkByPitch) {
  for (int o : {0, 1, 77, 128, 254, 255}) {
    ScopedMmxFlag set(o % 2 == 1);
    auto blend = [o](uint32_t d) {
      const int k[3] = {128, 254, 255};
      return PerChannel(
          d, [&](int v, int c) { return ProductTable[255 - o][v] + ProductTable[k[c]][o]; });
    };
    auto scale = [o](uint32_t d) {
      return PerChannel(d, [o](int v, int) { return int(ProductTable[o][v]); });
    };
    // These two take the pitch: the skip plus the row's bytes.
    EXPECT_TRUE(
        MatchesOnTarget([o](uint32_t* d, ptrdiff_t s, int w, int h,
                            uint32_t) { BlendColorRows(d, s + 4 * w, w, h, o, 255, 254, 128); },
                        blend, false));
    EXPECT_TRUE(MatchesOnTarget(
        [o](uint32_t* d, ptrdiff_t s, int w, int h, uint32_t key) {
          BlendColorRowsKeyed(d, s + 4 * w, w, h, o, 255, 254, 128, key);
        },
        blend, true));
    EXPECT_TRUE(MatchesOnTarget([o](uint32_t* d, ptrdiff_t s, int w, int h,
                                    uint32_t) { ScaleRgbRows(d, s + 4 * w, w, h, o); },
                                scale, false));
  }
}

}  // namespace
}  // namespace bw
