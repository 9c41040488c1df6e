// A game started headless and left standing between the test's own messages: the window handlers
// are called as the window thread would call them, with no frame loop running.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application/game_app.h"
#include "app/dialogs/main_menu.h"
#include "graphics/device/direct_draw_device.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/headless/headless_backend.h"
#include "host/host_path.h"
#include "host/message_queue.h"
#include "lib/config/config_writers.h"
#include "lib/sob/sob_assembler.h"
#include "resource/packs/app_paths.h"
#include "support/temp_dir.h"

namespace bw::test {

// The game records the commands that reach it, from the main window and the menu window.
class CommandRecordingGame : public GameApp {
 public:
  int OnMenuCommand(MessageRecord& record) override {
    commands.push_back({record.window ? record.window->GetHandle() : host::HWND{}, host::LoWord(record.wParam)});
    return kHandled;
  }
  struct Command {
    host::HWND window;
    uint16_t id;
  };
  std::vector<Command> commands;
};

class StartedGame : public ::testing::Test {
 protected:
  StartedGame() {
    config.engine.canvas = 0;
    record.menuId = kAppMenuId;
    backend.SetDesktop({1024, 768, 32, {{{0, 0, 1024, 768}, {0, 0, 1024, 738}}}});
    if (const char* old = std::getenv("XDG_DATA_HOME")) oldDataHome = old;
    setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
  }
  ~StartedGame() override {
    if (app) app->AppShutdown(1);
    app.reset();
    SetExclusiveModeLatched(false);
    if (oldDataHome) {
      setenv("XDG_DATA_HOME", oldDataHome->c_str(), 1);
    } else {
      unsetenv("XDG_DATA_HOME");
    }
  }

  // Writes the game, starts it and gives the main window the game's menu.
  void Start() {
    std::string error;
    ASSERT_TRUE(tools::WriteGameConfig(dir.path(), record, info, config, &error)) << error;
    sob::AssembleResult script = sob::Assemble(".sob0\nl:\n wait\n jmp l\n");
    ASSERT_TRUE(script.ok) << script.error;
    dir.WriteFile("SCRIPT/MAIN.SOB", std::string(script.bytes.begin(), script.bytes.end()));
    std::string engine;
    ASSERT_EQ(host::LinuxPathToEnginePath(dir.path().string(), engine), host::kPathOk);
    ASSERT_EQ(RebaseAppFolder(engine), 0);
    app = std::make_unique<CommandRecordingGame>();
    app->set_lockFolder(locks.path().string());
    ASSERT_EQ(app->AppStartup(), kStartupOk);
    if (record.menuId != 0) {
      menu = BuildMainMenu(main());
      app->set_menu(menu.get());
      host::AttachMenu(main(), menu.get());
    }
  }

  host::HWND main() const { return app->mainWindow().GetHandle(); }
  host::LRESULT Send(uint32_t message, host::WPARAM wParam = 0, host::LPARAM lParam = 0) {
    return app->mainWindow().SendMessage(message, wParam, lParam);
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

  TempDir dir;
  TempDir locks;
  AppRecord record;
  AppInfo info;
  EngineConfig config;
  host::HeadlessBackend backend;
  host::ScopedBackend useBackend{&backend};
  host::ScriptedDialogHost dialogs;
  host::ScopedDialogHost useDialogs{&dialogs};
  std::unique_ptr<CommandRecordingGame> app;
  std::unique_ptr<host::Menu> menu;
  std::optional<std::string> oldDataHome;
};

}  // namespace bw::test
