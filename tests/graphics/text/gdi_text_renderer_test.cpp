#include "graphics/text/gdi_text_renderer.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "graphics/text/text_test_support.h"
#include "host/font/fake_glyph_source.h"

namespace bw {
namespace {

using text_test::InkBox;
using text_test::MakePicture;

// The fake's 16-pixel "A" inks columns 1-6 and rows 1-13 of its cell.
class GdiRendererTest : public text_test::TextFixture {
 protected:
  void SetUp() override {
    ASSERT_EQ(renderer_.SetFont(16, false, false, nullptr), 0);
    renderer_.SetTextColor(255, 255, 255);
    renderer_.SetDecorationColor(0, 0, 200);
  }
  // Distinct colour bytes of the picture.
  static std::set<uint32_t> Colours(const DibSurface& p) {
    std::set<uint32_t> out;
    for (int32_t y = 0; y < p.GetHeight(); ++y) {
      for (int32_t x = 0; x < p.GetWidth(); ++x) out.insert(p.GetPixel(x, y) & 0xFFFFFF);
    }
    return out;
  }

  host::FakeGlyphSource source_;
  GdiTextRenderer renderer_{source_};
};

TEST_F(GdiRendererTest, EdgeStyleGrowsTheTextByExactlyOnePixelAtEveryLevel) {
  for (int level : {0, 2}) {
    renderer_.SetAntialiasLevel(level);
    DibSurface plain, edged;
    MakePicture(plain, 40, 40);
    MakePicture(edged, 40, 40);
    renderer_.SetStyle(kTextPlain);
    ASSERT_EQ(renderer_.DrawText(&plain, 10, 20, "A", nullptr, nullptr), kTextDone);
    renderer_.SetStyle(kTextEdge);
    Rect rect;
    ASSERT_EQ(renderer_.DrawText(&edged, 10, 20, "A", &rect, nullptr), kTextDone);
    const Rect p = InkBox(plain), e = InkBox(edged);
    EXPECT_EQ(e, (Rect{p.left - 1, p.top - 1, p.right + 1, p.bottom + 1})) << "level " << level;
    EXPECT_TRUE(rect.left <= e.left && rect.top <= e.top && rect.right >= e.right &&
                rect.bottom >= e.bottom)
        << "level " << level;
    if (level == 0) {
      EXPECT_EQ(p, (Rect{11, 21, 17, 34}));
    }
  }
}

TEST_F(GdiRendererTest, LevelZeroIsHardEdgedAndSmoothingFoldsToAtMost240) {
  renderer_.SetAntialiasLevel(0);
  ASSERT_EQ(renderer_.SetQuality(host::ANTIALIASED_QUALITY), 0);
  DibSurface picture;
  MakePicture(picture, 40, 40);
  ASSERT_EQ(renderer_.DrawText(&picture, 3, 3, "AB", nullptr, nullptr), kTextDone);
  EXPECT_EQ(Colours(picture), (std::set<uint32_t>{0, 0xFFFFFF}));

  renderer_.SetAntialiasLevel(1);
  MakePicture(picture, 40, 40);
  ASSERT_EQ(renderer_.DrawText(&picture, 3, 3, "AB", nullptr, nullptr), kTextDone);
  const std::set<uint32_t> colours = Colours(picture);
  EXPECT_EQ(*colours.rbegin(), 0xF0F0F0u) << "16 sub-pixels of 15 each";
  EXPECT_GT(colours.size(), 2u) << "the glyph's sides are partly covered";
}

TEST_F(GdiRendererTest, OpaqueLinesFillTheirBoxWithTheBackColour) {
  renderer_.SetBackColor(false, 0, 255, 0);
  renderer_.SetAntialiasLevel(0);
  DibSurface picture;
  MakePicture(picture, 40, 40);
  ASSERT_EQ(renderer_.DrawText(&picture, 2, 2, "AB\nA", nullptr, nullptr), kTextDone);
  EXPECT_EQ(picture.GetPixel(2, 2) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(picture.GetPixel(2 + 3, 2 + 5) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(picture.GetPixel(2 + 15, 2 + 31) & 0xFFFFFF, 0x00FF00u) << "the box of the widest line";
  EXPECT_EQ(picture.GetPixel(2 + 16, 2) & 0xFFFFFF, 0u);

  // Straight into a device context: each line's own box.
  auto section = host::DibSection::Create(40, 40, 32);
  ASSERT_TRUE(section);
  host::MemoryDc dc;
  dc.Select(section.get());
  renderer_.SetStyle(kTextEdge);
  Rect rect;
  ASSERT_EQ(renderer_.DrawTextToDc(&dc, 2, 2, "AB\nA", &rect), kTextDone);
  EXPECT_EQ(section->Read(2, 2 + 15) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(section->Read(2 + 3, 2 + 31) & 0xFFFFFF, 0x00FF00u) << "inside the second line's box";
  EXPECT_EQ(section->Read(2 + 9, 2 + 31) & 0xFFFFFF, 0u) << "past the second line's box";
  EXPECT_EQ(section->Read(2 + 3, 2 + 5) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(section->Read(2 + 2, 2 + 0) & 0xFFFFFF, 0x0000C8u) << "the edge over the box";
  EXPECT_EQ(rect, (Rect{1, 1, 2 + 16 + 1, 2 + 32 + 1}));
  EXPECT_EQ(renderer_.DrawTextToDc(&dc, 0, 0, nullptr, nullptr), kTextNotReady);
}

TEST_F(GdiRendererTest, MeasuresLinesAsWholesAndRefusesBadFacesAndHeights) {
  Size size;
  int32_t ox = 1, oy = 1, glyphs = 0;
  renderer_.SetStyle(kTextEdge);
  EXPECT_EQ(renderer_.MeasureText("AB\n\x82\xa0\x82\xa0", &size, &ox, &oy, true, &glyphs), 2);
  EXPECT_EQ(std::tuple(size.width, size.height, ox, glyphs), std::tuple(32 + 2, 32 + 2, -1, 4));
  EXPECT_EQ(renderer_.SetFaceName(std::string(32, 'x').c_str()), kGdiNoFace);
  EXPECT_EQ(renderer_.SetHeight(INT32_MIN), kGdiFontFailed);
  EXPECT_EQ(renderer_.GetLogFont().lfHeight, -16) << "the font is kept";
}

TEST_F(GdiRendererTest, LayerDrawingWritesCoverageIntoAlpha) {
  renderer_.SetAntialiasLevel(0);
  renderer_.SetTextColor(10, 20, 30);
  DibSurface picture;
  MakePicture(picture, 40, 40);
  ASSERT_EQ(renderer_.DrawTextLayer(&picture, 2, 2, "A", nullptr, nullptr), kTextDone);
  EXPECT_EQ(picture.GetPixel(2 + 3, 2 + 5), 0xFF0A141Eu);
  EXPECT_EQ(picture.GetPixel(2 + 7, 2 + 5) >> 24, 0u);
  DibSurface grey;
  MakePicture(grey, 8, 8, 8);
  EXPECT_EQ(renderer_.DrawTextLayer(&grey, 0, 0, "A", nullptr, nullptr), kTextNotReady);
}

}  // namespace
}  // namespace bw
