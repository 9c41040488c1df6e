// Label: optimised
#include "graphics/pixel/blend_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace bw {
namespace {

class BlendTables : public testing::Test {
 protected:
  static void SetUpTestSuite() { BuildBlendTables(); }
};

TEST_F(BlendTables, OverWeightKeepsExactQuotients) {
  // Against the real quotient, with a guard against doubles landing just under an integer:
  // floating-point truncation used to lose exact quotients such as [51][153] = 225 by one.
  for (int c = 0; c < 256; ++c) EXPECT_EQ(OverWeightTable[0][c], 255) << "row 0, column " << c;
  for (int b = 1; b < 256; ++b) {
    for (int c = 0; c < 256; ++c) {
      double share = 255.0 * c / (c + b - b * c / 255.0);
      int expected = std::min(255, static_cast<int>(std::floor(share + 1e-9)));
      ASSERT_EQ(OverWeightTable[b][c], expected) << "[" << b << "][" << c << "]";
    }
  }
}

// The colour blend adds the kept channel and the colour's share in 16-bit lanes and packs them
// back: the sum must stay within a byte for every opacity, byte and colour.
TEST_F(BlendTables, ColourBlendSharesNeverPassAByte) {
  for (int o = 0; o < 256; ++o) {
    const int kept = *std::max_element(ProductTable[255 - o], ProductTable[255 - o] + 256);
    const int added = *std::max_element(ProductTable[o], ProductTable[o] + 256);
    ASSERT_LE(kept + added, 255) << "opacity " << o;
  }
}

}  // namespace
}  // namespace bw
