#include "gui/image_list_part.h"

#include "gui/click_action.h"
#include "part_fixture.h"
#include "platform/bit_set.h"
#include "support/text_renderers.h"
#include "text_widget_fixture.h"

namespace bw::test {
namespace {

// Three items at (10, 10), 60 x 20 each: "A" (key 5), "B" (disabled), "C".
class Menu : public PartTest, public testing_text::FakeFaceRenderers {
 protected:
  void SetUp() override {
    PartTest::SetUp();
    services_.x = services_.y = 300;
    ASSERT_EQ(flags.Allocate(64), 0u);
    ASSERT_EQ(menu.Setup(&list_, 0, 0, 0, 60, 20, 0, &gdi, 0), 0);
    (void)menu.SetPosition(10, 10);
    (void)menu.SetReadFlags(&flags, 8, result);
    ASSERT_EQ(menu.AddCell("A", nullptr, false, 5, nullptr, -1, nullptr, clicked, 0, 0), 0);
    ASSERT_EQ(menu.AddCell("B", nullptr, true, -1, nullptr, -1, nullptr, 0, 0, 0), 0);
    ASSERT_EQ(menu.AddCell("C", nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0), 0);
    menu.SetId(40);
    EXPECT_EQ(tip_.AddControl(&menu, -1), kAddControlDone);
  }
  // A frame with the devices read afresh, so that a held button is no new press.
  void MoveTo(int32_t x, int32_t y) {
    services_.input.Poll();
    PartTest::MoveTo(x, y);
  }
  int32_t Look(int32_t index) { return menu.GetCellSprite(index)->GetSourceRect().left / 60; }
  // The text is smoothed: the strongest pixel of a look (by the mask's channels) shows its colour.
  static uint32_t Strongest(const ImageSurface* s, int look, uint32_t mask) {
    uint32_t best = 0;
    for (int32_t y = 0; y < 20; ++y) {
      for (int32_t x = 60 * look; x < 60 * (look + 1); ++x) {
        const uint32_t v = s->GetPixel(x, y);
        if ((v & mask) > (best & mask)) best = v;
      }
    }
    return best & 0xFFFFFF;
  }

  BitSet flags;
  uint32_t result = NewWord();
  uint32_t clicked = NewWord();
  ImageListPart menu;
};

TEST_F(Menu, ChoosingByPointerMarksReadWritesTheKeyAndLocks) {
  MoveTo(20, 15);
  EXPECT_EQ(std::tuple(menu.Cursor(), Look(0)), std::tuple(0, kLookHover));
  Button(true);
  EXPECT_EQ(Look(0), kLookHover) << "no pressed look: the press shows the hover look";
  Button(false);
  EXPECT_EQ(std::tuple(Word(result), Word(clicked), flags.Test(8 + 5), tip_.TakeFiredId(),
                       tip_.sounds.back()),
            std::tuple(5u, 1u, true, 40, kDefaultClickSound));

  MoveTo(20, 55);
  Button(true);
  Button(false);
  EXPECT_EQ(tip_.TakeFiredId(), -1) << "locked after a choice";
  (void)menu.AddItem("D", false, -1, nullptr, -1, nullptr, nullptr, 0, 0, 0);
  EXPECT_FALSE(menu.IsLocked());
  MoveTo(20, 50);
  MoveTo(20, 55);
  Button(true);
  Button(false);
  EXPECT_EQ(tip_.TakeFiredId(), 42) << "a new item unlocks the menu";
}

TEST_F(Menu, APressIsCancelledByMovingToAnotherItemOrLeaving) {
  MoveTo(20, 15);
  Button(true);
  MoveTo(20, 55);
  EXPECT_EQ(std::tuple(Look(0), menu.Cursor()), std::tuple(kLookNormal, 2));
  Button(false);
  EXPECT_EQ(tip_.GetFiredId(), -1) << "press then move: no choice";
  Button(true);
  MoveTo(200, 200);
  EXPECT_EQ(menu.Cursor(), -1);
  Button(false);
  MoveTo(20, 55);
  (void)tip_.Update(services_.now);
  EXPECT_EQ(tip_.GetFiredId(), -1) << "leaving cancels the press";
  MoveTo(20, 35);
  EXPECT_EQ(menu.Cursor(), -1) << "a disabled item takes no cursor";
}

TEST_F(Menu, APointerRestingWhenItemsChangeIsIgnoredUntilItMovesThreePixels) {
  MoveTo(20, 15);
  (void)menu.AddItem("D", false, -1, nullptr, -1, nullptr, nullptr, 0, 0, 0);
  tip_.ForgetPointer();
  MoveTo(23, 12);
  EXPECT_EQ(tip_.GetHover(), nullptr) << "3 pixels are not enough";
  MoveTo(20, 15);
  MoveTo(24, 15);
  Button(true);
  EXPECT_EQ(Look(0), kLookHover);
  Button(false);
  EXPECT_EQ(tip_.TakeFiredId(), 40) << "moved more than 3 pixels";
}

// Rows must lie a pixel apart or more: the set-up refuses a cell height that with the spacing
// (which counts only without a head and a tail) comes below that, and such a list takes no cells.
TEST_F(Menu, RowsLessThanAPixelApartAreRefusedOrTakeNoPointer) {
  ImageListPart flat;
  EXPECT_EQ(flat.Setup(&list_, 0, 0, 0, 60, 5, -5, &gdi, 0), 1);
  EXPECT_EQ(flat.Setup(&list_, 0, 0, 0, 60, 20, INT32_MIN, &gdi, 0), 1);
  ASSERT_EQ(flat.SetSize(60, 20, 10, 10), 0);
  EXPECT_EQ(flat.Setup(&list_, 0, 0, 0, 60, 0, 5, &gdi, 0), 1) << "with a head, spacing counts not";
  (void)flat.SetPosition(100, 100);
  flat.SetDraggable(1);
  for (const char* label : {"P", "Q"})
    (void)flat.AddCell(label, nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0);
  EXPECT_EQ(flat.Count(), 0);
  EXPECT_EQ(tip_.AddControl(&flat, -1), kAddControlDone);
  for (int32_t y = 95; y < 135; ++y) MoveTo(110, y);
  tip_.RemoveControl(&flat);

  // A template lower than the spacing takes back brings the rows closer than a pixel after the
  // set-up: then no row takes the pointer.
  ImageListPart low;
  ASSERT_EQ(low.Setup(&list_, 0, 0, 0, 60, 20, -16, &gdi, 0), 0);
  (void)low.SetPosition(100, 100);
  for (const char* label : {"P", "Q", "R"})
    ASSERT_EQ(low.AddCell(label, nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0), 0);
  ImageSurface looks;
  ASSERT_EQ(looks.Create(180, 10, 32, kImageDibSection), 0);
  (void)looks.Fill(0xFF000000, nullptr);
  const ImageSurface* sources[9] = {&looks};
  ASSERT_EQ(low.CreateFromSurfaces(3, false, true, sources), 0);
  EXPECT_EQ(tip_.AddControl(&low, -1), kAddControlDone);
  for (int32_t y = 90; y < 140; ++y) {
    MoveTo(110, y);
    EXPECT_EQ(low.Cursor(), -1) << y;
  }
  tip_.RemoveControl(&low);
}

TEST_F(Menu, ReadItemsTakeTheReadColourAndTheGradationPairsColourTheLooks) {
  (void)flags.Set(8 + 5, true);
  ImageListPart again;
  ASSERT_EQ(again.Setup(&list_, 0, 0, 0, 60, 20, 0, &gdi, 0), 0);
  EXPECT_EQ(again.CopyReadFlagsFrom(nullptr), 1);
  ASSERT_EQ(again.CopyReadFlagsFrom(&menu), 0);
  (void)again.AddCell("A", nullptr, false, 5, nullptr, -1, nullptr, 0, 0, 0);
  (void)again.AddCell("C", nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0);
  const uint32_t read = Strongest(again.GetCellSurface(0), 0, 0xFF00);
  const uint32_t plain = Strongest(again.GetCellSurface(1), 0, 0xFF00);
  EXPECT_LT((read >> 16) & 0xFF, (read >> 8) & 0xFF)
      << std::hex << read << ": bit readBase + key is set";
  EXPECT_EQ((plain >> 16) & 0xFF, (plain >> 8) & 0xFF) << std::hex << plain << ": white";
  EXPECT_GT((plain >> 8) & 0xFF, 0x80u);

  // With the ramp on, the gradation pairs colour the looks and the ramp is restored.
  ASSERT_EQ(outline.SetGradation(true, 0x102030, 0x405060, true), 0);
  ImageListPart ramped;
  ASSERT_EQ(ramped.Setup(&list_, 0, 0, 0, 60, 20, 0, &outline, 0), 0);
  ramped.SetGradations(0xFF0000, 0xFF0000, 0, 0, 0x0000FF, 0x0000FF, 0, 0);
  ramped.SetTextColors(0x00FF00, 0x00FF00, 0x00FF00, 0x00FF00);
  ASSERT_EQ(ramped.AddCell("A", nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0), 0);
  // The strongest pixel of each look carries the pair's colour, not the text colour.
  const uint32_t normal = Strongest(ramped.GetCellSurface(0), kLookNormal, 0xFFFFFF);
  const uint32_t hover = Strongest(ramped.GetCellSurface(0), kLookHover, 0xFFFFFF);
  EXPECT_TRUE((normal & 0x00FFFF) == 0 && normal > 0x800000u) << std::hex << normal;
  EXPECT_TRUE((hover & 0xFFFF00) == 0 && hover > 0x80u) << std::hex << hover;
  EXPECT_EQ(std::tuple(outline.GradationOn(), outline.GradationTop(), outline.GradationBottom()),
            std::tuple(true, 0x102030u, 0x405060u));

  // The default pairs run from yellow to red for the items (full red, little blue), and from
  // yellow to pink under the pointer.
  ImageListPart defaults;
  ASSERT_EQ(defaults.Setup(&list_, 0, 0, 0, 60, 20, 0, &outline, 0), 0);
  ASSERT_EQ(defaults.AddCell("A", nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0), 0);
  const uint32_t item = Strongest(defaults.GetCellSurface(0), kLookNormal, 0xFF0000);
  const uint32_t under = Strongest(defaults.GetCellSurface(0), kLookHover, 0xFF0000);
  EXPECT_TRUE(item >> 16 > 0xC0 && (item & 0xFF) < 0x50) << std::hex << item;
  EXPECT_TRUE(under >> 16 > 0xC0 && (under & 0xFF) > 0x30 && (under & 0xFF) < 0xA0)
      << std::hex << under;
}

TEST_F(Menu, OverlaysGiveADragHandleAndAPressedLookThatHoldsTheDecideKey100Ms) {
  ImageSurface overlay;
  ASSERT_EQ(overlay.Create(120, 20, 32, kImageDibSection), 0);
  (void)overlay.Fill(0xFF202020, nullptr);
  Rect inside{4, 4, 56, 16};
  (void)overlay.Fill(0x00000000, &inside);
  const ImageSurface* sources[9] = {&overlay};
  ImageListPart framed;
  ASSERT_EQ(framed.Setup(&list_, 0, 0, 0, 60, 20, 0, &gdi, 0), 0);
  ASSERT_EQ(framed.CreateFromSurfaces(2, false, false, sources), 0);
  (void)framed.SetBackground(1, 0, 255);
  framed.SetDraggable(0x80);
  (void)framed.AddCell("A", nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0);
  (void)framed.SetPosition(100, 100);
  EXPECT_TRUE(framed.IsOnHandle(2, 10));
  EXPECT_FALSE(framed.IsOnHandle(30, 10)) << "the content is no handle";
  EXPECT_FALSE(framed.IsOnHandle(60, 10)) << "outside the menu";
  tip_.RemoveControl(&menu);
  EXPECT_EQ(tip_.AddControl(&framed, -1), kAddControlDone);
  MoveTo(102, 110);
  Button(true);
  MoveTo(152, 130);
  EXPECT_EQ(std::pair(framed.GetX(), framed.GetY()), std::pair(150, 120));
  Button(false);
  MoveTo(160, 130);
  EXPECT_EQ(framed.GetX(), 150) << "released: the drag ends";

  // With a pressed look the decide key waits a hundred milliseconds, across the wrap.
  ImageSurface pressedLooks;
  ASSERT_EQ(pressedLooks.Create(180, 20, 32, kImageDibSection), 0);
  (void)pressedLooks.Fill(0xFF202020, nullptr);
  const ImageSurface* pressedSources[9] = {&pressedLooks};
  ImageListPart pressed;
  ASSERT_EQ(pressed.Setup(&list_, 0, 0, 0, 60, 20, 0, &gdi, 0), 0);
  ASSERT_EQ(pressed.CreateFromSurfaces(3, true, false, pressedSources), 0);
  (void)pressed.AddCell("A", nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0);
  pressed.SetId(7);
  EXPECT_EQ(tip_.AddControl(&pressed, -1), kAddControlDone);
  services_.now = 0xFFFFFFC0u;
  ASSERT_EQ(tip_.SetFocus(&pressed), kFocusDone);
  services_.Key(kReturn, true);
  (void)tip_.Update(services_.now);
  services_.Key(kReturn, false);
  EXPECT_EQ(pressed.GetCellSprite(0)->GetSourceRect().left, 120) << "the pressed look";
  services_.now += 100;
  (void)tip_.Update(services_.now);
  EXPECT_EQ(tip_.GetFiredId(), -1) << "still pressed at +100";
  services_.now += 1;
  (void)tip_.Update(services_.now);
  EXPECT_EQ(tip_.TakeFiredId(), 7);
}

TEST_F(Menu, PicturesFromFilesMakeTheTemplateHeadAndTailAndAnEmptyMenuKeepsItsPlace) {
  Write("CG/LOOKS.BMP", GreyCells(60, 2, 20));
  Write("CG/HEAD.BMP", GreyCells(60, 1, 6));
  ImageListPart part;
  ASSERT_EQ(part.Setup(&list_, 0, 0, 0, 30, 10, 0, &gdi, 0), 0);
  const char* missing[9] = {"cg\\looks.bmp", nullptr, nullptr, "cg\\gone.bmp"};
  EXPECT_NE(part.CreateFromImages(2, false, false, missing), 0);
  EXPECT_EQ(part.GetCellSurface(-1), nullptr) << "a failed load leaves no frame";
  const char* files[9] = {"cg\\looks.bmp", nullptr, nullptr, "cg\\head.bmp"};
  EXPECT_EQ(part.CreateFromImages(2, true, false, files), 1) << "a pressed look needs three";
  ASSERT_EQ(part.CreateFromImages(2, false, false, files), 0);
  ASSERT_EQ(part.AddCell("A", nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0), 0);
  EXPECT_EQ(
      std::tuple(part.GetCellSurface(0)->GetWidth(), part.GetCellSprite(0)->GetSourceRect().right),
      std::tuple(120, 60))
      << "a look is half the template";
  ASSERT_NE(part.GetCellSurface(-1), nullptr);
  EXPECT_EQ(std::tuple(part.GetCellSurface(-1)->GetHeight(), part.GetHeight()), std::tuple(6, 26));

  // A menu without cells keeps its place but answers that nothing moved.
  ImageListPart empty;
  ASSERT_EQ(empty.Setup(&list_, 0, 0, 0, 60, 20, 0, &gdi, 0), 0);
  EXPECT_EQ(empty.SetPosition(30, 40), 1);
  ASSERT_EQ(empty.AddCell("A", nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0), 0);
  EXPECT_EQ(empty.GetCellSprite(0)->GetX(), 30) << "the first cell comes where it was put";
  EXPECT_EQ(empty.SetPosition(30, 50), 0);
}

}  // namespace
}  // namespace bw::test
