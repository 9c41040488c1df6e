// Label: optimised
// The demo game as it ships, run whole by the program headless.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/config/config_block.h"
#include "app/config/engine_config.h"
#include "e2e/demo_scene.h"
#include "host/presentation_sink.h"
#include "lib/file_bytes.h"
#include "lib/sob/sob_assembler.h"
#include "lib/vfa/vfa_writer.h"
#include "support/demo_copy.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// The built program run headless on copies of the demo game folder, watched from outside: its
// exit status, its messages and the files it leaves behind.

const fs::path kGame = BRIMWOLD_DEMO_GAME;
const fs::path kPackMembers = BRIMWOLD_DEMO_MEMBERS;

constexpr const char* kAppRecordFailed = "アプリケーション設定ファイルの読み込みに失敗";
constexpr const char* kIllegalScript = "不正なスクリプトを実行しました";

// A copy of the demo game folder the test may spoil, and a home for the run.
class DemoRun : public test::DemoGameTest {
 protected:
  void SetUp() override { test::CopyDemoGame(kGame, game.path()); }

  // SCRIPT.VFA packed again from the demo's members after change has had its way with them.
  void Repack(const std::function<void(std::vector<tools::VfaMemberSource>&)>& change) {
    std::vector<tools::VfaMemberSource> members;
    std::string error;
    ASSERT_TRUE(tools::CollectVfaMembers(kPackMembers, members, &error)) << error;
    change(members);
    std::vector<uint8_t> pack;
    ASSERT_TRUE(tools::BuildVfaPack("SCRIPT.VFA", members, {}, pack, &error)) << error;
    game.WriteFile("SCRIPT.VFA", std::string(pack.begin(), pack.end()));
  }

  static void Replace(std::vector<tools::VfaMemberSource>& members, const std::string& name,
                      std::vector<uint8_t> bytes) {
    for (auto& m : members) {
      if (m.name == name) {
        m.data = std::move(bytes);
        return;
      }
    }
    ADD_FAILURE() << name << " is not a member";
  }
};

// The run shows the title and ends normally by its quit button and saves; run again from the
// shipped settings with the scripts translated to machine code, it shows the same frames and
// counts alike.
TEST_F(DemoRun, EndsNormallySavesAndRunsTheSameWithScriptsTranslated) {
  const fs::path userCfg = game.path() / "USER.CFG";
  const auto shippedTime = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365);
  fs::last_write_time(userCfg, shippedTime);
  EngineConfig shipped = test::EngineSettings(game.path());
  ASSERT_EQ(shipped.pacing.jit, 0);
  const std::vector<uint8_t> black(800 * 600 * 4, 0);
  const uint64_t blackHash = host::Fnv1a64(black.data(), black.size());
  test::PlayedRun plain = Play({"BRIMWOLD_HEADLESS_HASHES=2,50", test::kQuitFromTitle});
  EXPECT_EQ(plain.status, 0) << plain.errors;
  const std::map<uint32_t, uint64_t> hashes = plain.hashes;
  ASSERT_EQ(hashes.size(), 2u) << plain.errors;
  EXPECT_NE(hashes.at(50), blackHash) << "the title stands";
  EXPECT_NE(fs::last_write_time(userCfg), shippedTime) << "USER.CFG saved at the exit";
  EXPECT_EQ(test::EngineSettings(game.path()).display.screenMode, kSavedScreenWindow);
  EXPECT_EQ(test::EngineSettings(game.path()).pacing.scriptSetting9, 1)
      << "MAIN started once and kept its count there";
  EXPECT_TRUE(fs::is_regular_file(game.path() / "SAVEDATA" / "APP_CFG.DAT"))
      << "mode 1 keeps the saves beside the game";

  shipped.pacing.jit = 1;
  const std::vector<uint8_t> bytes = EncodeEngineConfig(shipped);
  game.WriteFile("USER.CFG", std::string(bytes.begin(), bytes.end()));
  test::PlayedRun translated = Play({"BRIMWOLD_HEADLESS_HASHES=2,50", test::kQuitFromTitle});
  EXPECT_EQ(translated.status, 0) << translated.errors;
  EXPECT_EQ(translated.hashes, hashes);
  EXPECT_EQ(test::EngineSettings(game.path()).pacing.jit, 1);
  EXPECT_EQ(test::EngineSettings(game.path()).pacing.scriptSetting9, 1)
      << "the translated scripts kept count alike";
}

// Alt+Enter pressed on the title, as a player presses it: the game goes full screen, the title
// still stands and its quit button still ends the game, and the settings keep the full screen.
TEST_F(DemoRun, AltEnterGoesFullScreenWhichTheSettingsKeep) {
  test::PlayedRun windowed = Play({"BRIMWOLD_HEADLESS_HASHES=50", test::kQuitFromTitle});
  ASSERT_EQ(windowed.status, 0) << windowed.errors;
  ASSERT_EQ(test::EngineSettings(game.path()).display.screenMode, kSavedScreenWindow);
  test::PlayedRun full = Play({"BRIMWOLD_HEADLESS_HASHES=50",
                               "BRIMWOLD_HEADLESS_INPUT=20:keydown:Left Alt,20:key:Return,"
                               "21:keyup:Left Alt,60:move:400:532,62:click:400:532"});
  EXPECT_EQ(full.status, 0) << full.errors;
  EXPECT_EQ(test::EngineSettings(game.path()).display.screenMode, kSavedScreenFull);
  EXPECT_EQ(full.hashes, windowed.hashes) << "the same title, full screen";
}

// "Return to title" (40002) chosen from the menu at frame 30 and its question answered "はい":
// MAIN starts again, counts its second start and builds the title again, whose quit button
// ends the game.
TEST_F(DemoRun, ReturnsToTheTitleFromTheMenu) {
  constexpr int kAnswerYes = 1;
  test::PlayedRun r = Play({"BRIMWOLD_HEADLESS_COMMANDS=30:40002",
                            "BRIMWOLD_HEADLESS_ANSWERS=" + std::to_string(kAnswerYes),
                            "BRIMWOLD_HEADLESS_HASHES=29,250",
                            "BRIMWOLD_HEADLESS_INPUT=120:move:400:532,122:click:400:532"});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(test::EngineSettings(game.path()).pacing.scriptSetting9, 2)
      << "MAIN started again and counted it";
  EXPECT_TRUE(r.hashes.contains(29)) << r.errors;
  EXPECT_FALSE(r.hashes.contains(250)) << "the game ended by the second title's quit button";
}

TEST_F(DemoRun, AMalformedAppRecordStartsWithDefaults) {
  // An empty record, and bytes after it that belong to no record.
  // A MAIN that waits once and ends: the title is laid out for the demo's own screen.
  sob::AssembleResult ending = sob::Assemble(".sob0\n wait\n ret\n");
  ASSERT_TRUE(ending.ok) << ending.error;
  Repack([&](auto& members) {
    Replace(members, "QZ_APP.SYS", {0x00, 0x00, 0xDE, 0xAD, 0xBE});
    Replace(members, "MAIN.SOB", ending.bytes);
  });
  test::PlayedRun r = Play({});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors.find(kAppRecordFailed), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(game.path() / "SAVEDATA" / "APP_CFG.DAT"));
}

// Each spoiling rewrites the game's SCRIPT.VFA; the run is refused with its message and a
// non-zero status, and the player's settings survive.
TEST_F(DemoRun, RefusesGamesItCannotStart) {
  sob::AssembleResult faulting = sob::Assemble(".sob0\n wait\n op 250\n");
  ASSERT_TRUE(faulting.ok) << faulting.error;
  struct Case {
    const char* what;
    std::function<void()> spoil;
    const char* message;
  };
  const Case cases[] = {
      {"no SCRIPT.VFA", [&] { fs::remove(game.path() / "SCRIPT.VFA"); }, kAppRecordFailed},
      {"no QZ_APP.SYS in the pack",
       [&] {
         Repack([](auto& m) { std::erase_if(m, [](auto& e) { return e.name == "QZ_APP.SYS"; }); });
       },
       kAppRecordFailed},
      {"a faulting MAIN", [&] { Repack([&](auto& m) { Replace(m, "MAIN.SOB", faulting.bytes); }); },
       kIllegalScript},
  };
  // The settings as they were, but for the window's place: a window that was shown is centred,
  // and its place is kept.
  const auto withoutPlace = [](std::string cfg) {
    constexpr size_t kWindowPlace = 2 + 72 + 2 + 2;  // the display block's left and top
    if (cfg.size() >= kWindowPlace + 8) cfg.replace(kWindowPlace, 8, 8, '\0');
    return cfg;
  };
  const std::string settings = withoutPlace(test::ReadFile(game.path() / "USER.CFG"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.spoil();
    test::PlayedRun r = Play({});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.errors.find(c.message), std::string::npos) << r.errors;
    EXPECT_EQ(withoutPlace(test::ReadFile(game.path() / "USER.CFG")), settings);
    if (c.message == kAppRecordFailed) {
      EXPECT_FALSE(fs::exists(game.path() / "SAVEDATA")) << "nothing saved by a refused start";
    }
  }
}

// The demo's sound scene, run headless with the mix of the virtual-clock run written to a WAVE
// file, judged by the loudness of its tones in windows of time from the first sound: THEME (440
// Hz) fades in, the chime (1760 Hz) sounds at two fixed frames, the music is halved under the
// voice (1200 Hz), SECOND (660 Hz) takes over in the cross-fade, and the fade-out ends in silence.

constexpr int kWaveNotWritten = 30;

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
    const double start = static_cast<double>(onset) / test::kWaveRate;
    return test::Tone(wave, hz, start + from, start + to);
  }

  std::string wave;
};

Mix ReadMix(const std::string& wave) {
  Mix mix;
  mix.wave = wave;
  EXPECT_GE(wave.size(), test::kWaveHeader);
  if (wave.size() < test::kWaveHeader) return mix;
  EXPECT_EQ(std::tuple(wave.substr(0, 4), Le(wave, 22, 2), Le(wave, 34, 2), Le(wave, 42, 4)),
            std::tuple("RIFF", 2u, 16u, wave.size() - test::kWaveHeader))
      << "16-bit stereo, the data size filled in";
  mix.rate = Le(wave, 24, 4);
  for (size_t at = test::kWaveHeader; at + 4 <= wave.size(); at += 4) {
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

// The game's voices are on in the player's settings it ships.
class DemoSound : public test::ShippedDemoTest {
 protected:
  void SetUp() override {
    ShippedDemoTest::SetUp();
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
