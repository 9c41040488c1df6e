// Label: threads
#include "platform/lock.h"

#include <gtest/gtest.h>

#include <thread>

namespace bw {
namespace {

TEST(Lock, IsRecursiveAndKnowsItsOwner) {
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
}

TEST(ScopedLock, ReleasesEveryLevelItHolds) {
  struct CountingLock : Lock {
    void Release() override {
      ++releases;
      Lock::Release();
    }
    int releases = 0;
  } lock;
  {
    ScopedLock guard(lock);
    guard.Relock();
    guard.Relock();
  }
  EXPECT_EQ(lock.releases, 3);
  {
    ScopedLock guard(lock);
    guard.Unlock();
    guard.Unlock();
  }
  EXPECT_EQ(lock.releases, 4) << "an unlock at 0 and the end release nothing more";
  EXPECT_FALSE(lock.IsHeldByCurrentThread());
}

}  // namespace
}  // namespace bw
