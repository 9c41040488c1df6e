// The full-screen menu window: the main window's menu bar shown over the full-screen picture,
// opened by Alt or F10 and by the pointer on the top edge, and the menu loop of both windows.
#include "app/application/engine_app.h"
#include "host/clock.h"
#include "host/dialog/dialog_host.h"
#include "host/input/cursor.h"
#include "host/input/key_state.h"
#include "host/message_queue.h"

namespace bw {

namespace {

constexpr char kMenuWindowClass[] = "KVR DX FullScreenMenu";
// Where the pointer lands on the menu bar: on the first title, or at the bar's start.
constexpr int32_t kPointerOnMenuTitle = 28;
constexpr int32_t kPointerOnBar = 8;

// The class is registered with the first menu window only. Window thread only: menu windows are
// made there.
bool menuClassRegistered = false;

}  // namespace

int EngineApp::BindMenuWindowCommands() {
  menuWindow_.Bind(host::WM_COMMAND, BindMember(this, &EngineApp::OnMenuCommand));
  return 0;
}

int EngineApp::CreateFullScreenMenuWindow() {
  if (menuWindow_.IsWindow()) {
    host::ShowWindow(menuWindow_.GetHandle(), false);
    host::ShowWindow(menuWindow_.GetHandle(), true);
    return kMenuWindowShownAgain;
  }
  // Without its owner it would be a window of its own.
  if (!mainWindow_.IsWindow()) return kMenuWindowFailed;
  menuWindow_.Bind(host::WM_SYSCOMMAND, BindMember(this, &EngineApp::OnMenuWindowSysCommand));
  menuWindow_.Bind(host::WM_ENTERMENULOOP, BindMember(this, &EngineApp::OnEnterMenuLoop));
  menuWindow_.Bind(host::WM_EXITMENULOOP, BindMember(this, &EngineApp::OnExitMenuLoop));
  BindMenuWindowCommands();

  const uint8_t kind = record_.menuWindowKind;
  const Rect& display = display_.DisplayRect();
  const bool placed = display.right > display.left;
  WindowCreateRecord window;
  window.className = kMenuWindowClass;
  window.title = info_.appName;
  window.left = placed ? display.left : 0;
  window.top = placed ? display.top : 0;
  window.clientWidth = (placed ? display.right - display.left : record_.canvasWidth) -
                       (kind == kMenuWindowFramed ? 2 * kDialogFrame : 0);
  window.clientHeight = kMenuBarHeight;
  window.style = MainWindowStyle();
  if (kind == kMenuWindowPopup) window.style = (window.style & ~WS_CAPTION) | WS_POPUP;
  window.exStyle = WS_EX_TOPMOST;
  window.iconId = record_.iconId;
  window.placement = kPlaceInsideOrCentre;
  if (menuWindow_.Create(window, false, !menuClassRegistered, mainWindow_.GetHandle()) !=
      kCreated) {
    return kMenuWindowFailed;
  }
  menuClassRegistered = true;
  const host::HWND handle = menuWindow_.GetHandle();
  if (kind != kMenuWindowPopup) {
    menuWindow_.DeleteSystemMenuItem(host::SC_MOVE);
    menuWindow_.SetStyle(menuWindow_.GetStyle() | WS_MAXIMIZE, menuWindow_.GetExStyle());
  }
  host::ShowWindow(handle, true);
  // Attached once shown: the owner's window draws the bar of a visible popup.
  if (host::Menu* menu = WindowMenu()) host::AttachMenu(handle, menu);
  return 0;
}

void EngineApp::DestroyMenuWindow() {
  if (!menuWindow_.IsWindow()) return;
  host::AttachMenu(menuWindow_.GetHandle(), nullptr);
  menuWindow_.Destroy();
}

int EngineApp::OnCreateMenuWindowRequest(WindowMessage& /*record*/) {
  CreateFullScreenMenuWindow();
  return kHandled;
}

int EngineApp::OnHideMenuWindowRequest(WindowMessage& /*record*/) {
  if (menuWindow_.IsWindow()) host::ShowWindow(menuWindow_.GetHandle(), false);
  return kHandled;
}

int EngineApp::OnMenuWindowSysCommand(WindowMessage& record) {
  switch (record.wParam & host::kSysCommandMask) {
    case host::SC_CLOSE:
    case host::SC_MINIMIZE:
    case host::SC_MAXIMIZE:
    case host::SC_RESTORE:
      OnExitMenuLoop(record);
      // A window already gone has no queue: the message has nobody to reach.
      (void)mainWindow_.PostMessage(host::WM_SYSCOMMAND, record.wParam, record.lParam);
      return kHandled;
    case host::SC_SCREENSAVE:
      return kHandled;
    case host::SC_KEYMENU:
      // The system's own answer to the menu key: the menu opens at its first entry.
      host::OpenMenu(menuWindow_.GetHandle());
      return kNotHandled;
    default:
      return kNotHandled;
  }
}

void EngineApp::ShowSystemCursor(bool show) {
  if (Mouse* mouse = input_.GetMouse()) {
    mouse->ShowSystemCursor(show);
    return;
  }
  if (show) {
    while (host::ShowCursor(true) < 0) {
    }
  } else {
    while (host::ShowCursor(false) >= 0) {
    }
  }
}

int EngineApp::OnEnterMenuLoop(WindowMessage& /*record*/) {
  const bool fullScreen = config_.display.screenMode == kSavedScreenFull;
  if (fullScreen && !menuOpen_) return kHandled;
  menuModal_ = true;
  const bool wasOpen = menuOpen_;
  const bool menuWindowKind = HasMenu() && record_.menuWindowKind != 0;
  if (fullScreen && menuWindowKind && !menuOpen_) {
    if (DirectDrawModeSet()) display_.ShowGdiOverFullScreen();
    menuOpen_ = true;
    mainWindow_.SendMessage(kMsgShowMenuWindow, 0, 0);
  }
  ShowSystemCursor(true);
  if (config_.display.restorePointer == 0 || !wasOpen || (fullScreen && !menuWindowKind))
    return kHandled;
  // A pointer over the picture moves onto the menu bar, where the keys left the menu.
  const PointerPosition pointer = engineInput_.Pointer();
  if (pointer.x < 0 || pointer.y < 0) return kHandled;
  const int32_t across = HasMenu() ? kPointerOnMenuTitle : kPointerOnBar;
  host::Point to;
  if (fullScreen) {
    const Rect& display = display_.DisplayRect();
    to = {display.left + across, display.top + MenuHeight() - kMenuBarHeight + 1};
  } else {
    const host::Point origin = host::WindowOrigin(mainWindow_.GetHandle());
    to = {origin.x + across, origin.y + 1 - kMenuBarHeight};
  }
  host::SetCursorPos(to.x, to.y);
  return kHandled;
}

int EngineApp::OnExitMenuLoop(WindowMessage& /*record*/) {
  if (config_.display.screenMode == kSavedScreenFull) {
    Mouse* mouse = input_.GetMouse();
    if (!mouse || !mouse->IsCursorVisible()) ShowSystemCursor(false);
    if (menuOpen_) {
      menuOpen_ = false;
      mainWindow_.SendMessage(kMsgHideMenuWindow, 0, 0);
      if (DirectDrawModeSet()) display_.EndGdiOverFullScreen();
      lastMenuClose_ = host::GetTickCount();
      menuClosedOnce_ = true;
    }
  }
  if (modalDepth_ == 0) menuModal_ = false;
  return kHandled;
}

}  // namespace bw
