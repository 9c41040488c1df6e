// The base of the picture animation tasks: they can pause and resume themselves on the
// application's clock, outside the timer service's own pause.
#pragma once

#include <cstdint>

#include "platform/timed_task.h"

namespace bw {

class AnimTask : public TimedTask {
 public:
  // The pause count after raising it; the outermost level records the time.
  virtual uint32_t PauseNow();
  // As Resume at the clock's time.
  virtual uint32_t ResumeNow();
};

}  // namespace bw
