// Label: threads
#include "platform/lock.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/event.h"

namespace bw {
namespace {

TEST(Lock, IsRecursiveKnowsItsOwnerAndAScopedLockReleasesEveryLevelItHolds) {
  Lock lock;
  EXPECT_EQ(lock.Acquire(), 1);
  EXPECT_EQ(lock.Acquire(), 2);
  bool heldElsewhere = true;
  std::thread([&] { heldElsewhere = lock.IsHeldByCurrentThread(); }).join();
  EXPECT_FALSE(heldElsewhere);
  lock.Release();
  EXPECT_TRUE(lock.IsHeldByCurrentThread()) << "one level is still held";
  lock.Release();
  EXPECT_FALSE(lock.IsHeldByCurrentThread());
  lock.Release();  // not held: refused
  EXPECT_EQ(lock.Acquire(), 1);
  lock.Release();

  // A scoped lock releases every level it holds.
  struct CountingLock : Lock {
    void Release() override {
      ++releases;
      Lock::Release();
    }
    int releases = 0;
  } counting;
  {
    ScopedLock guard(counting);
    guard.Relock();
    guard.Relock();
  }
  EXPECT_EQ(counting.releases, 3);
  {
    ScopedLock guard(counting);
    guard.Unlock();
    guard.Unlock();
  }
  EXPECT_EQ(counting.releases, 4) << "an unlock at 0 and the end release nothing more";
  EXPECT_FALSE(counting.IsHeldByCurrentThread());
}

// One signal wakes one wait; the signal is used up by it.
TEST(Event, AutoResetConsumesTheSignal) {
  Event event;
  EXPECT_EQ(event.Wait(0), kWaitTimedOut) << "a new event is not signalled";
  event.Set();
  EXPECT_TRUE(event.IsSet());
  EXPECT_EQ(event.Wait(0), kWaitSignalled);
  EXPECT_EQ(event.Wait(0), kWaitTimedOut) << "the first wait consumed the signal";
  EXPECT_TRUE(event.IsSet()) << "IsSet reports the last Set or Reset, not the waits";
  event.Set();
  event.Reset();
  EXPECT_FALSE(event.IsSet());
  EXPECT_EQ(event.Wait(0), kWaitTimedOut) << "a reset takes the signal back";

  // A set from another thread ends an endless wait.
  std::thread setter([&] { event.Set(); });
  EXPECT_EQ(event.Wait(kInfinite), kWaitSignalled);
  setter.join();
}

}  // namespace
}  // namespace bw
