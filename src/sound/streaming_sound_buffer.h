// A long sound played without decoding it whole: a ring of four seconds in one host buffer, kept
// filled by a feeder thread of its own from an optional first stream that plays once and then a
// stream that loops. The feeder wakes on position notifications, or polls by the host clock.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/event.h"
#include "platform/worker_thread.h"
#include "sound/sound_buffer.h"
#include "sound/sound_decoder.h"

namespace bw {

class DirectSoundDevice;

// Results of Open.
constexpr int32_t kStreamOpened = 0;
constexpr int32_t kStreamWithoutControls = -1;  // volume control only
// Subtracted from the result when the notification positions are refused: the feeder polls.
constexpr int32_t kStreamNotifyRefused = 4;
constexpr int32_t kStreamNoDevice = 1;
constexpr int32_t kStreamNoDecoder = 2;  // for the file, or its format has no byte rate
constexpr int32_t kStreamNoLoopDecoder = 3;
constexpr int32_t kStreamLoopMismatch = 4;  // the loop file's format differs from the first's
constexpr int32_t kStreamNoBuffer = 5;
// Results of Start (Play, PlayLoop).
constexpr int32_t kStartLockFailed = 2;
constexpr int32_t kStartDecoderOverran = 3;
constexpr int32_t kStartUnlockFailed = 4;
constexpr int32_t kStartPlayFailed = 5;
constexpr int32_t kStartThreadFailed = 6;
// Results of Refill.
constexpr int32_t kRefillNotMoved = -1;
constexpr int32_t kRefillDone = 0;   // or too early
constexpr int32_t kRefillAtEnd = 1;  // the decoder is at its end
constexpr int32_t kRefillLockFailed = 2;
constexpr int32_t kRefillNoMemory = 3;
constexpr int32_t kRefillUnlockFailed = 4;
// Refill modes.
constexpr int32_t kRefillNormal = 0;
constexpr int32_t kRefillFirstOfTwo = 1;
constexpr int32_t kRefillFirstOnLoop = 2;
// Results of SeekMs beyond kNoSoundBuffer.
constexpr int32_t kStreamSeekRefused = 3;
constexpr int32_t kStreamSeekRestartFailed = 4;

constexpr uint32_t kRingSeconds = 4;
// The polling feeder never sleeps longer than an eighth of the ring.
constexpr uint32_t kMaxPollSleepMs = 1000 * kRingSeconds / 8;

class StreamingSoundBuffer final : public SoundBuffer {
 public:
  // A device given here becomes the process-wide one.
  explicit StreamingSoundBuffer(DirectSoundDevice* device = nullptr);
  ~StreamingSoundBuffer() override;

  // Whether new buffers ask for position notifications (the application's sound setting).
  static void SetUseNotifications(bool use);
  static bool UseNotifications();
  // How long the polling feeder sleeps: until the play cursor reaches the next eighth of the
  // ring, at least 1 ms and at most kMaxPollSleepMs.
  static uint32_t PollSleepMs(uint32_t ringBytes, uint32_t bytesPerSecond, uint32_t playCursor);

  // file plays first; loopFile, when given, follows it and is the part that loops.
  [[nodiscard]] int32_t Open(const char* file, const char* loopFile);
  // Plays a decoder made elsewhere (a movie's sound); the buffer takes its own reference.
  [[nodiscard]] int32_t OpenDecoder(SoundDecoderStream* stream);
  [[nodiscard]] int32_t Start();

  bool IsStreaming() override { return true; }
  void Close() override;
  [[nodiscard]] int32_t Play() override;
  [[nodiscard]] int32_t PlayLoop() override;
  [[nodiscard]] int32_t Pause() override;
  [[nodiscard]] int32_t Resume() override;
  [[nodiscard]] int32_t Stop() override;
  uint32_t GetDataSize() override;
  uint32_t GetLengthMs() override;
  [[nodiscard]] int32_t SeekMs(uint32_t ms) override;
  uint32_t GetPositionMs() override;
  // playCursor gets the feeder's last reading of the play cursor, writeCursor the refill's.
  bool IsPlaying(uint32_t* playCursor, uint32_t* writeCursor) override;

  // One refill of the ring behind the play cursor; the feeder thread's work.
  [[nodiscard]] int32_t Refill(SoundDecoderStream* decoder, int32_t mode);

  uint32_t RingBytes() const { return ring_; }
  bool NotificationMode() const { return notifyMode_; }
  bool FeederRunning() const { return feeder_.IsRunning(); }

 private:
  class Feeder final : public WorkerThread {
   public:
    explicit Feeder(StreamingSoundBuffer* owner) : owner_(owner) {}
    ~Feeder() override { (void)Stop(); }  // one that cannot be joined is left detached

    void Run() override { owner_->FeedBody(); }

   private:
    StreamingSoundBuffer* owner_;
  };
  class EventTarget final : public host::NotifyTarget {
   public:
    explicit EventTarget(StreamingSoundBuffer* owner) : owner_(owner) {}
    void Notify() override {
      owner_->asked_.fetch_add(1, std::memory_order_acq_rel);
      owner_->event_.Set();
    }
    void AwaitServed() override { owner_->AwaitRefill(); }

   private:
    StreamingSoundBuffer* owner_;
  };

  // The ring and the host buffer for the decoders in place.
  [[nodiscard]] int32_t MakeRing(DirectSoundDevice* device);
  void FeedBody();
  // Feeds from stream, which loops or ends at wrapBytes of the whole sound; first bytes are
  // those of the first stream before it (0 for a single stream).
  void FeedLoop(SoundDecoderStream* stream, uint64_t firstBytes, uint64_t totalBytes);
  // Adds the play cursor's advance to the position; with wrap set, a position at or past the
  // total goes back into the looped part.
  void CountPosition(bool wrap, uint64_t firstBytes, uint64_t totalBytes);
  void WaitForRoom();
  // Waits, within a bound, until the feeder has refilled after every notification so far.
  void AwaitRefill();
  void MarkServed(uint64_t asked);
  void StopFeeder();
  // Fills the shortfall at the write position with silence.
  void PadShortfall();
  // Stops the host buffer and rewinds everything. From the feeder, a fade is only asked to end.
  [[nodiscard]] int32_t Reset(bool fromFeeder);
  uint8_t Silence() const;
  uint32_t BlockAlign() const;

  SoundDecoderStream* first_ = nullptr;  // held references
  SoundDecoderStream* loop_ = nullptr;
  uint32_t bytesPerSecond_ = 0;
  uint32_t ring_ = 0;
  uint64_t position_ = 0;  // bytes of the whole sound the play cursor has passed, under lock_
  host::WaveFormat format_;
  std::atomic<bool> loopFlag_{false};  // set by the frame thread, read by the feeder
  bool notifyMode_ = false;
  Event event_;
  EventTarget eventTarget_{this};
  // Notifications delivered, and how many of them the feeder has refilled after.
  std::atomic<uint64_t> asked_{0};
  std::atomic<uint64_t> served_{0};
  uint64_t wokenAt_ = 0;  // the feeder's: asked_ when it last woke
  Event servedEvent_;
  uint32_t lastRefillPlay_ = 0;  // under lock_, like the three below
  uint32_t writePosition_ = 0;
  uint32_t shortfall_ = 0;
  uint32_t lastCountPlay_ = 0;
  uint64_t deliveredSinceRewind_ = 0;  // bytes the current stream gave since it started over
  Feeder feeder_{this};
};

}  // namespace bw
