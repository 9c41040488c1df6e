#include "gui/caret_blink_task.h"

#include "graphics/surface/display_object.h"

namespace bw {

int32_t CaretBlinkTask::Update(uint32_t /*nowMs*/) {
  if (blinking_ && caret_) caret_->SetVisible(!caret_->IsVisible());
  return kTaskStepContinue;
}

}  // namespace bw
