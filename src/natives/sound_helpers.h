// Sound routines the natives and the scenario player share: the music duck under a voice and
// background music by number, both over the script host's sound channels.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "script/script_host.h"

namespace bw {

class BgmDuckTask;
class TimerService;

// Starts a sound task that its timer service then owns (a start answering 0); one whose start
// fails is deleted here.
template <typename Task, typename... Args>
int32_t StartOwned(std::unique_ptr<Task> task, Args&&... args) {
  int32_t r = task->Start(std::forward<Args>(args)...);
  if (r == 0) static_cast<void>(task.release());
  return r;
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
