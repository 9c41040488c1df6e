#include "host/font/fake_glyph_source.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace bw::host {
namespace {

constexpr uint32_t kHiraganaA = 0x82A0;  // あ

LOGFONTA Height(int32_t height, int32_t escapement = 0) {
  LOGFONTA lf;
  lf.lfHeight = height;
  lf.lfEscapement = lf.lfOrientation = escapement;
  return lf;
}

MAT2 Scaled(int16_t factor) {
  MAT2 m;
  m.eM11 = m.eM22 = FixedFromInt(factor);
  return m;
}

// The glyph's set bits as rows of '#' and '.'.
std::vector<std::string> Bits(const GlyphFont& font, uint32_t code, const MAT2& matrix,
                              GLYPHMETRICS* gm) {
  uint32_t size = font.GetGlyphOutlineA(code, GGO_BITMAP, gm, 0, nullptr, &matrix);
  if (size == GDI_ERROR || size == 0) return {};
  std::vector<uint8_t> buffer(size);
  EXPECT_EQ(font.GetGlyphOutlineA(code, GGO_BITMAP, gm, size, buffer.data(), &matrix), size);
  uint32_t pitch = (gm->gmBlackBoxX + 31) / 32 * 4;
  std::vector<std::string> rows;
  for (uint32_t y = 0; y < gm->gmBlackBoxY; ++y) {
    std::string row;
    for (uint32_t x = 0; x < pitch * 8; ++x) {
      bool set = buffer[y * pitch + x / 8] & (0x80 >> (x % 8));
      if (x >= gm->gmBlackBoxX) {
        EXPECT_FALSE(set) << "bit past the black box";
        continue;
      }
      row += set ? '#' : '.';
    }
    rows.push_back(row);
  }
  return rows;
}

// The fixed metrics themselves are what the text tests built on this source measure.
TEST(FakeGlyphSourceTest, ExtentsAndSizesAreChecked) {
  FakeGlyphSource source;
  auto font = source.CreateFont(Height(-20));
  ASSERT_NE(font, nullptr);
  TextSize size;
  ASSERT_TRUE(font->GetTextExtentPoint32A("A\x82\xA0 ", 4, &size));
  EXPECT_EQ(size.cx, 10 + 20 + 10) << "single bytes h / 2, double bytes h";
  EXPECT_FALSE(font->GetTextExtentPoint32A(nullptr, 1, &size));
  EXPECT_FALSE(font->GetTextExtentPoint32A("A", -1, &size));
  EXPECT_EQ(source.CreateFont(Height(-(FakeGlyphSource::kMaxHeight + 1))), nullptr);
  EXPECT_EQ(source.CreateFont(Height(INT32_MIN)), nullptr) << "no overflow taking its size";
  EXPECT_NE(source.CreateFont(Height(FakeGlyphSource::kMaxHeight)), nullptr);
}

TEST(FakeGlyphSourceTest, WithoutOutlinesOnlyBitmapsDrawAndTheyScaleWithTheMatrix) {
  auto font = FakeGlyphSource().CreateFont(Height(-8));  // ascent 7, 'A' advances 4
  const MAT2 identity;
  GLYPHMETRICS gm;
  for (uint32_t format : {GGO_GRAY2_BITMAP, GGO_GRAY4_BITMAP, GGO_GRAY8_BITMAP}) {
    EXPECT_EQ(font->GetGlyphOutlineA('A', format, &gm, 0, nullptr, &identity), GDI_ERROR)
        << "format " << format << " needs outlines";
  }
  // Origin x, y and advance, plain and scaled four times.
  EXPECT_EQ(Bits(*font, 'A', identity, &gm), std::vector<std::string>(6, "##"));
  EXPECT_EQ(std::tie(gm.gmptGlyphOrigin.x, gm.gmptGlyphOrigin.y, gm.gmCellIncX),
            std::tuple(1, 6, 4));
  EXPECT_EQ(Bits(*font, 'A', Scaled(4), &gm), std::vector<std::string>(24, std::string(8, '#')));
  EXPECT_EQ(std::tie(gm.gmptGlyphOrigin.x, gm.gmptGlyphOrigin.y, gm.gmCellIncX),
            std::tuple(4, 24, 16));
  EXPECT_EQ(Bits(*font, kHiraganaA, Scaled(8), &gm).size(), 48u);
  EXPECT_EQ(gm.gmBlackBoxX, 8u * 6);

  EXPECT_EQ(font->GetGlyphOutlineA(' ', GGO_BITMAP, &gm, 0, nullptr, &identity), 0u);
  EXPECT_EQ(gm.gmCellIncX, 4) << "a space advances and draws nothing";
  EXPECT_EQ(font->GetGlyphOutlineA(0x81, GGO_BITMAP, &gm, 0, nullptr, &identity), GDI_ERROR)
      << "a lone lead byte is no character";
  std::vector<uint8_t> small(3);
  EXPECT_EQ(font->GetGlyphOutlineA('A', GGO_BITMAP, &gm, 3, small.data(), &identity), GDI_ERROR);
}

}  // namespace
}  // namespace bw::host
