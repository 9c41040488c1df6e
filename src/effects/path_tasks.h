// Timed tasks that carry one display target along key points, one segment of equal duration
// between neighbouring points: MovePathTask moves a sprite or a render item (or scrolls a
// sprite's source), SizePathTask stretches a sprite, RotateZoomPathTask turns and zooms one.
// Point 0 is the target's own state when the task starts; the others come from a point text
// "(a,b,opacity)(a,b,opacity)..." or an array of triples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/timed_task.h"

namespace bw {

class ArgCursor;
class RenderItem;
class Sprite;
class TimerService;

// Results of SetPathText, SetPoints and the starts.
constexpr int kPathTaskDone = 0;
constexpr int kPathTaskRunning = -1;
constexpr int kPathTaskMissing = 1;  // no text, no points, no service or no target
constexpr int kPathTaskRefused = 2;  // a text without points, too few points, a refused target
// A zero segment duration: the target was put at the last point and nothing was added.
constexpr int kPathTaskJumpedToEnd = -2;

// SizePathTask's anchors: which edge keeps its place while the size changes.
constexpr uint8_t kPathAnchorStart = 0;
constexpr uint8_t kPathAnchorCentre = 1;
constexpr uint8_t kPathAnchorEnd = 2;

// MovePathTask's modes.
constexpr uint8_t kPathMoveNone = 0;
constexpr uint8_t kPathMoveTarget = 1;
constexpr uint8_t kPathScrollSource = 2;

class PathTask : public TimedTask {
 public:
  // Restores the frame thread's priority when the start lowered it.
  ~PathTask() override;

  uint32_t GetKindId() const override;
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  // Puts the target at the last point.
  void Stop() override;
  // The last resume also moves the start time on, so the motion goes on where it was paused.
  uint32_t Resume(uint32_t nowMs) override;

  // Points 1 to n from the text, replacing earlier ones; numbers missing from a group read 0.
  [[nodiscard]] int SetPathText(const char* text);
  [[nodiscard]] int StartOnSprite(TimerService* timers, Sprite* sprite);

  // True when object is the target (compared as the display object or render item it is).
  bool IsBoundTo(const void* object) const override;
  // Lets go of a dying target without touching it; an update without a target finishes.
  void Unbind(const void* object) override;

  bool IsRunning() const { return running_; }
  size_t PointCount() const { return first_.size(); }
  double PointA(size_t i) const { return first_[i]; }
  double PointB(size_t i) const { return second_[i]; }
  uint8_t PointOpacity(size_t i) const { return opacities_[i]; }
  double Easing() const { return easing_; }
  uint8_t PriorityState() const { return priorityState_; }

 protected:
  PathTask(uint32_t kindId, uint32_t spriteKindId, uint32_t segmentDuration, uint32_t startDelay,
           bool showWhileRunning, double easing, bool loop, uint8_t priorityState);

  // Points 1 to count from triples (a, b, opacity).
  [[nodiscard]] int SetPoints(uint32_t count, const int32_t* triples);
  [[nodiscard]] int StartOnItem(TimerService* timers, RenderItem* item);

  // Whether n given points are enough for this task.
  virtual bool EnoughPoints(size_t n) const { return n >= 1; }
  // Reads point i's three values; false when the text has no more numbers.
  [[nodiscard]] virtual bool ReadPoint(ArgCursor& cursor, size_t i);
  // Fills point 0 from the target; kPathTaskDone or a refusal.
  [[nodiscard]] virtual int TakeStartState() = 0;
  virtual void Prepare() {}
  // Shows the state at fraction f of segment i (f 0: exactly point i).
  virtual void Show(size_t i, double f) = 0;

  // A value of a straight segment: exactly point i at f 0.
  static double Between(const std::vector<double>& values, size_t i, double f);
  int32_t OpacityAt(size_t i, double f) const;
  // Position, opacity and visibility of whichever target is set.
  void MoveTargetTo(int32_t x, int32_t y);
  void ShowOpacity(size_t i, double f);
  void SetTargetShown(bool shown);
  // The target's opacity; false for render items without one.
  bool TargetOpacity(uint8_t* opacity) const;

  Sprite* sprite_ = nullptr;
  RenderItem* item_ = nullptr;
  std::vector<double> first_;   // x, width or angle per point
  std::vector<double> second_;  // y, height or zoom per point
  std::vector<uint8_t> opacities_;
  bool useOpacity_ = false;

 private:
  [[nodiscard]] int Start(TimerService* timers);
  void Finish();
  void ClearTarget();

  uint32_t kindId_;
  uint32_t spriteKindId_;
  uint32_t segmentDuration_;
  uint32_t startDelay_;
  double easing_;
  bool showWhileRunning_;
  bool loop_;
  uint8_t priorityState_;
  bool running_ = false;
  bool inUpperList_ = false;
  bool firstUpdate_ = false;
  uint32_t startTime_ = 0;
  uint64_t totalDuration_ = 0;  // 64 bits: many long segments do not wrap
};

class MovePathTask final : public PathTask {
 public:
  MovePathTask(uint32_t segmentDuration, uint32_t startDelay, bool showWhileRunning, double easing,
               uint8_t moveMode, bool spline, bool loop, uint8_t priorityState);

  using PathTask::SetPoints;
  using PathTask::StartOnItem;

 private:
  bool EnoughPoints(size_t n) const override { return n >= (spline_ ? 2u : 1u); }
  [[nodiscard]] int TakeStartState() override;
  void Prepare() override;
  void Show(size_t i, double f) override;

  uint8_t moveMode_;
  bool spline_;
  std::vector<double> termsX_;
  std::vector<double> termsY_;
};

class SizePathTask final : public PathTask {
 public:
  SizePathTask(uint32_t segmentDuration, uint32_t startDelay, bool showWhileRunning, double easing,
               uint8_t horizontalAnchor, uint8_t verticalAnchor, bool fixedBase, bool useOpacity,
               bool loop, uint8_t priorityState);

  using PathTask::SetPoints;

 private:
  [[nodiscard]] int TakeStartState() override;
  void Show(size_t i, double f) override;

  uint8_t horizontalAnchor_;
  uint8_t verticalAnchor_;
  bool fixedBase_;
  int32_t baseX_ = 0;
  int32_t baseY_ = 0;
  // The anchor shift last applied: without a fixed base it is taken back before the next one,
  // so the shifts do not add up.
  int32_t shiftX_ = 0;
  int32_t shiftY_ = 0;
};

class RotateZoomPathTask final : public PathTask {
 public:
  RotateZoomPathTask(uint32_t segmentDuration, uint32_t startDelay, bool showWhileRunning,
                     double easing, bool interpolateZoom, bool useOpacity, bool loop,
                     uint8_t priorityState);

 private:
  // The zoom is a decimal word (at most 31 characters).
  [[nodiscard]] bool ReadPoint(ArgCursor& cursor, size_t i) override;
  [[nodiscard]] int TakeStartState() override;
  void Show(size_t i, double f) override;

  bool interpolateZoom_;
};

}  // namespace bw
