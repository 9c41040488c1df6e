#include "host/font/font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/cp932.h"

namespace bw::host {
namespace {

constexpr uint32_t kLetterA = 'A';
constexpr uint32_t kHiraganaA = 0x82A0;  // あ
constexpr uint32_t kKatakanaA = 0xB1;    // half-width ｱ
constexpr uint32_t kIchi = 0x88EA;       // 一, a flat horizontal stroke
constexpr uint32_t kIdeographicSpace = 0x8140;

LOGFONTA Describe(const char* utf8Face, int32_t height, int32_t weight = FW_NORMAL) {
  LOGFONTA lf;
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  std::string face = Utf8ToCp932(utf8Face).text;
  std::memcpy(lf.lfFaceName, face.data(), std::min(face.size(), sizeof lf.lfFaceName - 1));
  return lf;
}

std::unique_ptr<Font> Make(const LOGFONTA& lf) {
  std::unique_ptr<Font> font = CreateFontIndirectA(lf);
  EXPECT_NE(font, nullptr) << "font not created";
  return font;
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

TEST(FontFaceTest, GameNamesMapToTheInstalledStandIns) {
  struct Case {
    const char* name;
    const char* family;
  };
  const Case cases[] = {
      {"ＭＳ ゴシック", "IPAGothic"},   {"ＭＳ Ｐゴシック", "IPAPGothic"},
      {"ＭＳ 明朝", "IPAMincho"},       {"ＭＳ Ｐ明朝", "IPAPMincho"},
      {"ipapmincho", "IPAPMincho"},     {"存在しない書体", "IPAGothic"},
      {"", "IPAGothic"},                {"Arial", "IPAGothic"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<Font> font = Make(Describe(c.name, -16));
    ASSERT_NE(font, nullptr) << c.name;
    EXPECT_EQ(font->Face().family, c.family) << c.name;
    EXPECT_EQ(font->InstalledFamily(), c.family) << c.name << ": stand-in not installed";
  }
}

TEST(FontFaceTest, FullLengthUnterminatedFaceNameIsReadWithinItsField) {
  LOGFONTA lf = Describe("", -16);
  std::memset(lf.lfFaceName, 'x', sizeof lf.lfFaceName);
  std::unique_ptr<Font> font = Make(lf);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->Face().family, "IPAGothic");
}

TEST(FontMetricsTest, HeightSignChoosesCharacterOrCellHeight) {
  for (int32_t h : {12, 16, 24, 33}) {
    TEXTMETRICA byChar, byCell;
    Make(Describe("ＭＳ ゴシック", -h))->GetTextMetricsA(&byChar);
    Make(Describe("ＭＳ ゴシック", h))->GetTextMetricsA(&byCell);
    EXPECT_EQ(byChar.tmHeight - byChar.tmInternalLeading, h) << "character height " << h;
    EXPECT_EQ(byChar.tmAscent + byChar.tmDescent, byChar.tmHeight);
    EXPECT_EQ(byCell.tmHeight, h) << "cell height " << h;
    EXPECT_LE(byCell.tmHeight, byChar.tmHeight) << "cell height must not exceed " << h;
  }
  TEXTMETRICA unset, byDefault;
  Make(Describe("ＭＳ ゴシック", 0))->GetTextMetricsA(&unset);
  Make(Describe("ＭＳ ゴシック", -Font::kDefaultCharHeight))->GetTextMetricsA(&byDefault);
  EXPECT_EQ(std::memcmp(&unset, &byDefault, sizeof unset), 0) << "height 0 is the default";
}

TEST(FontMetricsTest, PitchBitIsSetForProportionalFaces) {
  TEXTMETRICA tm;
  Make(Describe("ＭＳ Ｐ明朝", -20, FW_BOLD))->GetTextMetricsA(&tm);
  EXPECT_EQ(tm.tmPitchAndFamily, FF_ROMAN | TMPF_TRUETYPE | TMPF_VECTOR | TMPF_FIXED_PITCH);
  EXPECT_EQ(tm.tmWeight, FW_BOLD) << "a synthesised bold reports the weight asked for";
  Make(Describe("ＭＳ ゴシック", -20, FW_DONTCARE))->GetTextMetricsA(&tm);
  EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << "a fixed-pitch face clears it";
  EXPECT_EQ(tm.tmWeight, FW_NORMAL);
}

TEST(FontMetricsTest, SizesOutOfRangeAreRefused) {
  EXPECT_EQ(CreateFontIndirectA(Describe("ＭＳ ゴシック", -(Font::kMaxPixelSize + 1))), nullptr);
  EXPECT_EQ(CreateFontIndirectA(Describe("ＭＳ ゴシック", INT32_MIN)), nullptr);
  LOGFONTA wide = Describe("ＭＳ ゴシック", -16);
  wide.lfWidth = INT32_MIN;
  EXPECT_EQ(CreateFontIndirectA(wide), nullptr);
  EXPECT_NE(CreateFontIndirectA(Describe("ＭＳ ゴシック", 1)), nullptr) << "tiny sizes still draw";
}

TEST(GlyphMetricsTest, KnownCharactersAreSaneAndStable) {
  std::unique_ptr<Font> font = Make(Describe("ＭＳ ゴシック", -32));
  TEXTMETRICA tm;
  font->GetTextMetricsA(&tm);
  const MAT2 identity;
  // The fixed face: full-width characters one em, half-width ones half.
  const std::pair<uint32_t, int16_t> advances[] = {
      {kLetterA, 16}, {kHiraganaA, 32}, {kKatakanaA, 16}};
  for (auto [code, advance] : advances) {
    GLYPHMETRICS first, again;
    ASSERT_NE(font->GetGlyphOutlineA(code, GGO_METRICS, &first, 0, nullptr, &identity), GDI_ERROR)
        << std::hex << code;
    font->GetGlyphOutlineA(code, GGO_METRICS, &again, 0, nullptr, &identity);
    EXPECT_EQ(std::memcmp(&first, &again, sizeof first), 0) << std::hex << code;
    EXPECT_EQ(first.gmCellIncX, advance) << std::hex << code;
    EXPECT_EQ(first.gmCellIncY, 0) << std::hex << code;
    EXPECT_GT(first.gmBlackBoxX, 0u);
    EXPECT_GT(first.gmBlackBoxY, 0u);
    EXPECT_LE(first.gmptGlyphOrigin.y, tm.tmAscent) << "box starts above the cell";
    EXPECT_GE(first.gmptGlyphOrigin.y - static_cast<int32_t>(first.gmBlackBoxY), -tm.tmDescent)
        << "box ends below the cell";
  }
  EXPECT_EQ(Advance(*font, Utf8ToCp932("Aあｱ").text), 64) << "extent sums the advances";
}

TEST(GlyphMetricsTest, BlankGlyphAdvancesWithoutBits) {
  std::unique_ptr<Font> font = Make(Describe("ＭＳ ゴシック", -20));
  const MAT2 identity;
  for (uint32_t code : {uint32_t{' '}, kIdeographicSpace}) {
    GLYPHMETRICS gm;
    EXPECT_EQ(font->GetGlyphOutlineA(code, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &identity), 0u);
    EXPECT_EQ(gm.gmBlackBoxX, 1u);
    EXPECT_EQ(gm.gmBlackBoxY, 1u);
    EXPECT_GT(gm.gmCellIncX, 0);
  }
}

TEST(GlyphMetricsTest, FailuresAnswerTheErrorValue) {
  std::unique_ptr<Font> font = Make(Describe("ＭＳ ゴシック", -20));
  const MAT2 identity;
  GLYPHMETRICS gm;
  for (uint32_t code : {0x81u, 0x817Fu, 0x41A0u, 0xFCFFu, 0x10041u}) {
    EXPECT_EQ(font->GetGlyphOutlineA(code, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &identity),
              GDI_ERROR)
        << "code " << std::hex << code << " is no CP932 character";
  }
  EXPECT_EQ(font->GetGlyphOutlineA(kLetterA, 2, &gm, 0, nullptr, &identity), GDI_ERROR)
      << "outline formats are not offered";
  EXPECT_EQ(font->GetGlyphOutlineA(kLetterA, GGO_BITMAP, nullptr, 0, nullptr, &identity),
            GDI_ERROR);
  EXPECT_EQ(font->GetGlyphOutlineA(kLetterA, GGO_BITMAP, &gm, 0, nullptr, nullptr), GDI_ERROR);
  uint32_t size = font->GetGlyphOutlineA(kHiraganaA, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &identity);
  std::vector<uint8_t> shortBuffer(size - 1, 0xEE);
  EXPECT_EQ(font->GetGlyphOutlineA(kHiraganaA, GGO_GRAY8_BITMAP, &gm, size - 1,
                                   shortBuffer.data(), &identity),
            GDI_ERROR);
  EXPECT_TRUE(std::all_of(shortBuffer.begin(), shortBuffer.end(), [](uint8_t b) { return b == 0xEE; }))
      << "a refused call writes nothing";
}

TEST(GlyphBitmapTest, FormatsHaveTheirLevelsAndPaddedRows) {
  std::unique_ptr<Font> font = Make(Describe("ＭＳ 明朝", -37));
  struct Case {
    uint32_t format;
    int top;
  };
  for (Case c : {Case{GGO_GRAY2_BITMAP, 4}, Case{GGO_GRAY4_BITMAP, 16}, Case{GGO_GRAY8_BITMAP, 64}}) {
    Glyph g = Render(*font, kHiraganaA, c.format);
    uint32_t pitch = (g.metrics.gmBlackBoxX + 3) / 4 * 4;
    ASSERT_EQ(g.answer, pitch * g.metrics.gmBlackBoxY) << "format " << c.format;
    ASSERT_EQ(g.bits.size(), g.answer);
    EXPECT_EQ(*std::max_element(g.bits.begin(), g.bits.end()), c.top) << "format " << c.format;
    bool partial = std::any_of(g.bits.begin(), g.bits.end(),
                               [&](uint8_t v) { return v > 0 && v < c.top; });
    EXPECT_TRUE(partial) << "format " << c.format << " has no grey edge";
    for (uint32_t row = 0; row < g.metrics.gmBlackBoxY; ++row) {
      for (uint32_t x = g.metrics.gmBlackBoxX; x < pitch; ++x) {
        ASSERT_EQ(g.bits[row * pitch + x], 0) << "padding at row " << row;
      }
    }
  }
  Glyph mono = Render(*font, kHiraganaA, GGO_BITMAP);
  uint32_t pitch = (mono.metrics.gmBlackBoxX + 31) / 32 * 4;
  ASSERT_EQ(mono.answer, pitch * mono.metrics.gmBlackBoxY);
  uint32_t usedBits = mono.metrics.gmBlackBoxX;
  bool anySet = false;
  for (uint32_t row = 0; row < mono.metrics.gmBlackBoxY; ++row) {
    for (uint32_t bit = 0; bit < pitch * 8; ++bit) {
      bool set = mono.bits[row * pitch + bit / 8] & (0x80 >> (bit % 8));
      if (bit >= usedBits) {
        ASSERT_FALSE(set) << "bit past the black box, row " << row;
      }
      anySet |= set;
    }
  }
  EXPECT_TRUE(anySet);
}

TEST(GlyphBitmapTest, MatrixScalesTheGlyph) {
  std::unique_ptr<Font> font = Make(Describe("ＭＳ ゴシック", -16));
  Glyph plain = Render(*font, kHiraganaA, GGO_BITMAP);
  MAT2 times4;
  times4.eM11 = FixedFromInt(4);
  times4.eM22 = FixedFromInt(4);
  Glyph big = Render(*font, kHiraganaA, GGO_BITMAP, times4);
  ASSERT_NE(big.answer, GDI_ERROR);
  EXPECT_NEAR(big.metrics.gmBlackBoxX, 4.0 * plain.metrics.gmBlackBoxX, 6.0);
  EXPECT_NEAR(big.metrics.gmBlackBoxY, 4.0 * plain.metrics.gmBlackBoxY, 6.0);
  EXPECT_EQ(big.metrics.gmCellIncX, 4 * plain.metrics.gmCellIncX);
  MAT2 huge;
  huge.eM11 = huge.eM22 = FixedFromInt(32767);
  GLYPHMETRICS gm;
  EXPECT_EQ(font->GetGlyphOutlineA(kHiraganaA, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &huge), GDI_ERROR)
      << "a glyph blown up past any screen is refused, not allocated";
}

TEST(GlyphBitmapTest, EscapementTurnsTheGlyph) {
  LOGFONTA lf = Describe("ＭＳ ゴシック", -32);
  Glyph flat = Render(*Make(lf), kIchi, GGO_GRAY8_BITMAP);
  ASSERT_NE(flat.answer, GDI_ERROR);
  ASSERT_GT(flat.metrics.gmBlackBoxX, 3 * flat.metrics.gmBlackBoxY) << "一 is a flat stroke";

  lf.lfEscapement = lf.lfOrientation = 900;
  std::unique_ptr<Font> up = Make(lf);
  Glyph turned = Render(*up, kIchi, GGO_GRAY8_BITMAP);
  ASSERT_NE(turned.answer, GDI_ERROR);
  EXPECT_EQ(turned.metrics.gmBlackBoxX, flat.metrics.gmBlackBoxY);
  EXPECT_EQ(turned.metrics.gmBlackBoxY, flat.metrics.gmBlackBoxX);
  EXPECT_EQ(turned.metrics.gmCellIncX, 0);
  EXPECT_EQ(turned.metrics.gmCellIncY, flat.metrics.gmCellIncX) << "the pen moves up";

  lf.lfEscapement = lf.lfOrientation = 450;
  Glyph slanted = Render(*Make(lf), kIchi, GGO_GRAY8_BITMAP);
  EXPECT_GT(slanted.metrics.gmBlackBoxY, 3 * flat.metrics.gmBlackBoxY);
  EXPECT_GT(slanted.metrics.gmCellIncX, 0);
  EXPECT_GT(slanted.metrics.gmCellIncY, 0);

  std::string text = Utf8ToCp932("一あA").text;
  EXPECT_EQ(Advance(*up, text), Advance(*Make(Describe("ＭＳ ゴシック", -32)), text))
      << "extents run along the baseline";
}

TEST(GlyphBitmapTest, SynthesisedBoldAndItalic) {
  std::unique_ptr<Font> regular = Make(Describe("ＭＳ Ｐゴシック", -24));
  LOGFONTA boldLf = Describe("ＭＳ Ｐゴシック", -24, FW_BOLD);
  std::unique_ptr<Font> bold = Make(boldLf);
  LOGFONTA italicLf = Describe("ＭＳ Ｐゴシック", -24);
  italicLf.lfItalic = 1;
  std::unique_ptr<Font> italic = Make(italicLf);

  Glyph r = Render(*regular, kLetterA, GGO_GRAY8_BITMAP);
  Glyph b = Render(*bold, kLetterA, GGO_GRAY8_BITMAP);
  Glyph upright = Render(*regular, 'H', GGO_GRAY8_BITMAP);
  Glyph i = Render(*italic, 'H', GGO_GRAY8_BITMAP);
  auto ink = [](const Glyph& g) {
    int sum = 0;
    for (uint8_t v : g.bits) sum += v;
    return sum;
  };
  EXPECT_GT(b.metrics.gmBlackBoxX, r.metrics.gmBlackBoxX);
  EXPECT_GT(ink(b), ink(r) * 11 / 10) << "bold strokes are thicker";
  EXPECT_GT(b.metrics.gmCellIncX, r.metrics.gmCellIncX);
  EXPECT_EQ(Advance(*bold, "A"), b.metrics.gmCellIncX) << "extent and glyph agree on bold";
  EXPECT_GE(i.metrics.gmBlackBoxX, upright.metrics.gmBlackBoxX + 3) << "italic leans right";
  EXPECT_EQ(i.metrics.gmCellIncX, upright.metrics.gmCellIncX) << "italic keeps the advance";
}

TEST(TextExtentTest, MeasuresCharactersAndRefusesBadArguments) {
  std::unique_ptr<Font> font = Make(Describe("ＭＳ Ｐゴシック", -24));
  TEXTMETRICA tm;
  font->GetTextMetricsA(&tm);
  TextSize size;
  ASSERT_TRUE(font->GetTextExtentPoint32A("", 0, &size));
  EXPECT_EQ(size.cx, 0);
  EXPECT_EQ(size.cy, tm.tmHeight);
  EXPECT_TRUE(font->GetTextExtentPoint32A(nullptr, 0, &size));
  EXPECT_FALSE(font->GetTextExtentPoint32A(nullptr, 1, &size));
  EXPECT_FALSE(font->GetTextExtentPoint32A("A", -1, &size));
  EXPECT_FALSE(font->GetTextExtentPoint32A("A", 1, nullptr));

  std::string kana = Utf8ToCp932("あ").text;
  EXPECT_EQ(Advance(*font, kana + "A" + kana), 2 * Advance(*font, kana) + Advance(*font, "A"));
  EXPECT_LT(Advance(*font, "i"), Advance(*font, "W")) << "a proportional face";
  // A lead byte at the end has no trail: it measures as one sign, nothing is read past it.
  EXPECT_GT(Advance(*font, std::string("A\x82", 2)), Advance(*font, "A"));

  LOGFONTA wideLf = Describe("ＭＳ Ｐゴシック", -24);
  wideLf.lfWidth = 2 * tm.tmAveCharWidth;
  EXPECT_NEAR(Advance(*Make(wideLf), "ABCD"), 2 * Advance(*font, "ABCD"), 4)
      << "lfWidth stretches the glyphs";
}

// Whether some row of the mask, between rows first and last of the reference frame, is fully
// covered from x = 0 to x = width - 1.
bool HasFullRow(const TextMask& mask, int32_t first, int32_t last, int32_t width) {
  for (int32_t y = std::max(first, mask.top); y <= std::min(last, mask.top + mask.height - 1); ++y) {
    bool full = mask.left <= 0 && mask.left + mask.width >= width;
    for (int32_t x = 0; full && x < width; ++x) {
      full = mask.coverage[(y - mask.top) * mask.width + (x - mask.left)] == 255;
    }
    if (full) return true;
  }
  return false;
}

TEST(TextMaskTest, RunSitsInItsCellsAndEndsAtItsExtent) {
  LOGFONTA lf = Describe("ＭＳ Ｐゴシック", -24);
  lf.lfQuality = ANTIALIASED_QUALITY;
  std::unique_ptr<Font> grey = Make(lf);
  lf.lfQuality = NONANTIALIASED_QUALITY;
  std::unique_ptr<Font> hard = Make(lf);
  TEXTMETRICA tm;
  grey->GetTextMetricsA(&tm);
  std::string text = Utf8ToCp932("Aあ一").text;
  int32_t extent = Advance(*grey, text);

  for (const Font* font : {grey.get(), hard.get()}) {
    TextMask mask;
    ASSERT_TRUE(font->DrawTextMask(text.data(), static_cast<int>(text.size()), &mask));
    EXPECT_EQ(mask.endX, extent);
    EXPECT_EQ(mask.endY, 0);
    EXPECT_GE(mask.left, -2) << "at most a grey edge left of the first cell";
    EXPECT_LE(mask.left + mask.width, extent + 2);
    EXPECT_GE(mask.top, 0);
    EXPECT_LE(mask.top + mask.height, tm.tmHeight);
    ASSERT_EQ(mask.coverage.size(), size_t(mask.width) * mask.height);
    bool partial = std::any_of(mask.coverage.begin(), mask.coverage.end(),
                               [](uint8_t v) { return v != 0 && v != 255; });
    EXPECT_EQ(partial, font == grey.get()) << "only antialiased quality draws grey";
    EXPECT_FALSE(HasFullRow(mask, 0, tm.tmHeight, extent)) << "no line without asking";
  }
  TextMask empty;
  ASSERT_TRUE(grey->DrawTextMask("", 0, &empty));
  EXPECT_EQ(empty.width * empty.height, 0);
  EXPECT_FALSE(grey->DrawTextMask(nullptr, 2, &empty));
  EXPECT_FALSE(grey->DrawTextMask("A", -1, &empty));
}

TEST(TextMaskTest, UnderlineAndStrikeOutCrossTheRun) {
  LOGFONTA lf = Describe("ＭＳ 明朝", -24);
  TEXTMETRICA tm;
  Make(lf)->GetTextMetricsA(&tm);
  std::string text = Utf8ToCp932("  あ ").text;  // mostly blank, so only a line fills a row
  int32_t extent = Advance(*Make(lf), text);
  lf.lfUnderline = 1;
  TextMask under;
  ASSERT_TRUE(Make(lf)->DrawTextMask(text.data(), static_cast<int>(text.size()), &under));
  EXPECT_TRUE(HasFullRow(under, tm.tmAscent, tm.tmHeight - 1, extent)) << "underline below";
  EXPECT_FALSE(HasFullRow(under, 0, tm.tmAscent - 1, extent));
  lf.lfUnderline = 0;
  lf.lfStrikeOut = 1;
  TextMask through;
  ASSERT_TRUE(Make(lf)->DrawTextMask(text.data(), static_cast<int>(text.size()), &through));
  EXPECT_TRUE(HasFullRow(through, tm.tmInternalLeading, tm.tmAscent - 1, extent))
      << "strike-out above the baseline";
  EXPECT_FALSE(HasFullRow(through, tm.tmAscent, tm.tmHeight - 1, extent));
}

TEST(TextMaskTest, EscapementTurnsTheRun) {
  LOGFONTA lf = Describe("ＭＳ ゴシック", -20);
  lf.lfEscapement = lf.lfOrientation = 900;
  std::unique_ptr<Font> font = Make(lf);
  std::string text = Utf8ToCp932("一一一一").text;
  TextMask mask;
  ASSERT_TRUE(font->DrawTextMask(text.data(), static_cast<int>(text.size()), &mask));
  EXPECT_EQ(mask.endX, 0);
  EXPECT_EQ(mask.endY, -80) << "the run goes up";
  EXPECT_GT(mask.height, 3 * mask.width);
  EXPECT_LE(mask.top + mask.height, 1);
  EXPECT_GE(mask.top, -80);
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
        Glyph g = Render(*shared, kHiraganaA, GGO_GRAY8_BITMAP);
        if (g.bits != expected.bits) ++mismatches[t];
        if (own == nullptr || Render(*own, kLetterA, GGO_BITMAP).answer == GDI_ERROR) {
          ++mismatches[t];
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (size_t t = 0; t < mismatches.size(); ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace bw::host
