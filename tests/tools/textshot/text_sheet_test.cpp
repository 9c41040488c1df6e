#include "lib/textshot/text_sheet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace bw::tools {
namespace {

uint32_t Rgb(const ImageSurface& sheet, int x, int y) {
  uint32_t v = 0;
  std::memcpy(&v, sheet.GetRowPointer(y) + x * 4, 4);
  return v & 0xFFFFFF;
}

// Within the box or the one pixel around it: a face made bold grows its outline by a pixel on
// every side, past the em the line measures.
bool Near(const Rect& r, int x, int y) {
  return x >= r.left - 1 && x <= r.right && y >= r.top - 1 && y <= r.bottom;
}

// Each sample is drawn where its text measures: it inks its own box, and nothing on the sheet
// lies outside every box.
TEST(TextSheetTest, EverySampleInksItsMeasuredBoxAndNothingElse) {
  ImageSurface sheet;
  std::vector<TextSample> samples;
  std::string error;
  ASSERT_TRUE(DrawTextSheet(&sheet, &samples, &error)) << error;
  ASSERT_EQ(samples.size(), 11u);
  for (const TextSample& s : samples) {
    int inked = 0;
    for (int y = std::max(s.box.top, 0); y < std::min(s.box.bottom, kSheetHeight); ++y)
      for (int x = std::max(s.box.left, 0); x < std::min(s.box.right, kSheetWidth); ++x)
        inked += Rgb(sheet, x, y) != kSheetBackground;
    EXPECT_GT(inked, s.box.Width() * s.box.Height() / 20) << s.name << " inks its box";
  }
  int strays = 0;
  for (int y = 0; y < kSheetHeight; ++y)
    for (int x = 0; x < kSheetWidth; ++x) {
      bool boxed = false;
      for (const TextSample& s : samples) boxed = boxed || Near(s.box, x, y);
      if (!boxed && Rgb(sheet, x, y) != kSheetBackground && strays++ < 5) {
        ADD_FAILURE() << "ink outside every box at " << x << ", " << y;
      }
    }
  EXPECT_EQ(strays, 0);
}

}  // namespace
}  // namespace bw::tools
