// Waiting, without sleeping, for what another thread does: a frame thread's turn, a feeder's
// refill, a worker reaching a load.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string_view>
#include <thread>

namespace bw::test {

// Real time, not the virtual clock: only a fault that never lets the wait end reaches it, and it
// fails the wait instead of hanging the test program (a sanitizer build takes a few seconds at
// most).
inline constexpr std::chrono::seconds kSpinLimit{60};

// Yields until done() answers true; fails, naming what it waited for, past kSpinLimit.
// Use as ASSERT_TRUE(SpinUntil(...)) where the test cannot go on without it.
inline testing::AssertionResult SpinUntil(const std::function<bool()>& done,
                                          std::string_view what) {
  const auto limit = std::chrono::steady_clock::now() + kSpinLimit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) {
      return testing::AssertionFailure() << "waited " << kSpinLimit.count() << " s for " << what;
    }
    std::this_thread::yield();
  }
  return testing::AssertionSuccess();
}

}  // namespace bw::test
