#include "platform/lock.h"

namespace bw {

uint32_t CurrentThreadId() {
  static std::atomic<uint32_t> next{1};
  thread_local const uint32_t id = next.fetch_add(1, std::memory_order_relaxed);
  return id;
}

int32_t Lock::Acquire() {
  mutex_.lock();
  owner_.store(CurrentThreadId(), std::memory_order_relaxed);
  return ++count_;
}

// A release by a thread that does not hold the lock is refused rather than corrupting the count.
void Lock::Release() {
  if (!IsHeldByCurrentThread()) return;
  if (--count_ == 0) owner_.store(kNoThread, std::memory_order_relaxed);
  mutex_.unlock();
}

bool Lock::IsHeldByCurrentThread() const {
  return owner_.load(std::memory_order_relaxed) == CurrentThreadId();
}

ScopedLock::~ScopedLock() {
  for (; count_ > 0; --count_) lock_->Release();
}

void ScopedLock::Relock() {
  lock_->Acquire();
  ++count_;
}

void ScopedLock::Unlock() {
  if (count_ == 0) return;
  --count_;
  lock_->Release();
}

}  // namespace bw
