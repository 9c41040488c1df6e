#include "support/failing_allocation.h"

#include <cstddef>
#include <new>

namespace bw::test {
namespace {
thread_local bool failing = false;
}  // namespace

FailingAllocations::FailingAllocations() {
  failing = true;
}
FailingAllocations::~FailingAllocations() {
  failing = false;
}

}  // namespace bw::test

// Through the ordinary form otherwise, so that delete stays its match.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (bw::test::failing) return nullptr;
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
