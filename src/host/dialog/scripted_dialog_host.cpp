#include "host/dialog/scripted_dialog_host.h"

#include "host/message_queue.h"

namespace bw::host {

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
  if (script) {
    // The callbacks may open dialogs of their own, so no lock is held here.
    for (const auto& [id, checked] : script->checks) {
      if (DialogCheckBox* box = dialog.CheckBox(id)) SetDialogCheck(dialog, *box, checked);
    }
    if (script->editText && dialog.edit) dialog.edit->text = ClipCp932(*script->editText, dialog.edit->maxBytes);
    for (int id : script->actions) {
      DialogAction* action = dialog.Action(id);
      if (action && action->onPress) action->onPress(dialog);
      if (dialog.endAnswer) break;
    }
    if (dialog.endAnswer) {
      answer = *dialog.endAnswer;
    } else if (!script->close) {
      for (const DialogButton& button : dialog.buttons) {
        if (button.id == script->button) answer = button.id;
      }
    }
  }
  DialogRecord record;
  record.templateId = dialog.templateId;
  record.title = dialog.title;
  for (const DialogText& text : dialog.texts) record.texts.push_back(text.text);
  if (dialog.report) record.report = dialog.report->text;
  for (const DialogCheckBox& box : dialog.checkBoxes) record.checks[box.id] = box.checked;
  if (dialog.edit) record.editText = dialog.edit->text;
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
