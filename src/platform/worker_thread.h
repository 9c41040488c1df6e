// The one way the engine starts a thread. A derived class overrides Run, or a delegate names the
// body; the body loops while KeepRunning holds, or sleeps in WaitForStopRequest.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "platform/event.h"
#include "platform/lock.h"
#include "platform/thread_delegate.h"

namespace bw {

// Results of WorkerThread::Start.
constexpr uint32_t kThreadStarted = 0;
constexpr uint32_t kThreadNotCreated = 1;
// Results of WorkerThread::Stop.
constexpr uint32_t kThreadStopped = 0;
constexpr uint32_t kThreadWaitFailed = 1;
constexpr uint32_t kThreadStopFromItself = 2;

class WorkerThread {
 public:
  WorkerThread() = default;
  // Stops the thread. A derived class whose body reads its own members must call Stop in its own
  // destructor, before those members go.
  virtual ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  virtual void Run() {}
  virtual bool IsRunning() const { return running_.IsSet(); }
  virtual bool KeepRunning() const { return !stop_.IsSet(); }
  [[nodiscard]] virtual uint32_t StartWithDelegate(const ThreadDelegate& delegate);
  // Stops a running body first, so a second Start restarts it. Returns once the new thread runs.
  // A body cannot restart its own thread: that answers kThreadNotCreated.
  [[nodiscard]] virtual uint32_t Start();
  virtual void SetDelegate(const ThreadDelegate& delegate);
  [[nodiscard]] virtual uint32_t Stop();
  virtual void RequestStop();
  // Sleeps until a stop is requested or timeoutMs passes on the clock in force; false when the time
  // ran out.
  [[nodiscard]] virtual bool WaitForStopRequest(uint32_t timeoutMs);
  virtual uint32_t GetThreadId() const { return threadId_.load(std::memory_order_acquire); }

 private:
  static void Entry(WorkerThread* self, Event* started);

  std::unique_ptr<std::thread> thread_;  // guarded by lock_
  std::atomic<uint32_t> threadId_{kNoThread};
  Event stop_;
  Event running_;
  Lock lock_;
  ThreadDelegate delegate_;  // guarded by lock_
};

}  // namespace bw
