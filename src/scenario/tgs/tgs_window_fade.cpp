#include "scenario/tgs/tgs_window_fade.h"

#include <algorithm>

#include "scenario/tgs/tgs_frame_host.h"

namespace bw {

TgsWindowFade::TgsWindowFade(TgsPresentation& windows, bool show, bool withButtons,
                             uint32_t totalMs)
    : windows_(windows),
      show_(show),
      withButtons_(withButtons),
      total_(std::max<uint32_t>(totalMs, 1)) {
  windows_.SetWindowAlpha(AlphaAt(show_, 0, total_), withButtons_);
}

uint8_t TgsWindowFade::AlphaAt(bool show, uint32_t elapsed, uint32_t totalMs) {
  totalMs = std::max<uint32_t>(totalMs, 1);
  const auto alpha = static_cast<uint8_t>(uint64_t{std::min(elapsed, totalMs)} * 255 / totalMs);
  return show ? alpha : static_cast<uint8_t>(255 - alpha);
}

int32_t TgsWindowFade::Update(uint32_t nowMs) {
  if (ended_) return kTaskStepFinished;
  if (!start_) start_ = nowMs;
  const uint32_t elapsed = nowMs - *start_;
  if (elapsed >= total_) {
    Finish();
    return kTaskStepFinished;
  }
  windows_.SetWindowAlpha(AlphaAt(show_, elapsed, total_), withButtons_);
  return kTaskStepContinue;
}

void TgsWindowFade::Stop() {
  Finish();
}

void TgsWindowFade::Finish() {
  if (ended_) return;
  ended_ = true;
  if (!show_) {
    windows_.SetWindowVisible(false);
    if (withButtons_) windows_.ShowButtons(false);
  }
  windows_.SetWindowAlpha(255, withButtons_);
}

}  // namespace bw
