// Label: threads
// The game application headless: start-up and its refusals, MAIN's run and its exit status, the
// interrupt and the settings written at the end.
#include "app/application/game_app.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>

#include "graphics/device/render_item.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/headless/headless_backend.h"
#include "host/host_path.h"
#include "host/message_queue.h"
#include "input/key_codes.h"
#include "lib/config/config_writers.h"
#include "lib/sob/sob_assembler.h"
#include "platform/app_paths.h"
#include "platform/mmx_flag.h"
#include "support/game_run.h"
#include "support/recording_field.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using test::GameRun;
using test::kLoopForever;
using test::kPeriodMs;
using test::Once;

TEST_F(GameRun, RunsMainToItsEndAndSavesTheSettingsInTheRebasedFolder) {
  WriteGame(" wait\n wait\n ret\n");
  // Trailing bytes the reader passes over: a settings file written back is the plain encoding.
  std::filesystem::path userCfg = dir.path() / "USER.CFG";
  {
    std::ofstream append(userCfg, std::ios::binary | std::ios::app);
    append << "trailing";
  }
  const auto shipped = std::filesystem::file_size(userCfg);
  GameApp app;
  EXPECT_EQ(RunGame(app), kExitNormal);
  EXPECT_TRUE(MessageTexts().empty());
  // Mode 1 under "/L": the settings go back where start-up read them.
  EXPECT_TRUE(Exists("SAVEDATA/APP_CFG.DAT"));
  EXPECT_EQ(std::filesystem::file_size(userCfg), EncodeEngineConfig(config).size());
  EXPECT_LT(std::filesystem::file_size(userCfg), shipped);
  EXPECT_EQ(std::filesystem::file_size(dir.path() / "SAVEDATA/APP_CFG.DAT"), 4 + UserConfig::kSize);
  EXPECT_EQ(app.GetSaveFolder().back(), '\\');
}

// The settings written between saves (the rings' counters) and at the end: a write that fails
// is told each time, and the run ends with the status that says its settings were not saved.
TEST_F(GameRun, SettingsThatCannotBeWrittenAreToldAndTheRunSaysSo) {
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  std::filesystem::remove(dir.path() / "SAVEDATA/APP_CFG.DAT");
  dir.WriteFile("SAVEDATA/APP_CFG.DAT/inside", "a folder took its place");
  MessageTexts();
  SaveSettings ring = app.SaveSettingsSource()->GetSaveSettings();
  ring.nextQuickSlot = 6;
  app.SaveSettingsSource()->SetSaveSettings(ring, true);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"アプリケーション設定ファイルの保存に失敗"});
  app.AppShutdown(0);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"アプリケーション設定ファイルの保存に失敗"});
  EXPECT_EQ(app.ExitStatus(), kExitSettingsNotSaved);
}

// A game torn down without its shut-down (a failed test, an exception) closes its windows with
// none of its handlers called on the half-destroyed object (the sanitizer would report it), and
// leaves no device published and no quit for the next game's loop on this thread.
TEST_F(GameRun, AStartedGameDestroyedWithoutItsShutDownCallsNoHandlerOfIts) {
  WriteGame(kLoopForever);
  auto app = std::make_unique<GameApp>();
  ASSERT_TRUE(Start(*app));
  const host::HWND window = app->MainWindow().GetHandle();
  app.reset();
  EXPECT_FALSE(host::IsWindow(window));
  EXPECT_EQ(Global<DirectDrawDevice>::Get(), nullptr);
  EXPECT_EQ(Global<Direct3DDevice>::Get(), nullptr);
  host::MSG quit;
  EXPECT_FALSE(
      host::PeekMessage(&quit, host::HWND{}, host::WM_QUIT, host::WM_QUIT, host::PM_NOREMOVE));
}

TEST_F(GameRun, EachStartUpRefusalShowsItsMessageAndEndsWithItsCode) {
  struct Case {
    const char* name;
    std::function<void(GameRun&)> spoil;
    int code;
    const char* message;  // null: none
  };
  const Case cases[] = {
      {"no settings file", [](GameRun& g) { std::filesystem::remove(g.dir.path() / "USER.CFG"); },
       kStartupInitInstance, "環境設定ファイルの読み込みに失敗"},
      {"started from a CD-ROM",
       [](GameRun& g) { g.backend.SetFileSystemType(g.dir.path().string() + "/", "iso9660"); },
       kStartupCdRom, "ハードディスクから起動してください"},
      // A game that may use full screen starts anyway; one that has only the window cannot.
      {"256 colours",
       [](GameRun& g) {
         g.record.defaultScreenMode = kScreenWindowOnly;
         g.WriteGame(kLoopForever);
         g.backend.SetDesktop({1024, 768, 8, {}});
       },
       kStartupDisplay, "画面モードをHighColor(16bit)以上にして起動して下さい"},
  };
  for (const Case& c : cases) {
    record.defaultScreenMode = kScreenBoth;
    WriteGame(kLoopForever);
    c.spoil(*this);
    MessageTexts();  // forget earlier boxes
    {
      GameApp app;
      EXPECT_EQ(RunGame(app), c.code) << c.name;
    }
    std::vector<std::string> texts = MessageTexts();
    ASSERT_EQ(texts.size(), 1u) << c.name;
    EXPECT_EQ(texts[0].substr(0, texts[0].find('\n')), c.message) << c.name << ": " << texts[0];
    // A refused start saves nothing.
    EXPECT_FALSE(Exists("SAVEDATA/APP_CFG.DAT")) << c.name;
    backend.SetDesktop({1024, 768, 32, {}});
    backend.SetFileSystemType(dir.path().string() + "/", "ext4");
  }
}

// The program's test stops a second copy; without the single-instance request two may run.
TEST_F(GameRun, WithoutTheSingleInstanceRequestTwoMayRun) {
  record.singleInstance = 0;
  WriteGame(" ret\n");
  InstanceLock first;
  ASSERT_TRUE(first.Acquire(locks.path().string(), "Brimwold DX" + info.appName));
  GameApp second;
  EXPECT_EQ(RunGame(second), kExitNormal);
}

TEST_F(GameRun, ScriptFailuresShowTheirMessageEndNonZeroAndStillSave) {
  struct Case {
    const char* name;
    const char* body;  // null: no MAIN
    const char* message;
  };
  const Case cases[] = {
      {"invalid instruction", " wait\n op 250\n ret\n", "不正なスクリプトを実行しました"},
      {"no MAIN", nullptr, "メインスクリプトを開けません"},
  };
  for (const Case& c : cases) {
    WriteGame(c.body ? c.body : " ret\n");
    if (!c.body) std::filesystem::remove(dir.path() / "SCRIPT/MAIN.SOB");
    std::filesystem::remove_all(dir.path() / "SAVEDATA");
    MessageTexts();
    GameApp app;
    EXPECT_NE(RunGame(app), kExitNormal) << c.name;
    std::vector<std::string> texts = MessageTexts();
    ASSERT_EQ(texts.size(), 1u) << c.name;
    EXPECT_EQ(texts[0], c.message) << c.name;
    EXPECT_TRUE(Exists("SAVEDATA/APP_CFG.DAT")) << c.name;
  }
}

// Raises the interrupt from a window message, as the menu's "return to title" does.
class InterruptOnMessage : public MessageHandler {
 public:
  explicit InterruptOnMessage(GameApp& app) : app_(app) {}
  int Invoke(WindowMessage&) override {
    app_.RequestInterrupt(kInterruptRestart);
    return kHandled;
  }

 private:
  GameApp& app_;
};

TEST_F(GameRun, AnInterruptRestartsMainAndTheGameGoesOn) {
  constexpr uint32_t kReturnToTitle = 0x8001;
  WriteGame(kLoopForever);
  GameApp app;
  bool closed = false;
  // The request lands while the frame loop pumps: the loop stops for it, MAIN restarts, and the
  // game must still be there for the close that follows.
  app.MainWindow().Bind(kReturnToTitle, std::make_unique<InterruptOnMessage>(app));
  test::List(app.FirstTimers(),
             Once([&] { EXPECT_TRUE(app.MainWindow().PostMessage(kReturnToTitle, 0, 0)); }),
             5 * kPeriodMs, 0, 1);
  test::List(app.FirstTimers(), Once([&] {
               closed = true;
               EXPECT_TRUE(app.MainWindow().PostMessage(host::WM_CLOSE, 0, 0));
             }),
             40 * kPeriodMs, 0, 1);
  EXPECT_EQ(RunGame(app), kExitNormal);
  EXPECT_TRUE(closed) << "the run ended at the interrupt";
  EXPECT_EQ(app.InterruptRequest(), kInterruptNone);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"『KVR DX Application』\nを終了しますか？"});
}

TEST_F(GameRun, AnInterruptThatCannotRestartMainEndsTheRunNonZero) {
  WriteGame(kLoopForever);
  GameApp app;
  test::List(app.FirstTimers(), Once([&] {
               std::filesystem::remove(dir.path() / "SCRIPT/MAIN.SOB");
               app.RequestInterrupt(kInterruptRestartOther);
             }),
             5 * kPeriodMs, 0, 1);
  EXPECT_NE(RunGame(app), kExitNormal);
  std::vector<std::string> texts = MessageTexts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], "スクリプト割り込みに失敗しました");
}

TEST_F(GameRun, TheMainWindowFeedsTheInputPartAndEachFramePollsIt) {
  WriteGame(kLoopForever);
  GameApp app;
  bool checked = false;
  bool seenPressed = false;
  Window& window = app.MainWindow();
  // The effects' timers run after the frame's poll: a key pressed shows there as newly pressed.
  test::List(app.SecondTimers(), std::make_unique<test::CountingTask>([&](int) {
               seenPressed |= app.GetBindings()->IsActionPressed(kActionDecide);
             }),
             0, 1, 0);
  test::List(app.FirstTimers(), Once([&] {
               ASSERT_NE(app.GetBindings(), nullptr);
               window.SendMessage(host::WM_KEYDOWN, kVkReturn, 0);
               EXPECT_TRUE(app.GetBindings()->IsActionDown(kActionDecide));
             }),
             5 * kPeriodMs, 0, 1);
  test::List(app.FirstTimers(), Once([&] {
               EXPECT_TRUE(seenPressed);
               EXPECT_TRUE(app.GetBindings()->IsActionDown(kActionDecide));
               window.SendMessage(host::WM_KEYUP, kVkReturn, 0);
             }),
             10 * kPeriodMs, 0, 1);
  test::List(app.FirstTimers(), Once([&] {
               EXPECT_FALSE(app.GetBindings()->IsActionDown(kActionDecide));
               // The input part's own requests, served by the window.
               window.SendMessage(kMsgImeRequest, 1, 0);
               EXPECT_TRUE(app.GetEngineInput().IsImeEnabled());
               window.SendMessage(kMsgImeRequest, 0, 0);
               EXPECT_FALSE(app.GetEngineInput().IsImeEnabled());
               window.SendMessage(kMsgShowCursor, 1, 0);
               EXPECT_TRUE(app.GetInputManager().GetMouse()->IsSystemCursorShown());
               window.SendMessage(kMsgShowCursor, 0, 0);
               EXPECT_FALSE(app.GetInputManager().GetMouse()->IsSystemCursorShown());

               // Text entry goes through the main window's procedure.
               test::RecordingField field;
               window.SendMessage(host::WM_CHAR, 'x', 0);  // nothing attached: dropped
               app.GetEngineInput().AttachTextInput(window.GetHandle());
               window.SendMessage(host::WM_CHAR, 'a', 0);
               app.GetEngineInput().PollTextInput(&field);
               EXPECT_EQ(field.texts, std::vector<std::string>{"a"});
               app.GetEngineInput().AttachTextInput(host::HWND{});
               checked = true;
               CloseAnsweringYes(app);
             }),
             15 * kPeriodMs, 0, 1);
  EXPECT_EQ(RunGame(app), kExitNormal);
  EXPECT_TRUE(checked);
}

}  // namespace
}  // namespace bw
