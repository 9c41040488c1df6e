// Paces and counts frames. The frame loop calls Tick once per turn and reads the frames behind,
// the measured rate and the wait hint afterwards.
#pragma once

#include <cstdint>

namespace bw {

class FrameClock {
 public:
  FrameClock(int32_t framesPerSecond, bool usePerformanceCounter);

  // Below 1 frame per second there is no pacing. The performance counter is used only when it
  // was asked for and gives a usable frame length.
  void SetRate(int32_t framesPerSecond, bool usePerformanceCounter);
  // True when a frame is due.
  bool Tick();

  // Set while the display's vertical-blank wait paces the frames: every tick is a frame.
  void SetUnpaced(bool unpaced) { unpaced_ = unpaced; }
  void SetSkipCounting(bool on) { skipCounting_ = on; }

  int32_t Rate() const { return framesPerSecond_; }
  bool UsesPerformanceCounter() const { return usePerformanceCounter_; }
  uint32_t PeriodMs() const { return periodMs_; }
  // Whole frame periods beyond the first since the previous frame.
  int32_t FramesBehind() const { return framesBehind_; }
  int32_t MeasuredFps() const { return measuredFps_; }
  // How long the loop may sleep before the next frame.
  uint32_t WaitHint() const { return waitHintMs_; }
  // Whole milliseconds from the last tick until the next frame is due, rounded up; 0 when
  // unpaced. The hint above is the original's cautious guess; this is exact.
  uint32_t MsToNextFrame() const;

 private:
  bool TickUnpacedMs();
  bool TickUnpacedCounter();
  bool TickPacedMs();
  bool TickPacedCounter();
  void ResetMillisecondPacing();

  int32_t framesPerSecond_ = 0;
  bool usePerformanceCounter_ = false;
  bool unpaced_ = false;
  bool skipCounting_ = false;
  int32_t framesBehind_ = 0;
  int32_t measuredFps_ = 0;
  int32_t frameCount_ = 0;
  int64_t frequency_ = 0;  // read once
  int64_t ticksPerFrame_ = 0;
  int64_t lastDueCounter_ = 0;    // unpaced: start of the measuring second
  int64_t accumulatedTicks_ = 0;  // unpaced: the previous tick's counter, 0 = none yet
  int64_t latestCounter_ = 0;
  int64_t halfFrameTicks_ = 0;
  uint32_t periodMs_ = 0;
  uint32_t lastDueMs_ = 0;           // unpaced: start of the measuring second
  uint32_t accumulatedMs_ = 0;       // unpaced: the previous tick's time, when there is one
  bool havePreviousTickMs_ = false;  // a flag, not 0: the clock reads 0 once every wrap
  uint32_t latestMs_ = 0;
  uint32_t waitHintMs_ = 0;
};

}  // namespace bw
