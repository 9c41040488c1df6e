// The system cursor: its shape (the engine's shape numbers 0 to 12), its display count and the
// keyboard grab, kept here and given to the backend on the event thread.
#pragma once

#include <cstdint>

namespace bw::host {

struct CursorState;

constexpr int32_t kCursorShapeCount = 13;
// The program's own cursors follow the system shapes in the cursor table.
constexpr int32_t kCursorPointingHand = 13;  // resource 120
constexpr int32_t kCursorInverted = 14;      // resource 121
constexpr int32_t kCursorTableSize = 15;

// Sets the window's cursor to a shape 0-12; false for another number. Off the event thread the
// change waits for ApplyCursorState.
[[nodiscard]] bool SetCursorShape(int32_t shape);
int32_t CursorShape();
// Sets one of the program's cursor resources (120, 121); false for another id.
[[nodiscard]] bool SetProgramCursor(uint32_t resourceId);

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
