#include "sound/sound_buffer.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "common/global.h"
#include "common/gone_notice.h"
#include "platform/rect.h"
#include "platform/timer_service.h"
#include "sound/direct_sound_device.h"

namespace bw {

int32_t VolumeOfFactor(int32_t factor) {
  if (factor <= 0) return host::kVolumeMin;
  factor = std::min(factor, kFullVolumeFactor);
  return static_cast<int32_t>(2000.0 * std::log10(factor / 256.0));
}

SoundBuffer::~SoundBuffer() {
  NotifyGone(this);
  CancelFade();
}

bool SoundBuffer::HostPlaying() const {
  uint32_t status = 0;
  return buffer_ && buffer_->GetStatus(&status) == host::kSoundOk &&
         (status & host::kStatusPlaying) != 0;
}

void SoundBuffer::KeepDeviceAlive() {
  if (DirectSoundDevice* device = Global<DirectSoundDevice>::Get())
    (void)device->KeepAlive(buffer_.get());  // without it the device may pause with this one
}

int32_t SoundBuffer::PauseHost() {
  ScopedLock guard(lock_);
  if (pauseCount_ == 0) {
    if (!HostPlaying()) return kPauseNotPlaying;
    KeepDeviceAlive();
    if (buffer_->Stop() != host::kSoundOk) return kPauseNotStarted;
  }
  ++pauseCount_;
  return kSoundBufferOk;
}

int32_t SoundBuffer::SetVolume(int32_t factor) {
  ScopedLock guard(lock_);
  volumeFactor_ = std::clamp(factor, 0, kFullVolumeFactor);
  if (!buffer_) return kVolumeDeferred;
  return buffer_->SetVolume(VolumeOfFactor(volumeFactor_)) == host::kSoundOk ? kSoundBufferOk
                                                                             : kVolumeRefused;
}

int32_t SoundBuffer::SetPan(int32_t pan) {
  ScopedLock guard(lock_);
  if (!buffer_) return kNoSoundBuffer;
  return buffer_->SetPan(pan) == host::kSoundOk ? kSoundBufferOk : kControlRefused;
}

int32_t SoundBuffer::SetFrequency(uint32_t hz) {
  ScopedLock guard(lock_);
  if (!buffer_) return kNoSoundBuffer;
  return buffer_->SetFrequency(hz) == host::kSoundOk ? kSoundBufferOk : kControlRefused;
}

int32_t SoundBuffer::Adjust(int32_t volumeDelta, int32_t panDelta, int32_t frequencyDelta) {
  ScopedLock guard(lock_);
  if (!buffer_) return kNoSoundBuffer;
  if (volumeDelta != 0 && SetVolume(ClampedSum(volumeFactor_, volumeDelta)) != kSoundBufferOk) {
    return kAdjustVolumeFailed;
  }
  if (panDelta != 0) {
    int32_t pan = 0;
    if (buffer_->GetPan(&pan) != host::kSoundOk) return kAdjustPanFailed;
    pan = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{pan} + panDelta, host::kPanLeft, host::kPanRight));
    if (buffer_->SetPan(pan) != host::kSoundOk) return kAdjustPanFailed;
  }
  if (frequencyDelta != 0) {
    uint32_t hz = 0;
    if (buffer_->GetFrequency(&hz) != host::kSoundOk) return kAdjustFrequencyFailed;
    hz = static_cast<uint32_t>(std::clamp<int64_t>(int64_t{hz} + frequencyDelta,
                                                   host::kFrequencyMin, host::kFrequencyMax));
    if (buffer_->SetFrequency(hz) != host::kSoundOk) return kAdjustFrequencyFailed;
  }
  return kSoundBufferOk;
}

int32_t SoundBuffer::GetVolumePanFrequency(int32_t* factor, int32_t* pan, uint32_t* frequency) {
  ScopedLock guard(lock_);
  if (factor) *factor = volumeFactor_;
  if (!buffer_) return kNoSoundBuffer;
  if (pan && buffer_->GetPan(pan) != host::kSoundOk) return kReadPanFailed;
  if (frequency && buffer_->GetFrequency(frequency) != host::kSoundOk) return kReadFrequencyFailed;
  return kSoundBufferOk;
}

int32_t SoundBuffer::GetFormat(uint16_t* channels, uint32_t* samplesPerSecond,
                               uint16_t* bitsPerSample) {
  ScopedLock guard(lock_);
  if (!buffer_) return kNoSoundBuffer;
  host::WaveFormat f;
  if (buffer_->GetFormat(&f) != host::kSoundOk) return kControlRefused;
  if (channels) *channels = f.channels;
  if (samplesPerSecond) *samplesPerSecond = f.samplesPerSec;
  if (bitsPerSample) *bitsPerSample = f.bitsPerSample;
  return kSoundBufferOk;
}

int32_t SoundBuffer::FadeIn(TimerService* timerService, uint32_t durationMs, bool loop) {
  ScopedLock guard(lock_);
  if (!buffer_ || timerService == nullptr) return kFadeNoBufferOrService;
  if (fadeState_ == kFadingIn) return kFadeInRunning;
  if (fadeState_ == kFadingOut) CancelFade();
  fadeCancelRequested_.store(false, std::memory_order_release);
  // A buffer made without the volume control keeps its level.
  (void)buffer_->SetVolume(host::kVolumeMin);  // the factor itself stays: it is the target
  const bool paused = pauseCount_ > 0;
  if (paused) pauseCount_ = 1;
  // A streaming buffer that restarts waits for its feeder, which takes this lock.
  guard.Unlock();
  const int32_t started = paused ? Resume() : loop ? PlayLoop() : Play();
  guard.Relock();
  // The factor stays either way; a buffer without the volume control keeps its level.
  if (started != kSoundBufferOk) {
    (void)SetVolume(volumeFactor_);
    return paused ? kFadeInResumeFailed : kFadeInPlayFailed;
  }
  if (volumeFactor_ == 0) return kFadeSilent;
  if (!StartFadeTask(timerService, durationMs, true)) {
    (void)SetVolume(volumeFactor_);
    return kFadeInNoTask;
  }
  return kFadeStarted;
}

int32_t SoundBuffer::FadeOut(TimerService* timerService, uint32_t durationMs) {
  ScopedLock guard(lock_);
  if (!buffer_ || timerService == nullptr) return kFadeNoBufferOrService;
  if (!HostPlaying()) return kFadeOutNotPlaying;
  if (fadeState_ == kFadingOut) return kFadeOutRunning;
  if (fadeState_ == kFadingIn) CancelFade();
  fadeCancelRequested_.store(false, std::memory_order_release);
  if (volumeFactor_ == 0) {
    (void)Pause();  // silent already: a buffer the host will not stop goes unheard
    return kFadeSilent;
  }
  return StartFadeTask(timerService, durationMs, false) ? kFadeStarted : kFadeOutNoTask;
}

bool SoundBuffer::StartFadeTask(TimerService* timerService, uint32_t durationMs, bool fadeIn) {
  std::unique_ptr<SoundBufferFadeTask> owned(new (std::nothrow)
                                                 SoundBufferFadeTask(this, durationMs, fadeIn));
  if (owned == nullptr) return false;
  SoundBufferFadeTask* task = owned.get();
  // Steps no finer than one factor unit.
  const uint32_t step = std::max(durationMs / static_cast<uint32_t>(volumeFactor_), kMinFadeStepMs);
  if (timerService->Add(std::move(owned), 0, step, 0) != kTaskAdded) return false;
  fadeState_ = fadeIn ? kFadingIn : kFadingOut;
  fadeTask_ = task;
  task->SetOwnerSlot(&fadeTask_);
  fadeService_ = timerService;
  return true;
}

void SoundBuffer::CancelFade() {
  ScopedLock guard(lock_);
  // A task that ended on its own is gone already.
  if (fadeTask_ && fadeService_) (void)fadeService_->RemoveByHandle(fadeTask_->Handle());
  fadeTask_ = nullptr;
}

int32_t SoundBufferFadeTask::Update(uint32_t nowMs) {
  SoundBuffer& b = *buffer_;
  ScopedLock guard(b.lock_);
  const uint8_t state = fadeIn_ ? kFadingIn : kFadingOut;
  if (b.fadeState_ != state || b.fadeCancelRequested_.exchange(false)) {
    Finish();
    return kTaskStepFinished;
  }
  if (firstCall_) {
    firstCall_ = false;
    startMs_ = nowMs;
    savedFactor_ = b.volumeFactor_;
  }
  const int64_t f = savedFactor_;
  const uint32_t elapsed = nowMs - startMs_;
  // A fade of no duration is at its end at once.
  const int64_t moved = elapsed >= durationMs_ ? f : int64_t{elapsed} * f / durationMs_;
  // The steps set the factor either way; a buffer without the volume control keeps its level,
  // and one that ended has no pause to take.
  if (fadeIn_) {
    if (!b.HostPlaying() || moved >= f) {
      Finish();
      return kTaskStepFinished;
    }
    if (moved != b.volumeFactor_) (void)b.SoundBuffer::SetVolume(static_cast<int32_t>(moved));
    return kTaskStepContinue;
  }
  const int64_t v = f - moved;
  if (!b.HostPlaying() || v <= 0) {
    (void)b.SoundBuffer::SetVolume(0);
    (void)b.Pause();
    Finish();
    return kTaskStepFinished;
  }
  if (v != b.volumeFactor_) (void)b.SoundBuffer::SetVolume(static_cast<int32_t>(v));
  return kTaskStepContinue;
}

void SoundBufferFadeTask::Finish() {
  if (finished_) return;
  finished_ = true;
  SoundBuffer& b = *buffer_;
  ScopedLock guard(b.lock_);
  if (firstCall_) savedFactor_ = b.volumeFactor_;
  // Always re-applied: a fade-in stopped before its first step left the host volume silent. A
  // buffer without the volume control keeps its level.
  (void)b.SoundBuffer::SetVolume(savedFactor_);
  b.fadeState_ = kFadeNone;
}

}  // namespace bw
