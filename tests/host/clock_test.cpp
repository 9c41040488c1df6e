#include "host/clock.h"

#include <gtest/gtest.h>

namespace bw::host {
namespace {

TEST(HostClock, VirtualClockDrivesEveryReadingAndWrapsAt32Bits) {
  {
    VirtualClock clock(0xFFFFFFF0u);
    ScopedGlobal<ClockSource> use(&clock);
    uint32_t start = TimeGetTime();
    int64_t before = QueryPerformanceCounter();
    clock.AdvanceMilliseconds(16);
    EXPECT_EQ(GetTickCount(), 0x0u);
    EXPECT_EQ(QueryPerformanceCounter() - before, 16 * QueryPerformanceFrequency() / 1000);
    Sleep(4);
    EXPECT_EQ(GetTickCount(), 0x4u) << "sleeping on the virtual clock moves it";
    EXPECT_EQ(TimeGetTime() - start, 0x14u) << "unsigned differences survive the wrap";
  }
  uint64_t a = CurrentClock().NowNanoseconds();
  EXPECT_LE(a, CurrentClock().NowNanoseconds()) << "the monotonic clock is back";
}

}  // namespace
}  // namespace bw::host
