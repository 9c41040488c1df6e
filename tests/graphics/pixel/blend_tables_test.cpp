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

TEST_F(BlendTables, ProductRoundsToNearest) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(ProductTable[255][b], b) << "row 255 is the identity";
    EXPECT_EQ(ProductTable[0][b], 0);
  }
  EXPECT_EQ(ProductTable[128][255], 128);
  EXPECT_EQ(ProductTable[128][128], 64) << "16384 / 255 = 64.25";
  EXPECT_EQ(ProductTable[200][100], 78) << "20000 / 255 = 78.43";
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) ASSERT_EQ(ProductTable[a][b], ProductTable[b][a]);
  }
}

TEST_F(BlendTables, ClampSaturatesBothWays) {
  EXPECT_EQ(ClampTable()[-768], 0);
  EXPECT_EQ(ClampTable()[-1], 0);
  EXPECT_EQ(ClampTable()[0], 0);
  EXPECT_EQ(ClampTable()[77], 77);
  EXPECT_EQ(ClampTable()[255], 255);
  EXPECT_EQ(ClampTable()[256], 255);
  EXPECT_EQ(ClampTable()[1023], 255);
}

TEST_F(BlendTables, WeightLeavesAlphaLaneAtZero) {
  EXPECT_EQ(WeightTable[0][0], 0);
  EXPECT_EQ(WeightTable[1][0], 2);
  EXPECT_EQ(WeightTable[255][2], 256);
  for (int k = 0; k < 256; ++k) EXPECT_EQ(WeightTable[k][3], 0);
}

TEST_F(BlendTables, OverWeightKeepsExactQuotients) {
  // Exact quotients that floating-point truncation used to lose by one.
  EXPECT_EQ(OverWeightTable[51][153], 225);
  EXPECT_EQ(OverWeightTable[85][102], 170);
  EXPECT_EQ(OverWeightTable[136][204], 225);
  EXPECT_EQ(OverWeightTable[204][105], 119);
  for (int c = 0; c < 256; ++c) EXPECT_EQ(OverWeightTable[0][c], 255) << "row 0, column " << c;
  for (int b = 1; b < 256; ++b) {
    EXPECT_EQ(OverWeightTable[b][0], 0) << "a clear source has no share";
    EXPECT_EQ(OverWeightTable[b][255], 255) << "an opaque source has all of it";
    EXPECT_EQ(OverWeightTable[255][b], b) << "over an opaque destination the share is the alpha";
  }
  // The whole table against the real quotient, with a guard against doubles landing just under
  // an integer.
  for (int b = 1; b < 256; ++b) {
    for (int c = 0; c < 256; ++c) {
      double share = 255.0 * c / (c + b - b * c / 255.0);
      int expected = std::min(255, static_cast<int>(std::floor(share + 1e-9)));
      ASSERT_EQ(OverWeightTable[b][c], expected) << "[" << b << "][" << c << "]";
    }
  }
}

TEST_F(BlendTables, AlphaUnionLayersAlphas) {
  for (int a = 0; a < 256; ++a) {
    EXPECT_EQ(AlphaUnionTable[a][0], a);
    EXPECT_EQ(AlphaUnionTable[a][255], 255);
  }
  EXPECT_EQ(AlphaUnionTable[128][128], 192) << "255 - floor(127 * 127 / 255)";
}

}  // namespace
}  // namespace bw
