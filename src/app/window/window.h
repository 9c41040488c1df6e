// The window wrapper: a host window whose procedure looks each message up in a map of handler
// objects, then asks the window's own OnMessage, then the default procedure.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/backend.h"
#include "host/messages.h"

namespace bw {

class Window;

// Handlers answer kHandled to end the dispatch, kNotHandled to let the next stage run.
constexpr int kHandled = 0;
constexpr int kNotHandled = 1;

struct WindowMessage {
  Window* window = nullptr;
  uint32_t message = 0;
  host::WPARAM wParam = 0;
  host::LPARAM lParam = 0;
  host::LRESULT result = 0;  // what the procedure returns once a stage has handled it
};

class MessageHandler {
 public:
  virtual ~MessageHandler() = default;
  [[nodiscard]] virtual int Invoke(WindowMessage& record) = 0;
};

// Calls one member operation of a target; without either it counts as handled.
template <class T>
class MemberHandler final : public MessageHandler {
 public:
  using Member = int (T::*)(WindowMessage&);
  MemberHandler(T* target, Member member) : target_(target), member_(member) {}
  [[nodiscard]] int Invoke(WindowMessage& record) override {
    return target_ && member_ ? (target_->*member_)(record) : kHandled;
  }

 private:
  T* target_;
  Member member_;
};

template <class T>
std::unique_ptr<MessageHandler> BindMember(T* target, typename MemberHandler<T>::Member member) {
  return std::make_unique<MemberHandler<T>>(target, member);
}

constexpr uint32_t WS_POPUP = 0x80000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_MAXIMIZE = 0x01000000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr uint32_t WS_MAXIMIZEBOX = 0x00010000;
constexpr uint32_t WS_EX_TOPMOST = 0x00000008;

constexpr int kCreated = 0;
constexpr int kRegisterFailed = 1;
constexpr int kCreateFailed = 2;

// Placement modes: 0 keeps left and top, 1 keeps them when the window then lies in the work
// area and centres it otherwise, 2 always centres. On one monitor other modes keep left and top;
// with two or more the monitor list places the window, keeping a position only in mode 1 and
// centring on the nearest monitor, or on the first that can hold the window.
constexpr uint8_t kPlaceAsGiven = 0;
constexpr uint8_t kPlaceInsideOrCentre = 1;
constexpr uint8_t kPlaceCentre = 2;

struct WindowCreateRecord {
  int32_t left = -1;  // -1: choose
  int32_t top = -1;
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  uint16_t iconId = 0;
  uint16_t menuId = 0;
  uint8_t placement = kPlaceAsGiven;
  uintptr_t background = 0;
  std::string title;      // CP932
  std::string className;  // CP932; empty for none
};

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // The default: WM_DESTROY ends the message loop when the window was made to quit on destroy.
  [[nodiscard]] virtual int OnMessage(WindowMessage& record);

  // Registers the record's class once; answers its atom, 0 for a class without a name.
  [[nodiscard]] static uint16_t Register(const WindowCreateRecord& record);
  // A native window when the calling thread drives the backend, else a message-only one. With
  // an owner the window is the owner's popup, shown by the owner's platform window.
  [[nodiscard]] int Create(const WindowCreateRecord& record, bool quitOnDestroy, bool registerFirst,
                           host::HWND owner = {});
  // Outer rectangle as (left, top, width, height). The native frame lies outside the client
  // area here, so the outer size is the client size.
  host::Rect ComputeWindowRect(int32_t clientWidth, int32_t clientHeight, uint32_t style,
                               uint32_t exStyle, bool hasMenu, bool applyPlacement, int32_t left,
                               int32_t top) const;
  // Replaces any handler of the message.
  void Bind(uint32_t message, std::unique_ptr<MessageHandler> handler);
  void Destroy();

  host::LRESULT SendMessage(uint32_t message, host::WPARAM wParam, host::LPARAM lParam);
  [[nodiscard]] bool PostMessage(uint32_t message, host::WPARAM wParam, host::LPARAM lParam);
  bool IsWindow() const;
  host::HWND GetHandle() const { return handle_; }

  // The styles are the window's own record: the platform window draws no frame of ours, and
  // follows only the maximise box.
  uint32_t GetStyle() const { return style_; }
  uint32_t GetExStyle() const { return exStyle_; }
  void SetStyle(uint32_t style, uint32_t exStyle);
  // The system menu's commands (SC_MOVE ...), all present until deleted or reset.
  void DeleteSystemMenuItem(uint32_t command);
  void ResetSystemMenu() { deletedSystemItems_.clear(); }
  bool HasSystemMenuItem(uint32_t command) const;

 private:
  static host::LRESULT Procedure(host::HWND hwnd, uint32_t message, host::WPARAM wParam,
                                 host::LPARAM lParam);
  host::LRESULT Dispatch(uint32_t message, host::WPARAM wParam, host::LPARAM lParam);
  // A handler replaced or removed while a dispatch runs may be the one running: it is kept
  // until the outermost dispatch has returned.
  void Retire(std::unique_ptr<MessageHandler> handler);

  host::HWND handle_;
  std::map<uint32_t, std::unique_ptr<MessageHandler>> map_;
  bool quitOnDestroy_ = false;
  uint8_t placement_ = kPlaceAsGiven;
  uint32_t style_ = 0;
  uint32_t exStyle_ = 0;
  std::vector<uint32_t> deletedSystemItems_;
  int dispatchDepth_ = 0;
  std::vector<std::unique_ptr<MessageHandler>> retired_;
};

}  // namespace bw
