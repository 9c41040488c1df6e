// The system cursor: its shape (the engine's shape numbers 0 to 12) and its display count.
#pragma once

#include <cstdint>

namespace bw::host {

constexpr int32_t kCursorShapeCount = 13;

// Sets the window's cursor to a shape 0-12; false for another number. Shapes SDL lacks (help,
// up arrow) are drawn here. Off the event thread the change waits for ApplyCursorState.
bool SetCursorShape(int32_t shape);
int32_t CursorShape();

// ShowCursor's display count: the cursor shows while it is >= 0. Answers the new count.
int32_t ShowCursor(bool show);
// Confines the keyboard to the window (full screen), so system keys stay with the game.
void SetKeyboardGrab(bool grab);
bool IsKeyboardGrabbed();
// Event thread: gives SDL the shape, visibility and grab asked for from other threads.
void ApplyCursorState();

}  // namespace bw::host
