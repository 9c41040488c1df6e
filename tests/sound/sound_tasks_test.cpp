#include "sound/sound_tasks.h"

#include <gtest/gtest.h>

#include "sound/sound_world.h"

namespace bw {
namespace {

using soundtest::ChannelWorld;

class BgmTasks : public ChannelWorld {
 protected:
  BgmTasks() {
    oldMusic = Ramp("OLD.PCMT", 4000, 1);
    newMusic = Ramp("NEW.PCMT", 4000, 10000);
  }
  // Starts a task the way the natives do: a refused one stays with its creator.
  template <typename Task, typename... Args>
  int32_t Start(Task* task, Args... args) {
    const int32_t r = task->Start(&timers, &m, args...);
    if (r != kSoundOk) delete task;
    return r;
  }
  std::vector<int16_t> oldMusic, newMusic;
};

TEST_F(BgmTasks, FadeInStartsTheMusicSilentAndFadeOutStopsIt) {
  m.SetBgmVolume(80, -1, false);
  ASSERT_EQ(Start(new BgmFadeInTask(1000), m.CurrentBgmTrack(), "OLD.PCMT", nullptr, true),
            kSoundOk);
  EXPECT_EQ(std::tuple(m.IsBgmPlaying(), BgmStreamFactor()), std::tuple(true, 0));
  At(100);
  At(600);
  EXPECT_EQ(m.CurrentBgmTrack()->volume, 40);
  EXPECT_EQ(Start(new BgmFadeInTask(1000), m.CurrentBgmTrack(), "old.pcmt", nullptr, true),
            kTaskAlreadyPlaying);
  EXPECT_EQ(m.CurrentBgmTrack()->volume, 80) << "the refused start removed the running fade";

  ASSERT_EQ(Start(new BgmFadeOutTask(400), m.CurrentBgmTrack()), kSoundOk);
  At(700);
  At(1100);
  // The next music starts at the old volume.
  EXPECT_EQ(std::tuple(m.IsBgmPlaying(), m.CurrentBgmTrack()->volume, m.BgmFadeState()),
            std::tuple(false, 80, kNoFade));
  EXPECT_EQ(Start(new BgmFadeOutTask(400), m.CurrentBgmTrack()), kTaskNotPlaying);

  m.SetBgmEnabled(false, false);
  EXPECT_EQ(Start(new BgmFadeInTask(1000), m.CurrentBgmTrack(), "OLD.PCMT", nullptr, true),
            kBgmSwitchedOff);
  EXPECT_EQ(m.CurrentBgmTrack()->volume, 80);
  m.SetBgmEnabled(true, false);
  m.StopBgm();
  EXPECT_EQ(Start(new BgmFadeInTask(1000), m.CurrentBgmTrack(), "MISSING", nullptr, true), 2);
  EXPECT_EQ(timers.Count(), 0u);
}

TEST_F(BgmTasks, CrossFadeStartsTheNewMusicAfterTheDelayAndEndsOnIt) {
  ASSERT_EQ(m.PlayBgm("OLD.PCMT", nullptr, true), kSoundOk);
  BgmTrack* oldTrack = m.CurrentBgmTrack();
  BgmTrack* newTrack = m.OtherBgmTrack();
  ASSERT_EQ(Start(new BgmCrossFadeTask(2000, 500), "NEW.PCMT", nullptr, true, 50), kSoundOk);
  EXPECT_EQ(m.CurrentBgmTrack(), oldTrack) << "the old music stays current while it fades";
  At(100);
  At(1599);
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
  EXPECT_EQ(Start(new BgmCrossFadeTask(100, 0), "MISSING", nullptr, false, -1), 2);
  EXPECT_EQ(m.CurrentBgmTrack(), newTrack) << "a refused open leaves the music as it was";
  EXPECT_TRUE(newTrack->IsPlaying());
}

class ChannelTasks : public BgmTasks {
 protected:
  ChannelTasks() {
    se = Ramp("SE.PCMT", 8000, 1);
    m.SetChannelCount(2);
  }
  std::vector<int16_t> se;
};

TEST_F(ChannelTasks, StartsRefuseEmptySilentOrSwitchedOffChannels) {
  EXPECT_EQ(Start(new ChannelVolumeFadeTask(0, 100), 0), 2);
  EXPECT_EQ(Start(new ChannelFadeInTask(100), nullptr, 0, false, false), 3);

  ASSERT_EQ(m.LoadChannel(1, "SE.PCMT", kLipSyncNone, false), kSoundOk);
  m.SetChannelVolume(1, 60, -1);
  m.SetKindEnabled(false, kSoundEffect, false, false);
  EXPECT_EQ(Start(new ChannelFadeInTask(100), nullptr, 1, false, false), kSwitchedOff);
  EXPECT_EQ(m.GetChannel(1)->volume, 60) << "the volume is as it was";
  m.SetKindEnabled(true, kSoundEffect, false, false);

  m.StopChannel(1);
  EXPECT_EQ(Start(new ChannelFadeOutTask(100), 1), kTaskNotPlaying);
  EXPECT_EQ(timers.Count(), 0u);
}

}  // namespace
}  // namespace bw
