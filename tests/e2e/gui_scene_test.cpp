// Label: optimised
// The demo's GUI scene run headless beside a MAIN that calls it, with scripted input: a hover and
// a click on a GMP button, a tooltip's wait, the check box, the second radio button, Tab, a
// composition of "ぶりむ" in the name field and its commit, a wheel turn and a click in the font
// list, a hole of the picture map, its third tile and its (then locked) first one. The frames at
// those moments differ and come again in a second run; the scene's file keeps what fired.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "lib/file_bytes.h"

namespace bw {
namespace {

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

class GuiScene : public test::DemoGameTest {
 protected:
  void SetUp() override { test::PutDemoScene(game, "GUI", test::SceneCallingMain("GUI")); }

  // The hashes of the chosen frames of one run; its status and the scene's file through the
  // arguments.
  std::vector<uint64_t> Run(int& status, std::string& fired) {
    const test::PlayedRun run = Play({std::string("BRIMWOLD_HEADLESS_HASHES=") + kFrames,
                                      std::string("BRIMWOLD_HEADLESS_INPUT=") + kInput});
    status = run.status;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(tools::ReadFileBytes(game.path() / "GUI.TXT", bytes));
    fired.assign(bytes.begin(), bytes.end());
    fs::remove(game.path() / "GUI.TXT");
    return run.Shown();
  }
};

TEST_F(GuiScene, AnswersHoversClicksKeysTypingAndTheWheelTheSameWayEachRun) {
  int status = -1;
  std::string fired;
  const std::vector<uint64_t> first = Run(status, fired);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(fired, kFired);
  ASSERT_EQ(first.size(), kFrameCount);
  for (size_t i = 0; i < kFrameCount; i += 2) {
    EXPECT_NE(first[i], first[i + 1]) << "moment " << i / 2 << " shows on the screen";
  }
  EXPECT_EQ(Run(status, fired), first) << "the second run shows what the first showed";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(fired, kFired);
}

}  // namespace
}  // namespace bw
