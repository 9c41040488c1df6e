// Label: threads
// The game application's accelerators and menu commands, the frame-pacing overrides and the
// nested priority lowering.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/application/game_app.h"
#include "app/application/started_game.h"
#include "effects/display_effect.h"
#include "host/cp932.h"
#include "host/input/key_state.h"
#include "host/input_event.h"
#include "host/message_queue.h"
#include "input/key_codes.h"
#include "natives/native_families.h"
#include "script/native_args.h"
#include "script/native_names.h"
#include "support/game_run.h"
#include "support/spin_until.h"

namespace bw {
namespace {

using test::kLoopForever;
using test::Press;

// Native number called on the application's script host with the given argument words, as a
// script's call reaches it.
int32_t CallNative(GameApp& app, uint32_t number, std::initializer_list<uint32_t> words) {
  ScriptHost& host = *app.GetScriptHost();
  GuestMemory& memory = host.GetMemory();
  uint32_t args = memory.Allocate(static_cast<uint32_t>(words.size() * 4 + 4));
  uint32_t at = args;
  for (uint32_t w : words) memory.Write32(at, w), at += 4;
  for (const NativeFamily& family : AllNativeFamilies()) {
    for (const NativeEntry& e : family.entries) {
      if (e.number != number) continue;
      NativeArgs a(host, memory, args);
      return e.routine(a);
    }
  }
  ADD_FAILURE() << "native " << number << " is in no family";
  return 0;
}

// A key going down or up, Alt held or not.
host::InputEvent KeyEvent(uint8_t virtualKey, bool down, bool alt) {
  host::InputEvent event;
  event.kind = down ? host::InputEventKind::kKeyDown : host::InputEventKind::kKeyUp;
  event.virtualKey = virtualKey, event.altDown = alt;
  return event;
}

// A dialog's one text as it holds it, in CP932.
std::vector<std::string> Texts(const char* utf8) {
  return {host::Cp932Literal(utf8)};
}

// The lowerings nest, and the effects reach them through the hooks the application sets for its
// lifetime; an unmatched restore keeps zero.
TEST(MenuCommandsTest, PriorityLoweringsNestAndRunningEffectsReachThemThroughTheHooks) {
  {
    GameApp app;
    ASSERT_NE(EffectStartHook(), nullptr);
    EffectStartHook()();
    EXPECT_EQ(app.PriorityLowerings(), 1u);
    EffectEndHook()();
    EXPECT_EQ(app.PriorityLowerings(), 0u);
    EXPECT_FALSE(LowSpecMode());

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
  void TearDown() override { app.AppShutdown(0); }

  void Command(int id, void* request = nullptr) {
    app.MainWindow().SendMessage(host::WM_COMMAND, static_cast<host::WPARAM>(id),
                                 reinterpret_cast<host::LPARAM>(request));
  }
  void Key(uint8_t virtualKey, bool down, bool alt = false) {
    backend.QueueEvent(KeyEvent(virtualKey, down, alt));
  }

  GameApp app;
};

TEST_F(MenuCommands, AcceleratorKeysBecomeCommandsUnlessTheirItemIsGreyed) {
  ASSERT_TRUE(StartLooping(app));
  auto press = [&](uint8_t key, bool down, bool alt = false) {
    Key(key, down, alt);
    EXPECT_EQ(app.PumpMessages(true), kPumpEmpty);
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
  EXPECT_EQ(app.PumpMessages(true), kPumpEmpty);
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs()[0].templateId, 111) << "Shift+V is the version dialog";

  press(kVkReturn, true, true);
  press(kVkReturn, false, true);
  EXPECT_EQ(app.Config().display.screenMode, kSavedScreenFull)
      << "Alt+Enter switches the screen mode";

  // The permission greys the item, and the key then does nothing.
  EXPECT_NE(app.SetMenuItemEnabled(4, false), kMenuItemUnknown);
  press(kVkReturn, true, true);
  EXPECT_EQ(app.Config().display.screenMode, kSavedScreenFull);
}

// The screen-mode permission shows the maximise box, on the platform's window too, from any
// thread (the box's command is MenuWindow's); a window comes back without the box unless the
// scripts keep it.
TEST_F(MenuCommands, TheScreenModeTogglesUnderItsPermissionWhichShowsTheMaximiseBox) {
  config.pacing.vsyncMode = kVSyncAlways;
  ASSERT_TRUE(StartLooping(app));
  const host::HWND main = app.MainWindow().GetHandle();
  auto boxShown = [&] {
    const bool style = (app.MainWindow().GetStyle() & WS_MAXIMIZEBOX) != 0;
    EXPECT_EQ(backend.Window(main)->maximizable, style) << "the platform's window follows";
    return style;
  };
  ASSERT_TRUE(boxShown()) << "every game's style has it, and the window is made with it";
  DisplaySettings& saved = app.Config().display;
  ASSERT_EQ(saved.screenMode, kSavedScreenWindow);

  Command(kCmdScreenMode);
  EXPECT_EQ(std::tuple(saved.screenMode, saved.fullScreenDepth),
            std::tuple(kSavedScreenFull, app.GetDisplayManager().ChosenDepth()));
  EXPECT_NE(app.GetDisplayManager().VerticalBlankWait(), 0u) << "the pacing follows the new mode";
  Command(kCmdScreenMode);
  EXPECT_EQ(std::tuple(saved.screenMode, saved.fullScreenDepth), std::tuple(kSavedScreenWindow, 3));
  EXPECT_FALSE(boxShown()) << "taken away on the way back";

  // A monitor that is not there: the player is told and the window stays.
  app.GetUserConfig().monitorNumber = 9;
  MessageTexts();
  Command(kCmdScreenMode);
  EXPECT_EQ(std::tuple(saved.screenMode, saved.fullScreenDepth), std::tuple(kSavedScreenWindow, 3));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"画面モード変更に失敗"});
  EXPECT_EQ(app.DisplayFailure(), kDisplayOk);

  app.GetUserConfig().monitorNumber = 0;
  EXPECT_NE(app.SetMenuItemEnabled(4, false), kMenuItemUnknown);
  Command(kCmdScreenMode);
  EXPECT_EQ(saved.screenMode, kSavedScreenWindow) << "the permission is off";
  EXPECT_FALSE(boxShown());
  std::atomic<bool> set = false;
  std::thread other([&] {
    EXPECT_NE(app.SetMenuItemEnabled(4, true), kMenuItemUnknown);
    set = true;
  });
  EXPECT_TRUE(test::SpinUntil(
      [&] {
        EXPECT_EQ(app.PumpMessages(true), kPumpEmpty);
        return set.load();
      },
      "the window thread serving the box's request"));
  other.join();
  EXPECT_TRUE(boxShown()) << "set on the window's thread";
  app.SetWindowFeature(0, 1);
  Command(kCmdScreenMode);
  Command(kCmdScreenMode);
  ASSERT_EQ(saved.screenMode, kSavedScreenWindow);
  EXPECT_TRUE(boxShown()) << "kept by the scripts' choice";
}

// A platform that keeps its window a window fails the switch: the game goes on in the window,
// with its frame and menu, and the failure is told at the exit.
TEST_F(MenuCommands, FullScreenThePlatformRefusesLeavesTheWindowAndIsAFailedSwitch) {
  ASSERT_TRUE(StartLooping(app));
  const host::HWND main = app.MainWindow().GetHandle();
  const uint32_t style = app.MainWindow().GetStyle();
  DisplaySettings& saved = app.Config().display;
  backend.RefuseFullScreen(true);
  Command(kCmdScreenMode);
  EXPECT_EQ(std::tuple(saved.screenMode, saved.fullScreenDepth), std::tuple(kSavedScreenWindow, 3));
  EXPECT_EQ(std::tuple(app.DisplayFailure(), app.GetDisplayManager().ScreenState(),
                       app.MainWindow().GetStyle(), backend.Window(main)->fullScreen),
            std::tuple(kDisplaySwitchFailed, kScreenWindow, style, false));
  EXPECT_NE(dialogs.scripted.AttachedMenu(main), nullptr) << "the window keeps its menu";

  backend.RefuseFullScreen(false);
  Command(kCmdScreenMode);
  EXPECT_EQ(std::tuple(saved.screenMode, backend.Window(main)->fullScreen),
            std::tuple(kSavedScreenFull, true));
}

// Native 3's kind 0 shows the box whatever the permission held: the way back to a window took the
// box while the permission stayed on.
TEST_F(MenuCommands, TheScriptsMaximiseBoxFollowsTheirValueWhateverThePermissionHeld) {
  ASSERT_TRUE(StartLooping(app));
  ASSERT_EQ(app.InitScript(), kInitScriptOk);
  auto boxShown = [&] { return (app.MainWindow().GetStyle() & WS_MAXIMIZEBOX) != 0; };
  Command(kCmdScreenMode);
  Command(kCmdScreenMode);
  ASSERT_EQ(app.Config().display.screenMode, kSavedScreenWindow);
  ASSERT_FALSE(boxShown());
  ASSERT_TRUE(app.MenuItemEnabled(4));
  CallNative(app, Native::kSetWindowFeature, {0, 1});
  EXPECT_TRUE(boxShown());
  CallNative(app, Native::kSetWindowFeature, {0, 0});
  EXPECT_FALSE(boxShown() || app.MenuItemEnabled(4));
}

// The box natives' icon kinds: the four kinds and none for any other.
TEST_F(MenuCommands, AScriptBoxShowsTheIconOfItsKindAndNoneForAnyOther) {
  ASSERT_TRUE(StartLooping(app));
  ASSERT_EQ(app.InitScript(), kInitScriptOk);
  const struct {
    uint32_t kind;
    uint32_t icon;
  } kCases[] = {{0, 0},
                {1, host::MB_ICONWARNING},
                {2, host::MB_ICONINFORMATION},
                {3, host::MB_ICONQUESTION},
                {4, host::MB_ICONERROR},
                {5, 0}};
  GuestMemory& memory = app.GetScriptHost()->GetMemory();
  const uint32_t text = memory.AllocateCopy({reinterpret_cast<const uint8_t*>("a"), 1}, true);
  for (const auto& c : kCases) {
    CallNative(app, Native::kMessageBox, {text, text, c.kind});
    const std::vector<host::MessageBoxRequest> boxes = backend.MessageBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().style & host::MB_ICONMASK, c.icon) << "kind " << c.kind;
  }
}

// In the threaded mode the frame thread's natives 3 and 4 ask the window thread for the box while
// the window thread switches the screen, which reads and rewrites the same style.
TEST_F(MenuCommands, TheFrameThreadAsksTheWindowThreadForTheMaximiseBox) {
  config.engine.threadedDriving = 1;
  WriteGame(
      "l:\n native native:3, on, host:0\n native native:4, off, host:0\n"
      " native native:4, on4, host:0\n wait\n jmp l\n"
      "on: .word 0, 1\noff: .word 11, 0\non4: .word 11, 1\n");
  // Listed before the frame thread runs the service.
  auto* turns = test::List(app.FirstTimers(), std::make_unique<test::CountingTask>());
  ASSERT_TRUE(Start(app));
  ASSERT_TRUE(app.FrameThread().IsRunning());
  for (int i = 0; i < 6; ++i) {
    const int mode = i % 2 == 0 ? kSavedScreenFull : kSavedScreenWindow;
    EXPECT_EQ(app.RequestScreenMode(mode, 0, kSwitchForced), kSwitchDone);
    const int at = turns->updates;
    ASSERT_TRUE(test::SpinUntil(
        [&] {
          EXPECT_EQ(app.PumpMessages(true), kPumpEmpty);
          return turns->updates > at + 2;
        },
        "frame turns whose natives ask for the box"));
  }
  app.FrameThread().RequestStop();
  host::MSG msg;
  while (host::GetMessage(&msg, host::HWND{}, 0, 0) > 0) host::DispatchMessage(msg);
  EXPECT_TRUE(app.MenuItemEnabled(4));
}

TEST_F(MenuCommands, ReturnToTitleAsksAndOnlyAYesWithThePermissionInterrupts) {
  ASSERT_TRUE(StartLooping(app));
  Command(kCmdReturnToTitle);
  EXPECT_TRUE(Dialogs().empty()) << "the permission starts off";

  EXPECT_NE(app.SetMenuItemEnabled(3, true), kMenuItemUnknown);
  dialogs.scripted.QueueAnswer(Press(kIdNo));
  Command(kCmdReturnToTitle);
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(std::tuple(Dialogs()[0].templateId, Dialogs()[0].texts, app.InterruptRequest()),
            std::tuple(114, Texts("タイトルに戻ります。\nよろしいですか？"), kInterruptNone));

  // While the question is up the state says so, and another command waits its turn.
  uint8_t during = 0;
  dialogs.WhileNextDialog([&](const host::Dialog&) {
    during = app.ModalState();
    Command(kCmdReturnToTitle);
  });
  dialogs.scripted.QueueAnswer(Press(kIdYes));
  Command(kCmdReturnToTitle);
  EXPECT_EQ(std::tuple(during, Dialogs().size(), app.InterruptRequest(), app.ModalState()),
            std::tuple(kModalReturnQuestion, 2u, kInterruptRestart, kModalNone));
  app.RequestInterrupt(kInterruptNone);

  // Withdrawn while the question was up: the yes is refused with the second dialog.
  dialogs.WhileNextDialog(
      [&](const host::Dialog&) { EXPECT_NE(app.SetMenuItemEnabled(3, false), kMenuItemUnknown); });
  dialogs.scripted.QueueAnswer(Press(kIdYes));
  Command(kCmdReturnToTitle);
  ASSERT_EQ(Dialogs().size(), 4u);
  EXPECT_EQ(Dialogs()[3].templateId, 112);
  EXPECT_EQ(Dialogs()[3].texts, Texts("現在の状態でタイトルに戻ることは出来ません。\r\n"
                                      "行える状態になってから再度、実行して下さい。"));
  EXPECT_EQ(app.InterruptRequest(), kInterruptNone);
}

class PacingTest : public test::GameRun {
 public:
  PacingTest() { config.pacing.vsyncMode = 1; }  // never wait
};

TEST_F(PacingTest, VSyncAndPreciseTimingOverridesNestAndAnUnmatchedPopDoesNothing) {
  GameApp app;
  ASSERT_TRUE(StartLooping(app));
  DisplayManager& display = app.GetDisplayManager();
  app.UpdateFramePacing(-1);
  ASSERT_EQ(display.VerticalBlankWait(), 0u);
  ASSERT_TRUE(app.GetFrameClock().UsesPerformanceCounter());
  EXPECT_EQ(app.PushPreciseTimingOff(), 1u);
  EXPECT_FALSE(app.GetFrameClock().UsesPerformanceCounter());
  EXPECT_EQ(app.PopPreciseTimingOff(), 1u);
  EXPECT_TRUE(app.GetFrameClock().UsesPerformanceCounter());
  EXPECT_EQ(app.PopPreciseTimingOff(), 0u) << "unmatched";

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

TEST_F(PacingTest, PreciseTimingOffInTheSettingsIsNotOverridden) {
  config.pacing.preciseTiming = 0;
  GameApp app;
  ASSERT_TRUE(StartLooping(app));
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
               EXPECT_EQ(app.PushVSyncWait(), 1u) << "the first override changes the pacing";
               EXPECT_EQ(app.PushVSyncWait(), 0u) << "a nested one does not";
               (void)app.PushPreciseTimingOff();  // its change depends on the pacing asked
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

// The full-screen menu window: opened by Alt and F10 and by the pointer resting on the top edge,
// placed over the picture with the game's menu, its system commands, and the game's own system
// commands and movie requests.
class MenuWindow : public test::StartedGame {
 protected:
  void StartInFullScreen() {
    Start();
    ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
  }
  bool MenuShown() {
    return app->GetMenuWindow().IsWindow() &&
           host::IsWindowVisible(app->GetMenuWindow().GetHandle());
  }
  void AltUp() { Send(host::WM_SYSKEYUP, host::VK_MENU); }
  // What a running scenario reads of the menu: 2 while it stands open.
  uint8_t ScenarioMenuMode() { return app->TgsState()->fullScreenMenuMode; }
  // The key goes down or up as the backend delivers it, and the pump takes it (accelerators too).
  void Key(uint8_t virtualKey, bool down, bool altHeld) {
    EXPECT_TRUE(host::DeliverInputEvent(main(), KeyEvent(virtualKey, down, altHeld)));
    EXPECT_EQ(app->PumpMessages(true), kPumpEmpty);
  }
};

// Alt+Enter switches the screen (here it only reaches the game as its command) and its Alt, let
// go in full screen, leaves the menu closed; Alt alone opens it, once within a quarter second.
TEST_F(MenuWindow, AltOpensItOnceOnlyWhenNoOtherKeyWentDownWithIt) {
  record.acceleratorsId = 102;
  StartInFullScreen();
  Key(host::VK_MENU, true, true);
  Key(kVkReturn, true, true);
  Key(kVkReturn, false, true);
  Key(host::VK_MENU, false, true);
  ASSERT_EQ(app->commands.size(), 1u);
  EXPECT_EQ(app->commands[0].id, kCmdScreenMode);
  EXPECT_FALSE(app->MenuOpen() || MenuShown()) << "the menu stayed open after Alt+Enter";
  Key(host::VK_MENU, true, true);
  Key(host::VK_MENU, false, true);
  EXPECT_TRUE(app->MenuOpen() && MenuShown());

  // A second Alt closes the menu; its release within a quarter second must not open it again.
  host::VirtualClock& clock = backend.Clock();
  app->GetMenuWindow().SendMessage(host::WM_EXITMENULOOP, 0, 0);
  EXPECT_FALSE(app->MenuOpen() || MenuShown());
  clock.AdvanceMilliseconds(250);
  AltUp();
  EXPECT_FALSE(app->MenuOpen() || MenuShown());
  clock.AdvanceMilliseconds(1);
  AltUp();
  EXPECT_TRUE(app->MenuOpen() && MenuShown());
}

TEST_F(MenuWindow, AltOpensItOverThePictureWithTheGamesMenuAndItsSystemCommandsCloseIt) {
  StartInFullScreen();
  EXPECT_FALSE(app->GetMenuWindow().IsWindow());
  EXPECT_EQ(ScenarioMenuMode(), 0);
  Send(host::WM_SYSKEYUP, host::VK_F10);
  ASSERT_TRUE(MenuShown());
  EXPECT_TRUE(app->MenuOpen() && app->MenuModal());
  EXPECT_EQ(ScenarioMenuMode(), 2);
  const host::HWND menuWindow = app->GetMenuWindow().GetHandle();
  EXPECT_EQ(std::tuple(host::GetWindowOwner(menuWindow), dialogs.scripted.AttachedMenu(menuWindow)),
            std::tuple(main(), menu()));
  EXPECT_EQ(dialogs.scripted.MenuOpenings(menuWindow), 1) << "the menu key opens the menu";
  host::Rect placed;
  ASSERT_TRUE(host::GetWindowRect(menuWindow, &placed));
  EXPECT_EQ(std::tuple(placed.top, placed.Height(), app->GetMenuWindow().GetExStyle()),
            std::tuple(0, FullScreenMenu::kMenuBarHeight, WS_EX_TOPMOST));

  // Its commands go to the game.
  app->GetMenuWindow().SendMessage(host::WM_COMMAND, kCmdVersion, 0);
  ASSERT_EQ(app->commands.size(), 1u);
  EXPECT_EQ(std::tuple(app->commands[0].id, app->commands[0].window),
            std::tuple(kCmdVersion, menuWindow));
  // Opening it again shows the same window.
  EXPECT_EQ(app->CreateFullScreenMenuWindow(), FullScreenMenu::kShownAgain);
  EXPECT_EQ(app->GetMenuWindow().GetHandle(), menuWindow);

  // Its system commands close the menu and go to the main window; the screen saver is swallowed.
  ASSERT_TRUE(app->MenuOpen());
  Window& window = app->GetMenuWindow();
  EXPECT_EQ(window.SendMessage(host::WM_SYSCOMMAND, host::SC_SCREENSAVE, 0), 0);
  EXPECT_TRUE(TakePosted().empty()) << "the screen saver is swallowed";
  EXPECT_EQ(window.SendMessage(host::WM_SYSCOMMAND, host::SC_MINIMIZE, 0), 0);
  EXPECT_EQ(std::tuple(app->MenuOpen(), ScenarioMenuMode()), std::tuple(false, 0));
  std::vector<host::MSG> posted = TakePosted();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(std::tuple(posted[0].message, posted[0].wParam),
            std::tuple(host::WM_SYSCOMMAND, host::SC_MINIMIZE));
}

TEST_F(MenuWindow, AltDoesNothingInAWindowWhileModalOrInactiveOrWithoutAMenu) {
  Start();
  AltUp();
  EXPECT_FALSE(app->GetMenuWindow().IsWindow()) << "a window shows its own menu bar";
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);

  Send(host::WM_SYSKEYUP, 'A');
  EXPECT_FALSE(app->GetMenuWindow().IsWindow()) << "only Alt and F10";
  app->BeginModal();
  AltUp();
  app->EndModal();
  EXPECT_FALSE(app->GetMenuWindow().IsWindow()) << "inside a modal bracket";
  Send(host::WM_ACTIVATEAPP, 0);
  AltUp();
  Send(host::WM_ACTIVATEAPP, 1);
  EXPECT_FALSE(app->GetMenuWindow().IsWindow()) << "while inactive";
  app->SetMenu(nullptr);
  AltUp();
  EXPECT_FALSE(app->GetMenuWindow().IsWindow()) << "without a menu";
}

TEST_F(MenuWindow, TheMenuLoopShowsTheCursorAndBringsThePointerOntoTheBar) {
  StartInFullScreen();
  app->GetInputManager().GetMouse()->SetCursorVisible(false, host::HWND{}, 0);  // the game hides it
  host::SetCursorPos(100, 100);
  ASSERT_TRUE(app->UpdatePointer());
  app->GetMenuWindow().SendMessage(host::WM_ENTERMENULOOP, 0, 0);
  EXPECT_FALSE(app->MenuModal()) << "no menu of ours is open";
  AltUp();
  app->GetMenuWindow().SendMessage(host::WM_ENTERMENULOOP, 0, 0);
  EXPECT_TRUE(app->GetInputManager().GetMouse()->IsSystemCursorShown());
  const int32_t framedBar = FullScreenMenu::kMenuBarHeight + 2 * FullScreenMenu::kDialogFrame +
                            FullScreenMenu::kCaptionHeight;
  EXPECT_EQ(host::GetCursorPos(),
            (host::Point{28, framedBar - FullScreenMenu::kMenuBarHeight + 1}));
  app->GetMenuWindow().SendMessage(host::WM_EXITMENULOOP, 0, 0);
  EXPECT_FALSE(app->MenuModal());
  EXPECT_FALSE(app->GetInputManager().GetMouse()->IsSystemCursorShown())
      << "hidden again in full screen";
}

TEST_F(MenuWindow, ThePointerOnTheTopEdgeOpensItAndLeavingTheBarHidesIt) {
  config.display.menuEdgeDelayMs = 500;
  StartInFullScreen();
  host::VirtualClock& clock = backend.Clock();
  host::SetCursorPos(10, 0);
  app->UpdatePointer();
  clock.AdvanceMilliseconds(499);
  app->UpdatePointer();
  EXPECT_FALSE(app->GetMenuWindow().IsWindow()) << "not before the delay";
  clock.AdvanceMilliseconds(1);
  EXPECT_FALSE(app->UpdatePointer());
  ASSERT_TRUE(MenuShown());
  EXPECT_EQ(
      std::tuple(app->GetInputManager().GetMouse()->IsSystemCursorShown(), ScenarioMenuMode()),
      std::tuple(true, 2));

  host::SetCursorPos(10, 300);
  EXPECT_FALSE(app->UpdatePointer());
  EXPECT_EQ(std::tuple(app->GetMenuWindow().IsWindow(), MenuShown(), ScenarioMenuMode()),
            std::tuple(true, false, 0));
}

TEST_F(MenuWindow, MaximisingOrRestoringTheGameTogglesTheScreenMode) {
  Start();
  app->MainWindow().Bind(host::WM_COMMAND,
                         BindMember<EngineApp>(app.get(), &EngineApp::OnMenuCommand));
  Send(host::WM_SYSCOMMAND, host::SC_MAXIMIZE);
  EXPECT_TRUE(host::MinimizeWindow(main(), true));
  Send(host::WM_SYSCOMMAND, host::SC_RESTORE);  // restoring a minimised window is the system's
  EXPECT_EQ(Send(host::WM_SYSCOMMAND, host::SC_MAXIMIZE), kHandled);
  EXPECT_FALSE(host::IsIconic(main())) << "restored first";
  Send(host::WM_SYSCOMMAND, host::SC_RESTORE);
  ASSERT_EQ(app->commands.size(), 3u);
  for (const auto& command : app->commands) {
    EXPECT_EQ(std::tuple(command.id, command.window), std::tuple(kCmdScreenMode, main()));
  }
}

}  // namespace
}  // namespace bw
