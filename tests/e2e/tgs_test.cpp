// Label: optimised
// The scenario frame run by the program headless on copies of the demo game.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/config/engine_config.h"
#include "app/config/user_config.h"
#include "e2e/demo_scene.h"
#include "support/demo_copy.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// The demo's scenario frame scene run by the program headless, beside a MAIN that calls it, with
// scripted clicks and keys: the frames of its messages and choice list, the branch the choice
// takes, the read-text log it leaves, the skip key on unread text, a close during a wait, and the
// scene changes that end the scenario.

// Frames of the scripted run: the first message is out by 60 and clicked away at 70, the second
// is out by 150 and clicked away at 160, the choice list stands by 230, the pointer picks a line
// at 240 and clicks it at 242, the branch's message is out by 300 and its click at 400 ends the
// scenario and the game.
constexpr uint32_t kFirst = 60, kSecond = 150, kChoices = 230, kBranch = 300;
const std::string kClicks = "70:click:400:300,160:click:400:300";
// The choice lines stand in the middle of the screen, one above the other.
const std::string kRightRoad = "240:move:400:275,242:click:400:275";
const std::string kLeftRoad = "240:move:400:325,242:click:400:325";
const std::string kEndClick = "400:click:400:300";
// The scene changes start after the last message; runs that look only at the messages close the
// window before them.
const std::string kBeforeScene = "BRIMWOLD_HEADLESS_FRAMES=410";

using Played = test::PlayedRun;

class TgsDemo : public test::DemoGameTest {
 protected:
  void SetUp() override { test::PutDemoScene(game, "TGS", test::SceneCallingMain("TGS")); }
};

// The two roads share every frame up to the choice and then differ; each marks its own messages
// and its choice in the log written at the exit (the window closed while the scenario runs). The
// trace lists the built-ins run.
TEST_F(TgsDemo, ClicksPlayTheScenarioAndEachRoadShowsItsOwnMessage) {
  const Played right =
      Play({test::HashesOf({kFirst, kSecond, kChoices, kBranch}), kBeforeScene,
            "BRIMWOLD_HEADLESS_INPUT=" + kClicks + "," + kRightRoad + "," + kEndClick,
            "BRIMWOLD_TGS_TRACE=1"});
  EXPECT_EQ(right.status, 0) << right.errors;
  EXPECT_NE(right.errors.find("tgs TGS_DEMO +0 built-in 12 (1,0)"), std::string::npos)
      << "the trace lists the built-ins run: " << right.errors;
  EXPECT_NE(right.errors.find("built-in 25"), std::string::npos) << "the speaker and voice";
  ASSERT_EQ(right.hashes.size(), 4u) << "the game ended before the branch";
  EXPECT_NE(right.hashes.at(kFirst), right.hashes.at(kSecond));
  EXPECT_NE(right.hashes.at(kSecond), right.hashes.at(kChoices));
  EXPECT_EQ(test::LogRecord(game.path(), "TGS_DEMO"), ".record TGS_DEMO 5 2 0F 01")
      << "messages 0-3 read, the first road";

  fs::remove(game.path() / "SAVEDATA" / "TEXT_LOG.DAT");
  const Played left =
      Play({test::HashesOf({kFirst, kSecond, kChoices, kBranch}), kBeforeScene,
            "BRIMWOLD_HEADLESS_INPUT=" + kClicks + "," + kLeftRoad + "," + kEndClick});
  EXPECT_EQ(left.status, 0) << left.errors;
  ASSERT_EQ(left.hashes.size(), 4u);
  for (uint32_t frame : {kFirst, kSecond, kChoices})
    EXPECT_EQ(left.hashes.at(frame), right.hashes.at(frame)) << "frame " << frame;
  EXPECT_NE(left.hashes.at(kBranch), right.hashes.at(kBranch)) << "the roads show the same";
  EXPECT_EQ(test::LogRecord(game.path(), "TGS_DEMO"), ".record TGS_DEMO 5 2 17 02")
      << "messages 0-2 and 4, the second road";
}

// A stop signal while the third message waits (the first two clicked away) closes the game as its
// close button does, and the log marks the three messages shown as read.
TEST_F(TgsDemo, AStopSignalWritesTheMessagesReadSoFar) {
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGINT");
    fs::remove(game.path() / "SAVEDATA" / "TEXT_LOG.DAT");
    const Played run = SignalledAt(
        {"BRIMWOLD_HEADLESS_HASHES=200", "BRIMWOLD_HEADLESS_INPUT=" + kClicks}, 200, signal);
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(test::LogRecord(game.path(), "TGS_DEMO"), ".record TGS_DEMO 5 2 07 00");
  }
}

// After the last message the scene changes: a background through "cross", a standing figure faded
// in and moved, a grey tone, rule 1, the numbered mode 12 and a quake. Two runs show the same
// frames at every moment, the moments differ from one another, and with the show-effects switch
// off (the figure's move at once, no quake) the run ends on the same picture.
TEST_F(TgsDemo, SceneChangesShowTheSameFramesOnEveryRun) {
  const std::string every = test::HashRanges({{400, 999}});
  const std::string input =
      "BRIMWOLD_HEADLESS_INPUT=" + kClicks + "," + kRightRoad + "," + kEndClick;
  const fs::path log = game.path() / "SAVEDATA" / "TEXT_LOG.DAT";
  // Read text would type at once: every run starts on unread text.
  const Played first = Play({every, input});
  ASSERT_EQ(first.status, 0) << first.errors;
  fs::remove(log);
  const Played second = Play({every, input});
  ASSERT_EQ(second.status, 0) << second.errors;
  ASSERT_FALSE(first.hashes.empty());
  const uint32_t last = first.hashes.rbegin()->first;
  ASSERT_GT(last, 560u) << "the scene changes ended early";
  std::set<uint64_t> seen;
  for (uint32_t frame : {420u, 450u, 475u, 500u, 520u, 540u, 560u, last}) {
    ASSERT_TRUE(first.hashes.count(frame)) << frame;
    EXPECT_TRUE(seen.insert(first.hashes.at(frame)).second) << "frame " << frame << " repeats";
  }
  EXPECT_EQ(first.hashes, second.hashes) << "the runs showed other frames";

  ASSERT_TRUE(fs::is_regular_file(game.path() / "SAVEDATA" / "APP_CFG.DAT"));
  test::ChangePlayerSettings(game.path(), [](UserConfig& user) { user.showEffects = 0; });
  fs::remove(log);
  const Played plain = Play({every, input});
  ASSERT_EQ(plain.status, 0) << plain.errors;
  ASSERT_FALSE(plain.hashes.empty());
  EXPECT_LT(plain.hashes.rbegin()->first, last) << "the effects still took their time";
  EXPECT_EQ(plain.hashes.rbegin()->second, first.hashes.at(last)) << "another final picture";
}

// The system menu in the program, headless: its save button opens the save dialog inside the
// scenario, and its load button the load dialog, which brings the save back.

// Saving and loading allowed before the scene is called.
constexpr const char* kAllowSaving =
    " native native:4, saveAllowed, status\n native native:4, loadAllowed, status\n jmp go\n"
    "saveAllowed: .word 8, 1\nloadAllowed: .word 9, 1\ngo:\n";

// The right button at opened with the pointer at (400, 300), which rests on the menu's start row
// (5, save); 39 frames later the pointer goes to row and clicks it (a button takes a pointer
// that moved onto it).
std::string MenuButton(int opened, int row) {
  const std::string y = std::to_string(300 + 22 * (row - 5));
  auto at = [&](int after) { return std::to_string(opened + after); };
  return at(-1) + ":move:400:300," + at(0) + ":down:right," + at(1) + ":up:right," + at(36) +
         ":move:400:" + y + "," + at(37) + ":move:401:" + y + "," + at(39) + ":click:401:" + y;
}

using TgsMenu = test::DemoGameTest;

TEST_F(TgsMenu, TheSaveButtonSavesAndTheLoadButtonBringsTheSaveBack) {
  test::PutDemoScene(game, "TGS", test::SceneCallingMain("TGS", kAllowSaving));
  test::PutTob(
      game, "SCRIPT/TGS_DEMO.TOB",
      ".tob1\n  BgLoad \"CG\\\\BG.WGX\", 0\n  MessageBegin 0\n  \"Saved here.\"\n  MessageWait\n"
      "  MessageBegin 0\n  \"Later on.\"\n  MessageWait\n  .end\n");
  // The save button at 140 takes the save dialog's first row; the click at 260 shows the second
  // message; the load button at 340 takes the load dialog's first row. The saved message waits
  // again, its mark turning through its cells in 48 frames; two clicks end the scenario.
  const test::PlayedRun run =
      Play({"BRIMWOLD_HEADLESS_FRAMES=760",
            "BRIMWOLD_HEADLESS_INPUT=" + MenuButton(101, 5) + ",260:click:400:300," +
                MenuButton(301, 6) + ",600:click:400:300,660:click:400:300",
            "BRIMWOLD_HEADLESS_ANSWERS=row:0;check:1073:0;press:1204;2,row:0;activate;2",
            test::HashRanges({{205, 259}, {500, 559}, {290, 290}})});
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_TRUE(std::filesystem::exists(game.path() / "SAVEDATA" / "DATA0200.SAV")) << run.errors;
  const std::set<uint64_t> saved = run.ShownIn(0, 259);
  ASSERT_TRUE(run.hashes.contains(290));
  EXPECT_FALSE(saved.contains(run.hashes.at(290))) << "the second message shows";
  EXPECT_EQ(run.ShownIn(500), saved) << "the load dialog's save came back";
}

// The scenario frame's text history window, run by the program headless on a scenario of its own:
// a background, a standing picture and two voiced lines. The history key opens the overlay over
// the second line, a click on the first line's voice box replays its voice and shows its scene
// behind the list, and the wheel at the bottom closes it again.

// Frames (16 ms): the first line is clicked away at 70; its voice (2.5 s) is long over when the
// history key opens the window at 300; 330 shows it, the click at 340 on the first line's box
// replays the voice and shows that line's scene by 360; the wheel at 400 closes the window, so
// 430 shows the line again, and 450 ends it and the game.
const std::string kHistoryInput =
    "70:click:400:300,300:key:Insert,340:move:400:12,341:click:400:12,400:wheel:-1,"
    "450:click:400:300";
// The same pointer, without the history.
const std::string kInputWithoutHistory = "70:click:400:300,340:move:400:12,450:click:400:300";

constexpr const char* kHistoryScenario =
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
    test::PutTob(game, "SCRIPT/TGS_DEMO.TOB", kHistoryScenario);
    test::PutTob(game, "SCRIPT/TGS_INIT.DAT", ".init\n.script TGS_DEMO 2 0\n");
    // Voices on, so the lines and the replay sound.
    test::ChangePlayerSettings(game.path(), [](UserConfig& user) { user.voiceOn = 1; });
  }

  // The hashes of the frames before, open, scene and closed; the mix goes to wave.
  std::vector<uint64_t> Play(const std::string& input) {
    const test::PlayedRun run =
        Play({"BRIMWOLD_HEADLESS_HASHES=290,330,360,430", "BRIMWOLD_HEADLESS_INPUT=" + input,
              "BRIMWOLD_HEADLESS_WAVE=" + wave.string()});
    EXPECT_EQ(run.status, 0) << run.errors;
    return run.Shown();
  }

  const fs::path wave = home.path() / "mix.wav";
};

TEST_F(TgsHistory, TheKeyOpensItABoxReplaysItsVoiceAndSceneAndTheWheelClosesIt) {
  const std::vector<uint64_t> first = Play(kHistoryInput);
  ASSERT_EQ(first.size(), 4u) << "the game ended early";
  EXPECT_NE(first[1], first[0]) << "no overlay";
  EXPECT_NE(first[2], first[1]) << "no scene behind the list";
  EXPECT_TRUE(VoiceReturnsAfterSilence(test::ReadFile(wave))) << "the voice was not replayed";

  // One character of the first line changed: only the list, where that line shows, differs.
  std::string changed = kHistoryScenario;
  changed.replace(changed.find("声の聞"), std::string("声").size(), "音");
  test::PutTob(game, "SCRIPT/TGS_DEMO.TOB", changed);
  const std::vector<uint64_t> other = Play(kHistoryInput);
  ASSERT_EQ(other.size(), 4u);
  EXPECT_EQ(other[0], first[0]);
  EXPECT_NE(other[1], first[1]) << "the list does not show its text";
  test::PutTob(game, "SCRIPT/TGS_DEMO.TOB", kHistoryScenario);

  const std::vector<uint64_t> plain = Play(kInputWithoutHistory);
  ASSERT_EQ(plain.size(), 4u);
  EXPECT_EQ(plain[0], first[0]);
  EXPECT_EQ(plain[3], first[3]) << "the screen was not restored";
  EXPECT_FALSE(VoiceReturnsAfterSilence(test::ReadFile(wave))) << "a voice came unasked";
}

// A scenario with a background picture, a looping sound effect and music, saved to a quick slot
// by Ctrl+F1 while its message waits; a second run loads that slot before it resumes the
// scenario: the frame shows what the first showed before the save, and the loop sounds again.
// Inside one run, F1 later loads the slot back: the saved scene comes back after its fade.

// The message is typed out by frame 70; Ctrl+F1 at 80 saves. A loaded scene fades in over 500 ms,
// drawn every millisecond.
constexpr uint32_t kSaveShown = 70, kLast = 118, kFadedIn = 560;

constexpr char kSaveScenario[] = R"(.tob1
  BgLoad "CG\\BG.WGX", 0
  SePlay "SE\\CHIME.OGG", 0, 0, 1
  BgmPlay 1, 0, 1
  MessageBegin 0
  "Saved here."
  MessageWait
  .end
)";

// MAIN on an 800 x 600 composed canvas of its own: before, the frame, the scenarios named, then
// after; data is more of its words.
std::string FrameMain(const std::vector<std::string>& scenarios, const std::string& after = "",
                      const std::string& before = "", const std::string& data = "") {
  std::string code = ".sob0\n" + before +
                     "  native native:238, canvasArgs, screen\n"
                     "  native native:242, screen, status\n"
                     "  native native:791, screen, status\n";
  std::string names;
  for (size_t i = 0; i < scenarios.size(); ++i) {
    const std::string n = std::to_string(i);
    code += "  native native:793, name" + n + ", status\n";
    names +=
        "name" + n + ": .word text" + n + "\ntext" + n + ": .string \"" + scenarios[i] + "\"\n";
  }
  return code + after +
         "  native native:792, screen, status\n"
         "  ret\n"
         "canvasArgs: .word 800, 600, 32, 1\n"
         "screen: .word 0\n"
         "status: .word 0\n"
         "none: .word 0\n" +
         names + data;
}

// MAIN with the sound device at 22050 Hz and twelve channels: the scenario played, or (loading)
// the newest quick save loaded and the scenario resumed.
std::string SavingMain(bool load) {
  const std::string sound =
      "  native native:596, format, status\n  native native:668, channels, status\n";
  const std::string data =
      "format: .word 1, 2, 22, 16\nchannels: .word 12\nloadArgs: .word 1, -1\n";
  if (!load) return FrameMain({"TGS_SAVE"}, "", sound, data);
  return FrameMain({}, "  native native:44, loadArgs, status\n  native native:793, none, status\n",
                   sound, data);
}

class TgsSave : public test::DemoGameTest {
 protected:
  void SetUp() override {
    test::PutDemoScene(game, "TGS", SavingMain(false));
    test::PutTob(game, "SCRIPT/TGS_SAVE.TOB", kSaveScenario);
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
           test::FrameRange(kSaveShown, kLast));
  ASSERT_FALSE(saving.empty());
  ASSERT_TRUE(fs::exists(game.path() / "SAVEDATA" / "DATA0105.SAV"));

  test::PutAssembled(game, "SCRIPT/MAIN.SOB", SavingMain(true));
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

// The save scenario with a second message after the saved one.
std::string TwoMessages() {
  return std::string(kSaveScenario)
      .insert(std::string(kSaveScenario).find("  .end"),
              "  MessageBegin 0\n  \"Later on.\"\n  MessageWait\n");
}

TEST_F(TgsSave, F1LoadsTheQuickSaveInsideTheRunAndCtrlF1DoesNotSkip) {
  test::PutTob(game, "SCRIPT/TGS_SAVE.TOB", TwoMessages());
  // Ctrl goes down at 74 and F1, pressed from 80 to 83, saves; Ctrl stays held past the skip's
  // grace, until 130 (a skip would end the first message and the click at 100 the scenario); the
  // click at 100 shows the second message; F1 at 150 asks, is answered yes, and loads.
  const std::vector<uint64_t> run =
      Play({"BRIMWOLD_HEADLESS_INPUT=74:keydown:Left Ctrl,80:keydown:F1,83:keyup:F1,"
            "100:click:400:300,130:keyup:Left Ctrl,150:key:F1",
            "BRIMWOLD_HEADLESS_ANSWERS=1"},
           kFadedIn + 200,
           test::FrameRange(kSaveShown, 79) + "," + test::FrameRange(140, 149) + "," +
               test::FrameRange(kFadedIn + 150, kFadedIn + 198));
  ASSERT_EQ(run.size(), 69u);
  const std::set<uint64_t> saved(run.begin(), run.begin() + 10);
  EXPECT_FALSE(saved.contains(run[10])) << "the second message shows before the load";
  EXPECT_TRUE(test::Meet({run.begin() + 20, run.end()}, saved))
      << "the loaded scene differs from the saved one";
}

// Without the question F1 loads at once under its caption, which stands 850 ms a step, or 100 ms
// while frames are skipped. The loaded scene is faded in by 200: from then on only the caption
// tells a frame from those long after it, where the wait mark turns through its cells.
TEST_F(TgsSave, TheQuickLoadCaptionIsShortWhileFramesAreSkipped) {
  test::PutTob(game, "SCRIPT/TGS_SAVE.TOB", TwoMessages());
  test::ChangePlayerSettings(game.path(), [](UserConfig& user) { user.confirmQuickLoad = 0; });
  for (const bool skipping : {false, true}) {
    test::ChangeEngineSettings(game.path(), [&](EngineConfig& config) {
      config.pacing.frameSkipCounting = skipping ? 1 : 0;
    });
    const test::PlayedRun run = DemoGameTest::Play(
        {"BRIMWOLD_HEADLESS_FRAMES=562",
         "BRIMWOLD_HEADLESS_INPUT=74:keydown:Left Ctrl,80:keydown:F1,83:keyup:F1,"
         "90:keyup:Left Ctrl,100:click:400:300,150:key:F1",
         test::HashRanges({{200, 260}, {460, 560}})});
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.hashes.size(), 162u) << run.errors;
    const std::set<uint64_t> later = run.ShownIn(460);
    int captioned = 0;
    for (uint32_t frame = 200; frame <= 260; ++frame)
      captioned += !later.contains(run.hashes.at(frame));
    EXPECT_EQ(captioned, skipping ? 0 : 61) << (skipping ? "skipping" : "not skipping");
  }
}

// The fast-forward key the player chose also makes F1 save: with Shift chosen, Shift+F1 saves and
// Ctrl+F1 loads.
TEST_F(TgsSave, TheFastForwardKeyIsTheQuickSavesModifier) {
  struct Case {
    uint8_t fastForwardKey;
    const char* held;
    bool saves;
  };
  const Case cases[] = {{kFastForwardShift, "Left Shift", true},
                        {kFastForwardShift, "Left Ctrl", false},
                        {kFastForwardCtrl, "Left Shift", false}};
  const fs::path saved = game.path() / "SAVEDATA" / "DATA0105.SAV";
  for (const Case& c : cases) {
    fs::remove(saved);
    test::ChangePlayerSettings(game.path(),
                               [&](UserConfig& user) { user.fastForwardKey = c.fastForwardKey; });
    const std::string held = c.held;
    Play({"BRIMWOLD_HEADLESS_INPUT=80:keydown:" + held + ",80:key:F1,81:keyup:" + held}, 100, "99");
    EXPECT_EQ(fs::exists(saved), c.saves) << held << " with key " << int(c.fastForwardKey);
  }
}

// A quick save taken after a choice, loaded by a second run: the message shows as it did before
// the save, and the history window marks the line that was picked. The list stands by 100 and a
// line is picked at 102; the next message is out by 170 and saved at 180. The loaded run shows
// the message after the fade in and opens the history at 600.
constexpr char kChoiceScenario[] = R"(.tob1
  BgLoad "CG\\BG.WGX", 0
  MessageBegin 0
  "Which road?"
  ChoiceShow -, "The right road", "The left road", -, -, -, -, -, -, 0
  ChoiceWait
  MessageBegin 1
  "Saved after the choice."
  MessageWait
  .end
)";

TEST_F(TgsSave, ALoadAfterAChoiceShowsTheMessageAndTheChosenLineInTheHistory) {
  test::PutTob(game, "SCRIPT/TGS_SAVE.TOB", kChoiceScenario);
  // Each road's history, as a loaded game shows it.
  std::set<uint64_t> histories[2];
  for (const int road : {0, 1}) {
    const std::string at = road ? "400:325" : "400:275";
    test::PutAssembled(game, "SCRIPT/MAIN.SOB", SavingMain(false));
    const std::vector<uint64_t> saving =
        Play({"BRIMWOLD_HEADLESS_INPUT=100:move:" + at + ",102:click:" + at +
              ",180:keydown:Left Ctrl,180:key:F1,181:keyup:Left Ctrl"},
             190, test::FrameRange(170, 179));
    test::PutAssembled(game, "SCRIPT/MAIN.SOB", SavingMain(true));
    const std::vector<uint64_t> loaded =
        Play({"BRIMWOLD_HEADLESS_INPUT=600:key:Insert"}, 700,
             test::FrameRange(kFadedIn, 599) + "," + test::FrameRange(640, 689));
    ASSERT_EQ(loaded.size(), 90u);
    const std::set<uint64_t> message(loaded.begin(), loaded.begin() + 40);
    histories[road] = {loaded.begin() + 40, loaded.end()};
    EXPECT_TRUE(test::Meet(message, {saving.begin(), saving.end()}))
        << "the loaded message differs from the saved one on road " << road;
    EXPECT_FALSE(test::Meet(message, histories[road]))
        << "the history did not open on road " << road;
  }
  EXPECT_FALSE(test::Meet(histories[0], histories[1]))
      << "the loaded history does not show which line was picked";
}

// The scenario frame's end as the program runs it headless: a scenario that leaves snow, a quake,
// a picture and a background behind when it ends leaves nothing of them to the next scenario's
// frames; and the read flags that native 35 saves outlive a kill of the program.

// Snow in a screen slot, a quake on the shown page, a background and a picture; the scenario
// ends while they all run.
constexpr char kBusy[] = R"(.tob1
  BgLoad "CG\\BG.WGX", 0
  SpriteLoad 0, "CG\\SPRITE.WGX", 0, 0
  ScreenEffect 0, 2, 160, 1, -, 1, 1
  Quake 12, 8, 60000, 0, 0, 0
  WaitTime 300
  .end
)";
constexpr char kNext[] = ".tob1\n  MessageBegin 0\n  \"Next.\"\n  MessageWait\n  .end\n";

class TgsFrameEnd : public test::DemoGameTest {
 protected:
  void SetUp() override {
    test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
    test::PutTob(game, "SCRIPT/TGS_BUSY.TOB", kBusy);
    test::PutTob(game, "SCRIPT/TGS_NEXT.TOB", kNext);
    test::PutTob(game, "SCRIPT/TGS_READ.TOB",
                 ".tob1\n  MessageBegin 0\n  \"Read.\"\n  MessageWait\n  .end\n");
    test::PutTob(game, "SCRIPT/TGS_INIT.DAT",
                 ".init\n.script TGS_BUSY 0 0\n.script TGS_NEXT 1 0\n.script TGS_READ 1 0\n");
    test::PutAssembled(game, "SCRIPT/SOB_INIT.DAT", ".table\n.script MAIN 0 0\n.script SUB 0 0\n");
  }
  // The hashes of frames from to to of a run of MAIN.
  std::set<uint64_t> Frames(const std::string& main, uint32_t from, uint32_t to) {
    test::PutAssembled(game, "SCRIPT/MAIN.SOB", main);
    const test::PlayedRun run = Play(
        {test::HashRanges({{from, to}}), "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(to + 2)});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.hashes.size(), to - from + 1) << run.errors;
    return run.ShownIn(from, to);
  }
};

// The next scenario's message waits over what the first left: exactly what it shows when it is
// the only one (its wait mark turning through the same pictures), with no snow, quake or picture.
TEST_F(TgsFrameEnd, AScenarioTakesItsSceneAlongWhenItEnds) {
  const std::set<uint64_t> alone = Frames(FrameMain({"TGS_NEXT"}), 200, 260);
  const std::set<uint64_t> after = Frames(FrameMain({"TGS_BUSY", "TGS_NEXT"}), 200, 260);
  EXPECT_EQ(after, alone) << "the first scenario's scene is still on the screen";
}

// Native 35 writes the read flags of the frame's scenarios; the program killed afterwards, before
// the frame goes, has kept them.
TEST_F(TgsFrameEnd, TheReadFlagsThatNative35SavedOutliveAKill) {
  test::PutAssembled(
      game, "SCRIPT/MAIN.SOB",
      FrameMain({"TGS_READ"}, "  native native:35, none, status\nloop:\n  wait\n  jmp loop\n"));
  (void)SignalledAt({"BRIMWOLD_HEADLESS_INPUT=60:click:400:300", "BRIMWOLD_HEADLESS_HASHES=150"},
                    150, SIGKILL);
  EXPECT_EQ(test::LogRecord(game.path(), "TGS_READ"), ".record TGS_READ 1 0 01 -")
      << "message 0 read";
}

}  // namespace
}  // namespace bw
