// The game's menu: menu 101 on the main window, the five permissions the scripts switch, the
// commands its items, its accelerators and other threads send, and which of the application's
// own dialogs is up (a command finds the others closed or does nothing).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/config/app_record.h"
#include "app/dialogs/main_menu.h"
#include "host/messages.h"

namespace bw {

// SetItemEnabled: an item past the screen-mode permission.
constexpr int kMenuItemUnknown = -1;

// What the menu's commands ask of the running application.
class GameMenuHost {
 public:
  virtual ~GameMenuHost() = default;
  // The modal bracket around every dialog and box.
  virtual void BeginModalBracket() = 0;
  virtual void EndModalBracket() = 0;
  virtual void ToggleScreenMode() = 0;
  virtual void ShowVersionDialog() = 0;
  [[nodiscard]] virtual int ShowSettingsSheet() = 0;
  [[nodiscard]] virtual int ShowSaveLoadDialog(uint8_t direction) = 0;
  // A message dialog of kind kMessageOk or kMessageYesNo; 1 for yes.
  [[nodiscard]] virtual uint32_t ShowDialogMessage(const std::string& textCp932, uint8_t kind) = 0;
  // "MAIN" starts again at the title.
  virtual void ReturnToTitle() = 0;
  virtual void CloseMainWindow() = 0;
  // Another thread's record (kCmdDataInput to kCmdSoundFormat), served on this thread.
  virtual void ServeRequest(int command, host::LPARAM record) = 0;
  // The screen-mode permission shows or takes away the maximise box.
  virtual void ShowMaximizeBox(bool shown) = 0;
};

class GameMenu {
 public:
  GameMenu(GameMenuHost& app, const AppRecord& record) : app_(app), record_(record) {}
  GameMenu(const GameMenu&) = delete;
  GameMenu& operator=(const GameMenu&) = delete;

  // Menu 101 on the new main window, its items following the permissions.
  void Build(host::HWND window);
  // Null for none.
  host::Menu* Menu() const { return menu_; }
  // Another menu stands in for menu 101 (a test's; null: none).
  void SetMenu(host::Menu* menu) { menu_ = menu; }

  // Item 0 settings, 1 save, 2 load, 3 return to title, 4 screen mode; kMenuItemUnknown past 4.
  // From any thread: the scripts switch them while the window thread's commands read them.
  [[nodiscard]] int SetItemEnabled(int item, bool enabled);
  bool ItemEnabled(int item) const;

  // WM_COMMAND's id and record.
  void Command(int id, host::LPARAM record);
  // kModalNone, or the kModal* state of the application's dialog that is up.
  uint8_t ModalState() const { return modalState_; }

  // Marks which of the application's dialogs is up for one scope, bracketed as modal unless the
  // dialog brackets itself; the state before it comes back at the end.
  class Scope {
   public:
    Scope(GameMenu& menu, uint8_t state, bool bracket = true)
        : menu_(menu), outer_(menu.modalState_), bracket_(bracket) {
      menu_.modalState_ = state;
      if (bracket_) menu_.app_.BeginModalBracket();
    }
    ~Scope() {
      if (bracket_) menu_.app_.EndModalBracket();
      menu_.modalState_ = outer_;
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    GameMenu& menu_;
    const uint8_t outer_;
    const bool bracket_;
  };

 private:
  bool WindowOnly() const { return record_.defaultScreenMode == kScreenWindowOnly; }
  // The settings sheet or the save and load dialog, when none of the application's is up and the
  // permission allows it.
  void OpenDialog(int permission, uint8_t state, int id);
  void AskReturnToTitle();

  GameMenuHost& app_;
  const AppRecord& record_;
  std::unique_ptr<AttachedMenu> mainMenu_;
  host::Menu* menu_ = nullptr;  // mainMenu_'s, or the one standing in for it
  uint8_t permissions_[kMenuPermissionCount] = {1, 0, 0, 0, 1};
  uint8_t modalState_ = 0;
};

}  // namespace bw
