// Label: optimised
// A scenario with a background picture, a looping sound effect and music, saved to a quick slot
// by Ctrl+F1 while its message waits; a second run loads that slot before it resumes the
// scenario: the frame shows what the first showed before the save, and the loop sounds again.
// Inside one run, F1 later loads the slot back: the saved scene comes back after its fade.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// The message is typed out by frame 70; Ctrl+F1 at 80 saves. A loaded scene fades in over 500 ms,
// drawn every millisecond.
constexpr uint32_t kShown = 70, kLast = 118, kFadedIn = 560;

constexpr char kScenario[] = R"(.tob1
  BgLoad "CG\\BG.WGX", 0
  SePlay "SE\\CHIME.OGG", 0, 0, 1
  BgmPlay 1, 0, 1
  MessageBegin 0
  "Saved here."
  MessageWait
  .end
)";

// MAIN: the sound device at 22050 Hz with twelve channels, an 800 x 600 composed canvas as the
// screen, a frame on it, then (loading) the newest quick save, and the scenario played, or resumed
// after the load.
std::string Main(bool load) {
  return std::string(
             ".sob0\n"
             "  native native:596, format, status\n"
             "  native native:668, channels, status\n"
             "  native native:238, canvasArgs, screen\n"
             "  native native:242, screen, status\n"
             "  native native:791, screen, status\n") +
         (load ? "  native native:44, loadArgs, status\n"
                 "  native native:793, resume, status\n"
               : "  native native:793, scenario, status\n") +
         "  native native:792, screen, status\n"
         "  ret\n"
         "format: .word 1, 2, 22, 16\n"
         "channels: .word 12\n"
         "canvasArgs: .word 800, 600, 32, 1\n"
         "loadArgs: .word 1, -1\n"
         "scenario: .word scenarioName\n"
         "scenarioName: .string \"TGS_SAVE\"\n"
         "resume: .word 0\n"
         "screen: .word 0\n"
         "status: .word 0\n";
}

class TgsSave : public test::DemoGameTest {
 protected:
  void SetUp() override {
    test::PutDemoScene(game, "TGS", Main(false));
    test::PutTob(game, "SCRIPT/TGS_SAVE.TOB", kScenario);
    test::PutTob(game, "SCRIPT/TGS_INIT.DAT", ".init\n.script TGS_SAVE 1 0\n");
    fs::copy_file(game.path() / "BGM" / "THEME.OGG", game.path() / "BGM" / "BGM01.OGG");
  }

  // A run to frame last, the hashes of frames in their order.
  std::vector<uint64_t> Play(std::vector<std::string> switches, uint32_t last,
                             const std::string& frames) {
    switches.insert(switches.end(), {"BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(last),
                                     "BRIMWOLD_HEADLESS_HASHES=" + frames});
    const test::PlayedRun run = DemoGameTest::Play(switches);
    EXPECT_EQ(run.status, 0) << run.errors;
    return run.Shown();
  }
};

TEST_F(TgsSave, ALoadedQuickSaveShowsTheSceneAndPlaysTheLoopAgain) {
  const std::vector<uint64_t> saving =
      Play({"BRIMWOLD_HEADLESS_INPUT=80:keydown:Left Ctrl,80:key:F1,81:keyup:Left Ctrl"}, 120,
           test::FrameRange(kShown, kLast));
  ASSERT_FALSE(saving.empty());
  ASSERT_TRUE(fs::exists(game.path() / "SAVEDATA" / "DATA0105.SAV"));

  test::PutAssembled(game, "SCRIPT/MAIN.SOB", Main(true));
  const fs::path wave = home.path() / "mix.wav";
  const std::vector<uint64_t> loaded =
      Play({"BRIMWOLD_HEADLESS_WAVE=" + wave.string()}, kFadedIn + 60,
           test::FrameRange(kFadedIn, kFadedIn + 48));
  // The wait mark turns through its cells in 800 ms: one of the frames of a turn shows it as the
  // first run did.
  EXPECT_NE(std::find(loaded.begin(), loaded.end(), saving.front()), loaded.end())
      << "the rebuilt scene differs from the saved one";

  const std::string mix = test::ReadFile(wave);
  // The chime lasts 200 ms: still sounding after a second, it loops.
  EXPECT_GT(test::Tone(mix, 1760, 1.2, 1.5), 1000) << "the looping effect did not come back";
}

TEST_F(TgsSave, F1LoadsTheQuickSaveInsideTheRunAndCtrlF1DoesNotSkip) {
  test::PutTob(game, "SCRIPT/TGS_SAVE.TOB",
               std::string(kScenario).insert(std::string(kScenario).find("  .end"),
                                             "  MessageBegin 0\n  \"Later on.\"\n  MessageWait\n"));
  // Ctrl goes down at 74 and F1 at 80 saves (a skip would end the first message there and the
  // click at 100 the scenario); the click at 100 shows the second message; F1 at 150 asks, is
  // answered yes, and loads.
  const std::vector<uint64_t> run =
      Play({"BRIMWOLD_HEADLESS_INPUT=74:keydown:Left Ctrl,80:key:F1,"
            "81:keyup:Left Ctrl,100:click:400:300,150:key:F1",
            "BRIMWOLD_HEADLESS_ANSWERS=1"},
           kFadedIn + 200,
           test::FrameRange(kShown, 79) + "," + test::FrameRange(140, 149) + "," +
               test::FrameRange(kFadedIn + 150, kFadedIn + 198));
  ASSERT_EQ(run.size(), 69u);
  const std::vector<uint64_t> saved(run.begin(), run.begin() + 10);
  auto among = [&](uint64_t hash) {
    return std::find(saved.begin(), saved.end(), hash) != saved.end();
  };
  EXPECT_FALSE(among(run[10])) << "the second message shows before the load";
  EXPECT_TRUE(std::any_of(run.begin() + 20, run.end(), among))
      << "the loaded scene differs from the saved one";
}

}  // namespace
}  // namespace bw
