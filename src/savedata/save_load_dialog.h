// The save and load dialogs: the twelve pages of slots as tabs, the slots of the shown page as a
// list, the chosen slot's thumbnail, title, date, comment and protection, and the mode's check
// boxes. One procedure serves both; the application supplies its settings, questions and the
// way into the running game.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "host/dialog/dialog.h"
#include "host/messages.h"

namespace bw {

class SaveData;

// The user settings the dialogs show and keep.
struct SaveLoadSettings {
  uint8_t lastDialogPage = 2;  // "Page.1"
  uint8_t lastDialogSlot = 0;
  uint8_t lastSavedPage = 0;
  uint8_t lastSavedSlot = 0;
  uint8_t confirmOverwrite = 1;
  uint8_t commentFromMessage = 1;
  uint8_t closeAfterSave = 1;
  uint8_t thumbnailWithoutFrame = 1;
  uint8_t confirmLoad = 0;
  uint8_t confirmQuickLoad = 1;
  uint8_t autoSaveBeforeLoad = 0;
  uint8_t joystickEnabled = 0;
  uint8_t joystickDecideButton = 0;
  uint8_t joystickCancelButton = 0;
  bool operator==(const SaveLoadSettings&) const = default;
};

// What the dialogs need of the application.
class SaveLoadHost {
 public:
  virtual ~SaveLoadHost() = default;
  virtual SaveLoadSettings DialogSettings() = 0;
  // Takes the settings in at once (a check box clicked, a save made, the dialog closed).
  virtual void StoreDialogSettings(const SaveLoadSettings& settings) = 0;
  [[nodiscard]] virtual bool AskYesNo(const std::string& cp932) = 0;
  virtual void ShowMessage(const std::string& cp932) = 0;
  // The save permission (with a scenario frame running, its save word too) and the load one.
  [[nodiscard]] virtual bool SaveAllowed() = 0;
  [[nodiscard]] virtual bool LoadAllowed() = 0;
  // Runs work that touches the game state or the scripts' words where the scripts run, and
  // waits for it.
  virtual void RunInGame(const std::function<void()>& work) = 0;
  // The load chosen: the current save name and the scripts' load word. Called through RunInGame.
  virtual void RequestLoad(const std::string& saveName) = 0;
  // The picture of a slot without a thumbnail, 120 x 90; false leaves the image black.
  virtual bool EmptyThumbnail(host::DialogImage& image) = 0;
  // The joystick the dialog polls: false when none opens; an event (0 up, 1 down, 2 left,
  // 3 right, else a button code) or -1.
  [[nodiscard]] virtual bool OpenJoystick() { return false; }
  // The game's automatic pointer move: the pointer goes onto the selected row as the dialog opens.
  [[nodiscard]] virtual bool MovesPointer() { return false; }
  [[nodiscard]] virtual int PollJoystick() { return -1; }
};

// Control ids of the dialogs.
constexpr int kSlotList = 1201;
constexpr int kSlotTitle = 1014;
constexpr int kSlotDate = 1203;
constexpr int kSlotComment = 1056;
constexpr int kSlotProtect = 1070;
constexpr int kSlotThumbnail = 1084;
constexpr int kSlotAct = 1204;  // "セーブ" or "ロード"
constexpr int kSlotDelete = 1205;
constexpr int kSaveLoadCancel = 2;
constexpr int kSaveDialogTemplate = 138;
constexpr int kLoadDialogTemplate = 139;
// The comment edit takes at most this many bytes: the writer's own limit.
constexpr size_t kCommentEditMax = 248;

// RunSaveLoadDialog results.
constexpr int kSaveLoadClosed = 0;
constexpr int kSaveLoadLoadRequested = 1;

// Runs the save dialog (save) or the load dialog over the slots of save.
[[nodiscard]] int RunSaveLoadDialog(SaveData& save, SaveLoadHost& host, host::HWND owner,
                                    bool saveMode);

// Loads a picture by name into a 120 x 90 image (cut or padded with black); false when it
// does not load.
[[nodiscard]] bool LoadDialogPicture(const char* name, host::DialogImage& image);

}  // namespace bw
