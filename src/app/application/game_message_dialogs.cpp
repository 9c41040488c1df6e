// The game application's own dialogs: the message dialogs (also for other threads), the version
// dialog and the data-input dialog; and what the save and settings dialogs reach of it.
#include "app/application/game_app.h"
#include "app/dialogs/main_menu.h"
#include "app/dialogs/version_dialog.h"
#include "host/cp932.h"
#include "host/dialog/dialog_host.h"

namespace bw {

DialogContext GameApp::MakeDialogContext() {
  DialogContext context;
  context.owner = DialogOwner();
  context.appTitle = info_.appName;
  context.cursorToDefault = pointerToDefaultButton_;
  context.isModal = [this] { return IsModal(); };
  context.beginModal = [this] { BeginModal(); };
  context.endModal = [this] { EndModal(); };
  return context;
}

uint32_t GameApp::ShowMessageDialog(const char* text, uint8_t kind, const char* title,
                                    uint8_t* checkState, uint8_t layout) {
  if (text == nullptr || kind > kMessageYesNoCheck) return 0;
  if (OnFrameThread()) return RequestMessageDialog(kind, text, title, checkState, layout);
  if (host::CurrentDialogHost() == nullptr) {
    // Nothing draws the dialogs: the player still gets the message, as a message box.
    if (checkState != nullptr) *checkState = 0;
    if (kind == kMessageYesNo || kind == kMessageYesNoCheck)
      return AskYesNo(text, kIconQuestion) ? 1 : 0;
    EngineApp::ShowMessage(text, kIconInformation);
    return 0;
  }
  return bw::ShowMessageDialog(MakeDialogContext(), text, kind, title, checkState, layout);
}

uint32_t GameApp::ShowMessageDialogRequest(MessageDialogRequest* request) {
  if (request == nullptr || request->text == nullptr) return 1;
  request->answer = static_cast<uint8_t>(ShowMessageDialog(
      request->text, request->kind, request->title, request->checkState, request->layout));
  return request->answer;
}

uint8_t GameApp::RequestMessageDialog(uint8_t kind, const char* text, const char* title,
                                      uint8_t* checkState, uint8_t layout) {
  MessageDialogRequest request;
  request.kind = kind;
  request.text = text;
  request.title = title;
  request.checkState = checkState;
  request.layout = layout;
  return bw::RequestMessageDialog(MainWindow().GetHandle(), request);
}

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
  ShowMessageDialogRequest(request);
  return kHandled;
}

void GameApp::ShowVersionDialog() {
  VersionDialogInputs inputs;
  inputs.major = info_.majorVersion;
  inputs.minor = info_.minorVersion;
  inputs.revision = info_.revision;
  inputs.gameTitle = info_.productTitle;
  inputs.detailed = versionDetailed_;
  inputs.buildReport = [this](bool longForm) { return SystemReport(longForm); };
  inputs.webAddress = info_.webAddress;
  inputs.confirmWebPage = user_.confirmWebPage != 0;
  inputs.fullScreen = InFullScreen();
  bw::ShowVersionDialog(MakeDialogContext(), inputs);
  versionDetailed_ = inputs.detailed;
}

bool GameApp::ShowDataInputDialog(DataInputDialog& dialog) {
  return dialog.Show(MakeDialogContext());
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
  // A settings file that could not be read is kept as it is: it is not written here either.
  if (saveFolder_.empty() || userConfigUnreadable_ || !plan_.writesSettings) return;
  SaveUserSettings();
}

}  // namespace bw
