// SDL's physical keys as the virtual keys and set-1 scan codes of a Japanese 106-key keyboard.
#pragma once

#include <cstdint>

namespace bw::host {

struct KeyCodes {
  uint8_t virtualKey = 0;  // 0: a key the engine has no name for
  uint8_t scanCode = 0;    // set-1 code; 0x80 marks an extended (E0) key
};

// scancode: an SDL_Scancode.
KeyCodes KeyCodesOf(int scancode);

}  // namespace bw::host
