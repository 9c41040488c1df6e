#include "host/dialog/scripted_dialog_host.h"

#include <algorithm>
#include <charconv>

#include "common/sjis.h"
#include "host/cp932.h"
#include "host/message_queue.h"

namespace bw::host {

namespace {

bool ParseInt(std::string_view text, int32_t* value) {
  bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.remove_prefix(2), base = 16;
  uint32_t magnitude = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      magnitude > 0x7FFFFFFFu)
    return false;
  *value = negative ? -static_cast<int32_t>(magnitude) : static_cast<int32_t>(magnitude);
  return true;
}

struct StepName {
  const char* name;
  DialogStep::Kind kind;
  int numbers;  // after the name: 0, 1 (value), 2 (id and value); -1 id then text
};

constexpr StepName kStepNames[] = {
    {"tab", DialogStep::Kind::kTab, 1},       {"page", DialogStep::Kind::kPage, 1},
    {"row", DialogStep::Kind::kRow, 1},       {"activate", DialogStep::Kind::kActivate, 0},
    {"text", DialogStep::Kind::kText, -1},    {"commit", DialogStep::Kind::kCommit, 1},
    {"slider", DialogStep::Kind::kSlider, 2}, {"item", DialogStep::Kind::kItem, 2},
    {"check", DialogStep::Kind::kCheck, 2},   {"radio", DialogStep::Kind::kRadio, 2},
    {"key", DialogStep::Kind::kKey, 2},       {"joy", DialogStep::Kind::kJoystick, 1},
    {"ticks", DialogStep::Kind::kTicks, 1},   {"press", DialogStep::Kind::kPress, 1},
};

bool ParseStep(std::string_view item, DialogAnswer* answer, std::string* error) {
  int32_t number = 0;
  if (ParseInt(item, &number)) {
    answer->button = number;
    return true;
  }
  if (item == "close") {
    answer->close = true;
    return true;
  }
  const size_t colon = item.find(':');
  const std::string_view name = item.substr(0, colon);
  std::string_view rest =
      colon == std::string_view::npos ? std::string_view() : item.substr(colon + 1);
  for (const StepName& known : kStepNames) {
    if (name != known.name) continue;
    DialogStep step;
    step.kind = known.kind;
    bool ok = true;
    if (known.numbers == 0) {
      ok = colon == std::string_view::npos;
    } else if (known.numbers == 1) {
      // "commit" and "press" name a control; the others give a value.
      const bool names =
          known.kind == DialogStep::Kind::kCommit || known.kind == DialogStep::Kind::kPress;
      ok = ParseInt(rest, names ? &step.id : &step.value);
    } else {
      const size_t second = rest.find(':');
      int32_t id = 0;
      ok = second != std::string_view::npos && ParseInt(rest.substr(0, second), &id);
      step.id = id;
      if (ok && known.numbers == 2) ok = ParseInt(rest.substr(second + 1), &step.value);
      if (ok && known.numbers < 0) step.text = Utf8ToCp932Lenient(rest.substr(second + 1));
    }
    if (!ok) {
      *error = "a step reads " + std::string(known.name) +
               (known.numbers == 0   ? ""
                : known.numbers == 1 ? ":N"
                : known.numbers == 2 ? ":ID:N"
                                     : ":ID:TEXT") +
               ", not \"" + std::string(item) + "\"";
      return false;
    }
    answer->steps.push_back(std::move(step));
    return true;
  }
  *error = "unknown dialog step \"" + std::string(item) + "\"";
  return false;
}

// Plays one step; the callbacks may open dialogs of their own, so no lock is held.
void PlayStep(Dialog& dialog, const DialogStep& step) {
  using Kind = DialogStep::Kind;
  DialogControl* control = dialog.Control(step.id);
  const bool usable = control && ControlUsable(dialog, *control);
  auto is = [&](DialogControlKind kind) { return usable && control->kind == kind; };
  auto changed = [&] {
    if (control->onChange) control->onChange(dialog, *control);
  };
  switch (step.kind) {
    case Kind::kTab:
      if (dialog.tabs && step.value >= 0 &&
          static_cast<size_t>(step.value) < dialog.tabs->labels.size() &&
          step.value != dialog.tabs->selected) {
        dialog.tabs->selected = step.value;
        if (dialog.tabs->onChange) dialog.tabs->onChange(dialog);
      }
      break;
    case Kind::kPage:
      ShowDialogPage(dialog, step.value);
      break;
    case Kind::kRow:
      if (dialog.list && step.value >= -1 &&
          step.value < static_cast<int32_t>(dialog.list->rows.size()) &&
          step.value != dialog.list->selected) {
        dialog.list->selected = step.value;
        if (dialog.list->onSelect) dialog.list->onSelect(dialog);
      }
      break;
    case Kind::kActivate:
      if (dialog.list && dialog.list->selected >= 0 && dialog.list->onActivate)
        dialog.list->onActivate(dialog);
      break;
    case Kind::kText:
      if (is(DialogControlKind::kEdit) && !control->readOnly) {
        dialog.focusedId = control->id;
        control->text = std::string(sjis::Truncate(step.text, control->maxBytes));
      }
      break;
    case Kind::kCommit:
      if (is(DialogControlKind::kEdit)) {
        if (dialog.focusedId == control->id) dialog.focusedId = 0;
        changed();
      }
      break;
    case Kind::kSlider:
      if (is(DialogControlKind::kSlider)) {
        control->value = std::clamp(step.value, control->minimum, control->maximum);
        changed();
      }
      break;
    case Kind::kItem:
    case Kind::kRadio:
      if ((is(DialogControlKind::kCombo) || is(DialogControlKind::kListBox) ||
           is(DialogControlKind::kRadio)) &&
          step.value >= 0 && static_cast<size_t>(step.value) < control->items.size()) {
        control->value = step.value;
        changed();
      }
      break;
    case Kind::kCheck:
      if (is(DialogControlKind::kCheck)) {
        control->value = step.value != 0 ? 1 : 0;
        changed();
      } else if (DialogCheckBox* box = dialog.CheckBox(step.id)) {
        SetDialogCheck(dialog, *box, step.value != 0);
      }
      break;
    case Kind::kKey:
      if (is(DialogControlKind::kKeyField)) {
        dialog.focusedId = control->id;
        if (control->onKey) control->onKey(dialog, *control, step.value);
      }
      break;
    case Kind::kJoystick:
      if (dialog.onJoystick) dialog.onJoystick(dialog, step.value);
      break;
    case Kind::kTicks:
      for (int32_t i = 0; i < step.value && dialog.onTick && !dialog.endAnswer; ++i)
        dialog.onTick(dialog);
      break;
    case Kind::kPress:
      if (is(DialogControlKind::kAction)) {
        changed();
      } else if (DialogAction* action = dialog.Action(step.id); action && action->onPress) {
        action->onPress(dialog);
      } else {
        for (const DialogButton& button : dialog.buttons) {
          if (button.id == step.id) dialog.endAnswer = button.id;
        }
      }
      break;
  }
}

}  // namespace

bool ParseDialogAnswer(std::string_view text, DialogAnswer* answer, std::string* error) {
  *answer = DialogAnswer{};
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    if (!ParseStep(text.substr(start, end - start), answer, error)) return false;
    start = end + 1;
  }
  return true;
}

void ScriptedDialogHost::QueueAnswer(DialogAnswer answer) {
  std::lock_guard<std::mutex> guard(lock_);
  answers_.push_back(std::move(answer));
}

void ScriptedDialogHost::QueueFileChoice(FileChoice choice) {
  std::lock_guard<std::mutex> guard(lock_);
  fileChoices_.push_back(std::move(choice));
}

void ScriptedDialogHost::QueueFolderChoice(FolderChoice choice) {
  std::lock_guard<std::mutex> guard(lock_);
  folderChoices_.push_back(std::move(choice));
}

std::vector<DialogRecord> ScriptedDialogHost::Dialogs() const {
  std::lock_guard<std::mutex> guard(lock_);
  return dialogs_;
}

std::vector<FileChooserRequest> ScriptedDialogHost::FileRequests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return fileRequests_;
}

std::vector<FolderChooserRequest> ScriptedDialogHost::FolderRequests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return folderRequests_;
}

std::string ScriptedDialogHost::Clipboard() const {
  std::lock_guard<std::mutex> guard(lock_);
  return clipboard_;
}

void ScriptedDialogHost::FailClipboard(bool fail) {
  std::lock_guard<std::mutex> guard(lock_);
  failClipboard_ = fail;
}

Menu* ScriptedDialogHost::AttachedMenu(HWND owner) const {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = menus_.find(owner.id);
  return it == menus_.end() ? nullptr : it->second;
}

int ScriptedDialogHost::MenuOpenings(HWND owner) const {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = menuOpenings_.find(owner.id);
  return it == menuOpenings_.end() ? 0 : it->second;
}

void ScriptedDialogHost::OpenMenu(HWND owner) {
  std::lock_guard<std::mutex> guard(lock_);
  if (menus_.count(owner.id) != 0) ++menuOpenings_[owner.id];
}

void ScriptedDialogHost::AnswerDefaultWhenEmpty(bool on) {
  std::lock_guard<std::mutex> guard(lock_);
  defaultWhenEmpty_ = on;
}

int ScriptedDialogHost::RunDialog(HWND, Dialog& dialog) {
  std::optional<DialogAnswer> script;
  bool takeDefault = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!answers_.empty()) {
      script = std::move(answers_.front());
      answers_.pop_front();
    } else {
      takeDefault = defaultWhenEmpty_;
    }
  }
  int answer = dialog.closeAnswer;
  if (const DialogButton* button = DefaultButton(dialog); takeDefault && button)
    answer = button->id;
  OpenDialogPages(dialog);
  const int pointerRow = dialog.list && dialog.list->pointerToSelected ? dialog.list->selected : -1;
  if (script) {
    // The callbacks may open dialogs of their own, so no lock is held here.
    for (const auto& [id, checked] : script->checks) {
      if (DialogCheckBox* box = dialog.CheckBox(id)) SetDialogCheck(dialog, *box, checked);
    }
    if (script->editText && dialog.edit)
      dialog.edit->text = std::string(sjis::Truncate(*script->editText, dialog.edit->maxBytes));
    for (int id : script->actions) {
      DialogAction* action = dialog.Action(id);
      if (action && action->onPress) action->onPress(dialog);
      if (dialog.endAnswer) break;
    }
    for (const DialogStep& step : script->steps) {
      if (dialog.endAnswer) break;
      PlayStep(dialog, step);
    }
    if (dialog.endAnswer) {
      answer = *dialog.endAnswer;
    } else if (!script->close) {
      for (const DialogButton& button : dialog.buttons) {
        if (button.id == script->button) answer = button.id;
      }
    }
  }
  CloseDialogPages(dialog, answer);
  DialogRecord record;
  record.templateId = dialog.templateId;
  // Pages may share ids: the shown page's control is the one recorded.
  for (const DialogControl& control : dialog.controls) {
    if (record.controls.count(control.id) == 0 || control.page == dialog.shownPage)
      record.controls[control.id] = {control.text, control.value, control.enabled, control.image,
                                     control.valueText};
  }
  if (dialog.tabs) record.tab = dialog.tabs->selected;
  if (!dialog.pages.empty()) record.page = dialog.shownPage;
  if (dialog.list) record.row = dialog.list->selected, record.rows = dialog.list->rows;
  record.pointerRow = pointerRow;
  record.title = dialog.title;
  for (const DialogText& text : dialog.texts) record.texts.push_back(text.text);
  if (dialog.report) record.report = dialog.report->text;
  for (const DialogCheckBox& box : dialog.checkBoxes) record.checks[box.id] = box.checked;
  if (dialog.edit) record.editText = dialog.edit->text;
  record.cursorToCentre = dialog.cursorToCentre;
  record.answer = answer;
  record.threadId = GetCurrentThreadId();
  std::lock_guard<std::mutex> guard(lock_);
  dialogs_.push_back(std::move(record));
  return answer;
}

FileChoice ScriptedDialogHost::ChooseFile(HWND, const FileChooserRequest& request) {
  std::lock_guard<std::mutex> guard(lock_);
  fileRequests_.push_back(request);
  if (fileChoices_.empty()) return FileChoice{};
  FileChoice choice = std::move(fileChoices_.front());
  fileChoices_.pop_front();
  return choice;
}

FolderChoice ScriptedDialogHost::ChooseFolder(HWND, const FolderChooserRequest& request) {
  std::lock_guard<std::mutex> guard(lock_);
  folderRequests_.push_back(request);
  if (folderChoices_.empty()) return FolderChoice{};
  FolderChoice choice = std::move(folderChoices_.front());
  folderChoices_.pop_front();
  return choice;
}

bool ScriptedDialogHost::SetClipboardText(std::string_view cp932) {
  std::lock_guard<std::mutex> guard(lock_);
  if (failClipboard_) return false;
  clipboard_ = cp932;
  return true;
}

void ScriptedDialogHost::AttachMenu(HWND owner, Menu* menu) {
  std::lock_guard<std::mutex> guard(lock_);
  if (menu) {
    menus_[owner.id] = menu;
  } else {
    menus_.erase(owner.id);
  }
}

}  // namespace bw::host
