#include "effects/anim_task.h"

#include "platform/timer_resolution.h"

namespace bw {

uint32_t AnimTask::PauseNow() {
  return Pause(NowMs());
}

uint32_t AnimTask::ResumeNow() {
  return Resume(NowMs());
}

}  // namespace bw
