// The save and load dialogs over the script host's save data, with the application's settings,
// permissions and questions, and the scenario configuration words they read and write.
#include "app/application/game_dialogs.h"
#include "app/dialogs/main_menu.h"
#include "app/dialogs/menu_requests.h"
#include "app/dialogs/message_dialog.h"
#include "savedata/save_data.h"
#include "savedata/save_load_dialog.h"
#include "savedata/tgs_frame_save_state.h"
#include "scenario/tgs/tgs_frame_host.h"

namespace bw {

namespace {

class GameSaveLoadHost final : public SaveLoadHost {
 public:
  GameSaveLoadHost(GameDialogsHost& app, GameDialogs& dialogs, UserConfig& user)
      : app_(app), dialogs_(dialogs), user_(user) {}

  SaveLoadSettings DialogSettings() override {
    const UserConfig& u = user_;
    return {u.lastDialogPage,   u.lastDialogSlot,     u.lastSavedPage,      u.lastSavedSlot,
            u.confirmOverwrite, u.commentFromMessage, u.closeAfterSave,     u.thumbnailWithoutFrame,
            u.confirmLoad,      u.confirmQuickLoad,   u.autoSaveBeforeLoad, u.joystickEnabled,
            u.actionButtons[0], u.actionButtons[1]};
  }
  void StoreDialogSettings(const SaveLoadSettings& s) override {
    UserConfig& u = user_;
    u.lastDialogPage = s.lastDialogPage;
    u.lastDialogSlot = s.lastDialogSlot;
    u.lastSavedPage = s.lastSavedPage;
    u.lastSavedSlot = s.lastSavedSlot;
    u.confirmOverwrite = s.confirmOverwrite;
    u.commentFromMessage = s.commentFromMessage;
    u.closeAfterSave = s.closeAfterSave;
    u.thumbnailWithoutFrame = s.thumbnailWithoutFrame;
    u.confirmLoad = s.confirmLoad;
    u.confirmQuickLoad = s.confirmQuickLoad;
    u.autoSaveBeforeLoad = s.autoSaveBeforeLoad;
  }
  bool AskYesNo(const std::string& text) override {
    return app_.ShowDialogMessage(text, kMessageYesNo) != 0;
  }
  void ShowMessage(const std::string& text) override {
    (void)app_.ShowDialogMessage(text, kMessageOk);  // one button
  }
  bool SaveAllowed() override {
    return app_.MenuItemEnabled(kPermissionSave) && dialogs_.FrameAllowsSaving();
  }
  bool LoadAllowed() override { return app_.MenuItemEnabled(kPermissionLoad); }
  void RunInGame(const std::function<void()>& work) override { app_.RunBetweenSteps(work); }
  void RequestLoad(const std::string& name) override { dialogs_.RequestLoadFromDialog(name); }
  bool EmptyThumbnail(host::DialogImage& image) override {
    return LoadDialogPicture("SYS\\NO_DATA.WGX", image);
  }
  bool MovesPointer() override { return app_.PointerMovesAllowed(); }

 private:
  GameDialogsHost& app_;
  GameDialogs& dialogs_;
  UserConfig& user_;
};

}  // namespace

GameDialogs::GameDialogs(GameDialogsHost& app, UserConfig& user, TgsAppState& tgsState)
    : app_(app), user_(user), tgsState_(tgsState), textLook_(MakeTextLook(app, user)) {}

GameDialogs::~GameDialogs() = default;

int GameDialogs::ShowSaveLoadDialog(uint8_t direction) {
  ScriptHost* host = app_.GetScriptHost();
  if (!host) return kDialogNotAvailable;
  GameSaveLoadHost services(app_, *this, user_);
  return RunSaveLoadDialog(SaveDataOf(*host), services, app_.DialogOwner(),
                           direction == kDirectionSave);
}

void GameDialogs::RequestLoadFromDialog(const std::string& saveName) {
  ScriptHost* host = app_.GetScriptHost();
  if (!host) return;
  host->SetCurrentSaveName(saveName);
  // A running scenario ends its run and its step native loads the save; without one the main
  // script loads it when it sees its load word. Never both: the save would load twice.
  if (TgsFrameSaveState::Frame()) {
    tgsState_.loadedGame = 1;
  } else {
    // A game that names no load word loads from its own menu, never from this dialog.
    (void)WriteConfiguredWord(kConfigLoadWord, 1);
  }
}

bool GameDialogs::FrameAllowsSaving() {
  bool allowed = true;
  app_.RunBetweenSteps([&] {
    int32_t word = 0;
    if (TgsFrameSaveState::Frame() && ReadConfiguredWord(kConfigSavePermissionWord, word))
      allowed = word != 0;
  });
  return allowed;
}

bool GameDialogs::ReadConfiguredWord(size_t word, int32_t& value) {
  const int32_t address = tgsState_.config[word];
  ScriptHost* host = app_.GetScriptHost();
  if (!host || address == 0) return false;
  uint32_t read = 0;
  if (!host->GetMemory().Read32(static_cast<uint32_t>(address), read)) {
    host->GetMemory().TakeFault();
    return false;
  }
  value = static_cast<int32_t>(read);
  return true;
}

bool GameDialogs::WriteConfiguredWord(size_t word, uint32_t value) {
  const int32_t address = tgsState_.config[word];
  ScriptHost* host = app_.GetScriptHost();
  if (!host || address == 0) return false;
  if (host->GetMemory().Write32(static_cast<uint32_t>(address), value)) return true;
  host->GetMemory().TakeFault();
  return false;
}

}  // namespace bw
