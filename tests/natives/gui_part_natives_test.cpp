// The GUI part natives over a part manager and a pointer tip: switched-off groups take the
// defaults, deleted parts leave no handle, neighbour or current list behind, a click reaches the
// script as the pending event; picture scroll bars, text windows, the script text and list
// settings.
#include "natives/gui_part_natives.h"

#include <functional>

#include "graphics/device/display_manager.h"
#include "graphics/surface/composition_layer.h"
#include "gui/part_fixture.h"
#include "gui/part_manager.h"
#include "gui/text_panel.h"
#include "native_rig.h"
#include "natives/message_text_natives.h"
#include "natives/native_helpers.h"
#include "natives/object_casts.h"
#include "support/text_renderers.h"

namespace bw {
namespace {

class GuiPartNatives : public test::PartTest, public testing_text::FakeFaceRenderers {
 protected:
  void SetUp() override {
    test::PartTest::SetUp();
    Write("CG/THUMB.BMP", test::GreyCells(8, 3, 12));
    Write("CG/ARROW.BMP", test::GreyCells(8, 4, 8));
    Write("CG/CHECK.BMP", test::GreyCells(10, 8, 10));
    ASSERT_EQ(screen.Create(200, 150, 32, kImageDibSection), 0);
    (void)layer.SetTarget(&screen, true);
    parts.SetTarget(&layer);
    rig.app.parts = &parts;
    rig.app.pointers = &tip_;
    rig.app.textPanel = &panel;
    panel.Setup(nullptr, nullptr);
    font = rig.Give(ScriptObjectType::kTextRenderer, static_cast<TextRenderer*>(&gdi));
  }
  void TearDown() override {
    tip_.RemoveAll();
    parts.DeleteAll();
    panel.Clear();
  }
  template <typename T = UiControl>
  T* PartOf(uint32_t handle) {
    return static_cast<T*>(rig.Handles().Get<UiControl>(handle, ScriptObjectType::kGuiPart));
  }
  uint32_t Box(int32_t x = 0, int32_t y = 0) {
    return rig.Answer(Native::kPartCreateColorBox, {uint32_t(x), uint32_t(y), 20, 10, 1, 2, 3, 0});
  }
  uint32_t List() { return rig.Answer(Native::kPartCreateImageList, {0, 0, 60, 20, 0, font, 0}); }
  uint32_t Window(uint32_t off = uint32_t(-1)) {
    return rig.Answer(Native::kPartCreateTextWidget, {0, 0, 120, 80, font, off, 3, 5, 7, 9});
  }
  uint32_t ScriptTextPart() {
    return rig.Answer(Native::kScriptTextCreate, {0, 0, 120, 80, 0, uint32_t(-1)});
  }
  uint32_t Field() { return rig.Answer(Native::kPartCreateTextInput, {font, 60, 0, 0, 65535}); }
  uint32_t CheckBox() {
    return rig.Answer(Native::kPartCreateFileCheckButton,
                      {rig.Text("cg\\check.bmp"), 0, 0, 0, 65535, 0, 0, 0, 0, 0});
  }
  uint32_t Lines() {
    return rig.Answer(Native::kPartCreateTextList,
                      {10, 10, font, 60, 80, rig.Text("cg\\thumb.bmp"), 2, 2, 60, 100, 10, 65535});
  }

  ImageSurface screen;
  CompositionLayer layer;
  PartManager parts;
  TextPanel panel{testing_text::FakeSource()};
  NativeRig rig;
  uint32_t font = 0;
};

TEST_F(GuiPartNatives, SwitchedOffGroupsTakeTheDefaults) {
  // Hit area: -1 puts the centre in the middle and leaves both flags off.
  auto* area = static_cast<HitAreaPart*>(
      PartOf(rig.Answer(Native::kPartCreateHitArea, {10, 20, 30, 40, uint32_t(-1), 99, 1, 1})));
  auto* same = static_cast<HitAreaPart*>(PartOf(
      rig.Answer(Native::kPartCreateHitArea, {10, 20, 30, 40, uint32_t(-1), uint32_t(-1), 0, 0})));
  ASSERT_TRUE(area && same);
  EXPECT_EQ(area->GetCenterX(), same->GetCenterX());
  EXPECT_EQ(area->GetCenterY(), 40);
  EXPECT_EQ(
      rig.Answer(Native::kHitAreaSetCentre, {rig.Give(ScriptObjectType::kGuiPart, area), 3, 4}), 1);
  EXPECT_EQ(area->GetCenterX(), 3);

  // Scroll bar: 65535 is a 16-pixel drawn bar, the same as the defaults given in full.
  UiControl* bar =
      PartOf(rig.Answer(Native::kPartCreateScrollList, {5, 5, 1, 65535, 7, 7, 7, 7, 7, 7}));
  UiControl* full =
      PartOf(rig.Answer(Native::kPartCreateScrollList,
                        {5, 5, 1, 16, 0xD4D0C8, 0xE2DFDA, 0x400080FF, 0x4000FF80, 0, 0}));
  ASSERT_TRUE(bar && full);
  EXPECT_EQ(bar->GetWidth(), full->GetWidth());
  EXPECT_EQ(bar->GetHeight(), full->GetHeight());

  // Drawn button: 65535 drops the label, font and order that follow it.
  UiControl* button =
      PartOf(rig.Answer(Native::kPartCreateDrawnButton, {0, 0, 40, 16, 65535, 0xDEAD, font, 9}));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->GetOrder(), 0);
  EXPECT_EQ(button->GetWidth(), 40);

  // Surface factories need a picture: -1 without one.
  EXPECT_EQ(rig.Answer(Native::kPartCreateSurfaceButton, {0, 0, font, 65535, 0, 0, 0}), -1);
  EXPECT_EQ(rig.Answer(Native::kPartCreateSurfaceCheckButton, {0, 0, 0, 2, 65535, 0, 0, 0}), -1);
}

TEST_F(GuiPartNatives, SizesPastTheCoordinateRangeAreRefusedNotWrapped) {
  EXPECT_EQ(rig.Answer(Native::kPartCreateScrollList, {0, 0, 1, 0x7FFFFFFF, 0, 0, 0, 0, 0, 0}), 0)
      << "bar";
  EXPECT_EQ(
      rig.Answer(Native::kPartCreateDrawnButton, {0, 0, 0x7FFFFFFF, 16, 0, rig.Text("A"), font, 0}),
      0)
      << "button";
  auto* area = static_cast<HitAreaPart*>(PartOf(rig.Answer(
      Native::kPartCreateHitArea, {0x7FFFFFF0, 0, 0x7FFFFFFF, 8, uint32_t(-1), 0, 0, 0})));
  ASSERT_NE(area, nullptr);
  EXPECT_EQ(area->GetCenterX(), 0x7FFFFFFF);
}

TEST_F(GuiPartNatives, DeletedPartsLeaveNoHandleNeighbourOrCurrentList) {
  rig.Answer(Native::kPartSetCurrentGroup, {3});
  const uint32_t a = Box(0, 0), b = Box(30, 0);
  const uint32_t list = List();
  rig.Answer(Native::kPartSetCurrentGroup, {0});
  const uint32_t keep = Box(60, 0);
  ASSERT_TRUE(a && b && list && keep);
  ASSERT_EQ(rig.Answer(Native::kPartSetNeighbours, {keep, a, b, 0, 0}), 1);
  ASSERT_EQ(rig.Answer(Native::kImageListSetCurrent, {list}), 0);
  EXPECT_NE(rig.host->Extension<CurrentChoiceList>().Get(), nullptr);

  const uint32_t var = rig.Var(a);
  EXPECT_EQ(rig.Answer(Native::kPartDelete, {var}), kDeleteDone);
  EXPECT_EQ(rig.Word(var), 0u) << "the variable is cleared";
  EXPECT_EQ(PartOf(a), nullptr);
  EXPECT_EQ(PartOf(keep)->GetNeighbour(kNavigateLeft), nullptr);
  EXPECT_NE(PartOf(keep)->GetNeighbour(kNavigateRight), nullptr);

  EXPECT_EQ(rig.Answer(Native::kPartDeleteGroup, {3, 0}), 0);
  EXPECT_EQ(PartOf(b), nullptr);
  EXPECT_EQ(PartOf(list), nullptr);
  EXPECT_EQ(PartOf(keep)->GetNeighbour(kNavigateRight), nullptr);
  EXPECT_EQ(rig.host->Extension<CurrentChoiceList>().Get(), nullptr)
      << "the current list went with its group";
  // Another list now finds no current one to copy from, and a stale one cannot become current.
  rig.Answer(Native::kPartSetCurrentGroup, {5});
  const uint32_t other = List();
  EXPECT_EQ(rig.Answer(Native::kImageListLinkCurrent, {other}), 1);
  EXPECT_EQ(rig.Answer(Native::kImageListSetCurrent, {list}), 1);

  EXPECT_EQ(rig.Answer(Native::kPartDeleteGroup, {0, 1}), 0) << "inverted: every other group";
  EXPECT_NE(PartOf(keep), nullptr);
  EXPECT_EQ(PartOf(other), nullptr);
  EXPECT_EQ(rig.Answer(Native::kPartDeleteAll, {}), 0);
  EXPECT_EQ(PartOf(keep), nullptr);
  EXPECT_EQ(parts.PartCount(), 0u);
}

// 752 gives a choice list the renderer its next items are drawn with; once that renderer is
// destroyed the list draws no more items rather than drawing with a dead one.
TEST_F(GuiPartNatives, AChoiceListDrawsWithTheRendererItIsGiven) {
  DisplayManager display;
  ScopedGlobal<DisplayManager> publishDisplay(&display);
  ScopedGlobal<TextRendererFactory> publishFactory(&factory);
  const uint32_t list = List();
  const uint32_t other = rig.Made(Native::kTextRendererCreateOutline, {0, 16});
  ASSERT_NE(other, 0u);
  EXPECT_EQ(rig.Answer(Native::kTextWindowSetRenderers, {list, other, 0}), 0);
  EXPECT_EQ(rig.Answer(Native::kImageListSetItemText, {list, rig.Text("A"), 0, uint32_t(-1)}), 0);
  ASSERT_EQ(rig.Answer(Native::kTextRendererDestroy, {rig.Var(other)}), 0);
  EXPECT_EQ(rig.Answer(Native::kImageListSetItemText, {list, rig.Text("B"), 0, uint32_t(-1)}), 1)
      << "no renderer left";
}

TEST_F(GuiPartNatives, AClickIsThePendingEventUntilTakenOrReset) {
  const uint32_t box = Box(10, 10);
  ASSERT_EQ(rig.Answer(Native::kPointerAddControl, {box, uint32_t(-1)}), 0);
  ASSERT_EQ(rig.Answer(Native::kPartSetId, {box, 42}), 1);
  EXPECT_EQ(rig.Answer(Native::kPointerTakeEvent, {}), -1);
  auto click = [&] {
    services_.x = 15, services_.y = 15;
    rig.Answer(Native::kPointerUpdate, {});
    services_.Button(true);
    rig.Answer(Native::kPointerUpdate, {});
    services_.Button(false);
    rig.Answer(Native::kPointerUpdate, {});
  };
  click();
  EXPECT_EQ(rig.Answer(Native::kPointerGetHover, {}), static_cast<int32_t>(box)) << "hovered";
  EXPECT_EQ(rig.Answer(Native::kPointerTakeEvent, {}), 42);
  EXPECT_EQ(rig.Answer(Native::kPointerTakeEvent, {}), -1) << "taken once";
  click();
  EXPECT_EQ(rig.Answer(Native::kPointerResetState, {}), 0);
  EXPECT_EQ(rig.Answer(Native::kPointerTakeEvent, {}), -1) << "the reset forgets it";
  EXPECT_EQ(rig.Answer(Native::kPointerGetHover, {}), 0);
}

TEST_F(GuiPartNatives, AHiddenPartDropsItsFocusAndARemovedOneTakesNone) {
  const uint32_t box = Box(10, 10);
  ASSERT_EQ(rig.Answer(Native::kPointerAddControl, {box, uint32_t(-1)}), 0);
  ASSERT_EQ(rig.Answer(Native::kPointerSetFocus, {box}), kFocusDone);
  EXPECT_EQ(rig.Answer(Native::kPointerGetFocus, {}), static_cast<int32_t>(box));
  EXPECT_EQ(rig.Answer(Native::kPartSetVisible, {box, 0}), 1);
  EXPECT_EQ(rig.Answer(Native::kPointerGetFocus, {}), 0);
  EXPECT_EQ(rig.Answer(Native::kPointerRemoveControl, {box}), 0);
  EXPECT_EQ(rig.Answer(Native::kPointerSetFocus, {box}), kFocusEmptyList);
}

TEST_F(GuiPartNatives, PictureScrollBarsTakeTheirGroupsAndLayOut) {
  const uint32_t thumb = rig.Text("cg\\thumb.bmp"), arrow = rig.Text("cg\\arrow.bmp");
  const uint32_t plain = rig.Answer(Native::kPartCreateImageScrollList,
                                    {5, 5, 0, 0, thumb, 65535, 9, arrow, 9, 9, arrow, 9, 1, 0});
  const uint32_t full = rig.Answer(Native::kPartCreateImageScrollList,
                                   {5, 5, 0, 0, thumb, 0, 0, 0, 0, 0, arrow, arrow, 65535, 0});
  auto *a = PartOf<ScrollListPart>(plain), *b = PartOf<ScrollListPart>(full);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->GetBackButton(), nullptr) << "65535: no track and no arrows";
  EXPECT_EQ(a->GetThumbSprite().GetWidth(), 8) << "vertical, three cells of the thumb picture";
  ASSERT_NE(b->GetBackButton(), nullptr);

  // 695 lays it out; the script then reads and sets the position as the part's value.
  EXPECT_EQ(rig.Answer(Native::kScrollListSetImages, {full, 100, 1000, 100, 5000, 0, 1}), 0);
  EXPECT_EQ(rig.Answer(Native::kPartGetValue, {full}), 900)
      << "the position clamps to total - visible";
  EXPECT_EQ(rig.Answer(Native::kPartSetValue, {full, 450}), 0);
  EXPECT_EQ(rig.Answer(Native::kPartGetValue, {full}), 450);
  EXPECT_EQ(rig.Answer(Native::kScrollListSetImages, {full, 100, 50, 100, 0, 0, 1}), -1)
      << "nothing to scroll";
}

// A track picture shown as loaded (no edges) is shorter than the bar: the laid-out track still
// spans the length between the arrows, so the forward arrow ends the bar below the thumb's travel.
TEST_F(GuiPartNatives, APictureTrackSpansTheBarUpToTheForwardArrow) {
  Write("CG/TRACK.BMP", test::GreyCells(8, 3, 20));
  const uint32_t thumb = rig.Text("cg\\thumb.bmp"), arrow = rig.Text("cg\\arrow.bmp");
  const uint32_t handle =
      rig.Answer(Native::kPartCreateImageScrollList,
                 {5, 5, 0, 0, thumb, 0, 0, rig.Text("cg\\track.bmp"), 0, 0, arrow, arrow, 0, 1});
  auto* bar = PartOf<ScrollListPart>(handle);
  ASSERT_TRUE(bar && bar->GetForwardButton() && bar->GetBackButton());
  const int32_t back = bar->GetBackButton()->GetHeight();
  const int32_t forward = bar->GetForwardButton()->GetHeight();
  ASSERT_EQ(rig.Answer(Native::kScrollListSetImages, {handle, 100, 1000, 100, 900, 0, 1}), 0);
  EXPECT_EQ(bar->GetHeight(), 100 - back - forward);
  EXPECT_EQ(bar->GetForwardButton()->GetY(), 5 + 100 - forward);
  const Sprite& thumbSprite = bar->GetThumbSprite();
  EXPECT_LE(thumbSprite.GetY() + bar->GetThumbLength(), bar->GetForwardButton()->GetY())
      << "the thumb at the end stops above the arrow";
}

// 753 on a menu built from pictures redraws each cell in place: its sprite keeps showing it.
TEST_F(GuiPartNatives, ABackgroundColourRedrawsThePictureMenusCells) {
  Write("CG/MASK.BMP", test::IndexPicture(std::vector<std::vector<uint8_t>>(
                           20, std::vector<uint8_t>(120, uint8_t{255}))));
  const uint32_t list = List();
  ASSERT_EQ(rig.Answer(Native::kImageListSetItem, {list, 2, 0, 0, 0, rig.Text("cg\\mask.bmp"), 0,
                                                   uint32_t(-1), 0, 0, 0, 0, 0}),
            0);
  for (const char* label : {"A", "B"})
    ASSERT_EQ(rig.Answer(Native::kImageListSetItemText, {list, rig.Text(label), 0, uint32_t(-1)}),
              0);
  ASSERT_EQ(rig.Answer(Native::kTextWindowSetBackgroundColor, {list, 1, 0x123456, 255}), 0);
  auto* menu = PartOf<ImageListPart>(list);
  for (int32_t cell = 0; cell < 2; ++cell) {
    SCOPED_TRACE(cell);
    const ImageSurface* surface = menu->GetCellSurface(cell);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(menu->GetCellSprite(cell)->GetSource(), surface);
    EXPECT_EQ(surface->GetPixel(1, 1), 0xFF123456u);
  }
}

TEST_F(GuiPartNatives, TextWindowsAndAScriptTextThatForgetsPartsDeletedBeforeIt) {
  const uint32_t text = ScriptTextPart(), box = Window(), framed = Window(0);
  auto* script = PartOf<ScriptText>(text);
  auto *plain = PartOf<MessageTextWidget>(box), *b = PartOf<MessageTextWidget>(framed);
  ASSERT_TRUE(script && plain && b);
  EXPECT_EQ(plain->GetPenX(), 0) << "-1 leaves no margins";
  EXPECT_EQ(b->GetPenY(), 5);
  // Hang count 2 keeps room for two hanging characters.
  ASSERT_EQ(rig.Answer(Native::kTextWindowSetLayout, {framed, 1, 2, 1, 0, 4, 6}), 1);
  EXPECT_EQ(b->GetWrapLimit(), 120 - 2 * b->FontSize() - 7);
  const uint32_t check = CheckBox();
  ASSERT_TRUE(box && check);
  ASSERT_EQ(rig.Answer(Native::kScriptTextBindWindow, {text, box, 0, 0, 0, 0, 0, 0, 4}), 0);
  EXPECT_EQ(script->GetNameAlignment(), 4);
  ASSERT_EQ(rig.Answer(Native::kScriptTextBindCheck, {text, check}), 0);
  MessageWindowState* state = script->GetWindowState();
  ASSERT_NE(state, nullptr);
  (void)PartOf<CheckPart>(check)->SetChecked(true);
  EXPECT_TRUE(state->IsBusy()) << "a checked box is a busy window";
  ASSERT_EQ(rig.Answer(Native::kPartDelete, {rig.Var(box)}), kDeleteDone);
  ASSERT_EQ(rig.Answer(Native::kPartDeleteGroup, {0, 0}), 0);
  EXPECT_EQ(script->GetNameBox(), nullptr);
  EXPECT_EQ(script->GetWindowState(), nullptr);
  (void)script->SetPosition(10, 10);  // would move the deleted box

  const uint32_t name = rig.Var(0x41414141);
  script->SetSecondName("Ann");
  EXPECT_EQ(rig.Answer(Native::kScriptTextGetName, {text, name}), 1);
  EXPECT_EQ(rig.Read(name), "Ann");
}

// The part-access natives 736-741: the flag and the option on the parts that take them (the
// table below has each kind's display object, picture and flag).
TEST_F(GuiPartNatives, EachKindTakesItsFlagAndOption) {
  const uint32_t hit = CheckBox(), locked = Field(), decided = ScriptTextPart();
  ASSERT_TRUE(hit && locked && decided);
  EXPECT_EQ(rig.Answer(Native::kPartSetFlag, {hit, 2}), 0);
  EXPECT_TRUE(PartOf<CheckPart>(hit)->IsBoxHit());
  EXPECT_EQ(rig.Answer(Native::kPartSetOption, {locked, 1}), 0);
  EXPECT_TRUE(PartOf<TextInputPart>(locked)->IsLocked());
  EXPECT_EQ(rig.Answer(Native::kPartSetValue, {decided, rig.Text("x")}), kPartRefused)
      << "only a text field takes a text";
  EXPECT_EQ(rig.Answer(Native::kPartSetOption, {decided, 2}), 0);
  EXPECT_TRUE(PartOf<ScriptText>(decided)->IsDecided());
}

// A text field takes its text as its value and gives the script a copy of what it holds; a check
// box is checked as its value.
TEST_F(GuiPartNatives, EachKindTakesItsOwnValue) {
  const uint32_t typed = Field(), ticked = CheckBox();
  EXPECT_EQ(rig.Answer(Native::kPartSetValue, {typed, rig.Text("abc")}), 0);
  EXPECT_EQ(rig.Read(rig.Made(Native::kPartGetValue, {typed})), "abc");
  ASSERT_EQ(rig.Answer(Native::kPartDelete, {rig.Var(typed)}), kDeleteDone);
  EXPECT_EQ(rig.Answer(Native::kPartGetValue, {typed}), -1) << "gone with its copy";
  EXPECT_EQ(rig.Answer(Native::kPartSetValue, {ticked, 1}), 1);
  EXPECT_EQ(rig.Answer(Native::kPartGetValue, {ticked}), 1);
}

// A cell image's value is the cell entered, by number; locked it takes none.
TEST_F(GuiPartNatives, ACellImagesValueIsTheCellEnteredUnlessLocked) {
  Write("CG/MAP.BMP", test::IndexPicture({{0, 1}, {0, 1}}));
  const uint32_t map =
      rig.Answer(Native::kPartCreateCellImage, {rig.Text("cg\\map.bmp"), 2, 0, 0, 1});
  ASSERT_EQ(rig.Answer(Native::kPointerAddControl, {map, uint32_t(-1)}), 0);
  EXPECT_EQ(rig.Answer(Native::kPartGetValue, {map}), -1) << "no cell entered";
  EXPECT_EQ(rig.Answer(Native::kPartSetValue, {map, 1}), 0);
  EXPECT_EQ(rig.Answer(Native::kPartGetValue, {map}), 1);
  EXPECT_EQ(rig.Answer(Native::kPartSetOption, {map, 1}), 0);
  EXPECT_EQ(rig.Answer(Native::kPartSetValue, {map, 0}), 1) << "locked";
}

TEST_F(GuiPartNatives, ListSettingsReachTheirPictures) {
  // 748: a new list box starts in the script's background colour.
  rig.Answer(Native::kPartSetListColors, {0xFF102030, 0, 0, 0});
  const ImageSurface* view = GetPartSurface(PartOf(Lines()), 0);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->GetPixel(1, 1), 0xFF102030u);

  // 751's last words move the text; 783 fills the second look in the colour as it stands.
  const uint32_t list = rig.Answer(Native::kPartCreateImageList, {0, 0, 60, 20, 0, font, 0});
  ASSERT_EQ(rig.Answer(Native::kTextWindowSetMargins, {list, 4, 4, 4, 4, 5, 5}), 1);
  ASSERT_EQ(rig.Answer(Native::kImageListSetSpacing, {list, 0, 2, 0, 0xFF123456}), 1);
  ASSERT_EQ(rig.Answer(Native::kImageListSetItemText, {list, rig.Text("A"), 0, uint32_t(-1)}), 0);
  const ImageSurface* cell = GetPartSurface(PartOf(list), 0);
  EXPECT_EQ(cell->GetPixel(60 + 4, 4), 0xFF123456u);
  EXPECT_NE(cell->GetPixel(60 + 2, 2), 0xFF123456u) << "inside the margins only";
}

// Every cell of the part-access table: for each kind, the display object and the surface the
// two getters hand out (the part's own member, or none), and whether it takes the flag.
TEST_F(GuiPartNatives, EveryKindAnswersEachAccessFromItsOwnMember) {
  Write("CG/MAP.BMP", test::IndexPicture({{0, 1}, {0, 1}}));
  auto* objects = &rig.Handles();
  struct Row {
    const char* kind;
    std::function<uint32_t()> make;
    std::function<const DisplayObject*(UiControl*)> sprite;
    std::function<const ImageSurface*(UiControl*)> surface;
    bool takesFlag;
  };
  auto none = [](UiControl*) { return nullptr; };
  auto made = [&](uint32_t native, std::initializer_list<uint32_t> words) {
    return [this, native, words = std::vector<uint32_t>(words)] {
      return uint32_t(rig.Answer(native, words));
    };
  };
  auto listed = [&] {
    const uint32_t list = List();
    EXPECT_EQ(rig.Answer(Native::kImageListSetItemText, {list, rig.Text("A"), 0, uint32_t(-1)}), 0);
    return list;
  };
  // clang-format off
  const Row rows[] = {
      {"push button", made(Native::kPartCreateDrawnButton, {0, 0, 40, 16, 65535, 0, font, 0}),
       [](UiControl* p) { return &static_cast<ButtonPart*>(p)->GetSprite(); },
       [](UiControl* p) { return static_cast<ButtonPart*>(p)->GetCells(); }, true},
      {"check box", [&] { return CheckBox(); },
       [](UiControl* p) { return &static_cast<CheckPart*>(p)->GetSprite(); },
       [](UiControl* p) { return static_cast<CheckPart*>(p)->GetPicture(); }, true},
      {"colour box", [&] { return Box(); },
       [](UiControl* p) { return &static_cast<ColorBoxPart*>(p)->Rect(); }, none, false},
      {"text field", [&] { return Field(); },
       [](UiControl* p) { return &static_cast<TextInputPart*>(p)->TextSprite(); },
       [](UiControl* p) { return &static_cast<TextInputPart*>(p)->TextSurface(); }, false},
      {"scroll list", made(Native::kPartCreateScrollList, {5, 5, 1, 65535, 7, 7, 7, 7, 7, 7}), none, none, true},
      {"text window", [&] { return Window(); },
       [](UiControl* p) { return &dynamic_cast<MessageTextWidget*>(p)->PageSprite(); },
       [](UiControl* p) { return &dynamic_cast<MessageTextWidget*>(p)->Page(); }, false},
      {"hit area", made(Native::kPartCreateHitArea, {10, 20, 30, 40, uint32_t(-1), 99, 1, 1}), none, none, false},
      {"text list", [&] { return Lines(); },
       [](UiControl* p) { return &static_cast<TextListView*>(p)->ViewSprite(); },
       [](UiControl* p) { return &static_cast<TextListView*>(p)->View(); }, false},
      {"cell image", made(Native::kPartCreateCellImage, {rig.Text("cg\\map.bmp"), 2, 0, 0, 1}), none,
       [](UiControl* p) { return &static_cast<CellImagePart*>(p)->Map(); }, false},
      {"image list", listed,
       [](UiControl* p) { return static_cast<ImageListPart*>(p)->GetCellSprite(0); },
       [](UiControl* p) { return static_cast<ImageListPart*>(p)->GetCellSurface(0); }, false},
      {"script text", [&] { return ScriptTextPart(); },
       [](UiControl* p) { return &static_cast<ScriptText*>(p)->PageSprite(); },
       [](UiControl* p) { return &static_cast<ScriptText*>(p)->Page(); }, false},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.kind);
    const uint32_t handle = row.make();
    UiControl* part = PartOf(handle);
    ASSERT_NE(part, nullptr);
    const uint32_t sprite = rig.Made(Native::kPartGetSprite, {handle, 0});
    EXPECT_EQ(objects->Get<DisplayObject>(sprite, ScriptObjectType::kDisplayObject),
              row.sprite(part));
    const uint32_t surface = rig.Made(Native::kPartGetSurface, {handle, 0});
    const ImageSurface* want = row.surface(part);
    EXPECT_EQ(GetObjectSurface(*objects, surface), want);
    EXPECT_EQ(want == nullptr, surface == 0);
    EXPECT_EQ(rig.Answer(Native::kPartSetFlag, {handle, 2}), row.takesFlag ? 0 : kPartRefused);
  }
  EXPECT_EQ(rig.Answer(Native::kPartGetSprite, {0, 0}), 0);
  EXPECT_EQ(rig.Answer(Native::kPartGetSurface, {0, 0}), 0);
  EXPECT_EQ(rig.Answer(Native::kPartSetFlag, {0, 1}), kPartRefused);
}

}  // namespace
}  // namespace bw
