// The dialog host of headless runs and tests: every dialog is answered from a script queued in
// advance and recorded. Dialogs may come from any thread; the record says which.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/dialog/dialog_host.h"

namespace bw::host {

// How the next dialog is answered, applied in this order: check boxes set, edit text typed
// (cut to the field's limit), extra buttons pressed, then the button that ends it.
struct DialogAnswer {
  int button = 0;
  std::vector<std::pair<int, bool>> checks;
  std::optional<std::string> editText;  // CP932
  std::vector<int> actions;
  bool close = false;  // closes the window instead of pressing button
};

struct DialogRecord {
  int templateId = 0;
  std::string title;               // CP932
  std::vector<std::string> texts;  // CP932, in the dialog's order
  std::string report;
  std::map<int, bool> checks;      // as the dialog ended
  std::string editText;
  int answer = 0;
  uint32_t threadId = 0;
};

class ScriptedDialogHost final : public DialogHost {
 public:
  void QueueAnswer(DialogAnswer answer);
  void QueueFileChoice(FileChoice choice);
  void QueueFolderChoice(FolderChoice choice);

  std::vector<DialogRecord> Dialogs() const;
  std::vector<FileChooserRequest> FileRequests() const;
  std::vector<FolderChooserRequest> FolderRequests() const;
  std::string Clipboard() const;
  void FailClipboard(bool fail);
  Menu* AttachedMenu(HWND owner) const;
  // How often the window's menu was opened by its menu key.
  int MenuOpenings(HWND owner) const;

  // Without a queued answer a dialog closes (or, when asked, takes its default button, as a run
  // with nobody to answer must); a chooser is cancelled.
  void AnswerDefaultWhenEmpty(bool on);
  int RunDialog(HWND owner, Dialog& dialog) override;
  FileChoice ChooseFile(HWND owner, const FileChooserRequest& request) override;
  FolderChoice ChooseFolder(HWND owner, const FolderChooserRequest& request) override;
  bool SetClipboardText(std::string_view cp932) override;
  void AttachMenu(HWND owner, Menu* menu) override;
  void OpenMenu(HWND owner) override;

 private:
  mutable std::mutex lock_;
  std::deque<DialogAnswer> answers_;            // guarded by lock_
  bool defaultWhenEmpty_ = false;               // guarded by lock_
  std::deque<FileChoice> fileChoices_;          // guarded by lock_
  std::deque<FolderChoice> folderChoices_;      // guarded by lock_
  std::vector<DialogRecord> dialogs_;           // guarded by lock_
  std::vector<FileChooserRequest> fileRequests_;      // guarded by lock_
  std::vector<FolderChooserRequest> folderRequests_;  // guarded by lock_
  std::string clipboard_;                       // guarded by lock_
  bool failClipboard_ = false;                  // guarded by lock_
  std::map<uint32_t, Menu*> menus_;             // guarded by lock_
  std::map<uint32_t, int> menuOpenings_;        // guarded by lock_
};

}  // namespace bw::host
