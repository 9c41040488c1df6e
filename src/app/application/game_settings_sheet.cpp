// The settings sheet over the application's user settings, pushing what it changes into the
// running services.
#include "app/application/game_app.h"
#include "app/dialogs/settings_sheet.h"

namespace bw {

namespace {

class GameSheetHost final : public SettingsSheetHost {
 public:
  explicit GameSheetHost(GameApp& app) : app_(app) {}
  void ApplySound(const UserConfig& config) override { app_.ApplySoundSettings(config); }
  void ApplyKeys() override { app_.ApplyKeyAssignments(); }
  void ApplyJoystick() override { app_.ApplyJoystickAssignments(); }
  bool PointerMoves() override { return app_.PointerMovesAllowed(); }
  void SetPointerMoves(bool on) override { app_.SetPointerToDefaultButton(on); }

 private:
  GameApp& app_;
};

}  // namespace

int GameApp::ShowSettingsSheet() {
  GameSheetHost services(*this);
  const host::HWND owner = MainWindow().IsWindow() ? MainWindow().GetHandle() : host::HWND{};
  const SettingsSheetResult result = RunSettingsSheet(user_, services, owner);
  return result.applied ? kSettingsSheetOk : kSettingsSheetCancel;
}

}  // namespace bw
