// Picture maps of cells and invisible hit areas: what fires them and how the focus walks them.
#include <string>

#include "gui/cell_image_part.h"
#include "gui/hit_area_part.h"
#include "gui/part_manager.h"
#include "part_fixture.h"

namespace bw::test {
namespace {

// Cells 0 to 3 of five; index 7 is a hole, cell 4 is on no pixel.
const std::vector<std::vector<uint8_t>> kMap = {{0, 0, 1, 1, 7, 3}, {2, 2, 1, 1, 7, 3}};

class CellImages : public PartTest {
 protected:
  void SetUp() override {
    PartTest::SetUp();
    Write("CG/MAP.BMP", IndexPicture(kMap));
  }
  void Make(CellImagePart* part, bool fireEnabled = true) {
    ASSERT_EQ(part->Create("cg\\map.bmp", 0x105, 10, 10, fireEnabled, 0), kMapDone);
    ASSERT_EQ(part->GetCellCount(), 5) << "the low byte of the count";
    EXPECT_EQ(tip_.AddControl(part, -1), kAddControlDone);
  }
  std::string Tooltip(const CellImagePart& part) {
    return part.GetTooltipText() ? part.GetTooltipText() : "(none)";
  }
};

TEST_F(CellImages, CreateAnswersItsCodesAndCellsHoverAndFireWithTheirIdThenLock) {
  CellImagePart part;
  Make(&part);
  part.SetId(100);
  const uint32_t hovered0 = NewWord();
  const uint32_t clicked1 = NewWord();
  (void)part.SetCellAction(0, nullptr, 0, nullptr, "zero", 0, hovered0, 0);
  (void)part.SetCellAction(1, nullptr, 0, nullptr, "one", clicked1, 0, 0);
  (void)part.SetSounds(nullptr, nullptr, nullptr, 3, -1, -1);

  MoveTo(14, 10);
  EXPECT_EQ(tip_.GetHover(), nullptr) << "index 7 of five cells is a hole";
  MoveTo(10, 10);
  EXPECT_EQ(std::tuple(part.GetActiveCell(), Word(hovered0), Tooltip(part)),
            std::tuple(0, 1u, std::string("zero")));
  MoveTo(12, 10);
  EXPECT_EQ(std::tuple(part.GetActiveCell(), Word(hovered0), Tooltip(part)),
            std::tuple(1, 0u, std::string("one")))
      << "each cell has its own tooltip";
  (void)part.SetCellEnabled(3, false);
  MoveTo(15, 11);
  EXPECT_EQ(tip_.GetHover(), nullptr) << "a disabled cell is a hole";

  ClickAt(13, 11);
  EXPECT_EQ(tip_.TakeFiredId(), 101) << "the id plus the cell";
  EXPECT_EQ(Word(clicked1), 1u);
  EXPECT_TRUE(part.IsLocked());
  ClickAt(10, 11);
  EXPECT_EQ(tip_.TakeFiredId(), -1) << "locked after firing";
  part.SetLocked(false);
  ClickAt(11, 11);
  EXPECT_EQ(tip_.TakeFiredId(), 102);
  EXPECT_EQ(tip_.sounds.back(), 3) << "the click sound";

  CellImagePart quiet;
  Make(&quiet, false);
  (void)quiet.SetPosition(10, 30);
  quiet.SetId(200);
  ClickAt(10, 30);
  EXPECT_EQ(tip_.TakeFiredId(), -1);
  EXPECT_FALSE(quiet.IsLocked()) << "no firing, no lock";

  CellImagePart codes;
  EXPECT_EQ(codes.Create("cg\\map.bmp", 0x100, 0, 0, true, 0), kMapNoCells) << "count 0";
  EXPECT_EQ(codes.Create("cg\\none.bmp", 3, 0, 0, true, 0), kMapNotLoaded) << "no map";
  EXPECT_EQ(codes.SetCellEnabled(0, false), kMapNoCells) << "no cells";
  ASSERT_EQ(codes.Create("cg\\map.bmp", 3, 0, 0, true, 0), kMapDone);
  EXPECT_EQ(codes.GetWidth(), 6);
  EXPECT_EQ(codes.SetCellAction(3, nullptr, 0, nullptr, nullptr, 0, 0, 0), kMapBadIndex);
  EXPECT_EQ(codes.FocusCellByIndex(0), kMapNoCells) << "not registered";
}

TEST_F(CellImages, TabWalksTheEnabledCellsThenLeavesOrWraps) {
  CellImagePart part;
  Make(&part);
  (void)part.SetCellEnabled(1, false);
  FakeControl after("after", 100, 100);
  EXPECT_EQ(tip_.AddControl(&after, -1), kAddControlDone);
  ASSERT_EQ(tip_.SetFocus(&part), kFocusDone);
  std::vector<int32_t> visited{part.GetActiveCell()};
  for (int i = 0; i < 4; ++i) {
    Press(kTab);
    visited.push_back(tip_.IsFocus(&part) ? part.GetActiveCell() : -1);
  }
  EXPECT_EQ(visited, (std::vector<int32_t>{0, 2, 3, 4, -1})) << "-1: the focus left the part";
  EXPECT_EQ(tip_.GetFocus(), &after);
  Press(kTab);
  EXPECT_EQ(part.GetActiveCell(), 0) << "coming back enters the first cell";
  Press(kUp);
  EXPECT_EQ(tip_.GetFocus(), &after) << "back from the first cell leaves";

  tip_.RemoveControl(&after);
  ASSERT_EQ(part.FocusCellByIndex(4), kMapDone);
  Press(kTab);
  EXPECT_EQ(part.GetActiveCell(), 0) << "alone, the part wraps";
  EXPECT_EQ(part.FocusCellByIndex(1), kMapCellDisabled) << "disabled";

  part.SetLocked(true);
  (void)tip_.SetFocus(nullptr);
  EXPECT_EQ(tip_.SetFocus(&part), kFocusDone);
  EXPECT_EQ(tip_.GetFocus(), nullptr) << "a locked part passes the focus on, here to nobody";
}

using HitAreas = PartTest;

TEST_F(HitAreas, CreateChecksTheSizeAndABlindAreaTakesTheFocusAndFiresByKey) {
  HitAreaPart area;
  EXPECT_EQ(area.Create(0, 0, 5, -3, -1, -1, true, true, 0), kCreateBadArguments);
  ASSERT_EQ(area.Create(-10, 4, 5, 7, -1, -1, true, true, 3), kCreateDone);
  EXPECT_EQ(std::pair(area.GetCenterX(), area.GetCenterY()), std::pair(-8, 7))
      << "halves round down";

  HitAreaPart blind;  // never hits, yet takes the focus and fires by key
  ASSERT_EQ(blind.Create(10, 10, 20, 20, -1, -1, false, true, 0), kCreateDone);
  blind.SetId(2);
  EXPECT_EQ(tip_.AddControl(&blind, -1), kAddControlDone);
  MoveTo(15, 15);
  EXPECT_EQ(tip_.GetHover(), nullptr);
  ASSERT_EQ(tip_.SetFocus(&blind), kFocusDone);
  EXPECT_TRUE(blind.IsHovered());
  services_.Key(kReturn, true);
  EXPECT_EQ(Step(), kUpdateKeyTaken);
  EXPECT_EQ(tip_.TakeFiredId(), 2) << "no pressed delay";
  (void)tip_.SetFocus(nullptr);
  EXPECT_FALSE(blind.IsHovered());
}

TEST_F(HitAreas, FiresOnThePressOnlyWhenFiringIsOn) {
  const struct {
    bool fireEnabled;
    int32_t firedId;
    uint32_t clicked;
  } cases[] = {{true, 9, 1}, {false, -1, 0}};
  for (const auto& c : cases) {
    tip_.RemoveAll();
    tip_.sounds.clear();
    services_.x = services_.y = -1;
    Step();
    HitAreaPart area;
    ASSERT_EQ(area.Create(10, 10, 20, 20, -1, -1, true, c.fireEnabled, 0), kCreateDone);
    const uint32_t clicked = NewWord();
    area.SetAction({.clickedVar = clicked, .clickSound = 5});
    area.SetId(9);
    EXPECT_EQ(tip_.AddControl(&area, -1), kAddControlDone);
    MoveTo(15, 15);
    EXPECT_EQ(Button(true), c.fireEnabled ? kUpdatePointerTaken : kUpdateIdle);
    EXPECT_EQ(tip_.TakeFiredId(), c.firedId) << "fired on the press, fire " << c.fireEnabled;
    EXPECT_EQ(Word(clicked), c.clicked);
    Button(false);
    EXPECT_EQ(tip_.TakeFiredId(), -1) << "the release fires nothing";
    MoveTo(50, 50);
    std::vector<int32_t> sounds{kDefaultEnterSound, kDefaultLeaveSound};
    if (c.fireEnabled) sounds.insert(sounds.begin() + 1, 5);
    EXPECT_EQ(tip_.sounds, sounds) << "fire " << c.fireEnabled;
  }
}

// Parts' neighbours inside the manager are GuiPartNatives.DeletedPartsLeaveNoHandleNeighbour's; a
// control outside it forgets them too.
TEST_F(HitAreas, DeletedPartsStopBeingAnyControlsNeighbour) {
  PartManager parts;
  HitAreaPart* made[2] = {};
  for (int32_t i = 0; i < 2; ++i) {
    parts.SetDefaultGroup(i + 1);
    ASSERT_EQ(parts.CreateHitArea(&made[i], 20 * i, 0, 10, 10, -1, -1, true, true), kCreateDone);
    EXPECT_EQ(tip_.AddControl(made[i], -1), kAddControlDone);
  }
  FakeControl outside("outside", 100, 100);
  EXPECT_EQ(tip_.AddControl(&outside, -1), kAddControlDone);
  outside.SetNeighbours(made[0], nullptr, made[1], nullptr);
  parts.DeleteGroup(2, false);
  EXPECT_EQ(outside.GetNeighbour(kNavigateUp), nullptr);
  EXPECT_EQ(outside.GetNeighbour(kNavigateLeft), made[0]) << "a kept neighbour stays";
  parts.DeleteAll();
  EXPECT_EQ(outside.GetNeighbour(kNavigateLeft), nullptr);
}

// A box hits from its top-left corner up to, not including, its right and bottom edges, tall or
// wide.
TEST_F(HitAreas, ABoxHitsInsideItsWidthAndItsHeight) {
  const struct {
    int32_t width, height, x, y;
    bool hit;
  } cases[] = {{5, 30, 12, 40, true}, {5, 30, 12, 49, true},  {5, 30, 12, 50, false},
               {5, 30, 14, 20, true}, {5, 30, 15, 20, false}, {5, 30, 10, 19, false},
               {30, 5, 39, 24, true}, {30, 5, 20, 25, false}, {30, 5, 40, 22, false},
               {30, 5, 9, 22, false}};
  for (const auto& c : cases) {
    HitAreaPart area;
    ASSERT_EQ(area.Create(10, 20, c.width, c.height, -1, -1, true, true, 0), kCreateDone);
    EXPECT_EQ(area.HitTest(c.x, c.y), c.hit)
        << c.width << " x " << c.height << " at " << c.x << "," << c.y;
  }
}

}  // namespace
}  // namespace bw::test
