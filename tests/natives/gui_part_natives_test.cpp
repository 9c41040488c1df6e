// The GUI part natives over a part manager and a pointer tip: null, stale and mistyped handles get
// each native's refusal, switched-off groups take the defaults, deleted parts leave no handle,
// neighbour or current list behind, and a click reaches the script as the pending event.
#include "natives/gui_part_natives.h"
#include "natives/message_text_natives.h"

#include <gtest/gtest.h>

#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "graphics/surface/composition_layer.h"
#include "gui/gui_fixture.h"
#include "gui/part_manager.h"
#include "native_rig.h"
#include "support/text_renderers.h"

namespace bw {
namespace {

class GuiPartNatives : public test::GuiTest, public testing_text::FakeFaceRenderers {
 protected:
  void SetUp() override {
    test::GuiTest::SetUp();
    ASSERT_EQ(screen.Create(200, 150, 32, kImageDibSection), 0);
    layer.SetTarget(&screen, true);
    parts.SetTarget(&layer);
    rig.app.parts = &parts;
    rig.app.pointers = &tip;
    font = rig.Give(ScriptObjectType::kTextRenderer, static_cast<TextRenderer*>(&gdi));
  }
  void TearDown() override {
    tip.RemoveAll();
    parts.DeleteAll();
  }
  uint32_t Box(int32_t x = 0, int32_t y = 0) {
    return rig.Answer(690, {uint32_t(x), uint32_t(y), 20, 10, 1, 2, 3, 0});
  }
  uint32_t List() { return rig.Answer(698, {0, 0, 60, 20, 0, font, 0}); }
  UiControl* PartOf(uint32_t handle) {
    return rig.host->Handles().Get<UiControl>(handle, ScriptObjectType::kGuiPart);
  }

  ImageSurface screen;
  CompositionLayer layer;
  PartManager parts;
  NativeRig rig;
  uint32_t font = 0;
};

// The natives that name kinds: what a null handle gets, and what a part of another kind gets.
struct Refusal {
  uint32_t number;
  int32_t null;
  int32_t otherKind;
};
constexpr Refusal kRefusals[] = {
    {726, -1, 1},  {738, -1, -1}, {739, -1, -1}, {740, -1, -1}, {741, -1, -1}, {743, -1, -1},
    {744, -1, -1}, {750, 0, 0},   {751, 0, 0},   {752, -1, -1}, {753, -1, -1}, {754, 0, 0},
    {755, 0, 0},   {756, 0, 0},   {757, -1, -1}, {758, 0, 0},   {759, -1, -1}, {760, 0, 0},
    {761, 0, 0},   {762, 1, 1},   {765, 4, 4},   {766, 9, 9},   {767, 9, 9},   {768, 2, 2},
    {769, 5, 5},   {771, 1, 1},   {772, -1, -1}, {773, -1, -1}, {774, -1, -1}, {775, 0, 0},
    {781, 4, 4},   {782, 4, 4},   {784, 0, 0},   {785, 0, 0},   {786, 0, 0},   {787, 4, 4},
    {788, -1, -1}, {789, 1, 1},   {790, -1, -1},
};

TEST_F(GuiPartNatives, NullStaleAndMistypedPartsGetTheNativesRefusal) {
  // A text renderer is no part, and a part deleted since reads as none.
  uint32_t stale = Box();
  ASSERT_EQ(rig.Answer(715, {rig.Var(stale)}), kDeleteDone);
  const uint32_t box = Box();
  for (const Refusal& r : kRefusals) {
    for (uint32_t handle : {0u, stale, font}) {
      EXPECT_EQ(rig.Answer(r.number, {handle, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}), r.null)
          << "native " << r.number << " handle " << handle;
    }
    // Natives that set a part's sounds or switch a list flag take the box on purpose.
    if (r.number == 726) continue;
    EXPECT_EQ(rig.Answer(r.number, {box, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}), r.otherKind)
        << "native " << r.number << " on a colour box";
  }
  // The natives of any part answer 0 for none; the registration -1.
  for (uint32_t number :
       {723u, 724u, 725u, 727u, 728u, 729u, 730u, 731u, 732u, 733u, 734u, 735u, 736u, 737u, 717u}) {
    EXPECT_EQ(rig.Answer(number, {stale, 0, 0, 0, 0}), 0) << "native " << number;
  }
  EXPECT_EQ(rig.Answer(716, {stale, 0}), -1);
  EXPECT_EQ(rig.Answer(715, {rig.Var(stale)}), kDeleteNotListed) << "deleted a second time";
}

TEST_F(GuiPartNatives, SwitchedOffGroupsTakeTheDefaults) {
  // Hit area: -1 puts the centre in the middle and leaves both flags off.
  auto* area =
      static_cast<HitAreaPart*>(PartOf(rig.Answer(699, {10, 20, 30, 40, uint32_t(-1), 99, 1, 1})));
  auto* same = static_cast<HitAreaPart*>(
      PartOf(rig.Answer(699, {10, 20, 30, 40, uint32_t(-1), uint32_t(-1), 0, 0})));
  ASSERT_TRUE(area && same);
  EXPECT_EQ(area->GetCenterX(), same->GetCenterX());
  EXPECT_EQ(area->GetCenterY(), 40);
  EXPECT_EQ(rig.Answer(750, {rig.Give(ScriptObjectType::kGuiPart, area), 3, 4}), 1);
  EXPECT_EQ(area->GetCenterX(), 3);

  // Scroll bar: 65535 is a 16-pixel drawn bar, the same as the defaults given in full.
  UiControl* bar = PartOf(rig.Answer(693, {5, 5, 1, 65535, 7, 7, 7, 7, 7, 7}));
  UiControl* full =
      PartOf(rig.Answer(693, {5, 5, 1, 16, 0xD4D0C8, 0xE2DFDA, 0x400080FF, 0x4000FF80, 0, 0}));
  ASSERT_TRUE(bar && full);
  EXPECT_EQ(bar->GetWidth(), full->GetWidth());
  EXPECT_EQ(bar->GetHeight(), full->GetHeight());

  // Drawn button: 65535 drops the label, font and order that follow it.
  UiControl* button = PartOf(rig.Answer(685, {0, 0, 40, 16, 65535, 0xDEAD, font, 9}));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->GetOrder(), 0);
  EXPECT_EQ(button->GetWidth(), 40);

  // Surface factories need a picture: -1 without one.
  EXPECT_EQ(rig.Answer(687, {0, 0, font, 65535, 0, 0, 0}), -1);
  EXPECT_EQ(rig.Answer(689, {0, 0, 0, 2, 65535, 0, 0, 0}), -1);
}

TEST_F(GuiPartNatives, SizesPastTheCoordinateRangeAreRefusedNotWrapped) {
  EXPECT_EQ(rig.Answer(693, {0, 0, 1, 0x7FFFFFFF, 0, 0, 0, 0, 0, 0}), 0) << "bar";
  EXPECT_EQ(rig.Answer(685, {0, 0, 0x7FFFFFFF, 16, 0, rig.Text("A"), font, 0}), 0) << "button";
  auto* area = static_cast<HitAreaPart*>(
      PartOf(rig.Answer(699, {0x7FFFFFF0, 0, 0x7FFFFFFF, 8, uint32_t(-1), 0, 0, 0})));
  ASSERT_NE(area, nullptr);
  EXPECT_EQ(area->GetCenterX(), 0x7FFFFFFF);
}

TEST_F(GuiPartNatives, DeletedPartsLeaveNoHandleNeighbourOrCurrentList) {
  rig.Answer(713, {3});
  const uint32_t a = Box(0, 0), b = Box(30, 0);
  const uint32_t list = List();
  rig.Answer(713, {0});
  const uint32_t keep = Box(60, 0);
  ASSERT_TRUE(a && b && list && keep);
  ASSERT_EQ(rig.Answer(725, {keep, a, b, 0, 0}), 1);
  ASSERT_EQ(rig.Answer(789, {list}), 0);
  EXPECT_NE(rig.host->Extension<CurrentChoiceList>().Get(), nullptr);

  const uint32_t var = rig.Var(a);
  EXPECT_EQ(rig.Answer(715, {var}), kDeleteDone);
  EXPECT_EQ(rig.Word(var), 0u) << "the variable is cleared";
  EXPECT_EQ(PartOf(a), nullptr);
  EXPECT_EQ(PartOf(keep)->GetNeighbour(kNavigateLeft), nullptr);
  EXPECT_NE(PartOf(keep)->GetNeighbour(kNavigateRight), nullptr);

  EXPECT_EQ(rig.Answer(714, {3, 0}), 0);
  EXPECT_EQ(PartOf(b), nullptr);
  EXPECT_EQ(PartOf(list), nullptr);
  EXPECT_EQ(PartOf(keep)->GetNeighbour(kNavigateRight), nullptr);
  EXPECT_EQ(rig.host->Extension<CurrentChoiceList>().Get(), nullptr)
      << "the current list went with its group";
  // Another list now finds no current one to copy from, and a stale one cannot become current.
  rig.Answer(713, {5});
  const uint32_t other = List();
  EXPECT_EQ(rig.Answer(790, {other}), 1);
  EXPECT_EQ(rig.Answer(789, {list}), 1);

  EXPECT_EQ(rig.Answer(714, {0, 1}), 0) << "inverted: every other group";
  EXPECT_NE(PartOf(keep), nullptr);
  EXPECT_EQ(PartOf(other), nullptr);
  EXPECT_EQ(rig.Answer(711, {}), 0);
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
  const uint32_t other = uint32_t(rig.Answer(168, {0, 16}));
  ASSERT_NE(other, 0u);
  EXPECT_EQ(rig.Answer(752, {list, other, 0}), 0);
  EXPECT_EQ(rig.Answer(787, {list, rig.Text("A"), 0, uint32_t(-1)}), 0);
  ASSERT_EQ(rig.Answer(169, {rig.Var(other)}), 0);
  EXPECT_EQ(rig.Answer(787, {list, rig.Text("B"), 0, uint32_t(-1)}), 1) << "no renderer left";
}

TEST_F(GuiPartNatives, AClickIsThePendingEventUntilTakenOrReset) {
  const uint32_t box = Box(10, 10);
  ASSERT_EQ(rig.Answer(716, {box, uint32_t(-1)}), 0);
  ASSERT_EQ(rig.Answer(723, {box, 42}), 1);
  EXPECT_EQ(rig.Answer(707, {}), -1);
  auto click = [&] {
    services.x = 15, services.y = 15;
    rig.Answer(706, {});
    services.Button(true);
    rig.Answer(706, {});
    services.Button(false);
    rig.Answer(706, {});
  };
  click();
  EXPECT_EQ(rig.Answer(710, {}), static_cast<int32_t>(box)) << "hovered";
  EXPECT_EQ(rig.Answer(707, {}), 42);
  EXPECT_EQ(rig.Answer(707, {}), -1) << "taken once";
  click();
  EXPECT_EQ(rig.Answer(705, {}), 0);
  EXPECT_EQ(rig.Answer(707, {}), -1) << "the reset forgets it";
  EXPECT_EQ(rig.Answer(710, {}), 0);

  // Hiding a focused part drops its focus; a removed part takes no focus.
  ASSERT_EQ(rig.Answer(708, {box}), kFocusDone);
  EXPECT_EQ(rig.Answer(709, {}), static_cast<int32_t>(box));
  EXPECT_EQ(rig.Answer(729, {box, 0}), 1);
  EXPECT_EQ(rig.Answer(709, {}), 0);
  EXPECT_EQ(rig.Answer(717, {box}), 0);
  EXPECT_EQ(rig.Answer(708, {box}), kFocusEmptyList);
}

}  // namespace
}  // namespace bw
