// The data-input dialog: what it shows, the length limit, OK and cancelling.
#include "app/dialogs/data_input_dialog.h"

#include <gtest/gtest.h>

#include "app/sysinfo/report_text.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/cp932.h"

namespace bw {
namespace {

class DataInputDialogTest : public testing::Test {
 protected:
  host::ScriptedDialogHost dialogs_;
  host::ScopedDialogHost use_{&dialogs_};
  DialogContext context_{host::HWND{}, "Game", false, {}, {}, {}};
  DataInputDialog input_;
};

TEST_F(DataInputDialogTest, OkTakesTheTextWithinTheLimit) {
  input_.Setup(host::Cp932Literal("名前を入力"), host::Cp932Literal("太郎"), 3, 4, 10, 20);
  host::Dialog dialog = input_.MakeDialog();
  EXPECT_EQ(dialog.templateId, 116);
  EXPECT_EQ(dialog.title, host::Cp932Literal("データ入力"));
  EXPECT_EQ(dialog.Text(kIdDataInputPrompt)->text, host::Cp932Literal("名前を入力"));
  EXPECT_EQ(dialog.edit->text, host::Cp932Literal("太郎"));
  EXPECT_EQ(dialog.edit->maxBytes, 4u);

  dialogs_.QueueAnswer({kIdOk, {}, host::Cp932Literal("あいう"), {}, false});
  EXPECT_TRUE(input_.Show(context_));
  EXPECT_EQ(input_.Result(), host::Cp932Literal("あい"));
}

TEST_F(DataInputDialogTest, CancellingKeepsTheLastResult) {
  input_.Setup("?", "", 0, 0, -1, -1);
  dialogs_.QueueAnswer({kIdOk, {}, std::string("first"), {}, false});
  ASSERT_TRUE(input_.Show(context_));
  dialogs_.QueueAnswer({kIdOk, {}, std::string("second"), {}, true});
  EXPECT_FALSE(input_.Show(context_));
  EXPECT_EQ(input_.Result(), "first");
  EXPECT_FALSE(input_.Show(context_)) << "no answer: closed";
}

TEST_F(DataInputDialogTest, TheFieldNeverHoldsMoreThanItsSize) {
  std::string longText(400, 'a');
  for (uint32_t limit : {0u, 1000u}) {
    input_.Setup("?", longText, 0, limit, -1, -1);
    EXPECT_EQ(input_.MakeDialog().edit->text.size(), kDataInputMaxBytes) << limit;
    dialogs_.QueueAnswer({kIdOk, {}, longText, {}, false});
    ASSERT_TRUE(input_.Show(context_));
    EXPECT_EQ(input_.Result().size(), kDataInputMaxBytes) << limit;
  }
}

}  // namespace
}  // namespace bw
