// What the controls need of the application: the pointer and its warp, the input devices and
// bindings, the text-input hand-off, the canvas size, the clock and the script's memory. The
// game application implements it; tests fake it.
#pragma once

#include <cstdint>

namespace bw {

class GuestMemory;
class InputBindingTable;
class KeyboardDevice;
class Mouse;
class TextInputTarget;

class GuiServices {
 public:
  virtual ~GuiServices() = default;
  // Canvas coordinates.
  virtual void GetPointerPosition(int32_t* x, int32_t* y) = 0;
  virtual void SetPointerPosition(int32_t x, int32_t y) = 0;
  virtual void SetCursorVisible(bool visible) = 0;
  virtual Mouse* GetMouse() = 0;
  virtual KeyboardDevice* GetKeyboard() = 0;
  virtual InputBindingTable* GetInputBindings() = 0;
  // A pending key, else the text typed since the last take; the target's answer.
  [[nodiscard]] virtual uint8_t PollTextInput(TextInputTarget* target) = 0;
  [[nodiscard]] virtual bool SendTextInputMessage(uint32_t value) = 0;
  virtual int32_t GetCanvasWidth() = 0;
  virtual int32_t GetCanvasHeight() = 0;
  virtual uint32_t Now() = 0;
  // Null while no script runs.
  virtual GuestMemory* GetScriptMemory() = 0;
};

}  // namespace bw
