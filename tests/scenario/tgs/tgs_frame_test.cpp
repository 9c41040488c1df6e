// Label: optimised
// The frame: its helpers, input dispatch, waits, choices, fonts and windows, its sound commands,
// and the message road as a scenario drives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "host/cp932.h"
#include "input/key_codes.h"
#include "scenario/message/text_history_log.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_sound.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_file_source.h"

namespace bw {
namespace {

// Native 794's words as the frame finds them when it is made: where the chosen index goes and
// where the settings sheet raises the text indicator.
constexpr int32_t kChoiceWord = 0x4000, kFontIndicator = 0x100;

struct ConfiguredHost : FakeFrameHost {
  ConfiguredHost() {
    state.config[0] = kChoiceWord;
    state.config[4] = kFontIndicator;
  }
};

using TgsFrameTest = FrameTest<ConfiguredHost>;

TEST(BackgroundTable, CodesAndEntries) {
  struct Case {
    const char* text;
    int code;
    std::vector<int32_t> entries;
  };
  const Case cases[] = {
      {"// bg\n\n[town 3]\n10\n11\n[sea,2]\n*\n", 0, {-3, 10, 11, -2, -2, 0}},
      {"5\r\n6\r\n", 0, {5, 6, 0}},
      {"", kBgTableEmpty, {}},
      {"[a 0]\n", kBgTableBadSection, {}},
      {"[a -2147483648]\n", kBgTableBadSection, {}},
      {"[a 99999999999]\n", kBgTableBadSection, {}},
      {"*\n[a 1]\n", kBgTableRepeatFirst, {}},
      {"[a 1]\n7\n*\n", kBgTableRepeatAfterNumber, {}},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> out;
    EXPECT_EQ(ParseBackgroundTable(c.text, out), c.code) << c.text;
    if (c.code == 0) {
      EXPECT_EQ(out, c.entries) << c.text;
    }
  }
}

TEST(MessageSummary, FramesNameAndDropsSpacesAndCalls) {
  std::string call("\0[\x0C\0\0\0\x0E\0\0\0\0\0\0\0", 14);
  std::string out;
  const std::string name = host::Cp932Literal("太郎");
  EXPECT_EQ(BuildMessageSummary(name, host::Cp932Literal("　こん") + call + "x", out), 0);
  EXPECT_EQ(out, host::Cp932Literal("【太郎】\r\nこんx"));
  EXPECT_EQ(BuildMessageSummary("", "ab", out), 0);
  EXPECT_EQ(out, "ab");
  EXPECT_EQ(BuildMessageSummary("n", "", out), kSummaryNoText);
  EXPECT_EQ(BuildMessageSummary("n", host::Cp932Literal("　") + call, out), kSummaryEmpty);
  // A record whose size runs past the text ends the summary there.
  EXPECT_EQ(BuildMessageSummary("", std::string("ab\0[\xFF\0\0\0", 8), out), 0);
  EXPECT_EQ(out, "ab");
}

TEST(VoicePanAndAutoPlayTime, FollowThePictureXAndDoNotWrap) {
  const std::pair<int32_t, int32_t> cases[] = {{0, -5000},  {-30, -5000}, {399, -13},  {400, 0},
                                               {799, 4987}, {800, 5000},  {5000, 5000}};
  for (auto [x, pan] : cases) EXPECT_EQ(VoicePanForX(x), pan) << x;
  EXPECT_EQ(AutoPlayMs(50, 20, 1000), 2000u);
  EXPECT_GT(AutoPlayMs(255, 4000, 0xFFFFFF00u), 0xFFFFFF00u);
}

TEST(FacePick, SkipsLongNamesAndReadsUser) {
  auto installed = [](std::string_view f) { return f == "Good" || f == "Other"; };
  // A missing face passed over and a vertical one kept are the frame natives' to check.
  EXPECT_EQ(PickFace("user,Good", "Other", installed), "Other");
  const std::string long31(31, 'G');
  EXPECT_EQ(PickFace(long31 + ",Other", "", [](std::string_view) { return true; }), long31);
  EXPECT_EQ(PickFace(long31 + "x,Other", "", [](std::string_view) { return true; }), "Other");
  EXPECT_EQ(PickFace("@" + long31 + ",Other", "", [](std::string_view) { return true; }), "Other");
  EXPECT_EQ(PickFace("Missing", "", installed), "");
}

TEST_F(TgsFrameTest, AClickSkipsOnlyWithTheClickSetting) {
  EXPECT_FALSE(frame.IsSkipping(3));
  host.clickTurns = {0};
  EXPECT_TRUE(frame.IsSkipping(1));
  host.settings.clickSkips = false;
  EXPECT_FALSE(frame.IsSkipping(1));
}

// In either mode the first click finishes the typing and the next ends the wait; mode 1 waits on
// the message view alone, mode 2 finishes the second view's typing too, as skipping does.
TEST_F(TgsFrameTest, WaitModesFinishTheirViewsTyping) {
  host.typingTurns = host.secondTypingTurns = 100;
  host.clickTurns = {3, 5, 7, 9};
  host.quitAtTurn = 20;  // a wait that ignores its clicks ends here
  frame.Text() = "a";
  ASSERT_EQ(frame.CommitMessageText(), 0);
  ASSERT_EQ(frame.ShowMessage(1, true), 0);
  EXPECT_EQ(std::tuple(host.turns, host.finishSecondCalls), std::tuple(5, 0));
  ASSERT_EQ(Message("b"), 0);
  EXPECT_EQ(host.turns, 9);
  host.skipHeld = true;
  EXPECT_EQ(Message("c"), 0);
  EXPECT_EQ(host.finishSecondCalls, 2);
}

TEST_F(TgsFrameTest, AutoPlayEndsAfterTheTimeButNotBeforeTheVoice) {
  host.settings.autoCharMs = 50;
  host.settings.autoBaseMs = 1000;
  host.settings.voiceOn = true;
  // The state the dispatch leaves is what this checks.
  (void)frame.DispatchInput(6);  // auto play on
  ASSERT_TRUE(frame.AutoPlay());
  const uint32_t start = host.clock;
  EXPECT_EQ(Message(std::string(20, 'a')), 0);
  EXPECT_EQ(host.clock - start, 2010u);  // the first turn past 2000 ms

  host.voiceTurns = 300;
  EXPECT_EQ(frame.SetNameAndVoice(std::string_view("n"), std::string_view("V001")), 0);
  const uint32_t again = host.clock;
  EXPECT_EQ(Message(std::string(20, 'a'), 1), 0);
  EXPECT_EQ(host.voices, std::vector<std::string>{"V001"});
  EXPECT_GE(host.clock - again, 3000u);
}

TEST_F(TgsFrameTest, NamesAreCutOnCharacterBoundariesAndAPendingVoiceSurvivesACommit) {
  std::string wide;
  for (int i = 0; i < 30; ++i) wide += "\x82\xA0";
  EXPECT_EQ(frame.SetSpeakerName(std::string_view(wide)), 0);
  EXPECT_EQ(frame.SetNameAndVoice(std::string_view("a" + wide), std::string_view("b" + wide)), 0);
  // The shown and voice names keep "a" or "b" and seven characters.
  EXPECT_EQ(
      std::tuple(frame.SpeakerName().size(), frame.ShownName().size(), frame.VoiceName().size()),
      std::tuple(40u, 15u, 15u));

  // A voice pending at a commit survives the next one.
  EXPECT_EQ(frame.SetNameAndVoice(std::string_view("A"), std::string_view("V1")), 0);
  frame.Text() = "first";
  ASSERT_EQ(frame.CommitMessageText(), 0);
  EXPECT_EQ(frame.SetNameAndVoice(std::string_view("B"), std::string_view("V2")), 0);
  frame.Text() = "second";
  ASSERT_EQ(frame.CommitMessageText(), 0);
  EXPECT_EQ(frame.PendingVoice(), "V1");
  EXPECT_EQ(frame.CommitMessageText(), 1);  // nothing collected
}

TEST_F(TgsFrameTest, DispatcherCommands) {
  struct Case {
    int button;
    int answer;
    int32_t exitCode;
  };
  host.settings.confirmPreviousChoice = true;
  host.state.titleAllowed = 1;
  const Case cases[] = {
      {0, kDispatchRan, 0},                                 // quick save fails: caption
      {1, kDispatchRan, 0},                                 // no slot text: caption
      {2, kDispatchBackToChoice, 3}, {3, kDispatchRan, 3},  // save dialog refused
      {4, kDispatchRan, 3},                                 // nothing loaded
      {5, kDispatchSkipped, 3},                             // skip on
      {5, kDispatchSkipEnded, 3},    {6, kDispatchRan, 3},    {7, kDispatchRan, 3},
      {10, kDispatchRan, 3},         {11, kDispatchTitle, 1}, {12, kDispatchNothing, 1},
  };
  for (const Case& c : cases) {
    host.postAccepted = c.button == 2 || c.button == 11;
    EXPECT_EQ(frame.DispatchInput(c.button), c.answer) << c.button;
    EXPECT_EQ(frame.ExitCode(), c.exitCode) << c.button;
  }
  ASSERT_EQ(host.captions.size(), 2u);
  EXPECT_EQ(host.captions[0], host::Cp932Literal("クイックセーブに失敗しました"));
  EXPECT_EQ(host.captions[1], host::Cp932Literal("クイックセーブデータは存在しません"));
  // Declining the title question goes on.
  host.answer = 0;
  host.postAccepted = true;
  EXPECT_EQ(frame.DispatchInput(11), kDispatchRan);
}

TEST_F(TgsFrameTest, DispatcherKeysAndActions) {
  // A disabled button's key does nothing.
  EXPECT_EQ(frame.SetButtonState(9, 0), 0);
  host.actionTurns[0] = 11;  // hide window
  EXPECT_EQ(frame.DispatchInput(-1), kDispatchNothing);
  // Action 9 is quick save (command 0); it fails with its caption.
  host.actionTurns[0] = 9;
  EXPECT_EQ(frame.DispatchInput(-1), kDispatchRan);
  EXPECT_EQ(host.captions.back(), host::Cp932Literal("クイックセーブに失敗しました"));
  host.actionTurns.clear();

  // F2 loads from slot 2 and saves with the modifier; with the Shift setting, Ctrl no longer
  // saves.
  host.keysPressed = {0x3C};
  host.settings.shiftQuickSave = true;
  host.keysDown = {0x1D};
  host.captions.clear();
  // The state the dispatch leaves is what this checks.
  (void)frame.DispatchInput(-1);
  EXPECT_EQ(host.captions.back(), host::Cp932Literal("スロット２にデータは存在しません"));
  host.keysDown = {0x36};
  (void)frame.DispatchInput(-1);
  EXPECT_EQ(host.captions.back(), host::Cp932Literal("クイックセーブに失敗しました"));
  // Alt held: F keys are not read.
  host.keysDown = {0x38};
  EXPECT_EQ(frame.DispatchInput(-1), kDispatchNothing);

  // A quick load that fails keeps playing with its caption.
  host.settings.confirmQuickLoad = false;
  EXPECT_EQ(frame.DispatchInput(1), kDispatchRan);
  EXPECT_EQ(host.captions.back(), host::Cp932Literal("クイックセーブデータは存在しません"));
  EXPECT_EQ(frame.ExitCode(), 0);
}

TEST_F(TgsFrameTest, WindowRequests) {
  host.state.pendingWindowRequest = 1;
  EXPECT_EQ(frame.RequestWindow(kTgsRequestYesNo, "q"), kRequestPending);
  host.state.pendingWindowRequest = 0;
  host.postAccepted = false;
  EXPECT_EQ(frame.RequestWindow(kTgsRequestSave, ""), kRequestRefused);
  EXPECT_EQ(host.state.pendingWindowRequest, 0);
  host.postAccepted = true;
  // Never taken: after 5000 ms the request is cancelled so that a late start is skipped.
  host.requestStartsAfter = 1 << 30;
  EXPECT_EQ(frame.RequestWindow(kTgsRequestYesNo, "q"), kRequestTimedOut);
  EXPECT_TRUE(host.cancelled);
  EXPECT_EQ(host.state.pendingWindowRequest, 0);
}

TEST_F(TgsFrameTest, ChoicesTakeBitsDisableFlagsAndWriteTheIndex) {
  for (uint8_t i : {0, 2, 5, 7})
    EXPECT_EQ(frame.DisableChoice(i), 0);  // 5 and 7 are past the flags
  std::vector<std::string_view> choices = {"a", "b", "c", "d", "e", "f", "g"};
  EXPECT_EQ(frame.BeginMessage(0), 0);
  ASSERT_EQ(frame.ShowChoices(choices, 9), 0);
  EXPECT_FALSE(frame.CollectingText()) << "a message without text ends at the choices";
  ASSERT_EQ(frame.ChoiceCount(), 7u);
  std::vector<bool> enabled;
  for (uint32_t i = 0; i < 7; ++i) enabled.push_back(frame.ChoiceEnabled(i));
  EXPECT_EQ(enabled, (std::vector<bool>{false, true, false, true, true, true, true}));
  // The pointer goes onto the list over 140 ms (14 turns); the list takes clicks after that, while
  // the window's hit area lets it.
  host.choicePoint = true;
  host.snapshotWorks = true;
  host.pointerEvents[16] = 20;  // the disabled first choice: ignored
  host.pointerEvents[18] = 21;
  EXPECT_EQ(frame.ChoiceWait(), 0);
  EXPECT_EQ(host.turns, 18);
  EXPECT_EQ(host.removedKinds, std::vector<uint32_t>{kChoicePathTaskKind});
  EXPECT_EQ(host.buttonStates[2], 1) << "the way back to this choice is kept";
  EXPECT_EQ(host.guest[kChoiceWord], 1);
  EXPECT_EQ(frame.ChoiceCount(), 0u);
  // The flags were cleared with the list.
  ASSERT_EQ(frame.ShowChoices(choices, 9), 0);
  EXPECT_TRUE(frame.ChoiceEnabled(0));
}

// The message window's hit area gives the pointer to a choice list while it is up and takes it
// back once a choice is made.
using HitArea = TgsFrameTest;

TEST_F(HitArea, IsOffWhileTheChoiceListTakesThePointer) {
  const std::vector<std::string_view> choices = {"a", "b"};
  EXPECT_EQ(frame.BeginMessage(0), 0);
  ASSERT_EQ(frame.ShowChoices(choices, 0), 0);
  host.hitArea.clear();
  host.pointerEvents[3] = 21;
  ASSERT_EQ(frame.ChoiceWait(), 0);
  EXPECT_EQ(host.hitArea, (std::vector<std::pair<int, bool>>{{0, false}, {3, true}}))
      << "off from the list's start";
}

TEST_F(TgsFrameTest, TextFontSizesColoursAndReset) {
  auto font = [&] { return std::tuple(frame.Font().size, frame.Font().face, frame.Font().color); };
  host.settings.face = "UserFace";
  frame.SetInstalledFaces([](std::string_view f) { return f == "UserFace" || f == "B"; });
  EXPECT_EQ(frame.SetTextFont(0, -1, -1, std::nullopt), 0);
  EXPECT_EQ(font(), std::tuple(24, "", 0xFFFFFFu));
  EXPECT_EQ(frame.Font().shadow, 0u);
  EXPECT_EQ(frame.SetTextFont(32, 0xFF0000, 0x00FF00, std::string_view("A, B")), 0);
  EXPECT_EQ(font(), std::tuple(32, "B", 0xFF0000u));
  EXPECT_EQ(frame.SetTextFont(std::nullopt, std::nullopt, std::nullopt, std::string_view("user")),
            0);
  EXPECT_EQ(frame.Font().face, "UserFace");
  // A page ends: the font goes back to the user's.
  EXPECT_EQ(frame.SetTextFont(40, std::nullopt, std::nullopt, std::string_view("B")), 0);
  host.clickTurns = {1};
  Message("x");
  EXPECT_EQ(font(), std::tuple(24, "UserFace", 0xFFFFFFu));
}

TEST_F(TgsFrameTest, PlacementAndWindowArguments) {
  struct Case {
    int32_t alignment, x, y;
    int32_t wantAlignment, wantX, wantY;
  };
  const Case cases[] = {
      {1, -1, -1, 1, 0, 561}, {2, -1, 300, 2, 800, 300}, {0, -1, -1, 0, 400, 561},
      {7, 120, 5, 7, 120, 5}, {-1, 9, 9, 7, 120, 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(frame.SetMessageWindowPlace(c.alignment, c.x, c.y, -1, -1, -1), 0);
    EXPECT_EQ(std::tuple(frame.WindowAlignment(), frame.WindowX(), frame.WindowY()),
              std::tuple(c.wantAlignment, c.wantX, c.wantY));
  }
  EXPECT_EQ(frame.SetMessageWindowPlace(0, 0, 0, 0, 0, 1), kBadWindow);
  EXPECT_EQ(frame.ShowMessageWindow(true, -5), 0);
  EXPECT_TRUE(frame.WindowShown());
  EXPECT_EQ(frame.SelectMessageWindow(-1), kBadWindow);
  EXPECT_EQ(frame.SelectMessageWindow(0), 0);

  // The window's frame: the user's kind, colour and opacity, where the placement gives none of
  // its own; given, its kind and opacity stay through later settings.
  EXPECT_TRUE(host.frames.empty()) << "no frame given, none applied";
  host.settings.drawTextFrame = 1, host.settings.frameColor = 0x102030;
  host.settings.frameAlpha = 140;
  frame.ApplyTextConfig(true, false, false, false, false);
  EXPECT_EQ(host.frames.back(), (std::array<uint32_t, 3>{1, 0x102030, 140}));
  EXPECT_EQ(frame.SetMessageWindowPlace(-1, 0, 0, 0, 200, -1), 0);
  EXPECT_EQ(host.frames.back(), (std::array<uint32_t, 3>{0, 0x102030, 200}));
  host.settings.frameAlpha = 90;
  frame.ApplyTextConfig(true, false, false, false, false);
  EXPECT_EQ(host.frames.back(), (std::array<uint32_t, 3>{0, 0x102030, 200}));
}

TEST_F(TgsFrameTest, TimedWaits) {
  struct Case {
    bool skip;
    std::set<int> clicks;
    int quitAt;
    int answer;
    int turns;
  };
  const Case cases[] = {
      {false, {}, -1, 0, 10},  // 100 ms at 10 ms a turn
      {false, {3}, -1, 1, 3},  // a click skips
      {true, {}, -1, 1, 0},    // skipping: at once
      {false, {}, 2, -1, 2},
  };
  for (const Case& c : cases) {
    host.turns = 0;
    host.clickTurns = c.clicks;
    host.quitAtTurn = c.quitAt;
    // The state the dispatch leaves is what this checks.
    if (c.skip != frame.SystemSkip()) (void)frame.DispatchInput(5);
    EXPECT_EQ(frame.WaitTimeSkippable(100u, true), c.answer) << c.turns;
    EXPECT_EQ(host.turns, c.turns);
  }
  // The wait that may not be skipped ends the skipping and ignores input.
  // The state the dispatch leaves is what this checks.
  (void)frame.DispatchInput(5);
  ASSERT_TRUE(frame.SystemSkip());
  host.turns = 0;
  host.quitAtTurn = -1;
  host.clickTurns = {1};
  EXPECT_EQ(frame.WaitTimeFixed(50), 0);
  EXPECT_EQ(std::tuple(host.turns, frame.SystemSkip(), host.buttonStates[5]),
            std::tuple(5, false, 1));
}

TEST_F(TgsFrameTest, ButtonBoundsAndSettingsIndicators) {
  EXPECT_EQ(frame.SetButtonState(10, 1), kBadButton);
  EXPECT_EQ(frame.SetButtonState(-1, 1), kBadButton);

  // A 794 after the frame was made is for the next frame: this one reads the indicator whose
  // address it was made with.
  host.state.config[4] = 0x200;
  host.guest[0x200] = 1;
  host.settings.face = "Sheet";
  EXPECT_EQ(frame.DispatchInput(8), kDispatchRan);
  EXPECT_EQ(frame.Font().face, "");
  // The settings sheet raised the text indicator: the user's face is applied, and the page on
  // the screen is laid out again with it.
  host.guest[kFontIndicator] = 1;
  EXPECT_EQ(frame.DispatchInput(8), kDispatchRan);
  EXPECT_EQ(std::tuple(frame.Font().face, host.requests.back(), host.relayouts),
            std::tuple("Sheet", "0:", 1));
}

// The scenario's sound commands over a recording sound port and the fake frame host.
constexpr int32_t kPortBadIndex = 1;

class RecordingPort : public TgsSoundPort {
 public:
  std::vector<std::string> log;
  std::map<int32_t, int> playingPolls, fadingPolls;  // channel -> polls it still plays or fades
  int32_t loadResult = 0;
  int32_t voiceResult = -1;

  int32_t Load(int32_t c, const std::string& f, bool s) override {
    return Note("load", c, " " + f + (s ? " stream" : "")), loadResult;
  }
  int32_t Play(int32_t c, bool loop) override { return Note("play", c, loop ? " loop" : ""); }
  int32_t Stop(int32_t c) override { return Note("stop", c); }
  void Unload(int32_t c) override { Note("unload", c); }
  bool Playing(int32_t c) override { return playingPolls[c]-- > 0; }
  uint8_t FadeState(int32_t c) override { return fadingPolls[c]-- > 0 ? 1 : 0; }
  int32_t FadeIn(int32_t c, const std::string& f, uint32_t ms, bool) override {
    return Note("fadein", c, " " + f + " " + std::to_string(ms)), loadResult;
  }
  int32_t FadeOut(int32_t c, uint32_t) override { return Note("fadeout", c); }
  uint8_t MusicFadeState() override { return 0; }
  void StopMusic() override {}
  int32_t LoadVoice(const std::string&) override { return voiceResult; }

 private:
  // The manager's answer: channels 0-15 exist.
  int32_t Note(const char* what, int32_t c, const std::string& more = "") {
    log.push_back(what + (" " + std::to_string(c)) + more);
    return c >= 0 && c < 16 ? 0 : kPortBadIndex;
  }
};

class TgsSoundTest : public ::testing::Test {
 protected:
  TgsSoundTest() {
    host.settings.voiceOn = true;
    sound.SetPort(&port);
  }
  FakeFrameHost host;
  bool skipping = false;
  TgsSound sound{&host, [this] { return skipping; }};
  RecordingPort port;
};

// A negative slot takes the effect channels in turn, or names any channel.
TEST_F(TgsSoundTest, NegativeSlots) {
  for (int i = 0; i < 5; ++i) EXPECT_EQ(sound.PlayEffect("SE\\A.OGG", -1, 0, false), 0);
  EXPECT_EQ(port.log,
            (std::vector<std::string>{"load 8 SE\\A.OGG", "play 8", "load 9 SE\\A.OGG", "play 9",
                                      "load 10 SE\\A.OGG", "play 10", "load 11 SE\\A.OGG",
                                      "play 11", "load 8 SE\\A.OGG", "play 8"}));
  EXPECT_EQ(sound.UnloadAllEffects(), 0);
  EXPECT_EQ(sound.Turn(), 0) << "unloading starts the turn again";
  EXPECT_EQ(sound.PickEffectChannel(std::nullopt, 2, 0), 10);

  // A negative slot names any channel: bytes exist for 0-11 only, the rest is the manager's.
  EXPECT_EQ(sound.PlayEffect("SE\\LOOP.OGG", 3, 0, true), 0);
  EXPECT_EQ(sound.StopEffect(-11), 0);
  EXPECT_FALSE(sound.Looping(11));
  EXPECT_EQ(sound.StopEffect(-40), kPortBadIndex);
  EXPECT_EQ(sound.StopEffect(INT32_MIN), kPortBadIndex);
  EXPECT_EQ(sound.PlayEffect("SE\\X.OGG", 20, 0, true), 0);  // channel 28: no byte, no record
  for (const TgsReplayRecord& r : sound.ReplayRecords()) EXPECT_NE(r.name, "SE\\X.OGG");
  EXPECT_EQ(sound.FadeInEffect("SE\\IN.OGG", 0, -1, 0), 0);
  EXPECT_EQ(port.log.back(), "fadein 8 SE\\IN.OGG 1000");
  EXPECT_TRUE(sound.Looping(8));
  EXPECT_EQ(sound.ReplayRecords()[0].name, "SE\\IN.OGG");
}

TEST_F(TgsSoundTest, LoopsAreRecordedForReplayEvenWithEffectsOff) {
  host.settings.effectSoundOn = false;
  EXPECT_EQ(sound.PlayEffect("SE\\RAIN.OGG", 1, 1, true), 0);
  EXPECT_EQ(sound.PlayEffect("SE\\ONCE.OGG", 2, 0, false), 0);
  EXPECT_TRUE(port.log.empty()) << "nothing is loaded or played while effects are off";
  EXPECT_EQ(sound.ReplayRecords()[1].name, "SE\\RAIN.OGG");
  EXPECT_EQ(sound.ReplayRecords()[1].streamMode, 1);
  EXPECT_TRUE(sound.ReplayRecords()[2].name.empty());
  EXPECT_TRUE(sound.Looping(9));
  host.settings.effectSoundOn = true;

  // A failed load leaves the record alone; a name too long to save is played, not recorded.
  port.loadResult = 2;
  EXPECT_EQ(sound.PlayEffect("SE\\OTHER.OGG", 1, 0, true), kSoundCommandFailed);
  EXPECT_EQ(sound.ReplayRecords()[1].name, "SE\\RAIN.OGG");
  port.loadResult = 0;
  const std::string longName(254, 'A');
  EXPECT_EQ(sound.PlayEffect(longName, 1, 0, true), 0);
  EXPECT_EQ(sound.ReplayRecords()[1].name, "SE\\RAIN.OGG");
  EXPECT_EQ(sound.PlayEffect(longName.substr(0, 253), 1, 0, true), 0);
  EXPECT_EQ(sound.ReplayRecords()[1].name.size(), 253u);
}

TEST_F(TgsSoundTest, WaitsEndAsTheyShould) {
  // A looping channel is stopped at once.
  EXPECT_EQ(sound.PlayEffect("SE\\LOOP.OGG", 0, 0, true), 0);
  port.log.clear();
  EXPECT_EQ(sound.WaitEffectEnd(0, false, false), kSoundLoopStopped);
  EXPECT_EQ(port.log, std::vector<std::string>{"stop 8"});
  EXPECT_EQ(host.turns, 0);

  // A quick wait ends at the first frame only with the fast-effects setting.
  port.playingPolls[9] = 3;
  EXPECT_EQ(sound.WaitEffectEnd(1, true, true), 0);
  EXPECT_EQ(host.turns, 3);
  host.settings.fastEffects = true;
  port.playingPolls[9] = 3;
  EXPECT_EQ(sound.WaitEffectEnd(1, true, true), 1);
  EXPECT_EQ(host.turns, 3);
  port.fadingPolls[10] = 5;
  EXPECT_EQ(sound.WaitEffectFade(2, true, true, true), 1);
  EXPECT_EQ(port.log.back(), "stop 10");

  // Skipping ends a skippable wait; a quit leaves the channel playing.
  port.playingPolls[11] = 100;
  skipping = true;
  EXPECT_EQ(sound.WaitEffectEnd(3, true, false), 1);
  skipping = false;
  port.log.clear();
  host.quitAtTurn = host.turns + 2;
  EXPECT_EQ(sound.WaitEffectEnd(3, true, false), -1);
  port.fadingPolls[11] = 100;
  host.quitAtTurn = host.turns + 1;
  EXPECT_EQ(sound.WaitEffectFade(3, true, true, false), -1);
  EXPECT_TRUE(port.log.empty()) << "quitting stops nothing";
}

TEST_F(TgsSoundTest, VoiceResults) {
  struct Case {
    bool on;
    int32_t player;
    int32_t result;
  };
  for (const Case c : {Case{false, -1, kVoiceOff}, Case{true, -2, kVoiceSilenced},
                       Case{true, -3, kVoiceFailed}, Case{true, -1, 0}, Case{true, 4, 0}}) {
    host.settings.voiceOn = c.on;
    port.voiceResult = c.player;
    port.log.clear();
    EXPECT_EQ(sound.PlayVoice("V001", true), c.result) << c.player;
    EXPECT_EQ(port.log.size(), c.result == 0 ? 1u : 0u) << "plays only a loaded voice";
  }
  EXPECT_FALSE(sound.Looping(kTgsVoiceChannel));
}

// The message road as a scenario drives it: a frame set up and run on a script engine, its waits
// answered by scripted turns of the host: the captions of the quick commands and their times,
// the auto-play clock across dialogs, the right click in auto play, the window hidden for the
// full-screen menu, and the page numbers the history keeps.
constexpr char kOneMessage[] = "MessageBegin 0\n\"A\"\nMessageWait\n.end\n";
constexpr int kAutoButton = 6;

// One frame, set up and started fresh, as native 793 runs a named scenario.
struct Road : EngineFrames {
  Road() { host.quitAtTurn = 10000; }
  int Run(const std::string& lines) {
    frame = Begin(lines);
    return TgsRunStep(*frame);
  }

  std::unique_ptr<TgsFrame> frame;
};

TEST(MessageRoadCaptions, EachCommandShowsItsCaptionForItsTime) {
  struct Case {
    const char* what;
    int button;  // -1: Ctrl+F1
    bool works, confirm, userSkip;
    const char* caption;  // UTF-8; "" takes the caption away
    uint32_t ms;
  };
  const Case cases[] = {
      {"quick save", 0, true, false, false, "クイックセーブを実行しました", 100},
      {"quick save to slot 1", -1, true, false, false, "スロット１にセーブしました", 100},
      {"failed quick save", 0, false, false, false, "クイックセーブに失敗しました", 100},
      {"missing quick load", 1, false, true, false, "クイックセーブデータは存在しません", 100},
      {"quick load without a question", 1, true, false, false, "クイックロードを実行しました", 850},
      {"quick load while skipping", 1, true, false, true, "クイックロードを実行しました", 100},
      {"confirmed quick load", 1, true, true, false, "", 100},
  };
  for (const Case& c : cases) {
    Road road;
    FakeFrameHost& h = road.host;
    h.quickWorks = c.works;
    h.settings.confirmQuickLoad = c.confirm;
    h.settings.userSkip = c.userSkip;
    if (c.button < 0) {
      h.keysPressed = {kKeyF1};
      h.keysDown = {kKeyLeftControl};
    } else {
      h.pointerEvents[2] = c.button;
    }
    h.clickTurns = {5};
    road.Run(kOneMessage);
    ASSERT_FALSE(h.captions.empty()) << c.what;
    EXPECT_EQ(h.captions.front(), host::Cp932Literal(c.caption)) << c.what;
    EXPECT_EQ(h.captionMs.front(), c.ms) << c.what;
  }
}

// Auto play goes on at turn 1; at turn 5 a dialog stands open for 2000 ms. The page's auto-play
// time (1000 ms) counts only the time outside it.
TEST(MessageRoadMenuClock, DialogsDoNotUseUpTheAutoPlayTime) {
  struct Case {
    const char* what;
    int button;
  };
  const Case cases[] = {{"save dialog", 3},
                        {"load dialog", 4},
                        {"settings", 8},
                        {"quick load question", 1},
                        {"the menu bar's dialog", -1}};
  for (const Case& c : cases) {
    Road road;
    FakeFrameHost& h = road.host;
    h.settings.autoCharMs = 0;
    h.settings.autoBaseMs = 1000;
    h.quickWorks = true;
    h.answer = 0;  // the question is declined
    h.requestStartsAfter = 200;
    h.pointerEvents = {{1, kAutoButton}, {5, c.button}};
    if (c.button < 0) h.modalTurns = {5, 205};
    road.Run(kOneMessage);
    const uint32_t autoStart = 1000 + 10;
    EXPECT_EQ(h.requests.size(), c.button < 0 ? 0u : 1u) << c.what;
    EXPECT_GE(h.clock - autoStart, 3000u) << c.what << ": the dialog's time counted";
    EXPECT_LE(h.clock - autoStart, 3030u) << c.what;
  }
}

// A right click ends auto play with its setting, unless the right button is bound to auto play.
TEST(MessageRoadRightClick, EndsAutoPlayUnlessTheButtonIsAutoPlays) {
  for (const uint8_t mode : {1, 3}) {
    Road road;
    FakeFrameHost& h = road.host;
    h.settings.rightClickEndsAuto = true;
    h.settings.rightButtonMode = mode;
    h.pointerEvents = {{1, kAutoButton}};
    h.rightClickTurns = {3};
    h.clickTurns = {300};
    road.Run(kOneMessage);
    EXPECT_EQ(road.frame->AutoPlay(), mode == 3) << int(mode);
    EXPECT_EQ(h.turns < 300, mode == 3) << int(mode) << ": the wait ended by auto play";
  }
}

// With the setting, the full-screen menu hides the windows, quietly, until it closes; a click
// meanwhile belongs to the menu.
TEST(MessageRoadFullScreenMenu, HidesTheWindowUntilTheMenuCloses) {
  Road road;
  FakeFrameHost& h = road.host;
  h.state.fullScreenMenuMode = 2;
  h.settings.hideWindowForMenu = true;
  h.fullScreenMenuClosesAt = 40;
  h.clickTurns = {10, 100};
  road.Run(kOneMessage);
  auto hidden = std::find(h.windowShows.begin(), h.windowShows.end(), std::pair{1, false});
  ASSERT_NE(hidden, h.windowShows.end());
  auto shown = std::find_if(hidden, h.windowShows.end(), [](auto s) { return s.second; });
  ASSERT_NE(shown, h.windowShows.end());
  EXPECT_EQ(shown->first, 41) << "shown again before the menu closed";
  EXPECT_EQ(std::count(h.sounds.begin(), h.sounds.end(), kTgsSoundClick), 0);
}

class MeasuringView : public FakeHistoryView {
 public:
  using FakeHistoryView::FakeHistoryView;
  int32_t MeasureText(std::string_view) override { return 20; }
};

// Each message waited for takes a page of its own with the next number; the question before a
// choice list leaves its page to the list, and the message after the choice goes on it unnumbered.
TEST(MessageRoadPages, TheHistoryNumbersEachPageOnce) {
  Road road;
  FakeFrameHost& h = road.host;
  MeasuringView view{h};
  h.historyView = &view;
  h.clickTurns = {2, 20, 30};
  h.pointerEvents = {{5, 20}};
  road.Run(
      "MessageBegin 0\n\"A\"\nMessageWait\n"
      "MessageBegin 1\n\"Q\"\nChoiceShow -, \"L\", \"R\", -, -, -, -, -, -, 0\nChoiceWait\n"
      "MessageBegin 2\n\"B\"\nMessageWait\n"
      "MessageBegin 3\n\"C\"\nMessageWait\n.end\n");
  std::vector<int> marks;
  const TextHistoryLog& log = road.frame->History();
  for (int32_t i = 0; i < log.Count(); ++i) {
    if (const auto* m = std::get_if<MessageRecord>(&log.GetEntry(i)->record)) {
      marks.push_back(m->mark);
    }
  }
  EXPECT_EQ(marks, (std::vector<int>{1, 2, 0, 2}));
}

// Built-ins kept in message text run as the view reaches them, in direct mode and in the
// history's layout.
// The history keeps the colours of the font calls in its texts: -1 is the colour it draws the
// text in; faces, sizes and the message's own font stay as they are.
TEST(MessageRoadHistory, HistoryLayoutColoursItsRenderersThroughTextCalls) {
  Road road;
  FakeHistoryView view{road.host};
  road.host.historyView = &view;
  road.host.clickTurns = {2};
  ASSERT_EQ(road.Run("MessageBegin 0\n\"A\"\nTextFont -, -1, 4144959\n\"B\"\n"
                     "TextFont 30, 65280, -, \"user\"\n\"C\"\nMessageWait\n.end\n"),
            kTgsStepEnded);
  TgsFrame& frame = *road.frame;
  ASSERT_EQ(road.host.shown.size(), 1u);
  const std::string text = road.host.shown[0].substr(1);  // behind "|"
  std::string summary;
  EXPECT_EQ(frame.GetMessageSummary(summary), 0);
  EXPECT_EQ(summary, "ABC") << "the summary leaves the calls out";
  std::vector<std::span<const uint8_t>> records;
  for (size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at)) {
    uint32_t size = 0;
    std::memcpy(&size, text.data() + at + 2, sizeof size);
    records.push_back({reinterpret_cast<const uint8_t*>(text.data() + at), 2 + size});
    at += 2 + size;
  }
  ASSERT_EQ(records.size(), 2u);
  const TgsFontState before = frame.Font();

  EXPECT_EQ(frame.RunHistoryCall(records[0], 0xFFB74C), 0);
  EXPECT_EQ(view.textColors, std::vector<uint32_t>{0xFFB74C}) << "-1: the history's own colour";
  EXPECT_EQ(view.shadowColors, std::vector<uint32_t>{0x3F3F3F});
  EXPECT_EQ(frame.RunHistoryCall(records[1], 0xFFFFFF), 0);
  EXPECT_EQ(view.textColors.back(), 0x00FF00u);
  EXPECT_EQ(view.shadowColors.size(), 1u) << "a shadow not given is left alone";
  EXPECT_EQ(
      std::tuple(frame.Font().size, frame.Font().color, frame.Font().face, frame.Font().changed),
      std::tuple(before.size, before.color, before.face, before.changed))
      << "the message font is not the history's";

  // Outside the history layout the same record sets the message font again.
  EXPECT_EQ(frame.RunCallRecord(records[1]), 0);
  EXPECT_EQ(std::tuple(frame.Font().size, frame.Font().color), std::tuple(30, 0x00FF00u));
  EXPECT_EQ(frame.RunCallRecord(records[1].first(1)), kTgsBadCallRecord);
  EXPECT_EQ(view.textColors.size(), 2u);
  EXPECT_EQ(frame.RunHistoryCall(records[1].first(1), 0xFFFFFF), kTgsBadCallRecord);
}

}  // namespace
}  // namespace bw
