// Label: windowed
// The built program in a real window: the SDL backend on an X server of its own (xvfb-run),
// driven by input played through its own event translation and dialog host, as a player's is;
// also with a sound driver that does not exist, so that the start warns. Skipped only where
// xvfb-run is not installed.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "e2e/windowed_run.h"
#include "support/demo_copy.h"
#include "support/temp_dir.h"

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

constexpr const char* kNoXvfbRun =
    "xvfb-run is not installed (scripts/install-deps.sh installs it)";

bool HaveXvfbRun() {
  return test::HaveCommands({"xvfb-run"});
}

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

TEST(WindowedDemo, ClosesThroughTheMenuAndSwitchesScreensTwentyTimesInARow) {
  if (!HaveXvfbRun()) GTEST_SKIP() << kNoXvfbRun;
  for (int run = 1; run <= kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    test::TempDir game;
    test::TempDir home;
    test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());  // runs write their settings into it
    test::WindowedRun result = RunWindowed(game.path(), home.path(), kMenuAndClose);
    ASSERT_EQ(result.status, 0) << result.errors;
    ASSERT_EQ(test::Complaints(result.errors), "");
    EXPECT_NE(result.errors.find("input: saw screen:full"), std::string::npos) << result.errors;
    EXPECT_NE(result.errors.find("input: saw screen:window"), std::string::npos) << result.errors;
    ASSERT_NE(result.errors.find("input: played click:はい"), std::string::npos)
        << "the close question was not answered: " << result.errors;
  }
}

TEST(WindowedDemo, ARefusedStartShowsItsBoxInAWindowOfItsOwn) {
  if (!HaveXvfbRun()) GTEST_SKIP() << kNoXvfbRun;
  test::TempDir game;  // no application files: the start is refused before the game's window opens
  test::TempDir home;
  test::WindowedRun result = RunWindowed(game.path(), home.path(), "click:OK");
  EXPECT_EQ(result.status, kStartRefused) << result.errors;
  EXPECT_EQ(test::Complaints(result.errors), "");
  EXPECT_NE(result.errors.find("アプリケーション設定ファイルの読み込みに失敗"), std::string::npos)
      << "the box's copy on standard error: " << result.errors;
  // Only a box the dialog host drew has an OK button to click.
  EXPECT_NE(result.errors.find("input: played click:OK"), std::string::npos) << result.errors;
}

// With no window manager to take the chord, Alt+F4 reaches the game, which asks as its menu does.
TEST(WindowedDemo, AltF4AsksTheCloseQuestion) {
  if (!HaveXvfbRun()) GTEST_SKIP() << kNoXvfbRun;
  test::TempDir game;
  test::TempDir home;
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
  test::WindowedRun result = RunWindowed(game.path(), home.path(), "wait:30,key:Alt+F4,click:はい");
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(test::Complaints(result.errors), "");
  EXPECT_NE(result.errors.find("input: played click:はい"), std::string::npos) << result.errors;
}

// The demo's scenario frame waits on its first message: the quick-save keys played into the window
// hold Ctrl while the game reads F1, so Ctrl+F1 saves to the quick slot; F1 alone only loads.
TEST(WindowedDemo, CtrlF1SavesToTheQuickSlotAndF1AloneDoesNot) {
  if (!HaveXvfbRun()) GTEST_SKIP() << kNoXvfbRun;
  for (const bool ctrl : {true, false}) {
    SCOPED_TRACE(ctrl ? "Ctrl+F1" : "F1");
    test::TempDir game;
    test::TempDir home;
    test::PutDemoScene(game, "TGS", test::SceneCallingMain("TGS"));
    const std::string keys = ctrl ? "key:Ctrl+F1" : "key:F1";
    test::WindowedRun result =
        RunWindowed(game.path(), home.path(), "wait:60," + keys + ",wait:60,close,click:はい");
    ASSERT_EQ(result.status, 0) << result.errors;
    ASSERT_EQ(test::Complaints(result.errors), "");
    EXPECT_EQ(fs::exists(game.path() / "SAVEDATA" / "DATA0105.SAV"), ctrl) << result.errors;
  }
}

// The sound warning of the start, with a sound driver that does not exist: the box is answered as
// a player answers it, or stopped by a signal while it is up.

TEST(WindowedSoundWarning, TheTickedBoxStaysAwayOnTheNextStart) {
  if (!HaveXvfbRun()) GTEST_SKIP() << kNoXvfbRun;
  test::TempDir game;
  test::TempDir home;
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
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

TEST(WindowedSoundWarning, AStopSignalClosesTheBoxSavesAndEndsNormally) {
  if (!HaveXvfbRun()) GTEST_SKIP() << kNoXvfbRun;
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
    test::TempDir game;
    test::TempDir home;
    test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
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

}  // namespace
}  // namespace bw
