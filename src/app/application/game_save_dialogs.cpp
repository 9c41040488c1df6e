// The save and load dialogs over the script host's save data, with the application's settings,
// permissions and questions.
#include "app/application/game_app.h"
#include "app/dialogs/main_menu.h"
#include "savedata/save_data.h"
#include "savedata/save_load_dialog.h"

namespace bw {

namespace {

class GameSaveLoadHost final : public SaveLoadHost {
 public:
  explicit GameSaveLoadHost(GameApp& app) : app_(app) {}

  SaveLoadSettings DialogSettings() override {
    const UserConfig& u = app_.GetUserConfig();
    return {u.lastDialogPage,   u.lastDialogSlot,     u.lastSavedPage,      u.lastSavedSlot,
            u.confirmOverwrite, u.commentFromMessage, u.closeAfterSave,     u.thumbnailWithoutFrame,
            u.confirmLoad,      u.confirmQuickLoad,   u.autoSaveBeforeLoad, u.joystickEnabled,
            u.actionButtons[0], u.actionButtons[1]};
  }
  void StoreDialogSettings(const SaveLoadSettings& s) override {
    UserConfig& u = app_.GetUserConfig();
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
    return app_.ShowMessageDialog(text.c_str(), kMessageYesNo, nullptr, nullptr, 0) != 0;
  }
  void ShowMessage(const std::string& text) override {
    app_.ShowMessageDialog(text.c_str(), kMessageOk, nullptr, nullptr, 0);
  }
  bool SaveAllowed() override {
    return app_.MenuItemEnabled(kPermissionSave) && app_.FrameAllowsSaving();
  }
  bool LoadAllowed() override { return app_.MenuItemEnabled(kPermissionLoad); }
  void RunInGame(const std::function<void()>& work) override { app_.RunBetweenSteps(work); }
  void RequestLoad(const std::string& name) override { app_.RequestLoadFromDialog(name); }
  bool EmptyThumbnail(host::DialogImage& image) override {
    return LoadDialogPicture("SYS\\NO_DATA.WGX", image);
  }
  bool MovesPointer() override { return app_.PointerMovesAllowed(); }

 private:
  GameApp& app_;
};

}  // namespace

int GameApp::ShowSaveLoadDialog() {
  if (!host_) return kDialogNotAvailable;
  GameSaveLoadHost services(*this);
  const host::HWND owner = MainWindow().IsWindow() ? MainWindow().GetHandle() : host::HWND{};
  return RunSaveLoadDialog(SaveDataOf(*host_), services, owner,
                           saveLoadDirection_ == kDirectionSave);
}

void GameApp::RunBetweenSteps(const std::function<void()>& work) {
  // In the threaded mode the frame thread is parked between two steps while the work runs; the
  // wait serves sends, so a frame thread that sends to this window is not stuck.
  const int wait = WaitForFrameThread(nullptr);
  if (wait == kWaitQuit) return;  // the game ends: nothing is written
  work();
  if (wait == kWaitParked) ReleaseFrameThreadWait(nullptr);
}

void GameApp::RequestLoadFromDialog(const std::string& saveName) {
  if (!host_) return;
  host_->SetCurrentSaveName(saveName);
  // A running scenario ends its run and its step native loads the save; without one the main
  // script loads it when it sees its load word. Never both: the save would load twice.
  if (TgsFrameSaveState::Frame()) {
    tgsState_.loadedGame = 1;
  } else {
    WriteConfiguredWord(kConfigLoadWord, 1);
  }
}

bool GameApp::FrameAllowsSaving() {
  bool allowed = true;
  RunBetweenSteps([&] {
    int32_t word = 0;
    if (TgsFrameSaveState::Frame() && ReadConfiguredWord(kConfigSavePermissionWord, word))
      allowed = word != 0;
  });
  return allowed;
}

bool GameApp::ReadConfiguredWord(size_t word, int32_t& value) {
  const int32_t address = tgsState_.config[word];
  if (!host_ || address == 0) return false;
  uint32_t read = 0;
  if (!host_->GetMemory().Read32(static_cast<uint32_t>(address), read)) {
    host_->GetMemory().TakeFault();
    return false;
  }
  value = static_cast<int32_t>(read);
  return true;
}

bool GameApp::WriteConfiguredWord(size_t word, uint32_t value) {
  const int32_t address = tgsState_.config[word];
  if (!host_ || address == 0) return false;
  if (host_->GetMemory().Write32(static_cast<uint32_t>(address), value)) return true;
  host_->GetMemory().TakeFault();
  return false;
}

}  // namespace bw
