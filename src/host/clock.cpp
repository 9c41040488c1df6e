#include "host/clock.h"

#include <cerrno>
#include <ctime>

namespace bw::host {

namespace {
constexpr int64_t kNanosecondsPerSecond = 1000000000;

MonotonicClock& DefaultClock() {
  static MonotonicClock clock;
  return clock;
}
}  // namespace

uint64_t MonotonicClock::NowNanoseconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * kNanosecondsPerSecond +
         static_cast<uint64_t>(ts.tv_nsec);
}

void MonotonicClock::Sleep(uint32_t ms) {
  timespec req{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  if (ms == 0) req.tv_nsec = static_cast<long>(kYieldNanoseconds);
  while (nanosleep(&req, &req) != 0 && errno == EINTR) {
  }
}

ClockSource& CurrentClock() {
  ClockSource* installed = Global<ClockSource>::Get();
  return installed ? *installed : DefaultClock();
}

WallTime ClockSource::LocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  WallTime t;
  if (localtime_r(&now, &local) == nullptr) return t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  t.dayOfWeek = local.tm_wday;
  return t;
}

WallTime GetLocalTime() {
  return CurrentClock().LocalTime();
}
uint32_t GetTickCount() {
  return static_cast<uint32_t>(CurrentClock().NowNanoseconds() / 1000000u);
}
uint32_t TimeGetTime() {
  return GetTickCount();
}
int64_t QueryPerformanceCounter() {
  return static_cast<int64_t>(CurrentClock().NowNanoseconds());
}
int64_t QueryPerformanceFrequency() {
  return kNanosecondsPerSecond;
}
void Sleep(uint32_t ms) {
  CurrentClock().Sleep(ms);
}

}  // namespace bw::host
