// Frame pacing: the frame clock and the display's vertical-blank wait as the settings choose them,
// the nested overrides through which the scripts force the wait or switch precise timing off, and
// the nested lowering of the frame thread's priority that running effects ask for.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/application/settings_files.h"
#include "app/config/engine_config.h"
#include "platform/frame_clock.h"

namespace bw {

class DisplayManager;

// LowerFrameThreadPriority results.
constexpr int kPriorityLowered = 0;
constexpr int kPriorityAlreadyLow = 1;
constexpr int kPriorityNoThread = 2;
constexpr int kPriorityLoweringOff = -1;

// What the pacing asks of the running application.
class FramePacingHost {
 public:
  virtual ~FramePacingHost() = default;
  // The threaded mode's frame thread runs and ticks the clock, and this is another thread.
  [[nodiscard]] virtual bool FrameThreadTicks() = 0;
  // The threaded mode has no frame thread running.
  [[nodiscard]] virtual bool FrameThreadMissing() = 0;
  virtual uint16_t DesktopRefreshHz() = 0;
};

class FramePacing {
 public:
  // settings: the live pacing block, which the overrides change; files: what USER.CFG said,
  // which the last pop brings back.
  FramePacing(FramePacingHost& app, DisplayManager& display, FramePacingSettings& settings,
              const SettingsFiles& files)
      : app_(app), display_(display), settings_(settings), files_(files) {}
  FramePacing(const FramePacing&) = delete;
  FramePacing& operator=(const FramePacing&) = delete;

  FrameClock& Clock() { return clock_; }
  // fps kKeepRate keeps the frame clock's rate.
  static constexpr int32_t kKeepRate = -1;
  void Update(int32_t fps);
  // Update(kKeepRate) on the thread that ticks the frame clock: now, or in the threaded mode from
  // another thread at the frame thread's next turn (UpdateIfAsked).
  void Refresh();
  void UpdateIfAsked();

  // Nested overrides; each answers 1 when the pacing changed. A pop with nothing pushed does
  // nothing.
  [[nodiscard]] uint32_t PushVSyncWait();
  [[nodiscard]] uint32_t PopVSyncWait();
  [[nodiscard]] uint32_t PushPreciseTimingOff();
  [[nodiscard]] uint32_t PopPreciseTimingOff();
  // A restarted MAIN cannot pop what the old one pushed.
  void DropOverrides();
  uint32_t VsyncOverrides() const { return vsyncOverrides_; }
  uint32_t PreciseTimingOverrides() const { return preciseOverrides_; }

  // Nested: only the last restore brings the priority back. Restore answers the count before it.
  // Thread priorities are left to the system scheduler here: only the nesting is kept, which the
  // frame loops read to keep drawing on turns without a due frame.
  [[nodiscard]] int LowerFrameThreadPriority();
  [[nodiscard]] int RestoreFrameThreadPriority();
  uint32_t PriorityLowerings() const { return priorityLowerings_; }

 private:
  FramePacingHost& app_;
  DisplayManager& display_;
  FramePacingSettings& settings_;
  const SettingsFiles& files_;
  FrameClock clock_{60, false};
  uint32_t vsyncOverrides_ = 0;
  uint32_t preciseOverrides_ = 0;
  uint32_t priorityLowerings_ = 0;
  std::atomic<bool> updateAsked_{false};
};

}  // namespace bw
