#include "host/font/font_enum.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "host/cp932.h"
#include "host/font/font.h"

namespace bw::host {
namespace {

struct Seen {
  std::vector<ENUMLOGFONTEXA> fonts;
  int stopAfter = -1;
};

int Collect(const ENUMLOGFONTEXA* font, uint32_t, LPARAM param) {
  auto* seen = reinterpret_cast<Seen*>(param);
  seen->fonts.push_back(*font);
  return static_cast<int>(seen->fonts.size()) == seen->stopAfter ? 0 : 1;
}

Seen Enumerate(uint8_t charSet, const char* utf8Face = "", int stopAfter = -1) {
  LOGFONTA filter;
  filter.lfCharSet = charSet;
  std::string face = Utf8ToCp932(utf8Face).text;
  std::memcpy(filter.lfFaceName, face.data(), face.size());
  Seen seen;
  seen.stopAfter = stopAfter;
  EnumFontFamiliesExA(filter, Collect, reinterpret_cast<LPARAM>(&seen), 0);
  return seen;
}

std::string Name(const ENUMLOGFONTEXA& font) {
  return Cp932ToUtf8(font.elfLogFont.lfFaceName).text;
}

TEST(FontEnumTest, EveryCharacterSetListsTheJapaneseFaces) {
  Seen seen = Enumerate(DEFAULT_CHARSET);
  ASSERT_EQ(seen.fonts.size(), 4u);
  const char* names[] = {"ＭＳ ゴシック", "ＭＳ Ｐゴシック", "ＭＳ 明朝", "ＭＳ Ｐ明朝"};
  const uint8_t pitch[] = {FIXED_PITCH, VARIABLE_PITCH, FIXED_PITCH, VARIABLE_PITCH};
  std::set<std::string> families;
  for (size_t i = 0; i < seen.fonts.size(); ++i) {
    const LOGFONTA& lf = seen.fonts[i].elfLogFont;
    EXPECT_EQ(Name(seen.fonts[i]), names[i]);
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(lf.lfPitchAndFamily & 0x03, pitch[i]) << names[i];
    // Each listed face creates a font of its own installed stand-in.
    std::unique_ptr<Font> font = CreateFontIndirectA(lf);
    ASSERT_NE(font, nullptr) << names[i];
    EXPECT_EQ(font->InstalledFamily(), font->Face().family) << names[i];
    families.insert(font->InstalledFamily());
  }
  EXPECT_EQ(families.size(), 4u) << "each listed face has its own stand-in";
}

TEST(FontEnumTest, FilterSelectsCharacterSetAndFace) {
  EXPECT_EQ(Enumerate(SHIFTJIS_CHARSET).fonts.size(), 4u);
  EXPECT_TRUE(Enumerate(ANSI_CHARSET).fonts.empty());
  Seen one = Enumerate(DEFAULT_CHARSET, "ＭＳ Ｐ明朝");
  ASSERT_EQ(one.fonts.size(), 1u);
  EXPECT_EQ(Name(one.fonts[0]), "ＭＳ Ｐ明朝");
  EXPECT_TRUE(Enumerate(DEFAULT_CHARSET, "IPAGothic").fonts.empty())
      << "the stand-ins' own names are not listed";
  EXPECT_EQ(Enumerate(DEFAULT_CHARSET, "", 2).fonts.size(), 2u) << "a 0 answer stops";
}

}  // namespace
}  // namespace bw::host
