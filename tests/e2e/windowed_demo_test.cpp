// Label: windowed
// The built program in a real window: the SDL backend on an X server of its own (xvfb-run),
// driven by input played through its own event translation and dialog host, as a player's is.
// Skipped only where xvfb-run is not installed.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "e2e/demo_scene.h"
#include "support/demo_copy.h"
#include "support/shell_quote.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 20;
// xvfb-run -a can lose the display it picked to another server starting at the same moment.
constexpr int kServerAttempts = 3;
constexpr int kStartRefused = 1;
// A run that has not ended by then has hung: it is killed with its X server.
constexpr const char* kRunLimit = "120";

// Open the menu, switch to full screen (filling the display, with no window manager to grant it)
// and back, then back and forth with Alt+Enter alone (its Alt leaving the menu closed), then close
// with "はい" to the close question.
constexpr const char* kMenuAndClose =
    "click:システム,click:画面モード変更,screen:full,key:Alt+Return,screen:window,"
    "key:Alt+Return,screen:full,key:Alt+Return,screen:window,click:終了,click:はい";

struct WindowedRun {
  int status = -1;  // -1: killed or not started
  std::string errors;
};

bool HaveXvfbRun() {
  return std::system("command -v xvfb-run >/dev/null 2>&1") == 0;
}

// Runs the program on game under its own X server with the input played, home as its lock and
// data folder. The session bus is pointed at nothing, so none is started for the run; the
// software renderer keeps the GL driver, whose allocations outlive the process, out of it.
WindowedRun RunWindowed(const fs::path& game, const fs::path& home, const std::string& input) {
  const fs::path errors = home / "stderr.txt";
  const std::string command =
      std::string(
          "env -u BRIMWOLD_HEADLESS SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "
          "SDL_RENDER_DRIVER=software ") +
      "SDL_FRAMEBUFFER_ACCELERATION=0 DBUS_SESSION_BUS_ADDRESS=" +
      test::ShellQuoted("unix:path=" + (home / "no-bus").string()) +
      " XDG_RUNTIME_DIR=" + test::ShellQuoted(home.string()) +
      " XDG_DATA_HOME=" + test::ShellQuoted(home.string()) +
      " BRIMWOLD_SDL_INPUT=" + test::ShellQuoted(input) + " timeout -k 5 " + kRunLimit +
      " xvfb-run -a -s " + test::ShellQuoted("-screen 0 1024x768x24") + " " +
      test::ShellQuoted(BRIMWOLD_PROGRAM) + " /L " + test::ShellQuoted(game.string()) +
      " >/dev/null 2>" + test::ShellQuoted(errors.string());
  WindowedRun run;
  for (int attempt = 0; attempt < kServerAttempts; ++attempt) {
    int status = std::system(command.c_str());
    run.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.errors = test::ReadFile(errors);
    if (run.errors.find("xvfb-run: error:") == std::string::npos) break;
  }
  return run;
}

// What a sanitizer or the input player said went wrong; empty when nothing did.
std::string Complaints(const std::string& errors) {
  for (const char* mark : {"Sanitizer", "runtime error:", "input: gave up"}) {
    size_t at = errors.find(mark);
    if (at != std::string::npos) return errors.substr(at > 200 ? at - 200 : 0, 2000);
  }
  return {};
}

TEST(WindowedDemo, ClosesThroughTheMenuAndSwitchesScreensTwentyTimesInARow) {
  if (!HaveXvfbRun())
    GTEST_SKIP() << "xvfb-run is not installed (scripts/install-deps.sh installs it)";
  for (int run = 1; run <= kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    test::TempDir game;
    test::TempDir home;
    test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());  // runs write their settings into it
    WindowedRun result = RunWindowed(game.path(), home.path(), kMenuAndClose);
    ASSERT_EQ(result.status, 0) << result.errors;
    ASSERT_EQ(Complaints(result.errors), "");
    EXPECT_NE(result.errors.find("input: saw screen:full"), std::string::npos) << result.errors;
    EXPECT_NE(result.errors.find("input: saw screen:window"), std::string::npos) << result.errors;
    ASSERT_NE(result.errors.find("input: played click:はい"), std::string::npos)
        << "the close question was not answered: " << result.errors;
  }
}

TEST(WindowedDemo, ARefusedStartShowsItsBoxInAWindowOfItsOwn) {
  if (!HaveXvfbRun())
    GTEST_SKIP() << "xvfb-run is not installed (scripts/install-deps.sh installs it)";
  test::TempDir game;  // no application files: the start is refused before the game's window opens
  test::TempDir home;
  WindowedRun result = RunWindowed(game.path(), home.path(), "click:OK");
  EXPECT_EQ(result.status, kStartRefused) << result.errors;
  EXPECT_EQ(Complaints(result.errors), "");
  EXPECT_NE(result.errors.find("アプリケーション設定ファイルの読み込みに失敗"), std::string::npos)
      << "the box's copy on standard error: " << result.errors;
  // Only a box the dialog host drew has an OK button to click.
  EXPECT_NE(result.errors.find("input: played click:OK"), std::string::npos) << result.errors;
}

// The demo's scenario frame waits on its first message: the quick-save keys played into the window
// hold Ctrl while the game reads F1, so Ctrl+F1 saves to the quick slot; F1 alone only loads.
TEST(WindowedDemo, CtrlF1SavesToTheQuickSlotAndF1AloneDoesNot) {
  if (!HaveXvfbRun())
    GTEST_SKIP() << "xvfb-run is not installed (scripts/install-deps.sh installs it)";
  for (const bool ctrl : {true, false}) {
    SCOPED_TRACE(ctrl ? "Ctrl+F1" : "F1");
    test::TempDir game;
    test::TempDir home;
    test::PutDemoScene(game, "TGS", test::SceneCallingMain("TGS"));
    const std::string keys = ctrl ? "key:Ctrl+F1" : "key:F1";
    WindowedRun result =
        RunWindowed(game.path(), home.path(), "wait:60," + keys + ",wait:60,close,click:はい");
    ASSERT_EQ(result.status, 0) << result.errors;
    ASSERT_EQ(Complaints(result.errors), "");
    EXPECT_EQ(fs::exists(game.path() / "SAVEDATA" / "DATA0105.SAV"), ctrl) << result.errors;
  }
}

}  // namespace
}  // namespace bw
