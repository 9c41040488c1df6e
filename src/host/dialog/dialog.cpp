#include "host/dialog/dialog.h"

namespace bw::host {

namespace {

template <typename T>
T* FindById(std::vector<T>& items, int id) {
  for (T& item : items) {
    if (item.id == id) return &item;
  }
  return nullptr;
}

}  // namespace

DialogCheckBox* Dialog::CheckBox(int id) {
  return FindById(checkBoxes, id);
}
DialogAction* Dialog::Action(int id) {
  return FindById(actions, id);
}
DialogText* Dialog::Text(int id) {
  return FindById(texts, id);
}
DialogControl* Dialog::Control(int id) {
  // Pages may use the same ids: the shown page's control first.
  for (DialogControl& control : controls) {
    if (control.id == id && control.page == shownPage) return &control;
  }
  return FindById(controls, id);
}

void ShowDialogPage(Dialog& dialog, int page) {
  if (page < 0 || static_cast<size_t>(page) >= dialog.pages.size() || page == dialog.shownPage)
    return;
  if (dialog.onPageNotice) dialog.onPageNotice(dialog, dialog.shownPage, PageNotice::kKillActive);
  dialog.shownPage = page;
  dialog.focusedId = 0;
  if (dialog.onPageNotice) dialog.onPageNotice(dialog, page, PageNotice::kSetActive);
}

void OpenDialogPages(Dialog& dialog) {
  if (dialog.pages.empty()) return;
  if (dialog.shownPage < 0 || static_cast<size_t>(dialog.shownPage) >= dialog.pages.size())
    dialog.shownPage = 0;
  if (dialog.onPageNotice) dialog.onPageNotice(dialog, dialog.shownPage, PageNotice::kSetActive);
}

void CloseDialogPages(Dialog& dialog, int answer) {
  if (dialog.pages.empty() || !dialog.onPageNotice) return;
  const PageNotice notice = answer == dialog.okButton ? PageNotice::kApply : PageNotice::kReset;
  for (int page = 0; static_cast<size_t>(page) < dialog.pages.size(); ++page)
    dialog.onPageNotice(dialog, page, notice);
}

bool ControlUsable(const Dialog& dialog, const DialogControl& control) {
  return control.enabled && (control.page < 0 || control.page == dialog.shownPage);
}

const DialogButton* DefaultButton(const Dialog& dialog) {
  if (dialog.buttons.empty()) return nullptr;
  return &dialog.buttons[dialog.defaultButton < dialog.buttons.size() ? dialog.defaultButton : 0];
}

void SetDialogCheck(Dialog& dialog, DialogCheckBox& box, bool checked) {
  if (box.checked == checked) return;
  box.checked = checked;
  if (box.onToggle) box.onToggle(dialog);
}

}  // namespace bw::host
