// The engine's sound buffer: one host sound buffer with a volume factor (256 = full volume), a
// counted pause, a lock and an optional volume fade run by a timer service. DirectSoundBuffer
// holds a whole decoded sound; StreamingSoundBuffer is fed by a thread of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "host/audio/sound_device.h"
#include "platform/lock.h"
#include "platform/timed_task.h"

namespace bw {

class TimerService;
class SoundBufferFadeTask;

constexpr int32_t kFullVolumeFactor = 256;

// Results of the base operations.
constexpr int32_t kSoundBufferOk = 0;
constexpr int32_t kNoSoundBuffer = 1;    // nothing loaded (SetPan and on)
constexpr int32_t kVolumeDeferred = -1;  // SetVolume without a buffer: kept for the next load
constexpr int32_t kVolumeRefused = 1;
constexpr int32_t kControlRefused = 2;  // SetPan, SetFrequency, GetFormat
constexpr int32_t kAdjustVolumeFailed = 2;
constexpr int32_t kAdjustPanFailed = 3;
constexpr int32_t kAdjustFrequencyFailed = 4;
constexpr int32_t kReadPanFailed = 2;
constexpr int32_t kReadFrequencyFailed = 3;
// Results of Play and PlayLoop, Pause, Resume and Stop beyond kNoSoundBuffer.
constexpr int32_t kPlayFailed = 2;
constexpr int32_t kPauseNotStarted = 2;  // or the host refused to stop
constexpr int32_t kPauseNotPlaying = 3;
constexpr int32_t kResumeNotPaused = 2;
constexpr int32_t kResumeFailed = 3;
constexpr int32_t kStopRefused = 2;
// Results of FadeIn.
constexpr int32_t kFadeStarted = 0;
constexpr int32_t kFadeSilent = -1;  // a factor of 0: plays (FadeIn) or pauses (FadeOut) at once
constexpr int32_t kFadeNoBufferOrService = 1;
constexpr int32_t kFadeInRunning = 2;
constexpr int32_t kFadeInResumeFailed = 3;
constexpr int32_t kFadeInPlayFailed = 4;
constexpr int32_t kFadeInNoTask = 5;
// Results of FadeOut.
constexpr int32_t kFadeOutNotPlaying = 2;
constexpr int32_t kFadeOutRunning = 3;
constexpr int32_t kFadeOutNoTask = 4;

constexpr uint8_t kFadeNone = 0;
constexpr uint8_t kFadingIn = 1;
constexpr uint8_t kFadingOut = 2;

// Fades step at most every 20 ms.
constexpr uint32_t kMinFadeStepMs = 20;

// The host volume of a factor: -10000 at 0 or below, else 2000 x log10(factor / 256) truncated.
int32_t VolumeOfFactor(int32_t factor);

class SoundBuffer {
 public:
  SoundBuffer() = default;
  // Subclasses close themselves; the base drops a running fade.
  virtual ~SoundBuffer();
  SoundBuffer(const SoundBuffer&) = delete;
  SoundBuffer& operator=(const SoundBuffer&) = delete;

  virtual host::SoundBuffer* GetDirectSoundBuffer() { return buffer_.get(); }
  virtual int32_t GetVolumeFactor() { return volumeFactor_; }
  virtual bool IsStreaming() = 0;
  virtual void Close() = 0;
  [[nodiscard]] virtual int32_t Play() = 0;
  [[nodiscard]] virtual int32_t PlayLoop() = 0;
  [[nodiscard]] virtual int32_t Pause() = 0;
  [[nodiscard]] virtual int32_t Resume() = 0;
  [[nodiscard]] virtual int32_t Stop() = 0;
  virtual uint32_t GetDataSize() = 0;
  virtual uint32_t GetLengthMs() = 0;
  [[nodiscard]] virtual int32_t SeekMs(uint32_t ms) = 0;
  virtual uint32_t GetPositionMs() = 0;
  virtual bool IsPlaying(uint32_t* playCursor, uint32_t* writeCursor) = 0;
  // Clamps to 0..256 and sets the host volume; without a buffer the factor waits for the load.
  [[nodiscard]] virtual int32_t SetVolume(int32_t factor);
  [[nodiscard]] virtual int32_t SetPan(int32_t pan);
  [[nodiscard]] virtual int32_t SetFrequency(uint32_t hz);
  [[nodiscard]] virtual int32_t Adjust(int32_t volumeDelta, int32_t panDelta,
                                       int32_t frequencyDelta);
  [[nodiscard]] virtual int32_t GetVolumePanFrequency(int32_t* factor, int32_t* pan,
                                                      uint32_t* frequency);
  [[nodiscard]] virtual int32_t GetFormat(uint16_t* channels, uint32_t* samplesPerSecond,
                                          uint16_t* bitsPerSample);

  // Raises the volume from silence to the current factor over durationMs while playing.
  [[nodiscard]] int32_t FadeIn(TimerService* timerService, uint32_t durationMs, bool loop);
  // Lowers it to silence and pauses; the factor comes back, so a later FadeIn resumes.
  [[nodiscard]] int32_t FadeOut(TimerService* timerService, uint32_t durationMs);
  void CancelFade();

  int32_t PauseCount() const { return pauseCount_; }
  uint8_t FadeState() const { return fadeState_; }

 protected:
  friend class SoundBufferFadeTask;

  bool HostPlaying() const;
  // The shared part of Pause, under the lock: the first pause stops the host buffer.
  [[nodiscard]] int32_t PauseHost();
  // Keeps the device playing across a stop of this buffer.
  void KeepDeviceAlive();
  // Registers a fade task stepping every durationMs / factor ms (at least 20).
  [[nodiscard]] bool StartFadeTask(TimerService* timerService, uint32_t durationMs, bool fadeIn);
  // The feeder thread may not touch the frame thread's timer service: it asks, and the fade's
  // next update ends the fade.
  void RequestFadeCancel() { fadeCancelRequested_.store(true, std::memory_order_release); }

  std::unique_ptr<host::SoundBuffer> buffer_;  // null while nothing is loaded
  int32_t volumeFactor_ = kFullVolumeFactor;
  int32_t pauseCount_ = 0;
  Lock lock_;
  uint8_t fadeState_ = kFadeNone;
  TimerService* fadeService_ = nullptr;
  SoundBufferFadeTask* fadeTask_ = nullptr;  // cleared by the task when it goes
  std::atomic<bool> fadeCancelRequested_{false};
};

// The fade-in and fade-out of a buffer's volume factor.
class SoundBufferFadeTask final : public TimedTask {
 public:
  SoundBufferFadeTask(SoundBuffer* buffer, uint32_t durationMs, bool fadeIn)
      : buffer_(buffer), durationMs_(durationMs), fadeIn_(fadeIn) {}
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  // Puts the saved factor back and ends the buffer's fade state.
  void Stop() override { Finish(); }

 private:
  void Finish();

  SoundBuffer* buffer_;
  uint32_t durationMs_;
  bool fadeIn_;
  bool firstCall_ = true;
  bool finished_ = false;
  uint32_t startMs_ = 0;
  int32_t savedFactor_ = 0;
};

}  // namespace bw
