#include "app/platform/stopwatch.h"

#include <gtest/gtest.h>

#include "host/clock.h"

namespace bw {
namespace {

class StopwatchTest : public testing::Test {
 protected:
  host::VirtualClock clock_{1000};
  host::ScopedClock use_{&clock_};
};

TEST_F(StopwatchTest, NestedPausesStopTheCount) {
  Stopwatch w;
  clock_.AdvanceMilliseconds(100);
  w.Pause();
  w.Pause();
  clock_.AdvanceMilliseconds(50);
  w.Resume();
  EXPECT_EQ(w.GetElapsed(), 100u) << "one pause is still open";
  clock_.AdvanceMilliseconds(50);
  w.Resume();
  EXPECT_EQ(w.GetElapsed(), 100u);
  clock_.AdvanceMilliseconds(10);
  EXPECT_EQ(w.GetElapsed(), 110u) << "the paused span is skipped";

  w.Resume();  // unmatched: changes nothing
  clock_.AdvanceMilliseconds(10);
  EXPECT_EQ(w.GetElapsed(), 120u);
  w.Pause();
  clock_.AdvanceMilliseconds(30);
  EXPECT_EQ(w.GetElapsed(), 120u) << "a later pause still holds";
}

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

TEST_F(StopwatchTest, BankIndexesByTheLow16Bits) {
  TimerBank bank;
  EXPECT_FALSE(bank.Start(0));
  EXPECT_FALSE(bank.PauseAll());
  EXPECT_EQ(bank.Create(0), kTimerBankEmpty);
  EXPECT_EQ(bank.Create(0x10000), kTimerBankEmpty) << "65536 stopwatches is 0";
  ASSERT_EQ(bank.Create(3), kTimerBankDone);
  ASSERT_EQ(bank.Count(), 3);

  clock_.AdvanceMilliseconds(40);
  EXPECT_TRUE(bank.SetElapsed(0x10000, 7)) << "65536 reaches stopwatch 0";
  EXPECT_EQ(bank.GetElapsed(0), 7u);
  EXPECT_EQ(bank.GetElapsed(1), 40u);
  EXPECT_FALSE(bank.SetElapsed(3, 7));
  EXPECT_EQ(bank.GetElapsed(3), 0u);

  bank.Pause(1);
  EXPECT_TRUE(bank.PauseAll());
  clock_.AdvanceMilliseconds(100);
  EXPECT_TRUE(bank.ResumeAll());
  EXPECT_EQ(bank.GetElapsed(0), 7u);
  EXPECT_EQ(bank.GetElapsed(1), 40u) << "its own pause is still open";
}

}  // namespace
}  // namespace bw
