// The timed changes of the music and of the channels: volume fades, fade-ins, fade-outs and the
// cross-fade between the two music slots. Each runs on a timer service, stepped every frame,
// until it reports that it has finished; its finish puts the end value in place once, also when
// the task is removed early.
#pragma once

#include <cstdint>

#include "platform/timed_task.h"
#include "sound/sound_channel_manager.h"

namespace bw {

// Results of the starts beyond kSoundOk.
constexpr int32_t kTaskNoTarget = 1;  // no timer service, manager or track
constexpr int32_t kTaskAlreadyPlaying = -1;
constexpr int32_t kTaskNotPlaying = -1;  // the music or channel was stopped at once instead

constexpr uint8_t kTaskNotUpdated = 0;
constexpr uint8_t kTaskRunning = 1;
constexpr uint8_t kTaskFinished = 2;

class SoundTask : public TimedTask {
 public:
  uint32_t GetKindId() const override { return kindId_; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) final;
  void Stop() final { Finish(); }
  TimerService* Service() const { return service_; }
  // What the start answers when the service refuses the task it prepared.
  int32_t RefusedCode() const { return refusedCode_; }

 protected:
  explicit SoundTask(uint32_t kindId, uint32_t durationMs)
      : durationMs_(durationMs), kindId_(kindId) {}

  // Ends a start that succeeded: the caller hands the task to service next.
  void Prepared(TimerService* service, int32_t refusedCode);
  // A task whose start succeeded but that no service took ends at once, as a zero duration
  // would: the final classes call it from their destructors, where End still reaches them.
  void EndIfNeverListed();
  // Whether what the task moves still plays.
  virtual bool Playing() = 0;
  // One step with 0 <= elapsed < duration.
  virtual void Step(uint32_t elapsedMs) = 0;
  // True when the task is done at elapsedMs; else takes one step.
  virtual bool Advance(uint32_t elapsedMs);
  // Puts the end value in place (once).
  virtual void End() = 0;
  // Ends the task unless it has ended.
  void Finish();

  uint32_t durationMs_;

 private:
  uint32_t kindId_;
  uint8_t state_ = kTaskNotUpdated;
  uint32_t startMs_ = 0;
  TimerService* service_ = nullptr;
  int32_t refusedCode_ = 0;
};

class BgmVolumeFadeTask final : public SoundTask {
 public:
  ~BgmVolumeFadeTask() override { EndIfNeverListed(); }
  BgmVolumeFadeTask(int32_t targetVolume, uint32_t durationMs);
  [[nodiscard]] int32_t Start(TimerService* timerService, SoundChannelManager* manager,
                              BgmTrack* track);

 private:
  bool Playing() override { return track_->IsPlaying(); }
  void Step(uint32_t elapsedMs) override;
  void End() override;

  int32_t target_;
  int32_t startVolume_ = 0;
  int32_t difference_ = 0;
  SoundChannelManager* manager_ = nullptr;
  BgmTrack* track_ = nullptr;
};

class BgmFadeInTask final : public SoundTask {
 public:
  ~BgmFadeInTask() override { EndIfNeverListed(); }
  explicit BgmFadeInTask(uint32_t durationMs) : SoundTask(kTaskKindMusicFade, durationMs) {}
  [[nodiscard]] int32_t Start(TimerService* timerService, SoundChannelManager* manager,
                              BgmTrack* track, const char* file, const char* introFile, bool loop);

 private:
  bool Playing() override { return track_->IsPlaying(); }
  void Step(uint32_t elapsedMs) override;
  void End() override;

  int32_t target_ = 0;
  SoundChannelManager* manager_ = nullptr;
  BgmTrack* track_ = nullptr;
};

class BgmFadeOutTask final : public SoundTask {
 public:
  ~BgmFadeOutTask() override { EndIfNeverListed(); }
  explicit BgmFadeOutTask(uint32_t durationMs) : SoundTask(kTaskKindMusicFade, durationMs) {}
  [[nodiscard]] int32_t Start(TimerService* timerService, SoundChannelManager* manager,
                              BgmTrack* track);

 private:
  bool Playing() override { return track_->IsPlaying(); }
  void Step(uint32_t elapsedMs) override;
  void End() override;

  int32_t saved_ = 0;
  SoundChannelManager* manager_ = nullptr;
  BgmTrack* track_ = nullptr;
};

// Fades the playing music out while the next one, on the other slot, fades in; the new music
// starts `overlap` ms before the old one has faded out.
class BgmCrossFadeTask final : public SoundTask {
 public:
  ~BgmCrossFadeTask() override { EndIfNeverListed(); }
  BgmCrossFadeTask(uint32_t durationMs, uint32_t overlapMs);
  // volume: the new music's, or -1 for the playing one's.
  [[nodiscard]] int32_t Start(TimerService* timerService, SoundChannelManager* manager,
                              const char* file, const char* introFile, bool loop, int32_t volume);

 private:
  bool Playing() override { return watched_->IsPlaying(); }
  // Fades the old part out, and stops it once faded.
  void Step(uint32_t elapsedMs) override;
  bool Advance(uint32_t elapsedMs) override;
  void End() override;
  void StartNewPart();

  uint32_t delayMs_;
  uint32_t totalMs_;
  int32_t newVolume_ = 0;
  int32_t oldVolume_ = 0;
  bool newStarted_ = false;
  bool oldFading_ = true;
  SoundChannelManager* manager_ = nullptr;
  BgmTrack* watched_ = nullptr;
  BgmTrack* oldTrack_ = nullptr;
  BgmTrack* newTrack_ = nullptr;
};

// The channel tasks hold the channel's buffer as it was at the start; unloading the channel
// removes them first.
class ChannelTask : public SoundTask {
 protected:
  using SoundTask::SoundTask;
  // False for a bad index or an empty channel.
  [[nodiscard]] bool Attach(SoundChannelManager* manager, int32_t channel);
  bool Playing() override { return buffer_->IsPlaying(nullptr, nullptr); }
  // Makes this the channel's fade task, in the given fade state.
  void Own(uint8_t fadeState);
  // Lets the channel go and clears its fade state.
  void Release();
  // Attached: the channel is there.
  void SetVolume(int32_t volume) { (void)manager_->SetChannelVolume(channel_, volume, -1); }

  SoundChannelManager* manager_ = nullptr;
  int32_t channel_ = 0;
  SoundBuffer* buffer_ = nullptr;
};

class ChannelVolumeFadeTask final : public ChannelTask {
 public:
  ~ChannelVolumeFadeTask() override { EndIfNeverListed(); }
  ChannelVolumeFadeTask(int32_t targetVolume, uint32_t durationMs);
  [[nodiscard]] int32_t Start(TimerService* timerService, SoundChannelManager* manager,
                              int32_t channel);

 private:
  void Step(uint32_t elapsedMs) override;
  void End() override;

  int32_t target_;
  int32_t startVolume_ = 0;
  int32_t difference_ = 0;
};

class ChannelFadeInTask final : public ChannelTask {
 public:
  ~ChannelFadeInTask() override { EndIfNeverListed(); }
  explicit ChannelFadeInTask(uint32_t durationMs) : ChannelTask(kTaskKindChannelFade, durationMs) {}
  [[nodiscard]] int32_t Start(TimerService* timerService, SoundChannelManager* manager,
                              const char* file, int32_t channel, bool loop, bool stream);

 private:
  void Step(uint32_t elapsedMs) override;
  void End() override;

  int32_t target_ = 0;
};

class ChannelFadeOutTask final : public ChannelTask {
 public:
  ~ChannelFadeOutTask() override { EndIfNeverListed(); }
  explicit ChannelFadeOutTask(uint32_t durationMs)
      : ChannelTask(kTaskKindChannelFade, durationMs) {}
  [[nodiscard]] int32_t Start(TimerService* timerService, SoundChannelManager* manager,
                              int32_t channel);

 private:
  void Step(uint32_t elapsedMs) override;
  void End() override;

  int32_t saved_ = 0;
};

}  // namespace bw
