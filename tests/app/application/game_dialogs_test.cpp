// Label: threads
// The game application's dialog entry points: the message dialogs and their fall-back to message
// boxes, the window thread's service of dialog requests, the frame thread
// waiting for the window thread's dialogs in the threaded mode, and files dropped on the window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/application/game_app.h"
#include "host/message_queue.h"
#include "support/game_run.h"

namespace bw {
namespace {

using host::DialogAnswer;
using test::kLoopForever;
using test::kPeriodMs;
using test::Once;
using test::Press;

DialogAnswer Tick(int button) {
  DialogAnswer answer = Press(button);
  answer.checks = {{kIdDontShowAgain, true}};
  return answer;
}

using GameDialogs = test::DialogGameRun;

TEST_F(GameDialogs, MessageDialogsTakeTheApplicationsTitleOrComeAsMessageBoxes) {
  GameApp app;
  ASSERT_TRUE(StartLooping(app));
  // Kinds and answers are the dialogs' own; the application adds its title.
  dialogs.scripted.QueueAnswer(Tick(kIdNo));
  uint8_t checked = 9;
  EXPECT_EQ(app.ShowMessageDialog("text", kMessageYesNoCheck, nullptr, &checked, 0), 0u);
  EXPECT_EQ(std::tuple(checked, Dialogs().back().title), std::tuple(1, "KVR DX Application"))
      << "no title: the application's";

  // The start-up's form: the box's state comes back as a flag.
  dialogs.scripted.QueueAnswer(Tick(kIdOk));
  bool dontShowAgain = false;
  EXPECT_EQ(app.ShowMessageDialog(std::string("sound"), kMessageOkCheck, &dontShowAgain), 0);
  EXPECT_TRUE(dontShowAgain);

  // Without a dialog host the message comes as a message box.
  const size_t shown = Dialogs().size();
  ScopedGlobal<host::DialogHost> none(nullptr);
  backend.QueueMessageBoxAnswer(host::IDNO);
  checked = 9;
  EXPECT_EQ(app.ShowMessageDialog("question", kMessageYesNoCheck, nullptr, &checked, 0), 0u);
  EXPECT_EQ(checked, 0);
  backend.QueueMessageBoxAnswer(host::IDYES);
  EXPECT_EQ(app.ShowMessageDialog("question", kMessageYesNo, nullptr, nullptr, 0), 1u);
  EXPECT_EQ(app.ShowMessageDialog("told", kMessageOk, nullptr, nullptr, 0), 0u);
  EXPECT_EQ(std::tuple(MessageTexts(), Dialogs().size()),
            std::tuple(std::vector<std::string>{"question", "question", "told"}, shown));
  app.AppShutdown(0);
}

TEST_F(GameDialogs, TheWindowServesDialogRequestsUnlessAnotherDialogRunsAndTakesDroppedFiles) {
  GameApp app;
  ASSERT_TRUE(StartLooping(app));
  uint8_t checked = 0;
  MessageDialogRequest request;
  request.kind = kMessageYesNoCheck, request.text = "request", request.title = "Title";
  request.checkState = &checked;
  uint8_t during = 0;
  dialogs.WhileNextDialog([&](const host::Dialog&) { during = app.ModalState(); });
  dialogs.scripted.QueueAnswer(Tick(kIdYes));
  app.MainWindow().SendMessage(kMsgMessageDialog, 0, reinterpret_cast<host::LPARAM>(&request));
  EXPECT_EQ(std::tuple(request.answer, checked, during, app.ModalState(), Dialogs().back().title),
            std::tuple(1, 1, kModalMessageDialog, kModalNone, "Title"));

  // A request that arrives while the version dialog is up is not shown, and reads as "no".
  MessageDialogRequest refused;
  refused.kind = kMessageYesNo, refused.text = "later";
  dialogs.WhileNextDialog([&](const host::Dialog&) {
    app.MainWindow().SendMessage(kMsgMessageDialog, 0, reinterpret_cast<host::LPARAM>(&refused));
  });
  app.MainWindow().SendMessage(host::WM_COMMAND, kCmdVersion, 0);
  EXPECT_EQ(std::tuple(refused.answer, Dialogs().size()), std::tuple(0, 2u));
  app.MainWindow().SendMessage(kMsgMessageDialog, 0, 0);  // no record: nothing

  // A file dropped on the window reaches the drop target.
  std::string dropped = dir.WriteFile("dropped.txt", "x").string();
  std::string expected;
  ASSERT_EQ(host::LinuxPathToEnginePath(dropped, expected), host::kPathOk);
  app.DropTarget().SetEnabled(app.MainWindow().GetHandle(), true);
  host::InputEvent drop;
  drop.kind = host::InputEventKind::kDropFiles, drop.files = {dropped};
  backend.QueueEvent(drop);
  EXPECT_EQ(app.PumpMessages(true), kPumpEmpty);
  ASSERT_EQ(app.DropTarget().GetCount(), 1u);
  EXPECT_EQ(app.DropTarget().GetFile(0), expected);
  app.AppShutdown(0);
}

// The frame thread's dialogs, boxes and screen-mode switches are carried out by the window
// thread while the frame thread waits for them.
TEST_F(GameDialogs, TheFrameThreadWaitsWhileTheWindowThreadShowsItsDialogs) {
  config.engine.threadedDriving = 1;
  WriteGame(kLoopForever);
  GameApp app;
  const uint32_t windowThread = host::GetCurrentThreadId();
  uint32_t frameThread = 0, answer = 0;
  int waitFromFrameThread = 0, switched = -1;
  bool asked = false;
  uint8_t modeAfter = 0;
  DataInputRequest input;
  // The first timer service runs on the frame thread in this mode.
  test::List(app.FirstTimers(), Once([&] {
               frameThread = host::GetCurrentThreadId();
               waitFromFrameThread = app.WaitForFrameThread(nullptr);
               answer = app.ShowMessageDialog("from the frame thread", kMessageYesNo, nullptr,
                                              nullptr, 0);
               app.DataInput().Setup("name?", "", 0, 0, -1, -1);
               EXPECT_TRUE(app.RequestDataInput(input));
               asked = app.AskYesNo("continue?", kIconQuestion);
               switched = app.RequestScreenMode(kSavedScreenFull, 32, kSwitchForced);
               modeAfter = app.Config().display.screenMode;
               EXPECT_TRUE(app.MainWindow().PostMessage(host::WM_CLOSE, 0, 0));
             }),
             5 * kPeriodMs, 0, 1);
  dialogs.scripted.QueueAnswer(Press(kIdYes));
  dialogs.scripted.QueueAnswer(Press(kIdOk, "Bob"));
  backend.QueueMessageBoxAnswer(host::IDYES);   // the question
  dialogs.scripted.QueueAnswer(Press(kIdYes));  // the close
  EXPECT_EQ(RunGame(app), kExitNormal);
  EXPECT_TRUE(frameThread != 0u && frameThread != windowThread);
  EXPECT_EQ(std::tuple(answer, input.answer, app.DataInput().Result()), std::tuple(1u, 1, "Bob"));
  EXPECT_EQ(std::tuple(waitFromFrameThread, app.FramePauseState(), asked, switched, modeAfter),
            std::tuple(kWaitOnFrameThread, kFrameRunning, true, kSwitchDone, kSavedScreenFull));
  std::vector<host::DialogRecord> shown = Dialogs();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(std::tuple(shown[0].templateId, shown[1].templateId), std::tuple(114, 116));
  for (const host::DialogRecord& dialog : shown) EXPECT_EQ(dialog.threadId, windowThread);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"continue?"});
}

}  // namespace
}  // namespace bw
