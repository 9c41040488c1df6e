// Label: optimised
// The scenario frame's text history window, run by the program headless on a scenario of its own:
// a background, a standing picture and two voiced lines. The history key opens the overlay over
// the second line, a click on the first line's voice box replays its voice and shows its scene
// behind the list, and the wheel at the bottom closes it again.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/config/user_config.h"
#include "e2e/demo_scene.h"
#include "lib/file_bytes.h"
#include "lib/tob/tob_assembler.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// Frames (16 ms): the first line is clicked away at 70; its voice (2.5 s) is long over when the
// history key opens the window at 300; 330 shows it, the click at 340 on the first line's box
// replays the voice and shows that line's scene by 360; the wheel at 400 closes the window, so
// 430 shows the line again, and 450 ends it and the game.
const std::string kInput =
    "70:click:400:300,300:key:Insert,340:move:400:12,341:click:400:12,400:wheel:-1,"
    "450:click:400:300";
// The same pointer, without the history.
const std::string kInputWithoutHistory = "70:click:400:300,340:move:400:12,450:click:400:300";

constexpr const char* kScenario =
    ".tob1\n"
    "  BgLoad \"CG\\\\BG.WGX\", 0\n"
    "  SpriteLoad 0, \"CG\\\\SPRITE.WGX\"\n"
    "  MessageBegin 0\n"
    "  SetNameAndVoice \"旅人\", \"D\"\n"
    "  \"一つ目の、声の聞こえる台詞です。\"\n"
    "  MessageWait\n"
    "  MessageBegin 1\n"
    "  SetNameAndVoice \"旅人\", \"D\"\n"
    "  \"二つ目の台詞も声つきです。\"\n"
    "  MessageWait\n"
    "  .end\n";

// MAIN starts the sound device (channel 6 carries the voice) before the demo's frame scene runs
// the scenario, which takes the demo scenario's name.
constexpr const char* kSoundFirst =
    " native native:596, format, status\n native native:668, channels, status\n jmp go\n"
    "format: .word 1, 2, 22, 16\nchannels: .word 12\ngo:\n";

// Whether the voice's tone (1200 Hz) sounds again after a quiet stretch, in 0.1 s windows.
bool VoiceReturnsAfterSilence(const std::string& wave) {
  const size_t windows = wave.size() / 4 / (test::kWaveRate / 10);
  int stage = 0;  // 0 before the voice, 1 voiced, 2 quiet after it, 3 voiced again
  for (size_t k = 0; k < windows && stage < 3; ++k) {
    const bool loud = test::Tone(wave, 1200, 0.1 * double(k), 0.1 * double(k + 1)) > 1000;
    if (loud == (stage % 2 == 0)) ++stage;
  }
  return stage == 3;
}

class TgsHistory : public test::DemoGameTest {
 protected:
  using test::DemoGameTest::Play;

  void SetUp() override {
    test::PutDemoScene(game, "TGS", test::SceneCallingMain("TGS", kSoundFirst));
    test::PutTob(game, "SCRIPT/TGS_DEMO.TOB", kScenario);
    test::PutTob(game, "SCRIPT/TGS_INIT.DAT", ".init\n.script TGS_DEMO 2 0\n");
    // Voices on, so the lines and the replay sound.
    test::ChangePlayerSettings(game.path(), [](UserConfig& user) { user.voiceOn = 1; });
  }

  // The hashes of the frames before, open, scene and closed; the mix goes to wave.
  std::vector<uint64_t> Play(const std::string& input, int& status) {
    const test::PlayedRun run =
        Play({"BRIMWOLD_HEADLESS_HASHES=290,330,360,430", "BRIMWOLD_HEADLESS_INPUT=" + input,
              "BRIMWOLD_HEADLESS_WAVE=" + wave.string()});
    status = run.status;
    return run.Shown();
  }

  const fs::path wave = home.path() / "mix.wav";
};

TEST_F(TgsHistory, TheKeyOpensItABoxReplaysItsVoiceAndSceneAndTheWheelClosesIt) {
  int status = -1;
  const std::vector<uint64_t> first = Play(kInput, status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(first.size(), 4u) << "the game ended early";
  EXPECT_NE(first[1], first[0]) << "no overlay";
  EXPECT_NE(first[2], first[1]) << "no scene behind the list";
  EXPECT_TRUE(VoiceReturnsAfterSilence(test::ReadFile(wave))) << "the voice was not replayed";
  EXPECT_EQ(Play(kInput, status), first);

  // One character of the first line changed: only the list, where that line shows, differs.
  std::string changed = kScenario;
  changed.replace(changed.find("声の聞"), std::string("声").size(), "音");
  test::PutTob(game, "SCRIPT/TGS_DEMO.TOB", changed);
  const std::vector<uint64_t> other = Play(kInput, status);
  ASSERT_EQ(other.size(), 4u);
  EXPECT_EQ(other[0], first[0]);
  EXPECT_NE(other[1], first[1]) << "the list does not show its text";
  test::PutTob(game, "SCRIPT/TGS_DEMO.TOB", kScenario);

  const std::vector<uint64_t> plain = Play(kInputWithoutHistory, status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(plain.size(), 4u);
  EXPECT_EQ(plain[0], first[0]);
  EXPECT_EQ(plain[3], first[3]) << "the screen was not restored";
  EXPECT_FALSE(VoiceReturnsAfterSilence(test::ReadFile(wave))) << "a voice came unasked";
}

}  // namespace
}  // namespace bw
