// The four message dialogs of the scripts (112 to 115): OK or yes/no, each with or without the
// check box that stops the message from being shown again.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/dialogs/dialog_context.h"
#include "host/dialog/dialog.h"
#include "host/messages.h"

namespace bw {

// Kinds.
constexpr uint8_t kMessageOk = 0;
constexpr uint8_t kMessageOkCheck = 1;
constexpr uint8_t kMessageYesNo = 2;
constexpr uint8_t kMessageYesNoCheck = 3;

// Control ids.
constexpr int kIdYes = 1;
constexpr int kIdNo = 2;
constexpr int kIdMessageFrame = 1011;
constexpr int kIdMessageText = 1012;
constexpr int kIdDontShowAgain = 1013;

// The text control of the templates before the layout grows it: two lines of the 9-point face.
constexpr int32_t kMessageTextWidth = 300;
constexpr int32_t kMessageTextHeight = 36;

struct MessageDialogRequest {
  uint8_t kind = kMessageOk;
  const char* text = nullptr;   // CP932
  const char* title = nullptr;  // null: the application title
  uint8_t* checkState = nullptr;
  uint8_t layout = 0;
  uint8_t answer = 1;
};

// Dialog 112 + kind; the check box writes its state through checkState when the dialog ends.
host::Dialog MakeMessageDialog(const DialogContext& context, uint8_t kind, std::string_view text,
                               const char* title, uint8_t layout);

// 1 for "はい" of kinds 2 and 3, else 0; a null text or an unknown kind shows nothing and answers
// 0. The check-state byte is cleared, then set from the box when the dialog has one.
[[nodiscard]] uint32_t ShowMessageDialog(const DialogContext& context, const char* text,
                                         uint8_t kind, const char* title, uint8_t* checkState,
                                         uint8_t layout);
// The same from a record, the answer stored in it; 1 for a null record or text.
[[nodiscard]] uint32_t ShowMessageDialogRequest(const DialogContext& context,
                                                MessageDialogRequest* request);

// From another thread: sends the record to the main window (WM_APP_MESSAGE_DIALOG, lParam = the
// record) and waits until the window thread has shown it; pause and resume run around the send.
// 0 without a live main window.
uint8_t RequestMessageDialog(host::HWND mainWindow, MessageDialogRequest& request,
                             const std::function<void()>& pause = {},
                             const std::function<void()>& resume = {});

}  // namespace bw
