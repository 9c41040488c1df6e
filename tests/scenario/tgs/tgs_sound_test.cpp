// Label: optimised
// The scenario's sound commands over a recording sound port and the fake frame host.
#include "scenario/tgs/tgs_sound.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "scenario/tgs/tgs_test_world.h"

namespace bw {
namespace {

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

TEST_F(TgsSoundTest, NegativeSlotsTakeTheEffectChannelsInTurn) {
  for (int i = 0; i < 5; ++i) EXPECT_EQ(sound.PlayEffect("SE\\A.OGG", -1, 0, false), 0);
  EXPECT_EQ(port.log,
            (std::vector<std::string>{"load 8 SE\\A.OGG", "play 8", "load 9 SE\\A.OGG", "play 9",
                                      "load 10 SE\\A.OGG", "play 10", "load 11 SE\\A.OGG",
                                      "play 11", "load 8 SE\\A.OGG", "play 8"}));
  sound.UnloadAllEffects();
  EXPECT_EQ(sound.Turn(), 0) << "unloading starts the turn again";
  EXPECT_EQ(sound.PickEffectChannel(std::nullopt, 2, 0), 10);
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

  // A save made now and loaded with effects on starts the loop again.
  host.settings.effectSoundOn = true;
  TgsSound loaded(&host, nullptr);
  loaded.SetPort(&port);
  loaded.SetReplayRecords(sound.ReplayRecords());
  loaded.ReplayLoopingEffects();
  EXPECT_EQ(port.log, (std::vector<std::string>{"load 9 SE\\RAIN.OGG stream", "play 9 loop"}));

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
  sound.PlayEffect("SE\\LOOP.OGG", 0, 0, true);
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

TEST_F(TgsSoundTest, NegativeSlotsOutsideTheLoopingTable) {
  // A negative slot names any channel: bytes exist for 0-11 only, the rest is the manager's.
  sound.PlayEffect("SE\\LOOP.OGG", 3, 0, true);
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

TEST_F(TgsSoundTest, VoiceResults) {
  struct Case {
    bool on;
    int32_t player;
    int32_t result;
  };
  for (const Case c :
       {Case{false, -1, kVoiceOff}, Case{true, -2, kVoiceSilenced}, Case{true, -3, kVoiceFailed},
        Case{true, -5, kVoiceFailed}, Case{true, -1, 0}, Case{true, 4, 0}}) {
    host.settings.voiceOn = c.on;
    port.voiceResult = c.player;
    port.log.clear();
    EXPECT_EQ(sound.PlayVoice("V001", true), c.result) << c.player;
    EXPECT_EQ(port.log.size(), c.result == 0 ? 1u : 0u) << "plays only a loaded voice";
  }
  EXPECT_FALSE(sound.Looping(kTgsVoiceChannel));
}

}  // namespace
}  // namespace bw
