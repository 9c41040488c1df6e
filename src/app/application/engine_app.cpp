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
#include "host/message_queue.h"
#include "host/stop_signals.h"
#include "host/trust.h"
#include "platform/app_paths.h"
#include "platform/cpu_info.h"
#include "sound/direct_sound_device.h"

namespace bw {

namespace {

constexpr int kPaletteDepth = 8;
constexpr int kCanvasDepth = 32;
constexpr int kCanvasOption2 = 2;

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

// True when the desktop's screen saver was on and is off now.
bool TurnScreenSaverOff() {
  host::Backend* backend = host::CurrentBackend();
  return backend != nullptr && backend->ScreenSaverActive() && backend->SetScreenSaverActive(false);
}

// Only a saver that was switched off here is switched on again.
void TurnScreenSaverOnAgain(bool& switchedOff) {
  if (!switchedOff) return;
  switchedOff = false;
  // A backend that cannot switch the saver has none that counts: nothing is lost.
  if (host::Backend* backend = host::CurrentBackend()) (void)backend->SetScreenSaverActive(true);
}

}  // namespace

EngineApp::EngineApp() : lockFolder_(InstanceLockFolder()) {
  TheEngineApp::Set(this);
}

// Torn down without its shut-down (a failed start, an exception): what start-up published for the
// whole process still goes with it.
EngineApp::~EngineApp() {
  if (trustNotesToLog_) host::SetTrustNoticeSink(nullptr);
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
  // Standard error has had them already.
  host::SetTrustNoticeSink(
      [this](const std::string& text) { log_.WriteNote(host::Utf8ToCp932Lenient(text)); });
  trustNotesToLog_ = true;
}

void EngineApp::ConfineGameFiles() {
  std::vector<std::string> folders;
  for (const std::string& folder : {GetAppFolder(), GetSaveFolder()}) {
    std::string linuxFolder;
    if (!folder.empty() && host::EnginePathToLinuxPath(folder, linuxFolder) == host::kPathOk) {
      folders.push_back(linuxFolder);
    }
  }
  host::SetGameFolders(folders);
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
  if (!usable && config_.display.screenMode == kSavedScreenWindow)
    config_.display.screenMode = kSavedScreenDefault;
  return kDisplayFeasible;
}

int EngineApp::AppStartup() {
  if (int code = CheckStartConditions(); code != kStartupOk) return code;
  BindMainWindowHandlers();
  if (int code = CheckDisplay(); code != kStartupOk) return code;
  (void)IdentifyCpu();  // without CPUID the record stays empty and the plain kernels run
  if (int code = OpenStartupLog(); code != kStartupOk) return code;
  ApplyCpuFeatureSwitches(config_.engine.cpuFeatures);
  if (int code = ListDisplayDevices(); code != kStartupOk) return code;
  if (int code = CreateScreenCanvas(); code != kStartupOk) return code;
  if (BindWindowMessages() != 0) return kStartupBindings;
  SetLoopMode(config_.engine.threadedDriving ? kLoopGetMessage : kLoopScriptOnMainThread);
  if (int code = CreateMainWindow(); code != kStartupOk) return code;
  if (log_.IsOpen()) {
    log_.WriteInput(GatherInputFacts());
    log_.WriteSound(GatherSoundFacts());
  }
  if (int code = EnterFirstScreenMode(); code != kStartupOk) return code;
  (void)host::InvalidateWindow(mainWindow_.GetHandle());  // the window stands: a screen mode is set
  PublishDisplay();
  if (log_.IsOpen()) {
    log_.WriteDisplay(GatherDisplayFacts(), config_.engine.direct3DReport != 0,
                      config_.engine.zBuffer != 0);
  }
  if (CreateDevices() != 0) return kStartupDevices;
  if (Threaded() && frameThread_.StartWithDelegate(ThreadDelegate::Bind(
                        this, &EngineApp::FrameThreadMain)) != kThreadStarted) {
    Note("the frame thread could not be started; the game cannot run");
    return kStartupDevices;
  }
  if (log_.IsOpen()) {
    log_.Finish(ListDrives(), ListProcesses());
  }
  SuppressSystemSleep();
  frameLoopRunning_ = true;
  return kStartupOk;
}

int EngineApp::CheckStartConditions() {
  host::ForgetTrustNotices();
  if (InitInstance() != 0) return kStartupInitInstance;
  ConfineGameFiles();
  if (record_.defaultScreenMode == kScreenFullOnly &&
      config_.display.screenMode == kSavedScreenWindow) {
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
  return kStartupOk;
}

int EngineApp::CheckDisplay() {
  switch (CheckDisplayFeasible()) {
    case kDisplayTooFewColours:
      ShowMessage(host::Cp932Literal("画面モードをHighColor(16bit)以上にして起動して下さい"),
                  kIconInformation);
      return kStartupDisplay;
    case kDisplayTooSmall:
      ShowMessage(host::Cp932Literal("画面解像度を現在の設定より大きくして起動して下さい"),
                  kIconInformation);
      return kStartupDisplay;
    default:
      return kStartupOk;
  }
}

int EngineApp::OpenStartupLog() {
  if (!config_.engine.logFile) return kStartupOk;
  if (log_.Start(true, StartupLog::Folder(record_.saveFolderMode, GetSaveFolder(),
                                          GetAppFolder())) != kStartupLogOk) {
    ShowMessage(host::Cp932Literal("ログファイルの作成に失敗"), kIconError);
    return kStartupLog;
  }
  StartLog();
  return kStartupOk;
}

// Without the devices' list a game that may run in a window runs only there.
int EngineApp::ListDisplayDevices() {
  if (display_.EnumerateDisplayDevices(&monitors_, record_.canvasWidth, record_.canvasHeight) ==
      0) {
    return kStartupOk;
  }
  if (record_.defaultScreenMode == kScreenFullOnly) {
    ShowMessage(host::Cp932Literal("ディスプレイデバイスの情報を取得できません。"), kIconError);
    return kStartupDisplay;
  }
  ShowMessage(
      host::Cp932Literal(
          "ディスプレイデバイスの情報取得に失敗しました。\nウィンドウモードのみ利用可能です。"),
      kIconWarning);
  record_.defaultScreenMode = kScreenWindowOnly;
  config_.display.screenMode = kSavedScreenWindow;
  displayFlags_ &= static_cast<uint8_t>(~kDisplaySelectMonitor);
  return kStartupOk;
}

int EngineApp::CreateScreenCanvas() {
  if (config_.engine.canvas == 0) {
    // A size below 1 keeps the canvas size in force.
    (void)display_.SetCanvasSize(record_.canvasWidth, record_.canvasHeight);
    return kStartupOk;
  }
  CanvasLayer* canvas = nullptr;
  int options = config_.engine.canvas == 2 ? kCanvasOption2 : 0;
  if (display_.CreateCanvasLayer(&canvas, record_.canvasWidth, record_.canvasHeight, kCanvasDepth,
                                 options) != 0 ||
      canvas == nullptr) {
    ShowMessage(host::Cp932Literal("ディスプレイキャンバスの作成に失敗"), kIconError);
    return kStartupCanvas;
  }
  // A refused canvas leaves the screen as it was.
  (void)display_.SetScreenSurface(canvas);
  return kStartupOk;
}

int EngineApp::CreateMainWindow() {
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
  menuSettings.modeBits = displayFlags_ & kDisplaySystemKeys;
  menuSettings.keyFlag = record_.menuWindowKind != 0;
  menuSettings.hoverDelayMs = config_.display.menuEdgeDelayMs;
  menuSettings.bandHeight = fullScreenMenu_.Height();
  engineInput_.SetMenuSettings(menuSettings);
  engineInput_.EnableIme(false);
  // A device that did not come up is found missing by CreateDevices, which tells the player.
  (void)SetUpInput();
  return kStartupOk;
}

int EngineApp::EnterFirstScreenMode() {
  int mode = config_.display.screenMode;
  int depth = config_.display.fullScreenDepth;
  if (mode == kSavedScreenDefault) {
    mode = record_.defaultScreenMode;
    depth = DesktopDepth();
  }
  int r = SwitchScreenMode(mode, depth, kSwitchShowOnly);
  if (r != kSwitchDone && record_.defaultScreenMode != kScreenFullOnly &&
      display_.GetScreenCanvas() != nullptr) {
    // The game's devices set up again for the window after this failure.
    displayFailure_ = kDisplaySwitchFailed;
    r = SwitchScreenMode(kSavedScreenDefault, DesktopDepth(), kSwitchForced);
  }
  if (r != kSwitchDone) {
    ShowMessage(host::Cp932Literal("画面の初期化に失敗 : ") + std::to_string(r), kIconError);
    return kStartupScreen;
  }
  return kStartupOk;
}

// Undone by Unpublish.
void EngineApp::PublishDisplay() {
  TheDisplayManager::Set(&display_);
  // The DirectDraw kinds (text surfaces and layers, WGX layers) find their device here.
  Global<DirectDrawDevice>::Set(&display_);
  Global<Direct3DDevice>::Set(&display_);
  BuildBlendTables();
  InstallTransitionDispatch();
  TransitionScreen().Attach(&display_);
  SetTransitionScreen(&TransitionScreen());
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
    facts.joystick =
        JoystickFacts{static_cast<uint32_t>(joystick->DeviceNumber()), joystick->Name(),
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

void EngineApp::AppShutdown(int code) {
  // The frame loop turns no more: each step of closing shows the stop watchdog the way out.
  host::NoteProgress();
  if (frameThread_.IsRunning()) {
    // The frame thread may be waiting in a send to this thread: serve it while it winds down.
    frameThread_.RequestStop();
    while (frameThread_.IsRunning()) {
      // A quit seen now changes nothing: the game is ending.
      (void)PumpMessages(true);
      host::Sleep(1);
    }
    (void)frameThread_.Stop();  // one that cannot be joined is left detached
    host::NoteProgress();
  }

  fullScreenMenu_.Destroy();
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
  host::NoteProgress();
  OnAppExit(code);
  host::NoteProgress();
  RestoreSystemSleep();
  display_.ReleaseSurfaces();
  if (mainWindow_.IsWindow()) mainWindow_.Destroy();
  engineInput_.RemoveKeyboardHook();
  instance_.Release();
  host::NoteProgress();
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

}  // namespace bw
