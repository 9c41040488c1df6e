// The listener every test program runs: a test that leaves a registration, a queued message or a
// turned switch behind fails, and the next test finds the queue empty and the switch as it was.
#include "support/leftover_listener.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <functional>

#include "common/global.h"
#include "host/message_queue.h"
#include "platform/mmx_flag.h"

namespace bw::test {

// Published by these tests only.
struct LeftoverProbe {};

namespace {

// Runs leave between a listener's start and end of the test that is running.
void AroundATest(const std::function<void()>& leave) {
  LeftoverListener listener;
  const testing::TestInfo& test = *testing::UnitTest::GetInstance()->current_test_info();
  listener.OnTestStart(test);
  leave();
  listener.OnTestEnd(test);
}

TEST(LeftoverListener, FailsATestThatLeavesARegistrationBehind) {
  LeftoverProbe probe;
  EXPECT_NONFATAL_FAILURE(AroundATest([&] { Global<LeftoverProbe>::Set(&probe); }),
                          "left Global<bw::test::LeftoverProbe> holding");
  // A registration the next test finds cleared was told of already.
  AroundATest([] { Global<LeftoverProbe>::Clear(); });
  AroundATest([&] { ScopedGlobal<LeftoverProbe> briefly(&probe); });
}

TEST(LeftoverListener, FailsATestThatLeavesAMessageOrAQuitQueuedAndEmptiesTheQueue) {
  constexpr uint32_t kMessage = host::WM_USER + 7;
  EXPECT_NONFATAL_FAILURE(
      AroundATest([] { EXPECT_TRUE(host::PostMessage(host::HWND{}, kMessage, 0, 0)); }),
      "left 1 posted messages in its thread's queue");
  EXPECT_NONFATAL_FAILURE(AroundATest([] { host::PostQuitMessage(0); }),
                          "left 0 posted messages and a quit");
  host::MSG msg;
  EXPECT_FALSE(host::PeekMessage(&msg, host::HWND{}, 0, 0, host::PM_NOREMOVE));
  AroundATest([&] {
    EXPECT_TRUE(host::PostMessage(host::HWND{}, kMessage, 0, 0));
    EXPECT_TRUE(host::PeekMessage(&msg, host::HWND{}, 0, 0, host::PM_REMOVE));
  });
}

TEST(LeftoverListener, FailsATestThatLeavesASwitchTurnedAndTurnsItBack) {
  const bool was = MmxEnabled();
  EXPECT_NONFATAL_FAILURE(AroundATest([&] { SetMmxEnabled(!was); }), "left MmxEnabled at");
  EXPECT_EQ(MmxEnabled(), was);
}

}  // namespace
}  // namespace bw::test
