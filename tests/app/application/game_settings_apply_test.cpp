// What the application does with the player's settings and the dialogs' words: the joystick and
// mouse bindings, the text look the sheet hands to the live text, the load word and the
// save-permission word of a running scenario frame.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/application/game_app.h"
#include "app/application/game_services.h"
#include "app/dialogs/settings_sheet.h"
#include "graphics/text/text_renderer.h"
#include "input/input_binding_table.h"
#include "input/mouse.h"
#include "natives/render_natives.h"
#include "scenario/message/script_message_text.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_host.h"
#include "support/game_run.h"

namespace bw {
namespace {

// A started game with a joystick plugged in, whose main script waits for ever.
class SettingsApply : public test::DialogGameRun {
 protected:
  void SetUp() override {
    config.engine.joysticks = 1;
    ASSERT_EQ(backend.Joysticks().Attach({.buttonCount = 8, .axisCount = 2, .name = "pad"}), 0);
    WriteGame(test::kLoopForever);
    ASSERT_TRUE(Start(app));
    ASSERT_EQ(app.InitScript(), kInitScriptOk);
  }
  void TearDown() override { app.AppShutdown(0); }

  GameApp app;
};

// The codes bound to an action on a device, in order.
std::vector<int> Codes(InputBindingTable& bindings, uint32_t action, int32_t device) {
  std::vector<int> codes;
  for (int32_t n = 0; n < bindings.CountBindings(action, device); ++n) {
    uint8_t code = 0;
    if (bindings.GetBinding(action, device, uint32_t(n), &code, nullptr) == 0)
      codes.push_back(code);
  }
  return codes;
}

TEST_F(SettingsApply, JoystickButtonsAndMouseChoicesBecomeBindings) {
  InputBindingTable& bindings = *app.GetBindings();
  UserConfig& user = app.GetUserConfig();
  user.joystickEnabled = 1;
  user.actionButtons[0] = 5;  // decide: button 2
  user.actionButtons[1] = 2;  // a stick direction is never a button
  user.actionButtons[3] = 9;  // save
  user.wheelButtonAction = 1;
  user.wheelAdvancesText = 0;
  ASSERT_EQ(app.ApplyJoystickAssignments(), kAssignmentsApplied);
  EXPECT_EQ(Codes(bindings, 4, kDeviceFirstJoystick), std::vector<int>{5});
  EXPECT_TRUE(Codes(bindings, 5, kDeviceFirstJoystick).empty());
  EXPECT_EQ(Codes(bindings, 7, kDeviceFirstJoystick), std::vector<int>{9});
  EXPECT_EQ(Codes(bindings, 0, kDeviceFirstJoystick), std::vector<int>{0}) << "the stick stays";
  EXPECT_EQ(Codes(bindings, 12, kDeviceMouse), (std::vector<int>{1, 2}))
      << "right and wheel buttons open the system menu";
  EXPECT_EQ(Codes(bindings, 4, kDeviceMouse), std::vector<int>{}) << "the wheel reads nothing on";

  // Again with other choices: replaced and removed, never doubled.
  user.actionButtons[0] = 6;
  user.actionButtons[3] = 0;
  user.rightButtonAction = 3;
  user.wheelButtonAction = 0;
  user.wheelAdvancesText = 1;
  ASSERT_EQ(app.ApplyJoystickAssignments(), kAssignmentsApplied);
  ASSERT_EQ(app.ApplyJoystickAssignments(), kAssignmentsApplied);
  EXPECT_EQ(Codes(bindings, 4, kDeviceFirstJoystick), std::vector<int>{6});
  EXPECT_TRUE(Codes(bindings, 7, kDeviceFirstJoystick).empty());
  EXPECT_TRUE(Codes(bindings, 12, kDeviceMouse).empty());
  EXPECT_EQ(Codes(bindings, 6, kDeviceMouse), std::vector<int>{1}) << "auto play";
  EXPECT_EQ(Codes(bindings, 4, kDeviceMouse), std::vector<int>{kButtonWheelDown});
  EXPECT_EQ(Codes(bindings, 4, kDeviceKeyboard).size(), 3u) << "the keys are left alone";
}

TEST_F(SettingsApply, TheSheetsTextLookReachesTheScriptsRendererAndHistory) {
  ScriptHost& host = *app.GetScriptHost();
  std::unique_ptr<TextRenderer> renderer =
      Global<TextRendererFactory>::Get()->CreateOutlineTextRenderer();
  ASSERT_TRUE(renderer);
  ASSERT_EQ(renderer->SetFont(20, false, true, app.GetUserConfig().FontFaceName().c_str()), 0);
  host.Extension<RenderNativeState>().SetDefaultRenderer(
      host.Handles().HandleOf(ScriptObjectType::kTextRenderer, renderer.get()));
  app.GetUserConfig().historyPages = 20;

  host::DialogAnswer answer;
  std::string error;
  ASSERT_TRUE(host::ParseDialogAnswer("page:2;radio:1124:1;check:1126:1;1", &answer, &error))
      << error;
  dialogs.scripted.QueueAnswer(answer);
  ASSERT_EQ(app.ShowSettingsSheet(), kSettingsSheetOk);
  EXPECT_EQ(renderer->GetStyle(), kTextShadow);
  EXPECT_EQ(renderer->GetLogFont().lfWeight, host::FW_BOLD) << "a new bold font";
  EXPECT_EQ(renderer->GetLogFont().lfHeight, -20) << "its height and slant kept";
  EXPECT_EQ(renderer->GetLogFont().lfItalic, 1);
  auto* text = dynamic_cast<ScriptMessageText*>(host.MessageText());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->HistoryCapacity(), 21);
  EXPECT_TRUE(host.ApplyTextSettings({.changedOnly = true}))
      << "the scripts still see that the settings changed";
}

TEST_F(SettingsApply, TheLoadWordIsRaisedAndAFrameMayForbidSaving) {
  ScriptHost& host = *app.GetScriptHost();
  TgsAppState& state = *static_cast<ScriptApplication&>(app).TgsState();
  const uint32_t loadWord = host.GetMemory().Allocate(8);
  const uint32_t permission = loadWord + 4;
  ASSERT_NE(loadWord, 0u);
  state.config[kConfigLoadWord] = int32_t(loadWord);
  state.config[kConfigSavePermissionWord] = int32_t(permission);

  app.RunBetweenSteps([&] { app.RequestLoadFromDialog("C:\\GAME\\SAVEDATA\\DATA0200.SAV"); });
  uint32_t value = 0;
  ASSERT_TRUE(host.GetMemory().Read32(loadWord, value));
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(state.loadedGame, 1);
  EXPECT_EQ(host.CurrentSaveName(), "C:\\GAME\\SAVEDATA\\DATA0200.SAV");

  EXPECT_TRUE(app.FrameAllowsSaving()) << "no frame: the word is not asked";
  MemoryScriptFileSource files;
  FakeFrameHost frameHost;
  TgsFrame frame(nullptr, &files, &frameHost);
  ScopedGlobal<TgsFrame> running(&frame);
  EXPECT_FALSE(app.FrameAllowsSaving());
  host.GetMemory().Write32(permission, 1);
  EXPECT_TRUE(app.FrameAllowsSaving());
  state.config[kConfigSavePermissionWord] = 0;
  host.GetMemory().Write32(permission, 0);
  EXPECT_TRUE(app.FrameAllowsSaving()) << "no word named: saving stays allowed";
  state.config[kConfigSavePermissionWord] = -4;
  EXPECT_TRUE(app.FrameAllowsSaving()) << "a refused address names no word";
}

}  // namespace
}  // namespace bw
