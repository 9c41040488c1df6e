// The numbered wipes: timed transitions that draw into a target picture step by step on the
// effects' timer service, started, finished, cancelled and polled by the main script.
#pragma once

#include <cstdint>

#include "platform/rect.h"
#include "platform/timed_task.h"

namespace bw {

class ImageSurface;
class TimerService;

constexpr int kWipeKinds = 22;
constexpr int kWipeDone = 0;
constexpr int kWipeNoService = 1;

// The eight words of a start, read by kind.
struct WipeWords {
  int32_t a1 = 0, a2 = 0, a3 = 0, a4 = 0, a5 = 0, a6 = 0, a7 = 0, a8 = 0;
};

class WipeTransition final : public TimedTask {
 public:
  // kind 0 to 21; the words are decoded here. The source kinds need a source.
  WipeTransition(int kind, uint32_t durationMs, ImageSurface* target, ImageSurface* source,
                 const WipeWords& words, uint32_t nowMs);
  // Runs the end hook when the start hook ran.
  ~WipeTransition() override;

  uint32_t GetKindId() const override { return kTaskKindWipe; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override {}
  // The last resume also moves the start time on by the paused span: the wipe measures from it.
  uint32_t Resume(uint32_t nowMs) override;
  // Called once after registration: runs the start hook.
  void Start();

  int Kind() const { return kind_; }
  uint32_t StartTime() const { return startTime_; }
  uint32_t Duration() const { return duration_; }
  bool IsDone() const { return finished_; }

 private:
  int32_t Total() const;
  int32_t TotalAcross() const;
  // Draws the bands between done and done + delta (and across), closing at the end.
  void Advance(int32_t delta, int32_t deltaAcross, bool closing);
  void Fade(int32_t step);
  void Split(int32_t delta, bool closing, bool rows);
  void Box(int32_t delta, int32_t deltaAcross, bool closing);
  void Stripes(int32_t delta);
  void Cascade(int32_t delta);
  // A band in the frame's own coordinates (the area, or the source area).
  void Band(int32_t left, int32_t top, int32_t right, int32_t bottom);
  int32_t FrameWidth() const;
  int32_t FrameHeight() const;

  int kind_;
  uint32_t duration_;
  uint32_t startTime_;
  ImageSurface* target_;
  Rect area_;
  int32_t done_ = 0;
  int32_t x_ = 0, y_ = 0;
  ImageSurface* source_;
  Rect sourceArea_;
  uint8_t mode_ = 0;
  uint8_t red_ = 0, green_ = 0, blue_ = 0;
  int32_t value_ = 0;
  int32_t doneAcross_ = 0;
  uint8_t hookState_ = 1;
  // Set by the step that draws the final state (a start time of 0 is a valid clock reading).
  bool finished_ = false;
};

// The process-wide holder of the effects' timer service for the wipes.
class WipeTransitions {
 public:
  explicit WipeTransitions(TimerService* timers) : timers_(timers) {}

  // The running wipe's handle in the timer service, or 0: no service, no target, kind 22 or
  // more, a source kind without a source, or a refused registration.
  [[nodiscard]] uint32_t Start(int kind, uint32_t durationMs, ImageSurface* target,
                               ImageSurface* source, const WipeWords& words);
  // A handle that no longer names an unfinished wipe (ended, cancelled, reused) finds nothing.
  bool IsRunning(uint32_t handle) const;
  // Draws the final state at once; kWipeDone, or kWipeNoService.
  [[nodiscard]] int Finish(uint32_t handle);
  // Removes the wipe, leaving the picture as drawn; kWipeDone, or kWipeNoService.
  [[nodiscard]] int Cancel(uint32_t handle);
  // The wipe with that handle (finished or not), or null.
  WipeTransition* Find(uint32_t handle) const;

 private:
  TimerService* timers_;
};

// True for the kinds that copy a source picture.
bool IsSourceWipe(int kind);

}  // namespace bw
