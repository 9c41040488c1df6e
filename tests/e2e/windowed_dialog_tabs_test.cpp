// Label: windowed
// The tabs of the settings sheet and of the save and load dialogs, clicked in the real window on
// an X server of the test's own: once with the pointer's own X events (xdotool), quick clicks and
// clicks held down, and once with the program's input player. After each click the page's first
// control must come on the screen. The save and load dialogs' numbered pages are told apart by
// what their first row shows on the screen, read back from the X server: a save made on Page.3
// must be marked there, and not on Page.1. The sheet is closed by a tap of Escape on the X
// server's keyboard. Skipped only where Xvfb, xdotool or xwd is not installed.
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "e2e/windowed_run.h"
#include "program/program_process.h"
#include "support/temp_dir.h"
#include "support/x_screen.h"

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
// The quick ring's first row is marked " F1", the automatic ring's next row " →" (the quick
// ring's next one too, further down).
const Page kQuick = {"Quick", " F1"};
const Page kAuto = {"Auto", " →"};
const std::vector<Page> kSaveOrder = {kQuick, kAuto, kQuick, kAuto, kQuick, kAuto};
const std::vector<Page> kLoadOrder = {kAuto, kQuick, kAuto, kQuick, kAuto};

using test::Point;

// Where an item the input player saw stands: its centre on the screen, the window's corner and
// the item's box in the window.
struct Seen {
  Point centre;
  Point corner;
  float left = 0, top = 0, right = 0, bottom = 0;
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
      server_.emplace(
          "/bin/sh",
          std::vector<std::string>{"-c", "exec Xvfb \"$@\"", "sh", display, "-displayfd", "1",
                                   "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
          std::vector<std::string>{});
      if (server_->WaitForOutput("\n", seconds(20))) display_ = display;
    }
    if (display_.empty()) return;
    std::vector<std::string> env = test::WindowedEnvironment(home, input);
    env.push_back("DISPLAY=" + display_);
    program_.emplace(BRIMWOLD_PROGRAM, std::vector<std::string>{"/L", game.string()}, env);
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
    Seen seen;
    if (at == std::string::npos ||
        std::sscanf(errors.c_str() + at, " stands at %f,%f-%f,%f, on the screen %d,%d", &seen.left,
                    &seen.top, &seen.right, &seen.bottom, &seen.centre.x, &seen.centre.y) != 6)
      return std::nullopt;
    seen.corner = {seen.centre.x - static_cast<int>((seen.left + seen.right) / 2),
                   seen.centre.y - static_cast<int>((seen.top + seen.bottom) / 2)};
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

  // A quick tap of a key on the X server's own keyboard: its press and release come together.
  bool Tap(const std::string& key) const {
    const std::string command = "DISPLAY=" + display_ + " xdotool key " + key;
    return std::system(command.c_str()) == 0;
  }

  std::optional<int> End() { return program_->WaitForEnd(kStepLimit); }

  // The screen as it is now, dumped into file.
  test::Screen Shoot(const fs::path& file) const { return test::ShootDisplay(display_, file); }

 private:
  std::optional<test::ProgramProcess> server_;
  std::string display_;
  std::optional<test::ProgramProcess> program_;
  size_t searchFrom_ = 0;
};

class WindowedDialogTabs : public testing::Test, protected test::DemoCopy {
 protected:
  void SetUp() override {
    if (!test::HaveCommands({"Xvfb", "xdotool", "xwd"}))
      GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed (make deps installs them)";
  }
};

// The steps that open a dialog and learn where its tabs stand, see each page come in turn, then
// the steps that end it.
std::string SeeTabs(const std::string& open, const std::vector<std::string>& tabs,
                    const std::string& shown, const std::vector<std::string>& pages,
                    const std::string& end) {
  std::string input = open;
  for (const std::string& tab : tabs) input += ",see:" + tab;
  input += ",see:" + shown;
  for (const std::string& page : pages) input += ",appear:" + page;
  return input + "," + end;
}

// What the save and load lists' first row shows on the screen: a mark in its first column (the
// rings' " F1" and " →", a numbered page's "New"), one in its protect column (the rings' "－").
struct RowLook {
  bool mark = false;
  bool protect = false;
  bool operator==(const RowLook&) const = default;
};
constexpr RowLook kBareRow = {};
constexpr RowLook kNewRow = {true, false};
// Widths that stay inside the first and the last column whatever the face's size, and the
// pixels of a mark that can no more be noise.
constexpr int kMarkWidth = 24;
constexpr int kProtectWidth = 30;
constexpr int kMarkPixels = 4;
// The table's lines around a row.
constexpr int kBorder = 2;
// How far a chosen row's colour stands from a plain one's, at least.
constexpr int kChosenShift = 24;
constexpr auto kLookLimit = seconds(30);

// The first row's box on the screen, inside its borders.
struct Box {
  int left, top, right, bottom;
};
Box RowBox(const Seen& row) {
  return {row.corner.x + static_cast<int>(row.left) + kBorder,
          row.corner.y + static_cast<int>(row.top) + kBorder,
          row.corner.x + static_cast<int>(row.right) - kBorder,
          row.corner.y + static_cast<int>(row.bottom) - kBorder};
}

RowLook LookAtRow(const test::Screen& screen, const Seen& row) {
  const Box box = RowBox(row);
  return {screen.Ink(box.left, box.top, box.left + kMarkWidth, box.bottom) >= kMarkPixels,
          screen.Ink(box.right - kProtectWidth, box.top, box.right, box.bottom) >= kMarkPixels};
}

test::Rgb RowGround(const test::Screen& screen, const Seen& row) {
  const Box box = RowBox(row);
  return screen.Ground(box.left, box.top, box.right, box.bottom);
}

// Reads the screen until seen answers true; false when it never did (or it could not be read).
bool WaitForScreen(const WindowedProgram& run, const fs::path& shot,
                   const std::function<bool(const test::Screen&)>& seen) {
  const auto deadline = std::chrono::steady_clock::now() + kLookLimit;
  do {
    const test::Screen screen = run.Shoot(shot);
    if (screen.width > 0 && seen(screen)) return true;
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

// Reads the screen until the first row looks as wanted; what it last looked like otherwise.
std::optional<RowLook> WaitForRow(const WindowedProgram& run, const Seen& row, RowLook wanted,
                                  const fs::path& shot) {
  RowLook look;
  if (WaitForScreen(run, shot, [&](const test::Screen& screen) {
        look = LookAtRow(screen, row);
        return look == wanted;
      }))
    return std::nullopt;
  return look;
}

std::string Describe(const std::optional<RowLook>& look) {
  if (!look) return "as wanted";
  return std::string("first column ") + (look->mark ? "marked" : "bare") + ", protect column " +
         (look->protect ? "marked" : "bare");
}

// In the save dialog, on a ring page: the pointer clicks Page.3, once it shows its first row,
// then the save button; the dialog closes after saving.
void SaveOnPage3(WindowedProgram& run, const Seen& firstRow, const fs::path& shot) {
  const std::optional<Seen> tab = run.Done("see:Page.3");
  const std::optional<Seen> save = run.Done("see:セーブ");
  ASSERT_TRUE(tab && save) << run.Errors();
  ASSERT_TRUE(run.Click(tab->centre, false));
  const std::optional<RowLook> page3 = WaitForRow(run, firstRow, kBareRow, shot);
  ASSERT_FALSE(page3) << "Page.3 clicked, the ring page stays: " << Describe(page3);
  // The row is chosen once it is drawn in the chosen rows' colour: until then the save button
  // would save on the row the dialog opened with.
  const test::Rgb bare = RowGround(run.Shoot(shot), firstRow);
  ASSERT_TRUE(run.Click(firstRow.centre, false));
  ASSERT_TRUE(WaitForScreen(run, shot, [&](const test::Screen& screen) {
    return RowGround(screen, firstRow).DistanceTo(bare) > kChosenShift;
  })) << "the row clicked is not chosen";
  ASSERT_TRUE(run.Click(save->centre, false));
}

// In the load dialog, on a ring page: the pointer clicks Page.3, where the save went ("New"),
// Page.1 (nothing) and Page.3 again; the page shown follows each click. The pointer closes it.
void FollowNumberedTabs(WindowedProgram& run, const Seen& firstRow, const fs::path& shot) {
  const std::optional<Seen> page1 = run.Done("see:Page.1");
  const std::optional<Seen> page3 = run.Done("see:Page.3");
  const std::optional<Seen> cancel = run.Done("see:キャンセル");
  ASSERT_TRUE(page1 && page3 && cancel) << run.Errors();
  const struct {
    const Seen& tab;
    RowLook look;
    const char* what;
  } kClicks[] = {{*page3, kNewRow, "Page.3 holds the save, marked New"},
                 {*page1, kBareRow, "Page.1 holds none"},
                 {*page3, kNewRow, "Page.3 again"}};
  for (const auto& click : kClicks) {
    SCOPED_TRACE(click.what);
    ASSERT_TRUE(run.Click(click.tab.centre, false));
    const std::optional<RowLook> look = WaitForRow(run, firstRow, click.look, shot);
    ASSERT_FALSE(look) << "the page did not follow its tab: " << Describe(look);
    if (&click == &kClicks[0]) {
      // The mark read on the screen is the save's, in the row the save went to.
      const std::optional<Seen> mark = run.Done("appear:New");
      ASSERT_TRUE(mark) << run.Errors();
      EXPECT_EQ(mark->top, firstRow.top);
    }
  }
  ASSERT_TRUE(run.Click(cancel->centre, false));
}

TEST_F(WindowedDialogTabs, EveryTabClickedWithTheRealPointerShowsItsPage) {
  std::vector<std::string> tabs, settingsPages, savePages, loadPages;
  for (const Page& page : kSettingsPages) tabs.push_back(page.tab);
  for (const std::vector<int>* order : {&kQuickOrder, &kHeldOrder})
    for (int page : *order) settingsPages.push_back(kSettingsPages[page].firstControl);
  for (const Page& page : kSaveOrder) savePages.push_back(page.firstControl);
  for (const Page& page : kLoadOrder) loadPages.push_back(page.firstControl);
  const std::string input =
      "see:ロード(L)," +
      SeeTabs("click:セーブ", {"Auto", "Quick"}, "Page.1", savePages, "see:Page.3,see:セーブ") +
      "," +
      SeeTabs("click:ロード", {"Auto", "Quick"}, "Page.1", loadPages,
              "see:Page.1,see:Page.3,see:キャンセル,appear:New") +
      "," +
      SeeTabs("click:設定", tabs, kSettingsPages[0].firstControl, settingsPages,
              "click:ロード,click:キャンセル");
  WindowedProgram run(game.path(), home.path(), input);
  ASSERT_TRUE(run.Started()) << run.Errors();

  int changes = 0;
  std::optional<Seen> firstRow;
  // Clicks each tab of the order and waits for its page's first control.
  auto playTabs = [&](const std::vector<Point>& at, const std::vector<int>& order, bool held,
                      const std::vector<Page>& pages) {
    for (int page : order) {
      SCOPED_TRACE(std::string("tab ") + pages[page].tab + (held ? " held" : " quick"));
      ASSERT_TRUE(run.Click(at[page], held));
      const std::optional<Seen> shown = run.Done(std::string("appear:") + pages[page].firstControl);
      ASSERT_TRUE(shown) << "the page did not follow its tab: " << run.Errors();
      if (pages[page].firstControl == kQuick.firstControl) firstRow = shown;
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
      if (HasFatalFailure()) return;
    }
    // The quick ring's first row stands where every page's does.
    ASSERT_TRUE(firstRow);
    const fs::path shot = home.path() / "screen.xwd";
    if (order == &kSaveOrder) {
      SaveOnPage3(run, *firstRow, shot);
    } else {
      FollowNumberedTabs(run, *firstRow, shot);
    }
    if (HasFatalFailure()) return;
  }
  const std::vector<Point> settingsTabs = learnTabs(kSettingsPages, kSettingsPages[0].firstControl);
  ASSERT_EQ(settingsTabs.size(), kSettingsPages.size());
  playTabs(settingsTabs, kQuickOrder, false, kSettingsPages);
  if (HasFatalFailure()) return;
  playTabs(settingsTabs, kHeldOrder, true, kSettingsPages);
  if (HasFatalFailure()) return;
  // Escape tapped on the keyboard closes the sheet: only then can the load dialog open.
  ASSERT_TRUE(run.Tap("Escape"));
  ASSERT_TRUE(run.Done("click:ロード")) << "the sheet stays open: " << run.Errors();
  ASSERT_TRUE(run.Done("click:キャンセル")) << run.Errors();

  EXPECT_EQ(changes, 25);
  // The story's run is ended with its server; the sanitizers' reports come as they see a fault.
  EXPECT_EQ(test::Complaints(run.Errors()), "");
}

// The input player's clicks come as a pointer's do (the move, the press and the release at once):
// the pages follow them as they follow the pointer's.
TEST_F(WindowedDialogTabs, EveryTabClickedByTheInputPlayerShowsItsPage) {
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
