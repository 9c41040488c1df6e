// The data-input dialog's length limit.
#include "app/dialogs/data_input_dialog.h"

#include <gtest/gtest.h>

#include "app/sysinfo/report_text.h"
#include "host/cp932.h"
#include "host/dialog/scripted_dialog_host.h"

namespace bw {
namespace {

class DataInputDialogTest : public testing::Test {
 protected:
  host::ScriptedDialogHost dialogs_;
  ScopedGlobal<host::DialogHost> use_{&dialogs_};
  DialogContext context_{host::HWND{}, "Game", false, {}, {}, {}};
  DataInputDialog input_;
};

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
