// The dialog interface without a renderer: the menu's state and commands, the CP932 limit of
// edit fields, the answers without a host, and the scripted host's order of play.
#include "host/dialog/dialog_host.h"

#include <gtest/gtest.h>

#include "host/cp932.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/message_queue.h"
#include "host/take_messages.h"

namespace bw::host {
namespace {

std::vector<MSG> Commands() {
  std::vector<MSG> got = test::TakeMessages();
  std::erase_if(got, [](const MSG& m) { return m.message != WM_COMMAND; });
  return got;
}

TEST(MenuTest, GreyedItemsPostNothingAndEnabledOnesPostTheirId) {
  WindowDesc desc;
  desc.proc = DefWindowProc;
  HWND owner = CreateWindow(desc);
  ASSERT_TRUE(owner);
  MenuItem popup{0, "File", false, true, false, {{10, "Open", false, true, false, {}}, {11, "Quit", false, true, false, {}}}};
  Menu menu(owner, {popup, {11, "Quit", false, true, false, {}}});

  // An id that appears twice (in a popup and on the bar) changes everywhere.
  EXPECT_TRUE(menu.EnableItem(11, false));
  EXPECT_FALSE(menu.Items()[1].enabled);
  EXPECT_FALSE(menu.Items()[0].items[1].enabled);
  EXPECT_FALSE(menu.Choose(11));
  EXPECT_FALSE(menu.Choose(99)) << "an unknown id";
  EXPECT_FALSE(menu.EnableItem(0, false)) << "popups and separators have no command";
  EXPECT_TRUE(Commands().empty());

  EXPECT_TRUE(menu.Choose(10));
  std::vector<MSG> posted = Commands();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].hwnd, owner);
  EXPECT_EQ(posted[0].wParam, 10u);
  DestroyWindow(owner);
}

TEST(MenuTest, LabelsLoseAccessMarkersAndSplitAtTheTab) {
  MenuLabel label = SplitMenuLabel(host::Cp932Literal("終了(&Q)\tAlt+F4"));
  EXPECT_EQ(label.text, host::Cp932Literal("終了(Q)"));
  EXPECT_EQ(label.shortcut, "Alt+F4");
  EXPECT_EQ(SplitMenuLabel("Save && Quit").text, "Save & Quit");
  // 0x8326 is a character whose second byte is '&': it stays whole.
  EXPECT_EQ(SplitMenuLabel("\x83\x26" "A").text, "\x83\x26" "A");
}

TEST(ClipCp932Test, NeverSplitsACharacter) {
  std::string text = host::Cp932Literal("あいう");  // six bytes
  EXPECT_EQ(ClipCp932(text, 6), text);
  EXPECT_EQ(ClipCp932(text, 5), host::Cp932Literal("あい"));
  EXPECT_EQ(ClipCp932("ab" + text, 3), "ab");
}

TEST(DialogHostTest, WithoutAHostEveryDialogIsCancelled) {
  ScopedDialogHost none(nullptr);
  Dialog dialog;
  dialog.buttons = {{1, "OK"}};
  dialog.closeAnswer = 7;
  EXPECT_EQ(RunDialog(HWND{}, dialog), 7);
  EXPECT_FALSE(ChooseFile(HWND{}, FileChooserRequest{}).chosen);
  EXPECT_FALSE(ChooseFolder(HWND{}, FolderChooserRequest{}).chosen);
  EXPECT_FALSE(SetClipboardText("x"));
}

TEST(ScriptedDialogHostTest, PlaysChecksTextActionsThenTheButton) {
  ScriptedDialogHost host;
  ScopedDialogHost use(&host);
  std::vector<std::string> calls;
  Dialog dialog;
  dialog.templateId = 42;
  dialog.title = "T";
  dialog.texts = {{5, "hello"}};
  dialog.edit = DialogEdit{6, "", 4};
  dialog.checkBoxes = {{7, "box", false, [&](Dialog& d) {
                          calls.push_back("toggle");
                          d.texts[0].text = "changed";
                        }}};
  dialog.actions = {{8, "act", [&](Dialog& d) { calls.push_back("act:" + d.edit->text); }}};
  dialog.buttons = {{1, "OK"}, {2, "No"}};
  host.QueueAnswer({2, {{7, true}, {7, true}}, host::Cp932Literal("あいう"), {8}, false});
  host.QueueAnswer({99, {}, std::nullopt, {}, false});  // not a button of the dialog
  host.QueueAnswer({1, {}, std::nullopt, {}, true});

  EXPECT_EQ(RunDialog(HWND{}, dialog), 2);
  // Setting the same state again is no toggle.
  EXPECT_EQ(calls, (std::vector<std::string>{"toggle", "act:" + host::Cp932Literal("あい")}));
  EXPECT_EQ(RunDialog(HWND{}, dialog), 0) << "an unknown button closes";
  EXPECT_EQ(RunDialog(HWND{}, dialog), 0) << "closing wins over the button";
  EXPECT_EQ(RunDialog(HWND{}, dialog), 0) << "no answer left";
  host.AnswerDefaultWhenEmpty(true);
  EXPECT_EQ(RunDialog(HWND{}, dialog), 1) << "nobody to answer: the default button";

  std::vector<DialogRecord> records = host.Dialogs();
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[0].texts, std::vector<std::string>{"changed"});
  EXPECT_TRUE(records[0].checks.at(7));
  EXPECT_EQ(records[0].editText, host::Cp932Literal("あい"));
}

}  // namespace
}  // namespace bw::host
