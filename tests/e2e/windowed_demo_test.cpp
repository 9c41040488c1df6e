// Label: windowed
// The built program in a real window: the SDL backend on an X server of its own (xvfb-run),
// driven by input played through its own event translation and dialog host, as a player's is;
// also with a sound driver that does not exist, so that the start warns; and full screen, read
// back from the X server. Skipped only where the X tools are not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/dialogs/message_dialog.h"
#include "e2e/demo_scene.h"
#include "e2e/windowed_run.h"
#include "host/message_queue.h"
#include "host/presentation_sink.h"
#include "support/game_run.h"
#include "support/shell_quote.h"
#include "support/temp_dir.h"
#include "support/x_screen.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 20;
constexpr int kStartRefused = 1;
// A run that has not ended by then has hung: it is killed with its X server.
constexpr const char* kRunLimit = "120";
constexpr std::chrono::seconds kWarningLimit{120};
constexpr const char* kWarning = "DirectSoundを利用できません";

// Open the menu, switch to full screen (filling the display, with no window manager to grant it)
// and back, then back and forth with Alt+Enter alone (its Alt leaving the menu closed), then close
// with "はい" to the close question.
constexpr const char* kMenuAndClose =
    "click:システム,click:画面モード変更,screen:full,key:Alt+Return,screen:window,"
    "key:Alt+Return,screen:full,key:Alt+Return,screen:window,click:終了,click:はい";

// Runs the program on game under its own X server with the input played, home as its lock and
// data folder.
test::WindowedRun RunWindowed(const fs::path& game, const fs::path& home,
                              const std::string& input) {
  const fs::path errors = home / "stderr.txt";
  return test::RunUnderXvfb(test::WindowedEnvCommand(home, input) + " timeout -k 5 " + kRunLimit +
                                " xvfb-run -a -s " + test::ShellQuoted("-screen 0 1024x768x24") +
                                " " + test::ShellQuoted(BRIMWOLD_PROGRAM) + " /L " +
                                test::ShellQuoted(game.string()) + " >/dev/null 2>" +
                                test::ShellQuoted(errors.string()),
                            errors);
}

// The same with a sound driver that does not exist, started and left running; pidFile receives
// the program's own id.
std::unique_ptr<test::ProgramProcess> StartWithoutSound(const fs::path& game, const fs::path& home,
                                                        const std::string& input) {
  const std::string script =
      "exec xvfb-run -a -s '-screen 0 1024x768x24' /bin/sh -c 'echo $$ > \"$0\"; exec \"$@\"' "
      "\"$@\"";
  return std::make_unique<test::ProgramProcess>(
      "/bin/sh",
      std::vector<std::string>{"-c", script, "sh", (home / "pid").string(), BRIMWOLD_PROGRAM, "/L",
                               game.string()},
      test::WindowedEnvironment(home, input, "no-such-driver"));
}

test::WindowedRun RunWithoutSound(const fs::path& game, const fs::path& home,
                                  const std::string& input) {
  auto program = StartWithoutSound(game, home, input);
  test::WindowedRun ended;
  ended.status = test::ExitCode(program->WaitForEnd(kWarningLimit));
  ended.errors = program->Errors();
  return ended;
}

class WindowedDemo : public testing::Test, protected test::DemoCopy {
 protected:
  void SetUp() override {
    if (!test::HaveCommands({"xvfb-run"}))
      GTEST_SKIP() << "xvfb-run is not installed (scripts/install-deps.sh installs it)";
  }
};
using WindowedSoundWarning = WindowedDemo;

TEST_F(WindowedDemo, ClosesThroughTheMenuAndSwitchesScreensTwentyTimesInARow) {
  for (int run = 1; run <= kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const test::DemoCopy fresh;
    test::WindowedRun result = RunWindowed(fresh.game.path(), fresh.home.path(), kMenuAndClose);
    ASSERT_EQ(result.status, 0) << result.errors;
    ASSERT_EQ(test::Complaints(result.errors), "");
    EXPECT_NE(result.errors.find("input: saw screen:full"), std::string::npos) << result.errors;
    EXPECT_NE(result.errors.find("input: saw screen:window"), std::string::npos) << result.errors;
    ASSERT_NE(result.errors.find("input: played click:はい"), std::string::npos)
        << "the close question was not answered: " << result.errors;
  }
}

TEST_F(WindowedDemo, ARefusedStartShowsItsBoxInAWindowOfItsOwn) {
  const test::TempDir empty;  // no application files: refused before the game's window opens
  test::WindowedRun result = RunWindowed(empty.path(), home.path(), "click:OK");
  EXPECT_EQ(result.status, kStartRefused) << result.errors;
  EXPECT_EQ(test::Complaints(result.errors), "");
  EXPECT_NE(result.errors.find("アプリケーション設定ファイルの読み込みに失敗"), std::string::npos)
      << "the box's copy on standard error: " << result.errors;
  // Only a box the dialog host drew has an OK button to click.
  EXPECT_NE(result.errors.find("input: played click:OK"), std::string::npos) << result.errors;
}

// With no window manager to take the chord, Alt+F4 reaches the game, which asks as its menu does.
TEST_F(WindowedDemo, AltF4AsksTheCloseQuestion) {
  test::WindowedRun result = RunWindowed(game.path(), home.path(), "wait:30,key:Alt+F4,click:はい");
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(test::Complaints(result.errors), "");
  EXPECT_NE(result.errors.find("input: played click:はい"), std::string::npos) << result.errors;
}

// The demo's scenario frame waits on its first message: the quick-save keys played into the window
// hold Ctrl while the game reads F1, so Ctrl+F1 saves to the quick slot; F1 alone only loads.
TEST_F(WindowedDemo, CtrlF1SavesToTheQuickSlotAndF1AloneDoesNot) {
  for (const bool ctrl : {true, false}) {
    SCOPED_TRACE(ctrl ? "Ctrl+F1" : "F1");
    test::TempDir tgs;
    test::PutDemoScene(tgs, "TGS", test::SceneCallingMain("TGS"));
    const std::string keys = ctrl ? "key:Ctrl+F1" : "key:F1";
    test::WindowedRun result =
        RunWindowed(tgs.path(), home.path(), "wait:60," + keys + ",wait:60,close,click:はい");
    ASSERT_EQ(result.status, 0) << result.errors;
    ASSERT_EQ(test::Complaints(result.errors), "");
    EXPECT_EQ(fs::exists(tgs.path() / "SAVEDATA" / "DATA0105.SAV"), ctrl) << result.errors;
  }
}

// The sound warning of the start, with a sound driver that does not exist: the box is answered as
// a player answers it, or stopped by a signal while it is up.

TEST_F(WindowedSoundWarning, TheTickedBoxStaysAwayOnTheNextStart) {
  const test::WindowedRun first =
      RunWithoutSound(game.path(), home.path(), "click:今後,click:OK,wait:30,close,click:はい");
  ASSERT_EQ(first.status, 0) << first.errors;
  EXPECT_EQ(test::Count(first.errors, kWarning), 1u) << first.errors;
  EXPECT_NE(first.errors.find("input: played click:OK"), std::string::npos) << first.errors;
  // Had the box come again, the close would have ended it, not the game.
  const test::WindowedRun second =
      RunWithoutSound(game.path(), home.path(), "wait:30,close,click:はい");
  ASSERT_EQ(second.status, 0) << second.errors;
  EXPECT_EQ(test::Count(second.errors, kWarning), 0u) << second.errors;
  EXPECT_NE(second.errors.find("input: played click:はい"), std::string::npos) << second.errors;
}

TEST_F(WindowedSoundWarning, AStopSignalClosesTheBoxSavesAndEndsNormally) {
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
    const fs::path settings = game.path() / "USER.CFG";
    const auto shipped = fs::last_write_time(settings) - std::chrono::hours(1);
    fs::last_write_time(settings, shipped);
    auto program = StartWithoutSound(game.path(), home.path(), "wait:1");
    ASSERT_TRUE(program->WaitForOutput(kWarning, kWarningLimit)) << program->Errors();
    const int pid = std::atoi(test::ReadFile(home.path() / "pid").c_str());
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, signal), 0);
    EXPECT_EQ(test::ExitCode(program->WaitForEnd(kWarningLimit)), 0) << program->Errors();
    EXPECT_NE(program->Errors().find("closing the game"), std::string::npos) << program->Errors();
    EXPECT_GT(fs::last_write_time(settings), shipped) << "the settings are saved";
  }
}

// Full screen reached from the settings sheet, from the menu, with Alt+Enter and from the mode
// saved by the run before, with and without a window manager. The screen is read back and must
// hold the whole picture, centred between black bars: the picture the headless backend draws of
// the same title, scaled, in the colours it drew.

// A wide screen: the 4:3 picture is enlarged 1.8 times between two bars 240 pixels wide.
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kPictureLeft = 240;
constexpr int kPictureRight = 1680;
constexpr double kScale = 1.8;
// The demo's title stands still from this frame on.
constexpr uint32_t kTitleFrame = 240;
// A sample of the picture is taken where it is flat: the scaler's filter gives the same colour
// there, within a few levels.
constexpr int kFlatRadius = 4;
constexpr int kFlatLevels = 4;
constexpr int kSearchRadius = 40;
constexpr int kColourLevels = 12;
// Black, as bars are, within the converters' rounding.
constexpr int kBlackLevels = 8;

struct Shot : test::WindowedRun {
  test::Screen screen;
};

// What the real pointer does once the last step has played, instead of the screen being read:
// a click at (x, y) of the screen, after which the program must end by itself.
struct ClickThenEnd {
  int x = 0, y = 0;
  int screenWidth = kScreenWidth, screenHeight = kScreenHeight;
};

// Runs the program on the copy with the input played, its home as the data folder; once the last
// step has played, the real pointer is moved off the picture's middle with xdotool and the screen
// is read. The program is then stopped, or, with waitForEnd, left to end by itself, or given click.
Shot RunAndShoot(const test::DemoCopy& copy, const std::string& input, const std::string& lastStep,
                 bool windowManager, bool waitForEnd = false,
                 const std::optional<ClickThenEnd>& click = std::nullopt) {
  const fs::path& game = copy.game.path();
  const fs::path& home = copy.home.path();
  const fs::path errors = home / "stderr.txt";
  const fs::path script = home / "run.sh";
  {
    std::ofstream out(script);
    out << "#!/bin/sh\n";
    if (windowManager) out << "matchbox-window-manager -use_titlebar no & sleep 1\n";
    out << test::WindowedEnvCommand(home, input) << " " << test::ShellQuoted(BRIMWOLD_PROGRAM)
        << " /L " << test::ShellQuoted(game.string()) << " >/dev/null 2>"
        << test::ShellQuoted(errors.string()) << " &\nP=$!\n";
    if (waitForEnd) {
      out << "wait $P\nexit $?\n";
    } else {
      out << "i=0\nwhile ! grep -q " << test::ShellQuoted("input: played " + lastStep) << " "
          << test::ShellQuoted(errors.string()) << "; do\n  i=$((i+1)); [ $i -gt 600 ] && break\n"
          << "  kill -0 $P 2>/dev/null || break\n  sleep 0.2\ndone\nsleep 1\n";
      if (click) {
        // A click that misses leaves the program running: it is stopped, with 124.
        out << "xdotool mousemove " << click->x << " " << click->y << "\nsleep 1\n"
            << "xdotool click 1\ni=0\nwhile kill -0 $P 2>/dev/null; do\n"
            << "  i=$((i+1)); [ $i -gt 50 ] && { kill $P; wait $P; exit 124; }\n  sleep 0.2\n"
            << "done\nwait $P\nexit $?\n";
      } else {
        out << "xdotool mousemove 10 10\nsleep 1\n"
            << "xwd -root -silent > " << test::ShellQuoted((home / "shot.xwd").string()) << "\n"
            << "kill $P\nwait $P\nexit 0\n";
      }
    }
  }
  const int width = click ? click->screenWidth : kScreenWidth;
  const int height = click ? click->screenHeight : kScreenHeight;
  const std::string command = "timeout -k 5 180 xvfb-run -a -s " +
                              test::ShellQuoted("-screen 0 " + std::to_string(width) + "x" +
                                                std::to_string(height) + "x24") +
                              " sh " + test::ShellQuoted(script.string()) + " >/dev/null 2>&1";
  Shot shot;
  static_cast<test::WindowedRun&>(shot) = test::RunUnderXvfb(command, errors);
  if (!waitForEnd && !click) shot.screen = test::ReadXwd(home / "shot.xwd");
  return shot;
}

test::Rgb FramePixel(const host::Frame& frame, int x, int y) {
  const uint8_t* p = &frame.bgra[(static_cast<size_t>(y) * frame.width + x) * 4];
  return {p[2], p[1], p[0]};
}

// A point near (x, y) whose neighbourhood is one colour, searched outwards; none in a busy place.
std::optional<test::Point> FlatNear(const host::Frame& frame, int x, int y) {
  auto flat = [&](int cx, int cy) {
    if (cx - kFlatRadius < 0 || cy - kFlatRadius < 0 || cx + kFlatRadius >= frame.width ||
        cy + kFlatRadius >= frame.height)
      return false;
    const test::Rgb centre = FramePixel(frame, cx, cy);
    for (int dy = -kFlatRadius; dy <= kFlatRadius; ++dy) {
      for (int dx = -kFlatRadius; dx <= kFlatRadius; ++dx) {
        if (FramePixel(frame, cx + dx, cy + dy).DistanceTo(centre) > kFlatLevels) return false;
      }
    }
    return true;
  };
  for (int r = 0; r <= kSearchRadius; r += 2) {
    for (int dy = -r; dy <= r; dy += 2) {
      for (int dx = -r; dx <= r; dx += 2) {
        if (std::max(std::abs(dx), std::abs(dy)) == r && flat(x + dx, y + dy))
          return test::Point{x + dx, y + dy};
      }
    }
  }
  return std::nullopt;
}

// The bars beside the picture black from top to bottom, and the picture the headless run drew,
// scaled between them: its colours at its four corners and its middle, where they are flat. An
// open sheet covers the middle, not the corners.
void ExpectWholePictureLetterboxed(const Shot& shot, const host::Frame& title,
                                   bool sheetOpen = false) {
  const test::Screen& screen = shot.screen;
  ASSERT_EQ(screen.width, kScreenWidth) << shot.errors;
  ASSERT_EQ(screen.height, kScreenHeight);
  for (const auto& [left, right] : {std::pair{0, kPictureLeft}, {kPictureRight, kScreenWidth}}) {
    int lit = 0;
    test::Point first;
    for (int y = 0; y < kScreenHeight; ++y) {
      for (int x = left; x < right; ++x) {
        if (screen.At(x, y).DistanceTo({}) <= kBlackLevels) continue;
        if (lit++ == 0) first = {x, y};
      }
    }
    EXPECT_EQ(lit, 0) << "the bar from x " << left << " to " << right << " is not black, first at "
                      << first.x << "," << first.y;
  }
  const int inset = 12;
  const struct {
    int x, y;
    const char* where;
  } kSamples[] = {{inset, inset, "top left"},
                  {title.width - inset, inset, "top right"},
                  {inset, title.height - inset, "bottom left"},
                  {title.width - inset, title.height - inset, "bottom right"},
                  {title.width / 2, title.height / 2, "middle"}};
  for (const auto& sample : kSamples) {
    if (sheetOpen && sample.x == title.width / 2) continue;
    const std::optional<test::Point> at = FlatNear(title, sample.x, sample.y);
    ASSERT_TRUE(at) << "the title has no flat place near its " << sample.where;
    const test::Rgb drawn = FramePixel(title, at->x, at->y);
    const int x = kPictureLeft + static_cast<int>((at->x + 0.5) * kScale);
    const int y = static_cast<int>((at->y + 0.5) * kScale);
    const test::Rgb shown = screen.At(x, y);
    EXPECT_LE(shown.DistanceTo(drawn), kColourLevels)
        << "the picture's " << sample.where << " (" << at->x << "," << at->y << ", on the screen "
        << x << "," << y << ") shows " << shown.r << "," << shown.g << "," << shown.b
        << " where the headless run drew " << drawn.r << "," << drawn.g << "," << drawn.b;
  }
}

// The title is on the screen after 300 turns; the sheet's radio switches at once.
constexpr const char* kTitle = "wait:300,";
constexpr const char* kFromSheet =
    "click:設定,click:システム,click:フルスクリーン,wait:30,click:OK,wait:60";
// The sheet still open over the picture its radio switched.
constexpr const char* kSheetOpen = "click:設定,click:システム,click:フルスクリーン,wait:60";
constexpr const char* kFromMenu = "click:システム,click:画面モード変更,screen:full,wait:60";
constexpr const char* kAltEnter = "key:Alt+Return,screen:full,wait:60";

// The demo's title as the headless backend draws it: the picture full screen must show.
class WindowedScreenMode : public test::DialogGameRun {
 protected:
  void SetUp() override {
    if (!test::HaveCommands({"xvfb-run", "xdotool", "xwd", "matchbox-window-manager"}))
      GTEST_SKIP() << "scripts/install-deps.sh installs the X tools";
  }

  // Drawn once for every test of the program.
  const host::Frame& HeadlessTitle() {
    static host::Frame title;
    if (title.width > 0) return title;
    test::CopyDemoGame(BRIMWOLD_DEMO_GAME, dir.path());
    backend.SetFrameObserver([&](host::HWND window, const host::HeadlessSink& sink) {
      if (window != backend.MainWindow() || sink.FramesShown() != kTitleFrame) return;
      title = sink.LastFrame();
      // The close asks first: its answer is queued with it.
      dialogs.scripted.QueueAnswer(test::Press(kIdYes));
      EXPECT_TRUE(host::PostMessage(window, host::WM_CLOSE, 0, 0));
    });
    {
      GameApp app;
      EXPECT_EQ(RunGame(app), 0);
    }
    backend.SetFrameObserver(nullptr);
    EXPECT_EQ(std::tuple(title.width, title.height), std::tuple(800, 600));
    return title;
  }
};

TEST_F(WindowedScreenMode, FullScreenShowsTheWholePictureLetterboxedHoweverItIsReached) {
  const host::Frame& title = HeadlessTitle();
  const struct {
    const char* name;
    const char* input;
    bool windowManager;
  } kCases[] = {
      {"sheet", kFromSheet, false},
      {"sheet still open", kSheetOpen, false},
      {"menu", kFromMenu, false},
      {"Alt+Enter", kAltEnter, false},
      {"sheet with a manager", kFromSheet, true},
      {"menu with a manager", kFromMenu, true},
      {"Alt+Enter with a manager", kAltEnter, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const test::DemoCopy copy;
    const std::string input = std::string(kTitle) + c.input;
    const Shot shot = RunAndShoot(copy, input, input.substr(input.rfind(',') + 1), c.windowManager);
    EXPECT_EQ(test::Complaints(shot.errors, false), "");
    EXPECT_NE(shot.errors.find("input: played wait:60"), std::string::npos) << shot.errors;
    ExpectWholePictureLetterboxed(shot, title, c.input == kSheetOpen);
  }
}

// On a screen of the picture's own shape full screen keeps the desktop's mode and enlarges the
// picture to fill it: the pointer is read in the picture's pixels, so the title's quit button
// (centred at 400, 532) takes the click where the player sees it, 1.28 times as far out.
TEST_F(WindowedScreenMode, TheRealPointerClicksWhereThePlayerSeesTheEnlargedPicture) {
  for (bool windowManager : {false, true}) {
    SCOPED_TRACE(windowManager ? "with a manager" : "without a manager");
    const test::DemoCopy copy;
    const ClickThenEnd quit{512, 681, 1024, 768};
    const Shot shot =
        RunAndShoot(copy, std::string(kTitle) + kFromSheet, "wait:60", windowManager, false, quit);
    EXPECT_EQ(test::Complaints(shot.errors, false), "");
    EXPECT_EQ(shot.status, 0) << "the quit button did not take the click: " << shot.errors;
  }
}

// Full screen left on at the end comes back at the next start, whole.
TEST_F(WindowedScreenMode, AFullScreenSavedByTheRunBeforeStartsWhole) {
  const host::Frame& title = HeadlessTitle();
  for (bool windowManager : {false, true}) {
    SCOPED_TRACE(windowManager ? "with a manager" : "without a manager");
    const test::DemoCopy copy;
    // The close question comes up in full screen; the key that switched must not answer it.
    const Shot first = RunAndShoot(copy,
                                   std::string(kTitle) +
                                       "key:Alt+Return,screen:full,wait:30,close,wait:30,"
                                       "click:はい",
                                   "", windowManager, true);
    EXPECT_NE(first.errors.find("input: played click:はい"), std::string::npos)
        << "the close question was answered before the click: " << first.errors;
    const Shot second = RunAndShoot(copy, "wait:200", "wait:200", windowManager);
    EXPECT_EQ(test::Complaints(second.errors, false), "");
    ExpectWholePictureLetterboxed(second, title);
  }
}

}  // namespace
}  // namespace bw
