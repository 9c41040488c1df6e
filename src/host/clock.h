// The host's clocks. Nothing in the engine reads the time except through these: a 32-bit
// millisecond count that wraps like the original's, and a high-resolution counter. Tests swap in
// a VirtualClock so that every timed behaviour is deterministic.
#pragma once

#include <atomic>
#include <cstdint>

#include "common/global.h"

namespace bw::host {

// A time-out that never runs out.
constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// A local calendar time, as the system's local-time query gives it (day of week 0 = Sunday).
struct WallTime {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
  int32_t dayOfWeek = 0;
};

class ClockSource {
 public:
  virtual ~ClockSource() = default;
  // Nanoseconds on a monotonic scale; only differences and the low 32 bits of ms matter.
  virtual uint64_t NowNanoseconds() = 0;
  virtual void Sleep(uint32_t ms) = 0;
  // False for a clock that moves only when slept on: a timed wait has to sleep on it, or the wait
  // never sees its time pass.
  virtual bool MovesOnItsOwn() const { return true; }
  // The local wall-clock time: the system's.
  virtual WallTime LocalTime();
};

// CLOCK_MONOTONIC and nanosleep.
class MonotonicClock final : public ClockSource {
 public:
  uint64_t NowNanoseconds() override;
  void Sleep(uint32_t ms) override;
};

// Sleep(0) is a yield: it gives the processor away for this long rather than returning at once,
// so a frame loop that yields until a precise moment neither spins a core nor misses the moment
// by more than a tenth of a millisecond.
constexpr uint64_t kYieldNanoseconds = 100000;

// A clock that moves only when told to. Sleep advances it by the time asked for (a yield too), so
// code that sleeps while waiting for time to pass still sees it pass.
class VirtualClock final : public ClockSource {
 public:
  explicit VirtualClock(uint32_t startMs = 0) { SetMilliseconds(startMs); }
  uint64_t NowNanoseconds() override { return ns_.load(std::memory_order_acquire); }
  void Sleep(uint32_t ms) override {
    if (ms == 0) {
      AdvanceNanoseconds(kYieldNanoseconds);
    } else {
      AdvanceMilliseconds(ms);
    }
  }
  bool MovesOnItsOwn() const override { return false; }
  // A fixed calendar time, so that runs on this clock read the same date.
  WallTime LocalTime() override { return wall_; }
  void SetLocalTime(const WallTime& time) { wall_ = time; }

  void SetMilliseconds(uint32_t ms) {
    ns_.store(uint64_t{ms} * 1000000u, std::memory_order_release);
  }
  void AdvanceMilliseconds(uint32_t ms) { AdvanceNanoseconds(uint64_t{ms} * 1000000u); }
  void AdvanceNanoseconds(uint64_t ns) { ns_.fetch_add(ns, std::memory_order_acq_rel); }

 private:
  std::atomic<uint64_t> ns_{0};
  WallTime wall_{2000, 1, 1, 12, 0, 0, 6};
};

// The clock in force: the monotonic clock unless one was installed through the registry
// (ScopedGlobal<ClockSource>: tests, the headless backend).
ClockSource& CurrentClock();

// The engine's readings. GetTickCount and TimeGetTime read one source: the millisecond count
// wraps after 2^32 ms.
uint32_t GetTickCount();
WallTime GetLocalTime();
uint32_t TimeGetTime();
int64_t QueryPerformanceCounter();
int64_t QueryPerformanceFrequency();
void Sleep(uint32_t ms);

// The multimedia timer's capabilities: the minimum period reads as 1 ms.
constexpr uint32_t kTimerMinPeriodMs = 1;
constexpr uint32_t kTimerMaxPeriodMs = 1000000;

}  // namespace bw::host
