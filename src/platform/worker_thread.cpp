#include "platform/worker_thread.h"

#include <system_error>

#include "host/clock.h"

namespace bw {
namespace {
// The worker whose body the calling thread runs, so that a body never waits for itself even after
// another thread has taken its handle.
thread_local const WorkerThread* tRunningWorker = nullptr;
}  // namespace

WorkerThread::~WorkerThread() {
  (void)Stop();  // a thread that cannot be joined is detached below or by Stop
  // Only a body that destroys its own object gets here with a thread left: it cannot join itself.
  if (thread_) thread_->detach();
}

uint32_t WorkerThread::StartWithDelegate(const ThreadDelegate& delegate) {
  ScopedLock guard(lock_);
  SetDelegate(delegate);
  return Start();
}

void WorkerThread::SetDelegate(const ThreadDelegate& delegate) {
  ScopedLock guard(lock_);
  if (&delegate != &delegate_) delegate_ = delegate;
}

uint32_t WorkerThread::Start() {
  ScopedLock guard(lock_);
  if (Stop() == kThreadStopFromItself) return kThreadNotCreated;
  stop_.Reset();
  running_.Reset();
  Event started;
  try {
    thread_ = std::make_unique<std::thread>(&WorkerThread::Entry, this, &started);
  } catch (const std::system_error&) {
    return kThreadNotCreated;
  }
  (void)started.Wait(kInfinite);  // ends only when signalled
  return kThreadStarted;
}

// Takes no lock before it has signalled `started`: Start holds the lock while it waits.
void WorkerThread::Entry(WorkerThread* self, Event* started) {
  ThreadDelegate body = self->delegate_;
  tRunningWorker = self;
  self->threadId_.store(CurrentThreadId(), std::memory_order_release);
  self->running_.Set();
  started->Set();
  if (body.IsBound()) {
    body();
  } else {
    self->Run();
  }
  self->RequestStop();
  self->running_.Reset();
  tRunningWorker = nullptr;
}

void WorkerThread::RequestStop() {
  ScopedLock guard(lock_);
  stop_.Set();
}

bool WorkerThread::WaitForStopRequest(uint32_t timeoutMs) {
  if (stop_.IsSet()) return true;
  // A zero wait yields like Sleep(0). A clock that moves only when slept on never lets a
  // real-time wait see its time run out: sleep on it, and look for a stop when the sleep ends.
  host::ClockSource& clock = host::CurrentClock();
  if (timeoutMs == 0 || (timeoutMs != kInfinite && !clock.MovesOnItsOwn())) {
    clock.Sleep(timeoutMs);
    return stop_.IsSet();
  }
  return stop_.Wait(timeoutMs) != kWaitTimedOut;
}

uint32_t WorkerThread::Stop() {
  ScopedLock guard(lock_);
  RequestStop();
  if (tRunningWorker == this) return kThreadStopFromItself;
  if (!thread_) return kThreadStopped;
  std::unique_ptr<std::thread> thread = std::move(thread_);
  threadId_.store(kNoThread, std::memory_order_release);
  // The ending body takes the lock in RequestStop: give up every level this thread holds (Start
  // calls Stop with the lock already taken) and take them back after the wait.
  int32_t levels = 0;
  while (lock_.IsHeldByCurrentThread()) {
    lock_.Release();
    ++levels;
  }
  uint32_t result = kThreadStopped;
  try {
    thread->join();
  } catch (const std::system_error&) {
    thread->detach();
    result = kThreadWaitFailed;
  }
  for (int32_t i = 0; i < levels; ++i) lock_.Acquire();
  return result;
}

}  // namespace bw
