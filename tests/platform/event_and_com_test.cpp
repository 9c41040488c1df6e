#include <gtest/gtest.h>

#include <thread>

#include "platform/com_init.h"
#include "platform/event.h"

namespace bw {
namespace {

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
}

TEST(Event, SetFromAnotherThreadEndsAnEndlessWait) {
  Event event;
  std::thread setter([&] { event.Set(); });
  EXPECT_EQ(event.Wait(kInfinite), kWaitSignalled);
  setter.join();
}

// The counts are per thread: each initialisation is taken back once, by the thread that made it.
TEST(ComInit, CountsNestPerThread) {
  EXPECT_EQ(ComUninitializeForThread(), kComFailed) << "nothing to take back yet";
  EXPECT_EQ(ComInitializeForThread(), kComDone);
  EXPECT_EQ(ComInitializeForThread(), kComDone);

  uint32_t otherThread = kComDone;
  std::thread other([&] { otherThread = ComUninitializeForThread(); });
  other.join();
  EXPECT_EQ(otherThread, kComFailed) << "another thread's count is its own";

  EXPECT_EQ(ComUninitializeForThread(), kComDone);
  EXPECT_EQ(ComUninitializeForThread(), kComDone);
  EXPECT_EQ(ComUninitializeForThread(), kComFailed) << "two in, two out";
}

}  // namespace
}  // namespace bw
