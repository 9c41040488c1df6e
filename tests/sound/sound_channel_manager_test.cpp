#include <gtest/gtest.h>

#include "lib/sob/voice_info_writer.h"
#include "sound/sound_channel_manager.h"
#include "sound/sound_tasks.h"
#include "sound/sound_world.h"
#include "sound/voice_table.h"
#include "support/fuzz_seeds.h"

namespace bw {
namespace {

using soundtest::ChannelWorld;
using soundtest::Part;

using ChannelManager = ChannelWorld;

TEST_F(ChannelManager, MusicPlaysItsIntroOnceThenLoopsAndMusicAndChannelsRefuseBadNames) {
  const auto intro = Ramp("BGM\\I.PCMT", 2000, 1);
  const auto main = Ramp("BGM\\M.PCMT", 3000, 10000);
  ASSERT_EQ(m.PlayBgm("BGM\\M.PCMT", "BGM\\I.PCMT", true), kSoundOk);
  EXPECT_EQ(w.Pull(8000), Join({intro, main, Part(main, 0, 3000)}));

  EXPECT_EQ(m.PlayBgm("bgm\\m.pcmt", nullptr, false), kBgmAlreadyPlaying);
  EXPECT_EQ(w.Pull(2), Part(main, 0, 2)) << "the music was not restarted";

  // Another intro is other music.
  Ramp("BGM\\J.PCMT", 100, 20000);
  EXPECT_EQ(m.PlayBgm("BGM\\M.PCMT", "BGM\\J.PCMT", true), kSoundOk);
  EXPECT_EQ(w.Pull(1)[0], 20000);

  EXPECT_EQ(m.PlayBgm(nullptr, nullptr, true), kBgmBadName);
  const std::string longName(255, 'A');
  EXPECT_EQ(m.PlayBgm(longName.c_str(), nullptr, true), kBgmBadName)
      << "its length byte would overflow in a save";
  EXPECT_EQ(m.PlayBgm("MISSING.PCMT", nullptr, true), kStreamNoDecoder);
  EXPECT_FALSE(m.CurrentBgmTrack()->file) << "a failed open keeps no names";

  const auto looped = Ramp("M.PCMT", 1000, 300);
  EXPECT_EQ(m.SetBgmEnabled(false, false), kSoundOk);
  EXPECT_EQ(m.PlayBgm("M.PCMT", nullptr, true), kBgmSwitchedOff);
  EXPECT_EQ(m.SetBgmEnabled(true, false), kSoundOk);
  EXPECT_TRUE(m.IsBgmPlaying());
  EXPECT_EQ(w.Pull(2500), Join({looped, looped, Part(looped, 0, 500)}))
      << "started looped, as stored";

  m.SetSoundEnabled(false, false);
  EXPECT_FALSE(m.IsBgmPlaying()) << "the master switch silences music too";
  m.SetSoundEnabled(true, false);
  EXPECT_TRUE(m.IsBgmPlaying());

  // Counts, indexes and kind bits are the sound natives' to check.
  ASSERT_EQ(m.SetChannelCount(3), kSoundOk);
  EXPECT_EQ(m.LoadChannel(0, longName.c_str(), kLipSyncNone, false), kBadChannel);
  EXPECT_EQ(m.LoadChannel(0, "MISSING.PCMT", kLipSyncNone, true), kChannelLoadFailed);
  EXPECT_EQ(m.GetChannel(0)->loaded, nullptr);
  EXPECT_EQ(m.PlayChannel(0, false), kSoundOk) << "an empty channel plays nothing";
  EXPECT_FALSE(m.IsChannelPlaying(0));
}

// A channel's buffer gets trunc(factor x volume / 100) x master >> 8, and a channel of kind
// exactly 4 that again x voice >> 8.
TEST_F(ChannelManager, ChannelVolumeTakesTheMasterAndOnlyAVoiceTakesTheVoiceFactor) {
  const struct {
    uint8_t kind;
    int32_t volume, factor, master, voice, want;
  } cases[] = {
      {kSoundEffect, 50, 200, 128, 64, 50},
      {kVoice, 50, 200, 128, 64, 12},
      {kVoice | kSoundEffect, 50, 200, 128, 64, 50},
      {kSystemSoundEffect, 100, 256, 256, 0, 256},
      {kVoice, 100, 256, 256, 128, 128},
      {kSoundEffect, 30, 100, 200, 256, 23},
  };
  Ramp("SE.PCMT", 100, 1);
  for (const auto& c : cases) {
    SoundChannelManager mixer(&timers);
    mixer.SetMasterVolume(c.master, false);
    mixer.SetVoiceVolume(c.voice);
    ASSERT_EQ(mixer.SetChannelCount(1), kSoundOk);
    ASSERT_EQ(mixer.SetChannelKind(0, c.kind), kSoundOk);
    ASSERT_EQ(mixer.LoadChannel(0, "SE.PCMT", kLipSyncNone, false), kSoundOk);
    ASSERT_EQ(mixer.SetChannelVolume(0, c.volume, c.factor), kSoundOk);
    EXPECT_EQ(mixer.GetChannel(0)->loaded->GetVolumeFactor(), c.want)
        << "kind " << int(c.kind) << " volume " << c.volume << " factor " << c.factor << " master "
        << c.master << " voice " << c.voice;
  }
}

// A count below 1 is refused unless it is the count already; kinds need one of the three bits.
TEST_F(ChannelManager, CountsAndKindsAreRefusedWithTheirCodes) {
  SoundChannelManager fresh(&timers);
  EXPECT_EQ(fresh.SetChannelCount(0), kSoundOk) << "no channels is already the count";
  ASSERT_EQ(m.SetChannelCount(3), kSoundOk);
  EXPECT_EQ(m.SetChannelCount(0), kCountRefused);
  EXPECT_EQ(m.SetChannelCount(-2), kCountRefused);
  EXPECT_EQ(m.ChannelCount(), 3);
  const struct {
    int32_t channel;
    uint8_t kind;
    int32_t want;
  } kinds[] = {{0, 8, kNoKindBit},       {1, 0, kNoKindBit},        {2, 0x18, kNoKindBit},
               {3, kVoice, kBadChannel}, {-1, kVoice, kBadChannel}, {2, 0x12, kSoundOk}};
  for (const auto& k : kinds) {
    EXPECT_EQ(m.SetChannelKind(k.channel, k.kind), k.want) << k.channel << " kind " << int(k.kind);
  }
  EXPECT_EQ(m.GetChannel(0)->kind, kSoundEffect) << "a refused kind is not kept";
}

// Which alias a name takes is every voiced line's to show, and its place among the ids the
// natives'; here, what the character brings to its channel and the other ways of asking.
TEST_F(ChannelManager, VoicesFindTheirCharacterByThePrefixOfTheName) {
  // The alias "ab" stands before "abc": names beginning with abc go to the first character.
  VoiceTable table;
  ASSERT_EQ(table.Parse(sob::WriteVoiceInfo(
                "OGX", 3, {{"HANA", "", false, {"ab", "h"}}, {"YUKI", "", true, {"abc"}}})),
            kVoiceInfoDone);
  m.SetVoiceTable(&table);
  ASSERT_EQ(kSoundOk, m.SetChannelCount(2));
  ASSERT_EQ(kSoundOk, m.SetChannelKind(0, kVoice));
  const auto voice = Ramp("VOICE\\abc01.OGX", 800, 7);
  table.characters[0].setting = 200;
  table.characters[0].hasSecondText = 1;
  const int32_t listed[] = {5, 0};
  EXPECT_EQ(m.PlayVoiceByName(0, "abc01", 1, listed), -1) << "not among the first one";
  // The mark is cleared.
  EXPECT_EQ(std::tuple(table.characters[0].hasSecondText, m.GetChannel(0)->factor,
                       m.GetChannel(0)->staticBuffer.Path()),
            std::tuple(0, 200, "VOICE\\abc01.OGX"));
  EXPECT_EQ(m.PlayVoiceByName(-1, "h2", 0, nullptr), 1) << "the alias index, nothing loaded";
  EXPECT_EQ(m.PlayVoiceByName(-2, "abc01", 0, nullptr), 0) << "the character index";
  EXPECT_EQ(m.PlayVoiceByName(0, "h404", 0, nullptr), kVoiceLoadFailed);
}

TEST_F(ChannelManager, DuckLowersTheMusicUnderAVoiceAndBringsItBack) {
  Ramp("M.PCMT", 4000, 1);
  Ramp("VO.PCMT", 8000, 1);
  ASSERT_EQ(m.PlayBgm("M.PCMT", nullptr, true), kSoundOk);
  ASSERT_EQ(kSoundOk, m.SetChannelCount(1));
  ASSERT_EQ(kSoundOk, m.SetChannelKind(0, kVoice));
  ASSERT_EQ(m.LoadChannel(0, "VO.PCMT", kLipSyncNone, false), kSoundOk);
  ASSERT_EQ(m.PlayChannel(0, false), kSoundOk);
  EXPECT_EQ(m.DuckBgm(&timers, 0, 1.0f), nullptr) << "a ratio of 1 is refused";
  BgmDuckTask probe;

  ASSERT_NE(m.DuckBgm(&timers, 0, 0.5f), nullptr);
  At(100);  // the first update marks the start
  At(600);
  EXPECT_EQ(m.BgmFactor(), 128);
  At(5000);
  EXPECT_EQ(m.BgmFactor(), 128) << "held while the voice plays";
  w.Pull(8100);
  ASSERT_FALSE(m.IsChannelPlaying(0)) << "the voice played to its end";
  At(5100, 6100);
  EXPECT_EQ(m.BgmFactor(), 128) << "a further second of hold";
  At(6101, 7101);
  EXPECT_EQ(BgmStreamFactor(), 256) << "the music is back at full";
  EXPECT_EQ(timers.Count(), 0u) << "the duck ended";

  EXPECT_EQ(probe.Start(&timers, &m, 0, 0.5f), kDuckChannelSilent);
  ASSERT_EQ(m.PlayChannel(0, false), kSoundOk);
  m.StopBgm();
  EXPECT_EQ(probe.Start(&timers, &m, 0, 0.5f), kDuckNoMusic);
  EXPECT_EQ(timers.Count(), 0u) << "a refused duck was left with the timers";
}

using SavedState = ChannelWorld;

// Music with an intro, a looping static sound effect, a stream voice and an empty channel: the
// block is refused whole when short or corrupt, and loads into a manager in another state.
TEST_F(SavedState, RoundTripsMusicAndChannelsAndRefusesShortOrCorruptBlocks) {
  Ramp("BGM\\I.PCMT", 500, 1);
  Ramp("BGM\\M.PCMT", 1000, 9000);
  Ramp("SE.PCMT", 2000, 1);
  Ramp("VO.PCMT", 2000, 1);
  ASSERT_EQ(m.PlayBgm("BGM\\M.PCMT", "BGM\\I.PCMT", true), kSoundOk);
  m.SetBgmVolume(60, -1, false);
  m.SetBgmPan(-300);
  ASSERT_EQ(kSoundOk, m.SetChannelCount(3));
  ASSERT_EQ(kSoundOk, m.SetChannelKind(0, kSoundEffect));
  ASSERT_EQ(m.LoadChannel(0, "SE.PCMT", kLipSyncEnvelope, false), kSoundOk);
  ASSERT_EQ(kSoundOk, m.SetChannelVolume(0, 70, -1));
  ASSERT_EQ(kSoundOk, m.SetChannelPan(0, -500));
  ASSERT_EQ(0, m.PlayChannel(0, true));
  ASSERT_EQ(kSoundOk, m.SetChannelKind(1, kVoice));
  ASSERT_EQ(m.LoadChannel(1, "VO.PCMT", kLipSyncNone, true), kSoundOk);
  ASSERT_EQ(kSoundOk, m.SetChannelVolume(1, 40, -1));
  ASSERT_EQ(kSoundOk, m.SetChannelKind(2, kSystemSoundEffect));
  const std::vector<uint8_t> block = Save();
  const std::vector<uint8_t> golden = {
      0xD4, 0xFE, 0xFF, 0xFF,                                            // music pan -300
      11,   'B',  'G',  'M',  '\\', 'M',  '.',  'P',  'C', 'M', 'T', 0,  // the main part first
      11,   'B',  'G',  'M',  '\\', 'I',  '.',  'P',  'C', 'M', 'T', 0,  // then the intro
      60,   0,    0,    0,    1,                                         // volume, looped
      3,    0,    0,    0,                                               // channels
      2,    8,    'S',  'E',  '.',  'P',  'C',  'M',  'T', 0,   2,       // static, envelope
      70,   0,    0,    0,    0x0C, 0xFE, 0xFF, 0xFF, 1,   1,       // pan -500, looping, effect
      1,    8,    'V',  'O',  '.',  'P',  'C',  'M',  'T', 0,   0,  // stream
      40,   0,    0,    0,    0,    0,    0,    0,    0,   4,       // 40, centre, stopped, voice
      0,    100,  0,    0,    0,    0,    0,    0,    0,   0,   2,  // empty system sound effect
  };
  EXPECT_EQ(block, golden);

  EXPECT_EQ(m.LoadState(nullptr), kSoundStateRefused);
  ByteReader cut(block.data(), block.size() - 1);
  EXPECT_EQ(m.LoadState(&cut), kSoundStateRefused);
  EXPECT_EQ(cut.position(), 0u);
  // Offsets of fields in the block: pan 0, main name 4 (12 bytes), intro 16 (12), volume 28,
  // loop 32, count 33, channel 0 at 37: source, name (9 bytes), lip-sync 47, volume 48, pan 52,
  // looping 56, kind 57.
  struct Fault {
    const char* what;
    size_t at;
    uint8_t value;
  };
  const Fault faults[] = {
      {"a name without its zero", 15, 'X'},           {"a volume above 100", 28, 101},
      {"a channel count beyond the bytes", 34, 0x10}, {"an unknown source", 37, 3},
      {"a kind without a kind bit", 57, 8},
  };
  for (const Fault& f : faults) {
    std::vector<uint8_t> bad = block;
    ASSERT_LT(f.at, bad.size());
    bad[f.at] = f.value;
    ByteReader in(bad);
    EXPECT_EQ(m.LoadState(&in), kSoundStateRefused) << f.what;
  }
  EXPECT_EQ(std::tuple(m.IsBgmPlaying(), m.ChannelCount(), m.GetChannel(0)->volume, m.BgmPan()),
            std::tuple(true, 3, 70, -300));

  // Load into a manager in another state: other music, channels of other kinds and volumes.
  m.StopBgm();
  ASSERT_EQ(kSoundOk, m.SetChannelCount(1));
  SoundChannelManager other(&timers);
  other.SetDefaultFactor(2, 128);  // voices load at 128
  Ramp("OTHER.PCMT", 100, 1);
  EXPECT_EQ(0, other.PlayBgm("OTHER.PCMT", nullptr, false));
  ASSERT_EQ(kSoundOk, other.SetChannelCount(5));
  ASSERT_EQ(kSoundOk, other.SetChannelKind(1, kSoundEffect));
  ByteReader in(block);
  ASSERT_EQ(other.LoadState(&in), kSoundOk);
  EXPECT_TRUE(in.atEnd());

  // What the block holds comes back out byte for byte; what it does not hold is checked here.
  EXPECT_FALSE(other.OtherBgmTrack()->IsPlaying()) << "the other slot is silent";
  EXPECT_TRUE(other.IsChannelPlaying(0));
  EXPECT_EQ(other.GetChannel(1)->factor, 128) << "the kind is in force before the reload";

  std::vector<uint8_t> again;
  other.SaveState(again);
  EXPECT_EQ(again, block);
}

// The kind comes back before the reload: a looping voice saved while voices sound stays silent
// when it is loaded where voices are switched off, and keeps its saved volume and the voice
// default factor whatever kind the channel had before. Names of the longest savable length
// come back whole.
TEST_F(SavedState, TheSavedKindDecidesTheSwitchAndTheFactorAndLongestNamesRoundTrip) {
  const std::string name(kMaxSoundNameBytes, 'N');
  Ramp(name, 100, 1);
  ASSERT_EQ(m.PlayBgm(name.c_str(), nullptr, true), kSoundOk);
  ASSERT_EQ(kSoundOk, m.SetChannelCount(1));
  ASSERT_EQ(kSoundOk, m.SetChannelKind(0, kVoice));
  ASSERT_EQ(m.LoadChannel(0, name.c_str(), kLipSyncNone, false), kSoundOk);
  ASSERT_EQ(kSoundOk, m.SetChannelVolume(0, 70, -1));
  ASSERT_EQ(m.PlayChannel(0, true), kSoundOk);
  const std::vector<uint8_t> block = Save();
  EXPECT_EQ(block[4], 255) << "the music's name length byte";

  SoundChannelManager other(&timers);
  other.SetDefaultFactor(2, 128);  // voices load at 128
  ASSERT_EQ(kSoundOk, other.SetChannelCount(1));
  ASSERT_EQ(kSoundOk, other.SetChannelKind(0, kSoundEffect));
  other.SetKindEnabled(false, kVoice, false, false);
  ByteReader in(block);
  ASSERT_EQ(other.LoadState(&in), kSoundOk);
  const SoundChannel& voice = *other.GetChannel(0);
  EXPECT_EQ(std::tuple(*voice.fileName, *other.CurrentBgmTrack()->file), std::tuple(name, name));
  EXPECT_FALSE(other.IsChannelPlaying(0)) << "voices are switched off here";
  // Switching voices on restarts it.
  EXPECT_EQ(std::tuple(voice.playState, voice.volume, voice.factor),
            std::tuple(kChannelLooping, 70, 128));
  other.SetKindEnabled(true, kVoice, false, false);
  EXPECT_TRUE(other.IsChannelPlaying(0));
}

class BgmTasks : public ChannelWorld {
 protected:
  BgmTasks() {
    Ramp("OLD.PCMT", 4000, 1);
    Ramp("NEW.PCMT", 4000, 10000);
  }
  // Starts a task the way the natives do: a started one goes to the service.
  template <typename Task, typename... Args>
  int32_t Start(Task* task, Args... args) {
    std::unique_ptr<Task> owned(task);
    const int32_t r = owned->Start(&timers, &m, args...);
    if (r != kSoundOk) return r;
    const int32_t refused = owned->RefusedCode();
    return timers.HandOver(std::move(owned)) ? kSoundOk : refused;
  }
};

TEST_F(BgmTasks, FadeInStartsTheMusicSilentFadeOutStopsItAndRefusedStartsLeaveNoTask) {
  m.SetBgmVolume(80, -1, false);
  ASSERT_EQ(Start(new BgmFadeInTask(1000), m.CurrentBgmTrack(), "OLD.PCMT", nullptr, true),
            kSoundOk);
  EXPECT_EQ(std::tuple(m.IsBgmPlaying(), BgmStreamFactor()), std::tuple(true, 0));
  At(100, 600);
  EXPECT_EQ(m.CurrentBgmTrack()->volume, 40);
  EXPECT_EQ(Start(new BgmFadeInTask(1000), m.CurrentBgmTrack(), "old.pcmt", nullptr, true),
            kTaskAlreadyPlaying);
  EXPECT_EQ(m.CurrentBgmTrack()->volume, 80) << "the refused start removed the running fade";

  ASSERT_EQ(Start(new BgmFadeOutTask(400), m.CurrentBgmTrack()), kSoundOk);
  At(700, 1100);
  // The next music starts at the old volume.
  EXPECT_EQ(std::tuple(m.IsBgmPlaying(), m.CurrentBgmTrack()->volume, m.BgmFadeState()),
            std::tuple(false, 80, kNoFade));
  EXPECT_EQ(Start(new BgmFadeOutTask(400), m.CurrentBgmTrack()), kTaskNotPlaying);

  ASSERT_EQ(kSoundOk, m.SetBgmEnabled(false, false));
  EXPECT_EQ(Start(new BgmFadeInTask(1000), m.CurrentBgmTrack(), "OLD.PCMT", nullptr, true),
            kBgmSwitchedOff);
  EXPECT_EQ(m.CurrentBgmTrack()->volume, 80);

  // Channel fades refuse empty, silent or switched-off channels.
  Ramp("SE.PCMT", 8000, 1);
  ASSERT_EQ(kSoundOk, m.SetChannelCount(2));
  EXPECT_EQ(Start(new ChannelVolumeFadeTask(0, 100), 0), 2);
  EXPECT_EQ(Start(new ChannelFadeInTask(100), nullptr, 0, false, false), 3);

  ASSERT_EQ(m.LoadChannel(1, "SE.PCMT", kLipSyncNone, false), kSoundOk);
  ASSERT_EQ(kSoundOk, m.SetChannelVolume(1, 60, -1));
  m.SetKindEnabled(false, kSoundEffect, false, false);
  EXPECT_EQ(Start(new ChannelFadeInTask(100), nullptr, 1, false, false), kSwitchedOff);
  EXPECT_EQ(m.GetChannel(1)->volume, 60) << "the volume is as it was";
  m.SetKindEnabled(true, kSoundEffect, false, false);

  ASSERT_EQ(kSoundOk, m.StopChannel(1));
  EXPECT_EQ(Start(new ChannelFadeOutTask(100), 1), kTaskNotPlaying);
  EXPECT_EQ(timers.Count(), 0u) << "a refused task was left with the timers";
}

TEST_F(BgmTasks, CrossFadeStartsTheNewMusicAfterTheDelayAndEndsOnIt) {
  ASSERT_EQ(m.PlayBgm("OLD.PCMT", nullptr, true), kSoundOk);
  BgmTrack* oldTrack = m.CurrentBgmTrack();
  BgmTrack* newTrack = m.OtherBgmTrack();
  ASSERT_EQ(Start(new BgmCrossFadeTask(2000, 500), "NEW.PCMT", nullptr, true, 50), kSoundOk);
  EXPECT_EQ(m.CurrentBgmTrack(), oldTrack) << "the old music stays current while it fades";
  At(100, 1599);
  EXPECT_FALSE(newTrack->IsPlaying());
  At(1600);
  EXPECT_TRUE(newTrack->IsPlaying()) << "starts at 1500 ms";
  At(2100);
  EXPECT_EQ(std::tuple(oldTrack->IsPlaying(), oldTrack->volume), std::tuple(false, 100));
  At(3600);
  EXPECT_EQ(std::tuple(m.BgmFadeState(), m.CurrentBgmTrack(), newTrack->volume),
            std::tuple(kNoFade, newTrack, 50));
  EXPECT_EQ(Start(new BgmCrossFadeTask(100, 0), "new.pcmt", nullptr, false, -1),
            kTaskAlreadyPlaying);
}

// The seed corpus of the sound-state fuzz target is written by the channel manager's own save.
using SoundStateSeeds = ChannelWorld;

TEST_F(SoundStateSeeds, AreWhatTheManagerSaves) {
  test::FuzzSeeds seeds;
  seeds["silent"] = Save();
  Ramp("BGM\\I.PCMT", 100, 1);
  Ramp("BGM\\M.PCMT", 100, 1);
  Ramp("SE.PCMT", 100, 1);
  ASSERT_EQ(m.PlayBgm("BGM\\M.PCMT", "BGM\\I.PCMT", true), kSoundOk);
  m.SetBgmPan(-300);
  ASSERT_EQ(kSoundOk, m.SetChannelCount(3));
  ASSERT_EQ(m.LoadChannel(0, "SE.PCMT", kLipSyncEnvelope, false), kSoundOk);
  ASSERT_EQ(kSoundOk, m.SetChannelVolume(0, 70, -1));
  EXPECT_EQ(0, m.PlayChannel(0, true));
  ASSERT_EQ(kSoundOk, m.SetChannelKind(1, kVoice | kSoundEffect));
  ASSERT_EQ(m.LoadChannel(1, "SE.PCMT", kLipSyncNone, true), kSoundOk);
  seeds["music_and_channels"] = Save();
  const std::string longName(kMaxSoundNameBytes, 'N');
  Ramp(longName, 100, 1);
  ASSERT_EQ(m.LoadChannel(2, longName.c_str(), kLipSyncNone, false), kSoundOk);
  seeds["longest_name"] = Save();

  test::CheckOrWriteFuzzSeeds("sound_state", seeds);
}

}  // namespace
}  // namespace bw
