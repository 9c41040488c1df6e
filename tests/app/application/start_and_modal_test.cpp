// What start-up sets and shut-down gives back (the window's first place, the cursor, the screen
// saver, Ctrl for a window, the text renderers), and the modal bracket around every dialog.
#include "app/application/started_game.h"
#include "app/config/config_block.h"
#include "app/config/engine_config.h"
#include "app/dialogs/message_dialog.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/surface/rendered_text.h"
#include "host/input/key_state.h"
#include "lib/config/config_writers.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

class StartAndModal : public test::StartedGame {
 protected:
  Mouse& mouse() { return *app->GetInputManager().GetMouse(); }
  static host::Rect Placed(host::HWND window) {
    host::Rect placed;
    EXPECT_TRUE(host::GetWindowRect(window, &placed));
    return placed;
  }
};

// The desktop's work area is 1024 x 738; the window is the canvas, 640 x 480. A saved place the
// window fits is kept; a return to the window without one is centred.
TEST_F(StartAndModal, ASavedPlaceIsKeptAndAReturnOrADialogWithoutOneIsCentred) {
  config.display.windowLeft = 40, config.display.windowTop = 50;
  Start();
  EXPECT_EQ(std::tuple(Placed(main()).left, Placed(main()).top), std::tuple(40, 50));

  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
  app->Config().display.windowLeft = app->Config().display.windowTop = -1;
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenWindow, 32, kSwitchUnforced), kSwitchDone);
  EXPECT_EQ(std::tuple(Placed(main()).left, Placed(main()).top),
            std::tuple((1024 - 640) / 2, (738 - 480) / 2))
      << "back without a saved place";

  // A dialog window without a parent is centred in the work area and kept above every other
  // window; over a parent it is not lifted.
  host::WindowDesc desc;
  desc.proc = host::DefWindowProc, desc.native = true;
  desc.nativeDesc = host::NativeWindowDesc{"dialog", 200, 100, false};
  host::HWND dialog = host::CreateWindow(desc);
  ASSERT_TRUE(dialog);

  app->CenterWindow(dialog, main());
  EXPECT_FALSE(backend.Window(dialog)->topmost) << "over a parent it keeps its place in the order";

  app->CenterWindow(dialog, host::HWND{});
  EXPECT_EQ(std::tuple(Placed(dialog).left, Placed(dialog).top, backend.Window(dialog)->topmost),
            std::tuple((1024 - 200) / 2, (738 - 100) / 2, true));
  EXPECT_TRUE(host::DestroyWindow(dialog));
}

TEST_F(StartAndModal, ADialogShowsTheHiddenCursorAndOnlyTheOutermostBracketHidesItAgain) {
  config.pacing.systemCursor = 0;
  Start();
  EXPECT_FALSE(mouse().IsCursorVisible() || mouse().IsSystemCursorShown())
      << "the setting hides it";

  bool shownDuring = false;
  bool loopStood = false;
  dialogs.WhileNextDialog([&](const host::Dialog&) {
    shownDuring = mouse().IsSystemCursorShown();
    loopStood = !app->FrameLoopRunning() && app->IsModal();
  });
  (void)app->ShowMessageDialog("text", kMessageOk, nullptr, nullptr, 0);  // it tells, asks nothing
  EXPECT_TRUE(shownDuring && loopStood) << "the player needs the pointer for the dialog";
  EXPECT_FALSE(mouse().IsSystemCursorShown()) << "hidden again after it";
  EXPECT_TRUE(app->FrameLoopRunning() && !app->IsModal());

  // Only the outermost bracket touches the cursor.
  app->BeginModal();
  app->BeginModal();
  EXPECT_TRUE(mouse().IsSystemCursorShown());
  app->EndModal();
  EXPECT_TRUE(mouse().IsSystemCursorShown() && app->IsModal()) << "the outer dialog is still up";
  app->EndModal();
  app->EndModal();  // one too many changes nothing
  EXPECT_FALSE(mouse().IsSystemCursorShown() || app->IsModal());

  app->SetCursorVisible(true);
  app->BeginModal();
  app->EndModal();
  EXPECT_TRUE(mouse().IsSystemCursorShown()) << "a cursor the game shows stays shown";
}

TEST_F(StartAndModal, TheScreenSaverIsOffOnlyWhenTheSettingSaysSoAndCtrlGivesAWindow) {
  Start();
  EXPECT_TRUE(backend.ScreenSaverActive()) << "the setting is off by default";
  ShutDown();

  config.engine.suppressScreenSaver = 1;
  Start();
  EXPECT_FALSE(backend.ScreenSaverActive());
  ShutDown();
  EXPECT_TRUE(backend.ScreenSaverActive()) << "given back at shut-down";

  EXPECT_TRUE(backend.SetScreenSaverActive(false));
  Start();
  ShutDown();
  EXPECT_FALSE(backend.ScreenSaverActive()) << "one that was off is not switched on";

  // Ctrl held at start gives a window whatever the saved mode.
  config.display.screenMode = kSavedScreenFull;
  config.display.fullScreenDepth = 32;
  backend.HoldKey(host::VK_CONTROL, true);
  Start();
  EXPECT_EQ(app->Config().display.screenMode, kSavedScreenWindow);
}

// The window page's display options reach the display manager at start: the two that are 0 take
// the device's modes and drawing, and the drawing method follows the second.
TEST_F(StartAndModal, TheDisplayOptionsReachTheDisplayManagerAndTwoFailuresClearItsWords) {
  Start();
  EXPECT_EQ(std::tuple(app->GetUserConfig().displayOption1, app->GetUserConfig().displayOption2,
                       app->GetDisplayManager().TextureRequest()),
            std::tuple(2, 2, 2));
  ShutDown();

  UserConfig user;
  user.displayOption1 = 1, user.displayOption2 = 3;
  dir.WriteFile("SAVEDATA/APP_CFG.DAT", tools::WriteAppCfg(user));
  Start();
  EXPECT_EQ(app->GetDisplayManager().TextureRequest(), 3);
  // Failures 9 and 12 clear the display words; others keep them.
  for (int code : {9, 12, 13}) {
    app->Config().engine.displayWord43 = 5, app->Config().engine.displayWord63 = 6;
    app->OnAppExit(code);
    const bool cleared =
        app->Config().engine.displayWord43 == 0 && app->Config().engine.displayWord63 == 0;
    EXPECT_EQ(cleared, code != 13) << code;
  }
}

// Start-up sets up text: the font list, the renderer factory and the default text renderer.
TEST_F(StartAndModal, StartUpListsTheJapaneseFacesAndMakesTheDefaultRenderer) {
  Start();
  std::vector<std::string> listed;
  for (int i = 0; i < app->GetFontList().Count(); ++i)
    listed.push_back(app->GetFontList().Get(i)->lfFaceName);
  // The installed IPA faces, under the CP932 names a game asks for them by.
  const std::vector<std::string> faces = {
      "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E",          // ＭＳ ゴシック
      "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E",  // ＭＳ Ｐゴシック
      "\x82\x6C\x82\x72 \x96\xBE\x92\xA9",                          // ＭＳ 明朝
      "\x82\x6C\x82\x72 \x82\x6F\x96\xBE\x92\xA9"};                 // ＭＳ Ｐ明朝
  EXPECT_EQ(listed, faces) << "the game's four faces in order, none of them vertical";
  TextRenderer* renderer = TheDefaultTextRenderer::Get();
  ASSERT_NE(renderer, nullptr);
  EXPECT_TRUE(renderer == app->GetDefaultTextRenderer() && renderer->HasFont());
  ASSERT_NE(Global<TextRendererFactory>::Get(), nullptr) << "the display manager's renderers";
  ShutDown();
  EXPECT_EQ(std::tuple(TheDefaultTextRenderer::Get(), Global<TextRendererFactory>::Get()),
            std::tuple(nullptr, nullptr))
      << "the default goes with the application";
}

// Switching between the window and full screen: the window's styles and menu, the saved mode,
// depth and place, the pointer put back, and a display switch that fails.
constexpr uint32_t kFullScreenStyle = 0x900A0000;

using ScreenMode = test::StartedGame;

TEST_F(ScreenMode, FullScreenAndBackMoveTheMenuAndTheStylesAndKeepThePlace) {
  Start();
  Window& window = app->MainWindow();
  const DisplaySettings& saved = app->Config().display;
  ASSERT_EQ(saved.screenMode, kSavedScreenWindow);
  const uint32_t windowStyle = window.GetStyle();
  ASSERT_TRUE(host::MoveWindow(main(), 40, 50));
  const DisplaySettings before = saved;
  EXPECT_EQ(app->SwitchScreenMode(kSavedScreenWindow, 16, kSwitchUnforced), kSwitchDone);
  EXPECT_EQ(saved, before) << "the same mode unforced takes neither depth nor place";
  EXPECT_EQ(std::tuple(window.GetStyle(), backend.Window(main())->left),
            std::tuple(windowStyle, 40));

  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
  EXPECT_EQ(
      std::tuple(window.GetStyle(), window.GetExStyle(), dialogs.scripted.AttachedMenu(main())),
      std::tuple(kFullScreenStyle, WS_EX_TOPMOST, nullptr))
      << "full screen has no menu bar of its own";
  EXPECT_FALSE(window.HasSystemMenuItem(host::SC_MOVE) || window.HasSystemMenuItem(host::SC_SIZE));
  // The window's place is kept for the way back.
  EXPECT_EQ(std::tuple(saved.screenMode, saved.fullScreenDepth, saved.windowLeft, saved.windowTop),
            std::tuple(kSavedScreenFull, 32, 40, 50));

  // The menu bar over the picture holds the menu while it lives.
  ASSERT_EQ(app->CreateFullScreenMenuWindow(), 0);
  host::HWND menuWindow = app->GetMenuWindow().GetHandle();
  EXPECT_EQ(dialogs.scripted.AttachedMenu(menuWindow), menu());

  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenWindow, 0, kSwitchUnforced), kSwitchDone);
  EXPECT_EQ(std::tuple(app->GetMenuWindow().IsWindow(), dialogs.scripted.AttachedMenu(main())),
            std::tuple(false, menu()));
  EXPECT_EQ(std::tuple(window.GetStyle(), window.GetExStyle()),
            std::tuple(windowStyle & ~WS_MAXIMIZEBOX, 0u))
      << "the maximise box stays only when the scripts keep it";
  const auto* state = backend.Window(main());
  EXPECT_EQ(std::tuple(state->fullScreen, state->left, state->top), std::tuple(false, 40, 50));
  EXPECT_EQ(std::tuple(saved.screenMode, saved.fullScreenDepth), std::tuple(kSavedScreenWindow, 3));
  EXPECT_NE(app->DisplayFlags() & 0x08, 0);
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

// The display is listed before the screen canvas exists; whatever size the display offered last
// (another game's, the desktop's default), a game of its own size finds its mode there.
TEST_F(ScreenMode, AGameNotOfTheDefaultSizeGoesFullScreenInItsOwnMode) {
  host::SetDisplayModeSize(1024, 768);
  record.canvasWidth = 800, record.canvasHeight = 600;
  Start();
  const DisplayDeviceRecord& device = *app->GetDisplayManager().Devices()[0];
  EXPECT_EQ(std::tuple(device.modeWidth, device.modeHeight, device.exactSize),
            std::tuple(800, 600, true));
  ASSERT_EQ(app->GetDisplayManager().SelectDisplayDevice(true, kNoMonitor, 0, 32, nullptr),
            kDisplayDone);
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
  EXPECT_EQ(app->GetDisplayManager().ModeState(), kModeStateDirectDraw);
}

TEST_F(ScreenMode, ThePointerComesBackWhereItWasOrToTheMiddle) {
  Start();
  int32_t width = 0, height = 0;
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
  bool depthOk = false, fits = false;
  ASSERT_TRUE(app->CheckWindowFits(&depthOk, &fits));
  backend.SetDesktop({320, 240, 32, {{{0, 0, 320, 240}, {0, 0, 320, 240}}}});
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
  Send(host::WM_DISPLAYCHANGE, 32, host::MakeLong(320, 240));
  EXPECT_TRUE(app->CheckWindowFits(&depthOk, &fits)) << "full screen sets its own modes";
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenWindow, 0, kSwitchUnforced), kSwitchDone);
  Send(host::WM_DISPLAYCHANGE, 32, host::MakeLong(320, 240));
  EXPECT_FALSE(app->CheckWindowFits(&depthOk, &fits) || fits);
}

TEST_F(ScreenMode, TheSessionEndSavesTheSettingsAndTheScriptsState) {
  Start();
  ASSERT_EQ(app->InitScript(), kInitScriptOk);
  app->GetScriptHost()->SetSystemStateFileName("SYSTEM.DAT");
  EXPECT_EQ(Send(host::WM_QUERYENDSESSION), 1) << "the system may end";
  EXPECT_TRUE(Exists("SAVEDATA/APP_CFG.DAT") && Exists("SAVEDATA/SYSTEM.DAT"))
      << "the settings and the scripts' state";
}

// The window's last place goes into the saved settings only when the player asked to keep it;
// otherwise the next start centres the window.
TEST_F(ScreenMode, TheSavedSettingsKeepTheWindowsPlaceOnlyWhenThePlayerAsks) {
  for (const uint8_t remember : {1, 0}) {
    Start();
    app->GetUserConfig().rememberWindowPosition = remember;
    ASSERT_TRUE(host::MoveWindow(main(), 33, 44));
    app->MainWindow().Destroy();
    host::MSG quit;
    EXPECT_TRUE(
        host::PeekMessage(&quit, host::HWND{}, host::WM_QUIT, host::WM_QUIT, host::PM_REMOVE))
        << "the end of the window ends the message loop";
    ShutDown();
    EngineConfig saved;
    const std::string bytes = test::ReadFile(dir.path() / "USER.CFG");
    ASSERT_EQ(
        ReadEngineConfig({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, saved),
        kConfigOk);
    EXPECT_EQ(std::pair(saved.display.windowLeft, saved.display.windowTop),
              remember ? std::pair(33, 44) : std::pair(-1, -1))
        << "remember " << int(remember);
  }
}

}  // namespace
}  // namespace bw
