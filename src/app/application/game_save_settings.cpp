// The save data's fields of the user block.
#include "app/application/game_app.h"

namespace bw {

SaveSettings GameApp::UserSaveSettings::GetSaveSettings() {
  const UserConfig& u = app_.user_;
  return {u.keepHistoryInSaves,    u.nextAutoSlot, u.nextQuickSlot, u.commentFromMessage,
          u.thumbnailWithoutFrame, u.savedOnce,    u.lastAutoSlot,  u.lastQuickSlot};
}

void GameApp::UserSaveSettings::SetSaveSettings(const SaveSettings& s, bool write) {
  UserConfig& u = app_.user_;
  u.keepHistoryInSaves = s.keepHistoryInSaves;
  u.nextAutoSlot = s.nextAutoSlot;
  u.nextQuickSlot = s.nextQuickSlot;
  u.commentFromMessage = s.commentFromMessage;
  u.thumbnailWithoutFrame = s.thumbnailWithoutFrame;
  u.savedOnce = s.savedOnce;
  u.lastAutoSlot = s.lastAutoSlot;
  u.lastQuickSlot = s.lastQuickSlot;
  // A settings file that could not be read is kept as it is: it is not written here either.
  if (!write || app_.saveFolder_.empty() || app_.userConfigUnreadable_ ||
      !app_.plan_.writesSettings) {
    return;
  }
  app_.SaveUserSettings();
}

}  // namespace bw
