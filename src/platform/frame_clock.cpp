#include "platform/frame_clock.h"

#include <algorithm>
#include <cstdint>

#include "host/clock.h"
#include "platform/timer_resolution.h"

namespace bw {
namespace {
constexpr uint32_t kMeasureMs = 1000;

// Whole periods beyond the first, never negative, and bounded after a very long stall.
int32_t PeriodsBehind(int64_t elapsed, int64_t period) {
  return static_cast<int32_t>(std::clamp<int64_t>(elapsed / period - 1, 0, INT32_MAX));
}
}  // namespace

FrameClock::FrameClock(int32_t framesPerSecond, bool usePerformanceCounter) {
  SetRate(framesPerSecond, usePerformanceCounter);
  unpaced_ = false;
  skipCounting_ = false;
}

void FrameClock::ResetMillisecondPacing() {
  usePerformanceCounter_ = false;
  uint32_t now = NowMs();
  measuredFps_ = 0;
  frameCount_ = 0;
  accumulatedMs_ = 0;
  havePreviousTickMs_ = false;
  lastDueMs_ = now;
  latestMs_ = now;
}

void FrameClock::SetRate(int32_t framesPerSecond, bool usePerformanceCounter) {
  framesPerSecond_ = framesPerSecond;
  if (framesPerSecond < 1) {
    periodMs_ = 0;
    ResetMillisecondPacing();
    return;
  }
  if (frequency_ == 0 && usePerformanceCounter) frequency_ = host::QueryPerformanceFrequency();
  periodMs_ = 1000u / static_cast<uint32_t>(framesPerSecond);
  ticksPerFrame_ = frequency_ / framesPerSecond;
  if (usePerformanceCounter && frequency_ != 0 && ticksPerFrame_ != 0) {
    usePerformanceCounter_ = true;
    lastDueCounter_ = host::QueryPerformanceCounter();
    latestCounter_ = lastDueCounter_;
    accumulatedTicks_ = 0;
    halfFrameTicks_ = ticksPerFrame_ >> 1;
    measuredFps_ = 0;
    frameCount_ = 0;
    return;
  }
  ResetMillisecondPacing();
}

uint32_t FrameClock::MsToNextFrame() const {
  if (unpaced_ || framesPerSecond_ < 1) return 0;
  if (!usePerformanceCounter_) {
    const uint32_t elapsed = latestMs_ - lastDueMs_;
    return elapsed >= periodMs_ ? 0 : periodMs_ - elapsed;
  }
  const int64_t left = ticksPerFrame_ - (latestCounter_ - lastDueCounter_);
  if (left <= 0) return 0;
  return static_cast<uint32_t>((left * 1000 + frequency_ - 1) / frequency_);
}

bool FrameClock::Tick() {
  framesBehind_ = 0;
  if (unpaced_) return usePerformanceCounter_ ? TickUnpacedCounter() : TickUnpacedMs();
  return usePerformanceCounter_ ? TickPacedCounter() : TickPacedMs();
}

bool FrameClock::TickUnpacedMs() {
  uint32_t now = NowMs();
  ++frameCount_;
  latestMs_ = now;
  if (skipCounting_ && periodMs_ != 0) {
    if (havePreviousTickMs_) {
      framesBehind_ = PeriodsBehind(now - accumulatedMs_, periodMs_);
      waitHintMs_ = 0;
    }
    accumulatedMs_ = now;
    havePreviousTickMs_ = true;
  }
  if (now - lastDueMs_ >= kMeasureMs) {
    measuredFps_ = frameCount_;
    frameCount_ = 0;
    lastDueMs_ = now;
  }
  return true;
}

bool FrameClock::TickUnpacedCounter() {
  int64_t counter = host::QueryPerformanceCounter();
  latestCounter_ = counter;
  ++frameCount_;
  if (skipCounting_) {
    if (accumulatedTicks_ != 0) {
      framesBehind_ = PeriodsBehind(counter - accumulatedTicks_, ticksPerFrame_);
      waitHintMs_ = 0;
    }
    accumulatedTicks_ = counter;
  }
  if (counter - lastDueCounter_ >= frequency_) {
    lastDueCounter_ = counter;
    measuredFps_ = frameCount_;
    frameCount_ = 0;
  }
  return true;
}

bool FrameClock::TickPacedMs() {
  uint32_t now = NowMs();
  latestMs_ = now;
  uint32_t elapsed = now - lastDueMs_;
  bool due = elapsed >= periodMs_;
  if (!due) {
    waitHintMs_ = periodMs_ - elapsed;
  } else {
    if (skipCounting_ && periodMs_ != 0) {
      framesBehind_ = PeriodsBehind(elapsed, periodMs_);
      if (framesBehind_ != 0) waitHintMs_ = periodMs_ >> 1;
    }
    lastDueMs_ = now;
    ++frameCount_;
    accumulatedMs_ += elapsed;
  }
  if (accumulatedMs_ >= kMeasureMs) {
    measuredFps_ = frameCount_;
    frameCount_ = 0;
    accumulatedMs_ = 0;
  }
  return due;
}

bool FrameClock::TickPacedCounter() {
  int64_t counter = host::QueryPerformanceCounter();
  latestCounter_ = counter;
  int64_t elapsed = counter - lastDueCounter_;
  bool due = elapsed >= ticksPerFrame_;
  if (!due) {
    waitHintMs_ =
        elapsed < halfFrameTicks_ ? static_cast<uint32_t>(periodMs_ * elapsed / ticksPerFrame_) : 0;
  } else {
    if (skipCounting_) {
      framesBehind_ = PeriodsBehind(elapsed, ticksPerFrame_);
      if (framesBehind_ != 0) waitHintMs_ = periodMs_ >> 1;
    }
    lastDueCounter_ = counter;
    accumulatedTicks_ += elapsed;
    ++frameCount_;
  }
  if (accumulatedTicks_ >= frequency_) {
    measuredFps_ = frameCount_;
    frameCount_ = 0;
    accumulatedTicks_ = 0;
  }
  return due;
}

}  // namespace bw
