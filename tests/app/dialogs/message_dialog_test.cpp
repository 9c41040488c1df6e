// The message dialogs: each kind's template, buttons and answer, the check byte, the modal
// bracket.
#include "app/dialogs/message_dialog.h"

#include <gtest/gtest.h>

#include "app/sysinfo/report_text.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/cp932.h"

namespace bw {
namespace {

using host::DialogAnswer;

class MessageDialogTest : public testing::Test {
 protected:
  host::ScriptedDialogHost dialogs_;
  host::ScopedDialogHost use_{&dialogs_};
  DialogContext context_{host::HWND{}, "Game", false, {}, {}, {}};
};

TEST_F(MessageDialogTest, EachKindAnswersAsItsButtonsSay) {
  struct Case {
    uint8_t kind;
    DialogAnswer answer;
    uint32_t expected;
    int templateId;
    uint8_t checkByte;
  };
  const Case cases[] = {
      {kMessageOk, {kIdOk, {}, {}, {}, false}, 0, 112, 0},
      {kMessageOkCheck, {kIdOk, {{kIdDontShowAgain, true}}, {}, {}, false}, 0, 113, 1},
      {kMessageYesNo, {kIdYes, {}, {}, {}, false}, 1, 114, 0},
      {kMessageYesNo, {kIdNo, {}, {}, {}, false}, 0, 114, 0},
      {kMessageYesNo, {kIdYes, {}, {}, {}, true}, 0, 114, 0},  // closed
      {kMessageYesNoCheck, {kIdNo, {{kIdDontShowAgain, true}}, {}, {}, false}, 0, 115, 1},
      {kMessageYesNoCheck, {kIdYes, {}, {}, {}, false}, 1, 115, 0},
  };
  for (const Case& c : cases) {
    dialogs_.QueueAnswer(c.answer);
    uint8_t check = 9;  // cleared by the dialog whatever happens
    EXPECT_EQ(ShowMessageDialog(context_, "text", c.kind, nullptr, &check, 0), c.expected) << int(c.kind);
    EXPECT_EQ(check, c.checkByte) << int(c.kind);
    host::DialogRecord shown = dialogs_.Dialogs().back();
    EXPECT_EQ(shown.templateId, c.templateId);
    EXPECT_EQ(shown.checks.count(kIdDontShowAgain), c.kind == kMessageOkCheck || c.kind == kMessageYesNoCheck ? 1u : 0u);
  }
}

TEST_F(MessageDialogTest, TextsTitleAndLayout) {
  host::Dialog dialog = MakeMessageDialog(context_, kMessageYesNoCheck, "t", "Own", 1);
  EXPECT_EQ(dialog.title, "Own");
  ASSERT_EQ(dialog.buttons.size(), 2u);
  EXPECT_EQ(dialog.buttons[0].label, host::Cp932Literal("はい"));
  EXPECT_EQ(dialog.buttons[1].label, host::Cp932Literal("いいえ"));
  EXPECT_EQ(dialog.checkBoxes.at(0).label, host::Cp932Literal("今後、このメッセージを表示しない"));
  EXPECT_TRUE(dialog.growToText);
  EXPECT_TRUE(dialog.centreSingleLine);
  EXPECT_FALSE(MakeMessageDialog(context_, kMessageOk, "t", nullptr, 0).growToText) << "fixed without the flag";
}

TEST_F(MessageDialogTest, NothingToShowShowsNothing) {
  uint8_t check = 5;
  EXPECT_EQ(ShowMessageDialog(context_, nullptr, kMessageYesNo, nullptr, &check, 0), 0u);
  EXPECT_EQ(ShowMessageDialog(context_, "x", 4, nullptr, &check, 0), 0u) << "no such kind";
  EXPECT_EQ(check, 5);
  EXPECT_EQ(ShowMessageDialogRequest(context_, nullptr), 1u);
  MessageDialogRequest empty;
  EXPECT_EQ(ShowMessageDialogRequest(context_, &empty), 1u);
  EXPECT_TRUE(dialogs_.Dialogs().empty());
  MessageDialogRequest request;
  EXPECT_EQ(RequestMessageDialog(host::HWND{}, request), 0) << "no main window";
}

TEST_F(MessageDialogTest, TheModalBracketIsEnteredOnceAndOnlyWhenNotModal) {
  std::vector<std::string> calls;
  bool modal = false;
  context_.isModal = [&] { return modal; };
  context_.beginModal = [&] { calls.push_back("begin"); };
  context_.endModal = [&] { calls.push_back("end"); };
  ShowMessageDialog(context_, "x", kMessageOk, nullptr, nullptr, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"begin", "end"}));
  modal = true;
  ShowMessageDialog(context_, "x", kMessageOk, nullptr, nullptr, 0);
  EXPECT_EQ(calls.size(), 2u);
}

}  // namespace
}  // namespace bw
