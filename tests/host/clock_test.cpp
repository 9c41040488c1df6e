#include "host/clock.h"

#include <gtest/gtest.h>

namespace bw::host {
namespace {

TEST(HostClock, VirtualClockDrivesEveryReading) {
  VirtualClock clock(5000);
  ScopedClock use(&clock);
  EXPECT_EQ(GetTickCount(), 5000u);
  EXPECT_EQ(TimeGetTime(), 5000u);
  int64_t before = QueryPerformanceCounter();
  clock.AdvanceMilliseconds(16);
  EXPECT_EQ(GetTickCount(), 5016u);
  EXPECT_EQ(QueryPerformanceCounter() - before, 16 * QueryPerformanceFrequency() / 1000);
  Sleep(4);
  EXPECT_EQ(GetTickCount(), 5020u) << "sleeping on the virtual clock moves it";
}

TEST(HostClock, MillisecondCountWrapsAt32Bits) {
  VirtualClock clock(0xFFFFFFF0u);
  ScopedClock use(&clock);
  uint32_t start = GetTickCount();
  clock.AdvanceMilliseconds(0x20);
  EXPECT_EQ(GetTickCount(), 0x10u);
  EXPECT_EQ(GetTickCount() - start, 0x20u) << "unsigned differences survive the wrap";
}

TEST(HostClock, RestoresTheMonotonicClock) {
  {
    VirtualClock clock(7);
    ScopedClock use(&clock);
    EXPECT_EQ(GetTickCount(), 7u);
  }
  uint64_t a = CurrentClock().NowNanoseconds();
  uint64_t b = CurrentClock().NowNanoseconds();
  EXPECT_LE(a, b);
}

}  // namespace
}  // namespace bw::host
