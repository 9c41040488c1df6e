// Window messages as the engine knows them: our own constants with the engine's numbers, and the
// pointer-sized parameter types every window procedure takes.
#pragma once

#include <cstdint>

namespace bw::host {

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

// A window handle is a small id, never a pointer: a stale handle finds nothing.
struct HWND {
  uint32_t id = 0;
  constexpr explicit operator bool() const { return id != 0; }
  constexpr bool operator==(const HWND&) const = default;
};

using WindowProc = LRESULT (*)(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam);

struct MSG {
  HWND hwnd;
  uint32_t message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  uint32_t time = 0;  // GetTickCount when posted
};

constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_MOVE = 0x0003;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_SETFOCUS = 0x0007;
constexpr uint32_t WM_KILLFOCUS = 0x0008;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUERYENDSESSION = 0x0011;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_DISPLAYCHANGE = 0x007E;
constexpr uint32_t WM_NCHITTEST = 0x0084;
constexpr uint32_t WM_NCMOUSEMOVE = 0x00A0;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_IME_STARTCOMPOSITION = 0x010D;
constexpr uint32_t WM_IME_ENDCOMPOSITION = 0x010E;
constexpr uint32_t WM_IME_COMPOSITION = 0x010F;
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_TIMER = 0x0113;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MBUTTONDBLCLK = 0x0209;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
constexpr uint32_t WM_ENTERMENULOOP = 0x0211;
constexpr uint32_t WM_EXITMENULOOP = 0x0212;
constexpr uint32_t WM_ENTERSIZEMOVE = 0x0231;
constexpr uint32_t WM_EXITSIZEMOVE = 0x0232;
constexpr uint32_t WM_DROPFILES = 0x0233;
constexpr uint32_t WM_IME_SETCONTEXT = 0x0281;
constexpr uint32_t WM_IME_NOTIFY = 0x0282;
constexpr uint32_t WM_IME_CONTROL = 0x0283;
constexpr uint32_t WM_USER = 0x0400;
constexpr uint32_t WM_APP = 0x8000;

// The application's private window-thread requests; their meaning belongs to the app.
constexpr uint32_t WM_APP_SHOW_CURSOR = 0x9000;
constexpr uint32_t WM_APP_MESSAGE_BOX = 0x9001;
constexpr uint32_t WM_APP_SCREEN_MODE = 0x9002;
constexpr uint32_t WM_APP_CREATE_MENU_WINDOW = 0x9003;
constexpr uint32_t WM_APP_HIDE_MENU_WINDOW = 0x9004;
constexpr uint32_t WM_APP_FRAME_THREAD_ENDED = 0x9005;
constexpr uint32_t WM_APP_MOVIE = 0x9006;
constexpr uint32_t WM_APP_IME = 0x9007;
constexpr uint32_t WM_APP_TEXT_INPUT = 0x9008;
constexpr uint32_t WM_APP_MESSAGE_DIALOG = 0x9009;
// The host's own request, posted by a thread other than the window's and carried out there by
// the default procedure: wParam 1 offers maximising, 0 takes it away.
constexpr uint32_t WM_HOST_SET_MAXIMIZABLE = 0x9100;

// WM_SYSCOMMAND's commands (low four bits are the system's own).
constexpr uint32_t SC_SIZE = 0xF000;
constexpr uint32_t SC_MOVE = 0xF010;
constexpr uint32_t SC_MINIMIZE = 0xF020;
constexpr uint32_t SC_MAXIMIZE = 0xF030;
constexpr uint32_t SC_CLOSE = 0xF060;
constexpr uint32_t SC_KEYMENU = 0xF100;
constexpr uint32_t SC_RESTORE = 0xF120;
constexpr uint32_t SC_SCREENSAVE = 0xF140;
constexpr uint32_t kSysCommandMask = 0xFFF0;

// A key message's lParam bit: Alt was held.
constexpr uint32_t kKeyAltHeldBit = 1u << 29;

// WM_SETCURSOR's hit-test code (low word of lParam) for the client area.
constexpr uint16_t HTCLIENT = 1;

// PeekMessage options.
constexpr uint32_t PM_NOREMOVE = 0x0000;
constexpr uint32_t PM_REMOVE = 0x0001;

// WM_ACTIVATE's low word.
constexpr uint32_t WA_INACTIVE = 0;
constexpr uint32_t WA_ACTIVE = 1;

// Mouse-message key-state flags in wParam.
constexpr uint32_t MK_LBUTTON = 0x0001;
constexpr uint32_t MK_RBUTTON = 0x0002;
constexpr uint32_t MK_SHIFT = 0x0004;
constexpr uint32_t MK_CONTROL = 0x0008;
constexpr uint32_t MK_MBUTTON = 0x0010;

constexpr int WHEEL_DELTA = 120;

// Key-message lParam: repeat count in bits 0-15, scan code 16-23, extended key 24, previous key
// state (already down) 30, transition (released) 31.
constexpr uint32_t kKeyExtendedBit = 1u << 24;
constexpr uint32_t kKeyPreviousStateBit = 1u << 30;
constexpr uint32_t kKeyTransitionBit = 1u << 31;

constexpr uint16_t LoWord(uintptr_t v) {
  return static_cast<uint16_t>(v & 0xFFFF);
}
constexpr uint16_t HiWord(uintptr_t v) {
  return static_cast<uint16_t>((v >> 16) & 0xFFFF);
}
// Packs two signed 16-bit values as the system does for coordinates and wheel deltas.
constexpr uint32_t MakeLong(int lo, int hi) {
  return (static_cast<uint32_t>(static_cast<uint16_t>(lo))) |
         (static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16);
}
constexpr int16_t GetXParam(LPARAM l) {
  return static_cast<int16_t>(LoWord(static_cast<uintptr_t>(l)));
}
constexpr int16_t GetYParam(LPARAM l) {
  return static_cast<int16_t>(HiWord(static_cast<uintptr_t>(l)));
}

}  // namespace bw::host
