#include "platform/stopwatch.h"

#include <gtest/gtest.h>

#include "host/clock.h"

namespace bw {
namespace {

class StopwatchTest : public testing::Test {
 protected:
  host::VirtualClock clock_{1000};
  ScopedGlobal<host::ClockSource> use_{&clock_};
};

TEST_F(StopwatchTest, SetElapsedWhilePausedAndAcrossTheWrap) {
  Stopwatch w;
  w.Pause();
  w.SetElapsed(5000);
  clock_.AdvanceMilliseconds(700);
  EXPECT_EQ(w.GetElapsed(), 5000u);
  w.Resume();
  clock_.AdvanceMilliseconds(1);
  EXPECT_EQ(w.GetElapsed(), 5001u);

  clock_.SetMilliseconds(0xFFFFFF00u);
  EXPECT_EQ(w.Start(), 0xFFFFFF00u);
  clock_.AdvanceMilliseconds(0x200);
  EXPECT_EQ(w.GetElapsed(), 0x200u);
}

}  // namespace
}  // namespace bw
