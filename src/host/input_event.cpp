#include "host/input_event.h"

#include "host/drop_files.h"
#include "host/input/key_state.h"
#include "host/message_queue.h"

namespace bw::host {

namespace {

LPARAM PointParam(const InputEvent& event) {
  return static_cast<LPARAM>(MakeLong(event.x, event.y));
}

uint32_t ButtonMessage(MouseButton button, bool down) {
  switch (button) {
    case MouseButton::kLeft:
      return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case MouseButton::kRight:
      return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case MouseButton::kMiddle:
      return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
  }
  return WM_NULL;
}

// Alt chords and the two menu keys arrive as system keys, as the menu handling expects.
bool IsSystemKey(const InputEvent& event) {
  return event.altDown || event.virtualKey == VK_MENU || event.virtualKey == VK_F10;
}

// What a disabled window does not take.
bool TakesInput(InputEventKind kind) {
  switch (kind) {
    case InputEventKind::kKeyDown:
    case InputEventKind::kKeyUp:
    case InputEventKind::kText:
    case InputEventKind::kMouseMove:
    case InputEventKind::kMouseButtonDown:
    case InputEventKind::kMouseButtonUp:
    case InputEventKind::kMouseWheel:
      return true;
    default:
      return false;
  }
}

}  // namespace

LPARAM KeyMessageLParam(const InputEvent& event, bool down) {
  uint32_t value = 1u | (uint32_t{event.scanCode} << 16);
  if (event.extended) value |= kKeyExtendedBit;
  if (event.altDown) value |= kKeyAltHeldBit;
  if (!down) {
    value |= kKeyPreviousStateBit | kKeyTransitionBit;
  } else if (event.repeat) {
    value |= kKeyPreviousStateBit;
  }
  return static_cast<LPARAM>(value);
}

bool DeliverInputEvent(HWND hwnd, const InputEvent& event) {
  if (event.kind == InputEventKind::kQuit) {
    PostQuitMessage(0);
    return true;
  }
  if (!IsWindow(hwnd)) return false;
  if (TakesInput(event.kind) && !IsWindowEnabled(hwnd)) return false;
  RecordInputEvent(hwnd, event);
  switch (event.kind) {
    case InputEventKind::kKeyDown:
      return PostMessage(hwnd, IsSystemKey(event) ? WM_SYSKEYDOWN : WM_KEYDOWN, event.virtualKey,
                         KeyMessageLParam(event, true));
    case InputEventKind::kKeyUp:
      return PostMessage(hwnd, IsSystemKey(event) ? WM_SYSKEYUP : WM_KEYUP, event.virtualKey,
                         KeyMessageLParam(event, false));
    case InputEventKind::kText: {
      bool ok = true;
      for (unsigned char byte : event.text) ok = PostMessage(hwnd, WM_CHAR, byte, 1) && ok;
      return ok;
    }
    case InputEventKind::kMouseMove:
      return PostMessage(hwnd, WM_MOUSEMOVE, event.keyState, PointParam(event));
    case InputEventKind::kMouseButtonDown:
    case InputEventKind::kMouseButtonUp:
      return PostMessage(
          hwnd, ButtonMessage(event.button, event.kind == InputEventKind::kMouseButtonDown),
          event.keyState, PointParam(event));
    case InputEventKind::kMouseWheel:
      return PostMessage(
          hwnd, WM_MOUSEWHEEL,
          MakeLong(static_cast<int>(event.keyState), event.wheelNotches * WHEEL_DELTA),
          PointParam(event));
    case InputEventKind::kActivate:
      return PostMessage(hwnd, WM_ACTIVATEAPP, event.active ? 1 : 0, 0) &&
             PostMessage(hwnd, WM_ACTIVATE, event.active ? WA_ACTIVE : WA_INACTIVE, 0);
    case InputEventKind::kPaint:
      return InvalidateWindow(hwnd);
    case InputEventKind::kClose:
      return PostMessage(hwnd, WM_CLOSE, 0, 0);
    case InputEventKind::kMaximize:
      return PostMessage(hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    case InputEventKind::kDropFiles: {
      HDROP drop = CreateDrop(event.files);
      if (!drop) return false;
      if (PostMessage(hwnd, WM_DROPFILES, drop, 0)) return true;
      DragFinish(drop);
      return false;
    }
    case InputEventKind::kQuit:
      break;
  }
  return false;
}

}  // namespace bw::host
