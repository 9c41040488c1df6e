// The argument text readers, table-driven, the point lists, and the seed corpora of the fuzz
// targets that read such texts.
#include "effects/arg_cursor.h"

#include <gtest/gtest.h>

#include <string>

#include "support/fuzz_seeds.h"

namespace bw {
namespace {

struct IntCase {
  const char* text;
  int code;
  int32_t value;
  char next;  // where the cursor stands after reading
};

TEST(ArgCursor, ReadIntTakesHexBinaryAndDecimalModulo32Bits) {
  const IntCase cases[] = {
      {"0x1F", kArgRead, 31, 0},      {"0b101", kArgRead, 5, 0},   {" (-12),3", kArgRead, -12, ')'},
      {"x", kArgNotNumber, 7, 'x'},   {"0x", kArgRead, 0, 0},      {"-0xff", kArgRead, -255, 0},
      {"4294967297", kArgRead, 1, 0}, {"12ab", kArgRead, 12, 'a'}, {"0b102", kArgRead, 2, '2'},
      {"", kArgNotNumber, 7, 0},
  };
  for (const IntCase& c : cases) {
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

TEST(PathNumbers, SignedReadersNeedADigitAndSaturate) {
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
}

TEST(ParsePointTriples, ReadsTriplesAndRefusesIncompletePoints) {
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

// The seed corpora of the argument-text and path-text fuzz targets: texts as game scripts write
// them.
std::vector<uint8_t> Text(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(EffectArgsFuzzSeeds, MatchTheCommittedCorpus) {
  test::FuzzSeeds seeds;
  seeds["points"] = Text("(0,0,1.0)(320,240,1.5) (0x40,-8)");
  seeds["haze"] = Text("(1,0,10)");
  seeds["path_layer"] = Text("c 500 l 2000 r A2.0 S i !u");
  seeds["path_sprite"] = Text("O0 300 O255p0,-20 t100,400 M10 >3]2 L20 $3 %1 F z o5,5");
  seeds["path_numbers"] = Text("P-100,+50 Z0.5 R0.25 -2 +3 <1 >1 [2 ^1 _1 B N");
  seeds["path_random_backwards"] = Text("t400,100 c");
  seeds["decimals"] = Text("-2.5 2. 0x1F 0b101 -12 x 0x");
  seeds["kana"] = Text("\x83\x41(1,2)\x83(3,4)");
  test::CheckOrWriteFuzzSeeds("effect_args", seeds);
}

TEST(PathTextFuzzSeeds, MatchTheCommittedCorpus) {
  test::FuzzSeeds seeds;
  seeds["move"] = Text("(100,20,255)(300,-40,128)(0x40,0b101,0)");
  seeds["one_point"] = Text("(10,20,255)");
  seeds["zoom"] = Text("(128,1.5,255)(-256,0.25,64)");
  seeds["short_groups"] = Text("(5)(6,7)()(,,)");
  seeds["trail_byte"] = Text("(1,2,3)\x83\x28(4,5,6)\x83");
  seeds["long_word"] = Text("(1,123456789012345678901234567890123.5,9)(-2147483648,2147483647,-1)");
  test::CheckOrWriteFuzzSeeds("path_text", seeds);
}

}  // namespace
}  // namespace bw
