#include "host/stop_signals.h"

#include <gtest/gtest.h>

#include <csignal>

namespace bw::host {
namespace {

using Action = StopWatchdog::Action;

TEST(StopWatchdog, TheFirstSignalAsksToCloseASecondEndsAtOnce) {
  StopWatchdog watchdog;
  EXPECT_EQ(watchdog.OnTick(100000, 0), Action::kNone) << "no signal: never a forced end";
  EXPECT_EQ(watchdog.OnSignal(SIGINT, 1000, 7), Action::kRequestClose);
  EXPECT_EQ(watchdog.OnTick(1100, 8), Action::kNone);
  EXPECT_EQ(watchdog.OnSignal(SIGTERM, 1200, 9), Action::kExitNow);
  EXPECT_EQ(watchdog.ExitStatus(), 128 + SIGTERM) << "the status names the last signal";
}

TEST(StopWatchdog, AFrameLoopStillForFiveSecondsAfterASignalEndsAtOnce) {
  StopWatchdog watchdog;
  ASSERT_EQ(watchdog.OnSignal(SIGTERM, 10000, 3), Action::kRequestClose);
  EXPECT_EQ(watchdog.OnTick(10000 + StopWatchdog::kStallLimitMs - 1, 3), Action::kNone);
  EXPECT_EQ(watchdog.OnTick(10000 + StopWatchdog::kStallLimitMs, 3), Action::kExitNow)
      << "a loop that never turned since the signal";
  EXPECT_EQ(watchdog.ExitStatus(), 128 + SIGTERM);

  // A loop that keeps turning while the game closes has its five seconds from its last turn.
  StopWatchdog turning;
  ASSERT_EQ(turning.OnSignal(SIGINT, 0, 0), Action::kRequestClose);
  for (uint64_t t = 1; t <= 20; ++t) EXPECT_EQ(turning.OnTick(t * 1000, t), Action::kNone) << t;
  EXPECT_EQ(turning.OnTick(20000 + StopWatchdog::kStallLimitMs - 1, 20), Action::kNone);
  EXPECT_EQ(turning.OnTick(20000 + StopWatchdog::kStallLimitMs, 20), Action::kExitNow);
}

}  // namespace
}  // namespace bw::host
