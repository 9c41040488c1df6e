#include "platform/event.h"

#include <chrono>

namespace bw {

// Notifies under the lock: a waiter may destroy the event as soon as its wait returns.
void Event::Set() {
  std::lock_guard<std::mutex> guard(mutex_);
  signalled_ = true;
  flag_.store(true, std::memory_order_release);
  cv_.notify_one();
}

void Event::Reset() {
  std::lock_guard<std::mutex> guard(mutex_);
  signalled_ = false;
  flag_.store(false, std::memory_order_release);
}

int32_t Event::Wait(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> guard(mutex_);
  auto ready = [this] { return signalled_; };
  if (timeoutMs == kInfinite) {
    cv_.wait(guard, ready);
  } else if (!cv_.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready)) {
    return kWaitTimedOut;
  }
  signalled_ = false;
  return kWaitSignalled;
}

}  // namespace bw
