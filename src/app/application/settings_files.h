// The player's settings files and the save folder: where they live by the save-folder mode,
// USER.CFG and APP_CFG.DAT read at start-up and written at the end, and the installer's
// SET_UP.IFG.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/config/app_info.h"
#include "app/config/app_record.h"
#include "app/config/engine_config.h"
#include "app/config/save_folder.h"
#include "app/config/setup_info.h"
#include "app/config/user_config.h"
#include "script/script_file_source.h"

namespace bw {

// Start-up results of the game application's InitInstance besides the save folder's.
constexpr int kInitSettings = 3;      // USER.CFG does not read
constexpr int kInitNoSaveFolder = 4;  // the save folder leaves no room for the saves' names

// What the settings ask of the running application: its message boxes, owned by the desktop.
class SettingsFilesHost {
 public:
  virtual ~SettingsFilesHost() = default;
  // A question; true for yes.
  [[nodiscard]] virtual bool AskInBox(const std::string& textCp932) = 0;
  virtual void ShowBox(const std::string& textCp932, SaveFolderHost::Icon icon) = 0;
};

class SettingsFiles {
 public:
  // config: the application's, which USER.CFG fills and which is written back.
  SettingsFiles(SettingsFilesHost& app, EngineConfig& config) : app_(app), config_(config) {}
  SettingsFiles(const SettingsFiles&) = delete;
  SettingsFiles& operator=(const SettingsFiles&) = delete;

  // Start-up, after the application record and information: the save folder found or made,
  // USER.CFG, APP_CFG.DAT and SET_UP.IFG read. 0, or the start-up result it refuses with after
  // its message (kSaveFolderSettingsRefused, kSaveFolderNone, kInit* of the game application).
  [[nodiscard]] int Read(const AppRecord& record, const AppInfo& info, ScriptFileSource& files);
  // The save folder was chosen at this start: the settings are written at once.
  bool FolderChosenNow() const { return folderChosenNow_; }
  // Whether this run writes the settings (not in the read-only mode, nor before a save folder).
  [[nodiscard]] bool Writable() const { return plan_.writesSettings && !saveFolder_.empty(); }
  // USER.CFG, with the configured pacing in place of the scripts' overrides, then APP_CFG.DAT;
  // false after the failure's message.
  [[nodiscard]] bool Save();
  // APP_CFG.DAT alone where the run may write it (a ring save asks); the failure is told.
  void StoreUserSettings();

  UserConfig& User() { return user_; }
  const UserConfig& User() const { return user_; }
  // With its trailing '\'; empty before start-up found it.
  const std::string& SaveFolder() const { return saveFolder_; }
  const SaveFolderPlan& Plan() const { return plan_; }
  // USER.CFG's sync mode and precise timing, which the scripts' overrides leave alone.
  uint8_t ConfiguredVSync() const { return configuredVSync_; }
  uint8_t ConfiguredPreciseTiming() const { return configuredPreciseTiming_; }

 private:
  // The user-settings block's file after its read: taken, or kept as it is where it could not
  // be read.
  void ReadUserSettings();
  [[nodiscard]] bool SaveUserSettings();
  [[nodiscard]] bool SaveNamesFit(const std::string& folder);
  void TellError(const std::string& textCp932) {
    app_.ShowBox(textCp932, SaveFolderHost::Icon::kError);
  }

  SettingsFilesHost& app_;
  EngineConfig& config_;
  UserConfig user_;
  bool userConfigUnreadable_ = false;  // APP_CFG.DAT was there but could not be read: kept as it is
  SetupInfo setup_;
  SaveFolderPlan plan_;
  std::string saveFolder_;
  bool folderChosenNow_ = false;
  uint8_t configuredVSync_ = 1;
  uint8_t configuredPreciseTiming_ = 1;
};

}  // namespace bw
