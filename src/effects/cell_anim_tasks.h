// The tasks that step a cell image: through its cells by the clock (FrameAnimTask), or by the
// loudness of a playing sound so that a mouth follows a voice (AmplitudeCellTask).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "effects/anim_task.h"

namespace bw {

class CellImage;
class DirectSoundBuffer;
class ImageSurface;
class Sprite;
class SubtractiveRandom;
class TimerService;

// Results of FrameAnimTask::Setup.
constexpr int kFrameAnimSetUp = 0;
constexpr int kFrameAnimBadArgument = 1;  // no timers or image, no default target, no cells
constexpr int kFrameAnimRefused = 2;      // the target has no surface, or the service refused
// Results of MoveTo and SaveBackground.
constexpr int kFrameAnimNoImage = 1;

// Results of AmplitudeCellTask::Start.
constexpr int kAmplitudeStarted = 0;
constexpr int kAmplitudeBadArgument = 1;  // a missing argument, no cells, or a sound without data
constexpr int kAmplitudeNotPlaying = 2;
constexpr int kAmplitudeRefused = 3;

class FrameAnimTask final : public AnimTask {
 public:
  FrameAnimTask();
  ~FrameAnimTask() override;

  uint32_t GetKindId() const override { return kTaskKindFrameAnimation; }
  bool IsBoundTo(const void* object) const override { return object && object == image_; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  // Leaves cell 0 shown.
  void Stop() override;
  uint32_t ResumeNow() override;

  // loopCount 0 plays for ever; interval is the wait between two cycles, randomRange (when
  // non-zero) adds 0 to randomRange - 1 ms to each wait. Without random, the task seeds its own
  // generator from the clock. On success the service owns the task.
  [[nodiscard]] int Setup(TimerService* timers, CellImage* image, Sprite* target, uint8_t loopCount,
                          uint32_t interval, uint32_t randomRange, bool waitFirst,
                          SubtractiveRandom* random);
  // Moves the strip; with redraw, the background is put back at the old place and kept anew at
  // the new one first.
  [[nodiscard]] int MoveTo(int32_t x, int32_t y, bool redraw);
  [[nodiscard]] int SaveBackground(ImageSurface* from);

  // A pause takes effect at the next update and holds the cycle's place until a resume; one
  // asked before the first update holds the start.
  void RequestPause() { pauseState_ = kPauseRequested; }
  void RequestResume() { resumeRequested_ = true; }

  int32_t CurrentCell() const { return currentCell_; }
  uint32_t CycleLength() const { return cycleLength_; }

 private:
  static constexpr uint8_t kRunning = 0;
  static constexpr uint8_t kPauseRequested = 1;
  static constexpr uint8_t kPaused = 2;

  void Draw(int32_t cell);
  int32_t RandomCell();
  uint32_t NextWait();

  CellImage* image_ = nullptr;
  uint8_t loopCount_ = 0;
  uint32_t interval_ = 0;
  uint32_t randomRange_ = 0;
  SubtractiveRandom* random_ = nullptr;
  std::unique_ptr<SubtractiveRandom> ownRandom_;
  Sprite* targetObject_ = nullptr;
  ImageSurface* targetSurface_ = nullptr;
  uint32_t pendingWait_ = 0;
  uint32_t cycleLength_ = 0;
  int32_t currentCell_ = -1;
  bool firstUpdate_ = true;
  uint8_t pauseState_ = kRunning;
  bool resumeRequested_ = false;
  uint32_t cycleStart_ = 0;  // while paused: the time the cycle had run
};

class AmplitudeCellTask final : public AnimTask {
 public:
  ~AmplitudeCellTask() override;
  uint32_t GetKindId() const override { return kTaskKindAmplitudeCell; }
  bool IsBoundTo(const void* object) const override { return object && object == image_; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  // Leaves cell 0 shown.
  void Stop() override;

  // The sound must hold samples and be playing. On success the service owns the task and
  // updates it once per cell interval. A sound destroyed while the task runs (whoever destroys
  // it) is let go at once: the next update shows cell 0 and ends the task.
  [[nodiscard]] int Start(TimerService* timers, CellImage* image, DirectSoundBuffer* sound);

  int32_t CurrentCell() const { return currentCell_; }

 private:
  static void OnGone(const void* object, void* self);

  CellImage* image_ = nullptr;
  int32_t currentCell_ = -1;
  std::atomic<DirectSoundBuffer*> sound_{nullptr};  // cleared by OnGone, on any thread
  bool listening_ = false;
};

}  // namespace bw
