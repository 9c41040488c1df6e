#include "app/platform/frame_clock.h"

#include <gtest/gtest.h>

#include "app/platform/timer_resolution.h"
#include "host/clock.h"

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
  host::ScopedClock use_{&clock_};
};

TEST_F(FrameClockTest, PacedMillisecondsDueOncePerPeriod) {
  FrameClock fc = Make(false, false);
  ASSERT_FALSE(fc.UsesPerformanceCounter());
  EXPECT_EQ(fc.PeriodMs(), 16u) << "60 frames a second truncate to 16 ms";
  Advance(5);
  EXPECT_FALSE(fc.Tick());
  EXPECT_EQ(fc.WaitHint(), 11u);
  Advance(11);
  EXPECT_TRUE(fc.Tick());
  EXPECT_EQ(fc.FramesBehind(), 0);
  EXPECT_EQ(fc.WaitHint(), 11u) << "a frame on time keeps the hint";
  Advance(50);
  EXPECT_TRUE(fc.Tick());
  EXPECT_EQ(fc.FramesBehind(), 2) << "50 ms is three periods: two beyond the first";
  EXPECT_EQ(fc.WaitHint(), 8u) << "a late frame halves the hint";
  EXPECT_FALSE(fc.Tick()) << "the late frame restarts the period from now";
}

TEST_F(FrameClockTest, PacedMillisecondsSurviveTheClockWrap) {
  FrameClock fc = Make(false, false, 0xFFFFFFF8u);
  Advance(15);
  EXPECT_FALSE(fc.Tick());
  Advance(1);
  EXPECT_TRUE(fc.Tick());
}

TEST_F(FrameClockTest, MeasuresFramesPerSecond) {
  FrameClock fc = Make(false, false);
  for (int i = 0; i < 49; ++i) {
    Advance(20);
    ASSERT_TRUE(fc.Tick());
  }
  EXPECT_EQ(fc.MeasuredFps(), 0) << "the first second is not over";
  Advance(20);
  fc.Tick();
  EXPECT_EQ(fc.MeasuredFps(), 50);
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
  EXPECT_EQ(fc.FramesBehind(), 0);
  Advance(51);
  EXPECT_TRUE(fc.Tick());
  EXPECT_EQ(fc.FramesBehind(), 2);
  EXPECT_EQ(fc.WaitHint(), 8u);
}

TEST_F(FrameClockTest, UnpacedEveryTickIsAFrame) {
  for (bool counter : {false, true}) {
    SCOPED_TRACE(counter ? "performance counter" : "milliseconds");
    FrameClock fc = Make(counter, true);
    EXPECT_TRUE(fc.Tick());
    EXPECT_EQ(fc.FramesBehind(), 0) << "no previous tick yet";
    Advance(1);
    EXPECT_TRUE(fc.Tick());
    EXPECT_EQ(fc.FramesBehind(), 0);
    Advance(70);
    EXPECT_TRUE(fc.Tick());
    EXPECT_EQ(fc.FramesBehind(), 3) << "70 ms is four whole periods";
    EXPECT_EQ(fc.WaitHint(), 0u);
    for (int i = 0; i < 10; ++i) {
      Advance(100);
      fc.Tick();
    }
    EXPECT_EQ(fc.MeasuredFps(), 13) << "every tick of the first second counts";
  }
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

TEST_F(FrameClockTest, WithoutSkipCountingNothingIsBehind) {
  for (bool counter : {false, true}) {
    for (bool unpaced : {false, true}) {
      SCOPED_TRACE(testing::Message() << "counter " << counter << ", unpaced " << unpaced);
      FrameClock fc = Make(counter, unpaced);
      fc.SetSkipCounting(false);
      fc.Tick();
      Advance(100);
      EXPECT_TRUE(fc.Tick());
      EXPECT_EQ(fc.FramesBehind(), 0);
    }
  }
}

TEST_F(FrameClockTest, RateBelowOneTurnsPacingOff) {
  FrameClock fc = Make(true, false);
  fc.SetRate(0, true);
  EXPECT_EQ(fc.PeriodMs(), 0u);
  EXPECT_FALSE(fc.UsesPerformanceCounter());
  EXPECT_TRUE(fc.Tick());
  EXPECT_TRUE(fc.Tick()) << "every turn is a frame";
  fc.SetRate(30, false);
  EXPECT_EQ(fc.PeriodMs(), 33u);
  EXPECT_FALSE(fc.Tick());
}

TEST(TimerResolution, ChoosesTheMultimediaClockBelowTenMs) {
  TimerResolution fine(TimerCaps{9, 1000});
  EXPECT_TRUE(fine.UsesTimeGetTime());
  EXPECT_EQ(fine.MinPeriod(), 9u);
  EXPECT_EQ(UseTimeGetTime(), 1);

  TimerResolution coarse(TimerCaps{10, 1000});
  EXPECT_FALSE(coarse.UsesTimeGetTime());
  EXPECT_EQ(coarse.MinPeriod(), 1u);
  EXPECT_EQ(UseTimeGetTime(), 0);

  TimerResolution host(HostTimerCaps());
  EXPECT_TRUE(host.UsesTimeGetTime()) << "the host's 1 ms period picks the multimedia clock";
  EXPECT_TRUE(TheTimerResolution().UsesTimeGetTime());
}

}  // namespace
}  // namespace bw
