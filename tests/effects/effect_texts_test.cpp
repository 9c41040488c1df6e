// The argument and path texts, their readers and the fuzz targets' seeds; the natural spline
// against a dense reference.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "effects/arg_cursor.h"
#include "effects/motion_path.h"
#include "effects/natural_spline.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "support/fuzz_seeds.h"

namespace bw {
namespace {

TEST(ArgCursor, ReadIntTakesHexBinaryAndDecimalModulo32Bits) {
  struct Case {
    const char* text;
    int code;
    int32_t value;
    char next;  // where the cursor stands after reading
  } const cases[] = {
      {"0x1F", kArgRead, 31, 0},      {"0b101", kArgRead, 5, 0},   {" (-12),3", kArgRead, -12, ')'},
      {"x", kArgNotNumber, 7, 'x'},   {"0x", kArgRead, 0, 0},      {"-0xff", kArgRead, -255, 0},
      {"4294967297", kArgRead, 1, 0}, {"12ab", kArgRead, 12, 'a'}, {"0b102", kArgRead, 2, '2'},
      {"", kArgNotNumber, 7, 0},
  };
  for (const Case& c : cases) {
    ArgCursor cursor(c.text);
    int32_t value = 7;
    EXPECT_EQ(cursor.ReadInt(&value), c.code) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(*cursor.Position(), c.next) << c.text;
  }
  int32_t value = 7;
  EXPECT_EQ(ArgCursor().ReadInt(&value), kArgNoText);
}

TEST(ArgCursor, ReadDecimalRefusesNumberTextsPastItsLimit) {
  struct Case {
    const char* text;
    int code;
    double value;
  } const cases[] = {
      {"-2.5", kArgRead, -2.5}, {"2.", kArgRead, 2.0},  {",(7.25)", kArgRead, 7.25},
      {".5", kArgNotNumber, 9}, {"1e5", kArgRead, 1.0}, {"abc", kArgNotNumber, 9},
  };
  for (const Case& c : cases) {
    ArgCursor cursor(c.text);
    double value = 9;
    EXPECT_EQ(cursor.ReadDecimal(&value), c.code) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(DecimalOr(c.text, 9), c.value) << c.text << " through DecimalOr, fallback 9";
  }
  EXPECT_EQ(DecimalOr(nullptr, 9), 9) << "no text";
  const std::string longest = "1" + std::string(30, '0');
  const std::string tooLong = longest + "0";
  double value = 9;
  EXPECT_EQ(ArgCursor(longest.c_str()).ReadDecimal(&value), kArgRead);
  EXPECT_EQ(value, 1e30);
  EXPECT_EQ(ArgCursor(tooLong.c_str()).ReadDecimal(&value), kArgNotNumber) << "32 characters";
}

TEST(ArgCursor, WordsKeepTwoByteCharactersWhole) {
  char word[8];
  EXPECT_EQ(ArgCursor("abcd").ReadWord(word, 4), kArgNoRoom);
  EXPECT_EQ(ArgCursor("abc").ReadWord(word, 4), kArgRead);
  EXPECT_STREQ(word, "abc");
  EXPECT_EQ(ArgCursor("abc").ReadWord(word, 0), kArgNoText);
  // 0x83 0x28: a kana whose trail byte is '(' is one character, not a separator.
  ArgCursor kana("\x83\x28x y");
  EXPECT_EQ(kana.ReadWord(word, sizeof word), kArgRead);
  EXPECT_STREQ(word, "\x83\x28x");
  EXPECT_EQ(kana.SkipBlanks(), 'y');
  ArgCursor trailing("a\x83");
  EXPECT_EQ(trailing.SkipWord(), 0) << "a lead byte at the end stops at the NUL";
  ArgCursor separators(" ,(\t)z");
  EXPECT_EQ(separators.SkipSeparators(), 'z');
}

TEST(PathNumbers, SignedReadersSaturateAndPointTriplesNeedBothCoordinates) {
  const char* text = "+42,";
  int32_t value = 0;
  ASSERT_TRUE(ParseSignedInt(&text, &value));
  EXPECT_EQ(std::tuple(value, *text), std::tuple(42, ','));
  const char* noDigit = "-x";
  EXPECT_FALSE(ParseSignedInt(&noDigit, &value));
  EXPECT_EQ(*noDigit, '-') << "the cursor stays";
  const char* huge = "99999999999";
  ASSERT_TRUE(ParseSignedInt(&huge, &value));
  EXPECT_EQ(value, INT32_MAX);

  std::vector<double> points;
  EXPECT_EQ(ParsePointTriples("(1,2,0.5) (3, 4)(0x10,-5,2)", points), 3);
  EXPECT_EQ(points, (std::vector<double>{1, 2, 0.5, 3, 4, 1.0, 16, -5, 2, 0, 0, 0}));
  EXPECT_EQ(ParsePointTriples(nullptr, points), kPointsNoText);
  EXPECT_EQ(ParsePointTriples("", points), kPointsMalformed);
  EXPECT_EQ(ParsePointTriples("(1)(2,3)", points), kPointsMalformed) << "no y";
  EXPECT_EQ(ParsePointTriples("(1,2)(,3)", points), kPointsMalformed) << "no x";
  EXPECT_EQ(ParsePointTriples("(1,2)\x83(", points), kPointsMalformed)
      << "a kana's trail byte is no point";
}

// The seed corpora of the fuzz targets that read texts as game scripts write them: argument
// texts, path texts and the parts' files.
TEST(TextFuzzSeeds, MatchTheCommittedCorpora) {
  const std::map<std::string, std::map<std::string, std::string>> corpora = {
      {"effect_args",
       {{"points", "(0,0,1.0)(320,240,1.5) (0x40,-8)"},
        {"haze", "(1,0,10)"},
        {"path_layer", "c 500 l 2000 r A2.0 S i !u"},
        {"path_sprite", "O0 300 O255p0,-20 t100,400 M10 >3]2 L20 $3 %1 F z o5,5"},
        {"path_numbers", "P-100,+50 Z0.5 R0.25 -2 +3 <1 >1 [2 ^1 _1 B N"},
        {"path_random_backwards", "t400,100 c"},
        {"decimals", "-2.5 2. 0x1F 0b101 -12 x 0x"},
        {"kana", "\x83\x41(1,2)\x83(3,4)"}}},
      {"path_text",
       {{"move", "(100,20,255)(300,-40,128)(0x40,0b101,0)"},
        {"one_point", "(10,20,255)"},
        {"zoom", "(128,1.5,255)(-256,0.25,64)"},
        {"short_groups", "(5)(6,7)()(,,)"},
        {"trail_byte", "(1,2,3)\x83\x28(4,5,6)\x83"},
        {"long_word", "(1,123456789012345678901234567890123.5,9)(-2147483648,2147483647,-1)"}}},
      {"sp_parts",
       {{"static", "// arm\r\n*ARM.WGX\r\n  100,50\r\n"},
        {"path",
         "*ARM.WGX\n0,0,255,1.0,0\nt 200\nl 1,2,3,4\na 2.5\nf\ns\nc 4,4\n"
         "100,,128,2.0,0.25\nb\ns 0\n,,,0\n"},
        {"loop", "$SKY.WGX, 1, 2, 20, 200, 1, 400\nignored\n#n\n5,5\n*ARM.WGX\n,3\n"},
        {"hidden", "#s\n*ARM.WGX\n0,0\n#e\n*ARM.WGX\n#n\n1,1\n"},
        {"faults", "*ARM.WGX\nt\nf\n0,0\nt 0\n99999999999999999999,-1e400\n"}}},
  };
  for (const auto& [target, texts] : corpora) {
    test::FuzzSeeds seeds;
    for (const auto& [name, text] : texts) seeds[name] = {text.begin(), text.end()};
    test::CheckOrWriteFuzzSeeds(target, seeds);
  }
}

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
