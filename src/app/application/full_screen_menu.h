// The menu bar over the full-screen picture: the main window's menu in a window of its own along
// the top edge, opened by Alt or F10 (an Alt let go without another key) and by the pointer
// resting on the top edge; and the menu loop of the main window and of that window.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/config/app_info.h"
#include "app/config/app_record.h"
#include "app/config/engine_config.h"
#include "app/window/window.h"
#include "host/dialog/menu.h"

namespace bw {

class DisplayManager;
class EngineInput;
class InputManager;

// What the menu window asks of the running application.
class FullScreenMenuHost {
 public:
  virtual ~FullScreenMenuHost() = default;
  // The main window's menu; null for none.
  virtual host::Menu* WindowMenu() const = 0;
  // The main window's style as its record and display flags give it.
  virtual uint32_t MenuWindowStyle() const = 0;
  // A dialog or box of the application is up, and whether the game is the active application.
  virtual bool ModalRunning() const = 0;
  virtual bool AppActive() const = 0;
  // The menu window's commands go where the main window's go.
  virtual void BindMenuCommands(Window& menuWindow) = 0;
};

class FullScreenMenu {
 public:
  // Our stand-ins for the system's frame metrics.
  static constexpr int32_t kMenuBarHeight = 20;  // SM_CYMENU
  static constexpr int32_t kDialogFrame = 3;     // SM_CXDLGFRAME, SM_CYDLGFRAME
  static constexpr int32_t kCaptionHeight = 23;  // SM_CYCAPTION
  // Menu-window kinds.
  static constexpr uint8_t kFramed = 1;
  static constexpr uint8_t kPopup = 2;
  // Create's results besides 0.
  static constexpr int kShownAgain = -1;
  static constexpr int kFailed = 2;

  // The objects are the application's; the menu reads them as they are when it opens.
  struct Parts {
    const AppRecord& record;
    const AppInfo& info;
    const EngineConfig& config;
    DisplayManager& display;
    Window& mainWindow;
    InputManager& input;
    EngineInput& pointer;
  };
  FullScreenMenu(FullScreenMenuHost& app, const Parts& parts) : app_(app), parts_(parts) {}
  FullScreenMenu(const FullScreenMenu&) = delete;
  FullScreenMenu& operator=(const FullScreenMenu&) = delete;

  // The window made and shown (0), shown again (kShownAgain) or not made (kFailed).
  [[nodiscard]] int Create();
  void Destroy();
  Window& GetWindow() { return window_; }
  // The menu's height over the full-screen picture, the frame counted for kind kFramed.
  int32_t Height() const;
  // From any thread.
  bool Open() const { return open_; }
  bool Modal() const { return modal_; }
  // The modal bracket holds the menu loop too.
  void SetModal(bool modal) { modal_ = modal; }
  // The main window's handlers.
  void BindToMainWindow();
  [[nodiscard]] int OnEnterMenuLoop(WindowMessage& record);
  [[nodiscard]] int OnExitMenuLoop(WindowMessage& record);
  // Every key that goes down: an Alt with another key opens nothing.
  void NoteKey(const host::MSG& msg);
  // Alt or F10 let go in full screen with the system keys on: the menu opens unless it may not.
  // kNotHandled when it opened (the system's menu key goes on), else kHandled.
  [[nodiscard]] int OpenByKey(uint32_t virtualKey);
  // Activation back in full screen keeps the framed window maximised.
  void KeepMaximised();

 private:
  bool FullScreen() const { return parts_.config.display.screenMode == kSavedScreenFull; }
  bool HasMenu() const { return parts_.record.menuId != 0 && app_.WindowMenu() != nullptr; }
  bool DirectDrawModeSet() const;
  void ShowSystemCursor(bool show);
  [[nodiscard]] int OnCreateRequest(WindowMessage& record);
  [[nodiscard]] int OnHideRequest(WindowMessage& record);
  // Closing, minimising, maximising and restoring from the menu window go to the main window.
  [[nodiscard]] int OnSysCommand(WindowMessage& record);

  FullScreenMenuHost& app_;
  Parts parts_;
  Window window_;
  std::atomic<bool> open_{false};  // read by the frame thread
  bool modal_ = false;
  bool closedOnce_ = false;
  uint32_t lastClose_ = 0;
  bool altChord_ = false;  // a key other than Alt went down since Alt last did
};

}  // namespace bw
