// The system cursor: its shape (the engine's shape numbers 0 to 12), its display count and the
// keyboard grab, kept here and given to the backend on the event thread.
#pragma once

#include <cstdint>

namespace bw::host {

struct CursorState;

constexpr int32_t kCursorShapeCount = 13;

// Sets the window's cursor to a shape 0-12; false for another number. Off the event thread the
// change waits for ApplyCursorState.
bool SetCursorShape(int32_t shape);
int32_t CursorShape();

// ShowCursor's display count: the cursor shows while it is >= 0. Answers the new count.
int32_t ShowCursor(bool show);
// Confines the keyboard to the window (full screen), so system keys stay with the game.
void SetKeyboardGrab(bool grab);
bool IsKeyboardGrabbed();
// Event thread: gives the backend the shape, visibility and grab asked for from other threads.
void ApplyCursorState();
// What the backend is given.
CursorState CurrentCursorState();

}  // namespace bw::host
