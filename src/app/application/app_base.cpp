#include "app/application/app_base.h"

#include "app/application/engine_app.h"
#include "host/cp932.h"
#include "host/dialog/dialog_host.h"
#include "host/message_box.h"
#include "host/message_queue.h"

namespace bw {

namespace {

constexpr uint32_t kGetMessageErrorStyle = 0x11010;  // hand icon, system modal, foreground

}  // namespace

int AppBase::Run(const std::string& commandLine) {
  commandLine_ = commandLine;
  runThread_.store(host::GetCurrentThreadId());
  struct LeaveRun {
    std::atomic<uint32_t>& thread;
    ~LeaveRun() { thread.store(0); }
  } leave{runThread_};
  int r = AppStartup();
  if (r != 0) {
    AppShutdown(r);
    return r;
  }
  if (loopMode_ == kLoopScriptOnMainThread) {
    Run();
    AppShutdown(0);
    return 0;
  }
  while (!quit_) {
    host::MSG msg;
    int got = host::GetMessage(&msg, host::HWND{}, 0, 0);
    if (got == 0) break;
    if (got == -1) {
      const char* name = GetAppName();
      host::MessageBox(host::HWND{}, host::Cp932Literal("GetMessage()でエラーが発生しました"),
                       name ? std::string(name) : host::Cp932Literal("エラー"),
                       kGetMessageErrorStyle);
      break;
    }
    if (TakeCloseAsked(msg) || PreTranslateMessage(msg) || TranslateAccelerators(msg)) continue;
    host::DispatchMessage(msg);
  }
  AppShutdown(0);
  return 0;
}

bool AppBase::AskToClose() {
  const uint32_t thread = runThread_.load();
  if (thread == 0 || !host::PostThreadMessage(thread, kMsgCloseAsked, 0, 0)) return false;
  // An open dialog (a start-up box, a script's question) would hold the request back until
  // answered: it closes as the window's close button closes it.
  if (host::DialogHost* dialogs = host::CurrentDialogHost()) dialogs->CloseForStop();
  return true;
}

bool AppBase::TakeCloseAsked(const host::MSG& msg) {
  if (msg.message != kMsgCloseAsked || msg.hwnd) return false;
  OnAskedToClose();
  return true;
}

int AppBase::PumpMessages(bool keepMouseMoves) {
  host::MSG msg;
  while (host::PeekMessage(&msg, host::HWND{}, 0, 0, host::PM_REMOVE)) {
    if (!keepMouseMoves) {
      switch (msg.message) {
        case host::WM_MOUSEMOVE:
        case host::WM_NCMOUSEMOVE:
        case host::WM_NCHITTEST:
        case host::WM_SETCURSOR:
          continue;
        default:
          break;
      }
    }
    if (TakeCloseAsked(msg) || PreTranslateMessage(msg) || TranslateAccelerators(msg)) continue;
    if (msg.message == host::WM_QUIT) {
      quit_ = true;
      return kPumpQuit;
    }
    host::DispatchMessage(msg);
  }
  return kPumpEmpty;
}

void AppBase::LoadAccelerators(std::vector<Accelerator> table, host::HWND window,
                               const host::Menu* menu) {
  accelerators_ = std::move(table);
  acceleratorWindow_ = window;
  acceleratorMenu_ = menu;
}

bool AppBase::TranslateAccelerators(const host::MSG& msg) const {
  return !accelerators_.empty() &&
         TranslateAccelerator(acceleratorWindow_, accelerators_, acceleratorMenu_, msg);
}

}  // namespace bw
