// The engine application: the start-up checks, the main window, the display manager and the
// shut-down. The game application builds on it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "app/application/app_base.h"
#include "app/application/full_screen_menu.h"
#include "app/application/instance_lock.h"
#include "app/config/app_info.h"
#include "app/config/app_record.h"
#include "app/config/engine_config.h"
#include "app/log/startup_log.h"
#include "app/sysinfo/machine_facts.h"
#include "app/sysinfo/system_info.h"
#include "app/window/window.h"
#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "host/dialog/menu.h"
#include "input/engine_input.h"
#include "input/input_manager.h"
#include "platform/lock.h"
#include "platform/monitor_list.h"
#include "platform/worker_thread.h"
#include "resource/images/image_loader_manager.h"
#include "resource/packs/file_system_manager.h"

namespace bw {

// AppStartup results.
constexpr int kStartupOk = 0;
constexpr int kStartupInitInstance = 1;
constexpr int kStartupCdRom = 2;
constexpr int kStartupOtherInstance = 3;
constexpr int kStartupDisplay = 5;
constexpr int kStartupLog = 6;
constexpr int kStartupCanvas = 7;
constexpr int kStartupBindings = 8;
constexpr int kStartupWindow = 11;
constexpr int kStartupScreen = 12;
constexpr int kStartupDevices = 13;

// CreateDevices results.
constexpr int kDevicesInput = 1;
constexpr int kDevicesBindingTable = 2;

// Bits of the display flags: the system keys may open the menu (either of two), a monitor is
// chosen at start-up.
constexpr uint8_t kDisplaySystemKeys = 0x03;
constexpr uint8_t kDisplaySelectMonitor = 0x04;

// Display failure states; any non-zero one ends the frame loops.
constexpr uint8_t kDisplayOk = 0;
constexpr uint8_t kDisplayRestoreFailed = 1;
constexpr uint8_t kDisplaySwitchFailed = 2;

// CheckDisplayFeasible results.
constexpr int kDisplayFeasible = 0;
constexpr int kDisplayTooFewColours = 1;
constexpr int kDisplayTooSmall = 2;

// SwitchScreenMode's force argument and results.
constexpr int kSwitchUnforced = 0;
constexpr int kSwitchForced = 1;
constexpr int kSwitchShowOnly = 2;  // start-up: the window is only shown
constexpr int kSwitchDone = 0;
constexpr int kSwitchNoWindow = 1;

// Message-box icon kinds.
constexpr int kIconWarning = 1;
constexpr int kIconInformation = 2;
constexpr int kIconQuestion = 3;
constexpr int kIconError = 4;

// The window thread's private messages.
constexpr uint32_t kMsgShowCursor = host::WM_APP_SHOW_CURSOR;
constexpr uint32_t kMsgMessageBox = host::WM_APP_MESSAGE_BOX;
constexpr uint32_t kMsgScreenMode = host::WM_APP_SCREEN_MODE;
constexpr uint32_t kMsgShowMenuWindow = host::WM_APP_CREATE_MENU_WINDOW;
constexpr uint32_t kMsgHideMenuWindow = host::WM_APP_HIDE_MENU_WINDOW;
constexpr uint32_t kMsgFrameThreadEnded = host::WM_APP_FRAME_THREAD_ENDED;
constexpr uint32_t kMsgMovieRequest = host::WM_APP_MOVIE;
constexpr uint32_t kMsgImeRequest = host::WM_APP_IME;
constexpr uint32_t kMsgTextInput = host::WM_APP_TEXT_INPUT;
constexpr uint32_t kMsgMessageDialog = host::WM_APP_MESSAGE_DIALOG;

// Message-box request kinds.
constexpr int kBoxMessage = 0;
constexpr int kBoxYesNo = 1;
constexpr int kBoxOkCancel = 2;

// The frame thread's pause handshake.
constexpr uint8_t kFrameRunning = 0;
constexpr uint8_t kFramePauseRequested = 1;
constexpr uint8_t kFrameParked = 2;

// WaitForFrameThread results.
constexpr int kWaitParked = 0;
constexpr int kWaitOnFrameThread = 1;
constexpr int kWaitQuit = -1;
constexpr int kWaitThreadGone = -2;

struct MessageBoxRecord {
  int kind = kBoxMessage;
  std::string text;   // CP932
  std::string title;  // empty: the application name
  int icon = kIconError;
  uint8_t answer = 1;
};

// Where a window of that size goes to sit centred over the area.
host::Point CenteredOrigin(const host::Rect& area, int32_t width, int32_t height);

class EngineApp : public AppBase, private FullScreenMenuHost {
 public:
  EngineApp();
  ~EngineApp() override;

  [[nodiscard]] int AppStartup() override;
  void AppShutdown(int code) override;
  [[nodiscard]] bool PreTranslateMessage(const host::MSG& msg) override;
  const char* GetAppName() const override { return info_.appName.c_str(); }

  [[nodiscard]] virtual int InitInstance();
  virtual std::string GetSaveFolder() const { return {}; }
  [[nodiscard]] virtual int BindWindowMessages() { return 0; }
  [[nodiscard]] virtual int CreateDevices() { return 0; }
  virtual void OnAppExit(int /*code*/) {}
  virtual void SaveConfig(int /*code*/) {}
  // WM_COMMAND of the main window and of the full-screen menu window.
  [[nodiscard]] virtual int OnMenuCommand(WindowMessage& /*record*/) { return kHandled; }

  // Message boxes, bracketed as modal; owner the main window when it exists. ShowMessage's box
  // has one button, so it answers nothing.
  void ShowMessage(const std::string& textCp932, int icon);
  [[nodiscard]] bool AskYesNo(const std::string& textCp932, int icon);
  [[nodiscard]] bool AskOkCancel(const std::string& textCp932, int icon);
  // From any thread: the window thread shows the box. 0 without a main window.
  uint8_t RequestMessageBox(int kind, const std::string& textCp932, int icon,
                            const std::string& title = {});
  // Said without a box to answer: on standard error, and in this start's log when there is one.
  void Note(const std::string& textCp932);
  // The same in the start-up log alone, for a text a box already puts on standard error.
  void NoteInLog(const std::string& textCp932);
  // The bracket around every dialog and box: the frame loop stands, the system cursor shows, and
  // over an own display mode the desktop's windows show and the screen saver stays off. Nested
  // brackets act only at the outermost.
  void BeginModal();
  void EndModal();
  bool IsModal() const { return modalDepth_ > 0; }
  // How many outermost modal sessions have ended.
  [[nodiscard]] uint32_t ModalsEnded() const { return modalsEnded_.load(); }
  // Cleared while a dialog runs outside the threaded mode; paints then repaint the window.
  bool FrameLoopRunning() const { return frameLoopRunning_; }
  [[nodiscard]] int RequestScreenMode(int mode, int depth, int force);
  // Sends to the main window and waits, the frame loop paused meanwhile.
  void SendPausingFrames(uint32_t message, host::WPARAM wParam, host::LPARAM lParam);
  // True once after activation showed a minimised full screen again.
  [[nodiscard]] bool TakeWindowRestored() { return windowRestored_.exchange(false); }

  // The threaded driving mode.
  [[nodiscard]] virtual int FrameThreadBegin() { return 0; }
  [[nodiscard]] virtual int FrameThreadStep();
  virtual void FrameThreadEnd() {}
  void FrameThreadMain();
  [[nodiscard]] int WaitForFrameThread(host::HWND* window);
  void ReleaseFrameThreadWait(host::HWND* window);
  bool Threaded() const { return config_.engine.threadedDriving != 0; }
  WorkerThread& FrameThread() { return frameThread_; }
  uint8_t FramePauseState() const { return pauseState_.load(); }
  bool OnFrameThread() const;

  // Outside the threaded mode, around a dialog or box that stops the frame loop.
  virtual void OnPauseForModal() {}
  virtual void OnResumeFromModal() {}

  // Centres the dialog over the parent's client area, or in the desktop's work area without one.
  void CenterWindow(host::HWND dialog, host::HWND parent);
  bool CandidateShown() const { return candidateShown_; }

  // Whether the desktop has colours enough and a monitor large enough for the game's window.
  [[nodiscard]] bool CheckWindowFits(bool* depthOk, bool* fits);
  bool WindowFits() const { return windowFits_; }
  // A window-only game refuses what CheckWindowFits refuses; another falls back to its default.
  [[nodiscard]] int CheckDisplayFeasible();
  // Full screen for mode 1, else the window; answers kSwitchDone, kSwitchNoWindow or the display
  // manager's failure code (a positive one plus 1), the saved mode then left as it was.
  [[nodiscard]] int SwitchScreenMode(int mode, int depth, int force);
  uint8_t DisplayFlags() const { return displayFlags_; }

  // Once per frame, on the thread that runs the frames.
  bool UpdatePointer() { return engineInput_.UpdatePointer(); }
  // The same in two halves, for a caller that holds the frame lock while it measures.
  bool MeasurePointer() { return engineInput_.MeasurePointer(); }
  void SendPointerRequests() { engineInput_.SendWindowRequests(); }
  InputManager& GetInputManager() { return input_; }
  EngineInput& GetEngineInput() { return engineInput_; }
  // The input mode in force after start-up (DirectInput's runs as the polled one).
  uint32_t InputMode() const { return inputMode_; }

  InputFacts GatherInputFacts() const;
  DisplayFacts GatherDisplayFacts() const;
  static SoundFacts GatherSoundFacts();
  // The system report of the version dialog, from the facts as they are now.
  std::string SystemReport(bool longForm) const;
  const SystemInfo& GetSystemInfo() const { return system_; }
  const MonitorList& GetMonitorList() const { return monitors_; }

  DisplayManager& GetDisplayManager() { return display_; }
  FileSystemManager& FileSystem() { return files_; }
  ImageLoaderManager& Images() { return images_; }
  Window& MainWindow() { return mainWindow_; }
  Lock& FrameLock() { return frameLock_; }
  uint8_t DisplayFailure() const { return displayFailure_; }
  void SetDisplayFailure(uint8_t state) { displayFailure_ = state; }
  bool Active() const { return active_; }
  const AppRecord& GetRecord() const { return record_; }
  const AppInfo& Info() const { return info_; }
  EngineConfig& Config() { return config_; }
  // The folder of the single-instance lock (set before start-up; tests give their own).
  void SetLockFolder(std::string folder) { lockFolder_ = std::move(folder); }

 protected:
  // The game's scripts reach only its folder (once set) and its save folder (once found).
  void ConfineGameFiles();
  [[nodiscard]] int OnPaint(WindowMessage& record);
  [[nodiscard]] virtual int OnClose(WindowMessage& record);
  [[nodiscard]] int OnMessageBoxRequest(WindowMessage& record);
  [[nodiscard]] int OnScreenModeRequest(WindowMessage& record);
  [[nodiscard]] int OnFrameThreadEnded(WindowMessage& record);
  [[nodiscard]] int OnActivate(WindowMessage& record);
  [[nodiscard]] int OnKeyDown(WindowMessage& record);
  [[nodiscard]] int OnKeyUp(WindowMessage& record);
  [[nodiscard]] int OnSysKeyDown(WindowMessage& record);
  [[nodiscard]] int OnSysKeyUp(WindowMessage& record);
  [[nodiscard]] int OnMouseWheel(WindowMessage& record);
  [[nodiscard]] int OnMouseButton(WindowMessage& record);
  [[nodiscard]] int OnTextMessage(WindowMessage& record);
  [[nodiscard]] int OnShowCursorRequest(WindowMessage& record);
  [[nodiscard]] int OnImeRequest(WindowMessage& record);
  // The input method's own windows stay hidden; the game draws the composition itself.
  [[nodiscard]] int OnImeComposition(WindowMessage& record);
  [[nodiscard]] int OnImeSetContext(WindowMessage& record);
  [[nodiscard]] int OnImeNotify(WindowMessage& record);
  // The text-entry window is the main window here: its messages reach the input part first.
  void ForwardTextInput(const WindowMessage& record);
  // The pause handshake as seen from the frame thread: true while parked.
  [[nodiscard]] bool FramePaused();
  // The frame thread's sleep: ends early when a stop is asked for. True when one was.
  bool FrameThreadWait(uint32_t ms);

  std::atomic<uint8_t> pauseState_{kFrameRunning};

  AppRecord record_;
  AppInfo info_;
  EngineConfig config_;
  uint8_t displayFlags_ = 0x05;
  // Written on the window thread, read by the frame thread's turns.
  std::atomic<uint8_t> displayFailure_{kDisplayOk};
  std::atomic<bool> active_{true};
  std::atomic<bool> windowRestored_{false};

 private:
  bool StartedFromCdRom() const;
  // Start-up's last step and its undoing at shut-down: the screen-saver setting (low power,
  // power off and keeping the system awake have no switch here and count as absent).
  void SuppressSystemSleep();
  void RestoreSystemSleep();
  // The box itself, on this thread; answers the box's button.
  // An empty title shows the application's name.
  [[nodiscard]] int ModalMessageBox(const std::string& textCp932, uint32_t buttons, int icon,
                                    const std::string& titleCp932 = {});

  // AppStartup's steps, each kStartupOk or the code start-up ends with.
  [[nodiscard]] int CheckStartConditions();
  [[nodiscard]] int CheckDisplay();
  [[nodiscard]] int OpenStartupLog();
  [[nodiscard]] int ListDisplayDevices();
  [[nodiscard]] int CreateScreenCanvas();
  [[nodiscard]] int CreateMainWindow();
  [[nodiscard]] int EnterFirstScreenMode();
  void PublishDisplay();
  void StartLog();
  // What start-up published for the whole process, taken back at shut-down or destruction.
  void Unpublish();
  void BindInputMessages();
  [[nodiscard]] int SetUpInput();

  InstanceLock instance_;
  StartupLog log_;
  bool trustNotesToLog_ = false;  // the trust notices go to log_
  std::string lockFolder_;
  FileSystemManager files_;
  ScopedGlobal<FileSystemManager> publishedFiles_{&files_};
  ImageLoaderManager images_;
  ScopedGlobal<ImageLoaderManager> publishedImages_{&images_};
  DisplayManager display_;
  ScopedGlobal<DisplayManager> publishedDisplay_{&display_};
  SystemInfo system_;
  MonitorList monitors_;
  InputManager input_;
  EngineInput engineInput_;
  uint32_t inputMode_ = kInputModeMessages;
  bool candidateShown_ = false;
  bool windowFits_ = true;
  Lock frameLock_;
  Window mainWindow_;
  WorkerThread frameThread_;
  int modalDepth_ = 0;
  std::atomic<uint32_t> modalsEnded_{0};
  bool frameLoopRunning_ = false;
  bool startScreenSaverOff_ = false;  // switched off at start-up, on again at shut-down

  // Main window.
 public:
  // The menu bar over the full-screen picture: 0 made and shown, or FullScreenMenu's kShownAgain
  // or kFailed.
  [[nodiscard]] int CreateFullScreenMenuWindow() { return fullScreenMenu_.Create(); }
  Window& GetMenuWindow() { return fullScreenMenu_.GetWindow(); }
  [[nodiscard]] bool MenuOpen() const { return fullScreenMenu_.Open(); }
  [[nodiscard]] bool MenuModal() const { return fullScreenMenu_.Modal(); }
  bool SizeMove() const { return sizeMove_; }
  bool ScreenSwitchRunning() const { return switchRunning_; }
  // 0 none; 1 set the display mode again at the canvas size on activation, 2 at the display's.
  uint8_t FullScreenReapplyPending() const { return reapplyPending_; }
  void SetFullScreenReapplyPending(uint8_t pending) { reapplyPending_ = pending; }
  bool IsMinimized() const;
  // The settings sheet's switch: full screen stays above other windows (on by default).
  void SetTopmostInFullScreen(bool on) { topmostInFullScreen_ = on; }
  // The main window's menu; the engine alone has none.
  host::Menu* WindowMenu() const override { return nullptr; }

 protected:
  // The saved position, from where the window is now.
  void SaveWindowPosition();
  // A display mode of our own is set (not the desktop's).
  bool DirectDrawModeSet() const;
  // In full screen, the screen saver stays off while a dialog is up.
  void SuppressScreenSaver();
  void RestoreScreenSaver();
  // A movie is showing (the game application plays them).
  [[nodiscard]] virtual bool MovieShowing() { return false; }
  virtual void ApplyDeferredClose() {}
  // After a switch back to a window: the game takes the maximise box away unless it keeps it.
  virtual void RemoveMaximizeBox() {}
  virtual void CloseMovieObject() {}
  [[nodiscard]] virtual int OnDisplayChange(WindowMessage& record);
  [[nodiscard]] int OnAppActivate(WindowMessage& record);
  [[nodiscard]] int OnSetCursor(WindowMessage& record);
  [[nodiscard]] int OnEnterSizeMove(WindowMessage& record);
  [[nodiscard]] int OnExitSizeMove(WindowMessage& record);

 private:
  void BindMainWindowHandlers();
  uint32_t MainWindowStyle() const;
  void PutPointerBack(const PointerPosition& remembered);
  // Shows the picture again unless the frame loop draws the next one soon enough itself.
  void RepaintUnlessLoopDoes();
  // FullScreenMenuHost
  [[nodiscard]] uint32_t MenuWindowStyle() const override { return MainWindowStyle(); }
  bool ModalRunning() const override { return modalDepth_ > 0; }
  bool AppActive() const override { return active_; }
  void BindMenuCommands(Window& menuWindow) override;

  bool switchRunning_ = false;
  bool sizeMove_ = false;
  bool modalScreenSaverOff_ = false;
  std::atomic<uint8_t> reapplyPending_{0};  // read by the frame thread
  bool topmostInFullScreen_ = true;
  FullScreenMenu fullScreenMenu_{
      *this, {record_, info_, config_, display_, mainWindow_, input_, engineInput_}};
};

using TheEngineApp = Global<EngineApp>;
using TheDisplayManager = Global<DisplayManager>;

}  // namespace bw
