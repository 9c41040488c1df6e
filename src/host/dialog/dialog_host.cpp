#include "host/dialog/dialog_host.h"

namespace bw::host {

int RunDialog(HWND owner, Dialog& dialog) {
  DialogHost* host = CurrentDialogHost();
  return host ? host->RunDialog(owner, dialog) : dialog.closeAnswer;
}

FileChoice ChooseFile(HWND owner, const FileChooserRequest& request) {
  DialogHost* host = CurrentDialogHost();
  return host ? host->ChooseFile(owner, request) : FileChoice{};
}

FolderChoice ChooseFolder(HWND owner, const FolderChooserRequest& request) {
  DialogHost* host = CurrentDialogHost();
  return host ? host->ChooseFolder(owner, request) : FolderChoice{};
}

bool SetClipboardText(std::string_view cp932) {
  DialogHost* host = CurrentDialogHost();
  return host && host->SetClipboardText(cp932);
}

void AttachMenu(HWND owner, Menu* menu) {
  if (DialogHost* host = CurrentDialogHost()) host->AttachMenu(owner, menu);
}

void OpenMenu(HWND owner) {
  if (DialogHost* host = CurrentDialogHost()) host->OpenMenu(owner);
}

}  // namespace bw::host
