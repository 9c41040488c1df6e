#include "gui/text_list_part.h"

#include <string>

#include "part_fixture.h"
#include "support/text_renderers.h"

namespace bw::test {
namespace {

constexpr GuiKey kSpace{0x20, 0x39};

// Lists of the 16-pixel fake face with 4 pixels between lines (a pitch of 20), 100 pixels wide
// plus an 8-pixel check box column, at (10, 10); the bar's thumb picture has 2-pixel ends.
class TextLists : public PartTest, public testing_text::FakeFaceRenderers {
 protected:
  void SetUp() override {
    PartTest::SetUp();
    Write("CG/THUMB.BMP", GreyCells(8, 4, 12));
    Write("CG/FLAG.BMP", GreyCells(8, 4, 8));
  }
  TextListLayout Layout(int32_t height, int32_t spacing, const char* flags) {
    // clang-format off
    return {.order = 1, .renderer = &gdi, .height = height, .width = 100, .x = 10, .y = 10,
            .thumbImage = "cg\\thumb.bmp", .thumbStartEdge = 2, .thumbEndEdge = 2, .barLength = 100,
            .barX = 120, .barY = 10, .flagImageName = flags, .lineSpacing = spacing};
    // clang-format on
  }
  int Make(TextListPart* part, int32_t height, int32_t spacing, int lines,
           const char* flags = "cg\\flag.bmp") {
    int result = part->Create(&list_, Layout(height, spacing, flags), 0);
    for (int i = 0; i < lines && result == 0; ++i) {
      (void)part->AddLine(("L" + std::to_string(i)).c_str(), nullptr, i == lines - 1);
    }
    return result;
  }
};

TEST_F(TextLists, CreateSizesTheViewRefusesAPitchBelowOneAndTheFirstLineDecidesTheColumns) {
  TextListPart part;
  ASSERT_EQ(Make(&part, -5, 4, 0), kCreateDone);
  EXPECT_EQ(std::tuple(part.GetHeight(), part.GetWidth()), std::tuple(96, 108))
      << "five lines of 20 less one gap, with the check box column";
  EXPECT_EQ(Make(&part, -5, -16, 0), kCreateBadArguments) << "a pitch of 0";
  EXPECT_EQ(Make(&part, 50, 0, 0, "cg\\none.bmp"), kCreateNoPicture);
  EXPECT_EQ(part.AddLine("x", nullptr, true), kListNotCreated) << "left released";
  TextListLayout shortBar = Layout(50, 0, nullptr);
  shortBar.barLength = 4;
  EXPECT_EQ(part.Create(&list_, shortBar, 0), kCreateBadArguments)
      << "a bar shorter than the thumb's ends";

  TextListPart faces;
  ASSERT_EQ(Make(&faces, 50, 0, 0), kCreateDone);
  (void)faces.AddLine(nullptr, "FaceA", false);
  (void)faces.AddLine("ignored", "FaceB", true);
  EXPECT_EQ(faces.LineCount(), 2) << "the faces are the lines";
  EXPECT_EQ(faces.SetLineFlag(0, 1, false), kListNotCreated) << "check boxes need texts";
  EXPECT_EQ(faces.GetLineFlag(0), 0);

  TextListPart plain;
  ASSERT_EQ(Make(&plain, 50, 0, 3, nullptr), kCreateDone);
  EXPECT_EQ(plain.GetLineFlag(1), 0) << "no check boxes";
  EXPECT_EQ(plain.SelectLine(3), 0);
  EXPECT_EQ(plain.GetSelectedLine(), -1) << "past the end selects nothing";
}

TEST_F(TextLists, KeysMoveTheHoverLineSelectAndToggle) {
  TextListPart part;
  ASSERT_EQ(Make(&part, -5, 4, 10), kCreateDone);
  part.SetId(40);
  (void)part.AddToPointerManager(&tip_, -1);
  ASSERT_EQ(tip_.SetFocus(&part), kFocusDone);
  const struct {
    GuiKey key;
    int times;
    int32_t hover;
    int32_t scrollPos;
  } moves[] = {
      {kDown, 1, 0, 0},   {kUp, 1, 0, 0}, {kDown, 5, 5, 5 * 20 + 16 - 96},
      {kDown, 9, 9, 100}, {kUp, 9, 0, 0},
  };
  for (const auto& m : moves) {
    for (int i = 0; i < m.times; ++i) Press(m.key);
    EXPECT_EQ(std::tuple(part.GetHoverLine(), part.GetScrollList().GetScrollPos()),
              std::tuple(m.hover, m.scrollPos))
        << "after " << m.times << " x " << m.key.code;
  }
  Press(kDown);
  Press(kReturn);
  EXPECT_EQ(std::tuple(part.GetSelectedLine(), tip_.TakeFiredId()), std::tuple(1, 40));
  Press(kReturn);
  EXPECT_EQ(std::tuple(tip_.TakeFiredId(), part.GetLineFlag(1)), std::tuple(-1, 1))
      << "the selection did not change";
  Press(kSpace);
  EXPECT_EQ(std::tuple(part.GetLineFlag(1), tip_.TakeFiredId()), std::tuple(0, 40))
      << "space toggles the hover line's box";
}

TEST_F(TextLists, ThePointerChoosesLinesAndBoxesAndTheBarNeverKeepsTheFocus) {
  TextListPart part;
  ASSERT_EQ(Make(&part, -5, 4, 10), kCreateDone);
  part.SetId(7);
  (void)part.AddToPointerManager(&tip_, -1);
  FakeControl after("after", 300, 300);
  EXPECT_EQ(tip_.AddControl(&after, -1), kAddControlDone);

  MoveTo(12, 55);
  MoveTo(13, 55);
  EXPECT_EQ(std::tuple(tip_.IsFocus(&part), part.GetHoverLine()), std::tuple(true, 2 + 10))
      << "the pointer brings the focus, on the check box of line 2";
  Click();
  EXPECT_EQ(std::tuple(part.GetLineFlag(2), tip_.TakeFiredId()), std::tuple(0, 7));
  ClickAt(60, 55);
  EXPECT_EQ(std::tuple(part.GetSelectedLine(), tip_.TakeFiredId()), std::tuple(2, 7));

  services_.input.OnMouseWheel(static_cast<host::WPARAM>(uint16_t(-120)) << 16);
  services_.input.Poll();
  Step();
  EXPECT_EQ(part.GetScrollList().GetScrollPos(), 20) << "a notch scrolls one line";
  services_.input.Poll();
  MoveTo(60, 56);
  EXPECT_EQ(part.GetHoverLine(), 3);

  Press(kTab);
  EXPECT_EQ(std::tuple(tip_.GetFocus(), part.GetHoverLine()), std::tuple(&after, -1))
      << "the list's bar passes the focus on";
  Press(kTab);
  EXPECT_EQ(std::tuple(tip_.GetFocus(), part.GetHoverLine()), std::tuple(&part, 3))
      << "the hover line comes back with the focus";
  Press(kTab);
  EXPECT_EQ(tip_.GetFocus(), &after);
}

}  // namespace
}  // namespace bw::test
