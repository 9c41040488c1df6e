#include "platform/timer_resolution.h"

#include <atomic>

#include "host/clock.h"

namespace bw {
namespace {
// Written once, by whichever thread builds the resolution first; read by every clock reader.
std::atomic<uint8_t> g_useTimeGetTime{0};
}  // namespace

TimerCaps HostTimerCaps() {
  return {host::kTimerMinPeriodMs, host::kTimerMaxPeriodMs};
}

// The host clock keeps millisecond resolution on its own, so there is no period to begin or end.
TimerResolution::TimerResolution(std::optional<TimerCaps> caps) {
  if (!caps || caps->minPeriodMs >= kFinestTickCountPeriodMs) {
    caps_ = caps.value_or(TimerCaps{});
    caps_.minPeriodMs = 1;
    useTimeGetTime_ = false;
  } else {
    caps_ = *caps;
    useTimeGetTime_ = true;
  }
  g_useTimeGetTime.store(useTimeGetTime_ ? 1 : 0, std::memory_order_release);
}

const TimerResolution& TheTimerResolution() {
  static const TimerResolution resolution(HostTimerCaps());
  return resolution;
}

uint8_t UseTimeGetTime() {
  TheTimerResolution();
  return g_useTimeGetTime.load(std::memory_order_acquire);
}

uint32_t NowMs() {
  return UseTimeGetTime() ? host::TimeGetTime() : host::GetTickCount();
}

}  // namespace bw
