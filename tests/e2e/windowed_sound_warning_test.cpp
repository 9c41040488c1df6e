// Label: windowed
// The sound warning of the start in the real program's window, on an X server of its own
// (xvfb-run), with a sound driver that does not exist: the box is answered as a player answers it,
// or stopped by a signal while it is up. Skipped only where xvfb-run is not installed.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "program/program_process.h"
#include "support/demo_copy.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kRunLimit{120};
constexpr const char* kWarning = "DirectSoundを利用できません";

bool HaveXvfbRun() {
  return std::system("command -v xvfb-run >/dev/null 2>&1") == 0;
}

// The program under its own X server, the input played; pidFile receives the program's own id.
// The session bus is pointed at nothing, and the software renderer keeps the GL driver out.
std::unique_ptr<test::ProgramProcess> StartWindowed(const fs::path& game, const fs::path& home,
                                                    const std::string& input) {
  const std::string script =
      "exec xvfb-run -a -s '-screen 0 1024x768x24' /bin/sh -c 'echo $$ > \"$0\"; exec \"$@\"' "
      "\"$@\"";
  return std::make_unique<test::ProgramProcess>(
      "/bin/sh",
      std::vector<std::string>{"-c", script, "sh", (home / "pid").string(), BRIMWOLD_PROGRAM, "/L",
                               game.string()},
      std::vector<std::string>{"BRIMWOLD_HEADLESS", "SDL_VIDEODRIVER=x11",
                               "SDL_AUDIODRIVER=no-such-driver", "SDL_RENDER_DRIVER=software",
                               "SDL_FRAMEBUFFER_ACCELERATION=0",
                               "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (home / "no-bus").string(),
                               "XDG_RUNTIME_DIR=" + home.string(), "XDG_DATA_HOME=" + home.string(),
                               "BRIMWOLD_SDL_INPUT=" + input});
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

struct Ended {
  int status = -1;
  std::string errors;
};

Ended RunToEnd(const fs::path& game, const fs::path& home, const std::string& input) {
  auto program = StartWindowed(game, home, input);
  Ended ended;
  ended.status = test::ExitCode(program->WaitForEnd(kRunLimit));
  ended.errors = program->Errors();
  return ended;
}

TEST(WindowedSoundWarning, TheTickedBoxStaysAwayOnTheNextStart) {
  if (!HaveXvfbRun()) GTEST_SKIP() << "xvfb-run is not installed";
  test::TempDir game;
  test::TempDir home;
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
  const Ended first =
      RunToEnd(game.path(), home.path(), "click:今後,click:OK,wait:30,close,click:はい");
  ASSERT_EQ(first.status, 0) << first.errors;
  EXPECT_EQ(Count(first.errors, kWarning), 1u) << first.errors;
  EXPECT_NE(first.errors.find("input: played click:OK"), std::string::npos) << first.errors;
  // Had the box come again, the close would have ended it, not the game.
  const Ended second = RunToEnd(game.path(), home.path(), "wait:30,close,click:はい");
  ASSERT_EQ(second.status, 0) << second.errors;
  EXPECT_EQ(Count(second.errors, kWarning), 0u) << second.errors;
  EXPECT_NE(second.errors.find("input: played click:はい"), std::string::npos) << second.errors;
}

TEST(WindowedSoundWarning, AStopSignalClosesTheBoxSavesAndEndsNormally) {
  if (!HaveXvfbRun()) GTEST_SKIP() << "xvfb-run is not installed";
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
    test::TempDir game;
    test::TempDir home;
    test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
    const fs::path settings = game.path() / "USER.CFG";
    const auto shipped = fs::last_write_time(settings) - std::chrono::hours(1);
    fs::last_write_time(settings, shipped);
    auto program = StartWindowed(game.path(), home.path(), "wait:1");
    ASSERT_TRUE(program->WaitForOutput(kWarning, kRunLimit)) << program->Errors();
    const int pid = std::atoi(test::ReadFile(home.path() / "pid").c_str());
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, signal), 0);
    EXPECT_EQ(test::ExitCode(program->WaitForEnd(kRunLimit)), 0) << program->Errors();
    EXPECT_NE(program->Errors().find("closing the game"), std::string::npos) << program->Errors();
    EXPECT_GT(fs::last_write_time(settings), shipped) << "the settings are saved";
  }
}

}  // namespace
}  // namespace bw
