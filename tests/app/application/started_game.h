// A game started headless and left standing between the test's own messages: the window handlers
// are called as the window thread would call them, with no frame loop running.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/application/game_app.h"
#include "app/dialogs/main_menu.h"
#include "graphics/device/direct_draw_device.h"
#include "host/message_queue.h"
#include "support/game_run.h"

namespace bw::test {

// The game records the commands that reach it, from the main window and the menu window.
class CommandRecordingGame : public GameApp {
 public:
  int OnMenuCommand(WindowMessage& record) override {
    commands.push_back(
        {record.window ? record.window->GetHandle() : host::HWND{}, host::LoWord(record.wParam)});
    return kHandled;
  }
  struct Command {
    host::HWND window;
    uint16_t id;
  };
  std::vector<Command> commands;
};

class StartedGame : public DialogGameRun {
 protected:
  StartedGame() {
    record.menuId = kAppMenuId;
    backend.SetDesktop({1024, 768, 32, {{{0, 0, 1024, 768}, {0, 0, 1024, 738}}}});
  }
  ~StartedGame() override {
    if (app) app->AppShutdown(1);
    app.reset();
    SetExclusiveModeLatched(false);
  }

  // Writes a game whose MAIN waits for ever and starts it; its window has the game's menu.
  void Start() {
    app = std::make_unique<CommandRecordingGame>();
    ASSERT_TRUE(StartLooping(*app));
  }

  void ShutDown() {
    app->AppShutdown(0);
    app.reset();
  }

  host::HWND main() const { return app->MainWindow().GetHandle(); }
  host::Menu* menu() const { return app->WindowMenu(); }
  host::LRESULT Send(uint32_t message, host::WPARAM wParam = 0, host::LPARAM lParam = 0) {
    return app->MainWindow().SendMessage(message, wParam, lParam);
  }
  // What the main window has been posted, taken off its queue; paints are left out.
  std::vector<host::MSG> TakePosted() {
    std::vector<host::MSG> posted;
    host::MSG msg;
    while (host::PeekMessage(&msg, main(), 0, 0, host::PM_REMOVE)) {
      if (msg.message != host::WM_PAINT) posted.push_back(msg);
    }
    return posted;
  }

  std::unique_ptr<CommandRecordingGame> app;
};

}  // namespace bw::test
