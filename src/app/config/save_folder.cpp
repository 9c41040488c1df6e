#include "app/config/save_folder.h"

#include <initializer_list>
#include <string_view>

#include "app/config/config_block.h"

namespace bw {

namespace {

using Icon = SaveFolderHost::Icon;

// "%s\nに、「%s」の環境設定データを作成します。\n作成する設定ファイルと同名のファイルが存在する場合、
// 上書きされます。\nよろしいですか？"
constexpr std::string_view kAskCreateSettings =
    "%s\n\x82\xC9\x81\x41\x81\x75%s\x81\x76\x82\xCC\x8A\xC2\x8B\xAB\x90\xDD\x92\xE8\x83\x66\x81\x5B"
    "\x83\x5E\x82\xF0\x8D\xEC\x90\xAC\x82\xB5\x82\xDC\x82\xB7\x81\x42\n\x8D\xEC\x90\xAC\x82\xB7\x82"
    "\xE9\x90\xDD\x92\xE8\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC6\x93\xAF\x96\xBC\x82\xCC\x83\x74"
    "\x83\x40\x83\x43\x83\x8B\x82\xAA\x91\xB6\x8D\xDD\x82\xB7\x82\xE9\x8F\xEA\x8D\x87\x81\x41\x8F"
    "\xE3\x8F\x91\x82\xAB\x82\xB3\x82\xEA\x82\xDC\x82\xB7\x81\x42\n\x82\xE6\x82\xEB\x82\xB5\x82\xA2"
    "\x82\xC5\x82\xB7\x82\xA9\x81\x48";
// "%s\nに、「%s」のセーブデータを作成します。\n作成するセーブファイルと同名のファイルが存在する場合、
// \n上書きされる可能性があります。\nよろしいですか？"
constexpr std::string_view kAskCreateSaves =
    "%s\n\x82\xC9\x81\x41\x81\x75%s\x81\x76\x82\xCC\x83\x5A\x81\x5B\x83\x75\x83\x66\x81\x5B\x83\x5E"
    "\x82\xF0\x8D\xEC\x90\xAC\x82\xB5\x82\xDC\x82\xB7\x81\x42\n\x8D\xEC\x90\xAC\x82\xB7\x82\xE9\x83"
    "\x5A\x81\x5B\x83\x75\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC6\x93\xAF\x96\xBC\x82\xCC\x83\x74"
    "\x83\x40\x83\x43\x83\x8B\x82\xAA\x91\xB6\x8D\xDD\x82\xB7\x82\xE9\x8F\xEA\x8D\x87\x81\x41\n\x8F"
    "\xE3\x8F\x91\x82\xAB\x82\xB3\x82\xEA\x82\xE9\x89\xC2\x94\x5C\x90\xAB\x82\xAA\x82\xA0\x82\xE8"
    "\x82\xDC\x82\xB7\x81\x42\n\x82\xE6\x82\xEB\x82\xB5\x82\xA2\x82\xC5\x82\xB7\x82\xA9\x81\x48";
// "%s\nを移動させるか名前を変更して、セーブデータを保存できる状態にしてから、\n「%s」を再度、実行して
// 下さい。"
constexpr std::string_view kMoveOrRename =
    "%s\n\x82\xF0\x88\xDA\x93\xAE\x82\xB3\x82\xB9\x82\xE9\x82\xA9\x96\xBC\x91\x4F\x82\xF0\x95\xCF"
    "\x8D\x58\x82\xB5\x82\xC4\x81\x41\x83\x5A\x81\x5B\x83\x75\x83\x66\x81\x5B\x83\x5E\x82\xF0\x95"
    "\xDB\x91\xB6\x82\xC5\x82\xAB\x82\xE9\x8F\xF3\x91\xD4\x82\xC9\x82\xB5\x82\xC4\x82\xA9\x82\xE7"
    "\x81\x41\n\x81\x75%s\x81\x76\x82\xF0\x8D\xC4\x93\x78\x81\x41\x8E\xC0\x8D\x73\x82\xB5\x82\xC4"
    "\x89\xBA\x82\xB3\x82\xA2\x81\x42";
// "%s\nセーブデータ作成フォルダの作成に失敗しました。\nセーブデータの作成、アプリケーション設定の保存を
// 行うことができません。"
constexpr std::string_view kCreateFolderFailed =
    "%s\n\x83\x5A\x81\x5B\x83\x75\x83\x66\x81\x5B\x83\x5E\x8D\xEC\x90\xAC\x83\x74\x83\x48\x83\x8B"
    "\x83\x5F\x82\xCC\x8D\xEC\x90\xAC\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81"
    "\x42\n\x83\x5A\x81\x5B\x83\x75\x83\x66\x81\x5B\x83\x5E\x82\xCC\x8D\xEC\x90\xAC\x81\x41\x83\x41"
    "\x83\x76\x83\x8A\x83\x50\x81\x5B\x83\x56\x83\x87\x83\x93\x90\xDD\x92\xE8\x82\xCC\x95\xDB\x91"
    "\xB6\x82\xF0\x8D\x73\x82\xA4\x82\xB1\x82\xC6\x82\xAA\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1"
    "\x81\x42";
// "%s\nセーブデータ作成フォルダが見つかりません。\n新しくセーブデータ作成フォルダを設定しますか？"
constexpr std::string_view kChosenFolderMissing =
    "%s\n\x83\x5A\x81\x5B\x83\x75\x83\x66\x81\x5B\x83\x5E\x8D\xEC\x90\xAC\x83\x74\x83\x48\x83\x8B"
    "\x83\x5F\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42\n\x90\x56\x82"
    "\xB5\x82\xAD\x83\x5A\x81\x5B\x83\x75\x83\x66\x81\x5B\x83\x5E\x8D\xEC\x90\xAC\x83\x74\x83\x48"
    "\x83\x8B\x83\x5F\x82\xF0\x90\xDD\x92\xE8\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48";
// "セーブデータ作成フォルダがないため、起動できません。"
constexpr std::string_view kCannotStart =
    "\x83\x5A\x81\x5B\x83\x75\x83\x66\x81\x5B\x83\x5E\x8D\xEC\x90\xAC\x83\x74\x83\x48\x83\x8B\x83"
    "\x5F\x82\xAA\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x81\x41\x8B\x4E\x93\xAE\x82\xC5\x82\xAB\x82\xDC"
    "\x82\xB9\x82\xF1\x81\x42";
// "「%s」\nセーブデータ作成フォルダの選択"
constexpr std::string_view kBrowseTitle =
    "\x81\x75%s\x81\x76\n\x83\x5A\x81\x5B\x83\x75\x83\x66\x81\x5B\x83\x5E\x8D\xEC\x90\xAC\x83\x74"
    "\x83\x48\x83\x8B\x83\x5F\x82\xCC\x91\x49\x91\xF0";

constexpr std::string_view kUserCfg = "USER.CFG";

// Fills each "%s" of format with the next argument. '%' is never part of a double-byte
// character, so a plain scan is safe.
std::string Format(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string out;
  auto arg = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && arg != args.end()) {
      out += *arg++;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

}  // namespace

SaveFolderPlan PlanSaveFolder(const SaveFolderInputs& in) {
  SaveFolderPlan plan;
  plan.mode = in.mode > kSaveFolderReadOnly ? kSaveFolderAppFolder : in.mode;
  // A game that may run from a CD-ROM cannot keep its saves beside itself.
  if (in.allowCdRom && plan.mode == kSaveFolderAppFolder) plan.mode = kSaveFolderDocuments;
  plan.folderName = in.saveFolderName ? *in.saveFolderName : in.appName + " SaveData";
  plan.writesSettings = plan.mode != kSaveFolderReadOnly;

  const std::string* special = nullptr;
  switch (plan.mode) {
    case kSaveFolderDocuments:
      special = &in.documentsFolder;
      break;
    case kSaveFolderChosen:
    case kSaveFolderAppData:
      special = &in.appDataFolder;
      break;
    case kSaveFolderCommonAppData:
      special = in.commonAppDataFolder.empty() ? &in.appDataFolder : &in.commonAppDataFolder;
      break;
    default:
      plan.userCfgPath = in.appFolder + std::string(kUserCfg);
      return plan;
  }
  plan.userCfgFolder = *special + "\\" + plan.folderName;
  plan.userCfgPath = plan.userCfgFolder + "\\" + std::string(kUserCfg);
  return plan;
}

int PrepareUserCfg(const SaveFolderPlan& plan, const SaveFolderInputs& in, SaveFolderHost& host) {
  if (plan.userCfgFolder.empty()) return kSaveFolderOk;
  const std::string& folder = plan.userCfgFolder;
  if (host.FolderExists(folder)) {
    if (host.FileExists(plan.userCfgPath)) return kSaveFolderOk;
    auto question = plan.mode == kSaveFolderChosen ? kAskCreateSettings : kAskCreateSaves;
    if (!host.Ask(Format(question, {folder, in.appName}))) {
      host.Tell(Format(kMoveOrRename, {folder, in.appName}), Icon::kWarning);
      return kSaveFolderSettingsRefused;
    }
  } else if (!host.CreateFolder(folder)) {
    host.Tell(Format(kCreateFolderFailed, {folder}), Icon::kError);
  }
  // A failed copy is told when the settings are read from the copy, just after.
  (void)host.CopyFile(in.appFolder + std::string(kUserCfg), plan.userCfgPath);
  return kSaveFolderOk;
}

namespace {

// Mode 2: the folder USER.CFG names, or one the player chooses now.
SaveFolderChoice ChooseSaveFolder(const SaveFolderPlan& plan, const SaveFolderInputs& in,
                                  std::optional<std::string>& chosenFolder, SaveFolderHost& host) {
  SaveFolderChoice choice;
  auto refuse = [&] {
    host.Tell(std::string(kCannotStart), Icon::kWarning);
    choice.result = kSaveFolderNone;
    return choice;
  };
  if (chosenFolder) {
    if (host.FolderExists(*chosenFolder)) {
      choice.saveFolder = *chosenFolder;
      return choice;
    }
    if (!host.Ask(Format(kChosenFolderMissing, {*chosenFolder}))) return refuse();
  }
  std::string folder = host.BrowseForFolder(Format(kBrowseTitle, {in.appName}), in.documentsFolder);
  if (folder.empty()) return refuse();
  AppendPathSeparator(folder);
  folder += plan.folderName;
  if (host.FolderExists(folder)) {
    if (!host.Ask(Format(kAskCreateSaves, {folder, in.appName}))) {
      host.Tell(Format(kMoveOrRename, {folder, in.appName}), Icon::kWarning);
      choice.result = kSaveFolderNone;
      return choice;
    }
  } else if (!host.CreateFolder(folder)) {
    host.Tell(Format(kCreateFolderFailed, {folder}), Icon::kError);
    return refuse();
  }
  chosenFolder = folder;
  choice.saveFolder = folder;
  choice.chosenNow = true;
  return choice;
}

}  // namespace

SaveFolderChoice FindSaveFolder(const SaveFolderPlan& plan, const SaveFolderInputs& in,
                                std::optional<std::string>& chosenFolder, SaveFolderHost& host) {
  SaveFolderChoice choice;
  switch (plan.mode) {
    case kSaveFolderAppFolder:
      choice.saveFolder = in.appFolder + "SAVEDATA";
      if (!host.FolderExists(choice.saveFolder) && !host.CreateFolder(choice.saveFolder)) {
        host.Tell(Format(kCreateFolderFailed, {choice.saveFolder}), Icon::kError);
      }
      break;
    case kSaveFolderChosen:
      choice = ChooseSaveFolder(plan, in, chosenFolder, host);
      if (choice.result != kSaveFolderOk) return choice;
      break;
    case kSaveFolderReadOnly:
      choice.saveFolder = in.appFolder;
      break;
    default:
      choice.saveFolder = plan.userCfgFolder;
      break;
  }
  AppendPathSeparator(choice.saveFolder);
  return choice;
}

}  // namespace bw
