#include "host/process/process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "host/clock.h"
#include "host/stop_signals.h"

namespace bw::host {
namespace {

TEST(HostProcess, ReportsTheExitCodeOrTheSignalAndRefusesWhatCannotStart) {
  Process exits;
  EXPECT_EQ(exits.Wait(kInfinite), kProcessWaitFailed) << "nothing started";
  ASSERT_TRUE(exits.Spawn("/bin/sh", {"sh", "-c", "exit 7"}));
  EXPECT_GT(exits.Id(), 0);
  EXPECT_EQ(exits.Wait(kInfinite), kWaitObject0);
  EXPECT_EQ(exits.ExitStatus(), 7u);
  EXPECT_TRUE(exits.Reap(false)) << "an ended process stays ended";
  EXPECT_EQ(exits.Wait(0), kWaitObject0);

  Process killed;
  ASSERT_TRUE(killed.Spawn("/bin/sh", {"sh", "-c", "kill -TERM $$"}));
  ASSERT_TRUE(killed.Reap(true));
  EXPECT_EQ(killed.ExitStatus(), kSignalExitBase + SIGTERM);

  // What cannot start is refused; a missing program is the file layer's run test.
  Process process;
  EXPECT_FALSE(process.Reap(false)) << "nothing started";
  EXPECT_FALSE(process.Spawn("/bin/true", {}));
  EXPECT_FALSE(process.Started());
  ASSERT_TRUE(process.Spawn("/bin/true", {"true"}));
  EXPECT_FALSE(process.Spawn("/bin/true", {"true"})) << "one program per handle";
  EXPECT_TRUE(process.Reap(true));
}

TEST(HostProcess, AFiniteWaitTimesOutOnTheHostClock) {
  VirtualClock clock(1000);
  ScopedGlobal<ClockSource> installed(&clock);
  Process process;
  ASSERT_TRUE(process.Spawn("/bin/sleep", {"sleep", "600"}));
  EXPECT_EQ(process.Wait(0), kWaitTimeout);
  EXPECT_EQ(process.Wait(250), kWaitTimeout);
  EXPECT_GE(GetTickCount(), 1250u);
  EXPECT_EQ(process.ExitStatus(), kStillActive);
  ASSERT_EQ(kill(process.Id(), SIGKILL), 0);
  EXPECT_EQ(process.Wait(kInfinite), kWaitObject0);
  EXPECT_EQ(process.ExitStatus(), kSignalExitBase + SIGKILL);
}

TEST(HostProcess, KeepsTheEnginesOpenFilesToItself) {
  int fd = open("/dev/null", O_RDONLY);
  ASSERT_GE(fd, 0);
  int high = fcntl(fd, F_DUPFD, 40);
  close(fd);
  Process probe;
  ASSERT_TRUE(
      probe.Spawn("/bin/sh", {"sh", "-c", "test ! -e /proc/self/fd/" + std::to_string(high)}));
  EXPECT_EQ(probe.Wait(kInfinite), kWaitObject0);
  EXPECT_EQ(probe.ExitStatus(), 0u) << "descriptor " << high << " reached the program";
  close(high);
}

using namespace std::chrono_literals;

// Runs in a child process: a real SIGTERM, the real watcher thread, the wall's time faked. A
// character a second after the stop says what shows the program alive in it: 'f' the frame loop
// turning, 'n' a modal dialog pumping its messages (or a step of closing), '.' nothing at all.
void LiveThroughAStop(std::string_view seconds) {
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
  for (char sign : seconds) {
    clock.AdvanceMilliseconds(1000);
    if (sign == 'f') turns.fetch_add(1);
    if (sign == 'n') NoteProgress();
    std::this_thread::sleep_for(120ms);  // the watcher looks every tenth of a second
  }
  std::this_thread::sleep_for(300ms);
  std::_Exit(0);
}

TEST(StopWatchdogDeathTest, EndsAGameThatShowsNoProgressAndSparesOneThatDoes) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    const char* name;
    const char* seconds;
    bool killed;
  } kCases[] = {
      {"modal dialog pumping", "nnnnnnn", false},
      {"dialog, then closing's steps", "n...f...n", false},
      {"nothing", ".......", true},
      {"dialog, then stuck", "nn......", true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT(LiveThroughAStop(c.seconds), testing::ExitedWithCode(c.killed ? 128 + SIGTERM : 0),
                c.killed ? "did not close within five seconds" : "closing the game");
  }
}

}  // namespace
}  // namespace bw::host
