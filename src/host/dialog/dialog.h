// Dialogs described as data, so one renderer draws all of them: a title, static texts, buttons
// that end the dialog with their id, check boxes, one edit field, one read-only report and extra
// buttons that act without ending it; the larger dialogs add tabs or property pages, a list with
// columns, and controls (pictures, edits, sliders, combos, radio groups, list boxes, key fields)
// that each may be disabled. Every text is CP932.
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

// A picture as 32-bit rows of B, G, R, A; the drawer takes it again when changes moves.
struct DialogImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels{};
  uint32_t changes = 0;
  bool operator==(const DialogImage&) const = default;
};

enum class DialogControlKind {
  kLabel,     // text
  kCheck,     // value 0 or 1
  kEdit,      // text; onChange when the edit is left (committed)
  kSlider,    // value in minimum..maximum, valueText beside it
  kCombo,     // value: the chosen item, -1 none
  kRadio,     // value: the chosen item
  kListBox,   // value: the chosen item, -1 none
  kKeyField,  // text shows the key; onKey takes a key or button code while it has the focus
  kImage,     // image
  kAction,    // a button that acts without ending the dialog (onChange)
};

struct DialogControl {
  int id = 0;
  DialogControlKind kind = DialogControlKind::kLabel;
  std::string label{};
  int page = -1;  // the property page it stands on; -1 for every page
  bool enabled = true;
  bool sameLine = false;   // beside the control before it
  bool column = false;     // with the column controls after it: one column beside the one before
  bool newColumn = false;  // starts a new column of its page, beside the one before
  int32_t labelWidth = 0;  // the label left of the control, this wide (pixels); 0: above it
  bool leftOfButtons = false;  // an action drawn on the buttons' row, before them
  std::string text{};
  size_t maxBytes = 255;  // edits, in CP932 bytes
  bool multiLine = false;
  bool readOnly = false;
  int32_t value = 0;
  int32_t minimum = 0;
  int32_t maximum = 0;
  std::string valueText{};
  std::vector<std::string> items{};
  DialogImage image{};
  std::function<void(Dialog&, DialogControl&)> onChange{};
  std::function<void(Dialog&, DialogControl&, int code)> onKey{};
};

struct DialogListColumn {
  std::string title{};
  int32_t width = 0;  // pixels
  bool centred = false;
};

// A list of rows with columns; one row may be selected.
struct DialogList {
  int id = 0;
  std::vector<DialogListColumn> columns{};
  std::vector<std::vector<std::string>> rows{};
  int selected = -1;
  bool scrollToSelected = false;              // the drawer shows the selected row once
  bool pointerToSelected = false;             // the pointer moves onto the selected row once
  std::function<void(Dialog&)> onSelect{};    // after selected changed
  std::function<void(Dialog&)> onActivate{};  // Enter or a double-click on a row
};

struct DialogTabs {
  std::vector<std::string> labels{};
  int selected = 0;
  std::function<void(Dialog&)> onChange{};  // after selected changed
};

// What a property page is told.
enum class PageNotice { kSetActive, kKillActive, kApply, kReset };

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
  bool growToText = false;        // otherwise the text wraps inside textWidth
  bool centreSingleLine = false;  // a one-line text stands in the middle of textHeight
  bool cursorToDefault = false;   // the pointer moves onto the default button
  bool cursorToCentre = false;    // the pointer moves to the dialog's centre once it stands
  // Set by an action to end the dialog with that answer once the action returns.
  std::optional<int> endAnswer;
  // Top-left corner in the owner's client area; -1 centres.
  int32_t x = -1;
  int32_t y = -1;

  std::optional<DialogTabs> tabs;
  std::optional<DialogList> list;
  std::vector<DialogControl> controls;
  // A property sheet: the pages' titles, the one shown, and their notices. Its button okButton
  // applies every page, any other end resets them.
  std::vector<std::string> pages;
  int shownPage = 0;
  // Every page takes this size (pixels), so the sheet keeps its size and place from page to
  // page; 0 lets each page take its own. What does not fit the window scrolls.
  int32_t pageWidth = 0;
  int32_t pageHeight = 0;
  int okButton = 1;
  std::function<void(Dialog&, int page, PageNotice notice)> onPageNotice;
  // Called every tickMs while the dialog runs (0: never).
  uint32_t tickMs = 0;
  std::function<void(Dialog&)> onTick;
  // A joystick event (0 up, 1 down, 2 left, 3 right, else a button code).
  std::function<void(Dialog&, int event)> onJoystick;
  // The control that has the keyboard's focus (0: none), kept by the drawer.
  int focusedId = 0;

  DialogCheckBox* CheckBox(int id);
  // The control with the id on the shown page, else the first with it.
  DialogControl* Control(int id);
  DialogAction* Action(int id);
  DialogText* Text(int id);
};

// The button Enter presses: defaultButton, or the first when that is out of range; null
// without buttons.
const DialogButton* DefaultButton(const Dialog& dialog);
// Sets the check box's state and, when it changed, calls its toggle callback.
void SetDialogCheck(Dialog& dialog, DialogCheckBox& box, bool checked);
// Shows another property page: the shown one is told kKillActive, the new one kSetActive.
void ShowDialogPage(Dialog& dialog, int page);
// The sheet's start (the shown page is told kSetActive) and end (apply or reset to every page).
void OpenDialogPages(Dialog& dialog);
void CloseDialogPages(Dialog& dialog, int answer);
// Whether a control can be used now: enabled and on the shown page.
bool ControlUsable(const Dialog& dialog, const DialogControl& control);

}  // namespace bw::host
