// Label: optimised
// The demo's picture scene run headless beside a MAIN that calls it. Its canvas is the screen: the
// frames shown as the rectangle fades differ, and the scene saves the canvas at three frames of the
// virtual clock (the fade's start, its middle and its end), which differ and are not blank. A
// second run shows and saves the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "host/presentation_sink.h"

namespace bw {
namespace {

class ImageScene : public test::DemoGameTest {
 protected:
  void SetUp() override { test::PutDemoScene(game, "IMAGES", test::SceneCallingMain("IMAGES")); }

  // The hashes of three frames shown, then of the three saved pictures of one run; the status
  // through status.
  std::vector<uint64_t> Run(int& status) {
    const test::PlayedRun run = Play({"BRIMWOLD_HEADLESS_HASHES=2,16,30"});
    status = run.status;
    std::vector<uint64_t> hashes = run.Shown();
    EXPECT_EQ(hashes.size(), 3u) << "frames shown";
    for (const char* name : {"IMAGES1.BMP", "IMAGES2.BMP", "IMAGES3.BMP"}) {
      std::vector<uint8_t> bytes;
      EXPECT_TRUE(tools::ReadFileBytes(game.path() / name, bytes)) << name;
      std::set<uint8_t> values(bytes.begin() + std::min<size_t>(bytes.size(), 54), bytes.end());
      EXPECT_GT(values.size(), 16u) << name << " is not blank";
      hashes.push_back(host::Fnv1a64(bytes.data(), bytes.size()));
      std::filesystem::remove(game.path() / name);
    }
    return hashes;
  }
};

TEST_F(ImageScene, ShowsAndSavesItsCanvasAsItFadesTheSameWayEachRun) {
  int status = -1;
  const std::vector<uint64_t> first = Run(status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(std::set<uint64_t>(first.begin(), first.end()).size(), 6u)
      << "the rectangle fades between the frames and between the saves";
  EXPECT_EQ(Run(status), first) << "the second run saves what the first saved";
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace bw
