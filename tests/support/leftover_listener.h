// Fails a test that leaves process-wide state behind: an object still published in a global
// registry, a process-wide switch changed, a message still queued on the test's thread, a window
// or another thread's queue still there. Such a leftover makes the tests that run after it in the
// same process pass or fail by their order.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bw::test {

class LeftoverListener : public testing::EmptyTestEventListener {
 public:
  void OnTestStart(const testing::TestInfo& test) override;
  void OnTestEnd(const testing::TestInfo& test) override;

 private:
  struct Snapshot {
    std::map<std::string, const void*> globals;
    std::vector<int64_t> switches;
    size_t windows = 0;
    size_t otherThreads = 0;
  };
  static Snapshot Take();

  Snapshot before_;
};

}  // namespace bw::test
