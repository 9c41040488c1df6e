#include "host/font/font_enum.h"

#include <gtest/gtest.h>

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

TEST(FontEnumTest, EveryCharacterSetListsTheJapaneseFaces) {
  LOGFONTA filter;
  filter.lfCharSet = DEFAULT_CHARSET;
  std::vector<ENUMLOGFONTEXA> fonts;
  EnumFontFamiliesExA(filter, Collect, reinterpret_cast<LPARAM>(&fonts), 0);
  ASSERT_EQ(fonts.size(), 4u);
  const char* names[] = {"ＭＳ ゴシック", "ＭＳ Ｐゴシック", "ＭＳ 明朝", "ＭＳ Ｐ明朝"};
  const uint8_t pitch[] = {FIXED_PITCH, VARIABLE_PITCH, FIXED_PITCH, VARIABLE_PITCH};
  std::set<std::string> families;
  for (size_t i = 0; i < fonts.size(); ++i) {
    const LOGFONTA& lf = fonts[i].elfLogFont;
    EXPECT_EQ(Cp932ToUtf8(lf.lfFaceName).text, names[i]);
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

}  // namespace
}  // namespace bw::host
