#include "app/application/game_app.h"

#include <cstdio>

#include "app/application/game_gui_services.h"
#include "app/application/game_text_panel.h"
#include "app/config/app_info.h"
#include "app/config/app_record.h"
#include "app/config/config_block.h"
#include "app/config/engine_config.h"
#include "app/dialogs/settings_sheet.h"
#include "effects/builtin_effects.h"
#include "effects/display_effect.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/rendered_text.h"
#include "host/clock.h"
#include "host/cp932.h"
#include "host/host_path.h"
#include "host/input/key_state.h"
#include "host/message_queue.h"
#include "input/key_codes.h"
#include "platform/app_paths.h"
#include "platform/cpu_info.h"
#include "resource/files/file_utils.h"
#include "resource/images/susie_bridge.h"
#include "scenario/message/script_message_text.h"
#include "script/script_engine.h"
#include "script/script_vm.h"

namespace bw {

namespace {

constexpr uint8_t kLayoutToText = 1;  // the message dialog grows to its text

// Start-up results after which the two display words of the engine settings are cleared: the
// screen's initialisation, and 9, which no step of this start-up gives.
constexpr int kStartupClearsDisplayWords9 = 9;
// The depth the display block keeps after a switch to a window.
constexpr uint8_t kDepthAfterWindowSwitch = 3;

// The hooks that running effects and layer filters call: they reach the published application.
void LowerPriorityHook() {
  if (GameApp* app = TheGameApp::Get()) (void)app->LowerFrameThreadPriority();  // the nesting
}

void RestorePriorityHook() {
  if (GameApp* app = TheGameApp::Get()) (void)app->RestoreFrameThreadPriority();  // the nesting
}

bool LowSpecHook() {
  GameApp* app = TheGameApp::Get();
  return app != nullptr && app->Config().pacing.priorityLoweringOff != 0;
}

}  // namespace

GameApp::GameApp() {
  TheGameApp::Set(this);
  SetEffectRunningHooks(LowerPriorityHook, RestorePriorityHook);
  SetLayerFilterHooks(LowerPriorityHook, RestorePriorityHook);
  SetLowSpecQuery(LowSpecHook);
  gui_ = std::make_unique<GameGuiServices>(*this);
  textPanel_ = std::make_unique<GameTextPanel>(*this);
}

GameApp::~GameApp() {
  screens_.CloseWindows();
  textPanel_.reset();
  gui_.reset();
  host_.reset();
  screens_.ClosePages();  // after the frame that drew on them
  sound_.reset();
  if (TheGameApp::Get() == this) {
    SetEffectRunningHooks(nullptr, nullptr);
    SetLayerFilterHooks(nullptr, nullptr);
    SetLowSpecQuery(nullptr);
    TheGameApp::Clear();
  }
}

uint32_t GameApp::Clock() {
  return host::TimeGetTime();
}

std::unique_ptr<ScriptHostMessageText> GameApp::CreateMessageText(ScriptHost& host) {
  return std::make_unique<ScriptMessageText>(&host, &host.GetMemory());
}

PartManager* GameApp::ScriptPartManager() {
  return gui_ ? &gui_->Parts() : nullptr;
}
TextPanel* GameApp::ScriptTextPanel() {
  return textPanel_ ? &textPanel_->Panel() : nullptr;
}

SaveTextPanel* GameApp::SaveTextPanelSource() {
  return textPanel_.get();
}
PointerManager* GameApp::ScriptPointerManager() {
  return gui_ ? &gui_->Tip() : nullptr;
}
void GameApp::AttachTextInput(bool on) {
  GetEngineInput().AttachTextInput(on ? MainWindow().GetHandle() : host::HWND{});
}

// The setting less one is the budget, in units of 4 MB when positive; 0 asks for the automatic one.
int64_t GameApp::ConfiguredImageCacheBudget() {
  const int64_t budget = static_cast<int64_t>(config_.pacing.imageCacheBudget) - 1;
  return budget > 0 ? budget * 4 : budget;
}

int GameApp::InitInstance() {
  if (int r = EngineApp::InitInstance(); r != 0) return r;
  // Plug-ins that fail to load are skipped; the built-in decoders are always there.
  SetUpImageLoaders(Images(), &FileSystem());
  RegisterPackDecoders(FileSystem());
  services_.Start();
  const std::string& line = GetCommandLine();
  if (line.size() >= 2 && line[0] == '/' && (line[1] == 'L' || line[1] == 'l')) {
    if (RebaseAppFolder(line.substr(2)) != kAppFolderSet) return kInitAppRecord;
  }
  ConfineGameFiles();
  std::string packFailure;
  // A refused pack is told by its failure text.
  MountStartupPacks(FileSystem(), &packFailure);
  if (!packFailure.empty()) {
    EngineApp::ShowMessage("A pack of the game cannot be used:\n" + packFailure, kIconError);
    return kInitAppRecord;
  }
  return ReadConfiguration();
}

int GameApp::ReadConfiguration() {
  std::vector<uint8_t> bytes;
  std::string why;
  if (!scriptFiles_.Load("SCRIPT\\QZ_APP.SYS", bytes) ||
      !ConfigTaken(ReadAppRecord(bytes, record_, &why))) {
    EngineApp::ShowMessage(
        ConfigFailureText(host::Cp932Literal("アプリケーション設定ファイルの読み込みに失敗"),
                          "SCRIPT\\QZ_APP.SYS", why),
        kIconError);
    return kInitAppRecord;
  }
  bytes.clear();
  if (!scriptFiles_.Load("SCRIPT\\QZ_APP.INF", bytes) ||
      !ConfigTaken(ReadAppInfo(bytes, info_, &why))) {
    EngineApp::ShowMessage(
        ConfigFailureText(host::Cp932Literal("アプリケーション情報ファイルの読み込みに失敗"),
                          "SCRIPT\\QZ_APP.INF", why),
        kIconError);
    return kInitAppInfo;
  }

  if (int r = settings_.Read(record_, info_, scriptFiles_); r != 0) return r;
  if (settings_.FolderChosenNow()) SaveConfig(0);
  ApplyDisplayOptions();
  return 0;
}

void GameApp::ApplyDisplayOptions() {
  SetDisplayDefaults(User());
  ApplyDisplaySettings();
}

void GameApp::TakeBackDisplayOptions() {
  if (User().displayOption2 != GetDisplayManager().TextureRequest()) {
    if (config_.display.screenMode == kSavedScreenWindow) User().drawingMethodAlways = 0;
    User().displayOption2 = kDirectDrawDrawing;
  }
  // Start-up fell back to the window after a failed switch: the game goes on there.
  if (displayFailure_ == kDisplaySwitchFailed) {
    displayFailure_ = kDisplayOk;
    User().drawingMethodAlways = 0;
    User().displayOption2 = kDirectDrawDrawing;
  }
}

void GameApp::SaveConfig(int code) {
  if (code != 0 || !settings_.Writable()) return;
  const bool written = settings_.Save();
  // The status tells of the last save: one that failed at the start may succeed at the exit.
  int before = written ? kExitSettingsNotSaved : kExitNormal;
  exitStatus_.compare_exchange_strong(before, written ? kExitNormal : kExitSettingsNotSaved);
}

void GameApp::ApplyDisplaySettings() {
  DisplayManager& display = GetDisplayManager();
  {
    // The frame thread presents with these.
    ScopedLock hold(display.GetLock());
    display.SetTextureRequest(User().displayOption2, User().drawingMethodAlways != 0);
    display.SetPowerOfTwo(User().powerOfTwoTextures != 0);
    display.SetBilinearFilter(User().bilinearFilter != 0);
    display.SetCopyThroughDc(User().transferThroughDc != 0);
  }
  SetTopmostInFullScreen(User().topmostInFullScreen != 0);
}

namespace {

constexpr int32_t kBindKeyboard = 0;
constexpr int32_t kBindFirstJoystick = 2;

struct DefaultBinding {
  uint32_t action;
  int32_t device;
  uint8_t code;
};

// Up, down, left, right on the arrows and the stick; Enter on both keys; Escape.
constexpr DefaultBinding kDefaultBindings[] = {
    {0, kBindKeyboard, 0xC8},   {0, kBindFirstJoystick, 0}, {1, kBindKeyboard, 0xD0},
    {1, kBindFirstJoystick, 1}, {2, kBindKeyboard, 0xCB},   {2, kBindFirstJoystick, 2},
    {3, kBindKeyboard, 0xCD},   {3, kBindFirstJoystick, 3}, {4, kBindKeyboard, 0x1C},
    {4, kBindKeyboard, 0x9C},   {5, kBindKeyboard, 0x01},
};

}  // namespace

int GameApp::BindWindowMessages() {
  // Ctrl held at start asks for a window. No key has come through a queue yet: the keyboard is
  // asked as it is.
  host::Backend* backend = host::CurrentBackend();
  if (backend && backend->KeyDownNow(host::VK_CONTROL))
    config_.display.screenMode = kSavedScreenWindow;
  MainWindow().Bind(host::WM_CREATE, BindMember(this, &GameApp::OnCreate));
  MainWindow().Bind(host::WM_DROPFILES, BindMember(this, &GameApp::OnDropFiles));
  BindGameWindowHandlers();
  MainWindow().Bind(host::WM_COMMAND, BindMember(this, &GameApp::OnMenuCommand));
  MainWindow().Bind(kMsgMessageDialog, BindMember(this, &GameApp::OnMessageDialogRequest));
  if ((displayFlags_ & kDisplaySelectMonitor) == 0) return 0;
  if (SelectMonitor(host::HWND{}, 0) != 0) {
    record_.defaultScreenMode = kScreenWindowOnly;
    config_.display.screenMode = kSavedScreenWindow;
    displayFlags_ &= static_cast<uint8_t>(~kDisplaySelectMonitor);
    return 0;
  }
  // A window the monitor cannot hold starts in full screen, unless the player's last switch was
  // to a window.
  if (config_.display.screenMode != kSavedScreenFull && !WindowFits() &&
      config_.display.fullScreenDepth != kDepthAfterWindowSwitch) {
    config_.display.screenMode = kSavedScreenFull;
  }
  return 0;
}

void GameApp::EnableFileDrops(bool on) {
  dropTarget_.SetEnabled(MainWindow().GetHandle(), on);
}

int GameApp::OnDropFiles(WindowMessage& record) {
  // A refused drop is finished by the target all the same.
  (void)dropTarget_.OnDropFiles(static_cast<host::HDROP>(record.wParam));

  return kHandled;
}

int GameApp::CreateDevices() {
  TakeBackDisplayOptions();
  BindPixelLibrary();
  Images().SetCacheBudget(ConfiguredImageCacheBudget());

  if (GetInputManager().Keyboard() == nullptr || GetInputManager().GetMouse() == nullptr) {
    EngineApp::ShowMessage(host::Cp932Literal("入力デバイスの初期化に失敗"), kIconError);
    return kDevicesInput;
  }
  if (GetInputManager().CreateBindingTable(kActionCount, &bindings_) != 0) {
    EngineApp::ShowMessage(host::Cp932Literal("仮想入力デバイスの作成に失敗"), kIconError);
    return kDevicesBindingTable;
  }
  // A default on a joystick that is not plugged in is left out.
  for (const DefaultBinding& b : kDefaultBindings)
    (void)bindings_->AddBinding(b.action, b.device, b.code);
  // The binding table was made just above: both apply.
  (void)ApplyKeyAssignments();
  (void)ApplyJoystickAssignments();
  Mouse* mouse = GetInputManager().GetMouse();
  // A host without the arrow keeps the cursor it shows.
  (void)mouse->SetCursorShape(0, 0);
  if (config_.pacing.systemCursor == 0)
    mouse->SetCursorVisible(false, MainWindow().GetHandle(), kMsgShowCursor);

  sound_ = std::make_unique<GameSound>(playAloud_);
  if (!sound_->Create(MainWindow().GetHandle(), config_.engine.soundGlobalFocus != 0,
                      config_.engine.soundSoftware != 0)) {
    WarnNoSoundAtStart();
  }
  // The frame clock takes the configured sync mode and precise timing.
  UpdateFramePacing(-1);
  // Text renderers: the display manager makes them through the factory; a null one stands for
  // the default.
  if (!fonts_.Start()) {
    TellDetail(
        "warning: the default face did not load: text drawn without a face of its own "
        "will not show");
  }
  return 0;
}

// The player's box, unless they asked never to see it again: its tick turns it off for the next
// starts. The box's text also goes to standard error; the log has it either way.
void GameApp::WarnNoSoundAtStart() {
  const std::string text = GameSound::WarningText();
  noSoundTold_ = true;  // the scripts' own warning does not say it again this run
  NoteInLog(text);
  if (config_.pacing.soundWarning == 0) return;
  // Laid out to its text: the fixed text field holds two of its three lines.
  uint8_t dontShowAgain = 0;
  (void)ShowMessageDialog(text.c_str(), kMessageOkCheck, nullptr, &dontShowAgain,
                          kLayoutToText);  // one button and its tick
  config_.pacing.soundWarning = dontShowAgain != 0 ? 0 : 1;
}

void GameApp::TellDetail(const std::string& utf8Text) {
  std::fprintf(stderr, "brimwold: %s\n", utf8Text.c_str());
  std::fflush(stderr);
  NoteInLog(host::Utf8ToCp932Lenient(utf8Text));
}

// The box names neither the file nor the fault: a game maker needs both.
void GameApp::TellUnreadableMain() {
  const char* name = "SCRIPT\\MAIN.SOB";
  std::vector<uint8_t> bytes;
  const bool read = ScriptFiles() != nullptr && ScriptFiles()->Load(name, bytes);
  const std::string text = std::string(name) + ": " +
                           (read ? std::to_string(bytes.size()) +
                                       " bytes were read, with the SOB0 mark, and the "
                                       "script table lists it; its code block and "
                                       "relocation lists do not parse (a damaged file, or "
                                       "one not made by the assembler)"
                                 : std::string("the script could not be read again"));
  TellDetail(text);
}

void GameApp::BindPixelLibrary() {
  std::string folder;
  if (host::EnginePathToLinuxPath(GetAppFolder(), folder) != host::kPathOk) return;
  if (pixelLibrary_.Bind(folder)) return;
  // Nothing is published: every operation takes its path without a library. What a game maker
  // sees is a screen without its windows, so the line says what will not show and the remedy.
  const std::string text =
      std::string("warning: the game folder has no ") + kLibraryFileName +
      ", so sprites refuse their pictures: the scenario player's message window, its text, its "
      "name window and buttons, and every picture a script puts on a sprite will not show. Put a "
      "file named " +
      kLibraryFileName +
      " in the game folder (any file of that name gives the engine's own routines).";
  TellDetail(text);
}

void GameApp::OnAppExit(int code) {
  if (code == kStartupScreen || code == kStartupClearsDisplayWords9) {
    config_.engine.displayWord43 = 0;
    config_.engine.displayWord63 = 0;
  }
  if (displayFailure_ == kDisplayRestoreFailed) {
    EngineApp::ShowMessage(host::Cp932Literal("描画オブジェクトのリストアに失敗"), kIconError);
  } else if (displayFailure_ == kDisplaySwitchFailed) {
    EngineApp::ShowMessage(host::Cp932Literal("画面モード切替に失敗"), kIconError);
  }
}

int GameApp::ShowMessageDialog(const std::string& textCp932, int kind, bool* dontShowAgain) {
  uint8_t checked = 0;
  uint32_t answer =
      ShowMessageDialog(textCp932.c_str(), static_cast<uint8_t>(kind), nullptr, &checked, 0);
  if (dontShowAgain != nullptr) *dontShowAgain = checked != 0;
  return static_cast<int>(answer);
}

int GameApp::InitScript() {
  int r = StartScriptHost(*this, host_);
  if (r == kStartInitFailed + kLoadBadCode) TellUnreadableMain();
  if (r != 0) return r;
  RegisterScriptHostKeywords(services_.Transitions(), services_.Effects(), &host_->Random());
  // The screen belongs to no script owner: destroying an owner's layers never takes it.
  if (CanvasLayer* screen = GetDisplayManager().GetScreenCanvas()) screen->SetWord3(UINT32_MAX);
  // The channels' fades run on the effects' timer service.
  GameSound::GiveChannels(*host_, timers_.Second());
  services_.LoadMovieLibraries(config_.pacing.loadMovieLibraries != 0, config_.engine.canvas != 0,
                               &FileSystem());
  gui_->AttachScriptHost();
  textPanel_->Setup();
  host_->SetTextSettingsTarget(&dialogs_.TextLook());
  (void)ApplySoundSettings();  // the channels were given just above
  ChooseFrameLoop();
  return kInitScriptOk;
}

int GameApp::OnClose(WindowMessage& record) {
  bool yes = false;
  {
    GameMenu::Scope modal(menu_, kModalCloseQuestion);
    const std::string question =
        host::Cp932Literal("『") + info_.appName + host::Cp932Literal("』\nを終了しますか？");
    yes = ShowMessageDialog(question.c_str(), kMessageYesNo, nullptr, nullptr, 0) != 0;
  }
  return yes ? EngineApp::OnClose(record) : kHandled;
}

bool GameApp::ServePendingInterrupt() {
  uint8_t request = interrupt_;
  interrupt_ = kInterruptNone;
  if (request > kInterruptRestartOther) return true;
  if (host_->ServeInterrupt(request) != 0) {
    ShowMessage(InterruptFailureMessage());
    exitStatus_ = kExitScriptFailed;
    return false;
  }
  pacing_.DropOverrides();
  return true;
}

}  // namespace bw
