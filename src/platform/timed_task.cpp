#include "platform/timed_task.h"

#include "common/gone_notice.h"

namespace bw {

TimedTask::~TimedTask() {
  NotifyGone(this);
  ClearOwnerSlot();
}

void TimedTask::ClearOwnerSlot() {
  if (ownerSlot_) clearOwner_(ownerSlot_);
  ownerSlot_ = nullptr;
}

uint32_t TimedTask::Pause(uint32_t nowMs) {
  if (pauseCount_ == 0) pauseTime_ = nowMs;
  return ++pauseCount_;
}

uint32_t TimedTask::Resume(uint32_t nowMs) {
  if (pauseCount_ == 0) return 0;
  if (--pauseCount_ != 0) return pauseCount_;
  uint32_t span = nowMs - pauseTime_;
  dueTime_ += span;
  return span;
}

}  // namespace bw
