// Label: optimised
// The demo's movie scene run headless beside a MAIN that calls it: the movie made with the demo
// plays in the picture, then over the window. Frames half a second and a second and a half into
// each form all differ (the colour changes each second), and a second run shows the same frames.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <vector>

#include "e2e/demo_scene.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

TEST(MovieDemo, ShowsEachSecondOfBothFormsTheSameWayEachRun) {
  test::TempDir game, home;
  test::PutDemoScene(game, "MOVIE", test::SceneCallingMain("MOVIE"));
  ASSERT_TRUE(fs::exists(game.path() / "MOVIE" / "OPENING.MPG")) << "copied with the game";
  // The picture form shows the game's frames, 60 a second, from frame 1; the window form then
  // shows the movie's own, 25 a second.
  auto run = [&] {
    return test::PlayHeadless(game.path(), home.path(), {"BRIMWOLD_HEADLESS_HASHES=30,90,135,160"});
  };
  const test::PlayedRun played = run();
  EXPECT_EQ(played.status, 0) << played.errors;
  const std::vector<uint64_t> first = played.Shown();
  ASSERT_EQ(first.size(), 4u) << "frames shown";
  EXPECT_EQ(std::set<uint64_t>(first.begin(), first.end()).size(), 4u)
      << "the picture changes with the second and the form";
  EXPECT_EQ(run().Shown(), first) << "the second run shows what the first showed";
}

}  // namespace
}  // namespace bw
