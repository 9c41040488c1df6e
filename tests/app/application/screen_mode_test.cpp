// Switching between the window and full screen: the window's styles and menu, the saved mode,
// depth and place, the pointer put back, and a display switch that fails.
#include "app/application/started_game.h"
#include "graphics/device/direct_draw_device.h"
#include "host/input/key_state.h"

namespace bw {
namespace {

constexpr uint32_t kFullScreenStyle = 0x900A0000;

using ScreenMode = test::StartedGame;

TEST_F(ScreenMode, FullScreenAndBackMoveTheMenuAndTheStylesAndKeepThePlace) {
  Start();
  Window& window = app->MainWindow();
  const DisplaySettings& saved = app->Config().display;
  ASSERT_EQ(saved.screenMode, kSavedScreenWindow);
  const uint32_t windowStyle = window.GetStyle();
  ASSERT_TRUE(host::MoveWindow(main(), 40, 50));

  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
  EXPECT_EQ(std::tuple(window.GetStyle(), window.GetExStyle()),
            std::tuple(kFullScreenStyle, WS_EX_TOPMOST));
  EXPECT_FALSE(window.HasSystemMenuItem(host::SC_MOVE) || window.HasSystemMenuItem(host::SC_SIZE));
  EXPECT_EQ(dialogs.scripted.AttachedMenu(main()), nullptr)
      << "full screen has no menu bar of its own";
  // The window's place is kept for the way back.
  EXPECT_EQ(std::tuple(saved.screenMode, saved.fullScreenDepth, saved.windowLeft, saved.windowTop),
            std::tuple(kSavedScreenFull, 32, 40, 50));

  // The menu bar over the picture holds the menu while it lives.
  ASSERT_EQ(app->CreateFullScreenMenuWindow(), 0);
  host::HWND menuWindow = app->GetMenuWindow().GetHandle();
  EXPECT_EQ(dialogs.scripted.AttachedMenu(menuWindow), menu());

  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenWindow, 0, kSwitchUnforced), kSwitchDone);
  EXPECT_FALSE(app->GetMenuWindow().IsWindow());
  EXPECT_EQ(dialogs.scripted.AttachedMenu(main()), menu());
  EXPECT_EQ(std::tuple(window.GetStyle(), window.GetExStyle()),
            std::tuple(windowStyle & ~WS_MAXIMIZEBOX, 0u))
      << "the maximise box stays only when the scripts keep it";
  const auto* state = backend.Window(main());
  EXPECT_EQ(std::tuple(state->fullScreen, state->left, state->top), std::tuple(false, 40, 50));
  EXPECT_EQ(std::tuple(saved.screenMode, saved.fullScreenDepth), std::tuple(kSavedScreenWindow, 3));
  EXPECT_NE(app->DisplayFlags() & 0x08, 0);
}

TEST_F(ScreenMode, TheSameModeUnforcedChangesNothing) {
  Start();
  const DisplaySettings before = app->Config().display;
  const uint32_t style = app->MainWindow().GetStyle();
  ASSERT_TRUE(host::MoveWindow(main(), 70, 80));
  EXPECT_EQ(app->SwitchScreenMode(kSavedScreenWindow, 16, kSwitchUnforced), kSwitchDone);
  EXPECT_EQ(app->Config().display, before) << "neither depth nor place is taken";
  EXPECT_EQ(app->MainWindow().GetStyle(), style);
  EXPECT_EQ(backend.Window(main())->left, 70);
}

TEST_F(ScreenMode, AFailedDisplaySwitchLeavesTheModeTheWindowAndItsMenu) {
  Start();
  // A size the device does not list: the display mode is refused.
  ASSERT_EQ(app->GetDisplayManager().SelectDisplayDevice(true, kNoMonitor, 0, 32, nullptr),
            kDisplayDone);
  app->GetDisplayManager().Devices()[0]->modeWidth = 333;
  const uint32_t style = app->MainWindow().GetStyle();
  int r = app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced);
  EXPECT_GT(r, kSwitchNoWindow) << "the display manager's code plus 1";
  EXPECT_EQ(std::tuple(app->Config().display.screenMode, app->MainWindow().GetStyle()),
            std::tuple(kSavedScreenWindow, style));
  EXPECT_EQ(dialogs.scripted.AttachedMenu(main()), menu()) << "a window that stays keeps its menu";
}

TEST_F(ScreenMode, ThePointerComesBackWhereItWasOrToTheMiddle) {
  Start();
  int32_t width = 0;
  int32_t height = 0;
  ASSERT_TRUE(host::GetClientSize(main(), &width, &height));
  host::SetCursorPos(100, 80);
  ASSERT_TRUE(app->UpdatePointer());
  host::SetCursorPos(3, 3);  // moved while the screen changed
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
  EXPECT_EQ(host::GetCursorPos(), (host::Point{100, 80}))
      << "the picture's point, on the new screen";

  // Off the picture: the middle of the window.
  host::SetCursorPos(-20, -20);
  app->UpdatePointer();
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenWindow, 0, kSwitchUnforced), kSwitchDone);
  ASSERT_TRUE(host::GetClientSize(main(), &width, &height));
  const host::Point origin = host::WindowOrigin(main());
  EXPECT_EQ(host::GetCursorPos(), (host::Point{origin.x + width / 2, origin.y + height / 2}));

  // Not kept when the setting is off.
  app->Config().display.restorePointer = 0;
  host::SetCursorPos(-20, -20);
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
  EXPECT_EQ(host::GetCursorPos(), (host::Point{-20, -20}));
}

// Leaving an own display mode minimises the game; coming back sets the mode again, and a close
// that came while it was minimised asks only then.
TEST_F(ScreenMode, DeactivationMinimisesAndActivationSetsTheModeAgain) {
  Start();
  ASSERT_EQ(app->GetDisplayManager().SelectDisplayDevice(true, kNoMonitor, 0, 32, nullptr),
            kDisplayDone);
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
  ASSERT_EQ(app->GetDisplayManager().ModeState(), kModeStateDirectDraw);

  Send(host::WM_ACTIVATEAPP, 0);
  EXPECT_EQ(std::tuple(app->Active(), app->IsMinimized(), backend.Window(main())->minimized,
                       app->FullScreenReapplyPending()),
            std::tuple(false, true, true, 1));
  EXPECT_NE(app->GetDisplayManager().ModeState(), kModeStateDirectDraw)
      << "the desktop's mode is back";

  // The close waits: the question would be asked on a screen the player cannot see.
  Send(host::WM_CLOSE);
  EXPECT_TRUE(app->CloseDeferred() && app->MainWindow().IsWindow() && Dialogs().empty());

  Send(host::WM_ACTIVATEAPP, 1);
  EXPECT_EQ(
      std::tuple(app->Active(), app->IsMinimized(), app->FullScreenReapplyPending(),
                 app->GetDisplayManager().ModeState(), app->DisplayFailure(), app->CloseDeferred()),
      std::tuple(true, false, 0, kModeStateDirectDraw, kDisplayOk, false));
  std::vector<host::MSG> posted = TakePosted();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].message, host::WM_CLOSE);

  // The replayed close reaches the question, even in full screen; "no" keeps the game.
  dialogs.scripted.QueueAnswer({kIdNo, {}, std::nullopt, {}, false});
  host::DispatchMessage(posted[0]);
  EXPECT_EQ(Dialogs().size(), 1u);
  EXPECT_TRUE(!app->CloseDeferred() && app->MainWindow().IsWindow());
}

// A saved place at the ends of the coordinate range (a settings file written by hand) still
// finds the nearest of two monitors at start-up and at the switch.
TEST_F(ScreenMode, ASavedPlaceAtTheEndsOfTheRangeFindsTheNearestMonitor) {
  backend.SetDesktop({2048,
                      1536,
                      32,
                      {{{0, 0, 1024, 768}, {0, 0, 1024, 738}},
                       {{1024, 768, 2048, 1536}, {1024, 768, 2048, 1506}}}});
  for (const int32_t place : {INT32_MAX - 5, INT32_MIN}) {
    SCOPED_TRACE(place);
    config.display.windowLeft = config.display.windowTop = place;
    Start();
    EXPECT_EQ(app->SelectMonitor(host::HWND{}, 0), kDisplayDone);
    EXPECT_EQ(app->GetDisplayManager().SelectedDevice()->monitor,
              app->GetMonitorList().Records()[place > 0 ? 1 : 0].handle);
    app->AppShutdown(1);
    app.reset();
  }
}

TEST_F(ScreenMode, ADisplayChangeListsTheMonitorsAgainOnlyInAWindow) {
  Start();
  bool depthOk = false;
  bool fits = false;
  ASSERT_TRUE(app->CheckWindowFits(&depthOk, &fits));
  backend.SetDesktop({320, 240, 32, {{{0, 0, 320, 240}, {0, 0, 320, 240}}}});
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
  Send(host::WM_DISPLAYCHANGE, 32, host::MakeLong(320, 240));
  EXPECT_TRUE(app->CheckWindowFits(&depthOk, &fits)) << "full screen sets its own modes";
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenWindow, 0, kSwitchUnforced), kSwitchDone);
  Send(host::WM_DISPLAYCHANGE, 32, host::MakeLong(320, 240));
  EXPECT_FALSE(app->CheckWindowFits(&depthOk, &fits));
  EXPECT_FALSE(fits);
}

TEST_F(ScreenMode, TheEndOfTheWindowKeepsItsPlaceAndTheSessionEndSavesTheSettings) {
  Start();
  ASSERT_EQ(app->InitScript(), kInitScriptOk);
  app->GetScriptHost()->SetSystemStateFileName("SYSTEM.DAT");
  ASSERT_TRUE(host::MoveWindow(main(), 33, 44));
  EXPECT_EQ(Send(host::WM_QUERYENDSESSION), 1) << "the system may end";
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "SAVEDATA" / "APP_CFG.DAT"));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "SAVEDATA" / "SYSTEM.DAT"))
      << "the scripts' state";
  app->MainWindow().Destroy();
  EXPECT_EQ(std::tuple(app->Config().display.windowLeft, app->Config().display.windowTop),
            std::tuple(33, 44));
  host::MSG quit;
  EXPECT_TRUE(host::PeekMessage(&quit, host::HWND{}, host::WM_QUIT, host::WM_QUIT, host::PM_REMOVE))
      << "the end of the window ends the message loop";
}

}  // namespace
}  // namespace bw
