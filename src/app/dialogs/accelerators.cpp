#include "app/dialogs/accelerators.h"

#include "app/dialogs/main_menu.h"
#include "host/input/key_state.h"
#include "host/message_queue.h"
#include "input/key_codes.h"

namespace bw {

namespace {

// Commands the menu does not name; they reach the handler and do nothing there.
constexpr uint16_t kCmdShiftL = 40009;
constexpr uint16_t kCmdShiftU = 40010;
constexpr uint16_t kCmdShiftG = 40011;
constexpr uint16_t kCmdShiftA = 40012;
constexpr uint16_t kCmdShiftZ = 40013;

bool Held(int virtualKey) {
  return (host::GetKeyState(virtualKey) & 0x8000) != 0;
}

bool FindItem(const std::vector<host::MenuItem>& items, int id, bool* enabled) {
  for (const host::MenuItem& item : items) {
    if (!item.separator && item.id == id) {
      *enabled = item.enabled;
      return true;
    }
    if (FindItem(item.items, id, enabled)) return true;
  }
  return false;
}

}  // namespace

std::vector<Accelerator> MainAccelerators() {
  return {{kAccelShift, 'A', kCmdShiftA}, {kAccelAlt, kVkReturn, kCmdScreenMode},
          {kAccelShift, 'L', kCmdShiftL}, {kAccelShift, 'G', kCmdShiftG},
          {kAccelShift, 'U', kCmdShiftU}, {kAccelShift, 'V', kCmdVersion},
          {kAccelShift, 'Z', kCmdShiftZ}};
}

bool TranslateAccelerator(host::HWND window, std::span<const Accelerator> table,
                          const host::Menu* menu, const host::MSG& msg) {
  if (msg.message != host::WM_KEYDOWN && msg.message != host::WM_SYSKEYDOWN) return false;
  uint8_t held = 0;
  if (Held(kVkShift)) held |= kAccelShift;
  if (Held(host::VK_CONTROL)) held |= kAccelControl;
  if ((msg.lParam & host::kKeyAltHeldBit) != 0) held |= kAccelAlt;
  for (const Accelerator& entry : table) {
    if (entry.virtualKey != msg.wParam || entry.modifiers != held) continue;
    bool enabled = true;
    if (menu != nullptr && FindItem(menu->Items(), entry.command, &enabled) && !enabled)
      return true;
    host::WPARAM wParam = entry.command | (host::WPARAM{kCommandFromAccelerator} << 16);
    host::SendMessage(window, host::WM_COMMAND, wParam, 0);
    return true;
  }
  return false;
}

}  // namespace bw
