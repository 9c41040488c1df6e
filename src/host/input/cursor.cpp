#include "host/input/cursor.h"

#include <atomic>

#include "host/backend.h"

namespace bw::host {

namespace {

// Set from any thread; the event thread applies them to the platform. Atomic, no lock.
std::atomic<int32_t> shapeNow{0};
std::atomic<int32_t> displayCount{0};
std::atomic<bool> keyboardGrabbed{false};
std::atomic<bool> changed{false};

// Event thread only.
void ApplyNow() {
  if (Backend* backend = CurrentBackend()) backend->ApplyCursor(CurrentCursorState());
}

// The platform's cursors belong to the thread that owns the windows.
void Changed() {
  if (IsEventThread()) {
    changed = false;
    ApplyNow();
  } else {
    changed = true;
  }
}

}  // namespace

bool SetCursorShape(int32_t shape) {
  if (shape < 0 || shape >= kCursorShapeCount) return false;
  shapeNow = shape;
  Changed();
  return true;
}

int32_t CursorShape() {
  return shapeNow;
}

bool SetProgramCursor(uint32_t resourceId) {
  constexpr uint32_t kHandResource = 120;
  constexpr uint32_t kInvertedResource = 121;
  if (resourceId != kHandResource && resourceId != kInvertedResource) return false;
  shapeNow = resourceId == kHandResource ? kCursorPointingHand : kCursorInverted;
  Changed();
  return true;
}

int32_t ShowCursor(bool show) {
  int32_t count = show ? ++displayCount : --displayCount;
  Changed();
  return count;
}

void SetKeyboardGrab(bool grab) {
  keyboardGrabbed = grab;
  Changed();
}

bool IsKeyboardGrabbed() {
  return keyboardGrabbed;
}

void ApplyCursorState() {
  if (changed.exchange(false)) ApplyNow();
}

CursorState CurrentCursorState() {
  return CursorState{shapeNow, displayCount >= 0, keyboardGrabbed};
}

}  // namespace bw::host
