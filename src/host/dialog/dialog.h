// Dialogs described as data, so one renderer draws all of them: a title, static texts, buttons
// that end the dialog with their id, check boxes, one edit field, one read-only report and extra
// buttons that act without ending it. Every text is CP932.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace bw::host {

struct Dialog;

struct DialogText {
  int id = 0;
  std::string text;
  bool emphasised = false;  // the version line: drawn larger
};

struct DialogButton {
  int id = 0;  // the dialog's answer when pressed
  std::string label;
};

struct DialogCheckBox {
  int id = 0;
  std::string label;
  bool checked = false;
  std::function<void(Dialog&)> onToggle;  // after the state changed
};

struct DialogEdit {
  int id = 0;
  std::string text;
  size_t maxBytes = 255;  // in CP932 bytes
};

struct DialogReport {
  int id = 0;
  std::string label;
  std::string text;  // CR LF line ends
};

struct DialogAction {
  int id = 0;
  std::string label;
  std::function<void(Dialog&)> onPress;
};

// The picture beside a message box's text.
enum class DialogIcon { kNone, kError, kWarning, kQuestion, kInformation };

struct Dialog {
  int templateId = 0;
  std::string title;
  std::vector<DialogText> texts;
  std::optional<DialogEdit> edit;
  std::optional<DialogReport> report;
  std::vector<DialogCheckBox> checkBoxes;
  std::vector<DialogAction> actions;
  std::vector<DialogButton> buttons;
  size_t defaultButton = 0;  // the one Enter presses
  int closeAnswer = 0;       // closing the window, Escape, or no dialog at all
  DialogIcon icon = DialogIcon::kNone;
  // The text area's size before it grows to fit (pixels); 0 leaves it to the text.
  int32_t textWidth = 0;
  int32_t textHeight = 0;
  bool growToText = false;         // otherwise the text wraps inside textWidth
  bool centreSingleLine = false;   // a one-line text stands in the middle of textHeight
  bool cursorToDefault = false;    // the pointer moves onto the default button
  // Set by an action to end the dialog with that answer once the action returns.
  std::optional<int> endAnswer;
  // Top-left corner in the owner's client area; -1 centres.
  int32_t x = -1;
  int32_t y = -1;

  DialogCheckBox* CheckBox(int id);
  DialogAction* Action(int id);
  DialogText* Text(int id);
};

// The button Enter presses: defaultButton, or the first when that is out of range; null
// without buttons.
const DialogButton* DefaultButton(const Dialog& dialog);
// Sets the check box's state and, when it changed, calls its toggle callback.
void SetDialogCheck(Dialog& dialog, DialogCheckBox& box, bool checked);
// Cuts CP932 text to at most maxBytes without splitting a character.
std::string ClipCp932(std::string text, size_t maxBytes);

}  // namespace bw::host
