#include "common/sjis.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace bw::sjis {
namespace {

// Characters whose trail byte looks like ASCII the engine reacts to.
constexpr std::string_view kHyou = "\x95\x5C";   // 表, trail '\'
constexpr std::string_view kSo = "\x83\x5C";     // ソ, trail '\'
constexpr std::string_view kMinus = "\x81\x7C";  // −, trail '|'
constexpr std::string_view kA = "\x83\x41";      // ア, trail 'A'

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (auto p : parts) s += p;
  return s;
}

TEST(Sjis, TrailBytesAreNeverSeparatorsOrMarkup) {
  std::string path = Cat({"dir\\", kHyou, kSo, "\\file", kSo});
  EXPECT_EQ(Find(path, '\\'), 3u);
  EXPECT_EQ(Find(path, '\\', 4), 8u) << "the trails of 表 and ソ are skipped";
  EXPECT_EQ(FindLastSeparator(path), 8u) << "a name ending in ソ does not end in a separator";
  EXPECT_EQ(FindFirstOf(Cat({kMinus, "a|b"}), "|"), 3u);
  EXPECT_EQ(FindLast(Cat({"a/", kSo, "/x"}), '/'), 4u);
  EXPECT_EQ(CharAt(path, 4), 0x955C);
  EXPECT_FALSE(IsCharStart(path, 5));
  EXPECT_TRUE(IsCharStart(path, path.size()));
  EXPECT_FALSE(IsCharStart(path, path.size() + 1));
}

TEST(Sjis, LoneLeadByteAtTheEndIsOneCharacter) {
  const std::string s = "ab\x81";
  EXPECT_EQ(CharLength(s, 2), 1u);
  EXPECT_EQ(Next(s, 2), 3u);
  EXPECT_EQ(CharAt(s, 2), 0x81);
  EXPECT_EQ(Prev(s, 3), 2u);
  // A view cut just after a lead byte must not see the byte behind it.
  const std::string longer = Cat({"x", kHyou});
  std::string_view cut(longer.data(), 2);
  EXPECT_EQ(Find(cut, '\\'), npos);
  EXPECT_EQ(Next(cut, 1), 2u);
}

// The lead ranges' ends: a byte just outside one is a character of its own (0x80 and 0xA0-0xDF
// are single bytes, half-width katakana among them) and must not swallow the '\\' after it.
TEST(Sjis, LeadRangesEndWhereTheyShould) {
  const struct {
    uint8_t byte;
    bool lead;
  } kBytes[] = {{0x7F, false}, {0x80, false}, {0x81, true}, {0x9F, true}, {0xA0, false},
                {0xDF, false}, {0xE0, true},  {0xFC, true}, {0xFD, false}};
  for (const auto& b : kBytes) {
    EXPECT_EQ(IsLeadByte(b.byte), b.lead) << std::hex << int{b.byte};
    const std::string s = {static_cast<char>(b.byte), '\\'};
    EXPECT_EQ(Find(s, '\\'), b.lead ? npos : 1u) << std::hex << int{b.byte};
  }
}

// Prev reads only a few bytes behind pos; walking back with it must visit exactly the character
// starts the forward walk visits, whatever the bytes.
TEST(Sjis, BackwardStepsMeetTheForwardWalk) {
  std::mt19937 rng(932);
  const uint8_t alphabet[] = {'a',  '\\', 0x5C, 0x81, 0x82, 0x9F,
                              0xE0, 0xFC, 0x40, 0xA1, 0xDF, 0x7F};
  for (int round = 0; round < 2000; ++round) {
    std::string s(rng() % 12, '\0');
    for (char& c : s) c = static_cast<char>(alphabet[rng() % sizeof(alphabet)]);
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); i = Next(s, i)) starts.push_back(i);
    std::vector<size_t> back;
    for (size_t i = s.size(); i > 0;) back.insert(back.begin(), i = Prev(s, i));
    ASSERT_EQ(back, starts) << "round " << round;
  }
}

TEST(Sjis, FitLengthNeverSplitsACharacter) {
  const std::string s = Cat({"a", kHyou, "b", kSo});
  EXPECT_EQ(FitLength(s, 2), 1u) << "2 would cut 表 in half";
  EXPECT_EQ(FitLength(s, 5), 4u);
  EXPECT_EQ(Truncate("ab\x81", 3), "ab\x81") << "a lone lead at the end is whole";
}

TEST(Sjis, CaseInsensitiveCompareFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsNoCase("Script\\MAIN.sob", "SCRIPT\\main.SOB"));
  EXPECT_FALSE(EqualsNoCase(kA, "\x83\x61"))
      << "ア and ャ differ only by a trail that looks like a letter";
  EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
  EXPECT_LT(CompareNoCase("z", "\x81\x40"), 0) << "bytes compare unsigned";
  EXPECT_EQ(CompareNoCase(Cat({kHyou, "X"}), Cat({kHyou, "x"})), 0);

  EXPECT_TRUE(StartsWithNoCase("SCRIPT\\main.sob", "script\\"));
  EXPECT_FALSE(StartsWithNoCase(Cat({"x", kHyou}), "x\x95")) << "half of 表 is no prefix";
  EXPECT_FALSE(StartsWithNoCase(Cat({kA, "b"}), "\x83\x61"));
}

}  // namespace
}  // namespace bw::sjis
