// Label: optimised
#include "graphics/pixel/alpha_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "blend_reference.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using namespace reference;

// Sprite-like rows: long runs of transparent and opaque pixels with soft edges between, over
// targets whose alpha is sometimes already clear. The short ways through runs must give the
// bytes of the per-pixel formulas.
TEST(AlphaOverRows, RunsOfClearAndOpaquePixelsGiveTheFormulasBytes) {
  std::mt19937 rng(5);
  for (int round = 0; round < 40; ++round) {
    const int width = 1 + int(rng() % 97);
    const std::vector<uint32_t> src = SpriteLikeRow(rng, width);
    std::vector<uint32_t> dst(src.size());
    for (auto& d : dst) d = rng() % 2 ? rng() & 0xFFFFFF : rng();
    std::vector<uint32_t> wantPlain = dst, wantMmx = dst;
    for (int x = 0; x < width; ++x) {
      wantPlain[size_t(x)] = reference::AlphaOverPlain(dst[size_t(x)], src[size_t(x)]);
      wantMmx[size_t(x)] = reference::AlphaOverMmx(dst[size_t(x)], src[size_t(x)]);
    }
    std::vector<uint32_t> plain = dst;
    AlphaOverRows(plain.data(), src.data(), 0, 0, width, 1);
    EXPECT_EQ(plain, wantPlain) << "plain, width " << width;
    for (bool wide : {false, true}) {
      ScopedWideVectors pin(wide);
      std::vector<uint32_t> mmx = dst;
      AlphaOverRowsMmx(mmx.data(), src.data(), 0, 0, width, 1);
      EXPECT_EQ(mmx, wantMmx) << (wide ? "256-bit" : "128-bit") << ", width " << width;
    }
  }
}

// The colour and alpha copies in their walks, keyed or not, meet the surface blits' clipping
// test; here a word that differs from the key in alpha only is still copied, by either set.
TEST(ChannelRows, KeyedColorCopyComparesTheWholeWord) {
  for (auto kernel : {CopyColorRowsKeyed, CopyColorRowsKeyedMmx}) {
    uint32_t dst[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
    const uint32_t src[4] = {0x00FF00FF, 0xFFFF00FF, 0x00FF00FF, 0x01020304};
    kernel(dst, src, 0, 0, 4, 1, 0x00FF00FF);
    EXPECT_EQ(std::vector<uint32_t>(dst, dst + 4),
              (std::vector<uint32_t>{0x11111111, 0x22FF00FF, 0x33333333, 0x44020304}));
  }
}

}  // namespace
}  // namespace bw
