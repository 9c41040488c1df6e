#include "app/application/full_screen_menu.h"

#include "graphics/device/display_manager.h"
#include "host/clock.h"
#include "host/dialog/dialog_host.h"
#include "host/input/cursor.h"
#include "host/input/key_state.h"
#include "host/message_queue.h"
#include "input/engine_input.h"
#include "input/input_manager.h"

namespace bw {

namespace {

constexpr char kMenuWindowClass[] = "KVR DX FullScreenMenu";
// Where the pointer lands on the menu bar: on the first title, or at the bar's start.
constexpr int32_t kPointerOnMenuTitle = 28;
constexpr int32_t kPointerOnBar = 8;
// The key that closed the menu comes back up as the key that would open it again.
constexpr uint32_t kMenuReopenMs = 250;

// The class is registered with the first menu window only. Window thread only: menu windows are
// made there.
bool menuClassRegistered = false;

}  // namespace

bool FullScreenMenu::DirectDrawModeSet() const {
  return parts_.display.ModeState() == kModeStateDirectDraw;
}

int32_t FullScreenMenu::Height() const {
  if (parts_.record.menuId == 0) return 0;
  return parts_.record.menuWindowKind == kFramed
             ? kMenuBarHeight + 2 * kDialogFrame + kCaptionHeight
             : kMenuBarHeight;
}

void FullScreenMenu::BindToMainWindow() {
  Window& main = parts_.mainWindow;
  main.Bind(host::WM_ENTERMENULOOP, BindMember(this, &FullScreenMenu::OnEnterMenuLoop));
  main.Bind(host::WM_EXITMENULOOP, BindMember(this, &FullScreenMenu::OnExitMenuLoop));
  main.Bind(host::WM_APP_CREATE_MENU_WINDOW, BindMember(this, &FullScreenMenu::OnCreateRequest));
  main.Bind(host::WM_APP_HIDE_MENU_WINDOW, BindMember(this, &FullScreenMenu::OnHideRequest));
}

int FullScreenMenu::Create() {
  if (window_.IsWindow()) {
    // An owned popup of this thread: shown or hidden whatever the platform does.
    (void)host::ShowWindow(window_.GetHandle(), false);
    (void)host::ShowWindow(window_.GetHandle(), true);
    return kShownAgain;
  }
  // Without its owner it would be a window of its own.
  if (!parts_.mainWindow.IsWindow()) return kFailed;
  window_.Bind(host::WM_SYSCOMMAND, BindMember(this, &FullScreenMenu::OnSysCommand));
  window_.Bind(host::WM_ENTERMENULOOP, BindMember(this, &FullScreenMenu::OnEnterMenuLoop));
  window_.Bind(host::WM_EXITMENULOOP, BindMember(this, &FullScreenMenu::OnExitMenuLoop));
  app_.BindMenuCommands(window_);

  const AppRecord& record = parts_.record;
  const uint8_t kind = record.menuWindowKind;
  const Rect& display = parts_.display.DisplayRect();
  const bool placed = display.right > display.left;
  WindowCreateRecord create;
  create.className = kMenuWindowClass;
  create.title = parts_.info.appName;
  create.left = placed ? display.left : 0;
  create.top = placed ? display.top : 0;
  create.clientWidth = (placed ? display.right - display.left : record.canvasWidth) -
                       (kind == kFramed ? 2 * kDialogFrame : 0);
  create.clientHeight = kMenuBarHeight;
  create.style = app_.MenuWindowStyle();
  if (kind == kPopup) create.style = (create.style & ~WS_CAPTION) | WS_POPUP;
  create.exStyle = WS_EX_TOPMOST;
  create.iconId = record.iconId;
  create.placement = kPlaceInsideOrCentre;
  if (window_.Create(create, false, !menuClassRegistered, parts_.mainWindow.GetHandle()) !=
      kCreated) {
    return kFailed;
  }
  menuClassRegistered = true;
  const host::HWND handle = window_.GetHandle();
  if (kind != kPopup) {
    window_.DeleteSystemMenuItem(host::SC_MOVE);
    window_.SetStyle(window_.GetStyle() | WS_MAXIMIZE, window_.GetExStyle());
  }
  (void)host::ShowWindow(handle, true);  // an owned popup: shown whatever the platform does
  // Attached once shown: the owner's window draws the bar of a visible popup.
  if (host::Menu* menu = app_.WindowMenu()) host::AttachMenu(handle, menu);
  return 0;
}

void FullScreenMenu::Destroy() {
  if (!window_.IsWindow()) return;
  host::AttachMenu(window_.GetHandle(), nullptr);
  window_.Destroy();
}

void FullScreenMenu::KeepMaximised() {
  if (window_.IsWindow() && parts_.record.menuWindowKind != kPopup)
    window_.SetStyle(window_.GetStyle() | WS_MAXIMIZE, window_.GetExStyle());
}

int FullScreenMenu::OnCreateRequest(WindowMessage& /*record*/) {
  // A window that cannot be made leaves the menu to the keys.
  (void)Create();
  return kHandled;
}

int FullScreenMenu::OnHideRequest(WindowMessage& /*record*/) {
  // An owned popup: hidden whatever the platform does.
  if (window_.IsWindow()) (void)host::ShowWindow(window_.GetHandle(), false);
  return kHandled;
}

int FullScreenMenu::OnSysCommand(WindowMessage& record) {
  switch (record.wParam & host::kSysCommandMask) {
    case host::SC_CLOSE:
    case host::SC_MINIMIZE:
    case host::SC_MAXIMIZE:
    case host::SC_RESTORE:
      (void)OnExitMenuLoop(record);  // it always handles
      // A window already gone has no queue: the message has nobody to reach.
      (void)parts_.mainWindow.PostMessage(host::WM_SYSCOMMAND, record.wParam, record.lParam);
      return kHandled;
    case host::SC_SCREENSAVE:
      return kHandled;
    case host::SC_KEYMENU:
      // The system's own answer to the menu key: the menu opens at its first entry.
      host::OpenMenu(window_.GetHandle());
      return kNotHandled;
    default:
      return kNotHandled;
  }
}

void FullScreenMenu::ShowSystemCursor(bool show) {
  if (Mouse* mouse = parts_.input.GetMouse()) {
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

int FullScreenMenu::OnEnterMenuLoop(WindowMessage& /*record*/) {
  const bool fullScreen = FullScreen();
  if (fullScreen && !open_) return kHandled;
  modal_ = true;
  const bool wasOpen = open_;
  const bool menuWindowKind = HasMenu() && parts_.record.menuWindowKind != 0;
  if (fullScreen && menuWindowKind && !open_) {
    // The screen stays as it is when the switch fails; the frame loop notices a lost one.
    if (DirectDrawModeSet()) (void)parts_.display.ShowGdiOverFullScreen();
    open_ = true;
    parts_.mainWindow.SendMessage(host::WM_APP_CREATE_MENU_WINDOW, 0, 0);
  }
  ShowSystemCursor(true);
  if (parts_.config.display.restorePointer == 0 || !wasOpen || (fullScreen && !menuWindowKind))
    return kHandled;
  // A pointer over the picture moves onto the menu bar, where the keys left the menu.
  const PointerPosition pointer = parts_.pointer.Pointer();
  if (pointer.x < 0 || pointer.y < 0) return kHandled;
  const int32_t across = HasMenu() ? kPointerOnMenuTitle : kPointerOnBar;
  host::Point to;
  if (fullScreen) {
    const Rect& display = parts_.display.DisplayRect();
    to = {display.left + across, display.top + Height() - kMenuBarHeight + 1};
  } else {
    const host::Point origin = host::WindowOrigin(parts_.mainWindow.GetHandle());
    to = {origin.x + across, origin.y + 1 - kMenuBarHeight};
  }
  host::SetCursorPos(to.x, to.y);
  return kHandled;
}

int FullScreenMenu::OnExitMenuLoop(WindowMessage& /*record*/) {
  if (FullScreen()) {
    Mouse* mouse = parts_.input.GetMouse();
    if (!mouse || !mouse->IsCursorVisible()) ShowSystemCursor(false);
    if (open_) {
      open_ = false;
      parts_.mainWindow.SendMessage(host::WM_APP_HIDE_MENU_WINDOW, 0, 0);
      // The screen stays as it is when the switch fails; the frame loop notices a lost one.
      if (DirectDrawModeSet()) (void)parts_.display.EndGdiOverFullScreen();
      lastClose_ = host::GetTickCount();
      closedOnce_ = true;
    }
  }
  if (!app_.ModalRunning()) modal_ = false;
  return kHandled;
}

// Seen before the accelerators take a chord: Alt+Enter never reaches the handlers.
void FullScreenMenu::NoteKey(const host::MSG& msg) {
  if (msg.message != host::WM_KEYDOWN && msg.message != host::WM_SYSKEYDOWN) return;
  if (msg.wParam != host::VK_MENU) {
    altChord_ = true;
  } else if ((static_cast<uint32_t>(msg.lParam) & host::kKeyPreviousStateBit) == 0) {
    altChord_ = false;
  }
}

int FullScreenMenu::OpenByKey(uint32_t virtualKey) {
  // Alt opens the menu only when no other key went down while it was held, as the system's menu
  // key does: the Alt of Alt+Enter leaves it closed.
  if (virtualKey == host::VK_MENU && altChord_) return kHandled;
  const bool justClosed = closedOnce_ && host::GetTickCount() - lastClose_ <= kMenuReopenMs;
  if (!HasMenu() || parts_.record.menuWindowKind == 0 || app_.ModalRunning() || !app_.AppActive() ||
      justClosed) {
    return kHandled;
  }
  open_ = true;
  modal_ = true;
  // The screen stays as it is when the switch fails; the frame loop notices a lost one.
  if (DirectDrawModeSet()) (void)parts_.display.ShowGdiOverFullScreen();
  // Made or shown again: the menu key opens it either way.
  (void)Create();
  window_.SendMessage(host::WM_SYSCOMMAND, host::SC_KEYMENU, 0);
  return kNotHandled;
}

}  // namespace bw
