// Sound routines the natives and the scenario player share: the music duck under a voice and
// background music by number, both over the script host's sound channels.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "platform/timer_service.h"
#include "script/script_host.h"

namespace bw {

class BgmDuckTask;
class TimerService;

// Starts a sound task and hands it to the timer service it started on, which owns it from then
// on; one whose start fails, or that the service refuses, is deleted here.
template <typename Task, typename... Args>
[[nodiscard]] int32_t StartOwned(std::unique_ptr<Task> task, Args&&... args) {
  const int32_t r = task->Start(std::forward<Args>(args)...);
  if (r != 0) return r;
  const int32_t refused = task->RefusedCode();
  return task->Service()->HandOver(std::move(task)) ? 0 : refused;
}

// The general timer service: the one the host's sound channels run their tasks on (null
// without channels).
TimerService* GeneralTimerService(ScriptHost& host);

// Ducks the music while the channel plays. A ratio text is read as a decimal number; without
// one the player's duck setting decides (50 halves the music, v gives v / 100). The running
// duck task, or null.
BgmDuckTask* StartSoundFader(ScriptHost& host, int32_t channel, const char* ratioText);

// PlayBgmNumber results.
constexpr int32_t kBgmNumberDone = 0;
constexpr int32_t kBgmNumberFailed = 1;  // direct playback answered a positive code

// Plays "BGM\BGMnn.OGG" (or its A part once and B part looped), number 0 being silence, with a
// fade of fadeMs (0: none) or a cross-fade when music played before.
[[nodiscard]] int32_t PlayBgmNumber(ScriptHost& host, int32_t number, uint32_t fadeMs, bool loop);
// The number PlayBgmNumber last made current.
int32_t CurrentBgmNumber(ScriptHost& host);

}  // namespace bw
