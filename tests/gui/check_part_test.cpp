#include "gui/check_part.h"

#include "part_fixture.h"

namespace bw::test {
namespace {

class CheckParts : public PartTest {
 protected:
  void SetUp() override {
    PartTest::SetUp();
    Write("CG/RADIO.BMP", GreyCells(10, 4, 10));
  }
  // A radio part of layout 2 at (x, 0), box-hit, registered.
  std::unique_ptr<CheckPart> Radio(int32_t x, CheckPartBase* leader, uint32_t var = 0) {
    auto part = std::make_unique<CheckPart>();
    EXPECT_EQ(part->CreateFromFile(
                  &list_, "cg\\radio.bmp",
                  {.order = 1, .stateVar = var, .layout = 2, .groupLeader = leader, .x = x}, 0),
              kCreateDone);
    EXPECT_EQ(tip_.AddControl(part.get(), -1), kAddControlDone);
    return part;
  }
};

TEST_F(CheckParts, EachLayoutShowsItsCellForEveryStateAndACheckBoxTogglesItsWord) {
  Write("CG/EIGHT.BMP", GreyCells(10, 8, 10));
  const struct {
    int layout;
    bool disabledCells;
    int32_t width;
    uint8_t cells[8];
  } cases[] = {
      {0, true, 10, {0, 1, 2, 3, 4, 5, 6, 7}},  {0, false, 80 / 6, {0, 1, 2, 3, 4, 5, 0, 3}},
      {1, false, 20, {0, 1, 1, 2, 3, 3, 0, 2}}, {2, true, 80 / 6, {0, 1, 2, 3, 3, 3, 4, 5}},
      {3, true, 16, {0, 1, 1, 2, 2, 2, 3, 4}},  {3, false, 80 / 3, {0, 1, 1, 2, 2, 2, 0, 2}},
  };
  for (const auto& c : cases) {
    CheckPart part;
    ASSERT_EQ(part.CreateFromFile(
                  &list_, "cg\\eight.bmp",
                  {.order = 1, .layout = c.layout, .hasDisabledCell = c.disabledCells}, 0),
              kCreateDone);
    EXPECT_EQ(part.GetWidth(), c.width) << "layout " << c.layout;
    for (uint8_t state = 0; state < 8; ++state) {
      (void)part.SetState(state);
      EXPECT_EQ(part.GetShownCell(), c.cells[state])
          << "layout " << c.layout << " disabled cells " << c.disabledCells << " state " << +state;
    }
  }
  CheckPart bad;
  for (int layout : {-1, 4}) {
    EXPECT_EQ(bad.CreateFromFile(&list_, "cg\\eight.bmp", {.order = 1, .layout = layout}, 0),
              kCreateBadArguments)
        << "layout " << layout << " has no cell table";
  }
  EXPECT_EQ(bad.CreateFromFile(&list_, "cg\\none.bmp", {.order = 1}, 0), kCreateNoPicture);

  const uint32_t var = NewWord();
  services_.memory.Write32(var, 7);
  CheckPart box;
  ASSERT_EQ(box.CreateFromFile(&list_, "cg\\radio.bmp", {.order = 1, .stateVar = var}, 0),
            kCreateDone);
  EXPECT_EQ(Word(var), 0u) << "a check box starts unchecked";
  box.SetId(4);
  EXPECT_EQ(tip_.AddControl(&box, -1), kAddControlDone);
  ClickAt(3, 3);
  EXPECT_EQ(std::tuple(box.GetState(), Word(var), tip_.TakeFiredId()),
            std::tuple(kCheckCheckedHover, 1u, 4));
  Click();
  EXPECT_EQ(std::tuple(box.GetState(), Word(var)), std::tuple(kCheckHover, 0u));
  (void)box.SetEnabled(false);
  EXPECT_EQ(Word(var), 2u) << "disabled";
  EXPECT_TRUE(box.SetChecked(true));
  EXPECT_EQ(box.GetState(), kCheckDisabledChecked);
  EXPECT_FALSE(box.SetChecked(true)) << "already checked";
}

TEST_F(CheckParts, ARadioGroupSelectsOneAndTheSelectedOneDoesNotHit) {
  const uint32_t words[3] = {NewWord(), NewWord(), NewWord()};
  auto leader = Radio(0, nullptr, words[0]);
  auto first = Radio(20, leader.get(), words[1]);
  auto second = Radio(40, leader.get(), words[2]);
  EXPECT_EQ(std::tuple(leader->GetState(), leader->GetSelectedIndex(), Word(words[0])),
            std::tuple(kCheckChecked, 0, 1u));

  second->SetId(12);
  ClickAt(45, 5);
  EXPECT_EQ(tip_.TakeFiredId(), 12);
  EXPECT_EQ(std::tuple(leader->GetState(), second->GetState(), leader->GetSelectedIndex(),
                       Word(words[0]), Word(words[2])),
            std::tuple(kCheckNormal, kCheckChecked, 2, 0u, 1u));
  MoveTo(46, 5);
  EXPECT_EQ(tip_.GetHover(), nullptr) << "the selected radio takes no hover";
  Click();
  EXPECT_EQ(tip_.TakeFiredId(), -1);

  EXPECT_TRUE(second->SetChecked(false)) << "the last member hands the selection on";
  EXPECT_EQ(leader->GetSelectedIndex(), 0) << "wrapping to the leader";
  EXPECT_EQ(leader->SelectIndex(-1), kGroupBadIndex) << "no member before the leader";
  EXPECT_EQ(first->SelectIndex(3), kGroupBadIndex);
  EXPECT_EQ(first->SelectIndex(1), kGroupDone) << "a member passes it to its leader";
  EXPECT_EQ(first->GetState(), kCheckChecked);

  (void)leader->SetPosition(5, 7);
  EXPECT_EQ(std::pair(second->GetX(), second->GetY()), std::pair(45, 7))
      << "a leader takes its members along";

  EXPECT_EQ(first->StoreSelection(), kGroupDone);
  EXPECT_EQ(Word(words[2]), 1u) << "every word gets the selected index";
  EXPECT_TRUE(second->IsLocked());
  MoveTo(50, 10);
  EXPECT_EQ(tip_.GetHover(), nullptr) << "a locked group ignores the pointer";

  first.reset();
  EXPECT_EQ(std::tuple(leader->GetSelectedIndex(), leader->Members().size()), std::tuple(0, 1u))
      << "the selected member went: the leader takes it";
  leader.reset();
  EXPECT_EQ(second->GetLeader(), nullptr) << "a deleted leader frees its members";
}

TEST_F(CheckParts, FocusPassesOverLockedGroupsAndSelectedRadios) {
  FakeControl before("before", 100, 100);
  EXPECT_EQ(tip_.AddControl(&before, -1), kAddControlDone);
  auto leader = Radio(0, nullptr);
  auto member = Radio(20, leader.get());
  FakeControl after("after", 120, 100);
  EXPECT_EQ(tip_.AddControl(&after, -1), kAddControlDone);

  ASSERT_EQ(tip_.SetFocus(&before), kFocusDone);
  Press(kTab);
  EXPECT_EQ(std::tuple(tip_.GetFocus(), member->GetState()), std::tuple(member.get(), kCheckHover))
      << "the selected leader passes the focus on";

  leader->SetLocked(true);
  EXPECT_EQ(tip_.GetFocus(), nullptr) << "locking drops the focus";
  ASSERT_EQ(tip_.SetFocus(&before), kFocusDone);
  Press(kTab);
  EXPECT_EQ(tip_.GetFocus(), &after) << "a locked group is skipped";
  Press(kTab);
  EXPECT_EQ(tip_.GetFocus(), &before);

  // Two lone selected radios pass the focus to each other: the pass-on guard ends it.
  tip_.RemoveAll();
  leader->SetLocked(false);
  EXPECT_EQ(tip_.AddControl(leader.get(), -1), kAddControlDone);
  auto otherLeader = Radio(60, nullptr);
  EXPECT_EQ(tip_.SetFocus(leader.get()), kFocusDone);
  EXPECT_EQ(tip_.GetFocus(), nullptr);
}

// A disabled group moves its selection in disabled looks, and shows the usual ones when enabled.
TEST_F(CheckParts, ADisabledRadioGroupSelectsInItsDisabledLooks) {
  auto leader = Radio(0, nullptr);
  auto member = Radio(20, leader.get());
  ASSERT_TRUE(leader->SetEnabled(false));
  EXPECT_EQ(std::pair(leader->GetState(), member->GetState()),
            std::pair(kCheckDisabledChecked, kCheckDisabled));
  ASSERT_EQ(leader->SelectIndex(1), kGroupDone);
  EXPECT_EQ(std::pair(leader->GetState(), member->GetState()),
            std::pair(kCheckDisabled, kCheckDisabledChecked));
  ASSERT_TRUE(leader->SetEnabled(true));
  EXPECT_EQ(std::pair(leader->GetState(), member->GetState()),
            std::pair(kCheckNormal, kCheckChecked));
}

}  // namespace
}  // namespace bw::test
