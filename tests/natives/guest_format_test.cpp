#include "natives/guest_format.h"

#include <gtest/gtest.h>

#include <vector>

#include "native_rig.h"

namespace bw {
namespace {

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
