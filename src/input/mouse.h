// The mouse: two snapshots of movement, wheel and buttons 0-2, with the wheel read as buttons 3
// (turned up) and 4 (turned down); and the cursor it shows, system or animated.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "host/messages.h"
#include "input/cursor_sprite.h"
#include "platform/lock.h"

namespace bw {

constexpr uint8_t kMouseDirectInput = 0;
constexpr uint8_t kMouseWindows = 1;
constexpr uint8_t kMouseMessage = 2;

constexpr int kButtonLeft = 0;
constexpr int kButtonRight = 1;
constexpr int kButtonMiddle = 2;
constexpr int kButtonWheelUp = 3;
constexpr int kButtonWheelDown = 4;

// The pointer in picture coordinates.
constexpr int32_t kPointerOutside = -1;  // not over the picture
constexpr int32_t kPointerBeside = -2;   // over the display, beside the picture on that axis

struct PointerPosition {
  int32_t x = kPointerOutside;
  int32_t y = kPointerOutside;
};

constexpr uint32_t kCursorNone = 1;
constexpr uint32_t kAnimatedNoImage = 1;
constexpr uint32_t kAnimatedNoCellImage = 2;
constexpr uint32_t kAnimatedBadKind = 3;

class Mouse {
 public:
  Mouse() = default;
  virtual ~Mouse() = default;
  Mouse(const Mouse&) = delete;
  Mouse& operator=(const Mouse&) = delete;

  virtual bool IsButtonDown(int button) const;
  virtual bool IsButtonPressed(int button) const;
  virtual int32_t GetDownButton() const;
  virtual int32_t GetPressedButton() const;
  virtual void Reset();
  int32_t GetWheel() const;
  virtual uint8_t GetKind() const = 0;
  virtual void Acquire() {}
  virtual void Unacquire() {}
  [[nodiscard]] virtual uint32_t Poll() = 0;
  // Keeps the signed high word of a WM_MOUSEWHEEL wParam until the next poll.
  virtual void OnWheelMessage(host::WPARAM wParam);

  // The application's pointer position; queries answer nothing while it is outside the picture.
  void SetPointerPosition(const PointerPosition* position) { pointer_ = position; }

  // Shape 0-12, or one of the program's cursor resources (120, 121); kCursorNone when there is
  // no such cursor.
  [[nodiscard]] uint32_t SetCursorShape(int32_t shape, uint32_t resourceId);
  int32_t CursorShape() const { return shape_; }
  void ShowSystemCursor(bool visible);
  bool IsSystemCursorShown() const { return systemCursor_ != 0; }
  // With message 0 now; else through a send to the window's thread.
  void ApplyCursorVisible(bool visible, host::HWND window, uint32_t message);
  void SetCursorVisible(bool visible, host::HWND window, uint32_t message);
  bool IsCursorRequested() const { return requested_ != 0; }
  bool IsCursorVisible() const { return visible_ != 0; }

  [[nodiscard]] uint32_t SetAnimatedCursor(CursorSprite* sprite, int32_t frameCount,
                                           uint32_t interval, bool pingPong, int32_t hotX,
                                           int32_t hotY);
  void UpdateAnimatedCursor();
  bool HasAnimatedCursor() const { return sprite_ != nullptr; }
  int32_t AnimatedFrame() const { return frame_; }

 protected:
  struct Snapshot {
    int32_t dx = 0;
    int32_t dy = 0;
    int32_t wheel = 0;
    std::array<uint8_t, 4> buttons{};
  };
  bool PointerOutside() const;
  static bool ValidButton(int button) { return button >= kButtonLeft && button <= kButtonMiddle; }
  const Snapshot& Latest() const { return snapshots_[current_ ^ 1]; }
  const Snapshot& Previous() const { return snapshots_[current_]; }
  bool WheelPressed(int button) const;

  uint8_t current_ = 0;
  std::array<Snapshot, 2> snapshots_{};
  std::atomic<int32_t> pendingWheel_{0};

 private:
  const PointerPosition* pointer_ = nullptr;
  int32_t shape_ = 0;
  // Set by the frame thread, read by the window thread in the threaded driving mode.
  std::atomic<uint8_t> requested_{1};
  std::atomic<uint8_t> visible_{1};
  std::atomic<uint8_t> systemCursor_{1};
  // The animated cursor.
  CursorSprite* sprite_ = nullptr;
  int32_t frameCount_ = 0;
  int32_t frameWidth_ = 0;
  int32_t frame0X_ = 0;
  int32_t frame0Y_ = 0;
  int32_t hotX_ = 0;
  int32_t hotY_ = 0;
  int32_t frame_ = -1;
  uint32_t interval_ = 0;
  uint32_t cycle_ = 0;
  uint32_t cycleStart_ = 0;
};

// Buttons from the host's kept state, polled once per frame.
class WindowsMouse : public Mouse {
 public:
  uint8_t GetKind() const override { return kMouseWindows; }
  [[nodiscard]] uint32_t Poll() override;
};

// Fed by the window thread's button messages; a click between two polls is never lost. The
// button bytes are guarded by inputLock_.
class MessageMouse : public Mouse {
 public:
  bool IsButtonDown(int button) const override;
  bool IsButtonPressed(int button) const override;
  void Reset() override;
  uint8_t GetKind() const override { return kMouseMessage; }
  [[nodiscard]] uint32_t Poll() override;
  void OnButton(int button, bool down);

 private:
  mutable Lock inputLock_;
  std::array<uint8_t, 3> held_{};    // guarded by inputLock_
  std::array<uint8_t, 3> events_{};  // guarded by inputLock_
  uint8_t half_ = 0;                 // guarded by inputLock_
};

}  // namespace bw
