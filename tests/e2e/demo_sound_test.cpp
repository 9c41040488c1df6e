// Label: optimised
// The demo's sound scene, run headless with the mix of the virtual-clock run written to a WAVE
// file, judged by the loudness of its tones in windows of time from the first sound: THEME (440
// Hz) fades in, the chime (1760 Hz) sounds at two fixed frames, the music is halved under the
// voice (1200 Hz), SECOND (660 Hz) takes over in the cross-fade, and the fade-out ends in silence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "support/demo_copy.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

const fs::path kGame = BRIMWOLD_DEMO_GAME;

constexpr int kWaveNotWritten = 30;
constexpr size_t kHeaderBytes = 46;

uint32_t Le(const std::string& bytes, size_t at, int size) {
  uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes[at + i]);
  return v;
}

// The left channel of a 16-bit stereo WAVE file, timed from its first sound.
struct Mix {
  uint32_t rate = 0;
  std::vector<int16_t> left;
  size_t onset = 0;

  size_t At(double seconds) const { return onset + static_cast<size_t>(seconds * rate); }

  // The amplitude of the hz component between from and to seconds after the onset.
  double Tone(double hz, double from, double to) const {
    double re = 0, im = 0;
    const size_t a = At(from), b = At(to);
    for (size_t i = a; i < b; ++i) {
      const double phase = 2 * std::numbers::pi * hz * static_cast<double>(i) / rate;
      re += left[i] * std::cos(phase);
      im += left[i] * std::sin(phase);
    }
    return 2 * std::hypot(re, im) / static_cast<double>(b - a);
  }
};

Mix ReadMix(const std::string& wave) {
  Mix mix;
  EXPECT_GE(wave.size(), kHeaderBytes);
  if (wave.size() < kHeaderBytes) return mix;
  EXPECT_EQ(std::tuple(wave.substr(0, 4), Le(wave, 22, 2), Le(wave, 34, 2), Le(wave, 42, 4)),
            std::tuple("RIFF", 2u, 16u, wave.size() - kHeaderBytes))
      << "16-bit stereo, the data size filled in";
  mix.rate = Le(wave, 24, 4);
  for (size_t at = kHeaderBytes; at + 4 <= wave.size(); at += 4) {
    mix.left.push_back(static_cast<int16_t>(Le(wave, at, 2)));
  }
  while (mix.onset < mix.left.size() && mix.left[mix.onset] == 0) ++mix.onset;
  return mix;
}

// The sound scene called by a MAIN of its own (loose scripts come before the pack's), which then
// waits 300 frames and ends.
constexpr const char* kSoundMain =
    ".sob0\n native native:0, callSound, status\n set 300, left\nidle: wait\n dec left\n"
    " mov left, more.1\nmore: jz 0, done\n jmp idle\ndone: ret\ncallSound: .word sound\n"
    "sound: .string \"SOUND\"\nstatus: .word 0\nleft: .word 0\n";

class DemoSound : public test::DemoGameTest {
 protected:
  void SetUp() override {
    test::CopyDemoGame(kGame, game.path());
    // The game's voices are on in the player's settings it ships.
    test::PutShippedSettings(game.path());
    test::PutAssembled(game, "SCRIPT/MAIN.SOB", kSoundMain);
  }

  // A run with the mix written to wave.
  test::PlayedRun Record(const fs::path& wave) {
    return Play({"BRIMWOLD_HEADLESS_WAVE=" + wave.string()});
  }
};

TEST_F(DemoSound, TheScenesMixRisesDucksCrossFadesAndEndsSilentTheSameInEveryRun) {
  const fs::path wave = home.path() / "mix.wav";
  const test::PlayedRun run = Record(wave);
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string first = test::ReadFile(wave);
  const Mix mix = ReadMix(first);
  ASSERT_EQ(mix.rate, 22050u) << "the format the scene asks for";
  ASSERT_GT(mix.left.size(), mix.At(14)) << "the scene and MAIN's idle frames after it";

  // The fade-in over 1.5 s, then the music at full.
  const double full = mix.Tone(440, 1.6, 1.9);
  EXPECT_GT(full, 5000);
  double before = 0;
  for (double t : {0.1, 0.5, 0.9, 1.3}) {
    const double level = mix.Tone(440, t, t + 0.1);
    EXPECT_GT(level, before + full / 10) << "rising at " << t << " s";
    before = level;
  }
  EXPECT_LT(mix.Tone(440, 0.1, 0.2), full / 4);

  // The chime at the scene's frames 120 and 150 (two seconds and a half later), not between.
  EXPECT_GT(mix.Tone(1760, 2.02, 2.18), full / 2);
  EXPECT_LT(mix.Tone(1760, 2.25, 2.45), 100);
  EXPECT_GT(mix.Tone(1760, 2.52, 2.68), full / 2);

  // Under the voice the music is halved, then comes back.
  EXPECT_GT(mix.Tone(1200, 4.0, 5.0), full);
  EXPECT_NEAR(mix.Tone(440, 4.0, 5.0) / full, 0.5, 0.05);
  EXPECT_LT(mix.Tone(1200, 5.6, 6.2), 100) << "the voice has ended";

  // After the cross-fade only the second tune plays, at full.
  EXPECT_LT(mix.Tone(440, 8.05, 8.35), 100);
  EXPECT_NEAR(mix.Tone(660, 8.05, 8.35) / full, 1.0, 0.05);

  // The fade-out has ended: nothing sounds from then to the end of the run.
  const auto quiet = std::find_if(mix.left.begin() + static_cast<std::ptrdiff_t>(mix.At(9.8)),
                                  mix.left.end(), [](int16_t v) { return v != 0; });
  EXPECT_EQ(quiet, mix.left.end())
      << "a sample at " << static_cast<double>(quiet - mix.left.begin()) / mix.rate << " s";

  ASSERT_EQ(Record(wave).status, 0);
  EXPECT_TRUE(test::ReadFile(wave) == first) << "the second run mixed other samples";
}

TEST_F(DemoSound, AWaveThatCannotBeWrittenFailsTheRun) {
  const fs::path wave = home.path() / "missing" / "mix.wav";
  const test::PlayedRun run = Record(wave);
  EXPECT_EQ(run.status, kWaveNotWritten);
  EXPECT_NE(run.errors.find("cannot write the sound"), std::string::npos) << run.errors;
  EXPECT_EQ(Record("").status, 2) << "an empty name is refused";
}

}  // namespace
}  // namespace bw
