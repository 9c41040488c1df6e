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

TEST(VerticalFaceTest, AtFaceIsTheSameFaceAndStandsDoubleBytesUprightAt2700) {
  auto across = Make("ＭＳ 明朝", 0);
  auto down = Make("@ＭＳ 明朝", 2700);
  auto turned = Make("ＭＳ 明朝", 2700);
  ASSERT_TRUE(across && down && turned);
  EXPECT_TRUE(down->Vertical());
  EXPECT_EQ(down->InstalledFamily(), across->InstalledFamily());

  // 一 has no vertical form: upright it stays a wide stroke; a plain face turns it.
  EXPECT_TRUE(Wide(Box(*across, "一")));
  EXPECT_TRUE(Wide(Box(*down, "一"))) << "upright in the @ face";
  EXPECT_TRUE(Tall(Box(*turned, "一"))) << "turned with the line in the plain face";
  // ー takes its vertical form, a tall stroke, and stands upright.
  EXPECT_TRUE(Wide(Box(*across, "ー")));
  EXPECT_TRUE(Tall(Box(*down, "ー"))) << "the face's vertical form";
  EXPECT_TRUE(Tall(Box(*down, "-"))) << "single bytes turn with the line";
  GLYPHMETRICS step = Box(*down, "一");
  EXPECT_EQ(step.gmCellIncX, 0);
  EXPECT_LT(step.gmCellIncY, 0) << "the pen runs down the column";
}

TEST(VerticalFaceTest, UprightCharactersStayInsideTheirCells) {
  auto down = Make("@ＭＳ ゴシック", 2700);
  ASSERT_TRUE(down);
  TEXTMETRICA tm;
  down->GetTextMetricsA(&tm);
  std::string text = Utf8ToCp932("一一一").text;
  TextSize one;
  ASSERT_TRUE(down->GetTextExtentPoint32A(text.data(), 2, &one));
  TextMask mask;
  ASSERT_TRUE(down->DrawTextMask(text.data(), int(text.size()), &mask));
  EXPECT_EQ(mask.endX, 0);
  EXPECT_EQ(mask.endY, 3 * one.cx) << "the run ends three cells down";
  // The column lies left of the reference point, one cell height wide; each cell k holds
  // one wide stroke in rows [k * advance, (k + 1) * advance).
  for (int cell = 0; cell < 3; ++cell) {
    int minX = INT32_MAX, maxX = INT32_MIN, minY = INT32_MAX, maxY = INT32_MIN;
    for (int row = 0; row < mask.height; ++row) {
      for (int col = 0; col < mask.width; ++col) {
        if (mask.coverage[size_t(row) * mask.width + col] == 0) continue;
        int x = mask.left + col, y = mask.top + row;
        ASSERT_GE(x, -tm.tmHeight);
        ASSERT_LT(x, 0);
        ASSERT_GE(y, 0);
        ASSERT_LT(y, 3 * one.cx);
        if (y / one.cx != cell) continue;
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
      }
    }
    ASSERT_LE(minX, maxX) << "cell " << cell << " is empty";
    EXPECT_GT(maxX - minX, 2 * (maxY - minY)) << "cell " << cell << " is not upright";
    EXPECT_GT(minY, cell * one.cx) << "cell " << cell << " touches the cell above";
    int centre = (minX + maxX) / 2;
    EXPECT_NEAR(centre, -tm.tmHeight / 2, tm.tmHeight / 8) << "cell " << cell << " centred";
  }
}

}  // namespace
}  // namespace bw::host
