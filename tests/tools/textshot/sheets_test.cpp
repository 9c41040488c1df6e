// The sample sheets the text and message pictures are checked against: each sample is drawn where
// its text measures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "lib/textshot/message_sheet.h"
#include "lib/textshot/text_sheet.h"

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

bool Inked(uint32_t v) {
  return v != kSheetBackground;
}

// Inked pixels further than margin outside every sample's box.
int Strays(const ImageSurface& s, const std::vector<TextSample>& samples, int32_t margin) {
  int strays = 0;
  for (int32_t y = 0; y < s.GetHeight(); ++y)
    for (int32_t x = 0; x < s.GetWidth(); ++x) {
      const bool near = std::any_of(samples.begin(), samples.end(), [&](const TextSample& t) {
        return x >= t.box.left - margin && x < t.box.right + margin && y >= t.box.top - margin &&
               y < t.box.bottom + margin;
      });
      if (!near && Inked(At(s, x, y)) && strays++ < 3)
        ADD_FAILURE() << "ink outside every box at " << x << ", " << y;
    }
  return strays;
}

// Every window inks its own rectangle and nothing lies outside them; the link is tinted by its
// highlight and the wait mark stands after the text. Every text sample inks its measured box.
TEST(SheetsTest, SamplesWindowsAndMarksAreWhereTheyWereLaidOut) {
  ImageSurface sheet;
  std::vector<TextSample> samples;
  MessageMarks marks;
  std::string error;
  ASSERT_TRUE(DrawMessageSheet(&sheet, &samples, &marks, &error)) << error;
  ASSERT_EQ(samples.size(), 5u);
  ASSERT_EQ(std::pair(sheet.GetWidth(), sheet.GetHeight()),
            std::pair(kMessageSheetWidth, kMessageSheetHeight));
  for (const TextSample& s : samples)
    EXPECT_GT(Count(sheet, s.box, Inked), s.box.Width() * s.box.Height() * 9 / 10) << s.name;
  EXPECT_EQ(Strays(sheet, samples, 0), 0);

  const auto blue = [](uint32_t v) { return (v & 0xFF) > ((v >> 16) & 0xFF) + 60; };
  EXPECT_GT(Count(sheet, marks.link, blue), marks.link.Width() * marks.link.Height() / 3);
  const auto yellow = [](uint32_t v) {
    return ((v >> 16) & 0xFF) > 0x90 && ((v >> 8) & 0xFF) > 0x90 && (v & 0xFF) < 0x60;
  };
  EXPECT_GT(Count(sheet, marks.waitMark, yellow), 20);

  // A face made bold grows its outline by a pixel on every side, past the em the line measures:
  // one pixel around each box is allowed.
  ImageSurface text;
  std::vector<TextSample> lines;
  ASSERT_TRUE(DrawTextSheet(&text, &lines, &error)) << error;
  ASSERT_EQ(lines.size(), 12u);
  ASSERT_EQ(std::pair(text.GetWidth(), text.GetHeight()), std::pair(kSheetWidth, kSheetHeight));
  for (const TextSample& s : lines)
    EXPECT_GT(Count(text, s.box, Inked), s.box.Width() * s.box.Height() / 20) << s.name;
  EXPECT_EQ(Strays(text, lines, 1), 0);
}

}  // namespace
}  // namespace bw::tools
