// Label: optimised
#include "scenario/tgs/tgs_history.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "host/cp932.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_scene_host.h"
#include "scenario/tgs/tgs_system_menu.h"
#include "scenario/tgs/tgs_test_world.h"
#include "support/bg_effect_rig.h"

namespace bw {
namespace {

constexpr int32_t kLine = FakeHistoryView::kLine;

void Message(TextHistoryLog& log, const char* text, uint32_t height, const char* speaker = nullptr,
             const char* voice = nullptr, uint8_t mark = 0) {
  EXPECT_EQ(log.AddMessage(reinterpret_cast<const uint8_t*>(text), uint32_t(strlen(text)), height,
                           speaker, voice, mark),
            0);
}

void Snapshot(TextHistoryLog& log, std::vector<SceneSpriteValues> front = {},
              std::vector<SceneSpriteValues> back = {}, uint32_t tone = 0) {
  SceneBackgroundValues bg{"BG", {}};
  bg.words[1] = tone << 8;
  bg.words[5] = UINT32_MAX;  // no view
  std::array<SceneSpriteValues, 5> c{};
  std::array<SceneSpriteValues, 3> b{}, f{};
  std::copy(front.begin(), front.end(), f.begin()), std::copy(back.begin(), back.end(), b.begin());
  EXPECT_EQ(log.AddSceneSnapshot(&bg, c, b, f), 0);
}

class HistoryWindowTest : public ::testing::Test {
 protected:
  HistoryWindowTest() { log.SetCapacity(256); }
  // The loop's turns start once the 200 ms fade in (20 turns of 10 ms) is over.
  static constexpr int kFirst = 21;
  int Run() {
    TgsHistoryWindow window(log, host, view);
    const int r = window.Run();
    position = window.Position();
    return r;
  }

  TextHistoryLog log;
  FakeFrameHost host;
  FakeHistoryView view{host};
  int32_t position = 0;
};

TEST(HistoryHeights, EntriesAndTotalWithCap) {
  TextHistoryLog log;
  log.SetCapacity(8);
  EXPECT_EQ(HistoryTotalHeight(log, kLine), 0);
  Message(log, "a", 40, "name");  // 30 + 40 + 12
  Message(log, "b", 30);          // 30 + 12
  ASSERT_EQ(log.BeginChoices(3), 0);
  for (const char* c : {"x", "y", "z"}) EXPECT_EQ(log.AddChoice(c, 1), 0);
  uint32_t serial = 0;
  ASSERT_EQ(log.EndChoices(serial), 0);  // 3 x 30 + 12
  Snapshot(log);                         // no room
  EXPECT_EQ(HistoryTotalHeight(log, kLine), 82 + 42 + 102 - 12);
  // Heights of a loaded log are summed without wrapping and capped.
  for (int i = 0; i < 3; ++i) Message(log, "c", UINT32_MAX);
  EXPECT_EQ(HistoryTotalHeight(log, kLine), kHistoryHeightCap);
}

std::vector<uint32_t> Colours(const HistoryPage& page) {
  std::vector<uint32_t> rgb;
  for (const HistoryPageLine& line : page.lines) rgb.push_back(line.rgb);
  return rgb;
}

TEST(HistoryPageLayout, MarkGroupsVoicesSnapshotsAndChoiceColours) {
  TextHistoryLog log;
  log.SetCapacity(64);
  Message(log, "A", 18, nullptr, nullptr, 5);  // 30 high, white: its group has no voice yet
  Message(log, "B", 18, nullptr, "v1", 5);     // same group, voiced from here
  Snapshot(log);                               // ends the group, goes with its voice
  Message(log, "C", 18, "who", "v2", 0);       // a group of its own, 60 high
  Message(log, "D", 18, nullptr, nullptr, 7);  // no voice, no box
  const HistoryPage page = LayoutHistoryPage(log, kLine, 0);
  constexpr uint32_t kW = kHistoryWhite, kV = kHistoryVoiced;
  EXPECT_EQ(Colours(page), (std::vector<uint32_t>{kW, kV, kV, kV, kW}));
  ASSERT_EQ(page.boxes.size(), 2u);
  EXPECT_EQ(std::tie(page.boxes[0].y, page.boxes[0].height, page.boxes[0].voice),
            std::make_tuple(0, 60, std::string("v1")));
  EXPECT_NE(page.boxes[0].scene, nullptr);
  EXPECT_EQ(std::tie(page.boxes[1].y, page.boxes[1].height), std::make_tuple(60, 60));
  EXPECT_EQ(page.boxes[1].scene, nullptr);
  // Scrolled by 40: the first group's box starts at the top and is cut.
  const HistoryPage scrolled = LayoutHistoryPage(log, kLine, 40);
  EXPECT_EQ(std::tie(scrolled.boxes[0].y, scrolled.boxes[0].height), std::make_tuple(0, 20));

  // Sixteen boxes at most.
  log.Clear();
  for (int i = 0; i < 20; ++i) Message(log, "m", 8, nullptr, "v");  // 20 pixels each
  EXPECT_EQ(LayoutHistoryPage(log, kLine, 0).boxes.size(), size_t(kHistoryVoiceBoxes));
  log.Clear();
  ASSERT_EQ(log.BeginChoices(3), 0);
  for (auto [text, flag] : {std::pair("off", 0), {"on", 1}, {"chosen", 0}})
    EXPECT_EQ(log.AddChoice(text, flag), 0);
  uint32_t serial = 0;
  ASSERT_EQ(log.EndChoices(serial), 0);
  EXPECT_TRUE(log.SetChosenIndex(serial, 2));
  // The chosen one wins over a flag of 0.
  EXPECT_EQ(Colours(LayoutHistoryPage(log, kLine, 0)),
            (std::vector<uint32_t>{kHistoryChoiceOff, kHistoryWhite, kHistoryChosen}));
}

TEST_F(HistoryWindowTest, OpensAtTheBottomAndScrollsByKeysAndWheel) {
  for (int i = 0; i < 20; ++i) Message(log, "text", 88);  // 100 each, 1988 in all: bottom 1388
  // Wheel up (a line above the bottom), wheel down (back to the bottom), Home, Page Up at the top
  // (nothing), Page Down, End, the wheel at the bottom (closes).
  view.wheel = {{kFirst, 1}, {kFirst + 1, -1}, {kFirst + 6, -1}};
  host.keyTurns = {{kFirst + 2, 0xC7}, {kFirst + 3, 0xC9}, {kFirst + 4, 0xD1}, {kFirst + 5, 0xCF}};
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(view.opened, (std::vector<std::pair<int32_t, int32_t>>{{1988, 1388}}));
  EXPECT_EQ(position, 1388);
  EXPECT_EQ(view.scrolls, (std::vector<int32_t>{1358, 1388, 0, 600, 1388}));
  EXPECT_EQ(view.pages, 1 + 5) << "drawn at opening and once per move only";
  EXPECT_EQ(host.sounds, (std::vector<int>{1, 2}));
  EXPECT_EQ(view.alphas.front(), std::make_pair(uint8_t(0), uint8_t(0)));
  EXPECT_EQ(view.alphas.back(), std::make_pair(uint8_t(0), uint8_t(0)));
  EXPECT_EQ(view.closes, 1);
}

TEST_F(HistoryWindowTest, EmptyLogClosedByTheWheelAndHiddenWindow) {
  host.actionTurns[kFirst] = 11;      // hide
  host.actionTurns[kFirst + 2] = 11;  // show again
  view.wheel[kFirst + 1] = -1;        // ignored while hidden
  view.wheel[kFirst + 3] = -1;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(view.opened[0], std::make_pair(0, 0));
  EXPECT_TRUE(view.lines.empty());
  EXPECT_EQ(view.hidden, (std::vector<bool>{true, false}));
  EXPECT_EQ(host.sounds, (std::vector<int>{1, 3, 3, 2}));
  EXPECT_EQ(host.turns, kFirst + 3 + 20);  // closed on its turn, then the fade out
}

TEST_F(HistoryWindowTest, QuitAfterASceneRestoresScreenAndMenu) {
  Message(log, "v", 18, nullptr, "voice1");
  Snapshot(log);
  view.clicks[kFirst] = 0;
  host.quitAtTurn = kFirst + 1;
  EXPECT_EQ(Run(), kHistoryQuit);
  EXPECT_FALSE(view.screenIsScene);
  EXPECT_EQ(view.closes, 1);
  EXPECT_EQ(view.menu, (std::map<int, bool>{{0, true}, {1, false}, {2, true}}));
  EXPECT_EQ(view.alphas.back().first, 255);  // no fade out after the quit
}

// Solid pictures by name.
class SolidPictures : public TgsSceneHost {
 public:
  SurfaceLayer* PageLayer(int) override { return nullptr; }
  int LoadPicture(const std::string& name, ImageSurface& into, bool) override {
    const std::map<std::string, uint32_t> colours{
        {"BG", 0xFFFF0000}, {"FRONT", 0xFF00FF00}, {"BACK", 0xFF0000FF}};
    if (!colours.count(name)) return 2;
    (void)into.Create(name == "BG" ? 800 : 100, name == "BG" ? 600 : 100, 32, kImagePlain);
    return into.Fill(colours.at(name), nullptr) ? 0 : 3;
  }
};

TEST(SceneSnapshotDrawing, BackToFrontOnAMemorySurface) {
  BuildBlendTables();
  TextHistoryLog log;
  log.SetCapacity(4);
  SceneSpriteValues front{"FRONT", 1, 30000, 10, 10, {0, 0, 255}};
  SceneSpriteValues back{"BACK", 1, 10000, 50, 50, {0, 0, 255}};
  SceneSpriteValues missing{"GONE", 1, 30100, 0, 0, {0, 0, 255}};
  Snapshot(log, {front, missing}, {back}, 9);  // a tone past the table is ignored
  const auto& snapshot = std::get<SceneSnapshot>(log.GetEntry(0)->record);
  ASSERT_EQ(snapshot.sprites.front().name, "FRONT");  // stored front first
  ImageSurface surface;
  SolidPictures pictures;
  ASSERT_EQ(DrawSceneSnapshot(snapshot, surface, &pictures), 0);
  EXPECT_EQ(test::PixelAt(surface, 5, 5) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(test::PixelAt(surface, 60, 60) & 0xFFFFFF,
            0x00FF00u);  // the front picture covers the back one
  EXPECT_EQ(test::PixelAt(surface, 140, 140) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(test::PixelAt(surface, 400, 400) & 0xFFFFFF, 0xFF0000u);
}

// The system menu: where it opens, which buttons it disables, what each button answers, how it
// closes, and the quit question.
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
  // A menu that never closes fails its test instead of hanging it.
  int FrameTurn() override { return turns > 1000 ? 0 : FakeFrameHost::FrameTurn(); }
  FakeMenu menu;
};

class SystemMenuTest : public FrameTest<MenuFrameHost> {
 protected:
  SystemMenuTest() { host.settings.menuRow = 0; }
  // A fresh menu whose button is clicked (or, for -1, which is right-clicked) after turns.
  FakeMenu& Menu(int button = -1, int turns = 1) {
    host.menu = FakeMenu{};
    host.menu.turn = &host.turns;
    host.rightClickTurns = {};
    if (button >= 0)
      host.menu.clickTurn = host.turns + turns, host.menu.clicked = button;
    else
      host.rightClickTurns = {host.turns + turns};
    return host.menu;
  }
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

TEST_F(SystemMenuTest, ThePointerStaysAtTheCornerOrWhereItCannotBePlaced) {
  host.settings.menuRow = 200;  // from the player's file: clamped to the last button
  Menu(4).px = 799, host.menu.py = 599;
  EXPECT_EQ(frame.SystemMenu(), 11);
  EXPECT_EQ(host.menu.focused, 11);
  EXPECT_EQ(host.menu.moved.first, -9) << "the corner keeps the pointer";

  Menu(5, 3).px = 790, host.menu.movable = false;
  EXPECT_EQ(frame.SystemMenu(), 12) << "a pointer that cannot be placed leaves the menu open";
}

TEST_F(SystemMenuTest, SwitchesDisableTheirButtonsAndAutoPlayIsChecked) {
  EXPECT_EQ(frame.SetButtonState(6, 0), 0);
  EXPECT_EQ(frame.SetButtonState(2, 0), 0);
  host.state.quickLoadAllowed = host.state.titleAllowed = 0;
  Menu();
  EXPECT_EQ(frame.SystemMenu(), kMenuClosed);
  EXPECT_EQ(host.menu.disabled, (std::set<int>{0, 2, 6, 8, 10}));
  EXPECT_EQ(host.menu.tips[1], host::Cp932Literal("次の選択肢までスキップ"));
  EXPECT_EQ(frame.SetButtonState(5, 0), 0);
  EXPECT_EQ(frame.SetButtonState(7, 0), 0);
  EXPECT_EQ(frame.SetButtonState(6, 1), 0);
  host.state.settingsAllowed = 0;
  // The menu's buttons are what this checks.
  (void)frame.DispatchInput(6);  // auto play on: button 0 shows it checked
  Menu();
  // The menu's buttons are what this checks.
  (void)frame.SystemMenu();
  EXPECT_EQ(host.menu.disabled, (std::set<int>{1, 2, 3, 6, 8, 9, 10}));
  EXPECT_EQ(host.menu.checked, std::set<int>{0});
  EXPECT_TRUE(host.menu.tips.empty()) << "a disabled skip button has no tip";
}

TEST_F(SystemMenuTest, RightClickOrCancelCloses) {
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
  host.settings.noMenuFade = true;
  Menu();
  // The fades are what this checks.
  (void)frame.SystemMenu();
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
