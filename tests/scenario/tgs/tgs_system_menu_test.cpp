// The system menu: where it opens, which buttons it disables, what each button answers and
// what the dispatcher makes of it, how it closes, and the quit question.
#include "scenario/tgs/tgs_system_menu.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/cp932.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_file_source.h"

namespace bw {
namespace {

class FakeMenu : public TgsMenuHost {
 public:
  explicit FakeMenu(const int& turns) : turns_(&turns) {}

  void GetPointer(int32_t& x, int32_t& y, int& s) override {
    x = opens && laterX >= 0 ? laterX : px, y = py, s = state;
  }
  int Open(int32_t x, int32_t y) override {
    corner = {x, y};
    ++opens;
    return openResult;
  }
  void SetButton(int b, bool enabled, bool checked, const std::string& tip) override {
    this->enabled[b] = enabled;
    if (checked) this->checked.insert(b);
    if (!tip.empty()) tips[b] = tip;
  }
  bool ButtonCorner(int b, int32_t& x, int32_t& y) override {
    x = corner.first, y = corner.second + 22 * b + 8;
    return true;
  }
  void FocusButton(int b) override { focused = b; }
  bool MovePointer(int32_t x, int32_t y) override {
    if (!movable) return false;
    px = x, py = y;
    moved = {x, y};
    return true;
  }
  bool SetMenuFade(bool fade, bool show) override {
    fades.push_back(std::string(fade ? "fade" : "now") + (show ? " in" : " out"));
    fadeTurnsLeft = 3;
    return fade;
  }
  bool FadeRunning() override { return fadeTurnsLeft-- > 0; }
  int TakeClickedButton(uint32_t) override {
    auto taken = clicks.extract(*turns_);
    return taken ? taken.mapped() : -1;
  }
  void FadeOutMusic(uint32_t ms) override { musicFadeMs = ms; }
  void Close() override { ++closes; }

  int32_t px = 400, py = 300;
  int32_t laterX = -1;  // where the pointer is once the menu is open
  int state = 0;
  int openResult = 0;
  bool movable = true;
  std::pair<int32_t, int32_t> corner{-9, -9}, moved{-9, -9};
  int focused = -1, opens = 0, closes = 0, fadeTurnsLeft = 0;
  uint32_t musicFadeMs = 0;
  std::map<int, bool> enabled;
  std::set<int> checked;
  std::map<int, std::string> tips;
  std::vector<std::string> fades;
  std::map<int, int> clicks;  // turn -> button

 private:
  const int* turns_;
};

class MenuFrameHost : public FakeFrameHost {
 public:
  TgsMenuHost* MenuHost() override { return &menu; }
  bool RightClicked() override { return rightTurns.count(turns) != 0; }
  void PlaySystemSound(int channel) override { sounds.push_back(channel); }
  // A menu that never closes fails its test instead of hanging it.
  int FrameTurn() override { return turns > 1000 ? 0 : FakeFrameHost::FrameTurn(); }

  FakeMenu menu{turns};
  std::set<int> rightTurns;
  std::vector<int> sounds;
};

class SystemMenuTest : public ::testing::Test {
 protected:
  SystemMenuTest() : frame(nullptr, &files, &host) { host.settings.menuRow = 0; }

  MemoryScriptFileSource files;
  MenuFrameHost host;
  FakeMenu& menu = host.menu;
  TgsFrame frame;
};

TEST(SystemMenuPlace, BesideThePointerClampedToTheScreen) {
  struct Case {
    int32_t px, py;
    int state, row;
    int32_t x, y;
    bool moved;
  } cases[] = {
      {10, 10, 0, 0, 0, 0, true},       {790, 590, 0, 0, 667, 320, true},
      {799, 599, 0, 5, 667, 320, true}, {400, 300, 0, 5, 334, 171, false},
      {66, 19, 0, 0, 0, 0, false},      {-2, 300, 4, 0, 0, 281, true},
      {-2, 300, 0, 0, 667, 281, true},  {400, -2, 8, 0, 334, 0, true},
      {400, -2, 0, 0, 334, 320, true},  {-2, -2, 4, 0, 0, 0, true},
      {-2, -2, 8, 0, 667, 0, true},     {-1, -1, 0, 0, 667, 0, true},
  };
  for (const Case& c : cases) {
    const TgsMenuPlace p = PlaceSystemMenu(c.px, c.py, c.state, c.row);
    EXPECT_EQ(p.x, c.x) << c.px << "," << c.py << " state " << c.state;
    EXPECT_EQ(p.y, c.y) << c.px << "," << c.py << " state " << c.state;
    EXPECT_EQ(p.moved, c.moved) << c.px << "," << c.py << " state " << c.state;
  }
}

TEST_F(SystemMenuTest, ThePointerGoesOntoTheRowButtonUnlessAtTheCorner) {
  menu.px = 10, menu.py = 10;
  menu.clicks[1] = 4;
  EXPECT_EQ(frame.SystemMenu(), 11);
  EXPECT_EQ(menu.corner, (std::pair<int32_t, int32_t>{0, 0}));
  EXPECT_EQ(menu.moved, (std::pair<int32_t, int32_t>{58, 8 + 11}));

  menu = FakeMenu(host.turns);
  menu.px = 799, menu.py = 599;
  host.settings.menuRow = 200;  // from the player's file: clamped to the last button
  menu.clicks[host.turns + 1] = 4;
  EXPECT_EQ(frame.SystemMenu(), 11);
  EXPECT_EQ(menu.corner, (std::pair<int32_t, int32_t>{667, 320}));
  EXPECT_EQ(menu.focused, 11);
  EXPECT_EQ(menu.moved.first, -9) << "the corner keeps the pointer";

  // A pointer that cannot be placed leaves the menu open.
  menu = FakeMenu(host.turns);
  menu.px = 790, menu.py = 10;
  menu.movable = false;
  menu.clicks[host.turns + 3] = 5;
  EXPECT_EQ(frame.SystemMenu(), 12);
  EXPECT_EQ(menu.closes, 1);
}

TEST_F(SystemMenuTest, SwitchesDisableTheirButtons) {
  struct Case {
    const char* what;
    std::function<void()> off;
    std::set<int> disabled;
  } cases[] = {
      {"all on", [] {}, {}},
      {"auto play", [&] { frame.SetButtonState(6, 0); }, {0}},
      {"skip", [&] { frame.SetButtonState(5, 0); }, {1}},
      {"back to choice", [&] { frame.SetButtonState(2, 0); }, {2}},
      {"history", [&] { frame.SetButtonState(7, 0); }, {3}},
      {"save", [&] { host.state.quickSaveAllowed = 0; }, {5, 7}},
      {"load", [&] { host.state.quickLoadAllowed = 0; }, {6, 8}},
      {"settings", [&] { host.state.settingsAllowed = 0; }, {9}},
      {"title", [&] { host.state.titleAllowed = 0; }, {10}},
  };
  for (const Case& c : cases) {
    for (int b = 0; b < kTgsButtonCount; ++b) frame.SetButtonState(b, 1);
    host.state.quickSaveAllowed = host.state.quickLoadAllowed = 1;
    host.state.settingsAllowed = host.state.titleAllowed = 1;
    c.off();
    menu = FakeMenu(host.turns);
    host.rightTurns = {host.turns + 1};
    EXPECT_EQ(frame.SystemMenu(), kMenuClosed);
    std::set<int> disabled;
    for (auto [b, on] : menu.enabled) {
      if (!on) disabled.insert(b);
    }
    EXPECT_EQ(menu.enabled.size(), 12u) << c.what;
    EXPECT_EQ(disabled, c.disabled) << c.what;
    EXPECT_EQ(menu.tips.count(1), c.disabled.count(1) ? 0u : 1u) << c.what;
  }
  EXPECT_EQ(menu.tips[1], host::Cp932Literal("次の選択肢までスキップ"));
  EXPECT_TRUE(menu.checked.empty());
  frame.DispatchInput(6);  // auto play on: button 0 shows it checked
  menu = FakeMenu(host.turns);
  host.rightTurns = {host.turns + 1};
  frame.SystemMenu();
  EXPECT_EQ(menu.checked, std::set<int>{0});
}

TEST_F(SystemMenuTest, EveryButtonAnswersItsCommand) {
  const int32_t results[] = {9, 8, 17, 10, 11, 12, 13, 14, 15, 16, 18};
  for (int b = 0; b < 11; ++b) {
    menu = FakeMenu(host.turns);
    menu.clicks[host.turns + 2] = b;
    EXPECT_EQ(frame.SystemMenu(), results[b]) << "button " << b;
    EXPECT_EQ(menu.closes, 1);
  }
  // The dispatcher runs them as its own commands: the dialogs show which ran.
  struct Case {
    int button;
    std::string request;
  } dispatched[] = {{5, "1:"}, {6, "2:"}, {9, "0:"}};
  for (const Case& c : dispatched) {
    host.requests.clear();
    menu = FakeMenu(host.turns);
    menu.clicks[host.turns + 1] = c.button;
    EXPECT_EQ(frame.DispatchInput(10), kDispatchRan) << c.button;
    EXPECT_EQ(host.requests, std::vector<std::string>{c.request}) << c.button;
  }
  menu = FakeMenu(host.turns);
  menu.clicks[host.turns + 1] = 1;
  EXPECT_EQ(frame.DispatchInput(10), kDispatchSkipped);
  EXPECT_TRUE(frame.SystemSkip());
}

TEST_F(SystemMenuTest, RightClickCancelOrAClickOutsideCloses) {
  struct Case {
    const char* what;
    std::function<void(int)> at;
  } cases[] = {
      {"right click", [&](int t) { host.rightTurns = {t}; }},
      {"cancel",
       [&](int t) {
         host.actionTurns = {{t, 5}};
       }},
      {"left outside", [&](int t) { host.clickTurns = {t}, menu.laterX = 100; }},
  };
  for (const Case& c : cases) {
    menu = FakeMenu(host.turns);
    host.rightTurns.clear(), host.actionTurns.clear(), host.clickTurns.clear();
    host.sounds.clear();
    host.clickTurns.insert(host.turns + 1);  // inside the menu: nothing
    c.at(host.turns + 3);
    const int before = host.turns;
    EXPECT_EQ(frame.SystemMenu(), kMenuClosed) << c.what;
    EXPECT_EQ(host.turns - before, 3 + 3) << c.what << ": three turns open, three fading";
    EXPECT_EQ(host.sounds, (std::vector<int>{kTgsSoundOpen, kTgsSoundOpen})) << c.what;
    EXPECT_EQ(menu.fades, (std::vector<std::string>{"fade in", "fade out"})) << c.what;
  }
  host.settings.noMenuFade = true;
  menu = FakeMenu(host.turns);
  host.rightTurns = {host.turns + 1};
  EXPECT_EQ(frame.SystemMenu(), kMenuClosed);
  EXPECT_EQ(menu.fades, std::vector<std::string>{"now in"});
}

TEST_F(SystemMenuTest, QuitAsksAndEndsTheGameOnYes) {
  ASSERT_EQ(frame.Scene().ClearBackgroundToColor(0xFFFFFF, 1), 0);
  host.answer = 0;
  menu.clicks[host.turns + 1] = 11;
  EXPECT_EQ(frame.SystemMenu(), kMenuClosed);
  EXPECT_EQ(host.requests,
            std::vector<std::string>{
                "7:" + host::Cp932Literal("ゲームを終了します。\r\nよろしいですか？")});
  EXPECT_EQ(menu.musicFadeMs, 0u);

  host.answer = 1;
  menu = FakeMenu(host.turns);
  menu.clicks[host.turns + 1] = 11;
  EXPECT_EQ(frame.DispatchInput(10), kDispatchQuit);
  EXPECT_EQ(menu.musicFadeMs, 1000u);
  EXPECT_EQ(frame.Scene().Background(1).color, 0u) << "the back page went black";
  EXPECT_EQ(menu.closes, 1);

  host.quitAtTurn = host.turns + 2;
  menu = FakeMenu(host.turns);
  EXPECT_EQ(frame.SystemMenu(), kMenuQuit) << "the application quits";
  EXPECT_EQ(menu.closes, 1);
}

}  // namespace
}  // namespace bw
