// Label: optimised
// The demo's scenes run headless beside a MAIN that calls them, each on a copy of the demo game.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "host/presentation_sink.h"
#include "lib/file_bytes.h"

namespace bw {
namespace {

// The message text scene: a scripted click picks one of two choices, whose line the scene shows
// in a message box (standard error). A run clicking the other choice shows the same frames until
// the click and another line after it. Frames: the caption rising, resting, and the chosen
// line's caption after the click at frame 60.
class MessageTextScene : public test::DemoGameTest {
 protected:
  void SetUp() override { test::PutDemoScene(game, "MSGTEXT", test::SceneCallingMain("MSGTEXT")); }

  test::PlayedRun ClickingAt(int clickY) {
    return Play({"BRIMWOLD_HEADLESS_HASHES=30,50,100",
                 "BRIMWOLD_HEADLESS_INPUT=60:click:200:" + std::to_string(clickY)});
  }
};

TEST_F(MessageTextScene, ClickPicksTheChoiceAndOnlyWhatFollowsDiffers) {
  const test::PlayedRun river = ClickingAt(390);
  const std::vector<uint64_t> shown = river.Shown();
  EXPECT_EQ(river.status, 0);
  ASSERT_EQ(shown.size(), 3u) << "frames shown";
  EXPECT_EQ(std::set<uint64_t>(shown.begin(), shown.end()).size(), 3u)
      << "the caption moves and the chosen line's caption follows";
  EXPECT_NE(river.errors.find("[MSGTEXT] 右の川へ"), std::string::npos) << river.errors;

  const test::PlayedRun forest = ClickingAt(350);
  EXPECT_NE(forest.errors.find("[MSGTEXT] 左の森へ"), std::string::npos) << forest.errors;
  const std::vector<uint64_t> other = forest.Shown();
  ASSERT_EQ(other.size(), 3u);
  EXPECT_EQ(other[0], shown[0]) << "the runs differ before the click";
  EXPECT_EQ(other[1], shown[1]);
  EXPECT_NE(other[2], shown[2]) << "the other line's caption";
}

// The GUI scene, with scripted input: a hover and a click on a GMP button, a tooltip's wait, the
// check box, the second radio button, Tab, a composition of "ぶりむ" in the name field and its
// commit, a wheel turn and a click in the font list, a hole of the picture map, its third tile and
// its (then locked) first one. The frames at those moments differ; the scene's file keeps what
// fired.
namespace fs = std::filesystem;

// The list takes the hover as the pointer enters it, so the wheel turns it at once.
constexpr char kInput[] =
    "30:move:88:54,40:click:88:54,50:move:100:314,90:click:50:140,100:click:50:206,110:key:Tab,"
    "120:click:300:52,130:compose:ぶりむ,140:text:ぶりむ,150:move:300:150,152:wheel:-2,"
    "160:click:300:110,170:click:482:360,180:click:570:360,190:click:440:360";
// Frames before and after: the hover, the tooltip's wait, Tab, the composition, its commit and
// the wheel.
constexpr char kFrames[] = "29,33,60,80,109,113,128,133,138,143,151,155";
constexpr size_t kFrameCount = 12;

// The buttons, the check box and the second radio, the list's click, the map's third tile; the
// map's hole and its first tile after it locked fire nothing. The list shows its second line
// at the top after the wheel.
constexpr char kFired[] =
    "fired 10\r\nfired 12\r\nfired 14\r\nfired 40\r\nfired 52\r\ncheck 1 radio 1 line 1\r\n";

using GuiScene = test::DemoGameTest;

TEST_F(GuiScene, AnswersHoversClicksKeysTypingAndTheWheel) {
  test::PutDemoScene(game, "GUI", test::SceneCallingMain("GUI"));
  const test::PlayedRun run = Play({std::string("BRIMWOLD_HEADLESS_HASHES=") + kFrames,
                                    std::string("BRIMWOLD_HEADLESS_INPUT=") + kInput});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(test::ReadFile(game.path() / "GUI.TXT"), kFired);
  const std::vector<uint64_t> shown = run.Shown();
  ASSERT_EQ(shown.size(), kFrameCount);
  for (size_t i = 0; i < kFrameCount; i += 2) {
    EXPECT_NE(shown[i], shown[i + 1]) << "moment " << i / 2 << " shows on the screen";
  }
}

// The picture scene. Its canvas is the screen: the frames shown as the rectangle fades differ, and
// the scene saves the canvas at three frames of the virtual clock (the fade's start, its middle and
// its end), which differ and are not blank.
using ImageScene = test::DemoGameTest;

TEST_F(ImageScene, ShowsAndSavesItsCanvasAsItFades) {
  test::PutDemoScene(game, "IMAGES", test::SceneCallingMain("IMAGES"));
  const test::PlayedRun run = Play({"BRIMWOLD_HEADLESS_HASHES=2,16,30"});
  EXPECT_EQ(run.status, 0) << run.errors;
  std::vector<uint64_t> hashes = run.Shown();
  EXPECT_EQ(hashes.size(), 3u) << "frames shown";
  for (const char* name : {"IMAGES1.BMP", "IMAGES2.BMP", "IMAGES3.BMP"}) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(tools::ReadFileBytes(game.path() / name, bytes)) << name;
    std::set<uint8_t> values(bytes.begin() + std::min<size_t>(bytes.size(), 54), bytes.end());
    EXPECT_GT(values.size(), 16u) << name << " is not blank";
    hashes.push_back(host::Fnv1a64(bytes.data(), bytes.size()));
  }
  EXPECT_EQ(std::set<uint64_t>(hashes.begin(), hashes.end()).size(), 6u)
      << "the rectangle fades between the frames and between the saves";
}

// The movie scene: the movie made with the demo plays in the picture, then over the window. Frames
// half a second and a second and a half into each form all differ (the colour changes each
// second), and a second run shows the same frames.
using MovieDemo = test::DemoGameTest;

TEST_F(MovieDemo, ShowsEachSecondOfBothFormsTheSameWayEachRun) {
  test::PutDemoScene(game, "MOVIE", test::SceneCallingMain("MOVIE"));
  ASSERT_TRUE(fs::exists(game.path() / "MOVIE" / "OPENING.MPG")) << "copied with the game";
  // The picture form shows the game's frames, 60 a second, from frame 1; the window form then
  // shows the movie's own, 25 a second.
  auto run = [&] { return Play({"BRIMWOLD_HEADLESS_HASHES=30,90,135,160"}); };
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
