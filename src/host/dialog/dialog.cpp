#include "host/dialog/dialog.h"

#include "common/sjis.h"

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

DialogCheckBox* Dialog::CheckBox(int id) { return FindById(checkBoxes, id); }
DialogAction* Dialog::Action(int id) { return FindById(actions, id); }
DialogText* Dialog::Text(int id) { return FindById(texts, id); }

const DialogButton* DefaultButton(const Dialog& dialog) {
  if (dialog.buttons.empty()) return nullptr;
  return &dialog.buttons[dialog.defaultButton < dialog.buttons.size() ? dialog.defaultButton : 0];
}

void SetDialogCheck(Dialog& dialog, DialogCheckBox& box, bool checked) {
  if (box.checked == checked) return;
  box.checked = checked;
  if (box.onToggle) box.onToggle(dialog);
}

std::string ClipCp932(std::string text, size_t maxBytes) {
  size_t end = 0;
  while (end < text.size()) {
    size_t step = sjis::CharLength(text, end);
    if (end + step > maxBytes) break;
    end += step;
  }
  text.resize(end);
  return text;
}

}  // namespace bw::host
