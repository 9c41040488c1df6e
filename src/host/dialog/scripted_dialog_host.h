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

// One thing a player does in a dialog. A step on a control that is disabled, not on the shown
// page or of another kind does nothing, as a click there would.
struct DialogStep {
  enum class Kind {
    kTab,       // value: the tab chosen
    kPage,      // value: the property page shown
    kRow,       // value: the list row selected (-1 none)
    kActivate,  // Enter on the list's selected row
    kText,      // text typed into edit id (not yet committed)
    kCommit,    // edit id left
    kSlider,    // slider id moved to value
    kItem,      // combo or list box id: item value chosen
    kCheck,     // check box id set to value
    kRadio,     // radio group id: item value chosen
    kKey,       // key field id focused and key code value pressed
    kJoystick,  // joystick event value
    kTicks,     // value ticks of the dialog's timer
    kPress,     // action id pressed (or button id, which ends the dialog)
  };
  Kind kind = Kind::kPress;
  int id = 0;
  int32_t value = 0;
  std::string text;  // CP932
};

// How the next dialog is answered, applied in this order: check boxes set, edit text typed
// (cut to the field's limit), extra buttons pressed, the steps, then the button that ends it.
struct DialogAnswer {
  int button = 0;
  std::vector<std::pair<int, bool>> checks;
  std::optional<std::string> editText;  // CP932
  std::vector<int> actions;
  bool close = false;  // closes the window instead of pressing button
  std::vector<DialogStep> steps{};
};

// One dialog's answer written as "STEP;STEP;...;ID": "tab:N", "page:N", "row:N", "activate",
// "text:ID:TEXT" (UTF-8), "commit:ID", "slider:ID:N", "item:ID:N", "check:ID:0|1", "radio:ID:N",
// "key:ID:CODE", "joy:N", "ticks:N", "press:ID", "close"; a bare number is the button that ends
// it (numbers decimal or 0x hex). False with the reason in error.
[[nodiscard]] bool ParseDialogAnswer(std::string_view text, DialogAnswer* answer,
                                     std::string* error);

// What a control held when the dialog ended.
struct DialogControlRecord {
  std::string text;
  int32_t value = 0;
  bool enabled = true;
  DialogImage image{};      // a picture as last shown
  std::string valueText{};  // beside a slider
  bool operator==(const DialogControlRecord&) const = default;
};

struct DialogRecord {
  int templateId = 0;
  std::string title;               // CP932
  std::vector<std::string> texts;  // CP932, in the dialog's order
  std::string report;
  std::map<int, bool> checks;  // as the dialog ended
  std::string editText;
  std::map<int, DialogControlRecord> controls;  // where pages share an id, the shown page's
  int tab = -1;
  int page = -1;
  int row = -1;
  int pointerRow = -1;  // the row the pointer was put on as the dialog opened
  std::vector<std::vector<std::string>> rows;
  bool cursorToCentre = false;
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
  [[nodiscard]] int RunDialog(HWND owner, Dialog& dialog) override;
  [[nodiscard]] FileChoice ChooseFile(HWND owner, const FileChooserRequest& request) override;
  [[nodiscard]] FolderChoice ChooseFolder(HWND owner, const FolderChooserRequest& request) override;
  [[nodiscard]] bool SetClipboardText(std::string_view cp932) override;
  void AttachMenu(HWND owner, Menu* menu) override;
  void OpenMenu(HWND owner) override;

 private:
  mutable std::mutex lock_;
  std::deque<DialogAnswer> answers_;                  // guarded by lock_
  bool defaultWhenEmpty_ = false;                     // guarded by lock_
  std::deque<FileChoice> fileChoices_;                // guarded by lock_
  std::deque<FolderChoice> folderChoices_;            // guarded by lock_
  std::vector<DialogRecord> dialogs_;                 // guarded by lock_
  std::vector<FileChooserRequest> fileRequests_;      // guarded by lock_
  std::vector<FolderChooserRequest> folderRequests_;  // guarded by lock_
  std::string clipboard_;                             // guarded by lock_
  bool failClipboard_ = false;                        // guarded by lock_
  std::map<uint32_t, Menu*> menus_;                   // guarded by lock_
  std::map<uint32_t, int> menuOpenings_;              // guarded by lock_
};

}  // namespace bw::host
