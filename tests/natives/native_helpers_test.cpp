#include "natives/native_helpers.h"

#include <gtest/gtest.h>

#include <string>

#include "common/sjis.h"
#include "gui/button_part.h"
#include "gui/color_box_part.h"
#include "gui/message_text_widget_base.h"
#include "support/still_control.h"

namespace bw {
namespace {

// A text window that records what it is fed. Its entry takes a whole character, two bytes after
// a lead byte, as a real window's does; '!' makes it answer that it is full.
class RecordingWindow : public test::StillControl<MessageTextWidgetBase> {
 public:
  std::string fed;
  int newLines = 0;
  bool refuseNewLine = false;

  bool NewLine() override {
    if (refuseNewLine) return false;
    ++newLines;
    fed += '|';
    return true;
  }
  int PutChar(const char** cursor) override {
    size_t length = sjis::IsLeadByte(**cursor) ? 2 : 1;
    fed.append(*cursor, length);
    bool full = **cursor == '!';
    *cursor += length;
    return full ? 1 : 0;
  }
  int MoveTo(int32_t, int32_t) override { return 0; }
  int DrawString(const char*, int32_t, int32_t, bool) override { return 0; }
  bool HitFrame(int32_t, int32_t) const override { return false; }
  void PaintItemArea(int32_t, int32_t, int32_t, int32_t) override {}
  int ItemAt(int32_t, int32_t) const override { return -1; }
  void ShowItemHighlight(int, bool) override {}
};

TEST(TextWindowFeed, LineEndsCharactersAndWhereItStops) {
  RecordingWindow w;
  FeedTextWindow(w, "ab\r\ncd\ref\ng\x82\xa0");
  EXPECT_EQ(w.fed, "ab|cd|ef|g\x82\xa0") << "CR LF counts once, a kana is one entry";

  // The terminator right behind a lead byte ends the feed: the byte is no character.
  RecordingWindow cut;
  std::string text = "xy\x82";
  FeedTextWindow(cut, text.c_str());
  EXPECT_EQ(cut.fed, "xy");

  RecordingWindow full;
  FeedTextWindow(full, "ab!cd");
  EXPECT_EQ(full.fed, "ab!") << "a full window stops the feed";

  RecordingWindow refusing;
  refusing.refuseNewLine = true;
  FeedTextWindow(refusing, "a\nb");
  EXPECT_EQ(refusing.fed, "a");
}

TEST(PartAccess, EachKindItsMembersAndRefusals) {
  ButtonPart button;
  ColorBoxPart box;
  RecordingWindow window;
  EXPECT_EQ(GetPartSprite(&button, 0), &button.GetSprite());
  EXPECT_EQ(GetPartSprite(&box, 0), &box.Rect());
  EXPECT_EQ(GetPartSprite(&window, 0), nullptr);
  EXPECT_EQ(GetPartSprite(nullptr, 0), nullptr);
  EXPECT_EQ(GetPartSurface(&button, 0), button.GetCells());
  EXPECT_EQ(GetPartSurface(&box, 0), nullptr) << "a colour box has no surface";

  EXPECT_EQ(SetPartValue(&window, 0, "hi\nyou"), 0);
  EXPECT_EQ(window.fed, "hi|you");
  EXPECT_EQ(SetPartValue(&window, 0, nullptr), 0);
  for (UiControl* part : {static_cast<UiControl*>(&button), static_cast<UiControl*>(&box),
                          static_cast<UiControl*>(nullptr)}) {
    EXPECT_EQ(SetPartValue(part, 1, "x"), kPartRefused);
    EXPECT_EQ(SetPartOption(part, 1), kPartRefused);
    EXPECT_EQ(GetPartValue(part), kPartRefused);
  }
  EXPECT_EQ(SetPartOption(&window, 1), 0);
  EXPECT_TRUE(window.IsDecided());
  EXPECT_EQ(SetPartOption(&window, 0), 0);
  EXPECT_FALSE(window.IsDecided());
}

}  // namespace
}  // namespace bw
