// Accelerators 102 of the main window: keys that become menu commands before the game sees them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "host/dialog/menu.h"
#include "host/messages.h"

namespace bw {

// Modifier flags of an accelerator entry, as the resource writes them.
constexpr uint8_t kAccelShift = 0x04;
constexpr uint8_t kAccelControl = 0x08;
constexpr uint8_t kAccelAlt = 0x10;

// The high word of WM_COMMAND's wParam for a command that came from an accelerator.
constexpr uint16_t kCommandFromAccelerator = 1;

struct Accelerator {
  uint8_t modifiers = 0;  // kAccel* flags that must be held; the others must not be
  uint8_t virtualKey = 0;
  uint16_t command = 0;
};

// Resource 102: Shift+A, Alt+Enter, Shift+L, Shift+G, Shift+U, Shift+V and Shift+Z.
std::vector<Accelerator> MainAccelerators();

// A key-down message (WM_KEYDOWN or WM_SYSKEYDOWN) that matches an entry with exactly its
// modifiers held is translated: WM_COMMAND (command, from accelerator) is sent to window, and the
// answer is true so the key goes no further. A command whose item stands greyed in menu is
// swallowed without a command.
[[nodiscard]] bool TranslateAccelerator(host::HWND window, std::span<const Accelerator> table,
                                        const host::Menu* menu, const host::MSG& msg);

}  // namespace bw
