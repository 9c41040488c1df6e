// The save data's fields of the user block.
#include "app/application/game_dialogs.h"

namespace bw {

SaveSettings GameDialogs::UserSaveSettings::GetSaveSettings() {
  const UserConfig& u = user_;
  return {u.keepHistoryInSaves,    u.nextAutoSlot, u.nextQuickSlot, u.commentFromMessage,
          u.thumbnailWithoutFrame, u.savedOnce,    u.lastAutoSlot,  u.lastQuickSlot};
}

void GameDialogs::UserSaveSettings::SetSaveSettings(const SaveSettings& s, bool write) {
  UserConfig& u = user_;
  u.keepHistoryInSaves = s.keepHistoryInSaves;
  u.nextAutoSlot = s.nextAutoSlot;
  u.nextQuickSlot = s.nextQuickSlot;
  u.commentFromMessage = s.commentFromMessage;
  u.thumbnailWithoutFrame = s.thumbnailWithoutFrame;
  u.savedOnce = s.savedOnce;
  u.lastAutoSlot = s.lastAutoSlot;
  u.lastQuickSlot = s.lastQuickSlot;
  if (write) app_.StoreUserSettings();
}

}  // namespace bw
