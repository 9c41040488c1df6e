#include "app/application/game_timers.h"

namespace bw {

bool GameTimers::FollowEffectsPause() {
  uint8_t request = effectsPause_;
  if (request == kEffectsResumeRequested || request == kEffectsRunning) {
    // Only a pause this byte made is undone, once: the tasks' own pause counts stay balanced.
    if (pausedHere_) second_.ResumeAll(kEveryTaskKind);
    pausedHere_ = false;
    if (request == kEffectsResumeRequested)
      effectsPause_.compare_exchange_strong(request, kEffectsRunning);
    return false;
  }
  if (request == kEffectsPauseRequested) {
    if (!pausedHere_) second_.PauseAll(kEveryTaskKind);
    pausedHere_ = true;
    effectsPause_.compare_exchange_strong(request, kEffectsPaused);
    return true;
  }
  return request == kEffectsPaused;
}

}  // namespace bw
