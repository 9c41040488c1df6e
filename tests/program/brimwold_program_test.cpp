// Runs the built program headless.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/game_run.h"

namespace bw {
namespace {

// Runs the program with the environment prefix and arguments; answers its exit status.
int RunProgram(const std::string& environment, const std::string& arguments) {
  std::string command = environment + " '" BW_PROGRAM "' " + arguments + " 2>/dev/null";
  int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The path in single quotes, as one shell word.
std::string Quoted(const std::filesystem::path& path) {
  std::string quoted = "'";
  quoted += path.string();
  quoted += '\'';
  return quoted;
}

// A game folder with the default configuration and the given MAIN.
void WriteGame(const test::TempDir& game, const std::string& mainBody) {
  test::WriteGameFolder(game, AppRecord{}, AppInfo{}, EngineConfig{}, mainBody);
}

// Each run gets its own lock folder and home, so runs never meet.
std::string Headless(const test::TempDir& home, const std::string& more = "") {
  return "XDG_RUNTIME_DIR=" + Quoted(home.path()) + " XDG_DATA_HOME=" + Quoted(home.path()) +
         " BRIMWOLD_HEADLESS=1 " + more;
}

TEST(Program, ExitsWithTheRunsStatus) {
  test::TempDir home;
  test::TempDir ends;
  WriteGame(ends, " wait\n wait\n ret\n");
  EXPECT_EQ(RunProgram(Headless(home), "/L " + Quoted(ends.path())), 0) << "MAIN ran to its end";
  EXPECT_TRUE(std::filesystem::exists(ends.path() / "SAVEDATA" / "APP_CFG.DAT"));

  test::TempDir loops;
  WriteGame(loops, "l:\n wait\n jmp l\n");
  EXPECT_EQ(RunProgram(Headless(home, "BRIMWOLD_HEADLESS_FRAMES=1"), "/l" + Quoted(loops.path())), 0)
      << "the window closed";

  test::TempDir broken;
  WriteGame(broken, " wait\n op 250\n");
  EXPECT_NE(RunProgram(Headless(home), "/L " + Quoted(broken.path())), 0) << "a script error";

  test::TempDir empty;
  EXPECT_EQ(RunProgram(Headless(home), "/L " + Quoted(empty.path())), 1) << "no application record";
}

TEST(Program, ABadCommandLineExitsNonZero) {
  test::TempDir game;
  const std::string env = "BRIMWOLD_HEADLESS=1 BRIMWOLD_HEADLESS_FRAMES=1";
  EXPECT_NE(RunProgram(env, "/L"), 0) << "no folder after /L";
  EXPECT_NE(RunProgram(env, "/X " + game.path().string()), 0) << "unknown switch";
  EXPECT_NE(RunProgram(env, "/L " + Quoted(game.path() / "missing")), 0) << "no such folder";
  EXPECT_NE(RunProgram("BRIMWOLD_HEADLESS=1 BRIMWOLD_HEADLESS_FRAMES=soon", "/L " + game.path().string()), 0);
}

}  // namespace
}  // namespace bw
