// The seed corpus of the sound-state fuzz target is written by the channel manager's own save.
#include <gtest/gtest.h>

#include "sound/sound_world.h"
#include "support/fuzz_seeds.h"

namespace bw {
namespace {

using SoundStateSeeds = soundtest::ChannelWorld;

TEST_F(SoundStateSeeds, AreWhatTheManagerSaves) {
  test::FuzzSeeds seeds;
  seeds["silent"] = Save();
  Ramp("BGM\\I.PCMT", 100, 1);
  Ramp("BGM\\M.PCMT", 100, 1);
  Ramp("SE.PCMT", 100, 1);
  ASSERT_EQ(m.PlayBgm("BGM\\M.PCMT", "BGM\\I.PCMT", true), kSoundOk);
  m.SetBgmPan(-300);
  m.SetChannelCount(3);
  ASSERT_EQ(m.LoadChannel(0, "SE.PCMT", kLipSyncEnvelope, false), kSoundOk);
  m.SetChannelVolume(0, 70, -1);
  m.PlayChannel(0, true);
  m.SetChannelKind(1, kVoice | kSoundEffect);
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
