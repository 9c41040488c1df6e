#include "scenario/tgs/tgs_history.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "graphics/surface/image_surface.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_scene_host.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_file_source.h"

namespace bw {
namespace {

constexpr int32_t kLine = 30;

// Records what the window asks of the screen; input comes per turn of the host.
class FakeHistoryView : public TgsHistoryView {
 public:
  explicit FakeHistoryView(const FakeFrameHost& host) : host_(host) {}

  int32_t LineHeight() override { return kLine; }
  int32_t MeasureText(std::string_view tokens) override {
    return tokens.empty() ? -1 : int32_t(tokens.size());
  }
  int Open(int32_t total, int32_t position) override {
    opened.push_back({total, position});
    scroll = position;
    return 0;
  }
  void BeginPage() override { lines.clear(), ++pages; }
  void DrawName(std::string_view name, int32_t y, uint32_t rgb) override { Line(name, y, rgb); }
  void DrawText(std::string_view t, int32_t y, uint32_t rgb) override { Line(t, y, rgb); }
  void DrawChoice(std::string_view t, int32_t y, uint32_t rgb) override { Line(t, y, rgb); }
  void PlaceVoiceBox(int box, int32_t y, int32_t height) override {
    if (height > 0)
      boxes[box] = {y, height};
    else
      boxes.erase(box);
  }
  void SetScrollPosition(int32_t position) override { scroll = position; }
  int32_t ScrollPosition() override { return scroll; }
  void SetAlpha(uint8_t alpha, uint8_t dark) override { alphas.push_back({alpha, dark}); }
  void SetHidden(bool h) override { hidden.push_back(h); }
  int TakeClickedBox() override { return At(clicks, -1); }
  int HoveredBox() override { return -1; }
  void MarkBox(int) override {}
  int32_t Wheel() override { return At(wheel, 0); }
  ImageSurface* MakeSceneLayer() override {
    screenIsScene = true;
    return &scene;
  }
  void SceneDrawn() override {}
  void Close() override { screenIsScene = false, ++closes; }
  bool MenuItemEnabled(int item) override { return menu[item]; }
  void EnableMenuItem(int item, bool on) override { menu[item] = on; }

  struct Drawn {
    std::string text;
    int32_t y;
    uint32_t rgb;
  };
  std::vector<std::pair<int32_t, int32_t>> opened;
  std::vector<Drawn> lines;
  std::map<int, std::pair<int32_t, int32_t>> boxes;
  std::vector<std::pair<uint8_t, uint8_t>> alphas;
  std::vector<bool> hidden;
  std::map<int, int> clicks, wheel;  // turn -> box, turn -> wheel
  std::map<int, bool> menu{{0, true}, {1, false}, {2, true}};
  ImageSurface scene;
  bool screenIsScene = false;
  int closes = 0, pages = 0;
  int32_t scroll = 0;

 private:
  void Line(std::string_view t, int32_t y, uint32_t rgb) {
    lines.push_back({std::string(t), y, rgb});
  }
  int At(const std::map<int, int>& m, int none) const {
    auto it = m.find(host_.turns);
    return it == m.end() ? none : it->second;
  }
  const FakeFrameHost& host_;
};

class HistoryHost : public FakeFrameHost {
 public:
  std::vector<int> sounds;
  std::map<int, int> keyTurns;  // turn -> key pressed
  void PlaySystemSound(int channel) override { sounds.push_back(channel); }
  bool KeyPressed(int code) override {
    auto it = keyTurns.find(turns);
    return it != keyTurns.end() && it->second == code;
  }
};

void Message(TextHistoryLog& log, const char* text, uint32_t height, const char* speaker = nullptr,
             const char* voice = nullptr, uint8_t mark = 0) {
  log.AddMessage(reinterpret_cast<const uint8_t*>(text), uint32_t(strlen(text)), height, speaker,
                 voice, mark);
}

void Snapshot(TextHistoryLog& log, std::vector<SceneSpriteValues> front = {},
              std::vector<SceneSpriteValues> back = {}, uint32_t tone = 0) {
  SceneBackgroundValues bg{"BG", {}};
  bg.words[1] = tone << 8;
  bg.words[5] = UINT32_MAX;  // no view
  std::array<SceneSpriteValues, 5> c{};
  std::array<SceneSpriteValues, 3> b{}, f{};
  std::copy(front.begin(), front.end(), f.begin());
  std::copy(back.begin(), back.end(), b.begin());
  log.AddSceneSnapshot(&bg, c, b, f);
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
  void LongLog(int messages) {
    for (int i = 0; i < messages; ++i) Message(log, "text", 88);  // 100 pixels each
  }

  TextHistoryLog log;
  HistoryHost host;
  FakeHistoryView view{host};
  int32_t position = 0;
};

TEST(HistoryHeights, EntriesAndTotalWithCap) {
  TextHistoryLog log;
  log.SetCapacity(8);
  EXPECT_EQ(HistoryTotalHeight(log, kLine), 0);
  Message(log, "a", 40, "name");  // 30 + 40 + 12
  Message(log, "b", 30);          // 30 + 12
  log.BeginChoices(3);
  for (const char* c : {"x", "y", "z"}) log.AddChoice(c, 1);
  uint32_t serial = 0;
  log.EndChoices(serial);  // 3 x 30 + 12
  Snapshot(log);           // no room
  EXPECT_EQ(HistoryTotalHeight(log, kLine), 82 + 42 + 102 - 12);
  // Heights of a loaded log are summed without wrapping and capped.
  for (int i = 0; i < 3; ++i) Message(log, "c", UINT32_MAX);
  EXPECT_EQ(HistoryTotalHeight(log, kLine), kHistoryHeightCap);
}

TEST(HistoryPageLayout, MarkGroupsVoicesAndSnapshots) {
  TextHistoryLog log;
  log.SetCapacity(16);
  Message(log, "A", 18, nullptr, nullptr, 5);  // 30 high, white: its group has no voice yet
  Message(log, "B", 18, nullptr, "v1", 5);     // same group, voiced from here
  Snapshot(log);                               // ends the group, goes with its voice
  Message(log, "C", 18, "who", "v2", 0);       // a group of its own, 60 high
  Message(log, "D", 18, nullptr, nullptr, 7);  // no voice, no box
  const HistoryPage page = LayoutHistoryPage(log, kLine, 0);
  ASSERT_EQ(page.lines.size(), 5u);
  EXPECT_EQ(page.lines[0].rgb, kHistoryWhite);
  EXPECT_EQ(page.lines[1].rgb, kHistoryVoiced);
  EXPECT_EQ(page.lines[2].text, "who");
  EXPECT_EQ(page.lines[2].rgb, kHistoryVoiced);
  EXPECT_EQ(page.lines[4].rgb, kHistoryWhite);
  ASSERT_EQ(page.boxes.size(), 2u);
  EXPECT_EQ(page.boxes[0].y, 0);
  EXPECT_EQ(page.boxes[0].height, 60);
  EXPECT_EQ(page.boxes[0].voice, "v1");
  EXPECT_NE(page.boxes[0].scene, nullptr);
  EXPECT_EQ(page.boxes[1].y, 60);
  EXPECT_EQ(page.boxes[1].height, 60);
  EXPECT_EQ(page.boxes[1].scene, nullptr);
  // Scrolled by 40: the first group's box starts at the top and is cut.
  const HistoryPage scrolled = LayoutHistoryPage(log, kLine, 40);
  EXPECT_EQ(scrolled.boxes[0].y, 0);
  EXPECT_EQ(scrolled.boxes[0].height, 20);
}

TEST(HistoryPageLayout, SixteenBoxesAtMostAndChoiceColours) {
  TextHistoryLog log;
  log.SetCapacity(64);
  for (int i = 0; i < 20; ++i) Message(log, "m", 8, nullptr, "v");  // 20 pixels each
  EXPECT_EQ(LayoutHistoryPage(log, kLine, 0).boxes.size(), size_t(kHistoryVoiceBoxes));
  log.Clear();
  log.BeginChoices(3);
  log.AddChoice("off", 0);
  log.AddChoice("on", 1);
  log.AddChoice("chosen", 0);
  uint32_t serial = 0;
  log.EndChoices(serial);
  log.SetChosenIndex(serial, 2);
  const HistoryPage page = LayoutHistoryPage(log, kLine, 0);
  ASSERT_EQ(page.lines.size(), 3u);
  EXPECT_EQ(page.lines[0].rgb, kHistoryChoiceOff);
  EXPECT_EQ(page.lines[1].rgb, kHistoryWhite);
  EXPECT_EQ(page.lines[2].rgb, kHistoryChosen);  // chosen wins over a flag of 0
  EXPECT_EQ(page.lines[2].y, 2 * kLine);
}

TEST_F(HistoryWindowTest, OpensAtTheBottomAndScrollsByKeysAndWheel) {
  LongLog(10);  // 988 high: the bottom is 388
  struct Step {
    int key;
    int wheel;
    int32_t position;
  };
  const Step steps[] = {
      {0, 1, 388 - kLine},  // a line above the bottom
      {0, -1, 388},         // wheel down there scrolls back to the bottom
      {0xC7, 0, 0},         // Home
      {0xC9, 0, 0},         // Page Up at the top: nothing
      {0xD1, 0, 388},       // Page Down is clamped at the bottom
  };
  int turn = kFirst;
  for (const Step& s : steps) {
    if (s.key) host.keyTurns[turn] = s.key;
    if (s.wheel) view.wheel[turn] = s.wheel;
    ++turn;
  }
  view.wheel[turn] = -1;  // at the bottom the wheel closes the window
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(view.opened.size(), 1u);
  EXPECT_EQ(view.opened[0], std::make_pair(988, 388));
  EXPECT_EQ(position, 388);
  // The page is drawn at opening and once per move: Page Up at the top redraws nothing.
  EXPECT_EQ(view.pages, 1 + 4);
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
  EXPECT_EQ(host.voices, (std::vector<std::string>{"voice1"}));
  EXPECT_EQ(view.scene.GetWidth(), 800);  // the snapshot was drawn into the scene layer
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
    const std::map<std::string, std::pair<int, uint32_t>> pictures{
        {"BG", {800, 0xFFFF0000}}, {"FRONT", {100, 0xFF00FF00}}, {"BACK", {100, 0xFF0000FF}}};
    auto it = pictures.find(name);
    if (it == pictures.end()) return 2;
    into.Create(it->second.first, it->second.first == 800 ? 600 : 100, 32, kImagePlain);
    into.Fill(it->second.second, nullptr);
    return 0;
  }
};

uint32_t PixelAt(const ImageSurface& s, int x, int y) {
  const uint8_t* p = s.GetPixels() + y * s.GetPitch() + x * 4;
  return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

TEST(SceneSnapshotDrawing, BackToFrontOnAMemorySurface) {
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
  EXPECT_EQ(PixelAt(surface, 5, 5), 0xFF0000u);
  EXPECT_EQ(PixelAt(surface, 60, 60), 0x00FF00u);  // the front picture covers the back one
  EXPECT_EQ(PixelAt(surface, 140, 140), 0x0000FFu);
  EXPECT_EQ(PixelAt(surface, 400, 400), 0xFF0000u);
}

TEST(FrameHistory, MessagesWithVoiceKeepTheirScene) {
  MemoryScriptFileSource files;
  struct Host : HistoryHost {
    TgsHistoryView* v = nullptr;
    TgsHistoryView* HistoryView() override { return v; }
  } withView;
  FakeHistoryView view(withView);
  withView.v = &view;
  withView.skipHeld = true;  // each message ends after one turn
  TgsFrame frame(nullptr, &files, &withView);
  frame.ApplyTextConfig(false, false, true, false, false);
  ASSERT_EQ(frame.History().Capacity(), 151);
  for (const char* voice : {"", "V01"}) {
    frame.BeginMessage(0);
    frame.SetNameAndVoice(std::string_view("who"), std::string_view(voice));
    frame.Text() = "hello";
    frame.MessageWait();
  }
  const TextHistoryLog& log = frame.History();
  ASSERT_EQ(log.Count(), 3);  // message, message, the voiced one's scene
  const auto& m = std::get<MessageRecord>(log.GetEntry(1)->record);
  EXPECT_EQ(m.displayHeight, 5u + 4);
  EXPECT_EQ(m.speaker, "who");
  EXPECT_EQ(m.voice, "V01");
  EXPECT_EQ(log.GetEntry(2)->kind, HistoryEntry::kScene);
}

}  // namespace
}  // namespace bw
