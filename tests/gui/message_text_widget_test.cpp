#include "gui/message_text_widget.h"

#include <vector>

#include "common/sjis.h"
#include "part_fixture.h"
#include "text_widget_fixture.h"

namespace bw::test {
namespace {

constexpr uint32_t kPageBackground = 0x80000000;  // the default colour at opacity 128

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
  void ShowItemHighlight(int index, bool on) override {
    highlights.push_back(on ? index : ~index);
    MessageTextWidget::ShowItemHighlight(index, on);
  }
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

class MessageWidget : public TextWidgetRig {
 protected:
  void SetUp() override {
    TextWidgetRig::SetUp();
    ASSERT_EQ(widget.Create(&list, 10, 640, 120, 0, 0, &main, &ruby, 0), kWidgetDone);
  }
  RecordingWidget widget;
};

using LineBreaking = MessageWidget;

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

using LinkItems = MessageWidget;

TEST_F(LinkItems, AnItemOverTwoLinesHasTwoAreasAndTheMapTellsTheLastOf255FromNone) {
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
  EXPECT_EQ(std::tuple(item->area[0].x, item->area[0].width, item->area[1].y),
            std::tuple(558, 24 + 2 + 2 + 24, 8 + widget.GetLinePitch() - 2));

  widget.OnPointerOver(item->area[0].x + 1, item->area[0].y + 1);
  EXPECT_EQ(widget.GetHoveredItem(), -1) << "right after closing, the pointer is re-checked";
  widget.OnPointerOver(item->area[1].x + 10, item->area[1].y + 10);
  EXPECT_EQ(widget.GetHoveredItem(), 0);
  ASSERT_EQ(widget.HighlightsInUse(), 2u) << "one rect for each line";
  for (size_t i = 0; i < 2; ++i) {
    Rect r;
    widget.Highlight(i)->GetRect(&r);
    EXPECT_EQ(std::pair(r.left, r.Width()), std::pair(item->area[i].x, item->area[i].width)) << i;
    EXPECT_TRUE(widget.Highlight(i)->IsVisible()) << i;
  }
  EXPECT_EQ(list.Count(), 3u) << "the page and two highlights";
  auto word = [&](uint32_t address) {
    uint32_t value = 9;
    services.memory.Read32(address, value);
    return value;
  };
  EXPECT_EQ(std::tuple(word(words + 4), word(words + 8)), std::tuple(1u, 0u));
  EXPECT_STREQ(widget.GetTooltipText(), "tip");
  widget.OnPointerOver(item->area[0].x + 1, item->area[0].y + 1);
  EXPECT_EQ(widget.highlights, (std::vector<int>{0})) << "moving within the item keeps it";
  widget.OnPointerOver(0, 0);
  EXPECT_FALSE(widget.Highlight(0)->IsVisible()) << "leaving the item hides it";

  widget.SetId(40);
  EXPECT_TRUE(widget.SelectItem(0));
  EXPECT_EQ(std::tuple(word(words), tip.GetFiredId(), widget.IsDecided(), tip.sounds.back()),
            std::tuple(1u, 40, true, kDefaultClickSound));
  EXPECT_FALSE(widget.SelectItem(1)) << "no such item";
  tip.RemoveControl(&widget);
  widget.ClearPage();
  EXPECT_EQ(std::tuple(widget.GetItemCount(), widget.ItemAt(570, 20)), std::tuple(0u, -1));

  // The item map tells the last of 255 items from none, and refuses more.
  MessageTextWidget big;
  ASSERT_EQ(big.Create(&list, 10, 640, 480, 0, 0, &main, nullptr, 0), kWidgetDone);
  (void)big.EnableLinks(true, true);
  for (int i = 0; i < 255; ++i) {
    ASSERT_EQ(big.AddItem({.label = "x"}, nullptr, 0), kAddItemDone);
    const char* cursor = "a";
    (void)big.PutChar(&cursor);
    big.CloseItem();
  }
  EXPECT_EQ(big.AddItem({.label = "x"}, nullptr, 0), kAddItemRefused);
  (void)big.ClaimPointer(639, 479);
  const ItemRect& last = big.GetItem(254)->area.front();
  EXPECT_EQ(big.ItemAt(last.x + 1, last.y + 1), 254);
  const ItemRect& first = big.GetItem(0)->area.front();
  EXPECT_EQ(big.ItemAt(first.x + 1, first.y + 1), 0);
}

using PlacedStrings = MessageWidget;

TEST_F(PlacedStrings, AlignmentsPlaceInTheAreaPastTheLastAsLeftAndJustifiedTextEvenly) {
  const std::string text = "ABCD";  // 48 wide at 24
  for (int alignment : {0, 1, 2, 3, 4}) widget.DrawStringAligned(text.c_str(), alignment);
  ASSERT_EQ(widget.drawn.size(), 5u);
  const int32_t areaWidth = 640 - 16 + 4;
  const int32_t w = areaWidth - 48;
  EXPECT_EQ(widget.drawn[0].x, w >> 1);
  EXPECT_GE(widget.drawn[0].y, 0) << "centred both ways";
  EXPECT_EQ(widget.drawn[1].y, -1) << "keeps the line";
  EXPECT_EQ(std::tuple(widget.drawn[2].x, widget.drawn[3].x, widget.drawn[4].x),
            std::tuple(0, w, 0))
      << "past the last: left";

  const std::string kana = Cp932Literal("あいう");  // 72 wide
  widget.DrawStringJustified(kana.c_str(), Rect{100, 20, 100 + 172 - 4, 44});
  // 100 free over 4 gaps: 25 each, nothing left over.
  EXPECT_EQ(widget.placed, (std::vector<int32_t>{125, 174, 223}));
  EXPECT_EQ(widget.GetPenX(), 272);
}

TEST(TypedGlyphs, AtSignsDigitsAndTwoByteCharactersAreReadAsTheRendererDrawsThem) {
  struct Case {
    const char* text;
    const char* drawn;
    size_t consumed;
    uint16_t kinsoku;
  } cases[] = {
      {"@@x", "@@", 2, '@'},         {"@123x", "@123", 4, 0}, {"@x", "@", 1, 0},
      {"@1234567", "@123456", 7, 0}, {"a", "a", 1, 'a'},      {"\x82\xA0", "\x82\xA0", 2, 0x82A0},
      {"\x82", "\x82", 1, 0x82},  // a lead byte at the end stands alone
  };
  for (const Case& c : cases) {
    const TypedGlyph g = MessageTextWidget::ReadGlyph(c.text);
    EXPECT_EQ(std::tuple(std::string(g.text), g.consumed, g.kinsokuChar),
              std::tuple(std::string(c.drawn), c.consumed, c.kinsoku))
        << c.text;
  }
}

TEST_F(MessageWidget, ADestroyedWidgetForgetsItsListSoTheListMayGoFirst) {
  auto own = std::make_unique<DisplayObjectList>();
  auto second = std::make_unique<MessageTextWidget>();
  ASSERT_EQ(second->Create(own.get(), 10, 64, 32, 0, 0, &main, nullptr, 0), kWidgetDone);
  second->Destroy();
  own.reset();
  second.reset();  // destroys the page again: it must not reach the list that is gone
  EXPECT_EQ(widget.Recreate(0, 0), kWidgetDone);
}

TEST_F(MessageWidget, CharactersSitOnTheLineBottomAndAdvanceByTheirWidthAndTheGap) {
  EXPECT_EQ(widget.GetLineHeight(), 36) << "24 and the ruby's 12 above it";
  widget.SetGaps(0, 3, 0);
  const std::string text = Cp932Literal("あa");
  const char* cursor = text.c_str();
  EXPECT_EQ(widget.PutChar(&cursor), kBreakNone);
  EXPECT_EQ(widget.GetPenX(), 8 + 24 + 3);
  EXPECT_EQ(widget.PutChar(&cursor), kBreakNone);
  EXPECT_EQ(widget.GetPenX(), 8 + 24 + 3 + 12 + 3);
  EXPECT_GT(InkIn(widget.Page(), {8, 20, 32, 44}, kPageBackground), 300) << "cell at the bottom";
  EXPECT_EQ(InkIn(widget.Page(), {0, 0, 640, 20}, kPageBackground), 0) << "nothing in ruby room";

  widget.SetCentreWide(true);
  const std::string space = Cp932Literal("　い");
  cursor = space.c_str();
  const int32_t start = widget.GetPenX();
  widget.PutChar(&cursor);
  widget.PutChar(&cursor);
  EXPECT_EQ(widget.GetPenX(), start + 2 * (24 + 3)) << "a blank centred cell still advances";
}

TEST_F(MessageWidget, RubyIsCentredOverItsCharacterAndThenDropped) {
  ASSERT_TRUE(widget.SetRubyText("ab"));
  const std::string text = Cp932Literal("漢字");
  const char* cursor = text.c_str();
  widget.PutChar(&cursor);
  EXPECT_EQ(widget.GetPendingRuby(), nullptr);
  // Ruby 12 high, two narrow glyphs of 6: 12 wide, centred over the 24-wide cell at x 8.
  EXPECT_GT(InkIn(widget.Page(), {14, 8, 26, 20}, kPageBackground), 60);
  EXPECT_EQ(InkIn(widget.Page(), {0, 8, 13, 20}, kPageBackground), 0);
  widget.PutChar(&cursor);
  EXPECT_EQ(InkIn(widget.Page(), {32, 0, 640, 20}, kPageBackground), 0) << "only once";
}

TEST_F(MessageWidget, NewLineOnTheLastLineAnswersFullAndKeepsThePen) {
  // Pitch 40 on a page of 120 with margins of 8: two lines.
  EXPECT_FALSE(widget.NewLine());
  EXPECT_EQ(std::tuple(widget.GetPenY(), widget.IsPageFull()), std::tuple(48, true));
  widget.SetPen(100, 48);
  EXPECT_TRUE(widget.NewLine());
  EXPECT_EQ(std::tuple(widget.GetPenX(), widget.GetPenY()), std::tuple(100, 48));
  const std::string text = Cp932Literal("あ");
  const char* cursor = text.c_str();
  widget.SetPen(600, 48);
  EXPECT_EQ(widget.PutChar(&cursor), kBreakPageFull);
  EXPECT_EQ(cursor, text.c_str()) << "nothing consumed";
}

TEST_F(MessageWidget, VerticalLayoutTurnsTheFacesOrFailsWithTheRenderersCode) {
  const std::string face = Cp932Literal("ＭＳ ゴシック");
  ASSERT_EQ(widget.SetVertical(true, true), kWidgetDone);
  EXPECT_EQ(std::tuple(std::string(main.GetLogFont().lfFaceName),
                       std::string(ruby.GetLogFont().lfFaceName)),
            std::tuple("@" + face, "@" + face));
  EXPECT_EQ(widget.GetPenX(), 640 - 8 + 1);
  EXPECT_EQ(widget.GetLineHeight(), 24) << "no ruby room across a column";

  ASSERT_EQ(widget.PutUpright("12"), kWidgetDone);
  EXPECT_EQ(widget.GetPenY(), 8 + 24) << "one cell whatever the run's length";
  EXPECT_EQ(main.GetLogFont().lfEscapement, kVerticalTenths) << "face put back";

  // Characters go down the column; a break starts the next column to the left.
  const std::string text(10, 'a');
  const char* cursor = text.c_str();
  while (*cursor) widget.PutChar(&cursor);
  EXPECT_LT(widget.GetPenX(), 633);
  EXPECT_EQ((633 - widget.GetPenX()) % widget.GetLinePitch(), 0) << "whole columns to the left";

  ASSERT_EQ(widget.SetVertical(false, true), kWidgetDone);
  EXPECT_EQ(std::tuple(std::string(main.GetLogFont().lfFaceName), main.GetLogFont().lfEscapement),
            std::tuple(face, kHorizontalTenths));
  EXPECT_EQ(widget.PutUpright("12"), kUprightNotVertical);

  // A face with no room for the vertical mark fails with its renderer's code.
  const std::string longFace(31, 'F');
  ASSERT_EQ(ruby.SetFaceName(longFace.c_str()), 0);
  EXPECT_EQ(widget.SetVertical(true, false), kVerticalRubyVertical);
  EXPECT_EQ(std::string(ruby.GetLogFont().lfFaceName), longFace) << "the face is left alone";
  ASSERT_EQ(main.SetFaceName(longFace.c_str()), 0);
  EXPECT_EQ(widget.SetVertical(true, false), kVerticalMainVertical);
}

// A frame picture in regions: corners red, edges green, middle blue (32 x 32, slices of 8 and
// tiles of 16).
std::unique_ptr<ImageSurface> FramePicture(int32_t size, int32_t part) {
  auto s = std::make_unique<ImageSurface>();
  (void)s->Create(size, size, 32, kImageDibSection);
  for (int32_t y = 0; y < size; ++y)
    for (int32_t x = 0; x < size; ++x) {
      const bool edgeX = x < part || x >= size - part, edgeY = y < part || y >= size - part;
      (void)s->SetPixel(x, y,
                        edgeX && edgeY   ? 0xFFFF0000
                        : edgeX || edgeY ? 0xFF00FF00
                                         : 0xFF0000FF);
    }
  return s;
}

TEST_F(MessageWidget, AFramedWindowRoundsItsSizeToWholeTilesAndLaysOutNineParts) {
  EXPECT_FALSE(widget.SetFrameSlices(8, 8, 0, 16)) << "a tile of no pixels never ends";
  ASSERT_TRUE(widget.SetFrameSlices(8, 8, 16, 16));
  const auto frame = FramePicture(32, 8);
  ASSERT_EQ(widget.SetBackgroundImages(frame.get(), nullptr, nullptr, false), kWidgetDone);
  ASSERT_EQ(widget.Resize(100, 60, false), kWidgetDone);
  EXPECT_EQ(std::pair(widget.GetWidth(), widget.GetHeight()), std::pair(112, 64));
  const ImageSurface& page = widget.Page();
  struct Probe {
    int32_t x, y;
    uint32_t rgb;
  } probes[] = {{0, 0, 0xFF0000},    {111, 63, 0xFF0000}, {50, 2, 0x00FF00},
                {109, 30, 0x00FF00}, {50, 30, 0x0000FF},  {103, 55, 0x0000FF}};
  for (const Probe& p : probes) {
    EXPECT_EQ(page.GetPixel(p.x, p.y) & 0xFFFFFF, p.rgb) << p.x << ", " << p.y;
  }
  EXPECT_FALSE(widget.SetFrameSlices(8, 8, 16, 16)) << "fixed once a background exists";
}

TEST_F(MessageWidget, AFramePictureSmallerThanItsSlicesIsCopiedWithoutTiles) {
  ASSERT_TRUE(widget.SetFrameSlices(8, 8, 16, 16));
  const auto frame = FramePicture(12, 4);
  ASSERT_EQ(widget.SetBackgroundImages(frame.get(), nullptr, nullptr, false), kWidgetDone);
  ASSERT_EQ(widget.Resize(50, 40, false), kWidgetDone);
  EXPECT_EQ(widget.GetWidth(), 50) << "no rounding by negative parts";
  EXPECT_EQ(widget.Page().GetPixel(0, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(widget.Page().GetPixel(6, 6) & 0xFFFFFF, 0x0000FFu);
}

class MessageWidgetImages : public PartTest {
 protected:
  void SetUp() override {
    PartTest::SetUp();
    (void)main_.SetFont(24, false, false, nullptr);
    ASSERT_EQ(widget_.Create(&list_, 1, 200, 80, 0, 0, &main_, nullptr, 0), kWidgetDone);
    std::vector<std::vector<uint8_t>> mark(4, std::vector<uint8_t>(4, 255));
    mark[0][0] = 0;  // 4 x 4, black at the corner, white elsewhere
    Write("CG/MARK.BMP", IndexPicture(mark));
  }
  OutlineTextRenderer main_{testing_text::FakeSource(), 16};
  MessageTextWidget widget_;
};

TEST_F(MessageWidgetImages, AnImageSitsOnTheLineBottomKeyedByItsOwnPixelWhenThatExists) {
  // The line is 24 high from y 8: the image's top is at 8 + 24 - 4.
  ASSERT_EQ(widget_.DrawImage("cg\\mark.bmp", 0, 0), kWidgetDone);
  EXPECT_EQ(widget_.Page().GetPixel(8, 28), kPageBackground) << "keyed corner";
  EXPECT_EQ(widget_.Page().GetPixel(9, 28) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(widget_.GetPenX(), 12);
  // A key pixel outside the picture: no key, the black corner is drawn.
  ASSERT_EQ(widget_.DrawImage("cg\\mark.bmp", 40, 40), kWidgetDone);
  EXPECT_EQ(widget_.Page().GetPixel(12, 28) & 0xFFFFFF, 0u);
  EXPECT_EQ(widget_.DrawImage("cg\\none.bmp", -1, -1), kImageLoadFailed);
}

}  // namespace
}  // namespace bw::test
