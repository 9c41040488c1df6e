#include "app/application/frame_pacing.h"

#include "graphics/device/display_manager.h"

namespace bw {

namespace {

constexpr uint16_t kWaitRefreshHz = 60;

}  // namespace

void FramePacing::Update(int32_t fps) {
  if (fps == kKeepRate) fps = clock_.Rate();
  uint32_t count = 0;
  bool hardware =
      display_.GetDirectDraw() != nullptr && (display_.Caps().caps & host::kDdCapsNoHardware) == 0;
  if (hardware) {
    const uint32_t interval = settings_.vsyncIntervalMinus1 + 1u;
    const uint8_t sync = settings_.vsyncMode;
    if (sync == kVSyncAlways) {
      count = interval;
    } else if (sync == kVSyncAuto && (app_.DesktopRefreshHz() == kWaitRefreshHz ||
                                      display_.ModeRefresh() == kWaitRefreshHz)) {
      count = interval;
    }
  }
  display_.SetVerticalBlankWait(count);
  clock_.SetRate(fps, count == 0 && settings_.preciseTiming != 0);
  // A waiting display paces the frames itself.
  clock_.SetUnpaced(count != 0);
}

void FramePacing::Refresh() {
  if (app_.FrameThreadTicks()) {
    updateAsked_ = true;
    return;
  }
  Update(kKeepRate);
}

void FramePacing::UpdateIfAsked() {
  if (updateAsked_.exchange(false)) Update(kKeepRate);
}

uint32_t FramePacing::PushVSyncWait() {
  ++vsyncOverrides_;
  if (display_.VerticalBlankWait() != 0 || settings_.scriptsMayForceVSync == 0) return 0;
  if (display_.GetScreenCanvas() == nullptr) {
    settings_.vsyncMode = kVSyncAlways;
    Update(kKeepRate);
  } else {
    display_.SetVerticalBlankWait(1);
  }
  return 1;
}

uint32_t FramePacing::PopVSyncWait() {
  if (vsyncOverrides_ == 0) return 0;
  if (--vsyncOverrides_ != 0 || settings_.scriptsMayForceVSync == 0) return 0;
  if (display_.GetScreenCanvas() == nullptr) {
    settings_.vsyncMode = files_.ConfiguredVSync();
    Update(kKeepRate);
  } else {
    display_.SetVerticalBlankWait(0);
  }
  return 1;
}

uint32_t FramePacing::PushPreciseTimingOff() {
  ++preciseOverrides_;
  if (!clock_.UsesPerformanceCounter() || settings_.preciseTiming == 0) return 0;
  settings_.preciseTiming = 0;
  Update(kKeepRate);
  return 1;
}

uint32_t FramePacing::PopPreciseTimingOff() {
  if (preciseOverrides_ == 0) return 0;
  if (--preciseOverrides_ != 0 || files_.ConfiguredPreciseTiming() == 0) return 0;
  settings_.preciseTiming = 1;
  Update(kKeepRate);
  return 1;
}

void FramePacing::DropOverrides() {
  // Every override undone: whether each pop changed the pacing does not matter here.
  while (vsyncOverrides_ != 0) (void)PopVSyncWait();
  while (preciseOverrides_ != 0) (void)PopPreciseTimingOff();
}

int FramePacing::LowerFrameThreadPriority() {
  if (settings_.priorityLoweringOff != 0) return kPriorityLoweringOff;
  if (priorityLowerings_ > 0) {
    ++priorityLowerings_;
    return kPriorityAlreadyLow;
  }
  ++priorityLowerings_;
  if (app_.FrameThreadMissing()) return kPriorityNoThread;
  return kPriorityLowered;
}

int FramePacing::RestoreFrameThreadPriority() {
  uint32_t before = priorityLowerings_;
  if (settings_.priorityLoweringOff != 0 || before == 0) return static_cast<int>(before);
  --priorityLowerings_;
  return static_cast<int>(before);
}

}  // namespace bw
