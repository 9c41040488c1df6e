#include "app/platform/lock.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/platform/com_init.h"
#include "app/platform/event.h"

namespace bw {
namespace {

class CountingLock : public Lock {
 public:
  int32_t Acquire() override {
    ++acquires;
    return Lock::Acquire();
  }
  void Release() override {
    ++releases;
    Lock::Release();
  }
  int acquires = 0;
  int releases = 0;
};

bool HeldOnAnotherThread(const Lock& lock) {
  bool held = true;
  std::thread([&] { held = lock.IsHeldByCurrentThread(); }).join();
  return held;
}

TEST(Lock, IsRecursiveAndKnowsItsOwner) {
  Lock lock;
  EXPECT_FALSE(lock.IsHeldByCurrentThread());
  EXPECT_EQ(lock.Acquire(), 1);
  EXPECT_EQ(lock.Acquire(), 2) << "the same thread may take the lock again";
  EXPECT_TRUE(lock.IsHeldByCurrentThread());
  EXPECT_FALSE(HeldOnAnotherThread(lock));
  lock.Release();
  EXPECT_TRUE(lock.IsHeldByCurrentThread()) << "one level is still held";
  lock.Release();
  EXPECT_FALSE(lock.IsHeldByCurrentThread());
}

TEST(ScopedLock, ReleasesEveryLevelItHolds) {
  CountingLock lock;
  {
    ScopedLock guard(lock);
    guard.Relock();
    guard.Relock();
    EXPECT_EQ(guard.HeldCount(), 3);
  }
  EXPECT_EQ(lock.acquires, 3);
  EXPECT_EQ(lock.releases, 3);
  EXPECT_FALSE(lock.IsHeldByCurrentThread());

  {
    ScopedLock guard(lock);
    guard.Unlock();
    guard.Unlock();  // nothing left to give back
    EXPECT_FALSE(lock.IsHeldByCurrentThread());
  }
  EXPECT_EQ(lock.releases, 4) << "an unlock at 0 and the end release nothing more";
}

TEST(Lock, ExcludesOtherThreads) {
  Lock lock;
  Event entered;
  int shared = 0;
  lock.Acquire();
  std::thread other([&] {
    entered.Set();
    ScopedLock guard(lock);
    shared += 1;
  });
  entered.Wait(kInfinite);
  shared += 10;  // the other thread cannot be inside yet
  lock.Release();
  other.join();
  EXPECT_EQ(shared, 11);
}

TEST(Event, IsAutoResetAndKeepsItsFlag) {
  Event event;
  EXPECT_EQ(event.Wait(0), kWaitTimedOut);
  EXPECT_FALSE(event.IsSet());
  event.Set();
  EXPECT_EQ(event.Wait(0), kWaitSignalled);
  EXPECT_EQ(event.Wait(0), kWaitTimedOut) << "the first wait consumed the signal";
  EXPECT_TRUE(event.IsSet()) << "the flag mirrors the last Set, not the waits";
  event.Set();
  event.Reset();
  EXPECT_EQ(event.Wait(0), kWaitTimedOut);
  EXPECT_FALSE(event.IsSet());
}

TEST(Event, WakesAWaiterOnAnotherThread) {
  Event ping;
  Event pong;
  std::thread other([&] {
    ping.Wait(kInfinite);
    pong.Set();
  });
  ping.Set();
  EXPECT_EQ(pong.Wait(kInfinite), kWaitSignalled);
  other.join();
}

TEST(ComThreadCounts, NestPerThread) {
  EXPECT_EQ(ComUninitializeForThread(), kComFailed) << "nothing to take back yet";
  EXPECT_EQ(ComInitializeForThread(), kComDone);
  EXPECT_EQ(ComInitializeForThread(), kComDone);

  uint32_t otherResult = kComDone;
  std::thread([&] { otherResult = ComUninitializeForThread(); }).join();
  EXPECT_EQ(otherResult, kComFailed) << "another thread's count is its own";

  EXPECT_EQ(ComUninitializeForThread(), kComDone);
  EXPECT_EQ(ComUninitializeForThread(), kComDone);
  EXPECT_EQ(ComUninitializeForThread(), kComFailed);
}

}  // namespace
}  // namespace bw
