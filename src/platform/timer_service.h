// The list of timed tasks that the application steps once per frame. The service owns every task
// added to it and deletes it after it finishes or is removed. Tasks are named by handles: small
// counters that scripts may hold, so a stale or forged handle finds nothing.
//
// Task code may call back into the service from Update, Stop or a destructor: tasks added
// meanwhile are reached by the same pass, removed and cleared tasks are stopped at once and
// deleted when no walk of the list is under way. A pass started from inside a task does nothing.
//
// The effects' service is published as Global<TimerService>.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>

#include "platform/timed_task.h"

namespace bw {

// Results of TimerService::Add.
constexpr uint32_t kTaskAdded = 0;
constexpr uint32_t kTaskIsNull = 1;
constexpr uint32_t kTaskAlreadyListed = 2;

// The kind id that pauses or resumes every task.
constexpr int32_t kEveryTaskKind = -1;

// A task late by many periods is updated at most this many extra times in one repeating pass;
// the periods beyond are dropped.
constexpr int kMaxCatchUpUpdates = 16;

class TimerService {
 public:
  TimerService() = default;
  // Deletes every task without stopping it, and leaves owners' variables alone (owners may be
  // gone by then).
  virtual ~TimerService();
  TimerService(const TimerService&) = delete;
  TimerService& operator=(const TimerService&) = delete;

  // Takes task, gives it a handle and makes it due at now + delayMs. A refused task is destroyed
  // here, except one already listed, which stays with the service: either way it dies once.
  [[nodiscard]] virtual uint32_t Add(std::unique_ptr<TimedTask> task, uint32_t delayMs,
                                     uint32_t intervalMs, uint32_t repeatCount);
  // Takes a task whose start succeeded, at the schedule the start asked for: the task, which the
  // service owns from then on, or null when it was refused (and is gone).
  template <typename T>
  requires std::derived_from<T, TimedTask>
  [[nodiscard]] T* HandOver(std::unique_ptr<T> task) {
    T* held = task.get();
    if (!held) return nullptr;
    const TimedTask::Schedule asked = held->AskedSchedule();
    return Add(std::move(task), asked.delayMs, asked.intervalMs, asked.repeatCount) == kTaskAdded
               ? held
               : nullptr;
  }
  // Stops the task and clears its owner's variable; it is deleted later.
  [[nodiscard]] virtual bool RemoveByHandle(uint32_t handle);
  virtual void RemoveById(uint32_t kindId);
  // Removes the tasks of that kind bound to object (which is still whole: they are stopped).
  void RemoveBoundTo(uint32_t kindId, const void* object);
  // Ends every task bound to object without stopping it (the object is dying and must not be
  // touched); they are deleted by the next pass.
  virtual void DropBoundTo(const void* object);
  // Stops every unfinished task, then deletes them all.
  virtual void Clear();
  // Stops the unfinished tasks that which picks, then deletes them at once (with the finished
  // ones) unless a pass is under way.
  void ClearWhere(const std::function<bool(const TimedTask&)>& which);
  // True also for a removed task not yet deleted.
  virtual bool Contains(uint32_t handle) const;
  virtual void Postpone(uint32_t handle, uint32_t delayMs);
  [[nodiscard]] virtual bool PauseTask(uint32_t handle);
  // kindId negative: every task.
  virtual void PauseAll(int32_t kindId);
  [[nodiscard]] virtual bool ResumeTask(uint32_t handle);
  virtual void ResumeAll(int32_t kindId);
  // Updates every due task, and again for each period it is late (bounded); nowMs 0 reads the
  // clock.
  virtual void RunDueRepeating(uint32_t nowMs);
  // Updates every due task once; periods it is late are dropped; nowMs 0 reads the clock.
  virtual void RunDue(uint32_t nowMs);

  // The first unfinished task of that kind, or null.
  TimedTask* FindById(uint32_t kindId) const;
  // The unfinished task with that handle, or null.
  TimedTask* FindByHandle(uint32_t handle) const;
  size_t Count() const { return tasks_.size(); }

 private:
  using TaskList = std::list<std::unique_ptr<TimedTask>>;

  bool IsListed(const TimedTask& task) const;
  void List(std::unique_ptr<TimedTask> task, uint32_t delayMs, uint32_t intervalMs,
            uint32_t repeatCount);
  void RunPass(uint32_t nowMs, bool catchUp);
  // Updates a due task; true when its Update reported it finished.
  bool Step(TimedTask& task, uint32_t nowMs, bool catchUp);
  void StopTask(TimedTask& task);
  TimedTask* FindEntry(uint32_t handle) const;
  static bool KindMatches(const TimedTask& task, int32_t kindId);
  // Calls op (Pause or Resume) at now on every task of that kind, or of every kind when negative.
  void ForEachOfKind(int32_t kindId, uint32_t (TimedTask::*op)(uint32_t));
  // Deletes the finished tasks once no walk of the list is under way.
  void Sweep();
  void SweepIfIdle();

  TaskList tasks_;
  int walkDepth_ = 0;  // walks of the list that call into task code
  bool sweepPending_ = false;
};

}  // namespace bw
