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

}  // namespace
}  // namespace bw
