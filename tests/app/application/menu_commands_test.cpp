// Label: threads
// The game application's accelerators and menu commands, the frame-pacing overrides and the
// nested priority lowering.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "app/application/game_app.h"
#include "effects/display_effect.h"
#include "host/cp932.h"
#include "host/input/key_state.h"
#include "host/message_queue.h"
#include "input/key_codes.h"
#include "sound/direct_sound_device.h"
#include "sound/sound_buffer.h"
#include "support/game_run.h"

namespace bw {
namespace {

using test::kLoopForever;
using test::Press;

// A dialog's one text as it holds it, in CP932.
std::vector<std::string> Texts(const char* utf8) {
  return {host::Cp932Literal(utf8)};
}

TEST(MenuCommandsTest, PriorityLoweringsNestAndAnUnmatchedRestoreKeepsZero) {
  GameApp app;
  EXPECT_EQ(app.RestoreFrameThreadPriority(), 0);
  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityLowered);
  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityAlreadyLow);
  EXPECT_EQ(app.RestoreFrameThreadPriority(), 2);
  EXPECT_EQ(app.RestoreFrameThreadPriority(), 1);
  EXPECT_EQ(app.PriorityLowerings(), 0u);

  // In the threaded mode with no frame thread running, the lowering is counted all the same.
  app.Config().engine.threadedDriving = 1;
  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityNoThread);
  EXPECT_EQ(app.PriorityLowerings(), 1u);

  // Switched off: refused, and the restore answers the count and keeps it.
  app.Config().pacing.priorityLoweringOff = 1;
  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityLoweringOff);
  EXPECT_EQ(app.RestoreFrameThreadPriority(), 1);
  EXPECT_EQ(app.PriorityLowerings(), 1u);
}

TEST(MenuCommandsTest, RunningEffectsAndLayerFiltersReachThePriorityThroughTheHooks) {
  {
    GameApp app;
    ASSERT_NE(EffectStartHook(), nullptr);
    EffectStartHook()();
    EXPECT_EQ(app.PriorityLowerings(), 1u);
    EffectEndHook()();
    EXPECT_EQ(app.PriorityLowerings(), 0u);
    EXPECT_FALSE(LowSpecMode());
    app.Config().pacing.priorityLoweringOff = 1;
    EXPECT_TRUE(LowSpecMode()) << "effects read the application's low-spec byte";
  }
  EXPECT_EQ(EffectStartHook(), nullptr) << "the application takes its hooks with it";
}

// A started game with menu 101, accelerators 102 and scripted dialogs.
class MenuCommands : public test::DialogGameRun {
 public:
  MenuCommands() {
    record.menuId = 101;
    record.acceleratorsId = 102;
    record.defaultScreenMode = kScreenBoth;
  }
  ~MenuCommands() override { host::ResetKeyState(); }

  void Command(GameApp& app, int id, void* request = nullptr) {
    app.MainWindow().SendMessage(host::WM_COMMAND, static_cast<host::WPARAM>(id),
                                 reinterpret_cast<host::LPARAM>(request));
  }
  void Key(uint8_t virtualKey, bool down, bool alt = false) {
    host::InputEvent event;
    event.kind = down ? host::InputEventKind::kKeyDown : host::InputEventKind::kKeyUp;
    event.virtualKey = virtualKey;
    event.altDown = alt;
    backend.QueueEvent(event);
  }
};

TEST_F(MenuCommands, AcceleratorKeysBecomeCommandsUnlessTheirItemIsGreyed) {
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  auto press = [&](uint8_t key, bool down, bool alt = false) {
    Key(key, down, alt);
    app.PumpMessages(true);
  };
  // One batch of events: Shift is read as it was when V's message was made, though its
  // release is in already when the messages are handled.
  Key('V', true);  // no Shift: an ordinary key
  Key('V', false);
  Key(kVkShift, true);
  Key('L', true);  // a command with no action
  Key('L', false);
  Key('V', true);
  Key('V', false);
  Key(kVkShift, false);
  app.PumpMessages(true);
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs()[0].templateId, 111) << "Shift+V is the version dialog";

  press(kVkReturn, true, true);
  press(kVkReturn, false, true);
  EXPECT_EQ(app.Config().display.screenMode, kSavedScreenFull)
      << "Alt+Enter switches the screen mode";

  // The permission greys the item, and the key then does nothing.
  app.SetMenuItemEnabled(4, false);
  press(kVkReturn, true, true);
  EXPECT_EQ(app.Config().display.screenMode, kSavedScreenFull);
  app.AppShutdown(0);
}

TEST_F(MenuCommands, TheScreenModeTogglesAndAFailedMonitorChoiceKeepsTheWindow) {
  config.pacing.vsyncMode = kVSyncAlways;
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  DisplaySettings& saved = app.Config().display;
  ASSERT_EQ(saved.screenMode, kSavedScreenWindow);

  Command(app, kCmdScreenMode);
  EXPECT_EQ(saved.screenMode, kSavedScreenFull);
  EXPECT_EQ(saved.fullScreenDepth, app.GetDisplayManager().ChosenDepth());
  EXPECT_NE(app.GetDisplayManager().VerticalBlankWait(), 0u) << "the pacing follows the new mode";
  Command(app, kCmdScreenMode);
  EXPECT_EQ(saved.screenMode, kSavedScreenWindow);
  EXPECT_EQ(saved.fullScreenDepth, 3);

  // A monitor that is not there: the player is told and the window stays.
  app.GetUserConfig().monitorNumber = 9;
  MessageTexts();
  Command(app, kCmdScreenMode);
  EXPECT_EQ(saved.screenMode, kSavedScreenWindow);
  EXPECT_EQ(saved.fullScreenDepth, 3);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"画面モード変更に失敗"});
  EXPECT_EQ(app.DisplayFailure(), kDisplayOk);

  app.GetUserConfig().monitorNumber = 0;
  app.SetMenuItemEnabled(4, false);
  Command(app, kCmdScreenMode);
  EXPECT_EQ(saved.screenMode, kSavedScreenWindow) << "the permission is off";
  app.AppShutdown(0);
}

// The screen-mode permission shows the maximise box, on the platform's window too, from any
// thread; the player's maximise there is the screen-mode switch, and a window comes back without
// the box unless the scripts keep it.
TEST_F(MenuCommands, TheScreenModePermissionShowsTheMaximiseBoxThatSwitchesTheMode) {
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  const host::HWND main = app.MainWindow().GetHandle();
  auto boxShown = [&] {
    const bool style = (app.MainWindow().GetStyle() & WS_MAXIMIZEBOX) != 0;
    EXPECT_EQ(backend.Window(main)->maximizable, style) << "the platform's window follows";
    return style;
  };
  ASSERT_TRUE(boxShown()) << "every game's style has it, and the window is made with it";
  app.SetMenuItemEnabled(4, false);
  EXPECT_FALSE(boxShown());
  std::thread([&] { app.SetMenuItemEnabled(4, true); }).join();
  app.PumpMessages(true);
  EXPECT_TRUE(boxShown()) << "set on the window's thread";

  host::InputEvent maximise;
  maximise.kind = host::InputEventKind::kMaximize;
  backend.QueueEvent(maximise);
  app.PumpMessages(true);
  EXPECT_EQ(app.Config().display.screenMode, kSavedScreenFull);
  Command(app, kCmdScreenMode);
  ASSERT_EQ(app.Config().display.screenMode, kSavedScreenWindow);
  EXPECT_FALSE(boxShown()) << "taken away on the way back";
  app.SetWindowFeature(0, 1);
  Command(app, kCmdScreenMode);
  Command(app, kCmdScreenMode);
  EXPECT_TRUE(boxShown()) << "kept by the scripts' choice";
  app.AppShutdown(0);
}

TEST_F(MenuCommands, ReturnToTitleAsksAndOnlyAYesWithThePermissionInterrupts) {
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  Command(app, kCmdReturnToTitle);
  EXPECT_TRUE(Dialogs().empty()) << "the permission starts off";

  app.SetMenuItemEnabled(3, true);
  dialogs.scripted.QueueAnswer(Press(kIdNo));
  Command(app, kCmdReturnToTitle);
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs()[0].templateId, 114);
  EXPECT_EQ(Dialogs()[0].texts, Texts("タイトルに戻ります。\nよろしいですか？"));
  EXPECT_EQ(app.InterruptRequest(), kInterruptNone);

  // While the question is up the state says so, and another command waits its turn.
  uint8_t during = 0;
  dialogs.WhileNextDialog([&](const host::Dialog&) {
    during = app.ModalState();
    Command(app, kCmdReturnToTitle);
  });
  dialogs.scripted.QueueAnswer(Press(kIdYes));
  Command(app, kCmdReturnToTitle);
  EXPECT_EQ(during, kModalReturnQuestion);
  EXPECT_EQ(Dialogs().size(), 2u);
  EXPECT_EQ(app.InterruptRequest(), kInterruptRestart);
  EXPECT_EQ(app.ModalState(), kModalNone);
  app.RequestInterrupt(kInterruptNone);

  // Withdrawn while the question was up: the yes is refused with the second dialog.
  dialogs.WhileNextDialog([&](const host::Dialog&) { app.SetMenuItemEnabled(3, false); });
  dialogs.scripted.QueueAnswer(Press(kIdYes));
  Command(app, kCmdReturnToTitle);
  ASSERT_EQ(Dialogs().size(), 4u);
  EXPECT_EQ(Dialogs()[3].templateId, 112);
  EXPECT_EQ(Dialogs()[3].texts, Texts("現在の状態でタイトルに戻ることは出来ません。\r\n"
                                      "行える状態になってから再度、実行して下さい。"));
  EXPECT_EQ(app.InterruptRequest(), kInterruptNone);
  app.AppShutdown(0);
}

class PacingTest : public test::GameRun {
 public:
  PacingTest() { config.pacing.vsyncMode = 1; }  // never wait
};

TEST_F(PacingTest, VSyncOverridesNestAndAnUnmatchedPopDoesNothing) {
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  DisplayManager& display = app.GetDisplayManager();
  app.UpdateFramePacing(-1);
  ASSERT_EQ(display.VerticalBlankWait(), 0u);

  EXPECT_EQ(app.PushVSyncWait(), 1u);
  EXPECT_EQ(std::tuple(display.VerticalBlankWait(), app.Config().pacing.vsyncMode,
                       app.GetFrameClock().UsesPerformanceCounter()),
            std::tuple(1u, kVSyncAlways, false))
      << "the display paces the frames";
  EXPECT_EQ(app.PushVSyncWait(), 0u) << "already waiting";
  EXPECT_EQ(app.PopVSyncWait(), 0u);
  EXPECT_EQ(display.VerticalBlankWait(), 1u) << "one push still holds";
  EXPECT_EQ(app.PopVSyncWait(), 1u);
  EXPECT_EQ(std::tuple(display.VerticalBlankWait(), app.Config().pacing.vsyncMode),
            std::tuple(0u, 1))
      << "the configured mode is back";

  // An unmatched pop leaves the count at 0, so the next push forces the wait again.
  EXPECT_EQ(app.PopVSyncWait(), 0u);
  EXPECT_EQ(app.PushVSyncWait(), 1u);
  EXPECT_EQ(app.PopVSyncWait(), 1u);

  app.Config().pacing.scriptsMayForceVSync = 0;
  EXPECT_EQ(app.PushVSyncWait(), 0u);
  EXPECT_EQ(display.VerticalBlankWait(), 0u);
  EXPECT_EQ(app.PopVSyncWait(), 0u);

  // The configured wait: interval + 1 blanks, with the frame clock unpaced.
  app.Config().pacing.vsyncMode = kVSyncAlways;
  app.Config().pacing.vsyncIntervalMinus1 = 2;
  app.UpdateFramePacing(30);
  EXPECT_EQ(std::tuple(display.VerticalBlankWait(), app.GetFrameClock().Rate()),
            std::tuple(3u, 30));
  app.AppShutdown(0);
}

TEST_F(PacingTest, PreciseTimingOverridesNestAndRestoreOnlyWhatWasConfigured) {
  WriteGame(kLoopForever);
  {
    GameApp app;
    ASSERT_TRUE(Start(app));
    app.UpdateFramePacing(-1);
    ASSERT_TRUE(app.GetFrameClock().UsesPerformanceCounter());
    EXPECT_EQ(app.PushPreciseTimingOff(), 1u);
    EXPECT_FALSE(app.GetFrameClock().UsesPerformanceCounter());
    EXPECT_EQ(app.PopPreciseTimingOff(), 1u);
    EXPECT_TRUE(app.GetFrameClock().UsesPerformanceCounter());
    EXPECT_EQ(app.PopPreciseTimingOff(), 0u) << "unmatched";
    app.AppShutdown(0);
  }
  config.pacing.preciseTiming = 0;
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  app.UpdateFramePacing(-1);
  EXPECT_EQ(app.PushPreciseTimingOff(), 0u);
  EXPECT_EQ(app.PopPreciseTimingOff(), 0u);
  EXPECT_FALSE(app.GetFrameClock().UsesPerformanceCounter());
  app.AppShutdown(0);
}

TEST_F(PacingTest, ARestartedMainDropsTheOverridesTheOldOneHeld) {
  config.pacing.preciseTiming = 0;  // the virtual clock moves by the millisecond pacing's sleeps
  WriteGame(kLoopForever);
  GameApp app;
  bool checked = false;
  test::List(app.FirstTimers(), test::Once([&] {
               app.UpdateFramePacing(-1);
               app.PushVSyncWait();
               app.PushVSyncWait();
               app.PushPreciseTimingOff();
               app.RequestInterrupt(kInterruptRestart);
             }),
             5 * test::kPeriodMs, 0, 1);
  test::List(app.FirstTimers(), test::Once([&] {
               EXPECT_EQ(
                   std::tuple(app.VsyncOverrides(), app.PreciseTimingOverrides(),
                              app.GetDisplayManager().VerticalBlankWait(),
                              app.Config().pacing.vsyncMode, app.Config().pacing.preciseTiming),
                   std::tuple(0u, 0u, 0u, 1, 0));
               checked = true;
               CloseAnsweringYes(app);
             }),
             20 * test::kPeriodMs, 0, 1);
  EXPECT_EQ(RunGame(app), kExitNormal);
  EXPECT_TRUE(checked);
}

}  // namespace
}  // namespace bw
