// Label: threads
#include "host/font/font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host/cp932.h"
#include "host/font/font_enum.h"

namespace bw::host {
namespace {

constexpr uint32_t kLetterA = 'A';
constexpr uint32_t kHiraganaA = 0x82A0;  // あ

LOGFONTA Describe(const char* utf8Face, int32_t height) {
  LOGFONTA lf{.lfHeight = height, .lfWeight = FW_NORMAL, .lfCharSet = SHIFTJIS_CHARSET};
  std::string face = Utf8ToCp932(utf8Face).text;
  std::memcpy(lf.lfFaceName, face.data(), std::min(face.size(), sizeof lf.lfFaceName - 1));
  return lf;
}

std::unique_ptr<Font> Make(const LOGFONTA& lf) {
  std::unique_ptr<Font> font = CreateFontIndirectA(lf);
  EXPECT_NE(font, nullptr) << "font not created";
  return font;
}

TEXTMETRICA Metrics(const LOGFONTA& lf) {
  TEXTMETRICA tm;
  Make(lf)->GetTextMetricsA(&tm);
  return tm;
}

struct Glyph {
  uint32_t answer = GDI_ERROR;
  GLYPHMETRICS metrics;
  std::vector<uint8_t> bits;
};

Glyph Render(const Font& font, uint32_t code, uint32_t format, const MAT2& matrix = MAT2{}) {
  Glyph glyph;
  uint32_t size = font.GetGlyphOutlineA(code, format, &glyph.metrics, 0, nullptr, &matrix);
  if (size == GDI_ERROR) return glyph;
  glyph.bits.assign(size, 0xCD);
  glyph.answer =
      font.GetGlyphOutlineA(code, format, &glyph.metrics, size, glyph.bits.data(), &matrix);
  return glyph;
}

int32_t Advance(const Font& font, const std::string& cp932) {
  TextSize size;
  EXPECT_TRUE(font.GetTextExtentPoint32A(cp932.data(), static_cast<int>(cp932.size()), &size));
  return size.cx;
}

// A negative height, the character's, is what every text renderer asks for and measures; a
// positive one is the cell's.
TEST(FontMetricsTest, HeightSignChoosesCharacterOrCellHeightAndRangesAreChecked) {
  for (int32_t h : {12, 33})
    EXPECT_EQ(Metrics(Describe("ＭＳ ゴシック", h)).tmHeight, h) << "cell height " << h;
  TEXTMETRICA unset = Metrics(Describe("ＭＳ ゴシック", 0));
  TEXTMETRICA byDefault = Metrics(Describe("ＭＳ ゴシック", -Font::kDefaultCharHeight));
  EXPECT_EQ(std::memcmp(&unset, &byDefault, sizeof unset), 0) << "height 0 is the default";

  EXPECT_EQ(CreateFontIndirectA(Describe("ＭＳ ゴシック", -(Font::kMaxPixelSize + 1))), nullptr);
  EXPECT_EQ(CreateFontIndirectA(Describe("ＭＳ ゴシック", INT32_MIN)), nullptr);
  LOGFONTA wide = Describe("ＭＳ ゴシック", -16);
  wide.lfWidth = INT32_MIN;
  EXPECT_EQ(CreateFontIndirectA(wide), nullptr);
  EXPECT_NE(CreateFontIndirectA(Describe("ＭＳ ゴシック", 1)), nullptr) << "tiny sizes still draw";
}

TEST(GlyphMetricsTest, FailuresAnswerTheErrorValueAndWriteNothing) {
  std::unique_ptr<Font> font = Make(Describe("ＭＳ ゴシック", -20));
  const MAT2 identity;
  GLYPHMETRICS gm;
  for (uint32_t code : {0x81u, 0x817Fu, 0x10041u}) {
    EXPECT_EQ(font->GetGlyphOutlineA(code, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &identity), GDI_ERROR)
        << "code " << std::hex << code << " is no CP932 character";
  }
  EXPECT_EQ(font->GetGlyphOutlineA(kLetterA, 2, &gm, 0, nullptr, &identity), GDI_ERROR)
      << "outline formats are not offered";
  EXPECT_EQ(font->GetGlyphOutlineA(kLetterA, GGO_BITMAP, nullptr, 0, nullptr, &identity),
            GDI_ERROR);
  EXPECT_EQ(font->GetGlyphOutlineA(kLetterA, GGO_BITMAP, &gm, 0, nullptr, nullptr), GDI_ERROR);
  uint32_t size = font->GetGlyphOutlineA(kHiraganaA, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &identity);
  std::vector<uint8_t> shortBuffer(size - 1, 0xEE);
  EXPECT_EQ(font->GetGlyphOutlineA(kHiraganaA, GGO_GRAY8_BITMAP, &gm, size - 1, shortBuffer.data(),
                                   &identity),
            GDI_ERROR);
  EXPECT_EQ(shortBuffer, std::vector<uint8_t>(size - 1, 0xEE)) << "a refused call writes nothing";
  MAT2 huge;
  huge.eM11 = huge.eM22 = FixedFromInt(32767);
  EXPECT_EQ(font->GetGlyphOutlineA(kHiraganaA, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &huge), GDI_ERROR)
      << "a glyph blown up past any screen is refused, not allocated";
}

TEST(GlyphBitmapTest, FormatsHaveTheirLevelsAndPaddedRows) {
  std::unique_ptr<Font> font = Make(Describe("ＭＳ 明朝", -37));
  for (auto [format, top] : {std::pair<uint32_t, int>{GGO_GRAY2_BITMAP, 4},
                             {GGO_GRAY4_BITMAP, 16},
                             {GGO_GRAY8_BITMAP, 64}}) {
    Glyph g = Render(*font, kHiraganaA, format);
    uint32_t pitch = (g.metrics.gmBlackBoxX + 3) / 4 * 4;
    ASSERT_EQ(g.answer, pitch * g.metrics.gmBlackBoxY) << "format " << format;
    ASSERT_EQ(g.bits.size(), g.answer);
    EXPECT_EQ(*std::max_element(g.bits.begin(), g.bits.end()), top) << "format " << format;
    auto grey = [level = top](uint8_t v) { return v > 0 && v < level; };
    EXPECT_TRUE(std::any_of(g.bits.begin(), g.bits.end(), grey))
        << "format " << format << " has no grey edge";
    for (uint32_t row = 0; row < g.metrics.gmBlackBoxY; ++row) {
      for (uint32_t x = g.metrics.gmBlackBoxX; x < pitch; ++x) {
        ASSERT_EQ(g.bits[row * pitch + x], 0) << "padding at row " << row;
      }
    }
  }
  Glyph mono = Render(*font, kHiraganaA, GGO_BITMAP);
  uint32_t pitch = (mono.metrics.gmBlackBoxX + 31) / 32 * 4;
  ASSERT_EQ(mono.answer, pitch * mono.metrics.gmBlackBoxY);
  bool anySet = false;
  for (uint32_t row = 0; row < mono.metrics.gmBlackBoxY; ++row) {
    for (uint32_t bit = 0; bit < pitch * 8; ++bit) {
      bool set = mono.bits[row * pitch + bit / 8] & (0x80 >> (bit % 8));
      ASSERT_FALSE(set && bit >= mono.metrics.gmBlackBoxX) << "bit past the black box, row " << row;
      anySet |= set;
    }
  }
  EXPECT_TRUE(anySet);
}

TEST(TextExtentTest, MeasuresCharactersAndRefusesBadArguments) {
  std::unique_ptr<Font> font = Make(Describe("ＭＳ Ｐゴシック", -24));
  TEXTMETRICA tm;
  font->GetTextMetricsA(&tm);
  TextSize size;
  ASSERT_TRUE(font->GetTextExtentPoint32A(nullptr, 0, &size));
  EXPECT_EQ(std::tuple(size.cx, size.cy), std::tuple(0, tm.tmHeight));
  EXPECT_FALSE(font->GetTextExtentPoint32A(nullptr, 1, &size));
  EXPECT_FALSE(font->GetTextExtentPoint32A("A", 1, nullptr));

  // A lead byte at the end has no trail: it measures as one sign, nothing is read past it.
  EXPECT_GT(Advance(*font, std::string("A\x82", 2)), Advance(*font, "A"));
}

TEST(TextMaskTest, RunSitsInItsCellsAndEndsAtItsExtent) {
  LOGFONTA lf = Describe("ＭＳ Ｐゴシック", -24);
  TEXTMETRICA tm = Metrics(lf);
  std::string text = Utf8ToCp932("Aあ一").text;
  int32_t extent = Advance(*Make(lf), text);
  for (uint8_t quality : {ANTIALIASED_QUALITY, NONANTIALIASED_QUALITY}) {
    lf.lfQuality = quality;
    TextMask mask;
    ASSERT_TRUE(Make(lf)->DrawTextMask(text.data(), int(text.size()), &mask));
    EXPECT_EQ(std::tuple(mask.endX, mask.endY), std::tuple(extent, 0));
    EXPECT_GE(mask.left, -2) << "at most a grey edge left of the first cell";
    EXPECT_LE(mask.left + mask.width, extent + 2);
    EXPECT_GE(mask.top, 0);
    EXPECT_LE(mask.top + mask.height, tm.tmHeight);
    ASSERT_EQ(mask.coverage.size(), size_t(mask.width) * mask.height);
    bool partial = std::any_of(mask.coverage.begin(), mask.coverage.end(),
                               [](uint8_t v) { return v != 0 && v != 255; });
    EXPECT_EQ(partial, quality == ANTIALIASED_QUALITY) << "only antialiased quality draws grey";
  }
  TextMask empty;
  std::unique_ptr<Font> font = Make(lf);
  ASSERT_TRUE(font->DrawTextMask("", 0, &empty));
  EXPECT_EQ(empty.width * empty.height, 0);
  EXPECT_FALSE(font->DrawTextMask(nullptr, 2, &empty));
}

TEST(FontThreadTest, FontsDrawTheSameOnManyThreads) {
  std::unique_ptr<Font> shared = Make(Describe("ＭＳ 明朝", -28));
  Glyph expected = Render(*shared, kHiraganaA, GGO_GRAY8_BITMAP);
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < mismatches.size(); ++t) {
    threads.emplace_back([&, t] {
      std::unique_ptr<Font> own = CreateFontIndirectA(Describe("ＭＳ ゴシック", -12 - int(t)));
      for (int round = 0; round < 20; ++round) {
        if (Render(*shared, kHiraganaA, GGO_GRAY8_BITMAP).bits != expected.bits) ++mismatches[t];
        if (!own || Render(*own, kLetterA, GGO_BITMAP).answer == GDI_ERROR) ++mismatches[t];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

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

std::unique_ptr<Font> Make(const char* utf8Face, int32_t escapement) {
  LOGFONTA lf = Describe(utf8Face, -32);
  lf.lfEscapement = lf.lfOrientation = escapement;
  return Make(lf);
}

GLYPHMETRICS Box(const Font& font, const char* utf8) {
  std::string s = Utf8ToCp932(utf8).text;
  uint32_t code = s.size() == 2 ? uint32_t(uint8_t(s[0])) << 8 | uint8_t(s[1]) : uint8_t(s[0]);
  const MAT2 identity;
  GLYPHMETRICS gm;
  EXPECT_NE(font.GetGlyphOutlineA(code, GGO_METRICS, &gm, 0, nullptr, &identity), GDI_ERROR);
  return gm;
}

// Where upright characters stand in their cells, 一 upright in the @ face and the pen running
// down the column, is the outline renderer's test on the installed faces.
TEST(VerticalFaceTest, AtFaceTakesVerticalFormsAndTurnsWhatHasNone) {
  auto across = Make("ＭＳ 明朝", 0);
  auto down = Make("@ＭＳ 明朝", 2700);
  auto turned = Make("ＭＳ 明朝", 2700);
  ASSERT_TRUE(across && down && turned);
  auto wide = [](const GLYPHMETRICS& gm) { return gm.gmBlackBoxX > 2 * gm.gmBlackBoxY; };
  auto tall = [](const GLYPHMETRICS& gm) { return gm.gmBlackBoxY > 2 * gm.gmBlackBoxX; };
  EXPECT_TRUE(down->Vertical());
  EXPECT_TRUE(tall(Box(*turned, "一"))) << "turned with the line in the plain face";
  // ー takes its vertical form, a tall stroke, and stands upright.
  EXPECT_TRUE(wide(Box(*across, "ー")));
  EXPECT_TRUE(tall(Box(*down, "ー"))) << "the face's vertical form";
  EXPECT_TRUE(tall(Box(*down, "-"))) << "single bytes turn with the line";
}

}  // namespace
}  // namespace bw::host
