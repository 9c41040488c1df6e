// The message dialogs other threads ask the window thread for, and what the application's
// dialogs reach of it.
#include "app/application/game_app.h"
#include "app/dialogs/main_menu.h"
#include "host/cp932.h"

namespace bw {

int GameApp::OnMessageDialogRequest(WindowMessage& record) {
  auto* request = reinterpret_cast<MessageDialogRequest*>(record.lParam);
  if (request == nullptr) return kHandled;
  if (menu_.ModalState() != kModalNone) {
    // Another dialog of the application is up: the message is not shown, and a question that
    // was never asked is not answered yes.
    request->answer = 0;
    return kHandled;
  }
  // The dialog brackets itself.
  GameMenu::Scope shown(menu_, kModalMessageDialog, false);
  (void)systemDialogs_.ShowMessageRequest(request);  // the answer is in the record
  return kHandled;
}

void GameApp::RunBetweenSteps(const std::function<void()>& work) {
  // In the threaded mode the frame thread is parked between two steps while the work runs; the
  // wait serves sends, so a frame thread that sends to this window is not stuck.
  const int wait = WaitForFrameThread(nullptr);
  if (wait == kWaitQuit) return;  // the game ends: nothing is written
  work();
  if (wait == kWaitParked) ReleaseFrameThreadWait(nullptr);
}

host::HWND GameApp::DialogOwner() {
  return MainWindow().IsWindow() ? MainWindow().GetHandle() : host::HWND{};
}

uint32_t GameApp::ShowDialogMessage(const std::string& textCp932, uint8_t kind) {
  return ShowMessageDialog(textCp932.c_str(), kind, nullptr, nullptr, 0);
}

bool GameApp::InFullScreen() {
  return config_.display.screenMode == kSavedScreenFull;
}

void GameApp::RequestScreenModeToggle() {
  MainWindow().SendMessage(host::WM_COMMAND, kCmdScreenMode, 0);
}

std::vector<std::string> GameApp::MonitorNames() {
  std::vector<std::string> monitors;
  for (const MonitorRecord& monitor : GetMonitorList().Records())
    monitors.push_back(monitor.description);
  return monitors;
}

void GameApp::StoreUserSettings() {
  settings_.StoreUserSettings();
}

}  // namespace bw
