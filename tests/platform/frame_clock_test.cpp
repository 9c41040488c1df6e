#include "platform/frame_clock.h"

#include <gtest/gtest.h>

#include "host/clock.h"
#include "platform/stopwatch.h"
#include "platform/timer_resolution.h"

namespace bw {
namespace {

class FrameClockTest : public testing::Test {
 protected:
  // A clock 60 frames per second, skip counting on, started at startMs.
  FrameClock Make(bool counter, bool unpaced, uint32_t startMs = 1000) {
    clock_.SetMilliseconds(startMs);
    FrameClock fc(60, counter);
    fc.SetUnpaced(unpaced);
    fc.SetSkipCounting(true);
    return fc;
  }
  void Advance(uint32_t ms) { clock_.AdvanceMilliseconds(ms); }

  host::VirtualClock clock_;
  ScopedGlobal<host::ClockSource> use_{&clock_};
};

// Started 8 ms before the millisecond clock wraps: the period runs across it.
TEST_F(FrameClockTest, PacedMillisecondsDueOncePerPeriod) {
  FrameClock fc = Make(false, false, 0xFFFFFFF8u);
  ASSERT_FALSE(fc.UsesPerformanceCounter());
  EXPECT_EQ(fc.PeriodMs(), 16u) << "60 frames a second truncate to 16 ms";
  Advance(5);
  EXPECT_FALSE(fc.Tick());
  EXPECT_EQ(fc.WaitHint(), 11u);
  Advance(11);
  EXPECT_TRUE(fc.Tick());
  EXPECT_EQ(fc.WaitHint(), 11u) << "a frame on time keeps the hint";
  Advance(50);
  EXPECT_TRUE(fc.Tick());
  EXPECT_EQ(fc.FramesBehind(), 2) << "50 ms is three periods: two beyond the first";
  EXPECT_EQ(fc.WaitHint(), 8u) << "a late frame halves the hint";
  EXPECT_FALSE(fc.Tick()) << "the late frame restarts the period from now";
}

TEST_F(FrameClockTest, PacedCounterHintsOnlyInTheFirstHalfFrame) {
  FrameClock fc = Make(true, false);
  ASSERT_TRUE(fc.UsesPerformanceCounter());
  Advance(5);
  EXPECT_FALSE(fc.Tick());
  EXPECT_EQ(fc.WaitHint(), 4u) << "16 ms x 5 ms / 16.67 ms";
  Advance(5);
  EXPECT_FALSE(fc.Tick());
  EXPECT_EQ(fc.WaitHint(), 0u) << "past half a frame the loop should not sleep";
  Advance(7);
  EXPECT_TRUE(fc.Tick());
}

// A loop on a virtual clock sleeps exactly this long, so that it lands on the next frame.
TEST_F(FrameClockTest, TimeToTheNextFrameIsExactAndRoundsUp) {
  FrameClock ms = Make(false, false);
  Advance(5);
  EXPECT_FALSE(ms.Tick());
  EXPECT_EQ(ms.MsToNextFrame(), 11u);
  Advance(11);
  EXPECT_TRUE(ms.Tick());
  EXPECT_EQ(ms.MsToNextFrame(), 16u);

  FrameClock counter = Make(true, false);
  Advance(9);
  EXPECT_FALSE(counter.Tick());
  EXPECT_EQ(counter.WaitHint(), 0u);
  EXPECT_EQ(counter.MsToNextFrame(), 8u) << "16.67 ms less 9, rounded up";
  Advance(8);
  EXPECT_TRUE(counter.Tick());

  FrameClock unpaced = Make(false, true);
  EXPECT_TRUE(unpaced.Tick());
  EXPECT_EQ(unpaced.MsToNextFrame(), 0u);
}

TEST_F(FrameClockTest, UnpacedMillisecondsSurviveTheClockWrap) {
  FrameClock fc = Make(false, true, 0xFFFFFFF0u);
  EXPECT_TRUE(fc.Tick());
  Advance(16);  // lands on 0
  EXPECT_TRUE(fc.Tick());
  EXPECT_EQ(fc.FramesBehind(), 0);
  Advance(50);
  EXPECT_TRUE(fc.Tick());
  EXPECT_EQ(fc.FramesBehind(), 2) << "a tick at 0 ms is still the previous tick";
  for (int i = 0; i < 10; ++i) {
    Advance(100);
    fc.Tick();
  }
  EXPECT_EQ(fc.MeasuredFps(), 13) << "the measuring second runs across the wrap";
}

using StopwatchTest = FrameClockTest;

TEST_F(StopwatchTest, SetElapsedWhilePausedAndAcrossTheWrap) {
  clock_.SetMilliseconds(1000);
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
