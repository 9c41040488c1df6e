// Label: optimised
// The scenario frame's text history window, run by the program headless on a scenario of its own:
// a background, a standing picture and two voiced lines. The history key opens the overlay over
// the second line, a click on the first line's voice box replays its voice and shows its scene
// behind the list, and the wheel at the bottom closes it again.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "app/config/config_block.h"
#include "app/config/user_config.h"
#include "e2e/demo_scene.h"
#include "lib/file_bytes.h"
#include "lib/tob/tob_assembler.h"
#include "program/program_process.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kRunLimit{120};

// Frames (16 ms): the first line is clicked away at 70; its voice (2.5 s) is long over when the
// history key opens the window at 300; 330 shows it, the click at 340 on the first line's box
// replays the voice and shows that line's scene by 360; the wheel at 400 closes the window and
// 450 ends the second line and the game.
constexpr uint32_t kBefore = 290, kOpen = 330, kScene = 360, kClosed = 430;
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

constexpr const char* kSceneScript =
    ".sob0\n"
    "  native native:596, format, status\n"    // the sound device: 22050 Hz, stereo, 16 bits
    "  native native:668, channels, status\n"  // channel 6 carries the voice
    "  native native:238, canvasArgs, screen\n"
    "  native native:242, screen, status\n"
    "  native native:791, screen, created\n"
    "  mov created, check.1\n"
    "check: jz 0, run\n"
    "  ret\n"
    "run:\n"
    "  native native:793, scenario, status\n"
    "  native native:792, screen, status\n"
    "  ret\n"
    "format: .word 1, 2, 22, 16\n"
    "channels: .word 12\n"
    "canvasArgs: .word 800, 600, 32, 1\n"
    "scenario: .word scenarioName\n"
    "scenarioName: .string \"TGS_HIST\"\n"
    "screen: .word 0\n"
    "created: .word 0\n"
    "status: .word 0\n";

struct Played {
  int status = -1;
  std::vector<uint64_t> hashes;  // before, open, scene, closed
  std::string errors;
};

// Whether the voice's tone (1200 Hz) sounds again after a quiet stretch: 0.1 s windows of the
// left channel of the 16-bit stereo mix.
bool VoiceReturnsAfterSilence(const std::string& wave) {
  constexpr size_t kHeader = 46;
  if (wave.size() < kHeader) return false;
  auto le = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | uint8_t(wave[at + i]);
    return v;
  };
  const uint32_t rate = le(24, 4);
  std::vector<int16_t> left;
  for (size_t at = kHeader; at + 4 <= wave.size(); at += 4) left.push_back(int16_t(le(at, 2)));
  const size_t window = rate / 10;
  int stage = 0;  // 0 before the voice, 1 voiced, 2 quiet after it, 3 voiced again
  for (size_t a = 0; window && a + window <= left.size() && stage < 3; a += window) {
    double re = 0, im = 0;
    for (size_t i = a; i < a + window; ++i) {
      const double phase = 2 * std::numbers::pi * 1200 * double(i) / rate;
      re += left[i] * std::cos(phase), im += left[i] * std::sin(phase);
    }
    const bool loud = 2 * std::hypot(re, im) / double(window) > 1000;
    if (loud == (stage % 2 == 0)) ++stage;
  }
  return stage == 3;
}

class TgsHistory : public testing::Test {
 protected:
  void SetUp() override {
    test::PutDemoScene(game, "TGS", test::SceneCallingMain("HIST"));
    test::PutAssembled(game, "SCRIPT/HIST.SOB", kSceneScript);
    test::PutAssembled(game, "SCRIPT/SOB_INIT.DAT",
                       ".table\n.script MAIN 0 0\n.script SUB 0 0\n.script HIST 0 0\n");
    Put("SCRIPT/TGS_HIST.TOB", kScenario);
    Put("SCRIPT/TGS_INIT.DAT", ".init\n.script TGS_HIST 2 0\n");
    // Voices on, so the lines and the replay sound.
    const fs::path file = game.path() / "SAVEDATA" / "APP_CFG.DAT";
    std::vector<uint8_t> bytes;
    UserConfig user;
    if (tools::ReadFileBytes(file, bytes)) {
      ASSERT_EQ(ReadUserConfig(bytes, user), kConfigOk);
    }
    user.voiceOn = 1;
    fs::create_directories(file.parent_path());
    ASSERT_FALSE(SaveUserConfig(file, user));
  }

  void Put(const std::string& name, const std::string& source) {
    tob::AssembleResult r = tob::Assemble(source);
    ASSERT_TRUE(r.ok) << r.error;
    game.WriteFile(name, std::string(r.bytes.begin(), r.bytes.end()));
  }

  Played Play(const std::string& input, const fs::path& wave) {
    test::ProgramProcess program(
        BRIMWOLD_PROGRAM, {"/L", game.path().string()},
        {"XDG_RUNTIME_DIR=" + home.path().string(), "XDG_DATA_HOME=" + home.path().string(),
         "BRIMWOLD_HEADLESS=1", "BRIMWOLD_HEADLESS_INPUT=" + input,
         "BRIMWOLD_HEADLESS_WAVE=" + wave.string(),
         "BRIMWOLD_HEADLESS_HASHES=" + std::to_string(kBefore) + "," + std::to_string(kOpen) + "," +
             std::to_string(kScene) + "," + std::to_string(kClosed)});
    Played run;
    run.status = test::ExitCode(program.WaitForEnd(kRunLimit));
    run.hashes = test::ShownFrameHashes(program.Output());
    run.errors = program.Errors();
    return run;
  }

  test::TempDir game;
  test::TempDir home;
};

TEST_F(TgsHistory, TheKeyOpensItABoxReplaysItsVoiceAndSceneAndTheWheelClosesIt) {
  const fs::path wave = home.path() / "mix.wav";
  const Played first = Play(kInput, wave);
  ASSERT_EQ(first.status, 0) << first.errors;
  ASSERT_EQ(first.hashes.size(), 4u) << "the game ended early";
  EXPECT_NE(first.hashes[1], first.hashes[0]) << "no overlay";
  EXPECT_NE(first.hashes[2], first.hashes[1]) << "no scene behind the list";
  EXPECT_TRUE(VoiceReturnsAfterSilence(test::ReadFile(wave))) << "the voice was not replayed";

  const Played again = Play(kInput, wave);
  EXPECT_EQ(again.hashes, first.hashes);

  const Played plain = Play(kInputWithoutHistory, wave);
  EXPECT_EQ(plain.status, 0) << plain.errors;
  ASSERT_EQ(plain.hashes.size(), 4u);
  EXPECT_EQ(plain.hashes[0], first.hashes[0]);
  EXPECT_EQ(plain.hashes[3], first.hashes[3]) << "the screen was not restored";
  EXPECT_FALSE(VoiceReturnsAfterSilence(test::ReadFile(wave))) << "a voice came unasked";
}

}  // namespace
}  // namespace bw
