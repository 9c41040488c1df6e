// Label: optimised
// The system menu: where it opens, which buttons it disables, what each button answers, how it
// closes, and the quit question.
#include "scenario/tgs/tgs_system_menu.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/cp932.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_test_world.h"

namespace bw {
namespace {

// Buttons 22 lines apart from (8, 8); clicks and the pointer by the frame host's turn.
struct FakeMenu : TgsMenuHost {
  void GetPointer(int32_t& x, int32_t& y, int& s) override {
    x = opened ? laterX : px, y = py, s = 0;
  }
  int Open(int32_t x, int32_t y) override { return corner = {x, y}, opened = true, 0; }
  void SetButton(int b, bool on, bool isChecked, const std::string& tip) override {
    if (!on) disabled.insert(b);
    if (isChecked) checked.insert(b);
    if (!tip.empty()) tips[b] = tip;
  }
  bool ButtonCorner(int b, int32_t& x, int32_t& y) override {
    return x = corner.first + 8, y = corner.second + 8 + 22 * b, true;
  }
  void FocusButton(int b) override { focused = b; }
  bool MovePointer(int32_t x, int32_t y) override { return moved = {x, y}, movable; }
  bool SetMenuFade(bool fade, bool show) override {
    fades.push_back(std::string(fade ? "fade" : "now") + (show ? " in" : " out"));
    return fadeTurns = 3, fade;
  }
  bool FadeRunning() override { return fadeTurns-- > 0; }
  int TakeClickedButton(uint32_t) override { return *turn == clickTurn ? clicked : -1; }
  void FadeOutMusic(uint32_t ms) override { musicFadeMs = ms; }
  void Close() override { ++closes; }

  const int* turn = nullptr;
  int32_t px = 400, py = 300, laterX = 400;
  bool opened = false, movable = true;
  int clickTurn = -1, clicked = -1, focused = -1, closes = 0, fadeTurns = 0;
  uint32_t musicFadeMs = 0;
  std::pair<int32_t, int32_t> corner, moved{-9, -9};
  std::set<int> disabled, checked;
  std::map<int, std::string> tips;
  std::vector<std::string> fades;
};

struct MenuFrameHost : FakeFrameHost {
  TgsMenuHost* MenuHost() override { return &menu; }
  bool RightClicked() override { return rightTurns.count(turns) != 0; }
  // A menu that never closes fails its test instead of hanging it.
  int FrameTurn() override { return turns > 1000 ? 0 : FakeFrameHost::FrameTurn(); }
  FakeMenu menu;
  std::set<int> rightTurns;
};

class SystemMenuTest : public ::testing::Test {
 protected:
  SystemMenuTest() : frame(nullptr, &files, &host) { host.settings.menuRow = 0; }
  // A fresh menu whose button is clicked (or, for -1, which is right-clicked) after turns.
  FakeMenu& Menu(int button = -1, int turns = 1) {
    host.menu = FakeMenu{};
    host.menu.turn = &host.turns;
    host.rightTurns = {};
    if (button >= 0)
      host.menu.clickTurn = host.turns + turns, host.menu.clicked = button;
    else
      host.rightTurns = {host.turns + turns};
    return host.menu;
  }

  MemoryScriptFileSource files;
  MenuFrameHost host;
  TgsFrame frame;
};

TEST(SystemMenuPlace, BesideThePointerClampedToTheScreen) {
  struct Case {
    int32_t px, py;
    int state, row;
    TgsMenuPlace want;
  } cases[] = {
      {10, 10, 0, 0, {0, 0, true}},        {790, 590, 0, 0, {667, 320, true}},
      {400, 300, 0, 5, {334, 171, false}}, {-2, 300, 4, 0, {0, 281, true}},
      {-2, 300, 0, 0, {667, 281, true}},   {400, -2, 8, 0, {334, 0, true}},
      {400, -2, 0, 0, {334, 320, true}},   {-2, -2, 4, 0, {0, 0, true}},
      {-1, -1, 0, 0, {667, 0, true}},
  };
  for (const Case& c : cases) {
    const TgsMenuPlace p = PlaceSystemMenu(c.px, c.py, c.state, c.row);
    EXPECT_EQ(std::tie(p.x, p.y, p.moved), std::tie(c.want.x, c.want.y, c.want.moved))
        << c.px << "," << c.py << " state " << c.state;
  }
}

TEST_F(SystemMenuTest, ThePointerGoesOntoTheRowButtonUnlessAtTheCorner) {
  Menu(4).px = 10, host.menu.py = 10;
  EXPECT_EQ(frame.SystemMenu(), 11);
  EXPECT_EQ(host.menu.moved, (std::pair<int32_t, int32_t>{8 + 58, 8 + 11}));

  host.settings.menuRow = 200;  // from the player's file: clamped to the last button
  Menu(4).px = 799, host.menu.py = 599;
  EXPECT_EQ(frame.SystemMenu(), 11);
  EXPECT_EQ(host.menu.focused, 11);
  EXPECT_EQ(host.menu.moved.first, -9) << "the corner keeps the pointer";

  Menu(5, 3).px = 790, host.menu.movable = false;
  EXPECT_EQ(frame.SystemMenu(), 12) << "a pointer that cannot be placed leaves the menu open";
}

TEST_F(SystemMenuTest, SwitchesDisableTheirButtonsAndEachButtonAnswersItsCommand) {
  frame.SetButtonState(6, 0), frame.SetButtonState(2, 0);
  host.state.quickLoadAllowed = host.state.titleAllowed = 0;
  Menu();
  EXPECT_EQ(frame.SystemMenu(), kMenuClosed);
  EXPECT_EQ(host.menu.disabled, (std::set<int>{0, 2, 6, 8, 10}));
  EXPECT_EQ(host.menu.tips[1], host::Cp932Literal("次の選択肢までスキップ"));
  frame.SetButtonState(5, 0), frame.SetButtonState(7, 0), host.state.settingsAllowed = 0;
  frame.SetButtonState(6, 1);
  frame.DispatchInput(6);  // auto play on: button 0 shows it checked
  Menu();
  frame.SystemMenu();
  EXPECT_EQ(host.menu.disabled, (std::set<int>{1, 2, 3, 6, 8, 9, 10}));
  EXPECT_EQ(host.menu.checked, std::set<int>{0});
  EXPECT_TRUE(host.menu.tips.empty()) << "a disabled skip button has no tip";

  const int32_t results[] = {9, 8, 17, 10, 11, 12, 13, 14, 15, 16, 18};
  for (int b = 0; b < 11; ++b) {
    Menu(b);
    EXPECT_EQ(frame.SystemMenu(), results[b]) << "button " << b;
  }
  // The dispatcher runs them as its own commands: save opens the save dialog.
  Menu(5);
  EXPECT_EQ(frame.DispatchInput(10), kDispatchRan);
  EXPECT_EQ(host.requests.back(), "1:");
}

TEST_F(SystemMenuTest, RightClickCancelOrAClickOutsideCloses) {
  Menu(-1, 2);
  host.clickTurns = {host.turns + 1};  // inside: nothing
  const int before = host.turns;
  EXPECT_EQ(frame.SystemMenu(), kMenuClosed);
  EXPECT_EQ(host.turns - before, 2 + 3) << "two turns open, three fading";
  EXPECT_EQ(host.menu.fades, (std::vector<std::string>{"fade in", "fade out"}));
  EXPECT_EQ(host.menu.closes, 1);
  Menu(-1, 900);
  host.actionTurns = {{host.turns + 2, 5}};
  EXPECT_EQ(frame.SystemMenu(), kMenuClosed);
  EXPECT_LT(host.turns, 900) << "the cancel action";
  Menu(-1, 900).laterX = 100;
  host.clickTurns = {host.turns + 2};
  EXPECT_EQ(frame.SystemMenu(), kMenuClosed);
  EXPECT_LT(host.turns, 900) << "a left click outside";
  host.settings.noMenuFade = true;
  Menu();
  frame.SystemMenu();
  EXPECT_EQ(host.menu.fades, std::vector<std::string>{"now in"});
}

TEST_F(SystemMenuTest, QuitAsksAndEndsTheGameOnYes) {
  host.answer = 0;
  Menu(11);
  EXPECT_EQ(frame.SystemMenu(), kMenuClosed);
  EXPECT_EQ(host.requests.back(),
            "7:" + host::Cp932Literal("ゲームを終了します。\r\nよろしいですか？"));
  EXPECT_EQ(host.menu.musicFadeMs, 0u);

  ASSERT_EQ(frame.Scene().ClearBackgroundToColor(0xFFFFFF, 1), 0);
  host.answer = 1;
  Menu(11);
  EXPECT_EQ(frame.DispatchInput(10), kDispatchQuit);
  EXPECT_EQ(host.menu.musicFadeMs, 1000u);
  EXPECT_EQ(frame.Scene().Background(1).color, 0u) << "the back page went black";

  host.quitAtTurn = host.turns + 2;
  Menu(-1, 50);
  EXPECT_EQ(frame.SystemMenu(), kMenuQuit) << "the application quits";
  EXPECT_EQ(host.menu.closes, 1);
}

}  // namespace
}  // namespace bw
