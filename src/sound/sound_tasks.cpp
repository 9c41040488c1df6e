#include "sound/sound_tasks.h"

#include <algorithm>

#include "platform/timer_service.h"

namespace bw {

namespace {

// Results of the starts.
constexpr int32_t kBgmTaskNotRegistered = 2;
constexpr int32_t kFadeInPlayRefused = 2;
constexpr int32_t kFadeInNotRegistered = 3;
constexpr int32_t kCrossFadeOpenFailed = 2;
constexpr int32_t kCrossFadeNotRegistered = 3;
constexpr int32_t kChannelEmpty = 2;
constexpr int32_t kChannelTaskNotRegistered = 3;
constexpr int32_t kChannelFadeInLoadFailed = 2;
constexpr int32_t kChannelFadeInEmpty = 3;
constexpr int32_t kChannelFadeInPlayFailed = 4;
constexpr int32_t kChannelFadeInNotRegistered = 5;

void RemoveBgmFades(TimerService* service) {
  service->RemoveById(kTaskKindMusicFade);
  service->RemoveById(kTaskKindMusicCrossFade);
}

// part x elapsed / duration, for 0 <= elapsed < duration.
int32_t Share(int32_t part, uint32_t elapsedMs, uint32_t durationMs) {
  return static_cast<int32_t>(int64_t{part} * elapsedMs / durationMs);
}

}  // namespace

// ---- SoundTask ----

int32_t SoundTask::Update(uint32_t nowMs) {
  if (state_ == kTaskFinished) return kTaskStepFinished;
  if (state_ == kTaskNotUpdated) {
    startMs_ = nowMs;
    state_ = kTaskRunning;
  }
  if (!Advance(nowMs - startMs_)) return kTaskStepContinue;
  Finish();
  return kTaskStepFinished;
}

bool SoundTask::Advance(uint32_t elapsedMs) {
  // A duration of 0 ends at the first update, with the end value.
  if (!Playing() || elapsedMs >= durationMs_) return true;
  Step(elapsedMs);
  return false;
}

void SoundTask::Finish() {
  if (state_ == kTaskFinished) return;
  state_ = kTaskFinished;
  End();
}

void SoundTask::Prepared(TimerService* service, int32_t refusedCode) {
  service_ = service;
  refusedCode_ = refusedCode;
}

void SoundTask::EndIfNeverListed() {
  if (Handle() == 0 && service_ != nullptr) Finish();
}

// ---- Music ----

BgmVolumeFadeTask::BgmVolumeFadeTask(int32_t targetVolume, uint32_t durationMs)
    : SoundTask(kTaskKindMusicFade, durationMs),
      target_(std::clamp(targetVolume, 0, kFullVolume)) {}

int32_t BgmVolumeFadeTask::Start(TimerService* timerService, SoundChannelManager* manager,
                                 BgmTrack* track) {
  if (timerService == nullptr || manager == nullptr || track == nullptr) return kTaskNoTarget;
  RemoveBgmFades(timerService);
  manager_ = manager;
  track_ = track;
  startVolume_ = track->volume;
  difference_ = startVolume_ - target_;
  Prepared(timerService, kBgmTaskNotRegistered);
  manager->SetBgmFadeState(kVolumeFading);
  return kSoundOk;
}

void BgmVolumeFadeTask::Step(uint32_t elapsedMs) {
  manager_->SetBgmVolume(startVolume_ - Share(difference_, elapsedMs, durationMs_), -1, true);
}

void BgmVolumeFadeTask::End() {
  manager_->SetBgmVolume(target_, -1, true);
  manager_->SetBgmFadeState(kNoFade);
}

int32_t BgmFadeInTask::Start(TimerService* timerService, SoundChannelManager* manager,
                             BgmTrack* track, const char* file, const char* introFile, bool loop) {
  if (timerService == nullptr || manager == nullptr || track == nullptr) return kTaskNoTarget;
  RemoveBgmFades(timerService);
  if (track->Holds(file, introFile) && track->IsPlaying()) return kTaskAlreadyPlaying;
  manager_ = manager;
  track_ = track;
  target_ = track->volume;
  manager->SetBgmVolume(0, -1, true);
  const int32_t played = manager->PlayBgm(file, introFile, loop);
  if (played != kSoundOk) {
    manager->SetBgmVolume(target_, -1, true);
    return played > 0 ? kFadeInPlayRefused : played;
  }
  Prepared(timerService, kFadeInNotRegistered);
  manager->SetBgmFadeState(kFadeIn);
  return kSoundOk;
}

void BgmFadeInTask::Step(uint32_t elapsedMs) {
  manager_->SetBgmVolume(Share(target_, elapsedMs, durationMs_), -1, true);
}

void BgmFadeInTask::End() {
  manager_->SetBgmVolume(target_, -1, true);
  manager_->SetBgmFadeState(kNoFade);
}

int32_t BgmFadeOutTask::Start(TimerService* timerService, SoundChannelManager* manager,
                              BgmTrack* track) {
  if (timerService == nullptr || manager == nullptr || track == nullptr) return kTaskNoTarget;
  RemoveBgmFades(timerService);
  if (!track->IsPlaying()) {
    manager->StopBgm();
    return kTaskNotPlaying;
  }
  manager_ = manager;
  track_ = track;
  saved_ = track->volume;
  Prepared(timerService, kBgmTaskNotRegistered);
  manager->SetBgmFadeState(kFadeOut);
  return kSoundOk;
}

void BgmFadeOutTask::Step(uint32_t elapsedMs) {
  manager_->SetBgmVolume(saved_ - Share(saved_, elapsedMs, durationMs_), -1, true);
}

void BgmFadeOutTask::End() {
  {
    ScopedLock hold(manager_->GetLock());
    manager_->CloseBgmTrack(*manager_->CurrentBgmTrack());
  }
  // The next music starts at the volume from before the fade.
  manager_->SetBgmVolume(saved_, -1, true);
  manager_->SetBgmFadeState(kNoFade);
}

// ---- The cross-fade ----

BgmCrossFadeTask::BgmCrossFadeTask(uint32_t durationMs, uint32_t overlapMs)
    : SoundTask(kTaskKindMusicCrossFade, durationMs),
      delayMs_(durationMs - std::min(durationMs, overlapMs)),
      totalMs_(static_cast<uint32_t>(std::min<uint64_t>(
          uint64_t{durationMs} * 2 - std::min(durationMs, overlapMs), UINT32_MAX))) {}

int32_t BgmCrossFadeTask::Start(TimerService* timerService, SoundChannelManager* manager,
                                const char* file, const char* introFile, bool loop,
                                int32_t volume) {
  if (timerService == nullptr || manager == nullptr) return kTaskNoTarget;
  RemoveBgmFades(timerService);
  ScopedLock hold(manager->GetLock());
  BgmTrack* current = manager->CurrentBgmTrack();
  if (current->Holds(file, introFile) && current->IsPlaying()) return kTaskAlreadyPlaying;
  if (file == nullptr || NameTooLong(file) || (introFile && NameTooLong(introFile))) {
    return kCrossFadeOpenFailed;
  }
  manager_ = manager;
  newVolume_ = volume >= 0 ? std::min(volume, kFullVolume) : current->volume;
  oldVolume_ = current->volume;
  oldTrack_ = watched_ = current;

  manager->SwapBgmTrack();
  newTrack_ = manager->CurrentBgmTrack();
  manager->CloseBgmTrack(*newTrack_);
  manager->SetBgmTrackVolume(*newTrack_, 0);
  const bool withIntro = introFile && *introFile;
  bool openFailed = false;
  if (manager->BgmMaySound()) {
    const int32_t opened =
        withIntro ? newTrack_->stream.Open(introFile, file) : newTrack_->stream.Open(file, nullptr);
    openFailed = opened > 0;
  }
  if (!openFailed) {
    if (withIntro) newTrack_->intro = introFile;
    newTrack_->file = file;
    newTrack_->loop = loop;
    (void)newTrack_->stream.SetPan(manager->BgmPan());  // without the control: centred
  }
  if (!manager->BgmMaySound()) {
    // The new music stays current: switching music on starts it.
    manager->SetBgmTrackVolume(*newTrack_, newVolume_);
    return kBgmSwitchedOff;
  }
  manager->SwapBgmTrack();
  if (openFailed) return kCrossFadeOpenFailed;
  Prepared(timerService, kCrossFadeNotRegistered);
  manager->SetBgmFadeState(kCrossFading);
  return kSoundOk;
}

void BgmCrossFadeTask::StartNewPart() {
  if (newTrack_->loop) {
    // A buffer that does not start stays silent and is played again on the next command.
    (void)newTrack_->stream.PlayLoop();
  } else {
    // A buffer that does not start stays silent and is played again on the next command.
    (void)newTrack_->stream.Play();
  }
  newStarted_ = true;
  watched_ = newTrack_;
}

bool BgmCrossFadeTask::Advance(uint32_t elapsedMs) {
  if (newStarted_) {
    if (elapsedMs - delayMs_ < durationMs_) {
      manager_->SetBgmTrackVolume(*newTrack_, Share(newVolume_, elapsedMs - delayMs_, durationMs_));
    }
  } else if (elapsedMs >= delayMs_) {
    StartNewPart();
  }
  if (Playing() && elapsedMs < totalMs_) {
    Step(elapsedMs);
    return false;
  }
  // Old music that ended before the new part was due must not leave the new one unplayed.
  if (!newStarted_) StartNewPart();
  return true;
}

void BgmCrossFadeTask::Step(uint32_t elapsedMs) {
  if (!oldFading_) return;
  if (elapsedMs < durationMs_) {
    manager_->SetBgmTrackVolume(*oldTrack_, oldVolume_ - Share(oldVolume_, elapsedMs, durationMs_));
    return;
  }
  {
    ScopedLock hold(manager_->GetLock());
    manager_->CloseBgmTrack(*oldTrack_);
  }
  manager_->SetBgmTrackVolume(*oldTrack_, oldVolume_);
  oldFading_ = false;
}

void BgmCrossFadeTask::End() {
  ScopedLock hold(manager_->GetLock());
  manager_->CloseBgmTrack(*oldTrack_);
  manager_->SetBgmTrackVolume(*oldTrack_, oldVolume_);
  if (manager_->CurrentBgmTrack() != newTrack_) manager_->SwapBgmTrack();
  manager_->SetBgmTrackVolume(*newTrack_, newVolume_);
  manager_->SetBgmFadeState(kNoFade);
}

// ---- Channels ----

bool ChannelTask::Attach(SoundChannelManager* manager, int32_t channel) {
  SoundChannel* c = manager->GetChannel(channel);
  if (c == nullptr || c->loaded == nullptr) return false;
  manager_ = manager;
  channel_ = channel;
  buffer_ = c->loaded;
  return true;
}

void ChannelTask::Own(uint8_t fadeState) {
  SoundChannel* c = manager_->GetChannel(channel_);
  c->fadeTask = this;
  SetOwnerSlot(&c->fadeTask);
  c->fadeState = fadeState;
}

void ChannelTask::Release() {
  ClearOwnerSlot();
  manager_->SetChannelFadeState(channel_, kNoFade);
}

ChannelVolumeFadeTask::ChannelVolumeFadeTask(int32_t targetVolume, uint32_t durationMs)
    : ChannelTask(kTaskKindChannelFade, durationMs),
      target_(std::clamp(targetVolume, 0, kFullVolume)) {}

int32_t ChannelVolumeFadeTask::Start(TimerService* timerService, SoundChannelManager* manager,
                                     int32_t channel) {
  if (timerService == nullptr || manager == nullptr) return kTaskNoTarget;
  if (!Attach(manager, channel)) return kChannelEmpty;
  SoundChannel& c = *manager->GetChannel(channel);
  manager->RemoveChannelFade(c);
  startVolume_ = c.volume;
  difference_ = startVolume_ - target_;
  Prepared(timerService, kChannelTaskNotRegistered);
  Own(kVolumeFading);
  return kSoundOk;
}

void ChannelVolumeFadeTask::Step(uint32_t elapsedMs) {
  SetVolume(startVolume_ - Share(difference_, elapsedMs, durationMs_));
}

void ChannelVolumeFadeTask::End() {
  SetVolume(target_);
  Release();
}

int32_t ChannelFadeInTask::Start(TimerService* timerService, SoundChannelManager* manager,
                                 const char* file, int32_t channel, bool loop, bool stream) {
  if (timerService == nullptr || manager == nullptr) return kTaskNoTarget;
  if (file && manager->LoadChannel(channel, file, kLipSyncNone, stream) != kSoundOk) {
    return kChannelFadeInLoadFailed;
  }
  if (!Attach(manager, channel)) return kChannelFadeInEmpty;
  SoundChannel& c = *manager->GetChannel(channel);
  manager->RemoveChannelFade(c);
  target_ = c.volume;
  SetVolume(0);
  const int32_t played = manager->PlayChannel(channel, loop);
  if (played != kSoundOk) {
    SetVolume(target_);
    return played > 0 ? kChannelFadeInPlayFailed : played;
  }
  Prepared(timerService, kChannelFadeInNotRegistered);
  Own(kFadeIn);
  return kSoundOk;
}

void ChannelFadeInTask::Step(uint32_t elapsedMs) {
  SetVolume(Share(target_, elapsedMs, durationMs_));
}

void ChannelFadeInTask::End() {
  SetVolume(target_);
  Release();
}

int32_t ChannelFadeOutTask::Start(TimerService* timerService, SoundChannelManager* manager,
                                  int32_t channel) {
  if (timerService == nullptr || manager == nullptr) return kTaskNoTarget;
  if (!Attach(manager, channel)) return kChannelEmpty;
  manager->RemoveChannelFade(*manager->GetChannel(channel));
  if (!manager->IsChannelPlaying(channel)) {
    (void)manager->StopChannel(channel);  // attached: the channel is there
    return kTaskNotPlaying;
  }
  saved_ = manager->GetChannel(channel)->volume;
  Prepared(timerService, kChannelTaskNotRegistered);
  Own(kFadeOut);
  return kSoundOk;
}

void ChannelFadeOutTask::Step(uint32_t elapsedMs) {
  SetVolume(saved_ - Share(saved_, elapsedMs, durationMs_));
}

void ChannelFadeOutTask::End() {
  ClearOwnerSlot();  // the stop must not remove this task again
  // Attached: the channel is there.
  (void)manager_->StopChannel(channel_);
  SetVolume(saved_);
  Release();
}

}  // namespace bw
