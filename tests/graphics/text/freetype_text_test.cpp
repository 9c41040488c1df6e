// The outline renderer on the installed Japanese faces.
#include <gtest/gtest.h>

#include <string>

#include "graphics/text/outline_text_renderer.h"
#include "graphics/text/text_angles.h"
#include "graphics/text/text_test_support.h"
#include "host/cp932.h"
#include "host/font/font.h"

namespace bw {
namespace {

using text_test::InkBox;
using text_test::MakePicture;

std::string Sjis(const char* utf8) {
  return host::Utf8ToCp932(utf8).text;
}

class FreeTypeTextTest : public text_test::TextFixture {
 protected:
  void SetUp() override {
    host::LOGFONTA lf;
    lf.lfHeight = -24;
    const std::string face = Sjis("ＭＳ ゴシック");
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    auto font = host::CreateFontIndirectA(lf);
    if (!font || font->InstalledFamily().rfind("IPA", 0) != 0) {
      GTEST_SKIP() << "the IPA Gothic face is not installed";
    }
  }
  OutlineTextRenderer renderer_{host::FreeTypeGlyphSource(), 512};
};

TEST_F(FreeTypeTextTest, AJapaneseLineStaysInsideItsMeasuredBox) {
  const std::string text = Sjis("日本語のテキスト、Ａｂｃ。Ag");
  ASSERT_EQ(renderer_.SetFont(24, false, false, Sjis("ＭＳ ゴシック").c_str()), 0);
  Size size;
  ASSERT_EQ(renderer_.MeasureText(text.c_str(), &size, nullptr, nullptr, false, nullptr), 1);
  ASSERT_EQ(size.height, 24);
  DibSurface picture;
  MakePicture(picture, size.width + 40, 80);
  Rect rect;
  ASSERT_EQ(renderer_.DrawText(&picture, 20, 20, text.c_str(), &rect, nullptr), kTextDone);
  const Rect ink = InkBox(picture);
  ASSERT_FALSE(ink.IsEmpty());
  EXPECT_TRUE(ink.left >= 20 && ink.top >= 20 && ink.right <= 20 + size.width &&
              ink.bottom <= 20 + size.height);
  EXPECT_GT(ink.Width(), size.width * 3 / 4);
}

TEST_F(FreeTypeTextTest, AnAtFaceAt2700StandsUprightInItsCells) {
  const std::string text = Sjis("一一");
  ASSERT_EQ(renderer_.SetFont(24, false, false, Sjis("@ＭＳ ゴシック").c_str()), 0);
  ASSERT_EQ(renderer_.SetOrientation(kVerticalAngle), 0);
  DibSurface picture;
  MakePicture(picture, 80, 100);
  Point end;
  ASSERT_EQ(renderer_.DrawText(&picture, 50, 10, text.c_str(), nullptr, &end), kTextDone);
  EXPECT_EQ(std::pair(end.x, end.y), std::pair(50, 10 + 48));
  const Rect ink = InkBox(picture);
  ASSERT_FALSE(ink.IsEmpty());
  // The column of cells runs down from (50, 10), its width one em to the left.
  EXPECT_TRUE(ink.left >= 50 - 24 && ink.right <= 50 && ink.top >= 10 && ink.bottom <= 10 + 48);
  // Each cell holds one upright horizontal stroke: wide, and one per cell.
  for (int cell = 0; cell < 2; ++cell) {
    DibSurface one;
    MakePicture(one, 80, 100);
    ASSERT_EQ(
        renderer_.DrawText(&one, 50, 10 + 24 * cell, text.substr(0, 2).c_str(), nullptr, nullptr),
        kTextDone);
    const Rect stroke = InkBox(one);
    EXPECT_GT(stroke.Width(), 3 * stroke.Height()) << "upright in cell " << cell;
    EXPECT_GE(stroke.top, 10 + 24 * cell);
    EXPECT_LE(stroke.bottom, 10 + 24 * (cell + 1));
  }
}

}  // namespace
}  // namespace bw
