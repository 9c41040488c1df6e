// The process's one millisecond clock. The choice between the multimedia clock and the tick
// count is made once, before anything reads the time; every reader of "now" goes through NowMs.
#pragma once

#include <cstdint>
#include <optional>

namespace bw {

struct TimerCaps {
  uint32_t minPeriodMs = 0;
  uint32_t maxPeriodMs = 0;
};

// The multimedia clock is chosen when its minimum period is below this.
constexpr uint32_t kFinestTickCountPeriodMs = 10;

// What the host's multimedia timer reports.
TimerCaps HostTimerCaps();

class TimerResolution {
 public:
  // Chooses the clock from caps (nullopt: they could not be read) and sets UseTimeGetTime.
  explicit TimerResolution(std::optional<TimerCaps> caps);
  virtual ~TimerResolution() = default;
  TimerResolution(const TimerResolution&) = delete;
  TimerResolution& operator=(const TimerResolution&) = delete;

  // The period the multimedia clock runs at, or 1 when the tick count was chosen.
  uint32_t MinPeriod() const { return caps_.minPeriodMs; }
  bool UsesTimeGetTime() const { return useTimeGetTime_; }

 private:
  TimerCaps caps_;
  bool useTimeGetTime_ = false;
};

// The process's clock choice, made from the host's capabilities at first use.
const TimerResolution& TheTimerResolution();

// The process-wide byte: 1 = the multimedia clock, 0 = the tick count.
uint8_t UseTimeGetTime();

// Now in milliseconds from the chosen source; wraps after 2^32 ms.
uint32_t NowMs();

// Wrap-safe "now is at or past due" for 32-bit millisecond times.
constexpr bool IsTimeReached(uint32_t now, uint32_t due) {
  return static_cast<int32_t>(now - due) >= 0;
}

}  // namespace bw
