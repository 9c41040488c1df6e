// Label: windowed
// The tabs of the settings sheet and of the save and load dialogs, clicked in the real window on
// an X server of the test's own: once with the pointer's own X events (xdotool), quick clicks and
// clicks held down, and once with the program's input player. After each click the page's first
// control must come on the screen. Skipped only where Xvfb or xdotool is not installed.
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "program/program_process.h"
#include "support/demo_copy.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

constexpr auto kStepLimit = seconds(60);
constexpr int kExitNormal = 0;
constexpr int kServerAttempts = 5;
constexpr int kFirstDisplay = 300;
// The demo's title screen button that starts the story (the window's pixels, below the menu
// bar): saving and loading open only once a story runs.
constexpr int kStartButtonX = 399;
constexpr int kStartButtonY = 373;
constexpr int kStartAttempts = 6;

// Each settings page's tab and the first control on it.
struct Page {
  const char* tab;
  const char* firstControl;
};
const std::vector<Page> kSettingsPages = {
    {"システム", "フルスクリーン"},
    {"テキスト１", "ウェイト無し"},
    {"テキスト２", "アンチエイリアス"},
    {"サウンド", "全ミュート"},
    {"入力１", "強制早送りキー設定"},
    {"入力２", "ジョイスティックを使用する"},
    {"ウィンドウ", "フルスクリーン時に解像度を変更する"},
};
// A fresh game opens the sheet on its first page: every other in turn and back, then back the
// other way with the button held.
const std::vector<int> kQuickOrder = {1, 2, 3, 4, 5, 6, 0};
const std::vector<int> kHeldOrder = {6, 5, 4, 3, 2, 1, 0};
// The save and load dialogs start on Page.1; the quick ring's first row is marked " F1", the
// automatic ring's next row " →" (the quick ring's next one too, further down).
const Page kQuick = {"Quick", " F1"};
const Page kAuto = {"Auto", " →"};
const std::vector<Page> kSaveOrder = {kQuick, kAuto, kQuick, kAuto, kQuick, kAuto};
const std::vector<Page> kLoadOrder = {kAuto, kQuick, kAuto, kQuick, kAuto};

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "/usr/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const fs::path candidate = fs::path(folder) / name;
    if (!folder.empty() && fs::exists(candidate)) return candidate.string();
  }
  return {};
}

struct Point {
  int x = 0;
  int y = 0;
};

// Where an item the input player saw stands: its centre on the screen, and the window's corner.
struct Seen {
  Point centre;
  Point corner;
};

// A run of the program in a window of an X server of its own, input played and watched.
class WindowedProgram {
 public:
  WindowedProgram(const fs::path& game, const fs::path& home, const std::string& input) {
    // A display of its own: another server may hold a number the lock files do not show, so
    // numbers are tried until a server starts on one.
    for (int attempt = 0; attempt < kServerAttempts && display_.empty(); ++attempt) {
      const std::string display =
          ":" + std::to_string(kFirstDisplay + (::getpid() * 7 + attempt * 13) % 400);
      server_.emplace(FindProgram("Xvfb"),
                      std::vector<std::string>{display, "-displayfd", "1", "-screen", "0",
                                               "1024x768x24", "-nolisten", "tcp"},
                      std::vector<std::string>{});
      if (server_->WaitForOutput("\n", seconds(20))) display_ = display;
    }
    if (display_.empty()) return;
    // No session bus is started for the run; the software renderer keeps the GL driver out.
    program_.emplace(
        BRIMWOLD_PROGRAM, std::vector<std::string>{"/L", game.string()},
        std::vector<std::string>{"BRIMWOLD_HEADLESS", "DISPLAY=" + display_, "SDL_VIDEODRIVER=x11",
                                 "SDL_AUDIODRIVER=dummy", "SDL_RENDER_DRIVER=software",
                                 "SDL_FRAMEBUFFER_ACCELERATION=0",
                                 "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (home / "no-bus").string(),
                                 "XDG_RUNTIME_DIR=" + home.string(),
                                 "XDG_DATA_HOME=" + home.string(), "BRIMWOLD_SDL_INPUT=" + input});
  }

  bool Started() const { return program_.has_value(); }
  std::string Errors() const { return program_ ? program_->Errors() : "no X server started"; }

  // Waits until the input player did the step; for a step that sees an item, where it stands
  // on the screen.
  std::optional<Seen> Done(const std::string& step, std::chrono::milliseconds limit = kStepLimit) {
    const bool see = step.starts_with("see:") || step.starts_with("appear:");
    const std::string mark = std::string(see ? "input: saw " : "input: played ") + step + "\n";
    // Steps repeat: only what came after the step before counts.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (program_->Errors().find(mark, searchFrom_) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      if (program_->WaitForEnd(std::chrono::milliseconds(0))) break;
      (void)program_->WaitForOutput("\n\n\n", std::chrono::milliseconds(100));
    }
    const std::string& errors = program_->Errors();
    const size_t done = errors.find(mark, searchFrom_);
    if (done == std::string::npos) return std::nullopt;
    searchFrom_ = done + mark.size();
    if (!see) return Seen{};
    const size_t at = errors.rfind(" stands at ", done);
    float left = 0, top = 0, right = 0, bottom = 0;
    Seen seen;
    if (at == std::string::npos ||
        std::sscanf(errors.c_str() + at, " stands at %f,%f-%f,%f, on the screen %d,%d", &left, &top,
                    &right, &bottom, &seen.centre.x, &seen.centre.y) != 6)
      return std::nullopt;
    seen.corner = {seen.centre.x - static_cast<int>((left + right) / 2),
                   seen.centre.y - static_cast<int>((top + bottom) / 2)};
    return seen;
  }

  // A left click with the X server's own pointer: moved there and clicked at once, or resting
  // there a moment and pressed for a fifth of a second.
  bool Click(Point at, bool held) const {
    const std::string press = held ? " sleep 0.1 mousedown 1 sleep 0.2 mouseup 1" : " click 1";
    const std::string command = "DISPLAY=" + display_ + " xdotool mousemove " +
                                std::to_string(at.x) + " " + std::to_string(at.y) + press;
    return std::system(command.c_str()) == 0;
  }

  std::optional<int> End() { return program_->WaitForEnd(kStepLimit); }

 private:
  std::optional<test::ProgramProcess> server_;
  std::string display_;
  std::optional<test::ProgramProcess> program_;
  size_t searchFrom_ = 0;
};

bool HaveTools() {
  return !FindProgram("Xvfb").empty() && !FindProgram("xdotool").empty();
}

// The steps that open a dialog and learn where its tabs stand, then see each page come in turn.
std::string SeeTabs(const std::string& open, const std::vector<std::string>& tabs,
                    const std::string& shown, const std::vector<std::string>& pages) {
  std::string input = open;
  for (const std::string& tab : tabs) input += ",see:" + tab;
  input += ",see:" + shown;
  for (const std::string& page : pages) input += ",appear:" + page;
  return input + ",click:キャンセル";
}

TEST(WindowedDialogTabs, EveryTabClickedWithTheRealPointerShowsItsPage) {
  if (!HaveTools()) GTEST_SKIP() << "Xvfb or xdotool is not installed (make deps installs them)";
  test::TempDir game;
  test::TempDir home;
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
  std::vector<std::string> tabs;
  std::vector<std::string> settingsPages;
  for (const Page& page : kSettingsPages) tabs.push_back(page.tab);
  for (const std::vector<int>* order : {&kQuickOrder, &kHeldOrder}) {
    for (int page : *order) settingsPages.push_back(kSettingsPages[page].firstControl);
  }
  std::vector<std::string> savePages;
  std::vector<std::string> loadPages;
  for (const Page& page : kSaveOrder) savePages.push_back(page.firstControl);
  for (const Page& page : kLoadOrder) loadPages.push_back(page.firstControl);
  const std::string input =
      "see:ロード(L)," + SeeTabs("click:セーブ", {"Auto", "Quick"}, "Page.1", savePages) + "," +
      SeeTabs("click:ロード", {"Auto", "Quick"}, "Page.1", loadPages) + "," +
      SeeTabs("click:設定", tabs, kSettingsPages[0].firstControl, settingsPages);
  WindowedProgram run(game.path(), home.path(), input);
  ASSERT_TRUE(run.Started()) << run.Errors();

  int changes = 0;
  // Clicks each tab of the order and waits for its page's first control.
  auto playTabs = [&](const std::vector<Point>& at, const std::vector<int>& order, bool held,
                      const std::vector<Page>& pages) {
    for (int page : order) {
      SCOPED_TRACE(std::string("tab ") + pages[page].tab + (held ? " held" : " quick"));
      ASSERT_TRUE(run.Click(at[page], held));
      ASSERT_TRUE(run.Done(std::string("appear:") + pages[page].firstControl))
          << "the page did not follow its tab: " << run.Errors();
      ++changes;
    }
  };
  auto learnTabs = [&](const std::vector<Page>& pages, const std::string& shown) {
    std::vector<Point> at;
    for (const Page& page : pages) {
      const std::optional<Seen> tab = run.Done(std::string("see:") + page.tab);
      if (!tab) {
        ADD_FAILURE() << "no tab " << page.tab << ": " << run.Errors();
        return at;
      }
      at.push_back(tab->centre);
    }
    EXPECT_TRUE(run.Done("see:" + shown)) << run.Errors();
    return at;
  };

  // The story starts with the pointer on the title's button.
  const std::optional<Seen> menu = run.Done("see:ロード(L)");
  ASSERT_TRUE(menu) << run.Errors();
  // The pointer rests on the button and clicks until the story runs, which lets the save item be
  // clicked.
  bool started = false;
  for (int attempt = 0; attempt < kStartAttempts && !started; ++attempt) {
    ASSERT_TRUE(run.Click({menu->corner.x + kStartButtonX, menu->corner.y + kStartButtonY}, true));
    started = run.Done("click:セーブ", std::chrono::seconds(5)).has_value();
  }
  ASSERT_TRUE(started) << run.Errors();

  const std::vector<Page> ringPages = {kAuto, kQuick};
  for (const std::vector<Page>* order : {&kSaveOrder, &kLoadOrder}) {
    const std::vector<Point> ringTabs = learnTabs(ringPages, "Page.1");
    ASSERT_EQ(ringTabs.size(), ringPages.size());
    for (size_t i = 0; i < order->size(); ++i) {
      const int page = (*order)[i].tab == kAuto.tab ? 0 : 1;
      playTabs(ringTabs, {page}, i % 2 == 1, ringPages);
    }
    ASSERT_TRUE(run.Done("click:キャンセル")) << run.Errors();
  }
  const std::vector<Point> settingsTabs = learnTabs(kSettingsPages, kSettingsPages[0].firstControl);
  ASSERT_EQ(settingsTabs.size(), kSettingsPages.size());
  playTabs(settingsTabs, kQuickOrder, false, kSettingsPages);
  playTabs(settingsTabs, kHeldOrder, true, kSettingsPages);
  ASSERT_TRUE(run.Done("click:キャンセル")) << run.Errors();

  EXPECT_EQ(changes, 25);
  // The story's run is ended with its server; the sanitizers' reports come as they see a fault.
  EXPECT_EQ(run.Errors().find("runtime error:"), std::string::npos) << run.Errors();
  EXPECT_EQ(run.Errors().find("Sanitizer"), std::string::npos) << run.Errors();
}

// The input player's clicks come as a pointer's do (the move, the press and the release at once):
// the pages follow them as they follow the pointer's.
TEST(WindowedDialogTabs, EveryTabClickedByTheInputPlayerShowsItsPage) {
  if (!HaveTools()) GTEST_SKIP() << "Xvfb or xdotool is not installed (make deps installs them)";
  test::TempDir game;
  test::TempDir home;
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
  std::string input = std::string("click:設定,see:") + kSettingsPages[0].firstControl;
  for (const std::vector<int>* order : {&kQuickOrder, &kHeldOrder}) {
    for (int page : *order) {
      input += std::string(",click:") + kSettingsPages[page].tab +
               ",appear:" + kSettingsPages[page].firstControl;
    }
  }
  WindowedProgram run(game.path(), home.path(), input + ",click:キャンセル,click:終了,click:はい");
  ASSERT_TRUE(run.Started()) << run.Errors();
  for (const std::vector<int>* order : {&kQuickOrder, &kHeldOrder}) {
    for (int page : *order) {
      EXPECT_TRUE(run.Done(std::string("appear:") + kSettingsPages[page].firstControl))
          << kSettingsPages[page].tab << ": " << run.Errors();
    }
  }
  ASSERT_TRUE(run.Done("click:はい")) << run.Errors();
  const std::optional<int> status = run.End();
  ASSERT_TRUE(status) << run.Errors();
  EXPECT_EQ(test::ExitCode(status), kExitNormal) << run.Errors();
}

}  // namespace
}  // namespace bw
