#include "app/dialogs/message_dialog.h"

#include "app/sysinfo/report_text.h"
#include "host/cp932.h"
#include "host/dialog/dialog_host.h"
#include "host/message_box.h"
#include "host/message_queue.h"

namespace bw {

host::Dialog MakeMessageDialog(const DialogContext& context, uint8_t kind, std::string_view text,
                               const char* title, uint8_t layout) {
  host::Dialog dialog;
  dialog.templateId = 112 + kind;
  dialog.title = title ? std::string(title) : context.appTitle;
  dialog.texts.push_back({kIdMessageText, std::string(text)});
  bool yesNo = kind == kMessageYesNo || kind == kMessageYesNoCheck;
  if (yesNo) {
    dialog.buttons = {{kIdYes, host::Cp932Literal("はい")}, {kIdNo, host::Cp932Literal("いいえ")}};
  } else {
    dialog.buttons = {{kIdOk, "OK"}};
  }
  if (kind == kMessageOkCheck || kind == kMessageYesNoCheck) {
    dialog.checkBoxes.push_back(
        {kIdDontShowAgain, host::Cp932Literal("今後、このメッセージを表示しない"), false, {}});
  }
  dialog.closeAnswer = 0;
  dialog.textWidth = kMessageTextWidth;
  dialog.textHeight = kMessageTextHeight;
  dialog.growToText = layout != 0;
  dialog.centreSingleLine = layout != 0;
  dialog.cursorToDefault = context.cursorToDefault;
  return dialog;
}

uint32_t ShowMessageDialog(const DialogContext& context, const char* text, uint8_t kind,
                           const char* title, uint8_t* checkState, uint8_t layout) {
  if (!text || kind > kMessageYesNoCheck) return 0;
  host::Dialog dialog = MakeMessageDialog(context, kind, text, title, layout);
  host::EchoMessage(dialog.title, text);
  if (checkState) *checkState = 0;
  int answer = InModal(context, [&] { return host::RunDialog(context.owner, dialog); });
  if (const host::DialogCheckBox* box = dialog.CheckBox(kIdDontShowAgain); box && checkState) {
    *checkState = box->checked ? 1 : 0;
  }
  bool yesNo = kind == kMessageYesNo || kind == kMessageYesNoCheck;
  return yesNo && answer == kIdYes ? 1 : 0;
}

uint32_t ShowMessageDialogRequest(const DialogContext& context, MessageDialogRequest* request) {
  if (!request || !request->text) return 1;
  uint32_t answer = ShowMessageDialog(context, request->text, request->kind, request->title,
                                      request->checkState, request->layout);
  request->answer = static_cast<uint8_t>(answer);
  return answer;
}

uint8_t RequestMessageDialog(host::HWND mainWindow, MessageDialogRequest& request,
                             const std::function<void()>& pause,
                             const std::function<void()>& resume) {
  if (!host::IsWindow(mainWindow)) return 0;
  request.answer = 1;
  if (pause) pause();
  host::SendMessage(mainWindow, host::WM_APP_MESSAGE_DIALOG, 0,
                    reinterpret_cast<host::LPARAM>(&request));
  if (resume) resume();
  return request.answer;
}

}  // namespace bw
