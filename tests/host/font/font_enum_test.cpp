#include "host/font/font_enum.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(FontEnumTest, EveryCharacterSetListsTheJapaneseFacesEachWithItsAtTwinOrTheOneNamed) {
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

  // A name filter selects the face or its twin; an answer of 0 stops.
  filter.lfCharSet = SHIFTJIS_CHARSET;
  for (const char* utf8 : {"ＭＳ 明朝", "@ＭＳ 明朝"}) {
    std::string name = Utf8ToCp932(utf8).text;
    std::memset(filter.lfFaceName, 0, sizeof filter.lfFaceName);
    std::memcpy(filter.lfFaceName, name.data(), name.size());
    fonts.clear();
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

std::unique_ptr<Font> Make(const std::string& utf8Face, int32_t escapement) {
  LOGFONTA lf{.lfHeight = -32,
              .lfEscapement = escapement,
              .lfOrientation = escapement,
              .lfWeight = FW_NORMAL,
              .lfCharSet = SHIFTJIS_CHARSET};
  std::string face = Utf8ToCp932(utf8Face).text;
  std::memcpy(lf.lfFaceName, face.data(), std::min(face.size(), sizeof lf.lfFaceName - 1));
  std::unique_ptr<Font> font = CreateFontIndirectA(lf);
  EXPECT_NE(font, nullptr) << utf8Face;
  return font;
}

GLYPHMETRICS Box(const Font& font, const char* utf8) {
  std::string s = Utf8ToCp932(utf8).text;
  uint32_t code = s.size() == 2 ? uint32_t(uint8_t(s[0])) << 8 | uint8_t(s[1]) : uint8_t(s[0]);
  const MAT2 identity;
  GLYPHMETRICS gm;
  EXPECT_NE(font.GetGlyphOutlineA(code, GGO_METRICS, &gm, 0, nullptr, &identity), GDI_ERROR);
  return gm;
}

bool Wide(const GLYPHMETRICS& gm) {
  return gm.gmBlackBoxX > 2 * gm.gmBlackBoxY;
}
bool Tall(const GLYPHMETRICS& gm) {
  return gm.gmBlackBoxY > 2 * gm.gmBlackBoxX;
}

// Where upright characters stand in their cells, 一 upright in the @ face and the pen running
// down the column, is the outline renderer's test on the installed faces.
TEST(VerticalFaceTest, AtFaceTakesVerticalFormsAndTurnsWhatHasNone) {
  auto across = Make("ＭＳ 明朝", 0);
  auto down = Make("@ＭＳ 明朝", 2700);
  auto turned = Make("ＭＳ 明朝", 2700);
  ASSERT_TRUE(across && down && turned);
  EXPECT_TRUE(down->Vertical());
  EXPECT_TRUE(Tall(Box(*turned, "一"))) << "turned with the line in the plain face";
  // ー takes its vertical form, a tall stroke, and stands upright.
  EXPECT_TRUE(Wide(Box(*across, "ー")));
  EXPECT_TRUE(Tall(Box(*down, "ー"))) << "the face's vertical form";
  EXPECT_TRUE(Tall(Box(*down, "-"))) << "single bytes turn with the line";
}

}  // namespace
}  // namespace bw::host
