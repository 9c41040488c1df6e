// The skip modifier: the pair of keys that fast-forwards text while held. An application option
// chooses the Ctrl keys or the Shift keys. The message window's typing and the script's key tests
// ask it through here.
#pragma once

#include <cstdint>
#include <optional>

#include "input/key_codes.h"
#include "input/keyboard_device.h"

namespace bw {

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

// When the skip pair is also the quick-save modifier, a player reaching for F1-F5 holds it for a
// moment first: the hold skips only once it has lasted kGraceMs with no F key, and a hold that
// took an F key never skips.
class SharedSkipModifier {
 public:
  static constexpr uint32_t kGraceMs = 300;

  // pressed: the pair went down in this turn (a release between two asks begins a new hold).
  bool Skips(bool held, bool pressed, bool quickKeyDown, uint32_t now) {
    if (!held || pressed) {
      since_.reset();
      chord_ = false;
    }
    if (!held) return false;
    if (!since_) since_ = now;
    chord_ = chord_ || quickKeyDown;
    return !chord_ && now - *since_ >= kGraceMs;
  }

 private:
  std::optional<uint32_t> since_;
  bool chord_ = false;
};

}  // namespace bw
