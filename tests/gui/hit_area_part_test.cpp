#include "gui/hit_area_part.h"

#include "gui/part_manager.h"

#include "part_fixture.h"

namespace bw::test {
namespace {

class HitAreas : public PartTest {};

TEST_F(HitAreas, CreateChecksTheSizeAndCentresOnRequest) {
  HitAreaPart area;
  EXPECT_EQ(area.Create(0, 0, 5, -3, -1, -1, true, true, 0), kCreateBadArguments);
  ASSERT_EQ(area.Create(-10, 4, 5, 7, -1, -1, true, true, 3), kCreateDone);
  EXPECT_EQ(std::pair(area.GetCenterX(), area.GetCenterY()), std::pair(-8, 7))
      << "halves round down";
  EXPECT_EQ(area.GetGroup(), 3);
  EXPECT_TRUE(area.HitTest(-10, 4));
  EXPECT_FALSE(area.HitTest(-11, 4)) << "left of the area";
  EXPECT_FALSE(area.HitTest(-5, 4)) << "the right edge is outside";
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
    const uint32_t hovered = NewWord();
    area.SetAction({.clickedVar = clicked, .hoveredVar = hovered, .clickSound = 5});
    area.SetId(9);
    tip_.AddControl(&area, -1);
    MoveTo(15, 15);
    EXPECT_EQ(Word(hovered), 1u) << "fire " << c.fireEnabled;
    services_.Button(true);
    EXPECT_EQ(Step(), c.fireEnabled ? kUpdatePointerTaken : kUpdateIdle);
    EXPECT_EQ(tip_.TakeFiredId(), c.firedId) << "fired on the press, fire " << c.fireEnabled;
    EXPECT_EQ(Word(clicked), c.clicked);
    services_.Button(false);
    Step();
    EXPECT_EQ(tip_.TakeFiredId(), -1) << "the release fires nothing";
    MoveTo(50, 50);
    EXPECT_EQ(Word(hovered), 0u);
    std::vector<int32_t> sounds{kDefaultEnterSound, kDefaultLeaveSound};
    if (c.fireEnabled) sounds.insert(sounds.begin() + 1, 5);
    EXPECT_EQ(tip_.sounds, sounds) << "fire " << c.fireEnabled;
  }
}

TEST_F(HitAreas, AnAreaThatNeverHitsStillTakesTheFocusAndFiresByKey) {
  HitAreaPart area;
  ASSERT_EQ(area.Create(10, 10, 20, 20, -1, -1, false, true, 0), kCreateDone);
  area.SetId(2);
  tip_.AddControl(&area, -1);
  MoveTo(15, 15);
  EXPECT_EQ(tip_.GetHover(), nullptr);
  ASSERT_EQ(tip_.SetFocus(&area), kFocusDone);
  EXPECT_TRUE(area.IsHovered());
  services_.Key(kReturn, true);
  EXPECT_EQ(Step(), kUpdateKeyTaken);
  EXPECT_EQ(tip_.TakeFiredId(), 2) << "no pressed delay";
  tip_.SetFocus(nullptr);
  EXPECT_FALSE(area.IsHovered());
}

TEST_F(HitAreas, DeletedPartsStopBeingAnyControlsNeighbour) {
  PartManager parts;
  HitAreaPart* made[3] = {};
  for (int32_t i = 0; i < 3; ++i) {
    parts.SetDefaultGroup(i == 2 ? 2 : 1);
    ASSERT_EQ(parts.CreateHitArea(&made[i], 20 * i, 0, 10, 10, -1, -1, true, true), kCreateDone);
    tip_.AddControl(made[i], -1);
  }
  FakeControl outside("outside", 100, 100);
  tip_.AddControl(&outside, -1);
  made[0]->SetNeighbours(made[1], made[2], nullptr, made[2]);
  outside.SetNeighbours(made[0], nullptr, made[2], nullptr);

  parts.DeleteGroup(2, false);
  EXPECT_EQ(made[0]->GetNeighbour(kNavigateLeft), made[1]) << "a kept neighbour stays";
  EXPECT_EQ(made[0]->GetNeighbour(kNavigateDown), nullptr);
  EXPECT_EQ(outside.GetNeighbour(kNavigateUp), nullptr) << "also outside the manager";
  EXPECT_EQ(parts.DeletePart(made[1]), kDeleteDone);
  EXPECT_EQ(made[0]->GetNeighbour(kNavigateLeft), nullptr);
  parts.DeleteAll();
  EXPECT_EQ(outside.GetNeighbour(kNavigateLeft), nullptr);
  EXPECT_EQ(parts.CreateHitArea(&made[0], 0, 0, 0, 10, -1, -1, true, true), kCreateBadArguments);
  EXPECT_EQ(made[0], nullptr);
  EXPECT_EQ(parts.PartCount(), 0u);
}

}  // namespace
}  // namespace bw::test
