#include "host/stop_signals.h"

#include <gtest/gtest.h>

#include <csignal>

namespace bw::host {
namespace {

using Action = StopWatchdog::Action;

// A first signal asks to close and a second ends at once: the program tests send both.
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
