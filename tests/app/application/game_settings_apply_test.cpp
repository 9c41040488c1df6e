// The player's settings and the dialogs' script words as the running application applies them.
#include <gtest/gtest.h>

#include "app/application/game_app.h"
#include "app/application/started_game.h"
#include "app/dialogs/settings_sheet.h"
#include "graphics/device/display_manager.h"
#include "gui/image_list_part.h"
#include "gui/message_text_widget.h"
#include "input/input_binding_table.h"
#include "natives/render_natives.h"
#include "scenario/message/script_message_text.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_test_world.h"
#include "sound/sound_channel_manager.h"
#include "support/game_run.h"

namespace bw {
namespace {

// A started game with a joystick plugged in, whose main script waits for ever.
class SettingsApply : public test::DialogGameRun {
 protected:
  void SetUp() override {
    config.engine.joysticks = 1;
    ASSERT_EQ(backend.Joysticks().Attach({.buttonCount = 8, .axisCount = 2, .name = "pad"}), 0);
    ASSERT_TRUE(StartLooping(app));
    ASSERT_EQ(app.InitScript(), kInitScriptOk);
  }
  void TearDown() override { app.AppShutdown(0); }

  // The codes bound to an action on a device.
  std::vector<int> Codes(uint32_t action, int32_t device) {
    std::vector<int> codes;
    for (int32_t n = 0; n < app.GetBindings()->CountBindings(action, device); ++n) {
      uint8_t code = 0;
      EXPECT_EQ(app.GetBindings()->GetBinding(action, device, uint32_t(n), &code, nullptr), 0u);
      codes.push_back(code);
    }
    return codes;
  }

  GameApp app;
};

TEST_F(SettingsApply, JoystickButtonsAndMouseChoicesBecomeBindings) {
  UserConfig& user = app.GetUserConfig();
  user.actionButtons[0] = 5;  // decide: button 2
  user.actionButtons[1] = 2;  // a stick direction is never a button
  user.wheelButtonAction = 1, user.wheelAdvancesText = 0;
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(app.ApplyJoystickAssignments(), kAssignmentsApplied);
  }
  EXPECT_EQ(Codes(4, kDeviceFirstJoystick), std::vector<int>{5}) << "never doubled";
  EXPECT_TRUE(Codes(5, kDeviceFirstJoystick).empty());
  EXPECT_EQ(Codes(12, kDeviceMouse), (std::vector<int>{1, 2})) << "right and wheel: the menu";
  EXPECT_TRUE(Codes(4, kDeviceMouse).empty()) << "the wheel reads nothing on";
  user.actionButtons[0] = 0;
  EXPECT_EQ(app.ApplyJoystickAssignments(), kAssignmentsApplied);
  EXPECT_TRUE(Codes(4, kDeviceFirstJoystick).empty());
}

TEST_F(SettingsApply, TheSheetsTextLookReachesTheScriptsRendererAndHistory) {
  ScriptHost& host = *app.GetScriptHost();
  auto renderer = Global<TextRendererFactory>::Get()->CreateOutlineTextRenderer();
  ASSERT_EQ(renderer->SetFont(20, false, true, app.GetUserConfig().FontFaceName().c_str()), 0);
  host.Extension<RenderNativeState>().SetDefaultRenderer(
      host.Handles().HandleOf(ScriptObjectType::kTextRenderer, renderer.get()));
  app.GetUserConfig().historyPages = 20;
  dialogs.scripted.QueueAnswer(test::Steps("page:2;radio:1124:1;check:1126:1;1"));
  ASSERT_EQ(app.Dialogs().ShowSettingsSheet(), kSettingsSheetOk);
  EXPECT_EQ(renderer->GetStyle(), kTextShadow);
  const host::LOGFONTA& font = renderer->GetLogFont();
  EXPECT_EQ(std::tuple(font.lfWeight, font.lfHeight, font.lfItalic),
            std::tuple(host::FW_BOLD, -20, uint8_t{1}))
      << "a new bold font of the same height and slant";
  EXPECT_EQ(static_cast<ScriptMessageText*>(host.MessageText())->HistoryCapacity(), 21);
  EXPECT_TRUE(host.ApplyTextSettings({.changedOnly = true})) << "the change is still reported";
}

TEST_F(SettingsApply, WithoutAFrameTheScriptsWindowAndChoiceListTakeTheFrameLook) {
  ScriptHost& host = *app.GetScriptHost();
  UserConfig& user = app.GetUserConfig();
  user.drawTextFrame = 0, user.frameColor = 0x123456, user.frameAlpha = 77;
  user.markChosenChoices = 0;
  MessageTextWidget window;
  ImageListPart list;
  auto handle = [&](UiControl* part) {
    return host.Handles().HandleOf(ScriptObjectType::kGuiPart, part);
  };
  host.ApplyTextSettings({.firstWidget = handle(&list), .secondWidget = handle(&window)});
  EXPECT_TRUE(list.ShowsReadColors()) << "each takes only its own place";
  host.ApplyTextSettings({.firstWidget = handle(&window), .secondWidget = handle(&list)});
  // Setting what they already hold answers "unchanged".
  EXPECT_EQ(window.SetBackgroundColor(0, 0x123456, 77, false), kWidgetUnchanged);
  EXPECT_EQ(list.SetBackground(0, 0x123456, 77), -1);
  EXPECT_FALSE(list.ShowsReadColors());
}

TEST_F(SettingsApply, EachCharactersSwitchAndVolumeReachTheVoicesOnOk) {
  ScriptHost& host = *app.GetScriptHost();
  app.GetUserConfig().voiceOn = 1;
  VoiceTable& voices = host.GetVoices();
  voices.prefix = "OGG";
  voices.characters.resize(2);
  voices.characters[0].name = "MINA", voices.characters[1].name = "SORA";
  voices.aliases = {{"MINA", 0}, {"SORA", 1}};
  // The slider is the chosen character's volume, and every character's once unified.
  dialogs.scripted.QueueAnswer(
      test::Steps("page:3;item:1141:1;check:1076:0;slider:1055:100;check:1075:1;slider:1055:80;1"));
  ASSERT_EQ(app.Dialogs().ShowSettingsSheet(), kSettingsSheetOk);
  EXPECT_EQ(std::tuple(voices.characters[0].setting, voices.characters[1].setting,
                       app.GetUserConfig().voiceVolume),
            std::tuple(256u, 100u, 80u));
  SoundChannelManager& channels = *host.SoundChannels();
  EXPECT_EQ(channels.PlayVoiceByName(0, "SORA001", 0, nullptr), kVoiceSwitchedOff);
  EXPECT_NE(channels.PlayVoiceByName(0, "MINA001", 0, nullptr), kVoiceSwitchedOff);

  // The voice switch, which the page shows but cannot change, is the game's to set.
  app.GetUserConfig().voiceOn = 0;
  dialogs.scripted.QueueAnswer(test::Steps("page:3;1"));
  ASSERT_EQ(app.Dialogs().ShowSettingsSheet(), kSettingsSheetOk);
  EXPECT_EQ(channels.PlayVoiceByName(0, "MINA001", 0, nullptr), kVoiceSwitchedOff);
}

// The window page's drawing options as the next switch presents with them, on a game with a
// screen canvas: the drawing method when the screen is enlarged (texture or DirectDraw), the
// same in a window, the texture's size, the filter, the copy and the full screen's top place.
class DisplayOptions : public test::StartedGame {
 protected:
  // A wide desktop: full screen enlarges the 4:3 canvas between bars.
  DisplayOptions() {
    config.engine.canvas = 1;
    backend.SetDesktop({1280, 720, 32, {{{0, 0, 1280, 720}, {0, 0, 1280, 690}}}});
  }

  struct Presented {
    int backend = -1;
    int32_t textureWidth = 0;
    bool linear = false, topmost = false;
  };
  Presented InFullScreen() {
    Presented shown;
    EXPECT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
    const DisplayManager& display = app->GetDisplayManager();
    shown.backend = display.GetBackend();
    if (display.GetPresentationTexture())
      shown.textureWidth = display.GetPresentationTexture()->Width();
    shown.linear = display.GetPrimary() && display.GetPrimary()->PresentsLinear();
    shown.topmost = (app->MainWindow().GetExStyle() & WS_EX_TOPMOST) != 0;
    EXPECT_EQ(app->SwitchScreenMode(kSavedScreenWindow, 0, kSwitchUnforced), kSwitchDone);
    return shown;
  }
};

TEST_F(DisplayOptions, TheWindowPageDecidesHowTheNextSwitchPresents) {
  Start();
  const DisplayManager& display = app->GetDisplayManager();
  Presented shown = InFullScreen();
  EXPECT_EQ(std::tuple(shown.backend, shown.topmost), std::tuple(kBackendDirectDraw, true))
      << "as the engine starts: DirectDraw enlarges";
  EXPECT_EQ(display.GetBackend(), kBackendGdi) << "a window shows the canvas as it is";

  dialogs.scripted.QueueAnswer(
      test::Steps("page:6;item:1083:2;check:1185:0;check:1186:0;check:1187:0;check:1182:0;1"));
  ASSERT_EQ(app->Dialogs().ShowSettingsSheet(), kSettingsSheetOk);
  EXPECT_FALSE(display.CopyThroughDc());
  shown = InFullScreen();
  EXPECT_EQ(std::tuple(shown.backend, shown.textureWidth, shown.linear, shown.topmost),
            std::tuple(kBackendDirect3D, 640, false, false));
  EXPECT_EQ(display.GetBackend(), kBackendGdi) << "the method changes only when enlarged";

  dialogs.scripted.QueueAnswer(test::Steps("page:6;check:1184:1;check:1185:1;check:1186:1;1"));
  ASSERT_EQ(app->Dialogs().ShowSettingsSheet(), kSettingsSheetOk);
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenWindow, 0, kSwitchForced), kSwitchDone);
  EXPECT_EQ(display.GetBackend(), kBackendDirect3D) << "and now in a window too";
  EXPECT_EQ(display.GetPresentationTexture()->Width(), 1024) << "a power of two";
  EXPECT_TRUE(display.GetPrimary()->PresentsLinear());
}

// The system page's screen mode switches at once, as the menu's command does, whatever the
// sheet's end; the radio shows the mode that came of it. The save item asks a running frame.
TEST_F(SettingsApply, TheScreenModeRadioSwitchesAtOnceAndARunningFrameMayForbidSaving) {
  ASSERT_EQ(app.Config().display.screenMode, kSavedScreenWindow);
  dialogs.scripted.QueueAnswer(test::Steps("page:0;radio:1080:1;2"));
  EXPECT_EQ(app.Dialogs().ShowSettingsSheet(), kSettingsSheetCancel)
      << "the switch outlives Cancel";
  EXPECT_EQ(app.Config().display.screenMode, kSavedScreenFull);
  EXPECT_EQ(Dialogs().back().controls.at(1080).value, 1);
  dialogs.scripted.QueueAnswer(test::Steps("page:0;radio:1080:0;1"));
  EXPECT_EQ(app.Dialogs().ShowSettingsSheet(), kSettingsSheetOk);
  EXPECT_EQ(app.Config().display.screenMode, kSavedScreenWindow);

  // A running frame forbids saving through its word.
  TgsAppState& state = *static_cast<ScriptApplication&>(app).TgsState();
  const uint32_t word = app.GetScriptHost()->GetMemory().Allocate(4);
  state.config[kConfigSavePermissionWord] = int32_t(word);
  EXPECT_TRUE(app.Dialogs().FrameAllowsSaving()) << "no frame: the word is not asked";
  MemoryScriptFileSource files;
  FakeFrameHost frameHost;
  TgsFrame frame(nullptr, &files, &frameHost);
  ScopedGlobal<TgsFrame> running(&frame);
  EXPECT_FALSE(app.Dialogs().FrameAllowsSaving());
  app.GetScriptHost()->GetMemory().Write32(word, 1);
  EXPECT_TRUE(app.Dialogs().FrameAllowsSaving());
  for (int32_t none : {0, -4}) {
    app.GetScriptHost()->GetMemory().Write32(word, 0);
    state.config[kConfigSavePermissionWord] = none;
    EXPECT_TRUE(app.Dialogs().FrameAllowsSaving()) << "a word not named or refused forbids nothing";
  }
}

}  // namespace
}  // namespace bw
