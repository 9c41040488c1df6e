#include "app/application/engine_app.h"

#include "app/sysinfo/system_info.h"
#include "app/sysinfo/system_report.h"
#include "effects/transitions/transition_dispatch.h"
#include "graphics/device/back_buffer_surface.h"
#include "graphics/device/render_item_sprite.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "host/backend.h"
#include "host/clock.h"
#include "host/cp932.h"
#include "host/dialog/dialog_host.h"
#include "host/host_path.h"
#include "host/input/cursor.h"
#include "host/input/key_state.h"
#include "host/input_event.h"
#include "host/message_box.h"
#include "host/message_queue.h"
#include "input/key_codes.h"
#include "platform/app_paths.h"
#include "platform/cpu_info.h"
#include "sound/direct_sound_device.h"
#include "sound/sound_buffer.h"

namespace bw {

namespace {

constexpr int kPaletteDepth = 8;
constexpr int kCanvasDepth = 32;
constexpr int kCanvasOption2 = 2;
constexpr uint8_t kSystemKeyBits = kDisplaySystemKeys;
constexpr uint8_t kSelectMonitorBit = kDisplaySelectMonitor;
constexpr uint8_t kSwitchedBit = 0x08;
constexpr uint8_t kWindowDepthMark = 3;
constexpr uint32_t kParkedWaitMs = 50;
constexpr uint32_t kMenuReopenMs = 250;

// The process-wide surface a transition item without a drawn surface draws into: the running
// application's back buffer.
BackBufferSurface& TransitionScreen() {
  static BackBufferSurface screen;
  return screen;
}

int DesktopDepth() {
  host::Backend* backend = host::CurrentBackend();
  return backend != nullptr ? backend->Desktop().bitsPerPixel : 0;
}
constexpr host::LPARAM kGcsResultString = 0x0800;
constexpr host::LPARAM kImeShowUiBits = 0x3FFFFFF0;  // keeps all but the composition and candidate windows
constexpr host::WPARAM kImnOpenStatusWindow = 0x0002;
constexpr host::WPARAM kImnCloseCandidate = 0x0004;
constexpr host::WPARAM kImnOpenCandidate = 0x0005;
constexpr uint32_t kMouseDoubleClickLeft = 0x0203;
constexpr uint32_t kMouseDoubleClickRight = 0x0206;

// True when the desktop's screen saver was on and is off now.
bool TurnScreenSaverOff() {
  host::Backend* backend = host::CurrentBackend();
  return backend != nullptr && backend->ScreenSaverActive() && backend->SetScreenSaverActive(false);
}

// Only a saver that was switched off here is switched on again.
void TurnScreenSaverOnAgain(bool& switchedOff) {
  if (!switchedOff) return;
  switchedOff = false;
  if (host::Backend* backend = host::CurrentBackend()) backend->SetScreenSaverActive(true);
}

uint32_t IconStyle(int icon) {
  switch (icon) {
    case kIconWarning: return host::MB_ICONWARNING;
    case kIconInformation: return host::MB_ICONINFORMATION;
    case kIconQuestion: return host::MB_ICONQUESTION;
    default: return host::MB_ICONERROR;
  }
}

}  // namespace

EngineApp::EngineApp() : lockFolder_(InstanceLockFolder()) {
  TheEngineApp::Set(this);
}

// Torn down without its shut-down (a failed start, an exception): what start-up published for the
// whole process still goes with it.
EngineApp::~EngineApp() {
  engineInput_.RemoveKeyboardHook();
  Unpublish();
  if (TheEngineApp::Get() == this) TheEngineApp::Clear();
}

int EngineApp::InitInstance() {
  info_ = AppInfo{};
  return 0;
}

void EngineApp::StartLog() {
  LogVersion version;
  version.title = info_.productTitle;
  version.major = info_.majorVersion;
  version.minor = info_.minorVersion;
  version.revision = info_.revision;
  version.notice = info_.notice;
  version.webAddress = info_.webAddress;
  log_.WriteVersion(version);
  log_.WriteSystem(system_.Facts(), monitors_, GatherReportFacts().programPath, GetAppFolder());
  const bool logClock = config_.engine.logCpuClock != 0;
  if (logClock) MeasureCpuClock();
  log_.WriteProcessor(TheCpuRecord(), logClock, system_.Facts().processorCount);
}

bool EngineApp::StartedFromCdRom() const {
  std::string linux;
  if (host::EnginePathToLinuxPath(GetAppFolder(), linux) != host::kPathOk) return false;
  host::Backend* backend = host::CurrentBackend();
  if (backend == nullptr) return false;
  std::string type = backend->FileSystemType(linux);
  return type == "iso9660" || type == "udf";
}

bool EngineApp::CheckWindowFits(bool* depthOk, bool* fits) {
  host::Backend* backend = host::CurrentBackend();
  const host::DesktopInfo desktop = backend != nullptr ? backend->Desktop() : host::DesktopInfo{};
  bool depth = desktop.bitsPerPixel == 0 || desktop.bitsPerPixel > kPaletteDepth;
  bool fit = true;
  if (monitors_.GetCount() != 0) {
    // The frame lies outside the client area here: the window is as large as the canvas.
    fit = monitors_.FindMonitorFitting(record_.canvasWidth, record_.canvasHeight) != kNoMonitor;
  } else {
    // An unknown desktop size refuses nothing.
    fit = desktop.width == 0 || desktop.height == 0 ||
          (desktop.width >= record_.canvasWidth && desktop.height >= record_.canvasHeight);
  }
  windowFits_ = fit;
  if (depthOk != nullptr) *depthOk = depth;
  if (fits != nullptr) *fits = fit;
  return depth && fit;
}

int EngineApp::CheckDisplayFeasible() {
  bool depthOk = false;
  bool fits = false;
  bool usable = CheckWindowFits(&depthOk, &fits);
  if (record_.defaultScreenMode == kScreenWindowOnly) {
    if (!depthOk) return kDisplayTooFewColours;
    if (!fits) return kDisplayTooSmall;
    config_.display.screenMode = kSavedScreenWindow;
    return kDisplayFeasible;
  }
  if (!usable && config_.display.screenMode == kSavedScreenWindow) config_.display.screenMode = kSavedScreenDefault;
  return kDisplayFeasible;
}

int EngineApp::AppStartup() {
  if (InitInstance() != 0) return kStartupInitInstance;
  if (record_.defaultScreenMode == kScreenFullOnly && config_.display.screenMode == kSavedScreenWindow) {
    config_.display.screenMode = kSavedScreenDefault;
  }
  if (!record_.allowCdRom && StartedFromCdRom()) {
    ShowMessage(host::Cp932Literal("ハードディスクから起動してください"), kIconWarning);
    return kStartupCdRom;
  }
  if (record_.singleInstance && !instance_.Acquire(lockFolder_, "Brimwold DX" + info_.appName)) {
    ShowMessage(OtherInstanceMessage(instance_), kIconInformation);
    return kStartupOtherInstance;
  }
  BindMainWindowHandlers();
  switch (CheckDisplayFeasible()) {
    case kDisplayTooFewColours:
      ShowMessage(host::Cp932Literal("画面モードをHighColor(16bit)以上にして起動して下さい"), kIconInformation);
      return kStartupDisplay;
    case kDisplayTooSmall:
      ShowMessage(host::Cp932Literal("画面解像度を現在の設定より大きくして起動して下さい"), kIconInformation);
      return kStartupDisplay;
    default:
      break;
  }
  IdentifyCpu();
  if (config_.engine.logFile) {
    if (log_.Start(true, StartupLog::Folder(record_.saveFolderMode, GetSaveFolder(), GetAppFolder())) != kStartupLogOk) {
      ShowMessage(host::Cp932Literal("ログファイルの作成に失敗"), kIconError);
      return kStartupLog;
    }
    StartLog();
  }
  ApplyCpuFeatureSwitches(config_.engine.cpuFeatures);
  if (display_.EnumerateDisplayDevices(&monitors_, record_.canvasWidth, record_.canvasHeight,
                                       directDrawModes_) != 0) {
    if (record_.defaultScreenMode == kScreenFullOnly) {
      ShowMessage(host::Cp932Literal("ディスプレイデバイスの情報を取得できません。"), kIconError);
      return kStartupDisplay;
    }
    ShowMessage(host::Cp932Literal("ディスプレイデバイスの情報取得に失敗しました。\nウィンドウモードのみ利用可能です。"),
                kIconWarning);
    record_.defaultScreenMode = kScreenWindowOnly;
    config_.display.screenMode = kSavedScreenWindow;
    displayFlags_ &= static_cast<uint8_t>(~kSelectMonitorBit);
  }
  if (config_.engine.canvas != 0) {
    CanvasLayer* canvas = nullptr;
    int options = config_.engine.canvas == 2 ? kCanvasOption2 : 0;
    if (display_.CreateCanvasLayer(&canvas, record_.canvasWidth, record_.canvasHeight, kCanvasDepth, options) != 0 ||
        canvas == nullptr) {
      ShowMessage(host::Cp932Literal("ディスプレイキャンバスの作成に失敗"), kIconError);
      return kStartupCanvas;
    }
    display_.SetScreenSurface(canvas);
  } else {
    display_.SetCanvasSize(record_.canvasWidth, record_.canvasHeight);
  }
  if (BindWindowMessages() != 0) return kStartupBindings;
  SetLoopMode(config_.engine.threadedDriving ? kLoopGetMessage : kLoopScriptOnMainThread);

  WindowCreateRecord window;
  window.title = info_.appName;
  window.className = info_.appName;
  window.clientWidth = record_.canvasWidth;
  window.clientHeight = record_.canvasHeight;
  window.left = config_.display.windowLeft;
  window.top = config_.display.windowTop;
  window.style = MainWindowStyle();
  window.exStyle = record_.windowExStyle;
  window.iconId = record_.iconId;
  window.menuId = record_.menuId;
  // A saved position the work area cannot hold, or none (-1, -1), centres the window; so
  // does every later switch back to a window.
  window.placement = kPlaceInsideOrCentre;
  if (mainWindow_.Create(window, true, true) != kCreated) {
    ShowMessage(host::Cp932Literal("ウィンドウの作成に失敗"), kIconError);
    return kStartupWindow;
  }
  engineInput_.SetMainWindow(mainWindow_.GetHandle());
  engineInput_.SetCanvasSize(record_.canvasWidth, record_.canvasHeight);
  // The pointer opens the menu bar in full screen when the game has a menu to show there.
  FullScreenMenuSettings menuSettings;
  menuSettings.enabled = record_.menuId != 0;
  menuSettings.modeBits = displayFlags_ & kSystemKeyBits;
  menuSettings.keyFlag = record_.menuWindowKind != 0;
  menuSettings.hoverDelayMs = config_.display.menuEdgeDelayMs;
  menuSettings.bandHeight = MenuHeight();
  engineInput_.SetMenuSettings(menuSettings);
  engineInput_.EnableIme(false);
  SetUpInput();
  if (log_.IsOpen()) {
    log_.WriteInput(GatherInputFacts());
    log_.WriteSound(GatherSoundFacts());
  }

  int mode = config_.display.screenMode;
  int depth = config_.display.fullScreenDepth;
  if (mode == kSavedScreenDefault) {
    mode = record_.defaultScreenMode;
    depth = DesktopDepth();
  }
  int r = SwitchScreenMode(mode, depth, kSwitchShowOnly);
  if (r != kSwitchDone && record_.defaultScreenMode != kScreenFullOnly && display_.GetScreenCanvas() != nullptr) {
    // The game's devices set up again for the window after this failure.
    displayFailure_ = kDisplaySwitchFailed;
    r = SwitchScreenMode(kSavedScreenDefault, DesktopDepth(), kSwitchForced);
  }
  if (r != kSwitchDone) {
    ShowMessage(host::Cp932Literal("画面の初期化に失敗 : ") + std::to_string(r), kIconError);
    return kStartupScreen;
  }
  host::InvalidateWindow(mainWindow_.GetHandle());
  TheDisplayManager::Set(&display_);
  // The DirectDraw kinds (text surfaces and layers, WGX layers) find their device here.
  Global<DirectDrawDevice>::Set(&display_);
  Global<Direct3DDevice>::Set(&display_);
  BuildBlendTables();
  InstallTransitionDispatch();
  TransitionScreen().Attach(&display_);
  SetTransitionScreen(&TransitionScreen());
  if (log_.IsOpen()) {
    log_.WriteDisplay(GatherDisplayFacts(), config_.engine.direct3DReport != 0, config_.engine.zBuffer != 0);
  }
  if (CreateDevices() != 0) return kStartupDevices;
  if (Threaded()) frameThread_.StartWithDelegate(ThreadDelegate::Bind(this, &EngineApp::FrameThreadMain));
  if (log_.IsOpen()) {
    log_.Finish(ListDrives(), ListProcesses());
  }
  SuppressSystemSleep();
  frameLoopRunning_ = true;
  return kStartupOk;
}

void EngineApp::SuppressSystemSleep() {
  if (config_.engine.suppressScreenSaver != 0) startScreenSaverOff_ = TurnScreenSaverOff();
}

void EngineApp::RestoreSystemSleep() {
  TurnScreenSaverOnAgain(startScreenSaverOff_);
}

void EngineApp::SuppressScreenSaver() {
  if (config_.display.screenMode == kSavedScreenFull) modalScreenSaverOff_ = TurnScreenSaverOff();
}

void EngineApp::RestoreScreenSaver() {
  TurnScreenSaverOnAgain(modalScreenSaverOff_);
}

InputFacts EngineApp::GatherInputFacts() const {
  InputFacts facts;
  facts.mode = inputMode_;
  if (const JoystickDevice* joystick = input_.GetJoystick(0)) {
    facts.joystick = JoystickFacts{static_cast<uint32_t>(joystick->DeviceNumber()), joystick->Name(),
                                   joystick->AxisCount(), joystick->ButtonCount()};
  }
  return facts;
}

SoundFacts EngineApp::GatherSoundFacts() {
  SoundFacts facts;
  if (EnumerateSoundDevices() != kEnumerated) return facts;
  facts.available = true;
  for (const SoundDeviceRecord& device : SoundDeviceList()) {
    facts.devices.push_back({device.description, device.module, !device.primary});
  }
  return facts;
}

DisplayFacts EngineApp::GatherDisplayFacts() const {
  DisplayFacts facts;
  facts.initialised = display_.GetBackBuffer() != nullptr || display_.GetScreenCanvas() != nullptr;
  facts.fullScreen = config_.display.screenMode == kSavedScreenFull;
  facts.width = static_cast<uint32_t>(record_.canvasWidth);
  facts.height = static_cast<uint32_t>(record_.canvasHeight);
  if (host::Backend* backend = host::CurrentBackend()) {
    facts.bitsPerPixel = static_cast<uint32_t>(backend->Desktop().bitsPerPixel);
  }
  return facts;
}

std::string EngineApp::SystemReport(bool longForm) const {
  ReportRecord record;
  record.title = info_.productTitle;
  record.versionMajor = info_.majorVersion;
  record.versionMinor = info_.minorVersion;
  record.versionRevision = info_.revision;
  record.longForm = longForm;
  // The long form prints the clock: the first one asked for measures it.
  if (longForm) MeasureCpuClock();
  ReportFacts facts = GatherReportFacts();
  facts.display = GatherDisplayFacts();
  facts.sound = GatherSoundFacts();
  facts.input = GatherInputFacts();
  return BuildSystemReport(record, system_, &monitors_, facts);
}

int EngineApp::SetUpInput() {
  uint32_t mode = kInputModeMessages;
  uint32_t r = input_.SetUpDevices(config_.engine.inputMode, mainWindow_.GetHandle(), config_.engine.joysticks != 0, &mode);
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
  if ((displayFlags_ & kSystemKeyBits) == 0) return kHandled;
  if (record.wParam != host::VK_MENU && record.wParam != host::VK_F10) return kNotHandled;
  // Alt opens the menu only when no other key went down while it was held, as the system's menu
  // key does: the Alt of Alt+Enter leaves it closed.
  if (record.wParam == host::VK_MENU && altChord_) return kHandled;
  // The key that closed the menu comes back up as the key that would open it again.
  const bool justClosed = menuClosedOnce_ && host::GetTickCount() - lastMenuClose_ <= kMenuReopenMs;
  if (!HasMenu() || record_.menuWindowKind == 0 || modalDepth_ > 0 || !active_ || justClosed) return kHandled;
  menuOpen_ = true;
  menuModal_ = true;
  if (DirectDrawModeSet()) display_.ShowGdiOverFullScreen();
  CreateFullScreenMenuWindow();
  menuWindow_.SendMessage(host::WM_SYSCOMMAND, host::SC_KEYMENU, 0);
  return kNotHandled;
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
  if (record.message == host::WM_IME_COMPOSITION && (record.lParam & kGcsResultString) != 0) return kNotHandled;
  return kHandled;
}

int EngineApp::OnImeSetContext(WindowMessage& record) {
  record.lParam &= kImeShowUiBits;
  return kNotHandled;
}

int EngineApp::OnImeNotify(WindowMessage& record) {
  switch (record.wParam) {
    case kImnOpenCandidate: candidateShown_ = true; break;
    case kImnCloseCandidate: candidateShown_ = false; break;
    case kImnOpenStatusWindow:
      if (config_.display.screenMode == kSavedScreenFull) return kHandled;
      break;
    default: break;
  }
  return kNotHandled;
}

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
    area = desktop.monitors.empty() ? host::Rect{0, 0, desktop.width, desktop.height} : desktop.monitors.front().workArea;
  }
  host::Point to = CenteredOrigin(area, width, height);
  host::MoveWindow(dialog, to.x, to.y);
  // Without a parent to stand over, the dialog stays above every other window.
  if (!overParent) host::SetWindowTopmost(dialog, true);
}

uint32_t EngineApp::MainWindowStyle() const {
  uint32_t style = record_.windowStyle;
  if (!(record_.defaultScreenMode >= kScreenBoth && (displayFlags_ & kSelectMonitorBit))) style &= ~WS_MAXIMIZEBOX;
  return style;
}

int32_t EngineApp::MenuHeight() const {
  if (record_.menuId == 0) return 0;
  return record_.menuWindowKind == kMenuWindowFramed ? kMenuBarHeight + 2 * kDialogFrame + kCaptionHeight
                                                     : kMenuBarHeight;
}

bool EngineApp::DirectDrawModeSet() const { return display_.ModeState() == kModeStateDirectDraw; }

bool EngineApp::IsMinimized() const { return mainWindow_.IsWindow() && host::IsIconic(mainWindow_.GetHandle()); }

void EngineApp::SaveWindowPosition() {
  host::Rect placed;
  if (!host::GetWindowRect(mainWindow_.GetHandle(), &placed)) return;
  config_.display.windowLeft = placed.left;
  config_.display.windowTop = placed.top;
}

void EngineApp::BindMainWindowHandlers() {
  mainWindow_.Bind(host::WM_ACTIVATEAPP, BindMember(this, &EngineApp::OnAppActivate));
  mainWindow_.Bind(host::WM_DISPLAYCHANGE, BindMember(this, &EngineApp::OnDisplayChange));
  mainWindow_.Bind(host::WM_PAINT, BindMember(this, &EngineApp::OnPaint));
  mainWindow_.Bind(host::WM_CLOSE, BindMember(this, &EngineApp::OnClose));
  mainWindow_.Bind(host::WM_SETCURSOR, BindMember(this, &EngineApp::OnSetCursor));
  mainWindow_.Bind(host::WM_ENTERMENULOOP, BindMember(this, &EngineApp::OnEnterMenuLoop));
  mainWindow_.Bind(host::WM_EXITMENULOOP, BindMember(this, &EngineApp::OnExitMenuLoop));
  mainWindow_.Bind(kMsgMessageBox, BindMember(this, &EngineApp::OnMessageBoxRequest));
  mainWindow_.Bind(kMsgScreenMode, BindMember(this, &EngineApp::OnScreenModeRequest));
  mainWindow_.Bind(kMsgShowMenuWindow, BindMember(this, &EngineApp::OnCreateMenuWindowRequest));
  mainWindow_.Bind(kMsgHideMenuWindow, BindMember(this, &EngineApp::OnHideMenuWindowRequest));
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
    for (uint32_t command : {host::SC_MOVE, host::SC_SIZE, host::SC_MAXIMIZE}) mainWindow_.DeleteSystemMenuItem(command);
    r = display_.SetMode(window, false, triple);
    if (r != kDisplayDone) {
      // A window that stays a window keeps its frame and its menu.
      mainWindow_.SetStyle(previousStyle, previousExStyle);
      mainWindow_.ResetSystemMenu();
      if (menu) host::AttachMenu(window, menu);
    } else {
      host::ShowWindow(window, true);
      host::SetFullScreen(window, true);
      mainWindow_.SetStyle(mainWindow_.GetStyle(), topmostInFullScreen_ ? WS_EX_TOPMOST : 0);
      engineInput_.SetDisplayMode(kDisplayFullScreen);
      engineInput_.InstallKeyboardHook();
    }
  } else {
    r = display_.SetMode(window, true, triple);
    if (r == kDisplayDone) {
      engineInput_.SetDisplayMode(kDisplayWindow);
      if (force == kSwitchShowOnly) {
        host::ShowWindow(window, true);
      } else {
        // Out of full screen first: the menu bar then takes its place above the picture.
        host::SetFullScreen(window, false);
        if (record_.menuId != 0) {
          DestroyMenuWindow();
          if (menu) host::AttachMenu(window, menu);
        }
        mainWindow_.ResetSystemMenu();
        mainWindow_.SetStyle(MainWindowStyle(), record_.windowExStyle);
        RemoveMaximizeBox();
        const host::Rect outer = mainWindow_.ComputeWindowRect(
            record_.canvasWidth, record_.canvasHeight, mainWindow_.GetStyle(), mainWindow_.GetExStyle(),
            menu != nullptr, true, config_.display.windowLeft, config_.display.windowTop);
        host::ShowWindow(window, true);
        host::MoveWindow(window, outer.left, outer.top);
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
  if (point.x < origin.x || point.y < origin.y || point.x >= origin.x + width || point.y >= origin.y + height) {
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
        host::MinimizeWindow(window, false);
        engineInput_.SetMinimized(false);
        windowRestored_ = true;
      }
      if (reapplyPending_ != 0) {
        const bool atCanvas = reapplyPending_ == 1;
        int32_t width = atCanvas ? record_.canvasWidth : display_.DisplayWidth();
        int32_t height = atCanvas ? record_.canvasHeight : display_.DisplayHeight();
        if (display_.SetDisplayMode(window, width, height, display_.ModeDepth(), display_.Has60Hz()) != 0) {
          displayFailure_ = kDisplaySwitchFailed;
        }
        reapplyPending_ = 0;
      }
      // Only a back buffer has anything to lose.
      if (display_.GetBackBuffer() != nullptr && display_.RestoreLostSurfaces() != 0) {
        displayFailure_ = kDisplayRestoreFailed;
      }
    }
    if (menuWindow_.IsWindow() && record_.menuWindowKind != kMenuWindowPopup) {
      menuWindow_.SetStyle(menuWindow_.GetStyle() | WS_MAXIMIZE, menuWindow_.GetExStyle());
    }
    ApplyDeferredClose();
    return kHandled;
  }
  if (menuOpen_) OnExitMenuLoop(record);
  // Every own display mode is exclusive here: the menu window goes, and the game is minimised.
  if (display_.CooperativeState() == kCoopExclusive && record_.menuId != 0) DestroyMenuWindow();
  if (DirectDrawModeSet() && config_.engine.minimizeOnDeactivate != 0) {
    ScopedLock hold(frameLock_);
    display_.RestoreMode(false);
    reapplyPending_ = display_.IsScaled() ? 2 : 1;
    host::MinimizeWindow(window, true);
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
  if (Mouse* mouse = input_.GetMouse()) host::SetCursorShape(mouse->CursorShape());
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

void EngineApp::AppShutdown(int code) {
  if (frameThread_.IsRunning()) {
    // The frame thread may be waiting in a send to this thread: serve it while it winds down.
    frameThread_.RequestStop();
    while (frameThread_.IsRunning()) {
      PumpMessages(true);
      host::Sleep(1);
    }
    frameThread_.Stop();
  }
  DestroyMenuWindow();
  // The window's menu lets go of it before it goes.
  if (mainWindow_.IsWindow()) host::AttachMenu(mainWindow_.GetHandle(), nullptr);
  if (LoopMode() == kLoopScriptOnMainThread && mainWindow_.IsWindow()) {
    // Wait for the quit the window's end posts, not one seen before.
    mainWindow_.Destroy();
    host::MSG msg;
    for (;;) {
      int got = host::GetMessage(&msg, host::HWND{}, 0, 0);
      if (got == 0 || got == -1) break;
      host::DispatchMessage(msg);
    }
    SetQuitSeen(true);
  }
  frameLoopRunning_ = false;
  OnAppExit(code);
  RestoreSystemSleep();
  display_.ReleaseSurfaces();
  if (mainWindow_.IsWindow()) mainWindow_.Destroy();
  engineInput_.RemoveKeyboardHook();
  instance_.Release();
  SaveConfig(code);
  if (displayFailure_ != kDisplayOk) {
    ShowMessage(host::Cp932Literal("予期せぬエラーが発生したため、強制終了しました。ErrorCode：") +
                    std::to_string(displayFailure_),
                kIconError);
  }
  Unpublish();
}

void EngineApp::Unpublish() {
  // Start-up attached the transitions' screen with the device: another application's stays.
  if (Global<DirectDrawDevice>::Get() == &display_) {
    SetTransitionScreen(nullptr);
    TransitionScreen().Attach(nullptr);
    Global<DirectDrawDevice>::Clear();
  }
  if (TheDisplayManager::Get() == &display_) TheDisplayManager::Clear();
  if (Global<Direct3DDevice>::Get() == &display_) Global<Direct3DDevice>::Clear();
}

bool EngineApp::PreTranslateMessage(const host::MSG& msg) {
  NoteKeyWithAlt(msg);
  if (msg.message == host::WM_SYSKEYUP && msg.wParam == host::VK_F10) return true;
  if ((displayFlags_ & kSystemKeyBits) == 0) {
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

// Seen before the accelerators take a chord: Alt+Enter never reaches the handlers.
void EngineApp::NoteKeyWithAlt(const host::MSG& msg) {
  if (msg.message != host::WM_KEYDOWN && msg.message != host::WM_SYSKEYDOWN) return;
  if (msg.wParam != host::VK_MENU) {
    altChord_ = true;
  } else if ((static_cast<uint32_t>(msg.lParam) & host::kKeyPreviousStateBit) == 0) {
    altChord_ = false;
  }
}

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

int EngineApp::ShowMessage(const std::string& textCp932, int icon) {
  if (OnFrameThread()) return RequestMessageBox(kBoxMessage, textCp932, icon);
  return ModalMessageBox(textCp932, host::MB_OK, icon);
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
  menuModal_ = true;
  if (!Threaded()) {
    frameLoopRunning_ = false;
    OnPauseForModal();
  }
  if (mainWindow_.IsWindow()) mainWindow_.SendMessage(kMsgShowCursor, 1, 0);
  if (DirectDrawModeSet()) {
    SuppressScreenSaver();
    display_.ShowGdiOverFullScreen();
  }
}

void EngineApp::EndModal() {
  if (modalDepth_ == 0 || --modalDepth_ > 0) return;
  ++modalsEnded_;
  if (DirectDrawModeSet()) {
    display_.EndGdiOverFullScreen();
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
  menuModal_ = false;
}

bool EngineApp::OnFrameThread() const {
  return frameThread_.IsRunning() && frameThread_.GetThreadId() == CurrentThreadId();
}

uint8_t EngineApp::RequestMessageBox(int kind, const std::string& textCp932, int icon, const std::string& title) {
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
      ModalMessageBox(record->text, host::MB_OK, record->icon, record->title);
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
  host::WPARAM packed = static_cast<host::WPARAM>(((mode & 0xFF) << 16) | ((depth & 0xFF) << 8) | (force & 0xFF));
  host::SendMessage(mainWindow_.GetHandle(), kMsgScreenMode, packed, reinterpret_cast<host::LPARAM>(&result));
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

bool EngineApp::FrameThreadWait(uint32_t ms) { return frameThread_.WaitForStopRequest(ms); }

int EngineApp::WaitForFrameThread(host::HWND* window) {
  if (!Threaded()) return kWaitParked;
  if (OnFrameThread()) return kWaitOnFrameThread;
  pauseState_.store(kFramePauseRequested);
  for (;;) {
    host::Sleep(10);
    if (PumpMessages(true) == kPumpQuit) {
      if (window != nullptr) *window = host::HWND{};
      return kWaitQuit;
    }
    if (!frameThread_.IsRunning()) return kWaitThreadGone;
    if (pauseState_.load() == kFrameParked) return kWaitParked;
  }
}

int EngineApp::ReleaseFrameThreadWait(host::HWND* /*window*/) {
  pauseState_.store(kFrameRunning);
  return 0;
}

int EngineApp::OnPaint(WindowMessage& /*record*/) {
  // The frame loop draws the next frame soon enough itself, and a movie draws its own picture.
  const bool loopRepaints = display_.GetScreenCanvas() == nullptr && !sizeMove_ &&
                            (switchRunning_ || frameLoopRunning_) &&
                            (active_ || config_.display.pauseWhenInactive == 0) &&
                            pauseState_.load() != kFrameParked;
  const bool movieCovers =
      config_.display.screenMode == kSavedScreenFull && MovieShowing() &&
      (display_.GetScreenCanvas() == nullptr || display_.GetPrimary() != nullptr);
  if (loopRepaints || movieCovers) return kHandled;
  ScopedLock hold(frameLock_);
  if (CanvasLayer* canvas = display_.GetScreenCanvas()) {
    canvas->PresentFrame(mainWindow_.GetHandle(), nullptr, nullptr, 0, false);
  } else if (display_.GetBackBuffer() != nullptr) {
    display_.Present();
  }
  return kHandled;
}

}  // namespace bw
