#include "app/application/engine_app.h"

#include "host/clock.h"
#include "host/input_event.h"
#include "host/message_queue.h"
#include "input/key_codes.h"

namespace bw {

namespace {

constexpr host::LPARAM kGcsResultString = 0x0800;
constexpr host::LPARAM kImeShowUiBits =
    0x3FFFFFF0;  // keeps all but the composition and candidate windows
constexpr host::WPARAM kImnOpenStatusWindow = 0x0002;
constexpr host::WPARAM kImnCloseCandidate = 0x0004;
constexpr host::WPARAM kImnOpenCandidate = 0x0005;
constexpr uint32_t kMouseDoubleClickLeft = 0x0203;
constexpr uint32_t kMouseDoubleClickRight = 0x0206;

}  // namespace

int EngineApp::SetUpInput() {
  uint32_t mode = kInputModeMessages;
  uint32_t r = input_.SetUpDevices(config_.engine.inputMode, mainWindow_.GetHandle(),
                                   config_.engine.joysticks != 0, &mode);
  inputMode_ = mode;
  engineInput_.SetMouse(input_.GetMouse());
  if (active_) input_.Activate();
  return static_cast<int>(r);
}

void EngineApp::BindInputMessages() {
  mainWindow_.Bind(host::WM_ACTIVATE, BindMember(this, &EngineApp::OnActivate));
  mainWindow_.Bind(host::WM_KEYDOWN, BindMember(this, &EngineApp::OnKeyDown));
  mainWindow_.Bind(host::WM_SYSKEYUP, BindMember(this, &EngineApp::OnSysKeyUp));
  mainWindow_.Bind(host::WM_MOUSEWHEEL, BindMember(this, &EngineApp::OnMouseWheel));
  mainWindow_.Bind(kMsgShowCursor, BindMember(this, &EngineApp::OnShowCursorRequest));
  mainWindow_.Bind(kMsgImeRequest, BindMember(this, &EngineApp::OnImeRequest));
  mainWindow_.Bind(host::WM_CHAR, BindMember(this, &EngineApp::OnTextMessage));
  mainWindow_.Bind(host::WM_APP_TEXT_INPUT, BindMember(this, &EngineApp::OnTextMessage));
  mainWindow_.Bind(host::WM_DESTROY, BindMember(this, &EngineApp::OnTextMessage));
  mainWindow_.Bind(host::WM_IME_STARTCOMPOSITION, BindMember(this, &EngineApp::OnImeComposition));
  mainWindow_.Bind(host::WM_IME_ENDCOMPOSITION, BindMember(this, &EngineApp::OnImeComposition));
  mainWindow_.Bind(host::WM_IME_COMPOSITION, BindMember(this, &EngineApp::OnImeComposition));
  mainWindow_.Bind(host::WM_IME_SETCONTEXT, BindMember(this, &EngineApp::OnImeSetContext));
  mainWindow_.Bind(host::WM_IME_NOTIFY, BindMember(this, &EngineApp::OnImeNotify));
  if (config_.engine.inputMode != kInputWindowMessages) return;
  mainWindow_.Bind(host::WM_KEYUP, BindMember(this, &EngineApp::OnKeyUp));
  mainWindow_.Bind(host::WM_SYSKEYDOWN, BindMember(this, &EngineApp::OnSysKeyDown));
  for (uint32_t message = host::WM_LBUTTONDOWN; message <= host::WM_MBUTTONUP; ++message) {
    if (message == kMouseDoubleClickLeft || message == kMouseDoubleClickRight) continue;
    mainWindow_.Bind(message, BindMember(this, &EngineApp::OnMouseButton));
  }
}

void EngineApp::ForwardTextInput(const WindowMessage& record) {
  host::HWND attached = engineInput_.AttachedWindow();
  if (!attached || attached != mainWindow_.GetHandle()) return;
  engineInput_.OnTextInputMessage(attached, record.message, record.wParam, record.lParam);
}

int EngineApp::OnActivate(WindowMessage& record) {
  ScopedLock hold(frameLock_);
  if ((record.wParam & 0xFFFF) != host::WA_INACTIVE) {
    input_.Activate();
  } else {
    input_.Deactivate();
  }
  return kNotHandled;
}

int EngineApp::OnKeyDown(WindowMessage& record) {
  ForwardTextInput(record);
  input_.OnKeyDown(static_cast<uint32_t>(record.wParam), record.lParam);
  return kHandled;
}

int EngineApp::OnSysKeyDown(WindowMessage& record) {
  input_.OnKeyDown(static_cast<uint32_t>(record.wParam), record.lParam);
  return kNotHandled;
}

int EngineApp::OnKeyUp(WindowMessage& record) {
  input_.OnKeyUp(static_cast<uint32_t>(record.wParam), record.lParam);
  return kHandled;
}

int EngineApp::OnSysKeyUp(WindowMessage& record) {
  input_.OnKeyUp(static_cast<uint32_t>(record.wParam), record.lParam);
  if (config_.display.screenMode != kSavedScreenFull) return kNotHandled;
  if ((displayFlags_ & kDisplaySystemKeys) == 0) return kHandled;
  if (record.wParam != host::VK_MENU && record.wParam != host::VK_F10) return kNotHandled;
  return fullScreenMenu_.OpenByKey(static_cast<uint32_t>(record.wParam));
}

int EngineApp::OnMouseWheel(WindowMessage& record) {
  input_.OnMouseWheel(record.wParam);
  return kHandled;
}

int EngineApp::OnMouseButton(WindowMessage& record) {
  input_.OnMouseButton(record.message);
  return kHandled;
}

int EngineApp::OnTextMessage(WindowMessage& record) {
  ForwardTextInput(record);
  return record.message == host::WM_DESTROY ? kNotHandled : kHandled;
}

int EngineApp::OnShowCursorRequest(WindowMessage& record) {
  if (Mouse* mouse = input_.GetMouse()) mouse->ShowSystemCursor(record.wParam != 0);
  return kHandled;
}

int EngineApp::OnImeRequest(WindowMessage& record) {
  engineInput_.EnableIme(record.wParam != 0);
  return kHandled;
}

int EngineApp::OnImeComposition(WindowMessage& record) {
  // Only a finished result goes on, to become characters.
  if (record.message == host::WM_IME_COMPOSITION && (record.lParam & kGcsResultString) != 0)
    return kNotHandled;
  return kHandled;
}

int EngineApp::OnImeSetContext(WindowMessage& record) {
  record.lParam &= kImeShowUiBits;
  return kNotHandled;
}

int EngineApp::OnImeNotify(WindowMessage& record) {
  switch (record.wParam) {
    case kImnOpenCandidate:
      candidateShown_ = true;
      break;
    case kImnCloseCandidate:
      candidateShown_ = false;
      break;
    case kImnOpenStatusWindow:
      if (config_.display.screenMode == kSavedScreenFull) return kHandled;
      break;
    default:
      break;
  }
  return kNotHandled;
}

bool EngineApp::PreTranslateMessage(const host::MSG& msg) {
  fullScreenMenu_.NoteKey(msg);
  if (msg.message == host::WM_SYSKEYUP && msg.wParam == host::VK_F10) return true;
  if ((displayFlags_ & kDisplaySystemKeys) == 0) {
    if (msg.message == host::WM_SYSKEYUP) return true;
    if (msg.message == host::WM_SYSKEYDOWN && msg.wParam != kVkF4 && msg.wParam != host::VK_MENU &&
        msg.wParam != host::VK_F10) {
      return true;
    }
  }
  if (config_.display.screenMode == kSavedScreenFull && msg.message == host::WM_SYSKEYUP &&
      msg.wParam == kVkEscape) {
    return true;
  }
  return false;
}

}  // namespace bw
