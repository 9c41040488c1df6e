#include "app/application/engine_app.h"

#include "graphics/layers/canvas_layer.h"
#include "host/backend.h"
#include "host/dialog/dialog_host.h"
#include "host/input/cursor.h"
#include "host/message_queue.h"

namespace bw {

namespace {

constexpr uint8_t kSwitchedBit = 0x08;
constexpr uint8_t kWindowDepthMark = 3;

}  // namespace

host::Point CenteredOrigin(const host::Rect& area, int32_t width, int32_t height) {
  return {area.left + (area.Width() - width) / 2, area.top + (area.Height() - height) / 2};
}

void EngineApp::CenterWindow(host::HWND dialog, host::HWND parent) {
  int32_t width = 0;
  int32_t height = 0;
  if (!host::GetClientSize(dialog, &width, &height)) return;
  host::Rect area{};
  const bool overParent = parent && host::IsWindow(parent);
  if (overParent) {
    host::Point origin = host::WindowOrigin(parent);
    int32_t parentWidth = 0;
    int32_t parentHeight = 0;
    if (!host::GetClientSize(parent, &parentWidth, &parentHeight)) return;
    area = {origin.x, origin.y, origin.x + parentWidth, origin.y + parentHeight};
  } else {
    host::Backend* backend = host::CurrentBackend();
    if (backend == nullptr) return;
    host::DesktopInfo desktop = backend->Desktop();
    area = desktop.monitors.empty() ? host::Rect{0, 0, desktop.width, desktop.height}
                                    : desktop.monitors.front().workArea;
  }
  host::Point to = CenteredOrigin(area, width, height);
  // A dialog the platform cannot place opens where it was made.
  (void)host::MoveWindow(dialog, to.x, to.y);
  // Without a parent to stand over, the dialog stays above every other window where the
  // platform can keep it there.
  if (!overParent) (void)host::SetWindowTopmost(dialog, true);
}

uint32_t EngineApp::MainWindowStyle() const {
  uint32_t style = record_.windowStyle;
  if (!(record_.defaultScreenMode >= kScreenBoth && (displayFlags_ & kDisplaySelectMonitor)))
    style &= ~WS_MAXIMIZEBOX;
  return style;
}

bool EngineApp::DirectDrawModeSet() const {
  return display_.ModeState() == kModeStateDirectDraw;
}

bool EngineApp::IsMinimized() const {
  return mainWindow_.IsWindow() && host::IsIconic(mainWindow_.GetHandle());
}

void EngineApp::SaveWindowPosition() {
  host::Rect placed;
  if (!host::GetWindowRect(mainWindow_.GetHandle(), &placed)) return;
  config_.display.windowLeft = placed.left;
  config_.display.windowTop = placed.top;
}

void EngineApp::BindMenuCommands(Window& menuWindow) {
  menuWindow.Bind(host::WM_COMMAND, BindMember(this, &EngineApp::OnMenuCommand));
}

void EngineApp::BindMainWindowHandlers() {
  mainWindow_.Bind(host::WM_ACTIVATEAPP, BindMember(this, &EngineApp::OnAppActivate));
  mainWindow_.Bind(host::WM_DISPLAYCHANGE, BindMember(this, &EngineApp::OnDisplayChange));
  mainWindow_.Bind(host::WM_PAINT, BindMember(this, &EngineApp::OnPaint));
  mainWindow_.Bind(host::WM_CLOSE, BindMember(this, &EngineApp::OnClose));
  mainWindow_.Bind(host::WM_SETCURSOR, BindMember(this, &EngineApp::OnSetCursor));
  mainWindow_.Bind(kMsgMessageBox, BindMember(this, &EngineApp::OnMessageBoxRequest));
  mainWindow_.Bind(kMsgScreenMode, BindMember(this, &EngineApp::OnScreenModeRequest));
  fullScreenMenu_.BindToMainWindow();
  if (Threaded()) {
    mainWindow_.Bind(kMsgFrameThreadEnded, BindMember(this, &EngineApp::OnFrameThreadEnded));
  } else {
    mainWindow_.Bind(host::WM_ENTERSIZEMOVE, BindMember(this, &EngineApp::OnEnterSizeMove));
    mainWindow_.Bind(host::WM_EXITSIZEMOVE, BindMember(this, &EngineApp::OnExitSizeMove));
  }
  BindInputMessages();
}

int EngineApp::SwitchScreenMode(int mode, int depth, int force) {
  if (force == kSwitchUnforced && mode == config_.display.screenMode) return kSwitchDone;
  if (!mainWindow_.IsWindow()) return kSwitchNoWindow;
  const host::HWND window = mainWindow_.GetHandle();
  const bool fullScreen = mode == kSavedScreenFull;
  const PointerPosition remembered = engineInput_.Pointer();
  switchRunning_ = true;
  if (display_.ScreenState() == kScreenWindow) SaveWindowPosition();
  const uint8_t previousMode = config_.display.screenMode;
  config_.display.screenMode = fullScreen ? kSavedScreenFull : kSavedScreenWindow;
  const bool triple = config_.engine.tripleBuffer != 0;
  host::Menu* menu = record_.menuId != 0 ? WindowMenu() : nullptr;
  int r = kDisplayDone;
  if (fullScreen) {
    const uint32_t previousStyle = mainWindow_.GetStyle();
    const uint32_t previousExStyle = mainWindow_.GetExStyle();
    if (menu) host::AttachMenu(window, nullptr);
    mainWindow_.SetStyle(WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX, 0);
    for (uint32_t command : {host::SC_MOVE, host::SC_SIZE, host::SC_MAXIMIZE})
      mainWindow_.DeleteSystemMenuItem(command);
    r = display_.SetMode(window, false, triple);
    if (r == kDisplayDone) {
      // The main window is this thread's: it shows.
      (void)host::ShowWindow(window, true);
      if (!host::SetFullScreen(window, true)) {
        // The platform keeps it a window: the window's surfaces come back, and the switch
        // fails as one the display refused.
        (void)display_.SetMode(window, true, triple);  // told as the refused switch either way
        r = kModeSwitchFailed;
      }
    }
    if (r != kDisplayDone) {
      // A window that stays a window keeps its frame and its menu.
      mainWindow_.SetStyle(previousStyle, previousExStyle);
      mainWindow_.ResetSystemMenu();
      if (menu) host::AttachMenu(window, menu);
    } else {
      mainWindow_.SetStyle(mainWindow_.GetStyle(), topmostInFullScreen_ ? WS_EX_TOPMOST : 0);
      engineInput_.SetDisplayMode(kDisplayFullScreen);
      // Off, or the keys already pass: full screen goes on without the grab.
      (void)engineInput_.InstallKeyboardHook();
    }
  } else {
    r = display_.SetMode(window, true, triple);
    if (r == kDisplayDone) {
      engineInput_.SetDisplayMode(kDisplayWindow);
      if (force == kSwitchShowOnly) {
        (void)host::ShowWindow(window, true);  // the main window is this thread's: it shows
      } else {
        // Out of full screen first: the menu bar then takes its place above the picture. A
        // platform that keeps the window over the screen shows the picture letterboxed in it.
        (void)host::SetFullScreen(window, false);
        if (record_.menuId != 0) {
          fullScreenMenu_.Destroy();
          if (menu) host::AttachMenu(window, menu);
        }
        mainWindow_.ResetSystemMenu();
        mainWindow_.SetStyle(MainWindowStyle(), record_.windowExStyle);
        RemoveMaximizeBox();
        const host::Rect outer = mainWindow_.ComputeWindowRect(
            record_.canvasWidth, record_.canvasHeight, mainWindow_.GetStyle(),
            mainWindow_.GetExStyle(), menu != nullptr, true, config_.display.windowLeft,
            config_.display.windowTop);
        // This thread's window shows; one the platform cannot place stays where it is.
        (void)host::ShowWindow(window, true);
        (void)host::MoveWindow(window, outer.left, outer.top);
      }
      engineInput_.RemoveKeyboardHook();
    }
  }
  if (r != kDisplayDone) {
    config_.display.screenMode = previousMode;
    switchRunning_ = false;
    return r > 0 ? r + 1 : r;
  }
  displayFlags_ |= kSwitchedBit;
  config_.display.screenMode = display_.ScreenState();
  config_.display.fullScreenDepth = static_cast<uint8_t>(fullScreen ? depth : kWindowDepthMark);
  if (config_.display.restorePointer != 0) PutPointerBack(remembered);
  switchRunning_ = false;
  // The new surfaces start black: while a dialog holds the frames (the sheet's screen-mode
  // radio) the picture is shown again now, as a repaint of the moved window would.
  RepaintUnlessLoopDoes();
  return kSwitchDone;
}

void EngineApp::PutPointerBack(const PointerPosition& remembered) {
  const host::HWND window = mainWindow_.GetHandle();
  host::Point point = host::GetCursorPos();
  if (remembered.x >= 0 && remembered.y >= 0) {
    point = {remembered.x, remembered.y};
    engineInput_.ClientToScreenPoint(&point);
  }
  // The pointer's screen is the one the input part maps into: the client area from its origin.
  const host::Point origin = host::WindowOrigin(window);
  int32_t width = 0;
  int32_t height = 0;
  if (!host::GetClientSize(window, &width, &height)) {
    width = record_.canvasWidth;
    height = record_.canvasHeight;
  }
  if (point.x < origin.x || point.y < origin.y || point.x >= origin.x + width ||
      point.y >= origin.y + height) {
    point = {origin.x + width / 2, origin.y + height / 2};
  }
  host::SetCursorPos(point.x, point.y);
}

int EngineApp::OnAppActivate(WindowMessage& record) {
  active_ = record.wParam != 0;
  if (config_.display.screenMode != kSavedScreenFull && reapplyPending_ == 0) return kHandled;
  const host::HWND window = mainWindow_.GetHandle();
  if (active_) {
    {
      ScopedLock hold(frameLock_);
      // Coming back is restoring: a minimised full screen is shown again.
      if (host::IsIconic(window)) {
        (void)host::MinimizeWindow(window, false);  // the window stands: its state is restored
        engineInput_.SetMinimized(false);
        windowRestored_ = true;
      }
      if (reapplyPending_ != 0) {
        const bool atCanvas = reapplyPending_ == 1;
        int32_t width = atCanvas ? record_.canvasWidth : display_.DisplayWidth();
        int32_t height = atCanvas ? record_.canvasHeight : display_.DisplayHeight();
        if (display_.SetDisplayMode(window, width, height, display_.ModeDepth(),
                                    display_.Has60Hz()) != 0) {
          displayFailure_ = kDisplaySwitchFailed;
        }
        reapplyPending_ = 0;
      }
      // Only a back buffer has anything to lose.
      if (display_.GetBackBuffer() != nullptr && display_.RestoreLostSurfaces() != 0) {
        displayFailure_ = kDisplayRestoreFailed;
      }
    }
    fullScreenMenu_.KeepMaximised();
    ApplyDeferredClose();
    return kHandled;
  }
  // Closed as its own loop's end closes it; that handler always handles.
  if (fullScreenMenu_.Open()) (void)fullScreenMenu_.OnExitMenuLoop(record);
  // Every own display mode is exclusive here: the menu window goes, and the game is minimised.
  if (display_.CooperativeState() == kCoopExclusive && record_.menuId != 0)
    fullScreenMenu_.Destroy();
  if (DirectDrawModeSet() && config_.engine.minimizeOnDeactivate != 0) {
    ScopedLock hold(frameLock_);
    // The screen stays as it is when the switch fails; the frame loop notices a lost one.
    (void)display_.RestoreMode(false);
    reapplyPending_ = display_.IsScaled() ? 2 : 1;
    (void)host::MinimizeWindow(window, true);  // the window stands: its state is minimised
    engineInput_.SetMinimized(true);
  }
  CloseMovieObject();
  return kHandled;
}

int EngineApp::OnDisplayChange(WindowMessage& /*record*/) {
  if (config_.display.screenMode == kSavedScreenFull) return kHandled;
  // The desktop's depth and size come from the backend when the monitors are listed again.
  monitors_ = MonitorList();
  if (Threaded() && display_.GetBackBuffer() != nullptr) {
    ScopedLock hold(frameLock_);
    if (display_.RestoreLostSurfaces() != 0) displayFailure_ = kDisplayRestoreFailed;
  }
  return kHandled;
}

int EngineApp::OnSetCursor(WindowMessage& record) {
  if (host::LoWord(static_cast<uintptr_t>(record.lParam)) != host::HTCLIENT) return kNotHandled;
  // The mouse keeps a shape of the table: it is always taken.
  if (Mouse* mouse = input_.GetMouse()) (void)host::SetCursorShape(mouse->CursorShape());
  return kHandled;
}

int EngineApp::OnEnterSizeMove(WindowMessage& /*record*/) {
  sizeMove_ = true;
  return kHandled;
}

int EngineApp::OnExitSizeMove(WindowMessage& /*record*/) {
  sizeMove_ = false;
  return kHandled;
}

int EngineApp::OnPaint(WindowMessage& /*record*/) {
  RepaintUnlessLoopDoes();
  return kHandled;
}

void EngineApp::RepaintUnlessLoopDoes() {
  // The frame loop draws the next frame soon enough itself, and a movie draws its own picture.
  const bool loopRepaints = display_.GetScreenCanvas() == nullptr && !sizeMove_ &&
                            (switchRunning_ || frameLoopRunning_) &&
                            (active_ || config_.display.pauseWhenInactive == 0) &&
                            pauseState_.load() != kFrameParked;
  const bool movieCovers =
      config_.display.screenMode == kSavedScreenFull && MovieShowing() &&
      (display_.GetScreenCanvas() == nullptr || display_.GetPrimary() != nullptr);
  if (loopRepaints || movieCovers) return;
  ScopedLock hold(frameLock_);
  if (CanvasLayer* canvas = display_.GetScreenCanvas()) {
    // A frame that is not shown is drawn again on the next turn.
    (void)canvas->PresentFrame(mainWindow_.GetHandle(), nullptr, nullptr, 0, false);
  } else if (display_.GetBackBuffer() != nullptr) {
    // A frame that is not shown is drawn again on the next turn.
    (void)display_.Present();
  }
}

}  // namespace bw
