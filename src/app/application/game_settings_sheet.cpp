// The settings sheet over the application's user settings, pushing what it changes into the
// running services.
#include <algorithm>

#include "app/application/game_dialogs.h"
#include "app/dialogs/main_menu.h"
#include "app/dialogs/settings_sheet.h"
#include "graphics/text/text_renderer.h"
#include "gui/image_list_part.h"
#include "gui/message_text_widget.h"
#include "gui/pointer_tip.h"
#include "gui/script_text.h"
#include "natives/render_natives.h"
#include "scenario/font_list.h"
#include "scenario/message/script_message_text.h"
#include "scenario/tgs/tgs_frame.h"
#include "script/script_host.h"
#include "sound/sound_channel_manager.h"

namespace bw {

namespace {

class GameSheetHost final : public SettingsSheetHost {
 public:
  explicit GameSheetHost(GameDialogsHost& app) : app_(app) {}
  // Before the script host and the devices are up there is nothing to apply to; they read the
  // settings when they come up.
  void ApplySound(const UserConfig& config) override { (void)app_.ApplySoundSettings(config); }
  void ApplyKeys() override { (void)app_.ApplyKeyAssignments(); }
  void ApplyJoystick() override { (void)app_.ApplyJoystickAssignments(); }
  void ApplyDisplay(const UserConfig&) override { app_.ApplyDisplaySettings(); }
  bool FullScreen() override { return app_.InFullScreen(); }
  void ToggleScreenMode() override { app_.RequestScreenModeToggle(); }
  // The faces the scripts' font list holds; the list is the frame thread's.
  std::vector<std::string> FontFaces() override {
    std::vector<std::string> faces;
    app_.RunBetweenSteps([&] {
      const FontList& fonts = app_.GetFontList();
      for (int i = 0; i < fonts.Count(); ++i) {
        const std::string face = fonts.Get(i)->lfFaceName;
        if (std::find(faces.begin(), faces.end(), face) == faces.end()) faces.push_back(face);
      }
    });
    return faces;
  }
  std::vector<std::string> Monitors() override { return app_.MonitorNames(); }
  bool PointerMoves() override { return app_.PointerMovesAllowed(); }
  void SetPointerMoves(bool on) override { app_.SetPointerToDefaultButton(on); }
  void PlayTest(int which, const VoiceCharacter* character) override {
    ScriptHost* host = app_.GetScriptHost();
    SoundChannelManager* channels = host ? host->SoundChannels() : nullptr;
    if (channels == nullptr) return;
    // The channels are the frame thread's: the test plays between two of its steps.
    app_.RunBetweenSteps([&] { (void)PlaySettingsTestSound(*channels, which, character); });
  }
  // The voice table is the frame thread's too.
  std::vector<VoiceCharacter> VoiceCharacters() override {
    std::vector<VoiceCharacter> characters;
    if (ScriptHost* host = app_.GetScriptHost())
      app_.RunBetweenSteps([&] { characters = host->GetVoices().characters; });
    return characters;
  }
  void SetVoiceCharacters(const std::vector<VoiceCharacter>& edited) override {
    ScriptHost* host = app_.GetScriptHost();
    if (!host) return;
    app_.RunBetweenSteps([&] {
      std::vector<VoiceCharacter>& characters = host->GetVoices().characters;
      for (size_t i = 0; i < std::min(characters.size(), edited.size()); ++i) {
        characters[i].setting = edited[i].setting;
        characters[i].enabled = edited[i].enabled;
      }
    });
  }

 private:
  GameDialogsHost& app_;
};

// The player's text settings put into the text on the screen: the scenario frame's windows and
// fonts while one runs; else the script's message window and choice list it names, the renderer
// it names (or its shared default one) and the main script's message history.
class GameTextLook final : public TextSettingsTarget {
 public:
  GameTextLook(GameDialogsHost& app, const UserConfig& user) : app_(app), user_(user) {}

  void ApplyTextSettings(const TextSettingsRequest& request) override {
    if (TgsFrame* frame = TheTgsFrame::Get()) {
      // The host has already weighed and clears the changed flag.
      frame->ApplyTextConfig(true, request.useRenderer, request.history, false, false);
      return;
    }
    ScriptHost* host = app_.GetScriptHost();
    if (!host) return;
    const UserConfig& user = user_;
    auto part = [&](uint32_t handle) {
      return handle != 0 ? host->Handles().Get<UiControl>(handle, ScriptObjectType::kGuiPart)
                         : nullptr;
    };
    if (UiControl* first = part(request.firstWidget);
        first && (first->GetKind() == kKindTextWindow || first->GetKind() == kKindScriptText)) {
      // Without a redraw: the shown page keeps its text and the next one takes the frame.
      if (auto* window = dynamic_cast<MessageTextWidget*>(first))
        // The colour is kept even before a page is drawn.
        (void)window->SetBackgroundColor(user.drawTextFrame, user.frameColor, user.frameAlpha,
                                         false);
    }
    if (UiControl* second = part(request.secondWidget);
        second && second->GetKind() == kKindImageList) {
      auto* list = static_cast<ImageListPart*>(second);
      // -1 only when the background is already so.
      (void)list->SetBackground(user.drawTextFrame, user.frameColor, user.frameAlpha);
      list->SetShowReadColors(user.markChosenChoices != 0);
    }
    if (request.useRenderer) {
      TextRenderer* renderer =
          request.renderer != 0
              ? host->Handles().Get<TextRenderer>(request.renderer, ScriptObjectType::kTextRenderer)
              : host->Extension<RenderNativeState>().DefaultRenderer();
      if (renderer) {
        const host::LOGFONTA& now = renderer->GetLogFont();
        // A renderer that cannot take the look keeps its own.
        (void)ApplyFontLook(*renderer, user, now.lfHeight, now.lfItalic != 0);
      }
    }
    if (request.history) {
      auto* text = dynamic_cast<ScriptMessageText*>(host->MessageText());
      const int32_t capacity = user.historyPages == 0 ? 0 : int32_t(user.historyPages) + 1;
      // Without the memory for it the history is off (no room), and the game plays on.
      if (text && text->HistoryCapacity() != capacity) (void)text->SetHistoryCapacity(capacity);
    }
  }

 private:
  GameDialogsHost& app_;
  const UserConfig& user_;
};

}  // namespace

std::unique_ptr<TextSettingsTarget> GameDialogs::MakeTextLook(GameDialogsHost& app,
                                                              const UserConfig& user) {
  return std::make_unique<GameTextLook>(app, user);
}

int GameDialogs::ShowSettingsSheet() {
  GameSheetHost services(app_);
  const host::HWND owner = app_.DialogOwner();
  // The flags and words start clear and are raised by what the sheet changed; the scripts read
  // them, so they are written between two of their steps.
  app_.RunBetweenSteps([this] {
    tgsState_.textSettingsChanged = 0;
    // A game that names no notice word shows no notice.
    (void)WriteConfiguredWord(kConfigFontNoticeWord, 0);
    (void)WriteConfiguredWord(kConfigFrameNoticeWord, 0);
  });
  const SettingsSheetResult result = RunSettingsSheet(user_, services, owner);
  app_.RunBetweenSteps([&] {
    if (result.textChanged) tgsState_.textSettingsChanged = 1;
    if (result.fontNotice) (void)WriteConfiguredWord(kConfigFontNoticeWord, 1);
    if (result.frameNotice) (void)WriteConfiguredWord(kConfigFrameNoticeWord, 1);
    // The text on the screen takes the new look now; the changed flag stays raised for the
    // scripts that ask for it.
    if (ScriptHost* host = app_.GetScriptHost(); host && result.textChanged)
      host->ApplyTextSettings({.changedOnly = true, .useRenderer = true, .history = true});
  });
  if (result.tooltipChanged && app_.GetScriptHost()) {
    if (PointerTip* tip = ThePointerTip()) {
      tip->SetTooltipOptions(user_.tooltipsOn != 0, user_.tooltipDelayMs, 0);
    }
  }
  return result.applied ? kSettingsSheetOk : kSettingsSheetCancel;
}

}  // namespace bw
