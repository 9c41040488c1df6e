#include "graphics/pixel/mmx_flag.h"

#include <atomic>

namespace bw {
namespace {

// Every x86-64 processor has the vector unit the MMX kernels are written for.
#if defined(__x86_64__) || defined(_M_X64)
std::atomic<bool> mmxEnabled{true};
#else
std::atomic<bool> mmxEnabled{false};
#endif

}  // namespace

bool MmxEnabled() { return mmxEnabled.load(std::memory_order_relaxed); }
void SetMmxEnabled(bool on) { mmxEnabled.store(on, std::memory_order_relaxed); }

}  // namespace bw
