#include "graphics/pixel/blend_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "blend_reference.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/mmx_flag.h"

namespace bw {
namespace {

using namespace reference;

uint32_t* D(const KernelArgs& a) {
  return reinterpret_cast<uint32_t*>(a.dst);
}
const uint32_t* S(const KernelArgs& a) {
  return reinterpret_cast<const uint32_t*>(a.src);
}

// One family's four forms against one formula. run(a, g, keyed, key) calls the straight form
// (with a.srcSkip a skip) or, for stretched walks, the stretched form (a.srcSkip the pitch).
template <typename Run, typename F>
void ExpectFamily(Run run, F formula) {
  for (Walk walk : {Walk::kStraight, Walk::kStretched}) {
    KeyedRound round;
    EXPECT_TRUE(MatchesReference(
        4, 4, walk, [&](const KernelArgs& a, const Geometry& g) { run(a, g, false, 0u); },
        PixelOp(formula)));
    EXPECT_TRUE(MatchesReference(
        4, 4, walk, [&](const KernelArgs& a, const Geometry& g) { run(a, g, true, round.Take()); },
        PixelOp(formula, &round)));
  }
}

uint32_t CrossfadeRef(uint32_t d, uint32_t s, uint32_t wd, uint32_t ws) {
  for (int c = 0; c < 3; ++c) {
    int v =
        ProductTable[Channel(wd, c)][Channel(d, c)] + ProductTable[Channel(ws, c)][Channel(s, c)];
    d = WithChannel(d, c, std::min(255, v));
  }
  return d;
}
uint32_t OpacityRef(uint32_t d, uint32_t s, int o) {
  for (int c = 0; c < 3; ++c) d = WithChannel(d, c, Lerp(Channel(d, c), Channel(s, c), o + 1));
  return d;
}
uint32_t WeightedRef(uint32_t d, uint32_t s, uint32_t wd, uint32_t ws) {
  uint32_t out = 0;
  for (int c = 0; c < 4; ++c) {
    int sum = std::min(65535, Channel(s, c) * Channel(ws, c) + Channel(d, c) * Channel(wd, c));
    out = WithChannel(out, c, std::min(255, sum >> 8));
  }
  return out;
}
uint32_t AverageRef(uint32_t d, uint32_t s) {
  uint32_t out = (d & s) & 0xFF000000u;
  for (int c = 0; c < 3; ++c) out = WithChannel(out, c, (Channel(d, c) + Channel(s, c)) / 2);
  return out;
}
uint32_t AddRef(uint32_t d, uint32_t s) {
  for (int c = 0; c < 4; ++c) d = WithChannel(d, c, Saturate(Channel(d, c) + Channel(s, c)));
  return d;
}
uint32_t SubtractRef(uint32_t d, uint32_t s) {
  for (int c = 0; c < 4; ++c) d = WithChannel(d, c, Saturate(Channel(d, c) - Channel(s, c)));
  return d;
}

const std::pair<uint32_t, uint32_t> kWeightPairs[] = {
    {0x00FFFFFFu, 0x00FFFFFFu}, {0x12345678u, 0x9ABCDEF0u}, {0xFF0180FEu, 0xFFFE7F01u}};

TEST(CrossfadeRows, AllFormsMatchTheProductTableSum) {
  for (auto [wd, ws] : kWeightPairs) {
    ExpectFamily(
        [wd, ws](const KernelArgs& a, const Geometry& g, bool keyed, uint32_t key) {
          if (g.Stretched()) {
            keyed ? StretchCrossfadeRowsKeyed(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, a.stepper,
                                              key, wd, ws)
                  : StretchCrossfadeRows(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, a.stepper, wd,
                                         ws);
          } else {
            keyed ? CrossfadeRowsKeyed(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, key, wd, ws)
                  : CrossfadeRows(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, wd, ws);
          }
        },
        [wd, ws](uint32_t d, uint32_t s) { return CrossfadeRef(d, s, wd, ws); });
  }
}

TEST(OpacityRowsMmx, AllFormsMatchTheLerp) {
  for (int o : {1, 77, 128, 254, 255}) {
    ExpectFamily(
        [o](const KernelArgs& a, const Geometry& g, bool keyed, uint32_t key) {
          if (g.Stretched()) {
            keyed ? StretchOpacityRowsKeyedMmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h,
                                               a.stepper, key, o)
                  : StretchOpacityRowsMmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, a.stepper, o);
          } else {
            keyed ? OpacityRowsKeyedMmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, key, o)
                  : OpacityRowsMmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, o);
          }
        },
        [o](uint32_t d, uint32_t s) { return OpacityRef(d, s, o); });
  }
}

TEST(WeightedRowsMmx, AllFormsMatchTheSaturatedSum) {
  for (auto [wd, ws] : kWeightPairs) {
    ExpectFamily(
        [wd, ws](const KernelArgs& a, const Geometry& g, bool keyed, uint32_t key) {
          if (g.Stretched()) {
            keyed ? StretchWeightedRowsKeyedMmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h,
                                                a.stepper, key, wd, ws)
                  : StretchWeightedRowsMmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, a.stepper,
                                           wd, ws);
          } else {
            keyed ? WeightedRowsKeyedMmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, key, wd, ws)
                  : WeightedRowsMmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, wd, ws);
          }
        },
        [wd, ws](uint32_t d, uint32_t s) { return WeightedRef(d, s, wd, ws); });
  }
}

#define BW_RUN_FAMILY(Name)                                                                        \
  [](const KernelArgs& a, const Geometry& g, bool keyed, uint32_t key) {                           \
    if (g.Stretched()) {                                                                           \
      keyed ? Stretch##Name##RowsKeyed(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, a.stepper, key) \
            : Stretch##Name##Rows(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, a.stepper);          \
    } else {                                                                                       \
      keyed ? Name##RowsKeyed(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, key)                     \
            : Name##Rows(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h);                              \
    }                                                                                              \
  }
#define BW_RUN_FAMILY_MMX(Name)                                                                  \
  [](const KernelArgs& a, const Geometry& g, bool keyed, uint32_t key) {                         \
    if (g.Stretched()) {                                                                         \
      keyed ? Stretch##Name##RowsKeyedMmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, a.stepper, \
                                          key)                                                   \
            : Stretch##Name##RowsMmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, a.stepper);     \
    } else {                                                                                     \
      keyed ? Name##RowsKeyedMmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, key)                \
            : Name##RowsMmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h);                         \
    }                                                                                            \
  }

TEST(AverageAddSubtractRows, BothSetsMatchTheChannelFormulas) {
  ExpectFamily(BW_RUN_FAMILY(Average), AverageRef);
  ExpectFamily(BW_RUN_FAMILY_MMX(Average), AverageRef);
  ExpectFamily(BW_RUN_FAMILY(Add), AddRef);
  ExpectFamily(BW_RUN_FAMILY(Subtract), SubtractRef);
  // The vector forms of add and subtract: below, at both vector widths.
}

TEST(AddSubtractRowsMmx, BothVectorWidthsMatchOnPaddedAndWholeSurfaces) {
  std::mt19937 rng(77);
  for (bool wide : {false, true}) {
    ScopedWideVectors pin(wide);
    ExpectFamily(BW_RUN_FAMILY_MMX(Add), AddRef);
    ExpectFamily(BW_RUN_FAMILY_MMX(Subtract), SubtractRef);
    // Rows with no padding on either side (whole surfaces), from every alignment.
    for (auto [w, h] : {std::pair{1, 1}, {7, 3}, {16, 2}, {37, 5}, {64, 3}}) {
      for (int offset = 0; offset < 8; ++offset) {
        std::vector<uint32_t> dst(size_t(w * h) + 8), src(dst.size());
        for (size_t i = 0; i < dst.size(); ++i) dst[i] = rng(), src[i] = rng();
        std::vector<uint32_t> sum = dst, diff = dst;
        AddRowsMmx(sum.data() + offset, src.data() + offset, 0, 0, w, h);
        SubtractRowsMmx(diff.data() + offset, src.data() + offset, 0, 0, w, h);
        for (size_t i = 0; i < dst.size(); ++i) {
          bool inside = i >= size_t(offset) && i < size_t(offset + w * h);
          ASSERT_EQ(sum[i], inside ? AddRef(dst[i], src[i]) : dst[i])
              << "wide " << wide << ", " << w << "x" << h << " at " << offset << ", pixel " << i;
          ASSERT_EQ(diff[i], inside ? SubtractRef(dst[i], src[i]) : dst[i])
              << "wide " << wide << ", " << w << "x" << h << " at " << offset << ", pixel " << i;
        }
      }
    }
  }
}

TEST(AlphaAwareOpacityRows, MatchesItsThreeCases) {
  for (int o : {1, 128, 200}) {
    auto formula = [o](uint32_t d, uint32_t s) {
      int sa = Channel(s, 3), da = Channel(d, 3);
      uint32_t out = d;
      for (int c = 0; c < 3; ++c) {
        int v = ProductTable[255 - o][Channel(d, c)] + ProductTable[o][Channel(s, c)];
        if (sa != 0) out = WithChannel(out, c, da != 0 ? v : Channel(s, c));
      }
      return WithChannel(out, 3, ProductTable[255 - o][da] + ProductTable[o][sa]);
    };
    EXPECT_TRUE(MatchesReference(
        4, 4, Walk::kStraight,
        [o](const KernelArgs& a, const Geometry& g) {
          AlphaAwareOpacityRows(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, o);
        },
        PixelOp(formula)));
  }
}

TEST(OpacityKernels, WorkedValues) {
  // White over black at 128: 128 from either set; at 255 both copy the source colour.
  uint32_t black[5] = {0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000};
  const uint32_t white[5] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  uint32_t plain[5], mmx[5];
  std::copy(black, black + 5, plain);
  std::copy(black, black + 5, mmx);
  CrossfadeRows(plain, white, 0, 0, 5, 1, 0x7F7F7F, 0x808080);
  OpacityRowsMmx(mmx, white, 0, 0, 5, 1, 128);
  EXPECT_EQ(plain[4], 0x40808080u);
  EXPECT_EQ(mmx[0], 0x40808080u);
  EXPECT_EQ(mmx[4], 0x40808080u) << "tail";
  const uint32_t src[1] = {0x00123456};
  uint32_t a[1] = {0xAA987654}, b[1] = {0xAA987654};
  CrossfadeRows(a, src, 0, 0, 1, 1, 0, 0xFFFFFF);
  OpacityRowsMmx(b, src, 0, 0, 1, 1, 255);
  EXPECT_EQ(a[0], 0xAA123456u);
  EXPECT_EQ(b[0], 0xAA123456u);
  // Both weight words 255 over white saturate.
  uint32_t w1[1] = {0xFFFFFFFF};
  CrossfadeRows(w1, white, 0, 0, 1, 1, 0xFFFFFF, 0xFFFFFF);
  EXPECT_EQ(w1[0], 0xFFFFFFFFu);
}

TEST(AverageAddSubtractRows, WorkedValues) {
  const uint32_t s[2] = {0x80FF0000, 0x00000000};
  uint32_t d[2] = {0x7F000000, 0x00FFFFFF};
  AverageRows(d, s, 0, 0, 2, 1);
  EXPECT_EQ(d[0], 0x007F0000u) << "alphas 0x80 AND 0x7F give 0";
  EXPECT_EQ(d[1], 0x007F7F7Fu);
  const uint32_t add[1] = {0x0064C8FA};
  uint32_t sum[1] = {0x00C86432};
  AddRows(sum, add, 0, 0, 1, 1);
  EXPECT_EQ(sum[0], 0x00FFFFFFu);
  const uint32_t sub[1] = {0x006400FF};
  uint32_t diff[1] = {0x00323232};
  SubtractRows(diff, sub, 0, 0, 1, 1);
  EXPECT_EQ(diff[0], 0x00003200u);
}

}  // namespace
}  // namespace bw
