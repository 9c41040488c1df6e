// Label: optimised
#include "natives/system_natives.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

#include "native_rig.h"
#include "natives/guest_format.h"
#include "natives/native_names.h"

namespace bw {
namespace {

uint32_t Bits(float f) {
  return std::bit_cast<uint32_t>(f);
}

TEST(StringNatives, CopyJoinMeasureAndCompare) {
  NativeRig rig;
  uint32_t dest = rig.Block(64);
  uint32_t abc = rig.Text("abcdef");
  EXPECT_EQ(rig.Answer(Native::kStrCopy, {dest, abc}), int32_t(dest));
  rig.Call(Native::kStrCat, {dest, rig.Text("XY")});
  EXPECT_EQ(rig.Read(dest), "abcdefXY");
  EXPECT_EQ(rig.Answer(Native::kStrCopy, {0, abc}), 0)
      << "a destination of 0 gets the failure value";

  EXPECT_EQ(rig.Answer(Native::kStrCopyPart, {dest, 2, abc, 3}), 0);
  EXPECT_EQ(rig.Read(dest), "cde");
  rig.Call(Native::kStrCopyPart, {dest, 40, abc, 5});
  EXPECT_EQ(rig.Read(dest), "") << "a start past the terminator copies nothing";
  rig.Call(Native::kStrCopy, {dest, abc});
  EXPECT_EQ(rig.Answer(Native::kStrCopyPart, {dest, 0, abc, 0}), 0);
  EXPECT_EQ(rig.Read(dest), "") << "max 0 writes only the terminator";
  EXPECT_EQ(rig.Read(dest + 1), "bcdef") << "and nothing after it";
  rig.Call(Native::kStrCopyUntil, {dest, 1, abc, 'e'});
  EXPECT_EQ(rig.Read(dest), "bcd");

  EXPECT_EQ(rig.Answer(Native::kStrLen, {0}), 0);
  uint32_t upper = rig.Text("ABCDEF"), high = rig.Text("\xE0\x41");
  EXPECT_EQ(rig.Answer(Native::kStrCmp, {abc, upper}), 1);
  EXPECT_EQ(rig.Answer(Native::kStrCmp, {high, abc}), 1) << "bytes compare unsigned";
  EXPECT_EQ(rig.Answer(Native::kStrCmpI, {abc, rig.Text("ABD")}), -1);
  EXPECT_EQ(rig.Answer(Native::kStrMatchCount, {abc, rig.Text("xcdq"), 2, 1, 4}), 2);
}

// Case changes touch single-byte letters only: a trail byte that looks like a letter stays.
TEST(StringNatives, CaseFoldingSkipsTrailBytes) {
  NativeRig rig;
  uint32_t t = rig.Text("ab\x83\x61z");
  rig.Call(Native::kStrUpper, {t});
  EXPECT_EQ(rig.Read(t), "AB\x83\x61Z");
  rig.Call(Native::kStrLower, {t});
  EXPECT_EQ(rig.Read(t), "ab\x83\x61z");
}

TEST(StringNatives, DecimalTextsRefuseWhatIsNotAFiniteNumber) {
  NativeRig rig;
  EXPECT_EQ(rig.Answer(Native::kStrToInt, {rig.Text("  -42xyz")}), -42);
  EXPECT_EQ(rig.Answer(Native::kStrToInt, {rig.Text("99999999999")}), INT32_MAX);
  EXPECT_EQ(rig.Answer(Native::kStrToInt, {0}), 0);
  EXPECT_EQ(uint32_t(rig.Answer(Native::kStrToFloat, {rig.Text("-.25")})), Bits(-0.25f));
  for (const char* bad : {"inf", "nan", "0x10", "1e999"})
    EXPECT_EQ(rig.Answer(Native::kStrToFloat, {rig.Text(bad)}), 0) << bad;
}

TEST(StringNatives, FormatChecksTheDestinationFirst) {
  NativeRig rig;
  uint32_t dest = rig.Block(1024);
  EXPECT_EQ(rig.Answer(Native::kStrFormat, {dest, rig.Text("%s=%04d"), rig.Text("n"), 12}), 0);
  EXPECT_EQ(rig.Read(dest), "n=0012");
  EXPECT_TRUE(rig.Call(Native::kStrFormat, {PastTheArena(rig.Memory()), rig.Text("x")}).faulted);
}

TEST(PathNatives, PartsOfAPathInPlaceAndOut) {
  NativeRig rig;
  uint32_t path = rig.Text("C:\\GAME\\\x95\x5C.DAT");  // the kanji's trail byte is 0x5C
  uint32_t out = rig.Block(64);
  EXPECT_EQ(rig.Answer(Native::kGetPathLeafName, {path, out}), 0);
  EXPECT_EQ(rig.Read(out), "\x95\x5C.DAT");
  EXPECT_EQ(rig.Answer(Native::kSplitOffExtension, {path, out}), 0);
  EXPECT_EQ(rig.Read(path), "C:\\GAME\\\x95\x5C");
  EXPECT_EQ(rig.Answer(Native::kCutLastPathPart, {path}), 0);
  EXPECT_EQ(rig.Read(path), "C:\\GAME\\");
  EXPECT_EQ(rig.Answer(Native::kCutLastPathPart, {rig.Text("NAME")}), 1);

  uint32_t buffer = uint32_t(rig.Answer(Native::kGetTextBuffer, {}));
  EXPECT_EQ(rig.Memory().BlockSize(buffer), 1024u);
  EXPECT_EQ(uint32_t(rig.Answer(Native::kGetTextBuffer, {})), buffer)
      << "one buffer for the script";
}

// Names of 0 reach the engine as no name, which answers its own code; a missing file is refused.
TEST(VariableNatives, PassNamesAndFiltersToTheEngine) {
  NativeRig rig;
  EXPECT_EQ(rig.Answer(Native::kWriteVariableFile, {0, 0, 0, 0}), kVariableFileNoFile);
  EXPECT_EQ(rig.Answer(Native::kReadSystemState, {}), kStateNoName);
  for (uint32_t n : {Native::kRestoreVariablesFromSnapshotA, Native::kClearVariables,
                     Native::kSaveVariablesToSnapshotB, Native::kRestoreVariablesFromSnapshotB})
    EXPECT_EQ(rig.Answer(n, {0x1FF, 0x2FF}), 0) << n;
  EXPECT_TRUE(rig.Call(Native::kReadVariableFile, {PastTheArena(rig.Memory())}).faulted);
}

// 77 frees only what 75 and 76 gave; the engine's own memory stays.
TEST(MemoryNatives, BlocksFillAndCopy) {
  NativeRig rig;
  EXPECT_EQ(rig.Answer(Native::kAllocBlock, {uint32_t(-5)}), 0);
  uint32_t b = uint32_t(rig.Answer(Native::kAllocZeroBlock, {16}));
  ASSERT_NE(b, 0u);
  EXPECT_EQ(rig.Word(b + 12), 0u);
  EXPECT_EQ(rig.Answer(Native::kFillWords, {b, 0xA5A5A5A5, 4}), 1);
  EXPECT_EQ(rig.Word(b + 12), 0xA5A5A5A5u);
  rig.Call(Native::kFillBytes, {b, 0x11, 2});
  EXPECT_EQ(rig.Word(b), 0xA5A51111u);
  EXPECT_EQ(rig.Answer(Native::kCopyBytes, {b + 4, b, 8}), 1) << "overlapping ranges";
  EXPECT_EQ(rig.Word(b + 4), 0xA5A51111u);
  EXPECT_TRUE(rig.Call(Native::kFillWords, {b, 1, 0x40000001}).faulted) << "a count past the arena";
  EXPECT_TRUE(rig.Call(Native::kCopyBytes, {b, b, 0x7FFFFFFF}).faulted);

  uint32_t code = rig.host->GetCodeBase();
  uint32_t before = rig.Memory().BlockSize(code);
  EXPECT_EQ(rig.Answer(Native::kFreeBlock, {code}), 0);
  EXPECT_EQ(rig.Memory().BlockSize(code), before) << "a code address is not the script's block";
  EXPECT_EQ(rig.Answer(Native::kFreeBlock, {b}), 0);
  EXPECT_EQ(rig.Memory().BlockSize(b), 0u);
  EXPECT_EQ(rig.Answer(Native::kFreeBlock, {b}), 0) << "a second free changes nothing";
}

// The quarter points of the 512-step circle are exact; angles wrap at 512.
TEST(NumberNatives, TablesAndCirclesAtTheQuarterPoints) {
  NativeRig rig;
  for (auto [angle, sine, cosine] : {std::tuple{0, 65536, 0},
                                     {128, 0, 65536},
                                     {256, -65536, 0},
                                     {384, 0, -65536},
                                     {512, 65536, 0},
                                     {-128, 0, -65536}}) {
    EXPECT_EQ(rig.Answer(Native::kSine, {uint32_t(angle)}), sine) << angle;
    EXPECT_EQ(rig.Answer(Native::kCosine, {uint32_t(angle)}), cosine) << angle;
  }
  uint32_t out = rig.Block(8);
  for (auto [angle, x, y] : {std::tuple{0, 100010, 20}, {128, 10, -99980}, {-256, -99990, 20}}) {
    ASSERT_EQ(rig.Answer(Native::kPointOnCircle, {uint32_t(angle), 100000, 10, 20, out, out + 4}),
              0);
    EXPECT_EQ(std::pair(int32_t(rig.Word(out)), int32_t(rig.Word(out + 4))), std::pair(x, y))
        << angle;
  }
  EXPECT_EQ(rig.Call(Native::kPointOnCircle, {0, 1, 0, 0, 0, 0}).faulted, false)
      << "outs of 0 are skipped";
}

TEST(NumberNatives, ExtremesDivisionAndTheTwister) {
  NativeRig rig;
  EXPECT_TRUE(rig.Call(Native::kIndexOfMax, {0x7FFFFFFF, 1, 2}).faulted);
  EXPECT_EQ(rig.Answer(Native::kIndexOfMax, {3, 3, 7, 7}), 1) << "the first of two largest";
  EXPECT_EQ(rig.Answer(Native::kIndexOfMin, {3, 7, 3, 3}), 1) << "the first of two smallest";

  EXPECT_EQ(uint32_t(rig.Answer(Native::kFloatDiv, {Bits(1.0f), Bits(4.0f)})), Bits(0.25f));
  EXPECT_EQ(rig.Answer(Native::kSeedTwister, {5489}), 1);
  EXPECT_EQ(uint32_t(rig.Answer(Native::kTwisterRandom, {1u << 31})), 3499211612u % (1u << 31))
      << "MT19937's first word";
}

class GuestFormat : public testing::Test {
 protected:
  NativeRig rig;
  // Formats with the given value words; a fault fails the test.
  std::string Format(const std::string& format, std::vector<uint32_t> words,
                     size_t capacity = kGuestFormatCapacity) {
    uint32_t values = rig.Block(static_cast<uint32_t>(words.size() * 4 + 4));
    for (size_t i = 0; i < words.size(); ++i)
      rig.Memory().Write32(values + uint32_t(i * 4), words[i]);
    std::string out;
    EXPECT_TRUE(FormatGuestText(rig.Memory(), format, values, capacity, out)) << format;
    return out;
  }
};

TEST_F(GuestFormat, ConversionsFlagsWidthAndPrecision) {
  uint32_t hello = rig.Text("hello");
  struct Case {
    const char* format;
    std::vector<uint32_t> words;
    const char* expected;
  } cases[] = {
      {"%d|%i|%u", {uint32_t(-5), 7, uint32_t(-1)}, "-5|7|4294967295"},
      {"%x %X %#x %#X %#x", {255, 255, 255, 255, 0}, "ff FF 0xff 0XFF 0"},
      {"[%5d][%-5d][%05d][%-05d]", {42, 42, uint32_t(-42), 42}, "[   42][42   ][-0042][42   ]"},
      {"[%.3d][%8.3d][%08.3d][%.0d]", {7, uint32_t(-7), 7, 0}, "[007][    -007][     007][]"},
      {"%hd %hu %hx %ld", {0x18000, 0x18000, 0x12345, 9}, "-32768 32768 2345 9"},
      {"%c%c|%3c|%-3c|", {'a', 0x142, 'b', 'c'}, "aB|  b|c  |"},
      {"%s|%.3s|%7s|%-7s|", {hello, hello, hello, hello}, "hello|hel|  hello|hello  |"},
      {"%s", {0}, "(null)"},
      {"100%% %q %*d", {5}, "100% q *d"},
  };
  for (const Case& c : cases) EXPECT_EQ(Format(c.format, c.words), c.expected) << c.format;
}

// Output stops at capacity - 1 bytes and never splits a two-byte character.
TEST_F(GuestFormat, CutsAtTheLimitOnACharacterBoundary) {
  EXPECT_EQ(Format("%2000d", {1}).size(), 1023u);
  EXPECT_EQ(Format("%600d", {1}, 512).size(), 511u);
  std::string kanji;
  for (int i = 0; i < 600; ++i) kanji += "\x88\x9F";  // two-byte characters
  uint32_t text = rig.Text(kanji);
  EXPECT_EQ(Format("%s", {text}).size(), 1022u) << "the 1,023rd byte would split a character";
  std::string cut = Format("%.3s", {text});
  EXPECT_EQ(cut, "\x88\x9F") << "precision cuts on a character boundary too";
}

TEST_F(GuestFormat, BadValueAddressesFault) {
  std::string out;
  GuestMemory& m = rig.Memory();
  uint32_t values = rig.Block(4);
  m.Write32(values, PastTheArena(m));
  EXPECT_FALSE(FormatGuestText(m, "%s", values, kGuestFormatCapacity, out));
  EXPECT_TRUE(m.TakeFault());
  EXPECT_FALSE(FormatGuestText(m, "%d %d", m.Top() - 4, kGuestFormatCapacity, out));
  EXPECT_TRUE(m.TakeFault());
}

}  // namespace
}  // namespace bw
