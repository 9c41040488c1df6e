// A game folder written by the tools and the headless world a game application runs in, for the
// tests that run the application whole.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application/game_app.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/headless/headless_backend.h"
#include "host/host_path.h"
#include "host/message_box.h"
#include "lib/config/config_writers.h"
#include "lib/sob/sob_assembler.h"
#include "platform/app_paths.h"
#include "platform/timed_task.h"
#include "support/listed_task.h"
#include "support/temp_dir.h"

namespace bw::test {

inline constexpr char kLoopForever[] = "l:\n wait\n jmp l\n";
inline constexpr uint32_t kPeriodMs = 16;

// A timed task that counts its updates and runs an action at each (given the update's number);
// it stays listed until the service goes, or runs once.
class CountingTask : public TimedTask {
 public:
  explicit CountingTask(std::function<void(int)> action = {}, bool once = false)
      : action_(std::move(action)), once_(once) {}
  int32_t Update(uint32_t) override {
    int n = ++updates;
    if (action_) action_(n);
    return once_ ? 1 : 0;
  }
  void Stop() override {}
  std::atomic<int> updates{0};

 private:
  std::function<void(int)> action_;
  bool once_;
};

inline std::unique_ptr<TimedTask> Once(std::function<void()> run) {
  return std::make_unique<CountingTask>([run = std::move(run)](int) { run(); }, true);
}

// The file that makes a game folder ship the pixel-operation library: the engine's built-in table
// stands in for it.
inline void WritePixelLibraryFile(const TempDir& dir) {
  dir.WriteFile("tvpgl.dll",
                "The pixel-operation library: the engine's built-in table stands in for it.\n");
}

// The configuration files, the pixel library's file and a MAIN assembled from mainBody, written
// into dir.
inline void WriteGameFolder(const TempDir& dir, const AppRecord& record, const AppInfo& info,
                            const EngineConfig& config, const std::string& mainBody) {
  std::string error;
  ASSERT_TRUE(tools::WriteGameConfig(dir.path(), record, info, config, &error)) << error;
  WritePixelLibraryFile(dir);
  sob::AssembleResult main = sob::Assemble(".sob0\n" + mainBody);
  ASSERT_TRUE(main.ok) << main.error;
  dir.WriteFile("SCRIPT/MAIN.SOB", std::string(main.bytes.begin(), main.bytes.end()));
}

// A game folder written by the tools, and the headless world the application runs in.
class GameRun : public ::testing::Test {
 public:
  GameRun() {
    config.engine.canvas = 0;
    if (const char* old = std::getenv("XDG_DATA_HOME")) oldDataHome = old;
    setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
  }
  ~GameRun() override {
    if (oldDataHome) {
      setenv("XDG_DATA_HOME", oldDataHome->c_str(), 1);
    } else {
      unsetenv("XDG_DATA_HOME");
    }
  }

  void WriteGame(const std::string& mainBody) {
    WriteGameFolder(dir, record, info, config, mainBody);
  }

  std::string CommandLine() const {
    std::string engine;
    EXPECT_EQ(host::LinuxPathToEnginePath(dir.path().string(), engine), host::kPathOk);
    return "/L" + engine;
  }

  // Runs the application as main does; answers the process status.
  int RunGame(GameApp& app) {
    app.SetLockFolder(locks.path().string());
    int started = app.Run(CommandLine());
    return started != 0 ? started : app.ExitStatus();
  }

  // Starts the application without running MAIN's loop: the window, the devices and (threaded)
  // the frame thread are there for the test, which ends it with AppShutdown.
  bool Start(GameApp& app) {
    app.SetLockFolder(locks.path().string());
    return RebaseAppFolder(CommandLine().substr(2)) == 0 && app.AppStartup() == kStartupOk;
  }

  bool StartLooping(GameApp& app) { return WriteGame(kLoopForever), Start(app); }

  // The texts of the boxes shown since the last call.
  std::vector<std::string> MessageTexts() {
    std::vector<host::MessageBoxRequest> boxes = backend.MessageBoxes();
    std::vector<std::string> texts;
    for (size_t i = boxesSeen; i < boxes.size(); ++i) texts.push_back(boxes[i].text);
    boxesSeen = boxes.size();
    return texts;
  }

  // The close asks first: the answer is queued before it.
  void CloseAnsweringYes(GameApp& app) {
    backend.QueueMessageBoxAnswer(host::IDYES);
    EXPECT_TRUE(app.MainWindow().PostMessage(host::WM_CLOSE, 0, 0));
  }

  bool Exists(const std::string& relative) const {
    return std::filesystem::exists(dir.path() / relative);
  }

  test::TempDir dir;
  test::TempDir locks;
  AppRecord record;
  AppInfo info;
  EngineConfig config;
  host::HeadlessBackend backend;
  ScopedGlobal<host::Backend> useBackend{&backend};
  size_t boxesSeen = 0;
  std::optional<std::string> oldDataHome;
};

// The scripted dialogs, with a step that runs while the next dialog is up (once).
class HookedDialogHost final : public host::DialogHost {
 public:
  void WhileNextDialog(std::function<void(const host::Dialog&)> step) { step_ = std::move(step); }

  int RunDialog(host::HWND owner, host::Dialog& dialog) override {
    if (step_) {
      auto step = std::move(step_);
      step_ = nullptr;
      step(dialog);
    }
    return scripted.RunDialog(owner, dialog);
  }
  host::FileChoice ChooseFile(host::HWND owner, const host::FileChooserRequest& request) override {
    return scripted.ChooseFile(owner, request);
  }
  host::FolderChoice ChooseFolder(host::HWND owner,
                                  const host::FolderChooserRequest& request) override {
    return scripted.ChooseFolder(owner, request);
  }
  bool SetClipboardText(std::string_view cp932) override {
    return scripted.SetClipboardText(cp932);
  }
  void AttachMenu(host::HWND owner, host::Menu* menu) override { scripted.AttachMenu(owner, menu); }
  void OpenMenu(host::HWND owner) override { scripted.OpenMenu(owner); }

  host::ScriptedDialogHost scripted;

 private:
  std::function<void(const host::Dialog&)> step_;
};

inline host::DialogAnswer Press(int button, std::optional<std::string> typed = std::nullopt) {
  host::DialogAnswer answer;
  answer.button = button;
  answer.editText = std::move(typed);
  return answer;
}

// An answer in the step syntax of BRIMWOLD_HEADLESS_ANSWERS.
inline host::DialogAnswer Steps(const std::string& steps) {
  host::DialogAnswer answer;
  std::string error;
  EXPECT_TRUE(host::ParseDialogAnswer(steps, &answer, &error)) << error;
  return answer;
}

// A game run whose dialogs are scripted and recorded.
class DialogGameRun : public GameRun {
 public:
  std::vector<host::DialogRecord> Dialogs() const { return dialogs.scripted.Dialogs(); }

  HookedDialogHost dialogs;
  ScopedGlobal<host::DialogHost> useDialogs{&dialogs};
};

}  // namespace bw::test
