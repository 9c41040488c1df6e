#include "host/process/process.h"

#include <gtest/gtest.h>

#include <csignal>

#include "host/process/reserved_memory.h"

namespace bw::host {
namespace {

TEST(HostProcess, ReportsTheExitCodeOrTheSignal) {
  Process exits;
  ASSERT_TRUE(exits.Spawn("/bin/sh", {"sh", "-c", "exit 7"}));
  EXPECT_GT(exits.Id(), 0);
  ASSERT_TRUE(exits.Reap(true));
  EXPECT_EQ(exits.ExitStatus(), 7u);
  EXPECT_TRUE(exits.Reap(false)) << "an ended process stays ended";

  Process killed;
  ASSERT_TRUE(killed.Spawn("/bin/sh", {"sh", "-c", "kill -TERM $$"}));
  ASSERT_TRUE(killed.Reap(true));
  EXPECT_EQ(killed.ExitStatus(), kSignalExitBase + SIGTERM);
}

TEST(HostProcess, RefusesWhatCannotStart) {
  Process process;
  EXPECT_FALSE(process.Reap(false)) << "nothing started";
  EXPECT_FALSE(process.Spawn("/bin/true", {}));
  EXPECT_FALSE(process.Spawn("/no/such/program", {"program"}));
  EXPECT_FALSE(process.Started());
  ASSERT_TRUE(process.Spawn("/bin/true", {"true"}));
  EXPECT_FALSE(process.Spawn("/bin/true", {"true"})) << "one program per handle";
  EXPECT_TRUE(process.Reap(true));
}

TEST(ReservedMemory, ReservesZeroedPagesAndRefusesNothing) {
  ReservedMemory memory(1u << 20);
  ASSERT_NE(memory.Data(), nullptr);
  EXPECT_EQ(memory.Size(), 1u << 20);
  EXPECT_EQ(memory.Data()[memory.Size() - 1], 0) << "zeroed up to the last byte";

  EXPECT_EQ(ReservedMemory(0).Data(), nullptr);
}

}  // namespace
}  // namespace bw::host
