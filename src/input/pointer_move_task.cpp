#include "input/pointer_move_task.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "input/engine_input.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

constexpr uint8_t kNotStarted = 0;
constexpr uint8_t kRunning = 1;
constexpr uint8_t kFinished = 2;
constexpr uint8_t kImmediateJump = 2;

}  // namespace

PointerMoveTask::PointerMoveTask(EngineInput* input, host::Point start, host::Point target,
                                 uint32_t duration, double easing, uint8_t mode)
    : input_(input),
      dx_(target.x - start.x),
      dy_(target.y - start.y),
      start_(start),
      duration_(duration),
      easing_(easing),
      mode_(mode) {}

std::unique_ptr<PointerMoveTask> PointerMoveTask::Make(EngineInput* input, host::Point start,
                                                       host::Point target, uint32_t duration,
                                                       double easing, uint8_t mode) {
  return std::unique_ptr<PointerMoveTask>(
      new (std::nothrow) PointerMoveTask(input, start, target, duration, easing, mode));
}

int32_t PointerMoveTask::Start(TimerService* service, EngineInput* input, int32_t x, int32_t y,
                               uint32_t duration, double easing, uint8_t mode,
                               uint8_t immediateMode) {
  if (!service || !input) return kPointerMoveMissing;
  host::Point target{x, y};
  input->ClientToScreenPoint(&target);
  if (!input->IsCursorShown()) {
    if (immediateMode == kImmediateJump) host::SetCursorPos(target.x, target.y);
    return kPointerMoveCursorHidden;
  }
  service->RemoveById(kTaskKindPointerMove);
  auto task = Make(input, host::GetCursorPos(), target, duration, easing, mode);
  return service->Add(std::move(task), 0, 0, 0) == kTaskAdded ? 0 : kPointerMoveRefused;
}

void PointerMoveTask::JumpToTarget() const {
  host::SetCursorPos(start_.x + dx_, start_.y + dy_);
}

int32_t PointerMoveTask::Update(uint32_t nowMs) {
  if (state_ == kNotStarted) {
    startTime_ = nowMs;
    state_ = kRunning;
  }
  if (!input_->IsCursorShown() && mode_ != kPointerMoveAlways) return kTaskStepFinished;
  // A move of no duration is at its end at once.
  if (duration_ == 0) {
    JumpToTarget();
    state_ = kFinished;
    return kTaskStepFinished;
  }
  uint32_t t = std::min(nowMs - startTime_, duration_);
  double d = duration_;
  double u = t / d;
  double eased = t;
  if (easing_ > 0) {
    eased = d * std::pow(u, easing_);
  } else if (easing_ < 0) {
    eased = d * (1.0 - std::pow(1.0 - u, -easing_));
  }
  auto tEased = static_cast<int64_t>(eased);
  host::SetCursorPos(start_.x + static_cast<int32_t>(dx_ * tEased / int64_t{duration_}),
                     start_.y + static_cast<int32_t>(dy_ * tEased / int64_t{duration_}));
  if (t >= duration_) {
    state_ = kFinished;
    return kTaskStepFinished;
  }
  return kTaskStepContinue;
}

void PointerMoveTask::Stop() {
  if (state_ == kFinished) return;
  state_ = kFinished;
  if (mode_ == kPointerMoveStay) return;
  if (mode_ == kPointerMoveJumpIfShown && !input_->IsCursorShown()) return;
  JumpToTarget();
}

}  // namespace bw
