// The game application's own handlers of the main window: the close that waits for a minimised
// full screen to come back, the system commands, the end of the window and of the session, and
// the movie player's window-thread requests.
#include "app/application/game_app.h"
#include "app/dialogs/main_menu.h"
#include "host/clock.h"
#include "host/message_queue.h"

namespace bw {

void GameApp::BindGameWindowHandlers() {
  Window& window = MainWindow();
  window.Bind(host::WM_CLOSE, BindMember(this, &GameApp::OnCloseRequest));
  window.Bind(host::WM_SYSCOMMAND, BindMember(this, &GameApp::OnSysCommand));
  window.Bind(host::WM_DESTROY, BindMember(this, &GameApp::OnDestroy));
  window.Bind(host::WM_QUERYENDSESSION, BindMember(this, &GameApp::OnQueryEndSession));
  window.Bind(kMsgMovieRequest, BindMember(this, &GameApp::OnMovieRequest));
  window.Bind(kMsgMaximizeBox, BindMember(this, &GameApp::OnMaximizeBoxRequest));
}

int GameApp::OnCloseRequest(WindowMessage& record) {
  const host::HWND handle = MainWindow().GetHandle();
  if (host::IsIconic(handle)) {
    // A minimised full screen gave its display mode back: the question waits for the player's
    // return, which sets the mode again and replays the close. Only this close waits.
    if (DirectDrawModeSet() || FullScreenReapplyPending() != 0) {
      deferredClose_ = true;
      return kHandled;
    }
    (void)host::MinimizeWindow(handle, false);  // the window stands: its state is restored
  }
  // A stop signal already said what the player wants.
  if (record.wParam == kCloseUnasked) return EngineApp::OnClose(record);
  return OnClose(record);
}

void GameApp::SaveScriptPersistentData() {
  // In the threaded mode the scripts run on the frame thread: it is parked while their state is
  // written (or has ended already).
  const int wait = WaitForFrameThread(nullptr);
  // Closing goes on whatever the write answers: the files it replaces stay whole on a failure.
  if (host_ && (wait == kWaitParked || wait == kWaitThreadGone)) (void)host_->SavePersistentData();
  if (wait == kWaitParked) ReleaseFrameThreadWait(nullptr);
}

void GameApp::OnAskedToClose() {
  // The close may not get as far as the frame's end: the read flags are written now.
  SaveScriptPersistentData();
  // A window already gone has no queue: the message has nobody to reach.
  if (MainWindow().IsWindow()) (void)MainWindow().PostMessage(host::WM_CLOSE, kCloseUnasked, 0);
}

void GameApp::ApplyDeferredClose() {
  if (!deferredClose_) return;
  deferredClose_ = false;
  (void)MainWindow().PostMessage(host::WM_CLOSE, 0, 0);
}

void GameApp::ShowMaximizeBox(bool shown) {
  const host::HWND main = MainWindow().GetHandle();
  if (MainWindow().IsWindow() && host::GetWindowThreadId(main) != host::GetCurrentThreadId()) {
    // The styles are the window thread's: a screen switch there reads and rewrites them.
    (void)MainWindow().SendMessage(kMsgMaximizeBox, shown ? 1 : 0, 0);
    return;
  }
  auto follow = [shown](Window& window) {
    const uint32_t style = window.GetStyle();
    window.SetStyle(shown ? style | WS_MAXIMIZEBOX : style & ~WS_MAXIMIZEBOX, window.GetExStyle());
  };
  if (MainWindow().IsWindow()) follow(MainWindow());
  if (record_.defaultScreenMode == kScreenBoth &&
      record_.menuWindowKind != FullScreenMenu::kPopup && GetMenuWindow().IsWindow()) {
    follow(GetMenuWindow());
  }
}

int GameApp::OnMaximizeBoxRequest(WindowMessage& record) {
  ShowMaximizeBox(record.wParam != 0);
  return kHandled;
}

// Unless the scripts keep the box, a window comes back without it.
void GameApp::RemoveMaximizeBox() {
  if (maximiseAllowed_ == 0) ShowMaximizeBox(false);
}

int GameApp::OnSysCommand(WindowMessage& record) {
  const host::HWND handle = MainWindow().GetHandle();
  const uint32_t command = static_cast<uint32_t>(record.wParam) & host::kSysCommandMask;
  if (command == host::SC_MAXIMIZE) {
    // A minimised window is one that stands: it is restored.
    if (host::IsIconic(handle)) (void)host::MinimizeWindow(handle, false);
    MainWindow().SendMessage(host::WM_COMMAND, kCmdScreenMode, 0);
    return kHandled;
  }
  if (command == host::SC_RESTORE && !host::IsIconic(handle) && Active()) {
    MainWindow().SendMessage(host::WM_COMMAND, kCmdScreenMode, 0);
    return kHandled;
  }
  return kNotHandled;
}

int GameApp::OnDestroy(WindowMessage& record) {
  ForwardTextInput(record);
  CloseMovieObject();                                       // it hands its frames to this window
  (void)host::ShowWindow(MainWindow().GetHandle(), false);  // going: a shown one closes next
  if (config_.display.screenMode == kSavedScreenWindow) SaveWindowPosition();
  host::PostQuitMessage(0);
  return kHandled;
}

int GameApp::OnQueryEndSession(WindowMessage& record) {
  SaveScriptPersistentData();
  SaveConfig(0);
  record.result = 1;
  return kHandled;
}

int GameApp::OnDisplayChange(WindowMessage& record) {
  movie_.OnDisplayChange();
  return EngineApp::OnDisplayChange(record);
}

int GameApp::OnMovieRequest(WindowMessage& /*record*/) {
  movie_.HandleEvents();
  return kHandled;
}

void GameApp::CloseMovieObject() {
  movie_.Close();
}

int32_t GameApp::OpenWindowMovie(MovieObject& movie, const char* file) {
  return movie.Open(MainWindow().GetHandle(), file, nullptr, GetRecord().canvasWidth,
                    GetRecord().canvasHeight);
}

}  // namespace bw
