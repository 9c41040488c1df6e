#include "host/message_box.h"

#include <cstdio>

#include "host/cp932.h"
#include "host/dialog/dialog_host.h"

namespace bw::host {

std::vector<int> MessageBoxButtons(uint32_t style) {
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {IDOK, IDCANCEL};
    case MB_YESNOCANCEL:
      return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
      return {IDYES, IDNO};
    default:
      return {IDOK};
  }
}

int MessageBoxDefaultAnswer(uint32_t style) {
  std::vector<int> buttons = MessageBoxButtons(style);
  size_t index = 0;
  if ((style & MB_DEFMASK) == MB_DEFBUTTON2) index = 1;
  if ((style & MB_DEFMASK) == MB_DEFBUTTON3) index = 2;
  return buttons[index < buttons.size() ? index : 0];
}

void EchoMessage(std::string_view titleCp932, std::string_view textCp932) {
  std::fprintf(stderr, "[%s] %s\n", Cp932ToUtf8Lenient(titleCp932).c_str(),
               Cp932ToUtf8Lenient(textCp932).c_str());
  std::fflush(stderr);
}

int MessageBox(HWND owner, std::string_view textCp932, std::string_view titleCp932,
               uint32_t style) {
  MessageBoxRequest request{owner, Cp932ToUtf8Lenient(titleCp932), Cp932ToUtf8Lenient(textCp932),
                            style};
  EchoMessage(titleCp932, textCp932);
  // Our own dialog host draws the box where it can; the backend's box is the fall-back.
  int answer = 0;
  DialogHost* dialogs = CurrentDialogHost();
  if (!dialogs || !dialogs->ShowMessageBox(request, &answer)) {
    Backend* backend = CurrentBackend();
    answer = backend ? backend->ShowMessageBox(request) : MessageBoxDefaultAnswer(style);
  }
  for (int button : MessageBoxButtons(style)) {
    if (button == answer) return answer;
  }
  return MessageBoxDefaultAnswer(style);
}

}  // namespace bw::host
