#include "host/process/process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "host/clock.h"

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

}  // namespace
}  // namespace bw::host
