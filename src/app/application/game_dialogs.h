// The save and load dialog, the settings sheet and the save data's fields of the user block, over
// the few services of the application they reach through.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/config/user_config.h"
#include "host/messages.h"
#include "savedata/save_sources.h"
#include "script/script_host.h"

namespace bw {

class FontList;
struct TgsAppState;

// What the dialogs ask of the running application.
class GameDialogsHost {
 public:
  virtual ~GameDialogsHost() = default;
  // Null before the scripts start.
  virtual ScriptHost* GetScriptHost() = 0;
  virtual host::HWND DialogOwner() = 0;
  // Runs the work while the scripts stand between two steps; not at all when the game ends.
  virtual void RunBetweenSteps(const std::function<void()>& work) = 0;
  // A message dialog of kind kMessageOk or kMessageYesNo; 1 for yes.
  [[nodiscard]] virtual uint32_t ShowDialogMessage(const std::string& textCp932, uint8_t kind) = 0;
  virtual bool MenuItemEnabled(int item) const = 0;
  [[nodiscard]] virtual bool PointerMovesAllowed() = 0;
  virtual void SetPointerToDefaultButton(bool on) = 0;
  [[nodiscard]] virtual bool ApplySoundSettings(const UserConfig& from) = 0;
  [[nodiscard]] virtual int ApplyKeyAssignments() = 0;
  [[nodiscard]] virtual int ApplyJoystickAssignments() = 0;
  virtual void ApplyDisplaySettings() = 0;
  [[nodiscard]] virtual bool InFullScreen() = 0;
  // As the menu's command, which the window's own thread runs.
  virtual void RequestScreenModeToggle() = 0;
  // The scripts' font list: the frame thread's.
  virtual FontList& GetFontList() = 0;
  virtual std::vector<std::string> MonitorNames() = 0;
  // APP_CFG.DAT, where the run may write it.
  virtual void StoreUserSettings() = 0;
};

class GameDialogs {
 public:
  GameDialogs(GameDialogsHost& app, UserConfig& user, TgsAppState& tgsState);
  ~GameDialogs();
  GameDialogs(const GameDialogs&) = delete;
  GameDialogs& operator=(const GameDialogs&) = delete;

  // kSettingsSheetOk when its OK stored the pages, else kSettingsSheetCancel.
  [[nodiscard]] int ShowSettingsSheet();
  // A RunSaveLoadDialog result, or kDialogNotAvailable without a script host.
  [[nodiscard]] int ShowSaveLoadDialog(uint8_t direction);
  // The load the save and load dialog asks for: the current save name, 1 in the load word and
  // the frame's loaded-game word.
  void RequestLoadFromDialog(const std::string& saveName);
  // Whether a running scenario frame lets the game be saved now (always, without a frame).
  [[nodiscard]] bool FrameAllowsSaving();
  // The scripts' words whose guest addresses the scenario configuration words hold: false when
  // the word names none or the address is refused. Run between two script steps.
  [[nodiscard]] bool ReadConfiguredWord(size_t word, int32_t& value);
  [[nodiscard]] bool WriteConfiguredWord(size_t word, uint32_t value);

  SaveSettingsStore& SaveSettingsSource() { return saveSettings_; }
  // What takes the player's text settings for the script host.
  TextSettingsTarget& TextLook() { return *textLook_; }

 private:
  class UserSaveSettings final : public SaveSettingsStore {
   public:
    UserSaveSettings(GameDialogsHost& app, UserConfig& user) : app_(app), user_(user) {}
    SaveSettings GetSaveSettings() override;
    void SetSaveSettings(const SaveSettings& settings, bool write) override;

   private:
    GameDialogsHost& app_;
    UserConfig& user_;
  };

  // The player's text settings put into the text on the screen (game_settings_sheet.cpp).
  static std::unique_ptr<TextSettingsTarget> MakeTextLook(GameDialogsHost& app,
                                                          const UserConfig& user);

  GameDialogsHost& app_;
  UserConfig& user_;
  TgsAppState& tgsState_;
  UserSaveSettings saveSettings_{app_, user_};
  std::unique_ptr<TextSettingsTarget> textLook_;
};

}  // namespace bw
