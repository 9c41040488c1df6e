#include "lib/textshot/message_sheet.h"

#include <gtest/gtest.h>

#include <cstring>

namespace bw::tools {
namespace {

uint32_t At(const ImageSurface& s, int32_t x, int32_t y) {
  uint32_t v = 0;
  std::memcpy(&v, s.GetRowPointer(y) + x * 4, 4);
  return v & 0xFFFFFF;
}

int Count(const ImageSurface& s, const Rect& r, bool (*test)(uint32_t)) {
  int n = 0;
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) n += test(At(s, x, y));
  return n;
}

// Every window inks its own rectangle and nothing lies outside them; the link is tinted by its
// highlight and the wait mark stands after the text.
TEST(MessageSheetTest, WindowsAndTheirMarksAreWhereTheyWereLaidOut) {
  ImageSurface sheet;
  std::vector<TextSample> samples;
  MessageMarks marks;
  std::string error;
  ASSERT_TRUE(DrawMessageSheet(&sheet, &samples, &marks, &error)) << error;
  ASSERT_EQ(samples.size(), 5u);
  for (const TextSample& s : samples) {
    const int inked = Count(sheet, s.box, [](uint32_t v) { return v != kSheetBackground; });
    EXPECT_GT(inked, s.box.Width() * s.box.Height() * 9 / 10) << s.name;
  }
  int strays = 0;
  for (int32_t y = 0; y < kMessageSheetHeight; ++y)
    for (int32_t x = 0; x < kMessageSheetWidth; ++x) {
      bool inside = false;
      for (const TextSample& s : samples) {
        inside =
            inside || (x >= s.box.left && x < s.box.right && y >= s.box.top && y < s.box.bottom);
      }
      strays += !inside && At(sheet, x, y) != kSheetBackground;
    }
  EXPECT_EQ(strays, 0);

  const auto blue = [](uint32_t v) { return (v & 0xFF) > ((v >> 16) & 0xFF) + 60; };
  const int tinted = Count(sheet, marks.link, blue);
  EXPECT_GT(tinted, marks.link.Width() * marks.link.Height() / 3);

  const auto yellow = [](uint32_t v) {
    return ((v >> 16) & 0xFF) > 0x90 && ((v >> 8) & 0xFF) > 0x90 && (v & 0xFF) < 0x60;
  };
  EXPECT_GT(Count(sheet, marks.waitMark, yellow), 20);
}

}  // namespace
}  // namespace bw::tools
