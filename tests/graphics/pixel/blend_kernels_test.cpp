// Label: optimised
#include "graphics/pixel/blend_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "blend_reference.h"
#include "graphics/pixel/blend_tables.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using namespace reference;

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

// The four forms of a family (straight or stretched, keyed or not); Mmx is empty or Mmx.
#define BW_RUN_FAMILY(Name, Mmx, ...)                                                              \
  [=](const KernelArgs& a, const Geometry& g, bool keyed, uint32_t key) {                          \
    if (g.Stretched()) {                                                                           \
      keyed ? Stretch##Name##RowsKeyed##Mmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h, a.stepper, \
                                            key __VA_OPT__(, ) __VA_ARGS__)                        \
            : Stretch##Name##Rows##Mmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h,                 \
                                       a.stepper __VA_OPT__(, ) __VA_ARGS__);                      \
    } else {                                                                                       \
      keyed ? Name##RowsKeyed##Mmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w, g.h,                     \
                                   key __VA_OPT__(, ) __VA_ARGS__)                                 \
            : Name##Rows##Mmx(D(a), S(a), a.dstSkip, a.srcSkip, g.w,                               \
                              g.h __VA_OPT__(, ) __VA_ARGS__);                                     \
    }                                                                                              \
  }

TEST(BlendRows, EveryFamilyMatchesItsChannelFormula) {
  for (auto [wd, ws] : kWeightPairs) {
    SCOPED_TRACE(testing::Message() << std::hex << wd << " " << ws);
    ExpectFamily(BW_RUN_FAMILY(Crossfade, , wd, ws),
                 [wd, ws](uint32_t d, uint32_t s) { return CrossfadeRef(d, s, wd, ws); });
    ExpectFamily(BW_RUN_FAMILY(Weighted, Mmx, wd, ws),
                 [wd, ws](uint32_t d, uint32_t s) { return WeightedRef(d, s, wd, ws); });
  }
  for (int o : {1, 77, 128, 254, 255}) {
    SCOPED_TRACE(o);
    ExpectFamily(BW_RUN_FAMILY(Opacity, Mmx, o),
                 [o](uint32_t d, uint32_t s) { return OpacityRef(d, s, o); });
  }
  ExpectFamily(BW_RUN_FAMILY(Average, ), AverageRef);
  ExpectFamily(BW_RUN_FAMILY(Average, Mmx), AverageRef);
  ExpectFamily(BW_RUN_FAMILY(Add, ), AddRef);
  ExpectFamily(BW_RUN_FAMILY(Subtract, ), SubtractRef);
}

TEST(AddSubtractRowsMmx, BothVectorWidthsMatchOnPaddedAndWholeSurfaces) {
  std::mt19937 rng(77);
  for (bool wide : {false, true}) {
    ScopedWideVectors pin(wide);
    ExpectFamily(BW_RUN_FAMILY(Add, Mmx), AddRef);
    ExpectFamily(BW_RUN_FAMILY(Subtract, Mmx), SubtractRef);
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

}  // namespace
}  // namespace bw
