#include "platform/mmx_flag.h"

#include <atomic>

namespace bw {
namespace {

// The kernel choices: set on the main thread at start-up (tests pin them for a scope), read by
// every thread that draws; atomic.
// Every x86-64 processor has the vector unit the MMX kernels are written for.
#if defined(__x86_64__) || defined(_M_X64)
std::atomic<bool> mmxEnabled{true};
#else
std::atomic<bool> mmxEnabled{false};
#endif

const bool hasAvx2 = __builtin_cpu_supports("avx2");
std::atomic<bool> wideVectors{hasAvx2};

}  // namespace

bool WideVectorsEnabled() {
  return wideVectors.load(std::memory_order_relaxed);
}
void SetWideVectorsEnabled(bool on) {
  wideVectors.store(on && hasAvx2, std::memory_order_relaxed);
}

bool MmxEnabled() {
  return mmxEnabled.load(std::memory_order_relaxed);
}
void SetMmxEnabled(bool on) {
  mmxEnabled.store(on, std::memory_order_relaxed);
}

}  // namespace bw
