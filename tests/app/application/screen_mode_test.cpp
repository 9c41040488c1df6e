// Switching between the window and full screen, and a display switch that fails.
#include "graphics/device/direct_draw_device.h"
#include "host/input/key_state.h"
#include "app/application/started_game.h"

namespace bw {
namespace {

constexpr uint32_t kFullScreenStyle = 0x900A0000;

using ScreenMode = test::StartedGame;

TEST_F(ScreenMode, FullScreenAndBackMoveTheMenuAndTheStylesAndKeepThePlace) {
  Start();
  Window& window = app->mainWindow();
  const DisplaySettings& saved = app->config().display;
  ASSERT_EQ(saved.screenMode, kSavedScreenWindow);
  const uint32_t windowStyle = window.GetStyle();
  ASSERT_TRUE(host::MoveWindow(main(), 40, 50));

  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced), kSwitchDone);
  EXPECT_EQ(window.GetStyle(), kFullScreenStyle);
  EXPECT_EQ(window.GetExStyle(), WS_EX_TOPMOST);
  for (uint32_t command : {host::SC_MOVE, host::SC_SIZE, host::SC_MAXIMIZE}) {
    EXPECT_FALSE(window.HasSystemMenuItem(command)) << command;
  }
  EXPECT_TRUE(window.HasSystemMenuItem(host::SC_MINIMIZE));
  EXPECT_EQ(dialogs.scripted.AttachedMenu(main()), nullptr) << "full screen has no menu bar of its own";
  EXPECT_TRUE(backend.Window(main())->fullScreen);
  EXPECT_EQ(saved.screenMode, kSavedScreenFull);
  EXPECT_EQ(saved.fullScreenDepth, 32);
  EXPECT_EQ(saved.windowLeft, 40) << "the window's place is kept for the way back";
  EXPECT_EQ(saved.windowTop, 50);

  // The menu bar over the picture holds the menu while it lives.
  ASSERT_EQ(app->CreateFullScreenMenuWindow(), 0);
  host::HWND menuWindow = app->menuWindow().GetHandle();
  EXPECT_EQ(dialogs.scripted.AttachedMenu(menuWindow), menu());

  ASSERT_EQ(app->SwitchScreenMode(kSavedScreenWindow, 0, kSwitchUnforced), kSwitchDone);
  EXPECT_FALSE(app->menuWindow().IsWindow());
  EXPECT_EQ(dialogs.scripted.AttachedMenu(menuWindow), nullptr);
  EXPECT_EQ(dialogs.scripted.AttachedMenu(main()), menu());
  EXPECT_EQ(window.GetStyle(), windowStyle);
  EXPECT_EQ(window.GetExStyle(), 0u);
  EXPECT_TRUE(window.HasSystemMenuItem(host::SC_MOVE));
  const auto* state = backend.Window(main());
  EXPECT_FALSE(state->fullScreen);
  EXPECT_EQ(state->left, 40);
  EXPECT_EQ(state->top, 50);
  EXPECT_EQ(saved.screenMode, kSavedScreenWindow);
  EXPECT_EQ(saved.fullScreenDepth, 3);
  EXPECT_NE(app->displayFlags() & 0x08, 0);
}

TEST_F(ScreenMode, AFailedDisplaySwitchLeavesTheModeTheWindowAndItsMenu) {
  Start();
  // A size the device does not list: the display mode is refused.
  ASSERT_EQ(app->displayManager().SelectDisplayDevice(true, kNoMonitor, 0, 32, nullptr), kDisplayDone);
  app->displayManager().Devices()[0]->modeWidth = 333;
  const uint32_t style = app->mainWindow().GetStyle();
  int r = app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchUnforced);
  EXPECT_GT(r, kSwitchNoWindow) << "the display manager's code plus 1";
  EXPECT_EQ(app->config().display.screenMode, kSavedScreenWindow);
  EXPECT_EQ(app->mainWindow().GetStyle(), style);
  EXPECT_TRUE(app->mainWindow().HasSystemMenuItem(host::SC_MAXIMIZE));
  EXPECT_EQ(dialogs.scripted.AttachedMenu(main()), menu()) << "a window that stays keeps its menu";
}

}  // namespace
}  // namespace bw
