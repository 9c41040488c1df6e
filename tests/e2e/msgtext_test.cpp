// Label: optimised
// The demo's message text scene run headless beside a MAIN that calls it: a scripted click picks
// one of two choices, whose line the scene shows in a message box (standard error). Two runs with
// the same click show the same frames; the other choice changes only what follows the click.
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
    const fs::path output = home.path() / "frames.txt", errors = home.path() / "errors.txt";
    const std::string command =
        "XDG_RUNTIME_DIR=" + Quoted(home.path()) + " XDG_DATA_HOME=" + Quoted(home.path()) +
        " BRIMWOLD_HEADLESS=1 BRIMWOLD_HEADLESS_HASHES=" + kFrames +
        " BRIMWOLD_HEADLESS_INPUT=60:click:200:" + std::to_string(clickY) + " timeout -s KILL " +
        std::to_string(kRunLimitSeconds) + " " + Quoted(BRIMWOLD_PROGRAM) + " /L " +
        Quoted(game.path()) + " >" + Quoted(output) + " 2>" + Quoted(errors);
    const int raw = std::system(command.c_str());
    SceneRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::vector<uint8_t> shown, said;
    EXPECT_TRUE(tools::ReadFileBytes(output, shown) && tools::ReadFileBytes(errors, said));
    std::istringstream lines(std::string(shown.begin(), shown.end()));
    for (std::string line; std::getline(lines, line);) {
      unsigned frame = 0;
      unsigned long long hash = 0;
      if (std::sscanf(line.c_str(), "frame %u hash 0x%llx", &frame, &hash) == 2)
        run.hashes.push_back(hash);
    }
    run.errors.assign(said.begin(), said.end());
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
  EXPECT_NE(forest.errors.find("[MSGTEXT] 左の森へ"), std::string::npos) << forest.errors;
  ASSERT_EQ(forest.hashes.size(), 3u);
  EXPECT_EQ(std::vector(forest.hashes.begin(), forest.hashes.begin() + 2),
            std::vector(river.hashes.begin(), river.hashes.begin() + 2));
  EXPECT_NE(forest.hashes[2], river.hashes[2]) << "the other line's caption";
}

}  // namespace
}  // namespace bw
