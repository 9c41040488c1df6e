// Label: optimised
// The demo's movie scene run headless beside a MAIN that calls it: the movie made with the demo
// plays in the picture, then over the window. Frames half a second and a second and a half into
// each form all differ (the colour changes each second), and a second run shows the same frames.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// The picture form shows the game's frames at 60 a second from frame 1; the window form shows the
// movie's own 25 a second after them.
constexpr char kFrames[] = "BRIMWOLD_HEADLESS_HASHES=30,90,135,160";

class MovieDemo : public testing::Test {
 protected:
  void SetUp() override {
    test::PutDemoScene(game, "MOVIE", test::SceneCallingMain("MOVIE"));
    fs::create_directories(game.path() / "MOVIE");
    fs::copy_file(fs::path(BRIMWOLD_DEMO_GAME) / "MOVIE" / "OPENING.MPG",
                  game.path() / "MOVIE" / "OPENING.MPG", fs::copy_options::skip_existing);
  }

  std::vector<uint64_t> Run(int& status) {
    return test::ShownFrameHashes(test::RunHeadless(game.path(), home.path(), kFrames, status));
  }

  test::TempDir game;
  test::TempDir home;
};

TEST_F(MovieDemo, ShowsEachSecondOfBothFormsTheSameWayEachRun) {
  int status = -1;
  const std::vector<uint64_t> first = Run(status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(first.size(), 4u) << "frames shown";
  EXPECT_EQ(std::set<uint64_t>(first.begin(), first.end()).size(), 4u)
      << "the picture changes with the second and the form";
  EXPECT_EQ(Run(status), first) << "the second run shows what the first showed";
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace bw
