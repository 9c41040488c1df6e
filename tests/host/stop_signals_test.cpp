#include "host/stop_signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "host/clock.h"

namespace bw::host {
namespace {

using namespace std::chrono_literals;

// What shows the program alive in each second after the stop: the frame loop turning, a modal
// dialog pumping its messages (or a step of closing), or nothing at all.
enum class Sign { kNone, kFrameTurn, kNote };

struct StopCase {
  const char* name;
  std::vector<Sign> seconds;
  bool killed;
};

// Runs in a child process: a real SIGTERM, the real watcher thread, the wall's time faked.
void LiveThroughAStop(const std::vector<Sign>& seconds) {
  VirtualClock clock(1000);
  std::atomic<uint64_t> turns{0};
  std::atomic<bool> closeAsked{false};
  StopSignalWatcher watcher;
  if (!watcher.Start({[&] { return closeAsked.exchange(true), true; }, [&] { return turns.load(); },
                      &clock})) {
    std::_Exit(2);
  }
  std::raise(SIGTERM);
  while (!closeAsked.load()) std::this_thread::sleep_for(5ms);
  for (Sign sign : seconds) {
    clock.AdvanceMilliseconds(1000);
    if (sign == Sign::kFrameTurn) turns.fetch_add(1);
    if (sign == Sign::kNote) NoteProgress();
    std::this_thread::sleep_for(120ms);  // the watcher looks every tenth of a second
  }
  std::this_thread::sleep_for(300ms);
  std::_Exit(0);
}

TEST(StopWatchdogDeathTest, EndsAGameThatShowsNoProgressAndSparesOneThatDoes) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  using S = Sign;
  const StopCase kCases[] = {
      {"modal dialog pumping",
       {S::kNote, S::kNote, S::kNote, S::kNote, S::kNote, S::kNote, S::kNote},
       false},
      {"dialog, then closing's steps",
       {S::kNote, S::kNone, S::kNone, S::kNone, S::kFrameTurn, S::kNone, S::kNone, S::kNone,
        S::kNote},
       false},
      {"nothing", {S::kNone, S::kNone, S::kNone, S::kNone, S::kNone, S::kNone, S::kNone}, true},
      {"dialog, then stuck",
       {S::kNote, S::kNote, S::kNone, S::kNone, S::kNone, S::kNone, S::kNone, S::kNone},
       true},
  };
  for (const StopCase& c : kCases) {
    SCOPED_TRACE(c.name);
    if (c.killed) {
      EXPECT_EXIT(LiveThroughAStop(c.seconds), testing::ExitedWithCode(128 + SIGTERM),
                  "did not close within five seconds");
    } else {
      EXPECT_EXIT(LiveThroughAStop(c.seconds), testing::ExitedWithCode(0), "closing the game");
    }
  }
}

}  // namespace
}  // namespace bw::host
