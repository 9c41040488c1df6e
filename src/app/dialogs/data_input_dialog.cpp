#include "app/dialogs/data_input_dialog.h"

#include "app/dialogs/message_dialog.h"
#include "app/sysinfo/report_text.h"
#include "common/sjis.h"
#include "host/cp932.h"
#include "host/dialog/dialog_host.h"

namespace bw {

void DataInputDialog::Setup(const std::string& prompt, const std::string& defaultText,
                            uint32_t flags, uint32_t limit, int32_t x, int32_t y) {
  prompt_ = prompt;
  limit_ = limit == 0 || limit > kDataInputMaxBytes ? kDataInputMaxBytes : limit;
  defaultText_ = std::string(sjis::Truncate(defaultText, limit_));
  flags_ = flags;
  x_ = x;
  y_ = y;
}

host::Dialog DataInputDialog::MakeDialog() const {
  host::Dialog dialog;
  dialog.templateId = 116;
  dialog.title = host::Cp932Literal("データ入力");
  dialog.texts.push_back({kIdDataInputPrompt, prompt_});
  dialog.edit = host::DialogEdit{kIdDataInputField, defaultText_, limit_};
  dialog.buttons = {{kIdOk, "OK"}};
  dialog.closeAnswer = 0;
  dialog.x = x_;
  dialog.y = y_;
  return dialog;
}

bool DataInputDialog::Show(const DialogContext& context) {
  host::Dialog dialog = MakeDialog();
  int answer = InModal(context, [&] { return host::RunDialog(context.owner, dialog); });
  if (answer != kIdOk) return false;
  // The limit holds whatever the host let through.
  result_ = std::string(sjis::Truncate(dialog.edit->text, limit_));
  return true;
}

}  // namespace bw
