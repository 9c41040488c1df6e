// Label: optimised
// The demo's message text scene run headless beside a MAIN that calls it: a message with two
// choices drawn by the message text object and a caption on the text panel; a scripted click
// picks a choice, whose line the scene shows in a message box (standard error). The frames of
// two runs with the same click match; a click on the other choice changes only what follows it.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "lib/file_bytes.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr int kRunLimitSeconds = 120;
// The caption rising, resting, and the chosen line's caption after the click at frame 60.
constexpr char kFrames[] = "30,50,100";

std::string Quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

struct SceneRun {
  int status = -1;
  std::vector<uint64_t> hashes;
  std::string errors;
};

class MessageTextScene : public testing::Test {
 protected:
  void SetUp() override { test::PutDemoScene(game, "MSGTEXT", test::SceneCallingMain("MSGTEXT")); }

  SceneRun Run(int clickY) {
    const fs::path output = home.path() / "frames.txt";
    const fs::path errors = home.path() / "errors.txt";
    const std::string command =
        "XDG_RUNTIME_DIR=" + Quoted(home.path()) + " XDG_DATA_HOME=" + Quoted(home.path()) +
        " BRIMWOLD_HEADLESS=1 BRIMWOLD_HEADLESS_HASHES=" + kFrames +
        " BRIMWOLD_HEADLESS_INPUT=60:click:200:" + std::to_string(clickY) + " timeout -s KILL " +
        std::to_string(kRunLimitSeconds) + " " + Quoted(BRIMWOLD_PROGRAM) + " /L " +
        Quoted(game.path()) + " >" + Quoted(output) + " 2>" + Quoted(errors);
    const int raw = std::system(command.c_str());
    SceneRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(tools::ReadFileBytes(output, bytes));
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    for (std::string line; std::getline(lines, line);) {
      unsigned frame = 0;
      unsigned long long hash = 0;
      if (std::sscanf(line.c_str(), "frame %u hash 0x%llx", &frame, &hash) == 2)
        run.hashes.push_back(hash);
    }
    bytes.clear();
    EXPECT_TRUE(tools::ReadFileBytes(errors, bytes));
    run.errors.assign(bytes.begin(), bytes.end());
    return run;
  }

  test::TempDir game;
  test::TempDir home;
};

TEST_F(MessageTextScene, ClickPicksTheChoiceTheSameWayEachRun) {
  const SceneRun river = Run(390);
  EXPECT_EQ(river.status, 0);
  ASSERT_EQ(river.hashes.size(), 3u) << "frames shown";
  EXPECT_EQ(std::set<uint64_t>(river.hashes.begin(), river.hashes.end()).size(), 3u)
      << "the caption moves and the chosen line's caption follows";
  EXPECT_NE(river.errors.find("[MSGTEXT] 右の川へ"), std::string::npos) << river.errors;

  const SceneRun again = Run(390);
  EXPECT_EQ(again.hashes, river.hashes) << "the second run shows what the first showed";

  const SceneRun forest = Run(350);
  EXPECT_EQ(forest.status, 0);
  EXPECT_NE(forest.errors.find("[MSGTEXT] 左の森へ"), std::string::npos) << forest.errors;
  ASSERT_EQ(forest.hashes.size(), 3u);
  EXPECT_EQ(forest.hashes[0], river.hashes[0]);
  EXPECT_EQ(forest.hashes[1], river.hashes[1]);
  EXPECT_NE(forest.hashes[2], river.hashes[2]) << "the other line's caption";
}

}  // namespace
}  // namespace bw
