// Frame pacing: the display's vertical-blank wait or the frame clock, and the nested overrides
// through which the scripts force the wait or switch precise timing off.
#include "app/application/game_app.h"

namespace bw {

namespace {

constexpr int32_t kKeepRate = -1;
constexpr uint16_t kWaitRefreshHz = 60;

}  // namespace

void GameApp::UpdateFramePacing(int32_t fps) {
  if (fps == kKeepRate) fps = frameClock_.Rate();
  DisplayManager& display = GetDisplayManager();
  uint32_t count = 0;
  bool hardware =
      display.GetDirectDraw() != nullptr && (display.Caps().caps & host::kDdCapsNoHardware) == 0;
  if (hardware) {
    const uint32_t interval = config_.pacing.vsyncIntervalMinus1 + 1u;
    const uint8_t sync = config_.pacing.vsyncMode;
    if (sync == kVSyncAlways) {
      count = interval;
    } else if (sync == kVSyncAuto && (GetSystemInfo().Facts().refreshHz == kWaitRefreshHz ||
                                      display.ModeRefresh() == kWaitRefreshHz)) {
      count = interval;
    }
  }
  display.SetVerticalBlankWait(count);
  frameClock_.SetRate(fps, count == 0 && config_.pacing.preciseTiming != 0);
  // A waiting display paces the frames itself.
  frameClock_.SetUnpaced(count != 0);
}

void GameApp::RefreshFramePacing() {
  if (Threaded() && !OnFrameThread() && FrameThread().IsRunning()) {
    pacingUpdateRequested_ = true;
    return;
  }
  UpdateFramePacing(kKeepRate);
}

uint32_t GameApp::PushVSyncWait() {
  ++vsyncOverrides_;
  if (GetDisplayManager().VerticalBlankWait() != 0 || config_.pacing.scriptsMayForceVSync == 0)
    return 0;
  if (GetDisplayManager().GetScreenCanvas() == nullptr) {
    config_.pacing.vsyncMode = kVSyncAlways;
    UpdateFramePacing(kKeepRate);
  } else {
    GetDisplayManager().SetVerticalBlankWait(1);
  }
  return 1;
}

uint32_t GameApp::PopVSyncWait() {
  if (vsyncOverrides_ == 0) return 0;
  if (--vsyncOverrides_ != 0 || config_.pacing.scriptsMayForceVSync == 0) return 0;
  if (GetDisplayManager().GetScreenCanvas() == nullptr) {
    config_.pacing.vsyncMode = settings_.ConfiguredVSync();
    UpdateFramePacing(kKeepRate);
  } else {
    GetDisplayManager().SetVerticalBlankWait(0);
  }
  return 1;
}

uint32_t GameApp::PushPreciseTimingOff() {
  ++preciseOverrides_;
  if (!frameClock_.UsesPerformanceCounter() || config_.pacing.preciseTiming == 0) return 0;
  config_.pacing.preciseTiming = 0;
  UpdateFramePacing(kKeepRate);
  return 1;
}

uint32_t GameApp::PopPreciseTimingOff() {
  if (preciseOverrides_ == 0) return 0;
  if (--preciseOverrides_ != 0 || settings_.ConfiguredPreciseTiming() == 0) return 0;
  config_.pacing.preciseTiming = 1;
  UpdateFramePacing(kKeepRate);
  return 1;
}

void GameApp::DropPacingOverrides() {
  while (vsyncOverrides_ != 0) PopVSyncWait();
  while (preciseOverrides_ != 0) PopPreciseTimingOff();
}

}  // namespace bw
