// Per-thread counts of component-library initialisation. There is no such library here, so the
// initialisation itself always succeeds; the counts and the answers stay as callers expect them.
#pragma once

#include <cstdint>

namespace bw {

constexpr uint32_t kComDone = 0;
constexpr uint32_t kComFailed = 1;

// Counts one initialisation of the calling thread.
[[nodiscard]] uint32_t ComInitializeForThread();
// Takes one back; kComFailed when the calling thread has none.
[[nodiscard]] uint32_t ComUninitializeForThread();

}  // namespace bw
