// The engine application's input state: the pointer in picture coordinates with its edge code
// and the full-screen menu's hover, the keyboard grab that stands for the system-key hook, and
// text entry (the attached window, the typed-text buffer, the pending key, the input method).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "host/input/key_state.h"
#include "host/messages.h"
#include "input/ime_context.h"
#include "input/mouse.h"
#include "input/pointer_display.h"
#include "input/text_input_target.h"
#include "platform/lock.h"

namespace bw {

constexpr int32_t kDisplayFullScreen = 1;
constexpr int32_t kDisplayWindow = 2;

// Edge codes, numbered like a numeric keypad.
constexpr int32_t kEdgeNone = 0;
constexpr int32_t kEdgeBottomLeft = 1;
constexpr int32_t kEdgeBottom = 2;
constexpr int32_t kEdgeBottomRight = 3;
constexpr int32_t kEdgeLeft = 4;
constexpr int32_t kEdgeRight = 6;
constexpr int32_t kEdgeTopLeft = 7;
constexpr int32_t kEdgeTop = 8;
constexpr int32_t kEdgeTopRight = 9;

constexpr int32_t kHookSettingOff = -1;
constexpr int32_t kHookInstalled = 0;
constexpr int32_t kHookRefused = 1;

constexpr size_t kTextBufferSize = 32;

struct FullScreenMenuSettings {
  bool enabled = false;
  uint8_t modeBits = 0;  // two bits
  bool keyFlag = false;
  uint32_t hoverDelayMs = 0;
  int32_t bandHeight = 0;
};

class EngineInput {
 public:
  EngineInput();
  EngineInput(const EngineInput&) = delete;
  EngineInput& operator=(const EngineInput&) = delete;

  // Set-up by the application.
  void SetMainWindow(host::HWND window) { mainWindow_ = window; }
  void SetMouse(Mouse* mouse);
  void SetDisplay(PointerDisplay* display) { display_ = display; }
  void SetDisplayMode(int32_t mode) { displayMode_ = mode; }
  void SetCanvasSize(int32_t width, int32_t height) {
    canvasWidth_ = width;
    canvasHeight_ = height;
  }
  void SetMenuSettings(const FullScreenMenuSettings& settings) { menu_ = settings; }
  void SetMinimized(bool minimized) { minimized_ = minimized; }
  void SetKeepCursor(bool keep) { keepCursor_ = keep; }
  void SetHookEnabled(bool enabled) { hookEnabled_ = enabled; }
  void SetModal(bool modal) { modal_ = modal; }

  // The pointer, once per frame on the frame thread; true when it is over the game's screen.
  // MeasurePointer keeps the window thread's requests it leads to (cursor, menu window) for
  // SendWindowRequests, so a caller holding a lock the window thread takes sends them after
  // letting go; UpdatePointer does both.
  bool UpdatePointer();
  bool MeasurePointer();
  void SendWindowRequests();
  const PointerPosition& Pointer() const { return pointer_; }
  int32_t Edge() const { return edge_; }
  bool IsMenuShown() const { return menuShown_; }
  void ClientToScreenPoint(host::Point* point) const;
  void SetCursorPosition(int32_t x, int32_t y);
  bool IsCursorShown() const;

  // The system keys that would leave the game stay with it in full screen: the keyboard is
  // grabbed, as no hook can be set here.
  [[nodiscard]] int32_t InstallKeyboardHook();
  void RemoveKeyboardHook();

  // Text entry.
  void EnableIme(bool on);
  bool IsImeEnabled() const { return imeEnabled_ != 0; }
  void AttachTextInput(host::HWND window);
  host::HWND AttachedWindow() const;
  [[nodiscard]] bool SendTextInputMessage(host::WPARAM value);
  // The attached window's procedure hands each message here before its own handling.
  void OnTextInputMessage(host::HWND window, uint32_t message, host::WPARAM wParam,
                          host::LPARAM lParam);
  // Once per frame for the focused field: a pending key, else the text typed since the last take.
  uint8_t PollTextInput(TextInputTarget* field);
  ImeContext& Ime() { return ime_; }

 private:
  bool UpdateFullScreenPointer();
  bool MenuActive() const;
  bool InCanvas(int32_t x, int32_t y) const;
  void EdgeTest(int32_t x, int32_t y);
  void AskCursor(bool visible);
  void AskWindow(uint32_t message, host::WPARAM wParam);

  host::HWND mainWindow_;
  struct WindowRequest {
    uint32_t message;
    host::WPARAM wParam;
  };
  std::vector<WindowRequest> windowRequests_;  // frame thread only
  Mouse* mouse_ = nullptr;
  PointerDisplay* display_ = nullptr;
  int32_t displayMode_ = kDisplayWindow;
  int32_t canvasWidth_ = 0;
  int32_t canvasHeight_ = 0;
  FullScreenMenuSettings menu_;
  bool minimized_ = false;
  bool keepCursor_ = false;
  bool hookEnabled_ = true;
  bool modal_ = false;
  bool keyboardGrabbed_ = false;

  // Frame thread.
  PointerPosition pointer_;
  int32_t edge_ = kEdgeNone;
  bool menuShown_ = false;
  bool hovering_ = false;
  uint32_t hoverStart_ = 0;

  // Text entry: the window thread writes, the frame thread takes.
  std::atomic<uint8_t> imeEnabled_{0};
  ImeContext ime_;
  std::atomic<uint32_t> pendingKey_{0};
  mutable Lock textLock_;
  host::HWND attached_;              // guarded by textLock_
  char text_[kTextBufferSize] = {};  // guarded by textLock_
  int32_t length_ = 0;               // guarded by textLock_
  int32_t consumed_ = 0;             // guarded by textLock_
  uint8_t leadPending_ = 0;          // guarded by textLock_
};

}  // namespace bw
