// The game application: configuration, the save folder, the timer services, the frame clock and
// the script host, and the frame loops that step "MAIN".
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/application/engine_app.h"
#include "app/application/folder_pixel_library.h"
#include "app/application/frame_pacing.h"
#include "app/application/game_dialogs.h"
#include "app/application/game_fonts.h"
#include "app/application/game_menu.h"
#include "app/application/game_services.h"
#include "app/application/game_sound.h"
#include "app/application/game_timers.h"
#include "app/application/movie_slot.h"
#include "app/application/scenario_screens.h"
#include "app/application/scenario_state.h"
#include "app/application/settings_files.h"
#include "app/application/system_dialogs.h"
#include "app/config/save_folder.h"
#include "app/config/setup_info.h"
#include "app/config/user_config.h"
#include "app/dialogs/dialog_context.h"
#include "app/dialogs/main_menu.h"
#include "app/dialogs/menu_requests.h"
#include "app/dialogs/message_dialog.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/text/renderer_factory.h"
#include "platform/file_dialogs.h"
#include "platform/file_drop_target.h"
#include "platform/frame_clock.h"
#include "platform/timer_service.h"
#include "savedata/save_sources.h"
#include "savedata/tgs_frame_save_state.h"
#include "scenario/font_list.h"
#include "scenario/tgs/tgs_frame_host.h"
#include "script/script_file_source.h"
#include "script/script_host.h"
#include "sound/movie_object.h"

namespace bw {

// InitInstance results past the engine's.
// Asks the window thread to show (wParam 1) or take away the maximise box.
constexpr uint32_t kMsgMaximizeBox = 0x9081;

constexpr int kInitAppRecord = 1;
constexpr int kInitAppInfo = 2;

// InitScript results.
constexpr int kInitScriptOk = 0;
constexpr int kInitScriptNoMemory = 1;
constexpr int kInitScriptStartFiles = 2;

// What a frame loop answers besides a step count.
constexpr int kFrameStop = 0;
constexpr int kFrameOneStep = -1;
constexpr int kMostStepsPerFrame = 4;

// Interrupt requests: restart "MAIN" with the direction flag 0 or 1.
constexpr uint8_t kInterruptNone = 0;
constexpr uint8_t kInterruptRestart = 1;
constexpr uint8_t kInterruptRestartOther = 2;

// FrameThreadStep results besides 0 (go on).
constexpr int kFrameStepEnded = -1;
constexpr int kFrameStepDisplayFailed = 1;
constexpr int kFrameStepInterruptFailed = 6;

// The process's exit status after a run.
constexpr int kExitNormal = 0;
constexpr int kExitScriptFailed = 20;
constexpr int kExitSettingsNotSaved = 21;  // the run ended, but its settings were not written

class GameGuiServices;
class GameTextPanel;

class GameApp : public EngineApp,
                public ScriptApplication,
                private FramePacingHost,
                private GameDialogsHost,
                private GameMenuHost,
                private ScenarioStateHost,
                private SettingsFilesHost,
                private SystemDialogsHost,
                private ScenarioScreensHost {
 public:
  GameApp();
  ~GameApp() override;

  using AppBase::Run;
  void Run() override;
  [[nodiscard]] int InitInstance() override;
  std::string GetSaveFolder() const override { return settings_.SaveFolder(); }
  [[nodiscard]] int CreateDevices() override;
  [[nodiscard]] int BindWindowMessages() override;
  void OnAppExit(int code) override;
  void SaveConfig(int code) override;

  [[nodiscard]] int FrameThreadBegin() override;
  [[nodiscard]] int FrameThreadStep() override;
  void FrameThreadEnd() override;

  [[nodiscard]] int InitScript();
  // The frame function chosen by InitScript; 0 stops, else the steps for this frame.
  [[nodiscard]] int FrameLoop();
  // One script step with the interrupt it may leave; false ends the run.
  [[nodiscard]] bool StepScript(int& stepsLeft);

  // ScriptApplication
  ScriptFileSource* ScriptFiles() override { return &scriptFiles_; }
  std::string SaveFolder() override { return settings_.SaveFolder(); }
  [[nodiscard]] bool TranslationOption() override { return config_.pacing.jit != 0; }
  std::unique_ptr<ScriptHostMessageText> CreateMessageText(ScriptHost& host) override;
  [[nodiscard]] uint32_t Clock() override;
  void ShowMessage(const std::string& cp932Text) override {
    EngineApp::ShowMessage(cp932Text, kIconError);
  }
  void TellDetail(const std::string& utf8Text) override;

  // Kinds 0 and 1 tell, 2 and 3 ask; dontShowAgain takes the tick of kinds 1 and 3.
  [[nodiscard]] int ShowMessageDialog(const std::string& textCp932, int kind, bool* dontShowAgain);

  // The status the process ends with: the start-up result when start-up refused, else this.
  int ExitStatus() const { return exitStatus_; }
  void RequestInterrupt(uint8_t request) { interrupt_ = request; }
  uint8_t InterruptRequest() const { return interrupt_; }
  ScriptHost* GetScriptHost() override { return host_.get(); }
  FrameClock& GetFrameClock() { return pacing_.Clock(); }
  TimerService& FirstTimers() { return timers_.First(); }
  TimerService& SecondTimers() { return timers_.Second(); }
  UserConfig& GetUserConfig() { return settings_.User(); }
  const SaveFolderPlan& GetSaveFolderPlan() const { return settings_.Plan(); }
  // Whether the sound device plays through the SDL audio device (else the mixer runs silent).
  void SetPlayAloud(bool aloud) { playAloud_ = aloud; }
  GameSound* Sound() { return sound_.get(); }
  // The game's action table; null before the devices are set up.
  InputBindingTable* GetBindings() const { return bindings_; }
  FileDropTarget& DropTarget() { return dropTarget_; }
  // The installed horizontal Japanese outline faces, listed at start-up.
  FontList& GetFontList() override { return fonts_.List(); }
  // The renderer a null renderer stands for; made at start-up with the renderers' defaults.
  TextRenderer* GetDefaultTextRenderer() const { return fonts_.DefaultRenderer(); }

  // Item 0 settings, 1 save, 2 load, 3 return to title, 4 screen mode; kMenuItemUnknown past 4.
  [[nodiscard]] int SetMenuItemEnabled(int item, bool enabled) override {
    return menu_.SetItemEnabled(item, enabled);
  }
  [[nodiscard]] bool MenuItemEnabled(int item) const override { return menu_.ItemEnabled(item); }
  // The menu whose items follow the permissions; null for none.
  void SetMenu(host::Menu* menu) { menu_.SetMenu(menu); }
  // Nested: only the last restore brings the priority back. Restore answers the count before it.
  [[nodiscard]] int LowerFrameThreadPriority() override {
    return pacing_.LowerFrameThreadPriority();
  }
  [[nodiscard]] int RestoreFrameThreadPriority() override {
    return pacing_.RestoreFrameThreadPriority();
  }
  [[nodiscard]] uint32_t PriorityLowerings() const { return pacing_.PriorityLowerings(); }

  // Menu commands, pacing and dialogs.
  [[nodiscard]] int OnMenuCommand(WindowMessage& record) override;
  uint8_t ModalState() const { return menu_.ModalState(); }
  // The save and load dialog and the settings sheet.
  GameDialogs& Dialogs() { return dialogs_; }
  // The player's display options handed to the display manager, and the full-screen topmost
  // switch (start-up and the settings sheet's OK).
  void ApplyDisplaySettings() override;
  void ShowVersionDialog() override { systemDialogs_.ShowVersion(); }
  // The message, version, data-input, file and folder dialogs.
  SystemDialogs& OwnDialogs() { return systemDialogs_; }
  DataInputDialog& DataInput() { return systemDialogs_.DataInput(); }
  [[nodiscard]] uint32_t ShowMessageDialog(const char* text, uint8_t kind, const char* title,
                                           uint8_t* checkState, uint8_t layout) {
    return systemDialogs_.ShowMessage(text, kind, title, checkState, layout);
  }
  // From any thread: the window thread serves the record; false without a main window.
  [[nodiscard]] bool RequestDataInput(DataInputRequest& request) {
    return systemDialogs_.RequestDataInput(request);
  }
  [[nodiscard]] bool RequestSoundFormat(SoundFormatRequest& request);

  void SetCursorVisible(bool visible) override;
  // The display device for full screen: the user's monitor number, else the monitor nearest the
  // window. Answers the display manager's result.
  [[nodiscard]] int SelectMonitor(host::HWND window, int bits);
  void SetPointerToDefaultButton(bool on) override { systemDialogs_.SetPointerToDefaultButton(on); }
  // fps -1 keeps the frame clock's rate.
  void UpdateFramePacing(int32_t fps) override { pacing_.Update(fps); }
  // UpdateFramePacing(-1) on the thread that ticks the frame clock: now, or in the threaded
  // mode from the window thread at the frame thread's next turn.
  void RefreshFramePacing() { pacing_.Refresh(); }
  // Nested overrides; each answers 1 when the pacing changed. A pop with nothing pushed does
  // nothing.
  [[nodiscard]] uint32_t PushVSyncWait() override { return pacing_.PushVSyncWait(); }
  [[nodiscard]] uint32_t PopVSyncWait() override { return pacing_.PopVSyncWait(); }
  [[nodiscard]] uint32_t PushPreciseTimingOff() override { return pacing_.PushPreciseTimingOff(); }
  [[nodiscard]] uint32_t PopPreciseTimingOff() override { return pacing_.PopPreciseTimingOff(); }
  [[nodiscard]] uint32_t VsyncOverrides() const { return pacing_.VsyncOverrides(); }
  [[nodiscard]] uint32_t PreciseTimingOverrides() const { return pacing_.PreciseTimingOverrides(); }

 private:
  [[nodiscard]] int OnCreate(WindowMessage& record);
  [[nodiscard]] int OnMessageDialogRequest(WindowMessage& record);
  [[nodiscard]] bool MovieShowing() override { return movie_.Showing(); }
  // GameMenuHost
  void BeginModalBracket() override { BeginModal(); }
  void EndModalBracket() override { EndModal(); }
  void ToggleScreenMode() override;
  [[nodiscard]] int ShowSettingsSheet() override { return dialogs_.ShowSettingsSheet(); }
  [[nodiscard]] int ShowSaveLoadDialog(uint8_t direction) override {
    return dialogs_.ShowSaveLoadDialog(direction);
  }
  void ReturnToTitle() override { RequestInterrupt(kInterruptRestart); }
  void CloseMainWindow() override;
  void ServeRequest(int command, host::LPARAM record) override;
  // SystemDialogsHost
  [[nodiscard]] bool OffWindowThread() override { return OnFrameThread(); }
  [[nodiscard]] bool InModalBracket() override { return IsModal(); }
  [[nodiscard]] bool AskInBox(const std::string& textCp932) override {
    return AskYesNo(textCp932, kIconQuestion);
  }
  void TellInBox(const std::string& textCp932) override {
    EngineApp::ShowMessage(textCp932, kIconInformation);
  }
  std::string Report(bool longForm) override { return SystemReport(longForm); }
  // SettingsFilesHost
  void ShowBox(const std::string& textCp932, SaveFolderHost::Icon icon) override {
    EngineApp::ShowMessage(textCp932, static_cast<int>(icon));
  }
  [[nodiscard]] bool SendToWindow(int command, void* record) override;
  void ServeSoundFormat(SoundFormatRequest* request);
  // FramePacingHost
  [[nodiscard]] bool FrameThreadTicks() override {
    return Threaded() && !OnFrameThread() && FrameThread().IsRunning();
  }
  [[nodiscard]] bool FrameThreadMissing() override {
    return Threaded() && !FrameThread().IsRunning();
  }
  uint16_t DesktopRefreshHz() override { return GetSystemInfo().Facts().refreshHz; }

 private:
  [[nodiscard]] int ReadConfiguration();
  // The window page's display options as start-up hands them over: defaults for the two that
  // are 0, the modes the full screen is set through, and the presentation's options.
  void ApplyDisplayOptions();
  // The device set-up takes back the drawing method the display manager had to give up.
  void TakeBackDisplayOptions();
  // The game folder's pixel library, published when the folder ships one.
  void BindPixelLibrary();
  UserConfig& User() { return settings_.User(); }
  [[nodiscard]] int OnClose(WindowMessage& record) override;
  [[nodiscard]] int OnDropFiles(WindowMessage& record);
  [[nodiscard]] bool ServePendingInterrupt();
  // A step that neither waits nor ends: its message, when it has one, and the failed exit.
  void FailScriptStep(int stepResult);

  FileSystemScriptFileSource scriptFiles_;
  SettingsFiles settings_{*this, config_};
  FramePacing pacing_{*this, GetDisplayManager(), config_.pacing, settings_};
  SystemDialogs systemDialogs_{*this, info_, settings_.User()};
  GameTimers timers_;
  bool playAloud_ = false;
  bool noSoundTold_ = false;
  std::unique_ptr<GameSound> sound_;
  FolderPixelLibrary pixelLibrary_;
  InputBindingTable* bindings_ = nullptr;  // owned by the input manager
  FileDropTarget dropTarget_;
  GameFonts fonts_{[] { return uint32_t{SharedGlyphCacheSize()}; }};
  std::unique_ptr<ScriptHost> host_;
  std::unique_ptr<GameGuiServices> gui_;      // the GUI parts reach the application through it
  std::unique_ptr<GameTextPanel> textPanel_;  // captions, the pointer move onto parts
  std::atomic<uint8_t> interrupt_{kInterruptNone};
  GameMenu menu_{*this, record_};
  std::atomic<int> exitStatus_{kExitNormal};

  // Services and settings.
 public:
  // Natives 4 and 5: 0-6 live settings saved with USER.CFG, 7-11 the menu items 0-4; 12 has no
  // value behind it and reads 0, 13 a setting the scripts only read.
  void SetAppOption(uint32_t index, uint32_t value) override;
  uint32_t GetAppOption(uint32_t index) override;
  std::span<const NativeFamily> NativeFamilies() override;
  // The process-wide copy native 4 keeps of the third block's u16 at 11.
  static uint16_t SharedGlyphCacheSize();
  GameServices& Services() { return services_; }
  // The player's volumes to the script host's channels; false without them.
  [[nodiscard]] bool ApplySoundSettings();
  // The same from another record (the settings sheet's sound page while it is open).
  [[nodiscard]] bool ApplySoundSettings(const UserConfig& from) override;
  // The player's keys into the action table; a kAssignments* code.
  [[nodiscard]] int ApplyKeyAssignments() override;
  [[nodiscard]] int ApplyJoystickAssignments() override;

 private:
  GameServices services_;

  // Frame loops.
 public:
  // Threaded or not, canvas or render list: the loop FrameLoop runs from now on.
  void ChooseFrameLoop();
  void SleepToNextFrame();
  void SetClearBackBuffer(bool on) override { clearBackBuffer_ = on; }
  // Sleep 0 instead of 3 ms before a frame the vertical blank paces.
  void SetYieldBeforeFrame(bool on) { yieldBeforeFrame_ = on; }
  void RequestEffectsPause(uint8_t request) { timers_.RequestEffectsPause(request); }
  uint8_t EffectsPauseState() const { return timers_.EffectsPauseState(); }
  // Non-zero while a movie covers the screen: the frames are not drawn.
  void SetMovieShowing(uint8_t state) { movie_.SetShowingState(state); }
  uint8_t MovieShowingState() const { return movie_.ShowingState(); }
  // Held around every run of the first timer service: the frame thread runs it too.
  Lock& TimerLock() { return timers_.FirstLock(); }

 private:
  using FrameFunction = int (GameApp::*)();
  [[nodiscard]] int DirectFrameLoop();
  [[nodiscard]] int CanvasFrameLoop();
  [[nodiscard]] int LockedDirectFrameLoop();
  [[nodiscard]] int LockedCanvasFrameLoop();
  [[nodiscard]] int PumpedLoop(bool canvas);
  [[nodiscard]] int LockedLoop(bool canvas);
  // The start of Run and of the frame thread: skip counting and the render states.
  void PrepareFrames();
  [[nodiscard]] bool HeldWhileInactive();
  // Present with the restore of lost surfaces; false (failure state 1) when that fails.
  [[nodiscard]] bool PresentOrRestore();
  void RunFirstTimers();
  void DrawRenderListFrame();
  void DrawCanvasFrame();
  // On the frame thread a shown movie holds the canvas back only while there is a primary.
  bool CanvasCovered();
  // True when this turn idles for the effects' pause.
  [[nodiscard]] bool EffectsPausedTurn();
  void DrawAndPresentOnFrameThread(bool canvas);
  // Ticks the clock; on a turn without a frame waits, or draws while the priority is lowered.
  [[nodiscard]] bool FrameDueOnFrameThread(bool canvas, bool tickAgainAfterDrawing);
  void DueFrameOnFrameThread(bool canvas, bool drawCanvas);
  [[nodiscard]] int StepsForFrame(bool onFrameThread);

  FrameFunction frameFunction_ = &GameApp::DirectFrameLoop;
  bool canvasLoop_ = false;  // the loop chosen draws a canvas
  std::atomic<bool> clearBackBuffer_{false};
  std::atomic<bool> yieldBeforeFrame_{false};

  // Main window.
 public:
  host::Menu* WindowMenu() const override { return menu_.Menu(); }
  // The movie slot: empty until the movie player exists. Taking a movie object hands it over.
  void SetMovieObject(std::unique_ptr<MovieObject> movie) { movie_.Set(std::move(movie)); }
  bool HasMovieObject() { return movie_.Has(); }
  // Each loop turn: the showing state follows the slot's movie, which a clock that does not move
  // by itself steps here.
  void TrackMovie() { movie_.Track(); }
  bool CloseDeferred() const { return deferredClose_; }

 protected:
  [[nodiscard]] int OnDisplayChange(WindowMessage& record) override;
  void ApplyDeferredClose() override;
  void RemoveMaximizeBox() override;
  void CloseMovieObject() override;
  [[nodiscard]] int OnCloseRequest(WindowMessage& record);
  void OnAskedToClose() override;
  [[nodiscard]] int OnSysCommand(WindowMessage& record);
  [[nodiscard]] int OnDestroy(WindowMessage& record);
  [[nodiscard]] int OnQueryEndSession(WindowMessage& record);
  // Native 35's work for the end of a session: the read-text log and the scripts' state.
  void SaveScriptPersistentData();
  [[nodiscard]] int OnMovieRequest(WindowMessage& record);
  [[nodiscard]] int OnMaximizeBoxRequest(WindowMessage& record);

 private:
  void BindGameWindowHandlers();
  // The maximise box of the main window and, where it carries one, of the menu window.
  void ShowMaximizeBox(bool shown) override;

  bool deferredClose_ = false;
  MovieSlot movie_;

  // The system natives' requests (ScriptApplication).
 public:
  void SetWindowFeature(uint32_t kind, uint32_t value) override;
  uint32_t GetAppState(uint32_t index) override;
  std::string GetAppText(uint32_t kind) override;
  [[nodiscard]] int32_t SetUserSetting(uint32_t group, uint32_t index, uint32_t value) override;
  uint32_t GetUserSetting(uint32_t group, uint32_t index) override;
  void SetUserText(const std::string& cp932) override;
  std::string GetUserText() override;
  [[nodiscard]] int32_t SetScreenMode(int32_t mode) override;
  void SetScriptFlag(uint32_t which, bool on) override;
  uint8_t ScriptFlag(uint32_t which) const { return which < 2 ? scriptFlags_[which] : 0; }
  [[nodiscard]] int32_t FrameRate() override { return pacing_.Clock().Rate(); }
  uint8_t InterruptArgument() override { return interrupt_; }
  [[nodiscard]] bool TakeWindowRestoredFlag() override { return TakeWindowRestored(); }
  [[nodiscard]] bool PostAppCommand(uint8_t request, bool send, uintptr_t parameter) override;
  [[nodiscard]] bool SetClipboardText(std::string_view cp932) override;
  void SetupInputDialog(const std::string& prompt, const std::string& defaultText, uint32_t flags,
                        uint32_t limit, int32_t x, int32_t y) override;
  [[nodiscard]] bool RequestInputText(std::string& cp932) override;
  [[nodiscard]] uint32_t RequestScriptBox(uint32_t kind, const std::string& title,
                                          const std::string& text, uint32_t icon) override;
  [[nodiscard]] uint32_t RequestScriptDialog(uint32_t kind, const std::string& text) override;
  [[nodiscard]] bool OpenWithDesktop(const std::string& path, bool folder) override;
  [[nodiscard]] bool PointerInWindow() override;
  [[nodiscard]] bool PointerMovesAllowed() override {
    return systemDialogs_.PointerToDefaultButton();
  }
  [[nodiscard]] bool PointerAtLastPixel() override;
  [[nodiscard]] bool SkipWithCtrl() override { return User().fastForwardKey != kFastForwardShift; }
  void SetKeyRepeats(bool on) override;
  InputBindingTable* Bindings() override { return bindings_; }
  KeyboardDevice* Keyboard() override { return GetInputManager().Keyboard(); }
  Mouse* GetMouse() override { return GetInputManager().GetMouse(); }
  JoystickDevice* Joystick() override { return GetInputManager().GetJoystick(0); }
  TimerService* GeneralTimers() override { return &timers_.Second(); }
  EngineInput* PointerInput() override { return &GetEngineInput(); }

 private:
  uint8_t scriptFlags_[2] = {};
  uint8_t maximiseAllowed_ = 0;                  // the window feature's choice, kind 0
  uint8_t screenModeBits_ = 0;                   // kind 1
  std::map<uint64_t, uint32_t> scriptSettings_;  // user settings with no field behind them
  // Drops and the file and folder dialogs for the scripts.
 public:
  void EnableFileDrops(bool on) override;
  FileDropTarget* FileDrops() override { return &dropTarget_; }
  void RequestFileDialog(FileDialogRecord& record) override {
    systemDialogs_.RequestFileDialog(record);
  }
  void RequestFolderDialog(FolderDialogRecord& record) override {
    systemDialogs_.RequestFolderDialog(record);
  }
  // Sound natives (ScriptApplication).
 public:
  [[nodiscard]] int32_t StartSoundDevice(bool useGiven, uint8_t channels, uint32_t rateCode,
                                         uint16_t bitsPerSample) override;
  uint8_t SoundWarnOnce() override { return config_.pacing.soundWarning; }
  void SetSoundWarnOnce(uint8_t value) override { config_.pacing.soundWarning = value; }
  [[nodiscard]] bool ShowSoundWarning(const std::string& cp932Text, uint8_t* checkState) override;
  void TellNoSound(const std::string& cp932Text);
  void WarnNoSoundAtStart();
  void TellUnreadableMain();
  uint8_t BgmDuckSetting() override { return User().duckPercent; }
  // The movie natives' window-level movie: an emptied slot clears the showing state.
 public:
  [[nodiscard]] bool UseMovieSlot(
      const std::function<void(std::unique_ptr<MovieObject>&)>& use) override {
    movie_.Use(use);
    return true;
  }
  [[nodiscard]] int32_t OpenWindowMovie(MovieObject& movie, const char* file) override;
  PartManager* ScriptPartManager() override;
  PointerManager* ScriptPointerManager() override;
  TextPanel* ScriptTextPanel() override;
  void AttachTextInput(bool on) override;
  FontList* Fonts() override { return &fonts_.List(); }
  int64_t ConfiguredImageCacheBudget() override;
  // Save data (ScriptApplication): the save fields of the user block, written to APP_CFG.DAT
  // when a ring save asks; a restarted MAIN drops the pacing overrides.
 public:
  SaveSettingsStore* SaveSettingsSource() override { return &dialogs_.SaveSettingsSource(); }
  SaveTextPanel* SaveTextPanelSource() override;
  SaveFrameState* SaveFrame() override { return scenario_.SaveFrame(); }

  // The scenario frame's state words, the settings it reads and its frame turns.
  TgsAppState* TgsState() override { return &scenario_.Read(); }
  uint8_t* TextSettingsChangedFlag() override { return &scenario_.Words().textSettingsChanged; }
  [[nodiscard]] bool ReadTgsSettings(TgsUserSettings& out) override;
  [[nodiscard]] int TgsFrameTurn() override;
  [[nodiscard]] bool PostTgsDialog(int kind) override { return scenario_.PostDialog(kind); }
  [[nodiscard]] int PollTgsDialog() override { return scenario_.PollDialog(); }
  TgsPresentation* TgsScreen() override { return screens_.Windows(); }
  TgsHistoryView* TgsHistory() override { return screens_.History(); }
  TgsSceneHost* TgsPages() override { return screens_.Pages(); }
  TgsMenuHost* TgsMenu() override { return screens_.Menu(); }

 private:
  PartManager* ScreenParts() override { return ScriptPartManager(); }
  PointerTip* ScreenTip() override;
  // ScenarioStateHost
  [[nodiscard]] bool ModalOpen() override { return IsModal() || MenuOpen(); }
  [[nodiscard]] bool FullScreenMenuOpen() override {
    return MenuOpen() || GetEngineInput().IsMenuShown();
  }
  [[nodiscard]] uint32_t ModalSessionsEnded() override { return ModalsEnded(); }

  ScenarioState scenario_{*this};
  ScenarioScreens screens_{*this, GetDisplayManager(), timers_.Second(), settings_.User()};

  // What the save and load dialog and the settings sheet reach of the application
  // (game_message_dialogs.cpp).
 public:
  void RunBetweenSteps(const std::function<void()>& work) override;

 private:
  host::HWND DialogOwner() override;
  [[nodiscard]] uint32_t ShowDialogMessage(const std::string& textCp932, uint8_t kind) override;
  [[nodiscard]] bool InFullScreen() override;
  void RequestScreenModeToggle() override;
  std::vector<std::string> MonitorNames() override;
  void StoreUserSettings() override;

  // After the configuration and the scenario state it holds.
  GameDialogs dialogs_{*this, settings_.User(), scenario_.Words()};
};

using TheGameApp = Global<GameApp>;

}  // namespace bw
