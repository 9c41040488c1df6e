// The message windows' fade in or out as a timed task on the effects' timer service, so that a
// click during a message wait, closing the window or the end of the scene can end it at its end
// state instead of waiting for it.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/timed_task.h"

namespace bw {

class TgsPresentation;

class TgsWindowFade : public TimedTask {
 public:
  // Fades over totalMs (at least 1), timed from its first update; the first state (alpha 0
  // fading in, 255 out) is put at once, so the first frame drawn after the start shows it.
  TgsWindowFade(TgsPresentation& windows, bool show, bool withButtons, uint32_t totalMs);

  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  // The end state: fully shown, or hidden with the alpha put back to 255.
  void Stop() override;

  // The alpha at elapsed ms of a fade of totalMs (elapsed capped; 64 bits, so a long fade does
  // not wrap).
  static uint8_t AlphaAt(bool show, uint32_t elapsed, uint32_t totalMs);

 private:
  void Finish();

  TgsPresentation& windows_;
  bool show_;
  bool withButtons_;
  uint32_t total_;
  std::optional<uint32_t> start_;
  bool ended_ = false;
};

}  // namespace bw
