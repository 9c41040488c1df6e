#include "host/gdi/memory_dc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "host/font/fake_glyph_source.h"

namespace bw::host {
namespace {

// A context with the section selected.
struct Dc : MemoryDc {
  explicit Dc(DibSection* section) { Select(section); }
};

TEST(DibSection, RefusesWhatItCannotHold) {
  EXPECT_EQ(DibSection::Create(0, 4, 32), nullptr);
  EXPECT_EQ(DibSection::Create(4, 4, 4), nullptr);
  EXPECT_EQ(DibSection::Create(70000, 70000, 32), nullptr) << "pitch x height beyond the limit";
  EXPECT_EQ(RowPitch(0x7FFFFFFF, 32), 0) << "a row beyond the limit";
  auto s = DibSection::Create(3, 2, 24);
  ASSERT_NE(s, nullptr);
  uint32_t red = 0xFFFF0000;
  EXPECT_EQ(s->SetColorTable(255, 4, &red), 1) << "stops after entry 255";
  EXPECT_EQ(s->ColorTable()[255], 0x00FF0000u);
}

TEST(BitBlt, CopiesClippedAndConvertsThroughTheColourTable) {
  auto src8 = DibSection::Create(4, 3, 8);
  auto dst32 = DibSection::Create(5, 5, 32);
  ASSERT_TRUE(src8 && dst32);
  uint32_t colors[2] = {0x00112233, 0x00445566};
  src8->SetColorTable(0, 2, colors);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) src8->Pixels()[y * src8->Pitch() + x] = uint8_t((x + y) & 1);
  MemoryDc none;
  EXPECT_FALSE(BitBlt(none, 0, 0, 4, 3, none, 0, 0)) << "no sections selected";
  Dc from(src8.get()), to(dst32.get());
  ASSERT_TRUE(BitBlt(to, 3, -1, 4, 3, from, 0, 0));
  // Source rows 1 and 2 land on rows 0 and 1; nothing left of the rectangle or below the source.
  EXPECT_EQ(std::tuple(dst32->Read(3, 0), dst32->Read(4, 0), dst32->Read(2, 0), dst32->Read(3, 2)),
            std::tuple(0x00445566u, 0x00112233u, 0u, 0u));

  auto big = DibSection::Create(4, 4, 32);
  Dc stretched(big.get());
  ASSERT_TRUE(StretchBlt(stretched, 0, 0, 4, 4, to, 3, 0, 2, 2));
  EXPECT_EQ(std::tuple(big->Read(0, 0), big->Read(1, 1), big->Read(2, 0), big->Read(3, 3)),
            std::tuple(0x00445566u, 0x00445566u, 0x00112233u, dst32->Read(4, 1)));
}

// The changed-rows copy must leave the target as BitBlt leaves it, clipped alike, and name the
// rows it had to write: those between the first and the last that differed.
TEST(BitBlt, TheChangedRowsCopyMatchesBitBltAndNamesTheRowsItWrote) {
  auto src = DibSection::Create(6, 8, 32);
  auto expected = DibSection::Create(7, 9, 32);
  auto actual = DibSection::Create(7, 9, 32);
  ASSERT_TRUE(src && expected && actual);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 6; ++x) src->Write(x, y, uint32_t(0x00010203 * (y + 1) + x));
  Dc from(src.get()), reference(expected.get()), changed(actual.get());
  ASSERT_TRUE(BitBlt(reference, 2, -1, 6, 8, from, 0, 0));
  std::memcpy(actual->Pixels(), expected->Pixels(), size_t(actual->Pitch()) * 9);
  int first = -1, end = -1;
  ASSERT_TRUE(BitBltChanged(changed, 2, -1, 6, 8, from, 0, 0, &first, &end));
  EXPECT_EQ(std::tie(first, end), std::tuple(0, 0)) << "the same copy again writes nothing";
  // Rows 2 and 4 of the target differ (one pixel at each edge of the copy), the rest agree.
  actual->Write(2, 2, 0xDEAD);
  actual->Write(6, 4, 0xBEEF);
  actual->Write(0, 5, 0xCAFE);  // left of the copy: stays
  expected->Write(0, 5, 0xCAFE);
  ASSERT_TRUE(BitBltChanged(changed, 2, -1, 6, 8, from, 0, 0, &first, &end));
  EXPECT_EQ(std::tie(first, end), std::tuple(2, 5));
  EXPECT_EQ(std::memcmp(actual->Pixels(), expected->Pixels(), size_t(actual->Pitch()) * 9), 0);
  // Wholly beside the target, or reading beside the source, rows still in range copy nothing.
  for (const auto& [x, sx] : {std::pair(9, 0), std::pair(0, 7)}) {
    ASSERT_TRUE(BitBltChanged(changed, x, 0, 4, 8, from, sx, 0, &first, &end));
    EXPECT_EQ(std::tie(first, end), std::tuple(0, 0)) << x << " " << sx;
  }
  EXPECT_EQ(std::memcmp(actual->Pixels(), expected->Pixels(), size_t(actual->Pitch()) * 9), 0);
}

// A text surface drawn at 32 bits reaches a 16-bit display surface, and a 16-bit surface is
// read back, through the colour as the system converts: 565 or 555 fields, an 8-bit target's
// nearest table entry.
TEST(BitBlt, ConvertsBetweenDepthsThroughTheColour) {
  auto src32 = DibSection::Create(4, 1, 32);
  const uint32_t colors[4] = {0xAAFF0000, 0x0000FF00, 0x000000FF, 0x00808080};
  std::memcpy(src32->Pixels(), colors, sizeof colors);
  auto d565 = DibSection::Create(4, 1, 16);
  auto d555 = DibSection::Create(4, 1, 16);
  ASSERT_TRUE(d565->SetMasks(0xF800, 0x07E0, 0x001F));
  Dc from(src32.get()), to565(d565.get()), to555(d555.get());
  ASSERT_TRUE(BitBlt(to565, 0, 0, 4, 1, from, 0, 0));
  ASSERT_TRUE(StretchBlt(to555, 0, 0, 4, 1, from, 0, 0, 4, 1));
  EXPECT_EQ(std::tuple(d565->Read(0, 0), d565->Read(1, 0), d565->Read(2, 0), d565->Read(3, 0)),
            std::tuple(0xF800u, 0x07E0u, 0x001Fu, 0x8410u));
  EXPECT_EQ(std::tuple(d555->Read(0, 0), d555->Read(1, 0), d555->Read(3, 0)),
            std::tuple(0x7C00u, 0x03E0u, 0x4210u));

  auto back32 = DibSection::Create(4, 1, 32);
  std::memset(back32->Pixels(), 0xFF, 16);
  Dc back(back32.get());
  ASSERT_TRUE(BitBlt(back, 0, 0, 4, 1, to565, 0, 0));
  EXPECT_EQ(std::tuple(back32->Read(0, 0), back32->Read(2, 0), back32->Read(3, 0)),
            std::tuple(0x00FF0000u, 0x000000FFu, 0x00848284u))
      << "fields widened with rounding, the fourth byte 0";

  auto d8 = DibSection::Create(4, 1, 8);
  uint32_t table[256] = {0x00000000, 0x00F00000, 0x00707070};  // the rest black
  d8->SetColorTable(0, 256, table);
  Dc to8(d8.get());
  ASSERT_TRUE(BitBlt(to8, 0, 0, 4, 1, from, 0, 0));
  EXPECT_EQ(std::tuple(d8->Pixels()[0], d8->Pixels()[3]), std::tuple(1, 2)) << "nearest entries";
}

// The fake face hard-edged at 16 pixels (ascent 14, 'A' advances 8), turned by escapement.
std::unique_ptr<GlyphFont> FakeFont(int32_t escapement = 0) {
  return FakeGlyphSource().CreateFont({.lfHeight = -16,
                                       .lfEscapement = escapement,
                                       .lfOrientation = escapement,
                                       .lfCharSet = SHIFTJIS_CHARSET,
                                       .lfQuality = NONANTIALIASED_QUALITY});
}

// A 32-bit section whose every byte is 0xFF, so painted pixels show by their fourth byte.
std::unique_ptr<DibSection> Marked(int w, int h) {
  auto s = DibSection::Create(w, h, 32);
  std::memset(s->Pixels(), 0xFF, size_t(s->Pitch()) * h);
  return s;
}

TEST(MemoryDcText, TextOutPaintsHardEdgedInTheCellAndClearsTheFourthByte) {
  auto font = FakeFont();
  auto section = Marked(24, 24);
  Dc dc(section.get());
  EXPECT_FALSE(dc.TextOutA(0, 0, "A", 1)) << "no font";
  dc.SelectFont(font.get());
  EXPECT_EQ(dc.SetBkMode(7), 0);
  EXPECT_EQ(dc.SetBkMode(TRANSPARENT), OPAQUE) << "opaque by default";
  dc.SetTextColor(RGB(0x12, 0x34, 0x56));
  EXPECT_FALSE(dc.TextOutA(0, 0, nullptr, 1));
  EXPECT_FALSE(dc.TextOutA(0, 0, "A", -1));
  // The glyph box: x 4..9, y 3..15 (one below the cell's top down to the baseline); the opaque
  // cell x 3..10, y 2..17.
  for (bool opaque : {false, true}) {
    dc.SetBkMode(opaque ? OPAQUE : TRANSPARENT);
    dc.SetBkColor(RGB(0, 255, 0));
    std::memset(section->Pixels(), 0xFF, size_t(section->Pitch()) * 24);
    ASSERT_TRUE(dc.TextOutA(3, 2, "A", 1));
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) {
        bool cell = opaque && x >= 3 && x < 11 && y >= 2 && y < 18;
        bool ink = x >= 4 && x < 10 && y >= 3 && y < 16;
        uint32_t want = ink ? 0x00123456u : cell ? 0x0000FF00u : 0xFFFFFFFFu;
        ASSERT_EQ(section->Read(x, y), want) << x << ", " << y << " opaque " << opaque;
      }
    }
  }
}

TEST(MemoryDcText, TurnedTextAndOpaqueCellsFollowTheEscapement) {
  auto font = FakeFont(2700);
  auto section = Marked(40, 40);
  Dc dc(section.get());
  dc.SelectFont(font.get());
  dc.SetBkColor(RGB(1, 2, 3));
  ASSERT_TRUE(dc.TextOutA(30, 5, "AA", 2));
  // At 2700 the cells run down from (30, 5) and lie left of it: x 14..29, y 5..20.
  int painted = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      bool cell = x >= 14 && x < 30 && y >= 5 && y < 21;
      uint32_t v = section->Read(x, y);
      ASSERT_EQ(v >> 24, cell ? 0u : 0xFFu) << x << ", " << y;
      painted += v == 0u;  // text colour black
    }
  }
  EXPECT_EQ(painted, 2 * 13 * 6) << "two turned 6 x 13 boxes";
}

TEST(MemoryDcText, SixteenAndEightBitSectionsTakeTheirOwnFormat) {
  auto font = FakeFont();
  auto s16 = DibSection::Create(16, 16, 16);
  Dc dc(s16.get());
  dc.SelectFont(font.get());
  dc.SetTextColor(RGB(255, 0, 0));
  dc.SetBkMode(TRANSPARENT);
  ASSERT_TRUE(dc.TextOutA(0, 0, "A", 1));
  EXPECT_EQ(s16->Read(5, 10), 0x7C00u) << "5-5-5 unless set";
  EXPECT_EQ(s16->Read(0, 0), 0u);
  ASSERT_TRUE(s16->SetMasks(0xF800, 0x07E0, 0x001F));
  ASSERT_TRUE(dc.FillSolidRect(DcRect{-2, -2, 4, 4}, RGB(0, 255, 0)));
  EXPECT_EQ(s16->Read(1, 1), 0x07E0u);
  EXPECT_EQ(s16->Read(0, 2), 0u) << "the fill ends at its rectangle";
  ASSERT_TRUE(dc.TextOutA(0, 0, "A", 1));
  EXPECT_EQ(s16->Read(5, 10), 0xF800u);
  EXPECT_FALSE(s16->SetMasks(0xF800, 0x05E0, 0x001F)) << "a mask with a gap";

  auto s8 = DibSection::Create(16, 16, 8);  // grey table
  dc.Select(s8.get());
  dc.SetBkMode(OPAQUE);
  dc.SetTextColor(RGB(15, 15, 15));
  dc.SetBkColor(RGB(0, 0, 0));
  ASSERT_TRUE(dc.TextOutA(0, 0, "A", 1));
  EXPECT_EQ(s8->Pixels()[10 * s8->Pitch() + 5], 15) << "the table's nearest entry";
  EXPECT_EQ(s8->Pixels()[0], 0) << "the opaque cell in the background colour";
}

}  // namespace
}  // namespace bw::host
