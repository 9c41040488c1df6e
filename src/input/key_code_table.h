// DirectInput key codes and the virtual keys of the same keys on the Japanese 106-key layout.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw {

struct KeyCodeRow {
  uint8_t keyCode;     // DirectInput key code
  uint8_t virtualKey;  // Windows virtual key
};

constexpr size_t kKeyCodeRowCount = 104;
constexpr size_t kSubsetKeyCount = 47;

extern const KeyCodeRow KeyCodeTable[kKeyCodeRowCount];
// The key codes the subset keyboard polls: cursor and editing keys, the numeric pad, Escape,
// F1-F12, Z, X, C, Backspace, Enter, Shift, Control, Alt, Tab, Space.
extern const uint8_t SubsetKeyCodes[kSubsetKeyCount];

}  // namespace bw
