// Motion paths on a layer and on a sprite, table-driven, the swings, the end state, and the
// natural spline against a dense reference.
#include "effects/motion_path.h"

#include <gtest/gtest.h>

#include "effects/natural_spline.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"

namespace bw {
namespace {

// A 640 x 480 layer showing a 1280 x 720 picture, and a sprite at (100, 50) in it.
class Path : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(area.Create(640, 480, 32, 0), 0);
    ASSERT_EQ(picture.Create(1280, 720, 32, 0), 0);
    ASSERT_EQ(layer.SetTarget(&area, false), 0);
    (void)layer.SetBackgroundImage(&picture, 0, 0, false);
    sprite.SetPos(100, 50);
  }
  ImageSurface area, picture;
  CompositionLayer layer;
  Sprite sprite;
};

struct Step {
  uint8_t kind;
  int32_t x, y;
  bool operator==(const Step&) const = default;
};

TEST_F(Path, LayerPathsMakeTimedRecords) {
  struct Case {
    const char* text;
    std::vector<Step> records;
    int32_t total;
  } const cases[] = {
      {"c 500 l",
       {{kPathPosition, 0, 0},
        {kPathPosition, 320, 120},
        {kPathDuration, 500, 0},
        {kPathPosition, 0, 120}},
       1500},
      {"M10 >3", {{kPathPosition, 0, 0}, {kPathMoveStep, 10, 0}, {kPathPosition, 30, 0}}, 1000},
      {">3", {{kPathPosition, 0, 0}, {kPathPosition, 75, 0}}, 1000},
      {"r d", {{kPathPosition, 0, 0}, {kPathPosition, 640, 0}, {kPathPosition, 640, 240}}, 2000},
      {"t100,300 P7,-8 F",
       {{kPathPosition, 0, 0},
        {kPathRandomDuration, 100, 201},
        {kPathPosition, 7, -8},
        {kPathFront, 0, 0}},
       100},
      {"!l+2", {{kPathPosition, 0, 0}, {kPathPosition, -1280, 50}}, 1000},
  };
  for (const Case& c : cases) {
    MotionPath path;
    ASSERT_EQ(path.Parse(c.text, nullptr, &layer), kPathParsed) << c.text;
    std::vector<Step> got;
    for (const PathRecord& r : path.Records()) got.push_back({r.kind, r.x, r.y});
    EXPECT_EQ(got, c.records) << c.text;
    EXPECT_EQ(path.TotalTime(), c.total) << c.text;
  }
}

TEST_F(Path, RefusalsLeaveThePathEmpty) {
  struct Case {
    const char* text;
    int code;
  } const cases[] = {
      {"t 5,3", kPathNumberMissing},     {"t5", kPathNumberMissing},
      {"c #", kPathBadCharacter},        {"", kPathEmpty},
      {"c \x83\x41", kPathBadCharacter}, {"!x", kPathBadCharacter},
      {nullptr, kPathNoTarget},
  };
  for (const Case& c : cases) {
    MotionPath path;
    EXPECT_EQ(path.Parse(c.text, nullptr, &layer), c.code) << (c.text ? c.text : "null");
    EXPECT_TRUE(path.Records().empty());
  }
  MotionPath path;
  EXPECT_EQ(path.Parse("c", nullptr, nullptr), kPathNoTarget);
  CompositionLayer bare;
  (void)bare.SetTarget(&area, false);
  EXPECT_EQ(path.Parse("c", nullptr, &bare), kPathLayerNoPicture);
  ASSERT_EQ(layer.CreateWorkSurface(false), 0);
  EXPECT_EQ(path.Parse("c", nullptr, &layer), kPathLayerTransformed);
}

TEST_F(Path, SpritePathsMeasureAgainstTheLayer) {
  struct Case {
    const char* text;
    int32_t x, y;
  } const cases[] = {
      {"l", -60, 50}, {"r", 260, 50},          {"!r", 640, 50},    {"!c", 100, 480},
      {"u<", 75, 0},  {"P10,20p5,5", 105, 55}, {"-2 d", 100, 480},
  };
  for (const Case& c : cases) {
    MotionPath path;
    ASSERT_EQ(path.Parse(c.text, &sprite, &layer), kPathParsed) << c.text;
    const PathRecord& end = path.Position(path.LastPosition());
    EXPECT_EQ(std::pair(end.x, end.y), std::pair(c.x, c.y)) << c.text;
  }
}

TEST_F(Path, SmoothPathsNeedThreePositions) {
  MotionPath path;
  ASSERT_EQ(path.Parse("S c", nullptr, &layer), kPathParsed);
  EXPECT_FALSE(path.HasSpline()) << "the start state and one position";
  ASSERT_EQ(path.Parse("S P100,0 P100,100", nullptr, &layer), kPathParsed);
  ASSERT_TRUE(path.HasSpline());
  int32_t x = 0, y = 0;
  path.EvaluateCubic(0, 1.0, &x, &y);
  EXPECT_EQ(std::pair(x, y), std::pair(100, 0));
  path.EvaluateCubic(0, 0.5, &x, &y);
  EXPECT_GT(x, 50) << "the curve overshoots the straight line towards the turn";
  path.EvaluateLinear(1, 0.5, &x, &y);
  EXPECT_EQ(std::pair(x, y), std::pair(100, 50));

  // Far points: a span wider than an int is still exact, a curve past the range stops at its end.
  ASSERT_EQ(path.Parse("S P2000000000,0 P-2000000000,0 P0,0", nullptr, &layer), kPathParsed);
  path.EvaluateLinear(1, 0.75, &x, &y);
  EXPECT_EQ(x, -1000000000);
  ASSERT_EQ(path.Parse("S P2147483647,0 P2147483647,0 P0,0", nullptr, &layer), kPathParsed);
  path.EvaluateCubic(1, 0.25, &x, &y);
  EXPECT_EQ(x, INT32_MAX);
}

TEST(SwingOffset, EverySwingReturnsAtTheEnd) {
  // Right 50 and back; left 50 and back; a shake of 50: left 25, back, right 25, back.
  struct Case {
    int32_t amplitude, shift;
    int32_t at[5];  // p = 0, 0.25, 0.5, 0.75, 1
  } const cases[] = {
      {50, 0, {0, 25, 50, 25, 0}},
      {50, -50, {0, -25, -50, -25, 0}},
      {50, -25, {0, -25, 0, 25, 0}},
  };
  for (const Case& c : cases) {
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(SwingOffset(c.amplitude, c.shift, i / 4.0), c.at[i]) << c.shift << " at " << i;
    }
  }
}

TEST_F(Path, EndStateReadsTheLastOfEachKind) {
  int32_t x = 0, y = 0, opacity = 0, order = 0, ox = 0, oy = 0;
  double zoom = 0, rotation = 0;
  ASSERT_EQ(ReadPathEndState("c 500 lO128 F Z2 R0.5 B z", &x, &y, nullptr, &layer, &opacity, &order,
                             &zoom, &rotation, &ox, &oy),
            kPathParsed);
  // The origin is half the picture.
  EXPECT_EQ(std::tuple(x, y, opacity, order, zoom, rotation, ox, oy),
            std::tuple(0, 120, 128, 2, 2.0, 0.5, 640, 360));
  ASSERT_EQ(ReadPathEndState("r", nullptr, nullptr, &sprite, &layer, &opacity, nullptr, nullptr,
                             nullptr, nullptr, nullptr),
            kPathParsed);
  EXPECT_EQ(opacity, 255) << "no O";
  EXPECT_EQ(ReadPathEndState("t3", &x, &y, &sprite, &layer, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
            kPathEndNumberMissing);
}

// The natural spline in second derivatives, solved as a dense system by Gaussian elimination.
double DenseSpline(const std::vector<double>& p, size_t i, double t) {
  const size_t n = p.size();
  std::vector<std::vector<double>> a(n, std::vector<double>(n + 1, 0.0));
  a[0][0] = a[n - 1][n - 1] = 1.0;
  for (size_t k = 1; k + 1 < n; ++k) {
    a[k][k - 1] = a[k][k + 1] = 1.0;
    a[k][k] = 4.0;
    a[k][n] = 6.0 * (p[k + 1] - 2 * p[k] + p[k - 1]);
  }
  for (size_t c = 0; c < n; ++c) {
    for (size_t r = c + 1; r < n; ++r) {
      const double f = a[r][c] / a[c][c];
      for (size_t k = c; k <= n; ++k) a[r][k] -= f * a[c][k];
    }
  }
  std::vector<double> s(n);
  for (size_t r = n; r-- > 0;) {
    double v = a[r][n];
    for (size_t k = r + 1; k < n; ++k) v -= a[r][k] * s[k];
    s[r] = v / a[r][r];
  }
  const double u = 1.0 - t;
  return u * p[i] + t * p[i + 1] + ((u * u * u - u) * s[i] + (t * t * t - t) * s[i + 1]) / 6.0;
}

TEST(NaturalSpline, MatchesADenseSolution) {
  const std::vector<double> points = {0, 120, -40, 300, 310, 5, 77};
  const std::vector<double> terms = NaturalSplineTerms(points);
  EXPECT_EQ(std::pair(terms.front(), terms.back()), std::pair(0.0, 0.0));
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    for (double t = 0; t <= 1.0; t += 0.125) {
      EXPECT_NEAR(EvaluateNaturalSpline(points, terms, i, t), DenseSpline(points, i, t), 1e-9)
          << "segment " << i << " at " << t;
    }
  }
}

}  // namespace
}  // namespace bw
