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

int Collect(const ENUMLOGFONTEXA* font, uint32_t, LPARAM param) {
  reinterpret_cast<std::vector<ENUMLOGFONTEXA>*>(param)->push_back(*font);
  return 1;
}

TEST(FontEnumTest, EveryCharacterSetListsTheJapaneseFacesEachWithItsAtTwin) {
  LOGFONTA filter;
  filter.lfCharSet = DEFAULT_CHARSET;
  std::vector<ENUMLOGFONTEXA> fonts;
  EnumFontFamiliesExA(filter, Collect, reinterpret_cast<LPARAM>(&fonts), 0);
  ASSERT_EQ(fonts.size(), 8u);
  const char* names[] = {"ＭＳ ゴシック", "ＭＳ Ｐゴシック", "ＭＳ 明朝", "ＭＳ Ｐ明朝"};
  std::set<std::string> families;
  for (size_t i = 0; i < fonts.size(); ++i) {
    const LOGFONTA& lf = fonts[i].elfLogFont;
    bool twin = i % 2 == 1;
    std::string name = std::string(twin ? "@" : "") + names[i / 2];
    EXPECT_EQ(Cp932ToUtf8(lf.lfFaceName).text, name) << "record " << i;
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
    // Each listed face creates a font of its own installed stand-in; a twin, the same face.
    std::unique_ptr<Font> font = CreateFontIndirectA(lf);
    ASSERT_NE(font, nullptr) << name;
    EXPECT_EQ(font->InstalledFamily(), font->Face().family) << name;
    EXPECT_EQ(font->Vertical(), twin) << name;
    families.insert(font->InstalledFamily());
  }
  EXPECT_EQ(families.size(), 4u) << "each listed face has its own stand-in";
}

TEST(FontEnumTest, NameFilterSelectsTheFaceOrItsTwinAndZeroStops) {
  LOGFONTA filter;
  filter.lfCharSet = SHIFTJIS_CHARSET;
  for (const char* utf8 : {"ＭＳ 明朝", "@ＭＳ 明朝"}) {
    std::string name = Utf8ToCp932(utf8).text;
    std::memset(filter.lfFaceName, 0, sizeof filter.lfFaceName);
    std::memcpy(filter.lfFaceName, name.data(), name.size());
    std::vector<ENUMLOGFONTEXA> fonts;
    EnumFontFamiliesExA(filter, Collect, reinterpret_cast<LPARAM>(&fonts), 0);
    ASSERT_EQ(fonts.size(), 1u) << utf8;
    EXPECT_EQ(std::string(fonts[0].elfLogFont.lfFaceName), name);
  }
  std::memset(filter.lfFaceName, 0, sizeof filter.lfFaceName);
  int calls = 0;
  auto stop = [](const ENUMLOGFONTEXA*, uint32_t, LPARAM param) {
    ++*reinterpret_cast<int*>(param);
    return 0;
  };
  EXPECT_EQ(EnumFontFamiliesExA(filter, stop, reinterpret_cast<LPARAM>(&calls), 0), 0);
  EXPECT_EQ(calls, 1) << "an answer of 0 stops before the twin";
}

}  // namespace
}  // namespace bw::host
