#include "app/application/settings_files.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/config/config_block.h"
#include "common/atomic_file.h"
#include "host/cp932.h"
#include "host/file/host_file.h"
#include "host/host_path.h"
#include "platform/app_paths.h"
#include "platform/file_dialogs.h"
#include "resource/files/file_utils.h"

namespace bw {

namespace {

// The longest names the engine builds in the save folder: a page's extra save ("DATA10-1.SAV") and
// the read-text log.
constexpr size_t kLongestSaveName = sizeof("TEXT_LOG.DAT") - 1;

std::filesystem::path HostPath(const std::string& enginePath) {
  std::string linux;
  if (host::EnginePathToLinuxPath(enginePath, linux) != host::kPathOk) return {};
  return linux;
}

// The save-folder steps against the disk and the application's message boxes.
class AppFolderHost : public SaveFolderHost {
 public:
  explicit AppFolderHost(SettingsFilesHost& app) : app_(app) {}
  bool FolderExists(const std::string& path) override {
    std::error_code ec;
    return std::filesystem::is_directory(HostPath(path), ec);
  }
  bool FileExists(const std::string& path) override {
    std::error_code ec;
    return std::filesystem::is_regular_file(HostPath(path), ec);
  }
  bool CreateFolder(const std::string& path) override {
    std::filesystem::path p = HostPath(path);
    std::error_code ec;
    return !p.empty() && std::filesystem::create_directory(p, ec);
  }
  bool CopyFile(const std::string& from, const std::string& to) override {
    std::filesystem::path source = HostPath(from);
    std::filesystem::path target = HostPath(to);
    std::error_code ec;
    if (source.empty() || target.empty()) return false;
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing,
                               ec);
    if (ec) return false;
    std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ec);
    return true;
  }
  bool Ask(const std::string& text) override { return app_.AskInBox(text); }
  void Tell(const std::string& text, Icon icon) override { app_.ShowBox(text, icon); }
  // Before the main window exists the dialog has the desktop for its owner.
  std::string BrowseForFolder(const std::string& title, const std::string& startFolder) override {
    char path[kDialogPathSize] = {};
    ::bw::BrowseForFolder(host::HWND{}, title.c_str(), startFolder.c_str(), path);
    return path;
  }

 private:
  SettingsFilesHost& app_;
};

SaveFolderInputs FolderInputs(const AppRecord& record, const AppInfo& info) {
  SaveFolderInputs inputs;
  inputs.mode = record.saveFolderMode;
  inputs.allowCdRom = record.allowCdRom != 0;
  inputs.appFolder = GetAppFolder();
  inputs.appName = info.appName;
  inputs.saveFolderName = info.saveFolderName;
  // Only the folder the mode lives in is looked up: the look-up creates it. The common folder is
  // not to be had: the plan falls back to the application-data folder.
  // A folder not found stays empty, and the plan falls back from it.
  if (inputs.mode == kSaveFolderDocuments) {
    (void)GetSpecialFolderPath(inputs.documentsFolder, kCsidlPersonal);
  } else if (inputs.mode >= kSaveFolderChosen && inputs.mode <= kSaveFolderCommonAppData) {
    (void)GetSpecialFolderPath(inputs.appDataFolder, kCsidlAppData);
  }
  return inputs;
}

}  // namespace

int SettingsFiles::Read(const AppRecord& record, const AppInfo& info, ScriptFileSource& files) {
  const SaveFolderInputs inputs = FolderInputs(record, info);
  plan_ = PlanSaveFolder(inputs);
  AppFolderHost folders(app_);
  if (int r = PrepareUserCfg(plan_, inputs, folders); r != kSaveFolderOk) return r;

  std::vector<uint8_t> bytes;
  std::string why;
  const std::filesystem::path userCfg = HostPath(plan_.userCfgPath);
  if (!host::ReadWholeFile(userCfg, bytes) ||
      !ConfigTaken(ReadEngineConfig(bytes, config_, &why))) {
    TellError(ConfigFailureText(host::Cp932Literal("環境設定ファイルの読み込みに失敗"),
                                host::Utf8ToCp932Lenient(userCfg.string()), why));
    return kInitSettings;
  }
  configuredVSync_ = config_.pacing.vsyncMode;
  configuredPreciseTiming_ = config_.pacing.preciseTiming;

  std::optional<std::string> chosen = config_.chosenSaveFolder;
  SaveFolderChoice choice = FindSaveFolder(plan_, inputs, chosen, folders);
  if (choice.result != kSaveFolderOk) return choice.result;
  if (!SaveNamesFit(choice.saveFolder)) return kInitNoSaveFolder;
  saveFolder_ = choice.saveFolder;
  folderChosenNow_ = choice.chosenNow;
  if (folderChosenNow_) config_.chosenSaveFolder = chosen;

  if (plan_.writesSettings) {
    // Writes killed on an earlier run left their temporaries beside the files; how many there
    // were matters to nobody.
    (void)RemoveStaleTemporaries(userCfg.parent_path(), userCfg.filename().string());
    (void)RemoveStaleTemporaries(HostPath(saveFolder_));
  }
  ReadUserSettings();
  if (user_.startWindowed != 0 && config_.display.screenMode == kSavedScreenFull) {
    config_.display.screenMode = kSavedScreenWindow;
  }
  bytes.clear();
  setup_ = SetupInfo{};
  // A file that does not read leaves the defaults: start-up skips it. The install values live in
  // the registry, which reads as not found.
  if (files.Load("SET_UP.IFG", bytes)) (void)ReadSetupInfo(bytes, setup_);
  return 0;
}

void SettingsFiles::ReadUserSettings() {
  const std::filesystem::path appCfg = HostPath(saveFolder_ + "APP_CFG.DAT");
  std::vector<uint8_t> bytes;
  std::string why;
  if (host::ReadWholeFile(appCfg, bytes)) {
    // A damaged one leaves the defaults, which are saved over it at exit.
    if (!ConfigTaken(ReadUserConfig(bytes, user_, &why))) {
      std::fprintf(stderr, "brimwold: %s: %s; the defaults are used\n", appCfg.c_str(),
                   why.c_str());
    }
    return;
  }
  // One that is there but cannot be read (a folder, no permission) is never replaced.
  std::error_code ec;
  userConfigUnreadable_ =
      std::filesystem::symlink_status(appCfg, ec).type() != std::filesystem::file_type::not_found;
}

// The engine builds the names of the saves and the read-text log in 260-byte buffers: a save
// folder that leaves no room for them is refused, saying so, instead of every save failing.
bool SettingsFiles::SaveNamesFit(const std::string& folder) {
  if (folder.size() + kLongestSaveName <= kMaxPath - 1) return true;
  TellError("The save folder's path is too long for the engine: " + std::to_string(folder.size()) +
            " bytes in its form, at most " + std::to_string(kMaxPath - 1 - kLongestSaveName) +
            " leave room for the saves.\n" + folder);
  return false;
}

bool SettingsFiles::Save() {
  EngineConfig saved = EngineConfigForSave(config_, configuredVSync_, configuredPreciseTiming_,
                                           user_.rememberWindowPosition != 0);
  std::filesystem::path userCfg = HostPath(plan_.userCfgPath);
  if (userCfg.empty() || !SaveEngineConfig(userCfg, saved)) {
    TellError(host::Cp932Literal("環境設定ファイルの保存に失敗"));
    return false;
  }
  return SaveUserSettings();
}

bool SettingsFiles::SaveUserSettings() {
  std::filesystem::path appCfg = HostPath(saveFolder_ + "APP_CFG.DAT");
  if (appCfg.empty() || userConfigUnreadable_ || !SaveUserConfig(appCfg, user_)) {
    TellError(host::Cp932Literal("アプリケーション設定ファイルの保存に失敗"));
    return false;
  }
  return true;
}

void SettingsFiles::StoreUserSettings() {
  // A settings file that could not be read is kept as it is: it is not written here either.
  if (!Writable() || userConfigUnreadable_) return;
  // The failure has been told; the run goes on with the settings it has.
  (void)SaveUserSettings();
}

}  // namespace bw
