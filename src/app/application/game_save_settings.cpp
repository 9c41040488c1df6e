// The save data's fields of the user block.
#include "app/application/game_app.h"
#include "host/host_path.h"

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
  if (!write || app_.saveFolder_.empty() || app_.userConfigUnreadable_ ||
      !app_.plan_.writesSettings) {
    return;
  }
  std::string appCfg;
  if (host::EnginePathToLinuxPath(app_.saveFolder_ + "APP_CFG.DAT", appCfg) == host::kPathOk) {
    SaveUserConfig(appCfg, u);
  }
}

}  // namespace bw
