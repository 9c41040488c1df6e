// Runs the built program headless.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

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

TEST(Program, RunsHeadlessUntilTheWindowClosesAndExitsZero) {
  test::TempDir game;
  const std::string folder = Quoted(game.path());
  EXPECT_EQ(RunProgram("BRIMWOLD_HEADLESS=1 BRIMWOLD_HEADLESS_FRAMES=3", "/L " + folder), 0);
  EXPECT_EQ(RunProgram("BRIMWOLD_HEADLESS=1 BRIMWOLD_HEADLESS_FRAMES=1", "/l" + folder), 0);
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
