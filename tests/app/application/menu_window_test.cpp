// The full-screen menu window: opened by Alt and F10 and by the pointer resting on the top edge,
// placed over the picture with the game's menu, its system commands, and the game's own system
// commands and movie requests.
#include "app/application/started_game.h"
#include "host/input/key_state.h"
#include "host/input_event.h"
#include "input/key_codes.h"

namespace bw {
namespace {

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
  // The key goes down or up as the backend delivers it, and the pump takes it (accelerators too).
  void Key(uint8_t virtualKey, bool down, bool altHeld) {
    host::InputEvent key;
    key.kind = down ? host::InputEventKind::kKeyDown : host::InputEventKind::kKeyUp;
    key.virtualKey = virtualKey;
    key.altDown = altHeld;
    host::DeliverInputEvent(main(), key);
    app->PumpMessages(true);
  }
};

// Alt+Enter switches the screen (here it only reaches the game as its command) and its Alt, let
// go in full screen, leaves the menu closed; Alt alone opens it.
TEST_F(MenuWindow, AltOpensItOnlyWhenNoOtherKeyWentDownWithIt) {
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
}

TEST_F(MenuWindow, AltOpensItOverThePictureWithTheGamesMenu) {
  StartInFullScreen();
  EXPECT_FALSE(app->GetMenuWindow().IsWindow());
  Send(host::WM_SYSKEYUP, host::VK_F10);
  ASSERT_TRUE(MenuShown());
  EXPECT_TRUE(app->MenuOpen() && app->MenuModal());
  const host::HWND menuWindow = app->GetMenuWindow().GetHandle();
  EXPECT_EQ(host::GetWindowOwner(menuWindow), main());
  EXPECT_EQ(dialogs.scripted.AttachedMenu(menuWindow), menu());
  EXPECT_EQ(dialogs.scripted.MenuOpenings(menuWindow), 1) << "the menu key opens the menu";
  host::Rect placed;
  ASSERT_TRUE(host::GetWindowRect(menuWindow, &placed));
  EXPECT_EQ(std::tuple(placed.top, placed.Height(), app->GetMenuWindow().GetExStyle()),
            std::tuple(0, EngineApp::kMenuBarHeight, WS_EX_TOPMOST));

  // Its commands go to the game.
  app->GetMenuWindow().SendMessage(host::WM_COMMAND, kCmdVersion, 0);
  ASSERT_EQ(app->commands.size(), 1u);
  EXPECT_EQ(std::tuple(app->commands[0].id, app->commands[0].window),
            std::tuple(kCmdVersion, menuWindow));
  // Opening it again shows the same window.
  EXPECT_EQ(app->CreateFullScreenMenuWindow(), EngineApp::kMenuWindowShownAgain);
  EXPECT_EQ(app->GetMenuWindow().GetHandle(), menuWindow);
}

TEST_F(MenuWindow, AltTwiceWithinAQuarterSecondOpensItOnce) {
  StartInFullScreen();
  host::VirtualClock& clock = backend.Clock();
  AltUp();
  ASSERT_TRUE(MenuShown());
  // The second Alt closes the menu; its release must not open it again.
  app->GetMenuWindow().SendMessage(host::WM_EXITMENULOOP, 0, 0);
  EXPECT_FALSE(app->MenuOpen() || MenuShown());
  clock.AdvanceMilliseconds(250);
  AltUp();
  EXPECT_FALSE(app->MenuOpen() || MenuShown());
  clock.AdvanceMilliseconds(1);
  AltUp();
  EXPECT_TRUE(app->MenuOpen() && MenuShown());
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
  const int32_t framedBar =
      EngineApp::kMenuBarHeight + 2 * EngineApp::kDialogFrame + EngineApp::kCaptionHeight;
  EXPECT_EQ(host::GetCursorPos(), (host::Point{28, framedBar - EngineApp::kMenuBarHeight + 1}));
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
  EXPECT_TRUE(app->GetInputManager().GetMouse()->IsSystemCursorShown());

  host::SetCursorPos(10, 300);
  EXPECT_FALSE(app->UpdatePointer());
  EXPECT_TRUE(app->GetMenuWindow().IsWindow());
  EXPECT_FALSE(MenuShown());
}

TEST_F(MenuWindow, ItsSystemCommandsCloseTheMenuAndGoToTheMainWindow) {
  StartInFullScreen();
  AltUp();
  ASSERT_TRUE(app->MenuOpen());
  Window& menuWindow = app->GetMenuWindow();
  EXPECT_EQ(menuWindow.SendMessage(host::WM_SYSCOMMAND, host::SC_SCREENSAVE, 0), 0);
  EXPECT_TRUE(TakePosted().empty()) << "the screen saver is swallowed";
  EXPECT_EQ(menuWindow.SendMessage(host::WM_SYSCOMMAND, host::SC_MINIMIZE, 0), 0);
  EXPECT_FALSE(app->MenuOpen());
  std::vector<host::MSG> posted = TakePosted();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(std::tuple(posted[0].message, posted[0].wParam),
            std::tuple(host::WM_SYSCOMMAND, host::SC_MINIMIZE));
}

TEST_F(MenuWindow, MaximisingOrRestoringTheGameTogglesTheScreenMode) {
  Start();
  app->MainWindow().Bind(host::WM_COMMAND,
                         BindMember<EngineApp>(app.get(), &EngineApp::OnMenuCommand));
  Send(host::WM_SYSCOMMAND, host::SC_MAXIMIZE);
  host::MinimizeWindow(main(), true);
  Send(host::WM_SYSCOMMAND, host::SC_RESTORE);  // restoring a minimised window is the system's
  EXPECT_EQ(Send(host::WM_SYSCOMMAND, host::SC_MAXIMIZE), kHandled);
  EXPECT_FALSE(host::IsIconic(main())) << "restored first";
  Send(host::WM_SYSCOMMAND, host::SC_RESTORE);
  ASSERT_EQ(app->commands.size(), 3u);
  for (const auto& command : app->commands) {
    EXPECT_EQ(std::tuple(command.id, command.window), std::tuple(kCmdScreenMode, main()));
  }
}

// The movie player's requests find an empty slot until a player is there.
class CountingMovie : public MovieObject {
 public:
  explicit CountingMovie(int* events) : events_(events) {}
  void HandleEvents() override { ++*events_; }
  void OnDisplayChange() override {}

 private:
  int* events_;
};

TEST_F(MenuWindow, MovieRequestsReachThePlayerOnlyWhenThereIsOne) {
  Start();
  EXPECT_FALSE(app->HasMovieObject());
  EXPECT_EQ(Send(kMsgMovieRequest), 0);
  int events = 0;
  app->SetMovieObject(std::make_unique<CountingMovie>(&events));
  Send(kMsgMovieRequest);
  EXPECT_EQ(events, 1);
}

}  // namespace
}  // namespace bw
