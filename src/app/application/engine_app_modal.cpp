#include "app/application/engine_app.h"

#include "host/clock.h"
#include "host/message_box.h"
#include "host/message_queue.h"

namespace bw {

namespace {

constexpr uint32_t kParkedWaitMs = 50;

uint32_t IconStyle(int icon) {
  switch (icon) {
    case kIconWarning:
      return host::MB_ICONWARNING;
    case kIconInformation:
      return host::MB_ICONINFORMATION;
    case kIconQuestion:
      return host::MB_ICONQUESTION;
    case kIconError:
      return host::MB_ICONERROR;
    default:
      return 0;  // any other kind shows none
  }
}

}  // namespace

int EngineApp::ModalMessageBox(const std::string& textCp932, uint32_t buttons, int icon,
                               const std::string& titleCp932) {
  BeginModal();
  host::HWND owner = mainWindow_.IsWindow() ? mainWindow_.GetHandle() : host::HWND{};
  const char* name = GetAppName();
  const std::string title = !titleCp932.empty() ? titleCp932 : name ? name : "";
  int answer = host::MessageBox(owner, textCp932, title, buttons | IconStyle(icon));
  EndModal();
  return answer;
}

void EngineApp::Note(const std::string& textCp932) {
  host::EchoMessage(info_.appName, textCp932);
  log_.WriteNote(textCp932);
}

void EngineApp::NoteInLog(const std::string& textCp932) {
  log_.WriteNote(textCp932);
}

void EngineApp::ShowMessage(const std::string& textCp932, int icon) {
  // The one button's answer says nothing, shown or not.
  if (OnFrameThread()) {
    (void)RequestMessageBox(kBoxMessage, textCp932, icon);
  } else {
    (void)ModalMessageBox(textCp932, host::MB_OK, icon);
  }
}

bool EngineApp::AskYesNo(const std::string& textCp932, int icon) {
  if (OnFrameThread()) return RequestMessageBox(kBoxYesNo, textCp932, icon) != 0;
  return ModalMessageBox(textCp932, host::MB_YESNO, icon) == host::IDYES;
}

bool EngineApp::AskOkCancel(const std::string& textCp932, int icon) {
  if (OnFrameThread()) return RequestMessageBox(kBoxOkCancel, textCp932, icon) != 0;
  return ModalMessageBox(textCp932, host::MB_OKCANCEL, icon) == host::IDOK;
}

void EngineApp::BeginModal() {
  if (modalDepth_++ > 0) return;
  fullScreenMenu_.SetModal(true);
  if (!Threaded()) {
    frameLoopRunning_ = false;
    OnPauseForModal();
  }
  if (mainWindow_.IsWindow()) mainWindow_.SendMessage(kMsgShowCursor, 1, 0);
  if (DirectDrawModeSet()) {
    SuppressScreenSaver();
    // The screen stays as it is when the switch fails; the frame loop notices a lost one.
    (void)display_.ShowGdiOverFullScreen();
  }
}

void EngineApp::EndModal() {
  if (modalDepth_ == 0 || --modalDepth_ > 0) return;
  ++modalsEnded_;
  if (DirectDrawModeSet()) {
    // The screen stays as it is when the switch fails; the frame loop notices a lost one.
    (void)display_.EndGdiOverFullScreen();
    RestoreScreenSaver();
  }
  // The cursor goes again only where the game had it hidden.
  Mouse* mouse = input_.GetMouse();
  if (mouse != nullptr && !mouse->IsCursorVisible() && mainWindow_.IsWindow()) {
    mainWindow_.SendMessage(kMsgShowCursor, 0, 0);
  }
  if (!Threaded()) {
    frameLoopRunning_ = true;
    OnResumeFromModal();
  }
  fullScreenMenu_.SetModal(false);
}

bool EngineApp::OnFrameThread() const {
  return frameThread_.IsRunning() && frameThread_.GetThreadId() == CurrentThreadId();
}

uint8_t EngineApp::RequestMessageBox(int kind, const std::string& textCp932, int icon,
                                     const std::string& title) {
  if (!mainWindow_.IsWindow()) return 0;
  MessageBoxRecord record{kind, textCp932, title, icon, 1};
  SendPausingFrames(kMsgMessageBox, reinterpret_cast<host::WPARAM>(&record), 0);
  return record.answer;
}

void EngineApp::SendPausingFrames(uint32_t message, host::WPARAM wParam, host::LPARAM lParam) {
  frameLoopRunning_ = false;
  OnPauseForModal();
  host::SendMessage(mainWindow_.GetHandle(), message, wParam, lParam);
  frameLoopRunning_ = true;
  OnResumeFromModal();
}

int EngineApp::OnMessageBoxRequest(WindowMessage& message) {
  auto* record = reinterpret_cast<MessageBoxRecord*>(message.wParam);
  if (record == nullptr) return kHandled;
  // The window thread shows the box itself, with the title the request carries.
  switch (record->kind) {
    case kBoxYesNo:
      record->answer =
          ModalMessageBox(record->text, host::MB_YESNO, record->icon, record->title) == host::IDYES;
      break;
    case kBoxOkCancel:
      record->answer = ModalMessageBox(record->text, host::MB_OKCANCEL, record->icon,
                                       record->title) == host::IDOK;
      break;
    default:
      (void)ModalMessageBox(record->text, host::MB_OK, record->icon, record->title);  // one button
      break;
  }
  return kHandled;
}

int EngineApp::RequestScreenMode(int mode, int depth, int force) {
  if (!OnFrameThread()) {
    // The frame thread may be drawing: switch only while it is held off.
    ScopedLock hold(frameLock_);
    return SwitchScreenMode(mode, depth, force);
  }
  int32_t result = 0;
  host::WPARAM packed =
      static_cast<host::WPARAM>(((mode & 0xFF) << 16) | ((depth & 0xFF) << 8) | (force & 0xFF));
  host::SendMessage(mainWindow_.GetHandle(), kMsgScreenMode, packed,
                    reinterpret_cast<host::LPARAM>(&result));
  return result;
}

int EngineApp::OnScreenModeRequest(WindowMessage& message) {
  int mode = static_cast<int>((message.wParam >> 16) & 0xFF);
  int depth = static_cast<int>((message.wParam >> 8) & 0xFF);
  int force = static_cast<int>(message.wParam & 0xFF);
  ScopedLock hold(frameLock_);
  int32_t result = SwitchScreenMode(mode, depth, force);
  if (auto* out = reinterpret_cast<int32_t*>(message.lParam)) *out = result;
  return kHandled;
}

int EngineApp::OnClose(WindowMessage& /*message*/) {
  if (Threaded() && frameThread_.IsRunning()) {
    frameThread_.RequestStop();  // the frame thread ends and asks for the window's end
  } else {
    mainWindow_.Destroy();
  }
  return kHandled;
}

int EngineApp::OnFrameThreadEnded(WindowMessage& /*message*/) {
  mainWindow_.Destroy();
  return kHandled;
}

int EngineApp::FrameThreadStep() {
  host::Sleep(16);
  return 0;
}

void EngineApp::FrameThreadMain() {
  if (FrameThreadBegin() == 0) {
    while (frameThread_.KeepRunning()) {
      if (FrameThreadStep() != 0) break;
    }
  }
  FrameThreadEnd();
  host::SendMessage(mainWindow_.GetHandle(), kMsgFrameThreadEnded, 0, 0);
}

bool EngineApp::FramePaused() {
  uint8_t state = pauseState_.load();
  if (state == kFrameRunning) return false;
  if (state == kFramePauseRequested) pauseState_.store(kFrameParked);
  FrameThreadWait(kParkedWaitMs);
  return true;
}

bool EngineApp::FrameThreadWait(uint32_t ms) {
  return frameThread_.WaitForStopRequest(ms);
}

int EngineApp::WaitForFrameThread(host::HWND* window) {
  if (!Threaded()) return kWaitParked;
  if (OnFrameThread()) return kWaitOnFrameThread;
  pauseState_.store(kFramePauseRequested);
  // The window takes no input while the frame thread that would answer it is held; one that
  // is gone takes none either.
  if (window != nullptr && *window) (void)host::EnableWindow(*window, false);
  for (;;) {
    host::Sleep(10);
    if (PumpMessages(true) == kPumpQuit) {
      if (window != nullptr) *window = host::HWND{};
      return kWaitQuit;
    }
    if (!frameThread_.IsRunning()) {
      // Nobody releases a wait for a thread that is gone; a window that is gone needs none.
      if (window != nullptr && *window) (void)host::EnableWindow(*window, true);
      return kWaitThreadGone;
    }
    if (pauseState_.load() == kFrameParked) return kWaitParked;
  }
}

void EngineApp::ReleaseFrameThreadWait(host::HWND* window) {
  // A window that went meanwhile has no input to take back.
  if (window != nullptr && *window) (void)host::EnableWindow(*window, true);
  pauseState_.store(kFrameRunning);
}

}  // namespace bw
