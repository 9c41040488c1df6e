// The recursive lock that guards every piece of state shared between threads, and its guard.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace bw {

constexpr uint32_t kNoThread = 0xFFFFFFFFu;

// A small number that names the calling thread for as long as the process runs (never reused,
// never kNoThread).
uint32_t CurrentThreadId();

class Lock {
 public:
  Lock() = default;
  virtual ~Lock() = default;
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  // Answers how often the calling thread holds the lock now.
  virtual int32_t Acquire();
  virtual void Release();
  virtual bool IsHeldByCurrentThread() const;

 private:
  std::recursive_mutex mutex_;
  // Read by any thread to learn whether it is the owner; written only by the holder.
  std::atomic<uint32_t> owner_{kNoThread};
  int32_t count_ = 0;  // guarded by mutex_
};

// Holds a lock for a scope; Relock and Unlock nest, and the end releases every level still held.
class ScopedLock {
 public:
  explicit ScopedLock(Lock& lock) : lock_(&lock) { Relock(); }
  ~ScopedLock();
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

  void Relock();
  void Unlock();
  int32_t HeldCount() const { return count_; }

 private:
  Lock* lock_;
  int32_t count_ = 0;
};

}  // namespace bw
