// Label: optimised
// The demo game as it ships, run whole by the program headless on copies of it: its start and
// end, its sound scene, and its story played through, saved and loaded.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/config/config_block.h"
#include "app/config/engine_config.h"
#include "app/config/user_config.h"
#include "app/dialogs/main_menu.h"
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
// counts alike; so does a copy kept under a folder name with spaces and Japanese characters.
TEST_F(DemoRun, EndsNormallySavesAndRunsTheSameTranslatedOrFromAnyFolder) {
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

  const fs::path folder = home.path() / "はるかぜ の 丘 (デモ)";
  test::CopyDemoGame(kGame, folder);
  const test::PlayedRun there = test::PlayHeadless(
      folder, home.path(), {"BRIMWOLD_HEADLESS_HASHES=2,50", test::kQuitFromTitle});
  EXPECT_EQ(there.status, 0) << there.errors;
  EXPECT_EQ(there.hashes, hashes);
  EXPECT_TRUE(fs::is_regular_file(folder / "SAVEDATA" / "APP_CFG.DAT"));
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

// The demo game played as a player would, headless on the virtual clock: the title's start
// button, then a click at a fixed pace through the story's first scene, a save, the system
// menu and the text history. Frames, the mix's tunes and voices and the read-text log are
// checked.

constexpr std::chrono::seconds kStoryRunLimit{240};

// The start button is clicked at frame 60; from frame 200 a click every 120 frames on the first
// choice's line (test::StoryClicks).
constexpr uint32_t kStoryFirstClick = 200;
constexpr uint32_t kPace = 120;
// The title; the hill coming in; Mina fading in; her smile cross-fading in; her walk to the
// left; Sora's line, waiting. Three clicks take the first scene there.
const std::vector<uint32_t> kShown = {40, 100, 220, 335, 460, 600};
constexpr uint32_t kToSorasLine = 450;
// Once Sora's line is out, Ctrl+F1 saves to slot 1. When the frames after the save have settled
// and the line waits (from kWaited), the right button opens the system menu, open at kMenu; a
// click outside closes it, closed by kClosed.
const std::string kSaveAndMenu =
    ",600:keydown:Left Ctrl,600:key:F1,601:keyup:Left Ctrl,994:move:400:300,"
    "995:down:right,996:up:right,1070:click:50:50";
constexpr uint32_t kWaited = 920, kMenu = 1010, kClosed = 1090;
// The wait mark keeps turning: a whole turn of it before the menu and one after are compared.
constexpr uint32_t kMarkTurn = 60;
// Then the bar's text-history button, shown by the pointer low on the screen, opens the text
// history: pressed and let go a few frames apart, as a hand does (the press must not also take
// the line away); a click on the first voiced line's box at kReplay plays Mina's voice again.
const std::string kHistory =
    ",1150:move:593:588,1175:down:left,1178:up:left,1198:move:400:90,1200:click:400:94";
constexpr uint32_t kReplay = 1200;

using Played = test::PlayedRun;

using Story = test::ShippedDemoTest;

// The title, then the first scene clicked through: each moment its own picture; after a quick
// save (its slot is the roads run's to check) the system menu drawn from the demo's pictures
// opens over the waiting line and leaves it as it was; the title's tune, silent once the story's
// own starts (the roads run hears that), and Mina's voice again from the history; the lines
// clicked away marked read.
TEST_F(Story, TheFirstSceneSavesAndItsMenuOpensAndCloses) {
  const fs::path wave = home.path() / "mix.wav";
  std::vector<uint32_t> shown = kShown;
  shown.push_back(kMenu);
  for (uint32_t f = 0; f < kMarkTurn; ++f) shown.insert(shown.end(), {kWaited + f, kClosed + f});
  const Played first =
      Play({test::HashesOf(shown), test::StoryClicks(kToSorasLine) + kSaveAndMenu + kHistory,
            "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(kReplay + 60),
            "BRIMWOLD_HEADLESS_WAVE=" + wave.string()},
           kStoryRunLimit);
  ASSERT_EQ(first.status, 0) << first.errors;
  ASSERT_EQ(first.hashes.size(), shown.size());
  for (size_t i = 1; i < kShown.size(); ++i) {
    EXPECT_NE(first.hashes.at(kShown[i]), first.hashes.at(kShown[i - 1])) << kShown[i];
  }
  const std::set<uint64_t> waited = first.ShownIn(kWaited, kWaited + kMarkTurn - 1);
  EXPECT_FALSE(waited.contains(first.hashes.at(kMenu))) << "the menu did not open";
  EXPECT_EQ(first.ShownIn(kClosed, kClosed + kMarkTurn - 1), waited) << "the menu left a trace";
  EXPECT_EQ(test::LogRecord(game.path(), "STORY"), ".record STORY 19 2 070000 00")
      << "the lines clicked away";

  const std::string mix = test::ReadFile(wave);
  ASSERT_GT(mix.size(), test::kWaveHeader + test::kWaveRate * 4 * 6) << "six seconds of the mix";
  EXPECT_GT(test::Tone(mix, 262, 0, 1), 300) << "the title tune's first note";
  EXPECT_LT(test::Tone(mix, 262, 2, 6), 100) << "the title tune goes on in the story";
  const double replay = kReplay / 60.0;
  EXPECT_LT(test::Loudest(mix, test::kMinasNotes, replay - 1, replay), 100) << "before the click";
  EXPECT_GT(test::Loudest(mix, test::kMinasNotes, replay, replay + 0.75), 500)
      << "the history's replay";
}

// The system menu's "タイトルへ", answered yes, ends the story where it stands and the title comes
// back as it first showed (the pointer moved off its buttons). The menu opens with the pointer on
// its sixth button; the eleventh lies five buttons lower. The title's start button then starts the
// story again as it did the first time: the story's message window, gone with its frame, no
// longer takes the pointer.
TEST_F(Story, TheMenuReturnsToTheTitleWhoseStartButtonStartsTheStoryAgain) {
  const std::string menu =
      ",994:move:400:300,995:down:right,996:up:right,1030:move:400:405,1032:move:400:410,"
      "1040:click:400:410,1100:move:790:10,1125:move:400:352,1130:click:400:352";
  const Played run = Play(
      {"BRIMWOLD_HEADLESS_HASHES=40,100,1000,1120,1170", test::StoryClicks(kToSorasLine) + menu,
       "BRIMWOLD_HEADLESS_ANSWERS=1", "BRIMWOLD_HEADLESS_FRAMES=1175"},
      kStoryRunLimit);
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.hashes.size(), 5u) << run.errors;
  EXPECT_NE(run.hashes.at(1000), run.hashes.at(40));
  EXPECT_EQ(run.hashes.at(1120), run.hashes.at(40)) << "the title did not come back";
  EXPECT_EQ(run.hashes.at(1170), run.hashes.at(100)) << "the story did not start again";
}

// The demo's story played from the title to its end twice in one game folder, headless on the
// virtual clock. The first play clicks through every line, takes the sea road and quick-saves in
// the second scene, then sees the closing movie. The second play first sets, on the settings sheet,
// a faster unread text speed and the skip key to pass read lines only, then holds the skip key: the
// read lines of the first play fly by, the forest road's lines stop it, and F1 loads the quick save
// back.

constexpr std::chrono::seconds kRoadsRunLimit{300};

// The first play: start at 60, then a click every 120 frames from 200, each finding its line
// typed out and waiting; Ctrl+F1 saves at 785 while the second scene's second line waits (its
// caption is gone before the choice list). The story is back at the title by kFirstEnd, after
// the movie (its frames come 25 a second).
constexpr uint32_t kFirstEnd = 2540, kSaved = 786, kSavedUntil = 799;
// Moments of every scene, each its own picture: the hill coming in, Mina's walk, the town's two
// characters coming in, the quake, the choice list (shown from 1040 until a later click takes
// it), the sea scrolling in, the rain over Mina coming
// in, the rule change back to the hill, the last line, the fade to black, the movie.
const std::vector<uint32_t> kMoments = {100,  470,  700,  830,  1130, 1230,
                                        1420, 1950, 2200, 2360, 2500};
constexpr uint32_t kTitle = 40, kChoiceList = 1130;
// Sora's "うん。また来よう。" (nine characters) comes at the click at 1760, at the default speed.
constexpr uint32_t kDefaultSpeedLine = 1760;

// The second play: the settings button at 60 (the sheet is answered: an unread character every
// 4 ms; the skip key passes read text only), start at 100, the pointer resting where the first
// play's did (on the list's first line, which it lights), Ctrl held from 110. The forest line
// "こっちの道、近道なんだ。" (twelve characters) comes at the click at 260; Ctrl is let go at 280,
// F1 at 290 loads the quick save (answered yes), shown from kLoaded; Ctrl again at 420 skips to
// the choice, the forest once more, and the end. (Ctrl is also the quick keys' modifier, so a
// hold starts skipping only after a moment without an F key.)
constexpr uint32_t kSecondEnd = 640, kFastLine = 260, kLoadKey = 290, kLoadedUntil = 419;
constexpr char kSheet[] = "BRIMWOLD_HEADLESS_ANSWERS=page:1;slider:1051:4;page:4;check:1070:1;1,1";

// Frames from a line's click until the picture holds still for four frames: the line is typed.
uint32_t TypedAfter(const test::PlayedRun& run, uint32_t from) {
  for (uint32_t f = from; run.hashes.contains(f + 3); ++f) {
    const uint64_t h = run.hashes.at(f);
    if (run.hashes.at(f + 1) == h && run.hashes.at(f + 2) == h && run.hashes.at(f + 3) == h)
      return f - from;
  }
  return UINT32_MAX;
}

using StoryRoads = test::ShippedDemoTest;

TEST_F(StoryRoads, BothRoadsPlayToTheEndWithSkipSpeedAndAQuickLoad) {
  const fs::path wave = home.path() / "mix.wav";

  // The first line of the choice list is the sea, the second the forest.
  std::string input =
      test::StoryClicks(kFirstEnd - 40) + ",785:keydown:Left Ctrl,785:key:F1,786:keyup:Left Ctrl";
  std::vector<std::pair<uint32_t, uint32_t>> seaFrames = {
      {kTitle, kTitle},
      {kSaved, kSavedUntil},
      {kDefaultSpeedLine, kDefaultSpeedLine + 40},
      {kFirstEnd, kFirstEnd}};
  for (uint32_t f : kMoments) seaFrames.push_back({f, f});
  const test::PlayedRun sea = Play({test::HashRanges(seaFrames), input,
                                    "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(kFirstEnd + 5),
                                    "BRIMWOLD_HEADLESS_WAVE=" + wave.string()},
                                   kRoadsRunLimit);
  ASSERT_EQ(sea.status, 0) << sea.errors;
  ASSERT_EQ(sea.hashes.size(), 3 + kSavedUntil - kSaved + 41 + kMoments.size()) << sea.errors;
  ASSERT_TRUE(fs::is_regular_file(game.path() / "SAVEDATA" / "DATA0105.SAV"));
  std::set<uint64_t> moments = {sea.hashes.at(kTitle)};
  for (uint32_t f : kMoments) EXPECT_TRUE(moments.insert(sea.hashes.at(f)).second) << f;
  EXPECT_EQ(sea.hashes.at(kFirstEnd), sea.hashes.at(kTitle)) << "the story ends at the title";

  // Each scene's tune in its time (a frame is a sixtieth of a second), none after the end.
  const std::string mix = test::ReadFile(wave);
  EXPECT_GT(test::Tone(mix, 196, 3, 9), 300) << "the morning tune";
  EXPECT_GT(test::Tone(mix, 175, 13, 19), 300) << "the dusk tune";
  EXPECT_GT(test::Tone(mix, 147, 21, 31), 300) << "the night tune";
  EXPECT_GT(test::Tone(mix, 196, 34, 38), 300) << "the morning tune again";
  EXPECT_LT(test::Tone(mix, 196, 39.5, 41), 30) << "the music faded out";
  EXPECT_GT(test::Tone(mix, 1568, 11.5, 13), 300) << "the harbour bell";
  // The voices with their lines; the narrator's lines are silent.
  EXPECT_LT(test::Loudest(mix, test::kMinasNotes, 1.5, 3.5), 100) << "the narrator's first line";
  EXPECT_GT(test::Loudest(mix, test::kMinasNotes, 4, 5), 500) << "Mina's first line";
  EXPECT_GT(test::Loudest(mix, test::kSorasNotes, 16, 17), 500) << "Sora in the town";
  EXPECT_GT(test::Tone(mix, 880, 42.5, 43.2), 1000) << "the movie's second second";

  input =
      "BRIMWOLD_HEADLESS_INPUT=55:move:400:472,60:click:400:472,95:move:400:352,"
      "100:click:400:352,102:move:400:268,110:keydown:Left Ctrl,280:keyup:Left Ctrl,290:key:F1,"
      "420:keydown:Left Ctrl";
  for (uint32_t f : {200u, 260u}) input += test::ClickOnLine(f, 318);
  for (uint32_t f = 440; f < kSecondEnd - 40; f += 60) input += test::ClickOnLine(f, 318);
  const test::PlayedRun forest =
      Play({test::HashRanges({{100, kLoadedUntil}, {kSecondEnd, kSecondEnd}}), input, kSheet,
            "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(kSecondEnd + 5)},
           kRoadsRunLimit);
  ASSERT_EQ(forest.status, 0) << forest.errors;
  ASSERT_EQ(forest.hashes.size(), kLoadedUntil - 100 + 2) << forest.errors;

  // The skip passes the read lines: the choice list the first play reached at kChoiceList is
  // there within a hundred frames of the start; the forest's unread lines wait for their clicks.
  auto first_shown = [&](uint64_t hash, uint32_t from) {
    for (auto [f, shown] : forest.hashes) {
      if (f >= from && shown == hash) return f;
    }
    return UINT32_MAX;
  };
  EXPECT_LT(first_shown(sea.hashes.at(kChoiceList), 100), 200u) << "the read lines were typed";
  EXPECT_LE(forest.ShownIn(kFastLine - 20, kFastLine - 1).size(), 4u)
      << "the forest's first line did not wait (its mark turns)";
  // The faster speed: twelve characters typed in fewer frames than nine at the default speed.
  const uint32_t slow = TypedAfter(sea, kDefaultSpeedLine), fast = TypedAfter(forest, kFastLine);
  EXPECT_GE(slow, 15u);
  EXPECT_LE(fast, 8u);

  // F1 brings back the picture saved in the second scene.
  const std::set<uint64_t> saved = sea.ShownIn(kSaved, kSavedUntil);
  EXPECT_FALSE(test::Meet(forest.ShownIn(kFastLine, kLoadKey - 1), saved));
  EXPECT_TRUE(test::Meet(forest.ShownIn(kLoadKey, kLoadedUntil), saved))
      << "the loaded scene differs from the saved one";
  EXPECT_EQ(forest.hashes.at(kSecondEnd), sea.hashes.at(kTitle)) << "back at the title";
}

// The demo's story played headless with its effects switched off (so that a waiting line's frames
// repeat), clicked through at one place where the pointer rests, choice included. In each of its
// four scenes a waiting line is quick-saved and loaded back at once: the loaded frame is one the
// line showed before the save, its text and the bar as they were.

constexpr std::chrono::seconds kLoadsRunLimit{300};

// The story's pace (kStoryFirstClick, kPace): each click brings the next line, which waits typed
// out by the next one. The eighth click takes the first choice (the sea) where the pointer rests
// since the clicks before.
constexpr uint32_t kClicks = 17;
// After the clicks that bring Mina's first line, the town's bell line, the sea's first line and
// the last scene's first line, how long until the line waits for its save; a save and its load
// then take kSaveAndLoad frames more before the next click.
struct Stop {
  uint32_t click, waited;
};
constexpr Stop kStops[] = {{0, 200}, {4, 200}, {8, 260}, {13, 200}};
constexpr uint32_t kSaveAndLoad = 150;
// The wait mark turns through its pictures in 66 frames, under kTurn: a turn before the save and
// one after the load (once its rebuild and fade are over) are compared.
constexpr uint32_t kTurn = 70, kLoadSettled = 70;
// The line after the loaded one waits typed out this long after its click, the next click then.
constexpr uint32_t kNextWaits = 230;

struct Window {
  uint32_t from, to;
};

// The run's input: the clicks at their pace, each stop waiting longer for its save and load
// (which only withSaves plays); the frames compared are listed per stop.
struct Schedule {
  std::string input = "BRIMWOLD_HEADLESS_INPUT=55:move:400:352,60:click:400:352";
  std::string answers = "BRIMWOLD_HEADLESS_ANSWERS=";
  // Per stop: a turn before the save, one after the load, and one of the line after it.
  std::vector<std::array<Window, 3>> windows;
  uint32_t end = 0;
};

Schedule Plan(bool withSaves) {
  Schedule s;
  uint32_t at = kStoryFirstClick;
  bool afterLoad = false;
  for (uint32_t click = 0; click < kClicks; ++click) {
    s.input += "," + std::to_string(at) + ":click:400:268";
    // The line after a loaded one waits long enough for a whole turn of its mark.
    uint32_t next = at + (afterLoad ? kNextWaits : kPace);
    afterLoad = false;
    for (const Stop& stop : kStops) {
      if (stop.click != click) continue;
      const uint32_t save = at + stop.waited;
      if (withSaves) {
        s.input += "," + std::to_string(save) + ":keydown:Left Ctrl," + std::to_string(save) +
                   ":key:F1," + std::to_string(save + 1) + ":keyup:Left Ctrl," +
                   std::to_string(save + 10) + ":key:F1";
        s.answers += "1,";
      }
      next = save + kSaveAndLoad;
      afterLoad = true;
      s.windows.push_back({Window{save - kTurn, save - 1},
                           Window{save + kLoadSettled, save + kLoadSettled + kTurn - 1},
                           Window{next + kNextWaits - kTurn, next + kNextWaits - 1}});
    }
    at = next;
  }
  if (s.answers.back() == ',') s.answers.pop_back();
  s.end = at;
  return s;
}

test::PlayedRun PlaySchedule(const fs::path& game, const fs::path& home, const Schedule& s) {
  std::string hashes = "BRIMWOLD_HEADLESS_HASHES=";
  for (const auto& windows : s.windows) {
    for (const Window& w : windows) hashes += test::FrameRange(w.from, w.to) + ",";
  }
  hashes.pop_back();
  std::vector<std::string> switches = {s.input, hashes,
                                       "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(s.end)};
  if (!s.answers.ends_with('=')) switches.push_back(s.answers);
  return test::PlayHeadless(game, home, switches, kLoadsRunLimit);
}

using StoryLoads = test::ShippedDemoTest;

TEST_F(StoryLoads, EachSceneLoadsBackTheFrameItSavedAndTheRestingPointerTakesTheChoice) {
  test::ChangePlayerSettings(game.path(), [](UserConfig& user) { user.showEffects = 0; });

  // The same clicks without the saves first: the lines as they come without a load.
  const Schedule plain = Plan(false), saving = Plan(true);
  const test::PlayedRun unloaded = PlaySchedule(game.path(), home.path(), plain);
  ASSERT_EQ(unloaded.status, 0) << unloaded.errors;
  fs::remove(game.path() / "SAVEDATA" / "TEXT_LOG.DAT");
  const test::PlayedRun run = PlaySchedule(game.path(), home.path(), saving);
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.hashes.size(), saving.windows.size() * 3 * kTurn) << run.errors;

  for (size_t i = 0; i < saving.windows.size(); ++i) {
    const auto& [before, after, next] = saving.windows[i];
    EXPECT_EQ(run.ShownIn(after.from, after.to), run.ShownIn(before.from, before.to))
        << "scene " << i + 1 << ": the loaded line differs from the saved one";
    EXPECT_EQ(run.ShownIn(next.from, next.to), unloaded.ShownIn(next.from, next.to))
        << "scene " << i + 1 << ": the line after the load differs from the one without it";
  }

  // The choice was taken: the sea's lines were read, the forest's not.
  const std::string record = test::LogRecord(game.path(), "STORY");
  std::istringstream fields(record);
  std::string dot, name, bits, second, read, taken;
  fields >> dot >> name >> bits >> second >> read >> taken;
  ASSERT_GE(read.size(), 4u) << record;
  // Messages 8-15 are the second byte: 8 asks, 9-11 the sea, 12-13 the forest, 14-15 where the
  // roads meet.
  EXPECT_EQ(read.substr(2, 2), "CF") << record;
  EXPECT_EQ(taken.substr(0, 2), "01") << "the first choice, the sea: " << record;
}

// Saving and loading in the demo as a player does, headless on the virtual clock: a save made with
// the menu bar's "セーブ" during the story comes back in a later run from the title's "つづきから"
// and from the menu bar's "ロード" during the story; a quick save that fails says so.

std::string Command(uint32_t frame, int id) {
  return "BRIMWOLD_HEADLESS_COMMANDS=" + std::to_string(frame) + ":" + std::to_string(id);
}

// The story starts at 60 ("はじめから"); each click finds its line typed out and waiting. The
// save is made at 905, while the second scene's third line waits; its picture (the wait mark
// turning) is held from 910 on.
constexpr uint32_t kMenuSave = 905, kMenuSavedFrom = 910, kMenuSavedUntil = 960;
// The load dialog's first row of "Page.1", where the save went.
constexpr char kLoadFirstRow[] = "row:0;activate;2";

using DemoSaves = test::ShippedDemoTest;

TEST_F(DemoSaves, TheTitleAndTheMenuBarBringBackTheSavedLine) {
  const test::PlayedRun saving =
      Play({test::StoryClicks(kMenuSave), Command(kMenuSave, kCmdSave),
            "BRIMWOLD_HEADLESS_ANSWERS=row:0;check:1073:0;press:1204;2",
            test::HashRanges({{kMenuSavedFrom, kMenuSavedUntil}}), "BRIMWOLD_HEADLESS_FRAMES=970"});
  ASSERT_EQ(saving.status, 0) << saving.errors;
  ASSERT_TRUE(fs::is_regular_file(game.path() / "SAVEDATA" / "DATA0200.SAV")) << saving.errors;
  const std::set<uint64_t> saved = saving.ShownIn(0);

  // "つづきから" at 60 is cancelled: the title stays. Again at 100, the first row is loaded.
  const test::PlayedRun title =
      Play({"BRIMWOLD_HEADLESS_INPUT=55:move:400:412,60:click:400:412,100:click:400:412",
            "BRIMWOLD_HEADLESS_ANSWERS=2," + std::string(kLoadFirstRow),
            test::HashRanges({{40, 250}}), "BRIMWOLD_HEADLESS_FRAMES=260"});
  ASSERT_EQ(title.status, 0) << title.errors;
  EXPECT_EQ(title.hashes.at(90), title.hashes.at(58)) << "a cancelled dialog leaves the title";
  EXPECT_FALSE(test::Meet(title.ShownIn(40, 100), saved))
      << "nothing loaded before the second click";
  EXPECT_TRUE(test::Meet(title.ShownIn(101), saved)) << "the title's load shows the saved line";

  // During the story's first scene, the menu bar's load at 300.
  const test::PlayedRun story =
      Play({"BRIMWOLD_HEADLESS_INPUT=55:move:400:352,60:click:400:352", Command(300, kCmdLoad),
            std::string("BRIMWOLD_HEADLESS_ANSWERS=") + kLoadFirstRow,
            test::HashRanges({{280, 450}}), "BRIMWOLD_HEADLESS_FRAMES=460"});
  ASSERT_EQ(story.status, 0) << story.errors;
  EXPECT_FALSE(test::Meet(story.ShownIn(280, 300), saved));
  EXPECT_TRUE(test::Meet(story.ShownIn(301), saved)) << "the menu bar's load shows the saved line";
}

// Ctrl+F1 where the quick save's file cannot be written (a folder took its place): the player
// is told, with the reason, and the game goes on.
TEST_F(DemoSaves, AQuickSaveThatCannotBeWrittenSaysSo) {
  fs::create_directories(game.path() / "SAVEDATA" / "DATA0105.SAV" / "inside");
  const test::PlayedRun run =
      Play({test::StoryClicks(kMenuSave) + ",905:keydown:Left Ctrl,905:key:F1,906:keyup:Left Ctrl",
            "BRIMWOLD_HEADLESS_FRAMES=940"});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_NE(run.errors.find("セーブデータの作成に失敗しました。ErrNo:5"), std::string::npos)
      << run.errors;
  EXPECT_NE(run.errors.find("DATA0105.SAV was not written: Is a directory"), std::string::npos)
      << "the system's reason: " << run.errors;
}

}  // namespace
}  // namespace bw
