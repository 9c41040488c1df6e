// An auto-reset event: a wait that succeeds consumes the signal.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "host/clock.h"

namespace bw {

using host::kInfinite;

// Results of Event::Wait.
constexpr int32_t kWaitSignalled = 0;
constexpr int32_t kWaitTimedOut = 1;
constexpr int32_t kWaitFailed = 2;

class Event {
 public:
  Event() = default;
  virtual ~Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  virtual void Set();
  virtual void Reset();
  // timeoutMs is real time in milliseconds, kInfinite for no limit.
  [[nodiscard]] virtual int32_t Wait(uint32_t timeoutMs);
  // The last Set (true) or Reset (false); a wait that consumes the signal leaves it alone.
  virtual bool IsSet() const { return flag_.load(std::memory_order_acquire); }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;  // guarded by mutex_
  std::atomic<bool> flag_{false};
};

}  // namespace bw
