// Keys, buttons and the pointer as the event thread last saw them, kept for the devices that poll
// (the frame thread never calls SDL). Written by the delivery of input events, read from any
// thread.
#pragma once

#include <cstdint>

#include "host/input_event.h"

namespace bw::host {

constexpr uint8_t VK_LBUTTON = 0x01;
constexpr uint8_t VK_RBUTTON = 0x02;
constexpr uint8_t VK_MBUTTON = 0x04;
constexpr uint8_t VK_CONTROL = 0x11;

// Records what one event changes of the kept state.
void RecordInputEvent(HWND hwnd, const InputEvent& event);
// Forgets every key and button held (focus lost, tests).
void ResetKeyState();

// Records what a key or mouse-button message taken off a queue says, for GetKeyState.
void RecordInputMessage(uint32_t message, WPARAM wParam);

// Bit 15 set while the virtual key (or mouse button 1, 2, 4) is down, as the latest events say.
int16_t GetAsyncKeyState(int virtualKey);
// Bit 15 as the input messages taken so far say: a handler sees the keys as they were when its
// message was made, though later events of the same batch are in already. Bit 0 is the key's
// toggle, flipped by each first press (Caps Lock and its kin).
int16_t GetKeyState(int virtualKey);

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const Point&) const = default;
};

// The pointer in screen coordinates: a window's client area starts at its position on the
// screen (0, 0 unless moved).
Point GetCursorPos();
// Moves the kept pointer, and asks the event thread to move the platform's.
void SetCursorPos(int32_t x, int32_t y);
// The event thread's side: a move asked for since the last call, if any.
[[nodiscard]] bool TakeCursorWarp(Point* to);
// What the backend sees of the pointer outside its events (it left the window).
void RecordCursorPos(int32_t x, int32_t y);
// The screen origin of a window's client area, as the backend reports its moves.
void SetWindowOrigin(HWND hwnd, int32_t left, int32_t top);
Point WindowOrigin(HWND hwnd);

}  // namespace bw::host
