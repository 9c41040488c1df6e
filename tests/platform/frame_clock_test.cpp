#include "platform/frame_clock.h"

#include <gtest/gtest.h>

#include <vector>

#include "host/clock.h"
#include "platform/stopwatch.h"

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

constexpr int kAny = -1;

// Frame after frame: how far the clock moved, whether the frame is due, and what the clock then
// says of the wait (the loop's sleep hint, the exact time to the next frame: a loop on a virtual
// clock sleeps exactly this long) and of the frames it fell behind (kAny: not asked).
struct Step {
  uint32_t advance;
  bool due;
  int hint, msToNext, behind;
};

TEST_F(FrameClockTest, PacedFramesFallDueOncePerPeriodWithTheirWaits) {
  struct Case {
    const char* what;
    bool counter;
    uint32_t startMs;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      // 60 frames a second truncate to 16 ms, across the millisecond clock's wrap. A frame on
      // time keeps the hint; 50 ms late is three periods, two beyond the first, and halves the
      // hint; the late frame restarts the period from now.
      // clang-format off
      {"milliseconds", false, 0xFFFFFFF8u,
       {{5, false, 11, 11, kAny}, {11, true, 11, 16, kAny}, {50, true, 8, kAny, 2}, {0, false, kAny, kAny, kAny}}},
      // 16 ms x 5 ms / 16.67 ms; past half a frame the loop should not sleep; 16.67 ms less 9,
      // rounded up.
      {"counter", true, 1000, {{5, false, 4, kAny, kAny}, {4, false, 0, 8, kAny}, {8, true, kAny, kAny, kAny}}},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FrameClock fc = Make(c.counter, false, c.startMs);
    ASSERT_EQ(fc.UsesPerformanceCounter(), c.counter);
    EXPECT_EQ(fc.PeriodMs(), 16u);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      Advance(step.advance);
      EXPECT_EQ(fc.Tick(), step.due) << "step " << i;
      // Each answer is compared unless the row does not ask for it.
      auto asked = [](int want, int got) { return want == kAny ? kAny : got; };
      EXPECT_EQ(asked(step.hint, int(fc.WaitHint())), step.hint) << "hint, step " << i;
      EXPECT_EQ(asked(step.msToNext, int(fc.MsToNextFrame())), step.msToNext) << "step " << i;
      EXPECT_EQ(asked(step.behind, fc.FramesBehind()), step.behind) << "behind, step " << i;
    }
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
