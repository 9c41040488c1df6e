// The GUI part natives over a part manager and a pointer tip: switched-off groups take the
// defaults, deleted parts leave no handle, neighbour or current list behind, and a click reaches
// the script as the pending event.
#include "natives/gui_part_natives.h"
#include "natives/message_text_natives.h"
#include "natives/native_names.h"

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
    return rig.Answer(Native::kPartCreateColorBox, {uint32_t(x), uint32_t(y), 20, 10, 1, 2, 3, 0});
  }
  uint32_t List() { return rig.Answer(Native::kPartCreateImageList, {0, 0, 60, 20, 0, font, 0}); }
  UiControl* PartOf(uint32_t handle) {
    return rig.host->Handles().Get<UiControl>(handle, ScriptObjectType::kGuiPart);
  }

  ImageSurface screen;
  CompositionLayer layer;
  PartManager parts;
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
  const uint32_t other = uint32_t(rig.Answer(Native::kTextRendererCreateOutline, {0, 16}));
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
    services.x = 15, services.y = 15;
    rig.Answer(Native::kPointerUpdate, {});
    services.Button(true);
    rig.Answer(Native::kPointerUpdate, {});
    services.Button(false);
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

  // Hiding a focused part drops its focus; a removed part takes no focus.
  ASSERT_EQ(rig.Answer(Native::kPointerSetFocus, {box}), kFocusDone);
  EXPECT_EQ(rig.Answer(Native::kPointerGetFocus, {}), static_cast<int32_t>(box));
  EXPECT_EQ(rig.Answer(Native::kPartSetVisible, {box, 0}), 1);
  EXPECT_EQ(rig.Answer(Native::kPointerGetFocus, {}), 0);
  EXPECT_EQ(rig.Answer(Native::kPointerRemoveControl, {box}), 0);
  EXPECT_EQ(rig.Answer(Native::kPointerSetFocus, {box}), kFocusEmptyList);
}

}  // namespace
}  // namespace bw
