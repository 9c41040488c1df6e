#include "gui/message_text_widget.h"

#include <string_view>
#include <vector>

#include "common/sjis.h"
#include "text_widget_fixture.h"

namespace bw::test {
namespace {

// A message window that keeps where each character went, the strings it was asked to draw and
// the highlights it was told to show.
class RecordingWidget : public MessageTextWidget {
 public:
  int PutChar(const char** cursor) override {
    placed.push_back(GetPenX());
    return MessageTextWidget::PutChar(cursor);
  }
  int DrawString(const char* text, int32_t x, int32_t y, bool) override {
    drawn.push_back({text, x, y});
    return 0;
  }
  void ShowItemHighlight(int index, bool on) override { highlights.push_back(on ? index : ~index); }
  // Types text, answering the first break result that was not kBreakNone.
  int Type(const std::string& text) {
    const char* cursor = text.c_str();
    int seen = kBreakNone;
    while (*cursor) {
      const int result = PutChar(&cursor);
      if (result == kBreakPageFull) return result;
      if (seen == kBreakNone) seen = result;
    }
    return seen;
  }
  struct Drawn {
    std::string text;
    int32_t x, y;
  };
  std::vector<Drawn> drawn;
  std::vector<int32_t> placed;
  std::vector<int> highlights;
};

class TextWidgetTest : public TextWidgetRig {
 protected:
  void SetUp() override {
    TextWidgetRig::SetUp();
    ASSERT_EQ(widget.Create(&list, 10, 640, 120, 0, 0, &main, nullptr, 0), kWidgetDone);
  }
  RecordingWidget widget;
};

using LineBreaking = TextWidgetTest;

TEST_F(LineBreaking, PastTheLimitOnlyKinsokuCharactersHangWhileTheyFit) {
  EXPECT_EQ(widget.GetWrapLimit(), 584) << "640 wide, right margin 8, two cells of 24 kept";
  struct Case {
    const char* previous;
    const char* text;
    int32_t penX;
    int expected;
  } cases[] = {
      {"", "。", 585, kBreakNone},   {"", "あ", 585, kBreakNewLine}, {"「", "あ", 585, kBreakNone},
      {"", "ー", 608, kBreakNone},   {"", "。", 609, kBreakNewLine}, {"", ")", 585, kBreakNone},
      {"", "a", 585, kBreakNewLine}, {"(", "a", 585, kBreakNone},    {"", "あ", 584, kBreakNone},
  };
  for (const Case& c : cases) {
    widget.SetPen(c.penX, 8);
    widget.SetPreviousChar(0);
    const std::string previous = Cp932Literal(c.previous);
    if (!previous.empty()) {
      const bool wide = previous.size() == 2;
      widget.SetPreviousChar(wide ? sjis::CharAt(previous, 0) : uint16_t(previous[0] << 8));
    }
    EXPECT_EQ(widget.Type(Cp932Literal(c.text)), c.expected)
        << c.previous << c.text << " at " << c.penX;
  }
}

using LinkItems = TextWidgetTest;

TEST_F(LinkItems, AnItemOverTwoLinesHasTwoAreasAndEitherEntersIt) {
  ASSERT_EQ(tip.AddControl(&widget, -1), kAddControlDone);
  const uint32_t words = services.memory.Allocate(12);
  auto add = [&] {
    return widget.AddItem({.label = "label",
                           .labelValue = 7,
                           .clickedVar = words,
                           .hoveredVar = words + 4,
                           .notHoveredVar = words + 8},
                          "tip", 0xFF00FF00);
  };
  EXPECT_EQ(add(), kAddItemRefused) << "links are off";
  ASSERT_EQ(widget.EnableLinks(true, true), kWidgetDone);
  ASSERT_EQ(add(), kAddItemDone);
  EXPECT_EQ(add(), kAddItemRefused) << "one item is open";
  widget.SetPen(560, 8);
  widget.Type(Cp932Literal("あいうえ"));
  widget.CloseItem();
  const TextLinkItem* item = widget.GetItem(0);
  ASSERT_EQ(item->area.size(), 2u) << "the break ended the first area and began another";
  EXPECT_EQ(item->area[0].x, 558);
  EXPECT_EQ(item->area[0].width, 24 + 2 + 2 + 24);
  EXPECT_EQ(item->area[1].y, 8 + widget.GetLinePitch() - 2);
  EXPECT_TRUE(item->active);

  widget.OnPointerOver(item->area[0].x + 1, item->area[0].y + 1);
  EXPECT_EQ(widget.GetHoveredItem(), -1) << "right after closing, the pointer is re-checked";
  widget.OnPointerOver(item->area[1].x + 10, item->area[1].y + 10);
  EXPECT_EQ(widget.GetHoveredItem(), 0);
  uint32_t hovered = 0, notHovered = 9, chosen = 0;
  services.memory.Read32(words + 4, hovered);
  services.memory.Read32(words + 8, notHovered);
  EXPECT_EQ(std::pair(hovered, notHovered), std::pair(1u, 0u));
  EXPECT_STREQ(widget.GetTooltipText(), "tip");
  widget.OnPointerOver(item->area[0].x + 1, item->area[0].y + 1);
  EXPECT_EQ(widget.highlights, (std::vector<int>{0})) << "moving within the item keeps it";

  widget.SetId(40);
  EXPECT_TRUE(widget.SelectItem(0));
  services.memory.Read32(words, chosen);
  EXPECT_EQ(chosen, 1u);
  EXPECT_EQ(tip.GetFiredId(), 40);
  EXPECT_TRUE(widget.IsDecided());
  EXPECT_EQ(tip.sounds.back(), kDefaultClickSound);
  EXPECT_FALSE(widget.SelectItem(1)) << "no such item";
  tip.RemoveControl(&widget);
}

using PlacedStrings = TextWidgetTest;

TEST_F(PlacedStrings, AlignmentsPlaceInTheAreaAndPastTheLastAsLeft) {
  const std::string text = "ABCD";  // 48 wide at 24
  for (int alignment : {0, 1, 2, 3, 4, 9}) widget.DrawStringAligned(text.c_str(), alignment);
  ASSERT_EQ(widget.drawn.size(), 6u);
  const int32_t areaWidth = 640 - 16 + 4;
  const int32_t w = areaWidth - 48;
  EXPECT_EQ(widget.drawn[0].x, w >> 1);
  EXPECT_GE(widget.drawn[0].y, 0) << "centred both ways";
  EXPECT_EQ(widget.drawn[1].y, -1) << "keeps the line";
  EXPECT_EQ(widget.drawn[2].x, 0);
  EXPECT_EQ(widget.drawn[3].x, w);
  EXPECT_EQ(widget.drawn[4].x, 0);
  EXPECT_EQ(widget.drawn[5].x, 0);
}

TEST_F(PlacedStrings, JustifiedTextSpreadsItsCharactersEvenly) {
  const std::string text = Cp932Literal("あいう");  // 72 wide
  widget.DrawStringJustified(text.c_str(), Rect{100, 20, 100 + 172 - 4, 44});
  // 100 free over 4 gaps: 25 each, nothing left over.
  EXPECT_EQ(widget.placed, (std::vector<int32_t>{125, 174, 223}));
  EXPECT_EQ(widget.GetPenX(), 272);
}

}  // namespace
}  // namespace bw::test
