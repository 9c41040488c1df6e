// Where the settings and the saves live, by the save-folder mode of the application record:
//
//   mode  "USER.CFG" is read and saved in          save-data folder
//   0     documents \ folder name                  the same folder
//   1     the application folder                   application folder + "SAVEDATA"
//   2     application data \ folder name           a folder the player chooses
//   3     application data \ folder name           the same folder
//   4     common application data \ folder name   the same folder
//   5     the application folder                   the application folder; nothing is written
//
// The folder name is the game's save-folder name, or its application name + " SaveData".
// Planning is pure; the steps that look at folders, create them or ask the player go through
// SaveFolderHost. Paths are engine paths (CP932, '\').
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bw {

constexpr uint8_t kSaveFolderDocuments = 0;
constexpr uint8_t kSaveFolderAppFolder = 1;
constexpr uint8_t kSaveFolderChosen = 2;
constexpr uint8_t kSaveFolderAppData = 3;
constexpr uint8_t kSaveFolderCommonAppData = 4;
constexpr uint8_t kSaveFolderReadOnly = 5;

// Results of the steps; 3 and 4 are start-up's own results for these refusals.
constexpr int kSaveFolderOk = 0;
constexpr int kSaveFolderSettingsRefused = 3;  // the player would not let USER.CFG be created
constexpr int kSaveFolderNone = 4;             // no save-data folder to be had

struct SaveFolderInputs {
  uint8_t mode = kSaveFolderAppFolder;  // the application record's
  bool allowCdRom = false;              // the application record's
  // The application folder start-up uses (rebased by "/L" when given), ending with "\".
  std::string appFolder;
  std::string appName;
  std::optional<std::string> saveFolderName;
  // The special folders, without a trailing "\". An empty common folder is not to be had.
  std::string documentsFolder;
  std::string appDataFolder;
  std::string commonAppDataFolder;
};

struct SaveFolderPlan {
  uint8_t mode = kSaveFolderAppFolder;  // after the CD-ROM rule; values above 5 count as 1
  std::string folderName;
  // Modes 0, 2, 3 and 4: the folder that holds USER.CFG; it is created when missing and the
  // shipped USER.CFG copied into it. Empty in the other modes.
  std::string userCfgFolder;
  // Where USER.CFG is read at start-up and saved at exit: always the same file.
  std::string userCfgPath;
  bool writesSettings = true;  // false in mode 5
};

SaveFolderPlan PlanSaveFolder(const SaveFolderInputs& in);

// The world as the save-folder steps see it. Texts are CP932.
class SaveFolderHost {
 public:
  enum class Icon { kWarning = 1, kInformation = 2, kQuestion = 3, kError = 4 };

  virtual ~SaveFolderHost() = default;
  [[nodiscard]] virtual bool FolderExists(const std::string& path) = 0;
  [[nodiscard]] virtual bool FileExists(const std::string& path) = 0;
  [[nodiscard]] virtual bool CreateFolder(const std::string& path) = 0;
  // Copies over an existing file; the copy is left writable.
  [[nodiscard]] virtual bool CopyFile(const std::string& from, const std::string& to) = 0;
  // A yes/no question owned by the desktop; true for yes.
  [[nodiscard]] virtual bool Ask(const std::string& text) = 0;
  virtual void Tell(const std::string& text, Icon icon) = 0;
  // The folder-browse dialog; empty when cancelled, and from a host that has none.
  virtual std::string BrowseForFolder(const std::string& title, const std::string& startFolder) = 0;
};

// Makes plan.userCfgPath readable: in modes 0, 2, 3 and 4 the folder is created, or the player
// agrees to a new USER.CFG in a folder that has none, and the shipped file is copied in.
// kSaveFolderSettingsRefused when the player says no; a folder that cannot be created is
// reported and the start goes on (the read that follows will fail and say so).
[[nodiscard]] int PrepareUserCfg(const SaveFolderPlan& plan, const SaveFolderInputs& in,
                                 SaveFolderHost& host);

struct SaveFolderChoice {
  int result = kSaveFolderOk;
  std::string saveFolder;  // ends with "\"
  bool chosenNow = false;  // mode 2 chose a folder: it is in chosenFolder, and is saved at once
};

// Finds or creates the save-data folder. In mode 2, chosenFolder is the folder USER.CFG held
// and takes a newly chosen one.
SaveFolderChoice FindSaveFolder(const SaveFolderPlan& plan, const SaveFolderInputs& in,
                                std::optional<std::string>& chosenFolder, SaveFolderHost& host);

}  // namespace bw
