// Input as both backends see it, and its translation into window messages. The SDL backend turns
// SDL events into these; the headless backend takes them from a test's script.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/messages.h"

namespace bw::host {

enum class InputEventKind {
  kKeyDown,
  kKeyUp,
  kText,  // text holds CP932 bytes, one WM_CHAR each
  kMouseMove,
  kMouseButtonDown,
  kMouseButtonUp,
  kMouseWheel,
  kActivate,
  kPaint,
  kClose,
  kMaximize,  // the platform's maximise: the window's system command
  kQuit,
  kDropFiles,
};

enum class MouseButton { kLeft, kRight, kMiddle };

constexpr uint8_t VK_MENU = 0x12;
constexpr uint8_t VK_F4 = 0x73;
constexpr uint8_t VK_F10 = 0x79;

struct InputEvent {
  InputEventKind kind = InputEventKind::kPaint;
  // Keys: the virtual key and the set-1 scan code (extended keys flagged apart).
  uint8_t virtualKey = 0;
  uint8_t scanCode = 0;
  bool extended = false;
  bool repeat = false;  // an automatic repeat of a key already down
  bool altDown = false;
  // Mouse: client coordinates, the buttons and modifier keys held (MK_* flags).
  int32_t x = 0;
  int32_t y = 0;
  uint32_t keyState = 0;
  MouseButton button = MouseButton::kLeft;
  int32_t wheelNotches = 0;  // positive: turned away from the user
  bool active = false;
  std::string text;
  std::vector<std::string> files;  // Linux paths, UTF-8
};

// Posts (or for quit, on the calling thread, raises) the messages of one event to the window.
// Answers false when the window is gone.
[[nodiscard]] bool DeliverInputEvent(HWND hwnd, const InputEvent& event);

// The lParam of a key message.
LPARAM KeyMessageLParam(const InputEvent& event, bool down);

}  // namespace bw::host
