#include "graphics/surface/quad_mapper.h"

#include <gtest/gtest.h>

#include "graphics/pixel/blend_reference.h"

namespace bw {
namespace {

constexpr uint32_t kBackground = 0x11223344;

class QuadMapper : public testing::Test {
 protected:
  static void SetUpTestSuite() { BuildBlendTables(); }

  void SetUp() override {
    ASSERT_EQ(source.Create(kW, kH, 32, 0), kSurfaceDone);
    ASSERT_EQ(target.Create(kW, kH, 32, 0), kSurfaceDone);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) (void)source.SetPixel(x, y, 0xFF000000u | uint32_t(y << 8 | x));
    (void)target.Fill(kBackground, nullptr);
  }

  static constexpr int kW = 16, kH = 10;
  ImageSurface source, target;
  const Point corners[4] = {{0, 0}, {kW, 0}, {0, kH}, {kW, kH}};
  const Rect all{0, 0, kW, kH};
};

TEST_F(QuadMapper, ClipsToTheTargetAndKeepsTheSampling) {
  Rect part{3, 2, 9, 6};
  ASSERT_EQ(QuadTextureMap(&target, &source, corners, corners, part, true), kQuadDone);
  EXPECT_EQ(target.GetPixel(2, 2), kBackground);
  EXPECT_EQ(target.GetPixel(3, 2), source.GetPixel(3, 3)) << "skipped pixels still step";
  EXPECT_EQ(target.GetPixel(9, 5), kBackground);
  Rect beyond{-50, -50, 500, 500};
  EXPECT_EQ(QuadTextureMap(&target, &source, corners, corners, beyond, true), kQuadDone);
}

TEST_F(QuadMapper, FarPointsKeepTheirFractions) {
  // 8000 target pixels wide: positions past 2047 pixels need more than 32 bits.
  const Point wide[4] = {{-4000, 0}, {4000, 0}, {-4000, kH}, {4000, kH}};
  ASSERT_EQ(QuadTextureMap(&target, &source, wide, corners, all, true), kQuadDone);
  const int64_t step = (int64_t{kW} << 40) / (int64_t{8000} << 20);
  for (int x : {0, kW - 1}) {
    EXPECT_EQ(target.GetPixel(x, 0), source.GetPixel(int(((x + 4000) * step) >> 20), 1)) << x;
  }
}

// A quad turned so that the top corner's neighbour lies lowest: below the opposite corner the
// left edge goes on toward that lowest corner, and the last band is drawn too.
TEST_F(QuadMapper, DrawsTheBandBelowTheOppositeCorner) {
  const Point turned[4] = {{1, 3}, {14, 0}, {1, 6}, {14, 9}};
  ASSERT_EQ(QuadTextureMap(&target, &source, turned, corners, all, true), kQuadDone);
  EXPECT_NE(target.GetPixel(4, 4), kBackground) << "the middle band";
  for (int y : {6, 7}) {
    EXPECT_NE(target.GetPixel(12, y), kBackground) << "row " << y << " of the last band";
  }
  EXPECT_EQ(target.GetPixel(2, 8), kBackground) << "left of the lower edge";
}

TEST_F(QuadMapper, KeyedAndOpacityWrites) {
  const uint32_t key = source.GetPixel(4, 1);
  ASSERT_EQ(QuadTextureMapKeyed(&target, &source, corners, corners, all, true, key), kQuadDone);
  EXPECT_EQ(target.GetPixel(4, 0), kBackground);
  EXPECT_EQ(target.GetPixel(5, 0), source.GetPixel(5, 1));

  for (auto map : {QuadTextureMapOpacity, QuadTextureMapOpacityMmx}) {
    (void)target.Fill(kBackground, nullptr);
    ASSERT_EQ(map(&target, &source, corners, corners, all, true, ProductTable[0]), kQuadDone);
    EXPECT_EQ(target.GetPixel(3, 3), kBackground) << "opacity 0";
    ASSERT_EQ(map(&target, &source, corners, corners, all, true, ProductTable[255]), kQuadDone);
    EXPECT_EQ(target.GetPixel(3, 3),
              (kBackground & 0xFF000000u) | (source.GetPixel(3, 4) & 0xFFFFFF))
        << "opaque source at full opacity: its colours, the target's alpha";
    (void)target.Fill(0x00000000, nullptr);
    (void)source.SetPixel(6, 2, 0x80FF8040);
    ASSERT_EQ(map(&target, &source, corners, corners, all, true, ProductTable[255]), kQuadDone);
    EXPECT_EQ(target.GetPixel(6, 1),
              reference::LerpRef(0, 0x80FF8040, reference::W(ProductTable[255][0x80])));
  }
  ImageSurface empty;
  EXPECT_EQ(QuadTextureMap(&target, &empty, corners, corners, all, true), kQuadNoRowTable);
}

}  // namespace
}  // namespace bw
