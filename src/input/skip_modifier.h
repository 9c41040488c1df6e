// The skip modifier: the pair of keys that fast-forwards text while held. An application option
// chooses the Ctrl keys or the Shift keys. The message window's typing and the script's key tests
// ask it through here.
#pragma once

#include "input/keyboard_device.h"

namespace bw {

constexpr int kKeyLeftControl = 29;
constexpr int kKeyRightControl = 157;
constexpr int kKeyLeftShift = 42;
constexpr int kKeyRightShift = 54;

// Either key of the pair held.
inline bool IsSkipModifierDown(const KeyboardDevice* keyboard, bool controlKeys) {
  if (!keyboard) return false;
  return controlKeys ? keyboard->IsKeyDown(kKeyLeftControl) || keyboard->IsKeyDown(kKeyRightControl)
                     : keyboard->IsKeyDown(kKeyLeftShift) || keyboard->IsKeyDown(kKeyRightShift);
}

// Either key of the pair newly pressed.
inline bool IsSkipModifierPressed(const KeyboardDevice* keyboard, bool controlKeys) {
  if (!keyboard) return false;
  return controlKeys
             ? keyboard->IsKeyPressed(kKeyLeftControl) || keyboard->IsKeyPressed(kKeyRightControl)
             : keyboard->IsKeyPressed(kKeyLeftShift) || keyboard->IsKeyPressed(kKeyRightShift);
}

}  // namespace bw
