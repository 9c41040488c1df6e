// What start-up sets and shut-down gives back (the window's first place, the cursor, the screen
// saver, Ctrl for a window), and the modal bracket around every dialog.
#include "app/application/started_game.h"
#include "app/dialogs/message_dialog.h"
#include "host/input/key_state.h"
#include "lib/config/config_writers.h"

namespace bw {
namespace {

class StartAndModal : public test::StartedGame {
 protected:
  Mouse& mouse() { return *app->GetInputManager().GetMouse(); }
  host::Rect Placed() {
    host::Rect placed;
    EXPECT_TRUE(host::GetWindowRect(main(), &placed));
    return placed;
  }
  void ShutDown() {
    app->AppShutdown(0);
    app.reset();
  }
};

// The desktop's work area is 1024 x 738; the window is the canvas, 640 x 480.
TEST_F(StartAndModal, TheFirstWindowIsCentredAndSoIsEveryReturnWithoutAPlace) {
  Start();
  const auto centred = std::tuple((1024 - 640) / 2, (738 - 480) / 2);
  EXPECT_EQ(std::tuple(Placed().left, Placed().top), centred);

  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
  app->Config().display.windowLeft = -1;
  app->Config().display.windowTop = -1;
  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenWindow, 32, kSwitchUnforced), kSwitchDone);
  EXPECT_EQ(std::tuple(Placed().left, Placed().top), centred) << "back without a saved place";
}

// A dialog window without a parent is centred in the work area and kept above every other
// window; over a parent it is not lifted.
TEST_F(StartAndModal, ADialogIsCentredOverItsParentOrAboveTheDesktop) {
  Start();
  host::WindowDesc desc;
  desc.proc = host::DefWindowProc;
  desc.native = true;
  desc.nativeDesc = host::NativeWindowDesc{"dialog", 200, 100, false};
  host::HWND dialog = host::CreateWindow(desc);
  ASSERT_TRUE(dialog);

  app->CenterWindow(dialog, main());
  EXPECT_FALSE(backend.Window(dialog)->topmost) << "over a parent it keeps its place in the order";

  app->CenterWindow(dialog, host::HWND{});
  host::Rect placed;
  ASSERT_TRUE(host::GetWindowRect(dialog, &placed));
  EXPECT_EQ(std::tuple(placed.left, placed.top), std::tuple((1024 - 200) / 2, (738 - 100) / 2));
  EXPECT_TRUE(backend.Window(dialog)->topmost);
  host::DestroyWindow(dialog);
}

TEST_F(StartAndModal, ASavedPlaceIsKeptWhenTheWindowFitsThere) {
  config.display.windowLeft = 40;
  config.display.windowTop = 50;
  Start();
  EXPECT_EQ(std::tuple(Placed().left, Placed().top), std::tuple(40, 50));
}

TEST_F(StartAndModal, ADialogShowsTheHiddenCursorAndHidesItAgain) {
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
  app->ShowMessageDialog("text", kMessageOk, nullptr, nullptr, 0);
  EXPECT_TRUE(shownDuring) << "the player needs the pointer for the dialog";
  EXPECT_TRUE(loopStood);
  EXPECT_FALSE(mouse().IsSystemCursorShown()) << "hidden again after it";
  EXPECT_TRUE(app->FrameLoopRunning() && !app->IsModal());
}

TEST_F(StartAndModal, OnlyTheOutermostBracketTouchesTheCursor) {
  Start();
  EXPECT_TRUE(mouse().IsCursorVisible()) << "the default setting shows the cursor";
  app->SetCursorVisible(false);
  ASSERT_FALSE(mouse().IsSystemCursorShown());
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

TEST_F(StartAndModal, TheScreenSaverIsOffWhileRunningOnlyWhenTheSettingSaysSo) {
  Start();
  EXPECT_TRUE(backend.ScreenSaverActive()) << "the setting is off by default";
  ShutDown();

  config.engine.suppressScreenSaver = 1;
  Start();
  EXPECT_FALSE(backend.ScreenSaverActive());
  ShutDown();
  EXPECT_TRUE(backend.ScreenSaverActive()) << "given back at shut-down";

  backend.SetScreenSaverActive(false);
  Start();
  ShutDown();
  EXPECT_FALSE(backend.ScreenSaverActive()) << "one that was off is not switched on";
}

TEST_F(StartAndModal, CtrlHeldAtStartGivesAWindow) {
  config.display.screenMode = kSavedScreenFull;
  config.display.fullScreenDepth = 32;
  backend.HoldKey(host::VK_CONTROL, true);
  Start();
  EXPECT_EQ(app->Config().display.screenMode, kSavedScreenWindow);
}

// The window page's display options reach the display manager at start: the two that are 0 take
// the device's modes and drawing, and the drawing method follows the second.
TEST_F(StartAndModal, TheDisplayOptionsReachTheDisplayManager) {
  Start();
  EXPECT_EQ(std::tuple(app->GetUserConfig().displayOption1, app->GetUserConfig().displayOption2,
                       app->GetDisplayManager().TextureRequest()),
            std::tuple(2, 2, 2));
  ShutDown();

  UserConfig user;
  user.displayOption1 = 1;
  user.displayOption2 = 3;
  const std::vector<uint8_t> appCfg = tools::WriteAppCfg(user);
  dir.WriteFile("SAVEDATA/APP_CFG.DAT", std::string(appCfg.begin(), appCfg.end()));
  Start();
  EXPECT_EQ(app->GetDisplayManager().TextureRequest(), 3);
}

TEST_F(StartAndModal, TheDisplayWordsAreClearedAfterFailures9And12Only) {
  Start();
  for (int code : {9, 12, 13}) {
    app->Config().engine.displayWord43 = 5;
    app->Config().engine.displayWord63 = 6;
    app->OnAppExit(code);
    const bool cleared =
        app->Config().engine.displayWord43 == 0 && app->Config().engine.displayWord63 == 0;
    EXPECT_EQ(cleared, code != 13) << code;
  }
}

}  // namespace
}  // namespace bw
