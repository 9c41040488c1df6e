// Runs a test's out-of-memory paths: while one of these lives, the nothrow form of new on its
// thread answers null. A test program that uses it has that form replaced throughout.
#pragma once

namespace bw::test {

class FailingAllocations {
 public:
  FailingAllocations();
  ~FailingAllocations();
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;
};

}  // namespace bw::test
