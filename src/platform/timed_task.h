// The base of everything the timer service steps by the clock: effects, wipes, animations, text
// typing, pointer moves and sound fades. The service owns a task once it is added.
#pragma once

#include <concepts>
#include <cstdint>

namespace bw {

// Kind ids: the service removes, finds, pauses and resumes tasks by these.
constexpr uint32_t kTaskKindNone = 0;  // text typing, sound-buffer fades, text-field timer
constexpr uint32_t kTaskKindMusicFade = 10000;
constexpr uint32_t kTaskKindMusicCrossFade = 10001;
constexpr uint32_t kTaskKindMusicRetired = 10002;  // no task has it any more; only ever removed
constexpr uint32_t kTaskKindMusicDuck = 10003;
constexpr uint32_t kTaskKindChannelFade = 10004;
constexpr uint32_t kTaskKindWipe = 11000;
constexpr uint32_t kTaskKindMovePath = 12000;
constexpr uint32_t kTaskKindSizePath = 12001;
constexpr uint32_t kTaskKindRotateZoomPath = 12002;
constexpr uint32_t kTaskKindSpriteMovePath = 12003;  // +1: the sprite is in its layer's upper list
constexpr uint32_t kTaskKindSpriteSizePath = 12005;  // +1 likewise
constexpr uint32_t kTaskKindSpriteRotateZoomPath = 12007;  // +1 likewise
constexpr uint32_t kTaskKindSpriteAnimation = 13000;
constexpr uint32_t kTaskKindFrameAnimation = 13001;
constexpr uint32_t kTaskKindAmplitudeCell = 13002;
constexpr uint32_t kTaskKindLayerEffect = 14000;
constexpr uint32_t kTaskKindSpriteEffect = 14001;
constexpr uint32_t kTaskKindScreenOverlay = 14003;
constexpr uint32_t kTaskKindBackgroundAnimation = 15000;
constexpr uint32_t kTaskKindPointerMove = 20000;

// Update results.
constexpr int32_t kTaskStepContinue = 0;
constexpr int32_t kTaskStepFinished = 1;

class TimedTask {
 public:
  TimedTask() = default;
  // Clears the owner's variable, if one is still named.
  virtual ~TimedTask();
  TimedTask(const TimedTask&) = delete;
  TimedTask& operator=(const TimedTask&) = delete;

  virtual uint32_t GetKindId() const { return kTaskKindNone; }
  // One step of work at clock time nowMs; kTaskStepFinished (any non-zero) when the task is
  // finished.
  [[nodiscard]] virtual int32_t Update(uint32_t nowMs) = 0;
  // Puts the task's targets in their end state when it is removed before it finished.
  virtual void Stop() = 0;
  // Answers the new pause count; the outermost pause records nowMs.
  virtual uint32_t Pause(uint32_t nowMs);
  // The last resume moves the due time on by the paused span and answers that span; an inner
  // one answers the count still open. A resume without a pause does nothing and answers 0.
  virtual uint32_t Resume(uint32_t nowMs);
  // Whether the task works on object (a sprite, item, surface, container or data it keeps a
  // pointer to); such a task must go before the object does.
  virtual bool IsBoundTo(const void* /*object*/) const { return false; }
  // Lets go of a dying object it is bound to without touching it; the task is ended next and
  // must not reach the object when it is deleted.
  virtual void Unbind(const void* /*object*/) {}

  // Names the owner's variable that points at this task; it is cleared when the task is removed
  // or destroyed, so the owner never holds a dangling pointer.
  template <typename T>
  requires std::derived_from<T, TimedTask>
  void SetOwnerSlot(T** slot) {
    ownerSlot_ = slot;
    clearOwner_ = [](void* s) { *static_cast<T**>(s) = nullptr; };
  }
  // Writes null into the owner's variable and forgets it.
  void ClearOwnerSlot();
  bool HasOwnerSlot() const { return ownerSlot_ != nullptr; }

  // When the task wants its first update and how often after it (0: every pass); the start sets
  // it, the service reads it on taking the task.
  struct Schedule {
    uint32_t delayMs = 0;
    uint32_t intervalMs = 0;
    uint32_t repeatCount = 0;  // 0: unlimited
  };
  Schedule AskedSchedule() const { return asked_; }

  // 0 until a timer service adds the task.
  uint32_t Handle() const { return handle_; }
  uint32_t DueTime() const { return dueTime_; }
  uint32_t Interval() const { return interval_; }
  uint32_t RepeatCount() const { return repeatCount_; }
  bool IsFinished() const { return finished_; }
  uint32_t PauseCount() const { return pauseCount_; }
  uint32_t PauseTime() const { return pauseTime_; }

 protected:
  void AskSchedule(uint32_t delayMs, uint32_t intervalMs) { asked_ = {delayMs, intervalMs, 0}; }

 private:
  friend class TimerService;

  Schedule asked_;

  uint32_t handle_ = 0;
  uint32_t dueTime_ = 0;
  uint32_t interval_ = 0;     // 0: updated on every pass once due
  uint32_t repeatCount_ = 0;  // 0: unlimited, else the updates left
  bool finished_ = false;
  uint32_t pauseCount_ = 0;
  uint32_t pauseTime_ = 0;
  void* ownerSlot_ = nullptr;
  void (*clearOwner_)(void*) = nullptr;
};

}  // namespace bw
