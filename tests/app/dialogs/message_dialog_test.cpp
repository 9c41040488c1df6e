// Label: threads
// The message dialogs: each kind's answers, their copy on standard error and the modal bracket;
// the data-input dialog's limit.
#include "app/dialogs/message_dialog.h"

#include <gtest/gtest.h>

#include "app/dialogs/data_input_dialog.h"
#include "app/sysinfo/report_text.h"
#include "host/cp932.h"
#include "host/dialog/scripted_dialog_host.h"

namespace bw {
namespace {

using host::DialogAnswer;

class MessageDialogTest : public testing::Test {
 protected:
  host::ScriptedDialogHost dialogs_;
  ScopedGlobal<host::DialogHost> use_{&dialogs_};
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
      {kMessageYesNo, {kIdYes, {}, {}, {}, true}, 0, 114, 0},  // closed
      {kMessageYesNoCheck, {kIdNo, {{kIdDontShowAgain, true}}, {}, {}, false}, 0, 115, 1},
      {kMessageYesNoCheck, {kIdYes, {}, {}, {}, false}, 1, 115, 0},
  };
  testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    dialogs_.QueueAnswer(c.answer);
    uint8_t check = 9;  // cleared by the dialog whatever happens
    EXPECT_EQ(ShowMessageDialog(context_, "text", c.kind, nullptr, &check, 0), c.expected)
        << int(c.kind);
    EXPECT_EQ(check, c.checkByte) << int(c.kind);
    host::DialogRecord shown = dialogs_.Dialogs().back();
    EXPECT_EQ(shown.templateId, c.templateId);
    EXPECT_EQ(shown.checks.count(kIdDontShowAgain),
              c.kind == kMessageOkCheck || c.kind == kMessageYesNoCheck ? 1u : 0u);
  }
  // Each box also goes to standard error, titled, for a player at a terminal and for logs.
  std::string echoed = testing::internal::GetCapturedStderr();
  std::string expected;
  for (size_t i = 0; i < std::size(cases); ++i) expected += "[Game] text\n";
  EXPECT_EQ(echoed, expected);
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

// The data-input dialog's length limit.
TEST_F(MessageDialogTest, TheDataInputFieldNeverHoldsMoreThanItsSize) {
  DataInputDialog input;
  std::string longText(400, 'a');
  for (uint32_t limit : {0u, 1000u}) {
    input.Setup("?", longText, 0, limit, -1, -1);
    EXPECT_EQ(input.MakeDialog().edit->text.size(), kDataInputMaxBytes) << limit;
    dialogs_.QueueAnswer({kIdOk, {}, longText, {}, false});
    ASSERT_TRUE(input.Show(context_));
    EXPECT_EQ(input.Result().size(), kDataInputMaxBytes) << limit;
  }
}

}  // namespace
}  // namespace bw
