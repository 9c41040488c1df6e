// Label: optimised
#include "graphics/pixel/source_blend_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "blend_reference.h"
#include "graphics/pixel/alpha_kernels.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using namespace reference;

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
  for (bool withRule : {false, true}) {
    for (bool alphaToo : {false, true}) {
      for (bool mmx : {false, true}) {
        // A rule plane with a skip of 3 bytes per row, its bytes a fixed pattern.
        auto kernel =
            alphaToo ? (mmx ? RuleAlphaRowsMmx : RuleAlphaRows) : (mmx ? RuleRowsMmx : RuleRows);
        std::vector<uint8_t> rule;
        std::mt19937 check(99);
        for (int round = 0; round < 30; ++round) {
          int w = int(check() % 23) + 1, h = int(check() % 7) + 1;
          Plane dst = RandomPlane(check, w, h, 4, 8), src = RandomPlane(check, w, h, 4, 4);
          Plane expect = dst;
          rule.assign(size_t(w + 3) * h, 0);
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
          kernel(dst.Ptr<uint32_t>(0, 0), src.Ptr<uint32_t>(0, 0), withRule ? rule.data() : nullptr,
                 8, 4, 3, w, h, table);
          ASSERT_EQ(dst.bytes, expect.bytes) << withRule << alphaToo << mmx << " round " << round;
        }
      }
    }
  }
}

}  // namespace
}  // namespace bw
