// The pointer manager's focus and hover, and the part manager that makes and deletes parts.
#include <utility>

#include "graphics/surface/composition_layer.h"
#include "gui/color_box_part.h"
#include "gui/image_list_part.h"
#include "gui/part_manager.h"
#include "gui/pointer_manager.h"
#include "part_fixture.h"
#include "support/text_renderers.h"

namespace bw::test {
namespace {

class Focus : public GuiTest {
 protected:
  int Press(GuiKey key) {
    services.Key(key, true);
    const int result = tip.Update(services.now);
    services.Key(key, false);
    return result;
  }
};

TEST_F(Focus, TabShiftTabAndNeighboursWalkTheListSkippingDisabledAndHiddenAndWrap) {
  FakeControl a("a", 0, 0), b("b", 20, 0), c("c", 40, 0), d("d", 60, 0);
  for (UiControl* control : {&a, &b, &c, &d})
    ASSERT_EQ(tip.AddControl(control, -1), kAddControlDone);
  (void)b.SetEnabled(false);
  c.SetVisible(false);

  for (FakeControl* next : {&a, &d}) {
    EXPECT_EQ(Press(kTab), kUpdateFocusMoved);
    EXPECT_EQ(tip.GetFocus(), next) << "b disabled and c hidden are skipped";
  }
  Press(kTab);
  EXPECT_EQ(tip.GetFocus(), &a) << "the search wraps to the head";

  services.Key(kShift, true);
  services.Key(kTab, true);
  EXPECT_EQ(tip.ClassifyNavigationKey(services.bindings), kNavigateBack);
  (void)tip.Update(services.now);
  EXPECT_EQ(std::tuple(tip.GetFocus(), d.log.back()), std::tuple(&d, "d got back"))
      << "Shift+Tab goes back, wrapping from the tail";
  services.Key(kTab, false);
  services.Key(kShift, false);

  services.Key(kTab, true);
  services.Key(kUp, true);
  EXPECT_EQ(tip.ClassifyNavigationKey(services.bindings), kNavigateBack) << "up wins over Tab";
  services.Key(kUp, false);
  services.Key(kTab, false);
  EXPECT_EQ(tip.ClassifyNavigationKey(services.bindings), kNavigateNone);

  a.SetNeighbours(nullptr, &c, nullptr, &b);  // left, right, up, down
  c.SetVisible(true);
  (void)b.SetEnabled(true);
  (void)tip.SetFocus(&a);
  EXPECT_EQ(Press(kRight), kUpdateFocusMoved);
  EXPECT_EQ(tip.GetFocus(), &c) << "right goes to the right neighbour, not the next in order";
  (void)tip.SetFocus(&a);
  Press(kDown);
  EXPECT_EQ(tip.GetFocus(), &b);
}

TEST_F(Focus, EmptyListsAndTheLoneFocusedControl) {
  EXPECT_EQ(tip.FocusPrevious(), kFocusEmptyList);
  EXPECT_EQ(tip.PushControls(), kStackNothing);
  EXPECT_EQ(tip.PopControls(), kStackNothing);
  EXPECT_EQ(tip.Update(services.now), kUpdateIdle);

  FakeControl a("a", 0, 0), hidden("h", 20, 0);
  hidden.SetVisible(false);
  EXPECT_EQ(tip.AddControl(&hidden, -1), kAddControlDone);
  EXPECT_EQ(tip.FocusNext(), kFocusNoneQualifies);
  EXPECT_EQ(tip.SetFocus(&hidden), kFocusNotEligible);
  EXPECT_EQ(tip.SetFocus(&a), kFocusNotListed);
  EXPECT_EQ(tip.AddControl(&a, 0), kAddControlDone);
  EXPECT_EQ(tip.AddControl(&a, -1), kAddControlOwned);
  EXPECT_EQ(tip.Controls().front(), &a) << "position 0 puts it first";
  ASSERT_EQ(tip.SetFocus(&a), kFocusDone);
  EXPECT_EQ(Press(kTab), kUpdateFocusMoved);
  EXPECT_EQ(a.log.back(), "a got again") << "the lone focused control is told again";
}

TEST_F(Focus, PushAndPopRestoreTheExactListAndGoneControlsLeaveNoHoverOrFocus) {
  auto a = std::make_unique<FakeControl>("a", 0, 0);
  FakeControl b("b", 20, 0), modal("m", 40, 0), saved("s", 60, 0);
  for (UiControl* control : {a.get(), &saved, &b}) (void)tip.AddControl(control, -1);
  (void)tip.SetFocus(&b);
  services.x = 5;
  services.y = 5;
  (void)tip.Update(services.now);
  ASSERT_EQ(tip.GetHover(), a.get());
  ASSERT_EQ(tip.PushControls(), kStackDone);
  EXPECT_TRUE(tip.GetHover() == nullptr && tip.GetFocus() == nullptr && tip.Controls().empty());
  EXPECT_EQ(saved.GetOwner(), &tip) << "pushed controls keep their owner";
  tip.RemoveControl(&saved);
  EXPECT_EQ(saved.GetOwner(), nullptr) << "a saved control can be removed";
  EXPECT_EQ(tip.AddControl(&modal, -1), kAddControlDone);
  ASSERT_EQ(tip.PopControls(), kStackDone);
  EXPECT_EQ(std::tuple(modal.GetOwner(), tip.Controls(), tip.GetFocus(), tip.GetHover()),
            std::tuple(nullptr, std::list<UiControl*>{a.get(), &b}, nullptr, nullptr));

  (void)tip.SetFocus(&b);
  services.x = 6;
  (void)tip.Update(services.now);
  ASSERT_EQ(tip.GetHover(), a.get());
  a.reset();
  EXPECT_EQ(tip.GetHover(), nullptr) << "a destroyed control leaves no hover";
  tip.RemoveControl(&b);
  EXPECT_EQ(std::tuple(tip.GetFocus(), b.log.back()), std::tuple(nullptr, "b lost"))
      << "a removed control leaves no focus";
}

TEST_F(Focus, AControlThatLetsGoOrPassesTheFocusOnLeavesOthersTheirs) {
  FakeControl a("a", 0, 0), b("b", 20, 0), hidden("h", 40, 0);
  hidden.SetVisible(false);
  for (UiControl* control : {&a, &b, &hidden}) ASSERT_EQ(tip.AddControl(control, -1), 0);
  const struct {
    const char* what;
    UiControl* letting;
    bool withFocus;
    UiControl* focusAfter;
    UiControl* hoverAfter;
  } letGo[] = {
      {"the hover alone", &a, false, &a, nullptr},
      {"the hover and the focus", &a, true, nullptr, nullptr},
      {"one that holds neither", &b, true, &a, &a},
  };
  for (const auto& row : letGo) {
    ASSERT_EQ(tip.SetFocus(&a), kFocusDone);
    services.x = services.y = 5 + int32_t(&row - letGo);  // a move finds the hover again
    (void)tip.Update(services.now);
    ASSERT_EQ(tip.GetHover(), &a) << row.what;
    tip.LetGo(row.letting, row.withFocus);
    EXPECT_EQ(std::pair(tip.GetFocus(), tip.GetHover()), std::pair(row.focusAfter, row.hoverAfter))
        << row.what;
  }

  const struct {
    const char* what;
    bool lone, forward;
    UiControl* from;
    UiControl* focusAfter;
  } pass[] = {
      {"on to the next", false, true, &a, &b},
      {"back to the one before", false, false, &b, &a},
      {"from the only control that can hold it: to none", true, true, &a, nullptr},
  };
  for (const auto& row : pass) {
    (void)b.SetEnabled(!row.lone);
    ASSERT_EQ(tip.SetFocus(row.from), kFocusDone) << row.what;
    tip.PassFocusOn(row.forward);
    EXPECT_EQ(tip.GetFocus(), row.focusAfter) << row.what;
  }
}

using Hover = GuiTest;

TEST_F(Hover, TooltipsWaitTheirDelayLastTheirDurationAndGoForTheirControl) {
  FakeControl a("a", 0, 0), b("b", 20, 0);
  a.SetTooltipText("tip");
  for (UiControl* control : {&a, &b}) EXPECT_EQ(tip.AddControl(control, -1), kAddControlDone);
  tip.SetTooltipOptions(true, 500, 0);
  // The hover starts at clock 0, where the virtual clock starts and every wrap passes.
  services.now = 0;
  services.x = services.y = 5;
  (void)tip.Update(0);
  (void)tip.Update(499);
  EXPECT_FALSE(tip.IsTooltipShown());
  (void)tip.Update(500);
  EXPECT_TRUE(tip.IsTooltipShown()) << "a hover at clock 0 shows its tooltip";
  (void)tip.Update(100000);
  EXPECT_TRUE(tip.IsTooltipShown()) << "duration 0: until the hover ends";
  tip.HideTooltipOf(&b);
  EXPECT_TRUE(tip.IsTooltipShown()) << "not for another control";
  tip.HideTooltipOf(&a);
  EXPECT_FALSE(tip.IsTooltipShown()) << "for the control it is shown for";

  tip.SetTooltipOptions(true, 500, 1000);
  services.x = 25;
  (void)tip.Update(200000);
  services.x = 5;
  (void)tip.Update(200000);
  (void)tip.Update(201500);
  EXPECT_TRUE(tip.IsTooltipShown());
  (void)tip.Update(201501);
  EXPECT_FALSE(tip.IsTooltipShown());
  (void)tip.Update(201600);
  EXPECT_FALSE(tip.IsTooltipShown()) << "a hidden tooltip waits for the hover to change";
}

class Parts : public ScreenPartTest, public testing_text::FakeFaceRenderers {};

TEST_F(Parts, FactoriesListNothingWithoutATargetAndPartsAreDeletedOnce) {
  parts_.SetTarget(nullptr);
  ColorBoxPart sentinel;
  ColorBoxPart* box = &sentinel;  // the factory clears it
  EXPECT_EQ(parts_.CreateColorBox(&box, 1, 0, 0, 10, 10, 1, 2, 3), kCreateBadArguments);
  EXPECT_EQ(box, nullptr);
  UiControl* check = &sentinel;
  EXPECT_EQ(parts_.CreateFileCheckButton(&check, 0, nullptr, 1, "cg\\c.bmp", false, 0, 0, 0, 255),
            kCreateBadArguments);
  EXPECT_EQ(check, nullptr);
  EXPECT_EQ(parts_.PartCount(), 0u);
  // The menu keeps no target of its own until it is given one: it is made and listed.
  ImageListPart* menu = nullptr;
  EXPECT_EQ(parts_.CreateImageList(&menu, 1, 0, 0, 60, 20, 0, nullptr), 1) << "no renderer";
  EXPECT_EQ(menu, nullptr);
  ASSERT_EQ(parts_.CreateImageList(&menu, 1, 0, 0, 60, 20, 0, &gdi), 0);
  ASSERT_EQ(parts_.DeletePart(menu), kDeleteDone);

  // With a target, parts are made in the default group and deleted once.
  parts_.SetTarget(&layer_);
  parts_.SetDefaultGroup(7);
  ASSERT_EQ(parts_.CreateColorBox(&box, 1, 0, 0, 10, 10, 1, 2, 3), 0);
  EXPECT_EQ(tip_.AddControl(box, -1), kAddControlDone);
  EXPECT_EQ(std::tuple(box->GetGroup(), layer_.GetList().IsEmpty()), std::tuple(7, false));
  EXPECT_EQ(parts_.DeletePart(nullptr), kDeleteNull);
  EXPECT_EQ(parts_.DeletePart(box), kDeleteDone);
  EXPECT_EQ(parts_.DeletePart(box), kDeleteNotListed) << "deleted once";
  EXPECT_TRUE(layer_.GetList().IsEmpty() && tip_.Controls().empty())
      << "a deleted part leaves the screen and the pointer tip";
}

}  // namespace
}  // namespace bw::test
