#include "platform/timer_service.h"

#include <atomic>
#include <iterator>

#include "platform/timer_resolution.h"

namespace bw {
namespace {

uint32_t NextHandleCandidate() {
  static std::atomic<uint32_t> next{1};
  uint32_t handle = next.fetch_add(1, std::memory_order_relaxed);
  return handle != 0 ? handle : next.fetch_add(1, std::memory_order_relaxed);
}

// Counts a walk of the list that calls into task code, so that nothing is deleted under it.
class WalkScope {
 public:
  explicit WalkScope(int& depth) : depth_(depth) { ++depth_; }
  ~WalkScope() { --depth_; }
  WalkScope(const WalkScope&) = delete;
  WalkScope& operator=(const WalkScope&) = delete;

 private:
  int& depth_;
};

}  // namespace

TimerService::~TimerService() {
  TaskList tasks = std::move(tasks_);
  for (auto& task : tasks) task->ownerSlot_ = nullptr;
}

bool TimerService::IsListed(const TimedTask& task) const {
  for (const auto& listed : tasks_) {
    if (listed.get() == &task) return true;
  }
  return false;
}

void TimerService::List(std::unique_ptr<TimedTask> task, uint32_t delayMs, uint32_t intervalMs,
                        uint32_t repeatCount) {
  uint32_t handle = NextHandleCandidate();
  while (FindEntry(handle)) handle = NextHandleCandidate();
  task->handle_ = handle;
  task->dueTime_ = NowMs() + delayMs;
  task->interval_ = intervalMs;
  task->repeatCount_ = repeatCount;
  tasks_.push_back(std::move(task));
}

uint32_t TimerService::Add(std::unique_ptr<TimedTask> task, uint32_t delayMs, uint32_t intervalMs,
                           uint32_t repeatCount) {
  if (!task) return kTaskIsNull;
  if (IsListed(*task)) {
    // The list holds it already: the second owner lets go without deleting.
    (void)task.release();
    return kTaskAlreadyListed;
  }
  List(std::move(task), delayMs, intervalMs, repeatCount);
  return kTaskAdded;
}

void TimerService::StopTask(TimedTask& task) {
  task.ClearOwnerSlot();
  task.finished_ = true;
  task.Stop();
}

bool TimerService::RemoveByHandle(uint32_t handle) {
  TimedTask* task = FindByHandle(handle);
  if (!task) return false;
  {
    WalkScope walk(walkDepth_);
    StopTask(*task);
  }
  SweepIfIdle();
  return true;
}

void TimerService::RemoveById(uint32_t kindId) {
  {
    WalkScope walk(walkDepth_);
    for (auto& task : tasks_) {
      if (!task->finished_ && task->GetKindId() == kindId) StopTask(*task);
    }
  }
  SweepIfIdle();
}

void TimerService::RemoveBoundTo(uint32_t kindId, const void* object) {
  if (!object) return;
  {
    WalkScope walk(walkDepth_);
    for (auto& task : tasks_) {
      if (!task->finished_ && task->GetKindId() == kindId && task->IsBoundTo(object)) {
        StopTask(*task);
      }
    }
  }
  SweepIfIdle();
}

void TimerService::DropBoundTo(const void* object) {
  // Deleted by the next pass, as removed tasks are: this runs inside the object's destructor.
  // A task already finished still lets go, or its deletion would touch the object.
  for (auto& task : tasks_) {
    if (!task->IsBoundTo(object)) continue;
    task->Unbind(object);
    if (task->finished_) continue;
    task->ClearOwnerSlot();
    task->finished_ = true;
  }
}

void TimerService::Clear() {
  {
    WalkScope walk(walkDepth_);
    for (auto& task : tasks_) {
      if (!task->finished_) StopTask(*task);
    }
  }
  sweepPending_ = true;
  SweepIfIdle();
}

void TimerService::ClearWhere(const std::function<bool(const TimedTask&)>& which) {
  {
    WalkScope walk(walkDepth_);
    for (auto& task : tasks_) {
      if (!task->finished_ && which(*task)) StopTask(*task);
    }
  }
  sweepPending_ = true;
  SweepIfIdle();
}

void TimerService::SweepIfIdle() {
  if (walkDepth_ == 0) Sweep();
}

void TimerService::Sweep() {
  while (sweepPending_) {
    sweepPending_ = false;
    TaskList dead;
    for (auto it = tasks_.begin(); it != tasks_.end();) {
      auto next = std::next(it);
      if ((*it)->finished_) dead.splice(dead.end(), tasks_, it);
      it = next;
    }
    WalkScope walk(walkDepth_);
    dead.clear();
  }
}

TimedTask* TimerService::FindEntry(uint32_t handle) const {
  for (const auto& task : tasks_) {
    if (task->handle_ == handle) return task.get();
  }
  return nullptr;
}

TimedTask* TimerService::FindByHandle(uint32_t handle) const {
  TimedTask* task = FindEntry(handle);
  return task && !task->finished_ ? task : nullptr;
}

TimedTask* TimerService::FindById(uint32_t kindId) const {
  for (const auto& task : tasks_) {
    if (!task->finished_ && task->GetKindId() == kindId) return task.get();
  }
  return nullptr;
}

bool TimerService::Contains(uint32_t handle) const {
  return FindEntry(handle) != nullptr;
}

void TimerService::Postpone(uint32_t handle, uint32_t delayMs) {
  if (TimedTask* task = FindEntry(handle)) task->dueTime_ = NowMs() + delayMs;
}

bool TimerService::KindMatches(const TimedTask& task, int32_t kindId) {
  return kindId < 0 || task.GetKindId() == static_cast<uint32_t>(kindId);
}

bool TimerService::PauseTask(uint32_t handle) {
  TimedTask* task = FindEntry(handle);
  if (task) task->Pause(NowMs());
  return task != nullptr;
}

bool TimerService::ResumeTask(uint32_t handle) {
  TimedTask* task = FindEntry(handle);
  if (task) task->Resume(NowMs());
  return task != nullptr;
}

void TimerService::ForEachOfKind(int32_t kindId, uint32_t (TimedTask::*op)(uint32_t)) {
  uint32_t now = NowMs();
  {
    WalkScope walk(walkDepth_);
    for (auto& task : tasks_) {
      if (KindMatches(*task, kindId)) ((*task).*op)(now);
    }
  }
  SweepIfIdle();
}

void TimerService::PauseAll(int32_t kindId) {
  ForEachOfKind(kindId, &TimedTask::Pause);
}

void TimerService::ResumeAll(int32_t kindId) {
  ForEachOfKind(kindId, &TimedTask::Resume);
}

void TimerService::RunDue(uint32_t nowMs) {
  RunPass(nowMs, false);
}

void TimerService::RunDueRepeating(uint32_t nowMs) {
  RunPass(nowMs, true);
}

void TimerService::RunPass(uint32_t nowMs, bool catchUp) {
  if (walkDepth_ > 0) return;
  uint32_t now = nowMs != 0 ? nowMs : NowMs();
  {
    WalkScope walk(walkDepth_);
    // Only this walk erases, and only the node it stands on; appended tasks are reached too.
    for (auto it = tasks_.begin(); it != tasks_.end();) {
      TimedTask& task = **it;
      bool done = task.finished_;
      if (!done && task.pauseCount_ == 0 && IsTimeReached(now, task.dueTime_)) {
        done = Step(task, now, catchUp) || task.finished_;
      }
      if (!done) {
        ++it;
        continue;
      }
      std::unique_ptr<TimedTask> dead = std::move(*it);
      it = tasks_.erase(it);
      dead.reset();
    }
  }
  SweepIfIdle();
}

bool TimerService::Step(TimedTask& task, uint32_t now, bool catchUp) {
  for (int catchUps = 0;; ++catchUps) {
    if (task.Update(now) != kTaskStepContinue) return true;
    if (task.repeatCount_ != 0 && --task.repeatCount_ == 0) {
      task.finished_ = true;
      return false;
    }
    if (task.interval_ == 0) return false;
    task.dueTime_ += task.interval_;
    if (!IsTimeReached(now, task.dueTime_)) return false;
    if (!catchUp || catchUps == kMaxCatchUpUpdates) {
      task.dueTime_ = now + task.interval_;
      return false;
    }
    if (task.finished_ || task.pauseCount_ != 0) return false;
  }
}

}  // namespace bw
