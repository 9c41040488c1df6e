// Blinks a text field's caret: while blinking, each update shows a hidden caret and hides a shown
// one. It never finishes; the field removes it.
#pragma once

#include "platform/timed_task.h"

namespace bw {

class DisplayObject;

class CaretBlinkTask : public TimedTask {
 public:
  explicit CaretBlinkTask(DisplayObject* caret) : caret_(caret) {}

  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  // The caret may go with the field from now on.
  void Stop() override { caret_ = nullptr; }

  void SetBlinking(bool blinking) { blinking_ = blinking; }
  bool IsBlinking() const { return blinking_; }

 private:
  DisplayObject* caret_;
  bool blinking_ = false;
};

}  // namespace bw
