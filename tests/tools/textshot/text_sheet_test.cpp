#include "lib/textshot/text_sheet.h"

#include <gtest/gtest.h>

#include <cstring>

namespace bw::tools {
namespace {

// Each sample is drawn where its text measures: it inks its own box, and nothing on the sheet
// lies outside the boxes. A face made bold grows its outline by a pixel on every side, past the
// em the line measures: one pixel around each box is allowed.
TEST(TextSheetTest, EverySampleInksItsMeasuredBoxAndNothingElse) {
  ImageSurface sheet;
  std::vector<TextSample> samples;
  std::string error;
  ASSERT_TRUE(DrawTextSheet(&sheet, &samples, &error)) << error;
  ASSERT_EQ(samples.size(), 12u);
  auto inked = [&](int x, int y) {
    uint32_t v = 0;
    std::memcpy(&v, sheet.GetRowPointer(y) + x * 4, 4);
    return (v & 0xFFFFFF) != kSheetBackground;
  };
  std::vector<int> inside(samples.size(), 0);
  int strays = 0;
  for (int y = 0; y < kSheetHeight; ++y)
    for (int x = 0; x < kSheetWidth; ++x) {
      bool near = false;
      for (size_t i = 0; i < samples.size(); ++i) {
        const Rect& r = samples[i].box;
        inside[i] += x >= r.left && x < r.right && y >= r.top && y < r.bottom && inked(x, y);
        near = near || (x >= r.left - 1 && x <= r.right && y >= r.top - 1 && y <= r.bottom);
      }
      if (!near && inked(x, y) && strays++ < 3)
        ADD_FAILURE() << "ink outside every box at " << x << ", " << y;
    }
  EXPECT_EQ(strays, 0);
  for (size_t i = 0; i < samples.size(); ++i) {
    EXPECT_GT(inside[i], samples[i].box.Width() * samples[i].box.Height() / 20) << samples[i].name;
  }
}

}  // namespace
}  // namespace bw::tools
