// The settings sheet over the application's user settings, pushing what it changes into the
// running services.
#include "app/application/game_app.h"
#include "app/dialogs/settings_sheet.h"
#include "gui/pointer_tip.h"
#include "script/script_host.h"
#include "sound/sound_channel_manager.h"

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
  void PlayTest(int which) override {
    ScriptHost* host = app_.GetScriptHost();
    SoundChannelManager* channels = host ? host->SoundChannels() : nullptr;
    if (channels == nullptr) return;
    // The channels are the frame thread's: the test plays between two of its steps.
    app_.RunBetweenSteps([&] { PlaySettingsTestSound(*channels, which); });
  }

 private:
  GameApp& app_;
};

// The notice words are guest words whose addresses the scenario frame's settings name: the
// first tells of a changed face or font style, the second of a changed text frame or choice
// marking.
constexpr size_t kFontNoticeWord = 4;
constexpr size_t kFrameNoticeWord = 5;

void StoreNotice(ScriptHost& host, const TgsAppState& state, size_t word, uint32_t value) {
  const int32_t address = state.config[word];
  if (address != 0) host.GetMemory().Write32(static_cast<uint32_t>(address), value);
}

}  // namespace

int GameApp::ShowSettingsSheet() {
  GameSheetHost services(*this);
  const host::HWND owner = MainWindow().IsWindow() ? MainWindow().GetHandle() : host::HWND{};
  // The flags and words start clear and are raised by what the sheet changed; the scripts read
  // them, so they are written between two of their steps.
  RunBetweenSteps([this] {
    tgsState_.textSettingsChanged = 0;
    if (!host_) return;
    StoreNotice(*host_, tgsState_, kFontNoticeWord, 0);
    StoreNotice(*host_, tgsState_, kFrameNoticeWord, 0);
  });
  const SettingsSheetResult result = RunSettingsSheet(user_, services, owner);
  RunBetweenSteps([&] {
    if (result.textChanged) tgsState_.textSettingsChanged = 1;
    if (!host_) return;
    if (result.fontNotice) StoreNotice(*host_, tgsState_, kFontNoticeWord, 1);
    if (result.frameNotice) StoreNotice(*host_, tgsState_, kFrameNoticeWord, 1);
  });
  if (result.tooltipChanged && host_) {
    if (PointerTip* tip = ThePointerTip()) {
      tip->SetTooltipOptions(user_.tooltipsOn != 0, user_.tooltipDelayMs, 0);
    }
  }
  return result.applied ? kSettingsSheetOk : kSettingsSheetCancel;
}

}  // namespace bw
