#include "graphics/surface/rotated_bounds.h"

#include <gtest/gtest.h>

#include <tuple>

#include "common/global.h"
#include "platform/trig_tables.h"

namespace bw {
namespace {

class RotatedBoundsTest : public testing::Test {
 protected:
  // Calls with every box output asked for (the corners then stay relative to the box).
  bool Boxed(int32_t x, int32_t y, int angle, double scale, int32_t w, int32_t h, double ax,
             double ay) {
    return ComputeRotatedBounds(&corners, x, y, angle, scale, w, h, ax, ay,
                                RotatedBox{&width, &height, &left, &top});
  }
  TrigTables trig;
  ScopedGlobal<TrigTables> scope{&trig};
  RotatedCorners corners{};
  int32_t width = -7, height = -7, left = -7, top = -7;
};

TEST_F(RotatedBoundsTest, AQuarterTurnAboutTheCentreSwapsTheSidesAndKeepsTheAnchor) {
  ASSERT_TRUE(Boxed(10, 20, 128, 1.0, 100, 50, 50, 25));
  // The top's -24.5 is truncated toward zero.
  EXPECT_EQ(std::tuple(width, height, left, top), std::tuple(50, 100, 10 + 25, 20 - 24));
  // Relative to the box: the turned corners lie on its edges, half a pixel in.
  double minX = 1e9, maxX = -1e9;
  for (const auto& p : corners.point) minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
  EXPECT_NEAR(minX, -0.5, 1e-9);
  EXPECT_NEAR(maxX, 49.5, 1e-9);

  // Without the box's place asked for, the corners are in target coordinates.
  RotatedCorners placed{};
  ASSERT_TRUE(ComputeRotatedBounds(&placed, 10, 20, 128, 1.0, 100, 50, 50, 25, RotatedBox{}));
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(placed.point[i].x, corners.point[i].x + left, 1e-9) << i;
    EXPECT_NEAR(placed.point[i].y, corners.point[i].y + top, 1e-9) << i;
  }
}

TEST_F(RotatedBoundsTest, WholeTurns) {
  ASSERT_TRUE(Boxed(10, 0, 512, 1.0, 8, 6, 4, 3)) << "only the low 9 bits count, but x moves";
  EXPECT_EQ(std::pair(width, left), std::pair(8, 10));
  ASSERT_TRUE(Boxed(1, 0, INT32_MIN, 1.0, 100, 50, 50, 25)) << "the lowest angle is a whole turn";
  EXPECT_EQ(width, 100);
}

TEST_F(RotatedBoundsTest, RefusalsWriteNothing) {
  EXPECT_FALSE(Boxed(0, 0, 0, 1.0, 10, 10, 5, 5)) << "nothing to do";
  EXPECT_FALSE(Boxed(0, 0, 64, std::nan(""), 10, 10, 5, 5));
  EXPECT_FALSE(Boxed(0, 0, 64, 1e9, 10000, 10000, 0, 0)) << "a box past 32 bits";
  EXPECT_FALSE(Boxed(INT32_MAX, 0, 256, 1.0, 10, 10, 10, 10)) << "a place past 32 bits";
  EXPECT_EQ(std::pair(width, left), std::pair(-7, -7));
  EXPECT_FALSE(ComputeRotatedBounds(nullptr, 0, 0, 64, 1.0, 10, 10, 5, 5, RotatedBox{}));
  ScopedGlobal<TrigTables> none(nullptr);
  EXPECT_FALSE(Boxed(0, 0, 64, 1.0, 10, 10, 5, 5)) << "no tables";
}

// Turns about the top-left corner: a positive quarter turn lifts the picture above its anchor.
TEST_F(RotatedBoundsTest, TurnsAboutTheCornerGoTheirWay) {
  const struct {
    int angle;
    int32_t width, height, left, top;
  } cases[] = {{128, 50, 100, 0, -99}, {256, 100, 50, -99, -49}, {384, 50, 100, -49, 0}};
  for (const auto& c : cases) {
    ASSERT_TRUE(Boxed(0, 0, c.angle, 1.0, 100, 50, 0, 0)) << c.angle;
    EXPECT_EQ(std::tuple(width, height, left, top), std::tuple(c.width, c.height, c.left, c.top))
        << c.angle;
  }
}

}  // namespace
}  // namespace bw
