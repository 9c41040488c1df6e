// Label: optimised
// The demo's message text scene run headless beside a MAIN that calls it: a scripted click picks
// one of two choices, whose line the scene shows in a message box (standard error). Two runs with
// the same click show the same frames; the other choice changes only what follows the click.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"

namespace bw {
namespace {

// The caption rising, resting, and the chosen line's caption after the click at frame 60.
class MessageTextScene : public test::DemoGameTest {
 protected:
  void SetUp() override { test::PutDemoScene(game, "MSGTEXT", test::SceneCallingMain("MSGTEXT")); }

  test::PlayedRun Run(int clickY) {
    return Play({"BRIMWOLD_HEADLESS_HASHES=30,50,100",
                 "BRIMWOLD_HEADLESS_INPUT=60:click:200:" + std::to_string(clickY)});
  }
};

TEST_F(MessageTextScene, ClickPicksTheChoiceTheSameWayEachRun) {
  const test::PlayedRun river = Run(390);
  const std::vector<uint64_t> shown = river.Shown();
  EXPECT_EQ(river.status, 0);
  ASSERT_EQ(shown.size(), 3u) << "frames shown";
  EXPECT_EQ(std::set<uint64_t>(shown.begin(), shown.end()).size(), 3u)
      << "the caption moves and the chosen line's caption follows";
  EXPECT_NE(river.errors.find("[MSGTEXT] 右の川へ"), std::string::npos) << river.errors;
  EXPECT_EQ(Run(390).Shown(), shown) << "the second run shows what the first showed";

  const test::PlayedRun forest = Run(350);
  EXPECT_NE(forest.errors.find("[MSGTEXT] 左の森へ"), std::string::npos) << forest.errors;
  const std::vector<uint64_t> other = forest.Shown();
  ASSERT_EQ(other.size(), 3u);
  EXPECT_EQ(other[0], shown[0]);
  EXPECT_EQ(other[1], shown[1]);
  EXPECT_NE(other[2], shown[2]) << "the other line's caption";
}

}  // namespace
}  // namespace bw
