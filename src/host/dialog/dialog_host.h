// The one interface for the menu bar and every dialog drawn in the game window. Each call is
// synchronous on the window thread: it runs its own loop until the dialog ends and answers the
// result. With no dialog host installed every dialog answers as cancelled.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/global.h"
#include "host/backend.h"
#include "host/dialog/dialog.h"
#include "host/dialog/menu.h"
#include "host/messages.h"

namespace bw::host {

struct FileFilter {
  std::string description;  // CP932
  std::string pattern;      // "*.TXT", several joined by ';'
};

// Paths here are engine paths (CP932, drive form).
struct FileChooserRequest {
  bool save = false;
  std::string title;
  std::string folder;    // where the list starts; empty: the working folder
  std::string fileName;  // the name proposed
  std::vector<FileFilter> filters;
  std::string defaultExtension;  // added to a saved name without one
};

struct FileChoice {
  bool chosen = false;
  std::string path;
  uint32_t filterIndex = 1;  // 1-based, as the engine counts
};

struct FolderChooserRequest {
  std::string title;
  std::string folder;
};

struct FolderChoice {
  bool chosen = false;
  std::string path;  // no trailing separator unless a root
};

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // Answers the id of the button that ended the dialog, or the dialog's close answer. Check
  // boxes, the edit field and the report are written back into the dialog.
  [[nodiscard]] virtual int RunDialog(HWND owner, Dialog& dialog) = 0;
  [[nodiscard]] virtual FileChoice ChooseFile(HWND owner, const FileChooserRequest& request) = 0;
  [[nodiscard]] virtual FolderChoice ChooseFolder(HWND owner,
                                                  const FolderChooserRequest& request) = 0;
  [[nodiscard]] virtual bool SetClipboardText(std::string_view cp932) = 0;
  // The menu shown with the owner's window; null takes it away. The host does not own it. A
  // menu of an owned popup (the full-screen menu bar) shows in the popup's owner while the popup
  // is visible. Opening and closing the menu post WM_ENTERMENULOOP and WM_EXITMENULOOP to the
  // window it was attached to.
  virtual void AttachMenu(HWND owner, Menu* menu) = 0;
  // Opens the first entry of the window's menu, as a menu key does.
  virtual void OpenMenu(HWND owner) = 0;
  // Draws the message box and stores the button chosen; false when this host cannot show it
  // (the backend's box is then the fall-back).
  [[nodiscard]] virtual bool ShowMessageBox(const MessageBoxRequest& /*request*/, int* /*answer*/) {
    return false;
  }
  // From any thread, when the program is asked to stop: the dialogs open now end with their
  // close answers, as the window's close button ends them, and those opened later end at once.
  virtual void CloseForStop() {}
};

// The host in force, installed through the registry (ScopedGlobal<DialogHost>).
inline DialogHost* CurrentDialogHost() {
  return Global<DialogHost>::Get();
}

// Through the installed host; without one a dialog answers its close answer, a chooser "not
// chosen" and the clipboard false.
[[nodiscard]] int RunDialog(HWND owner, Dialog& dialog);
[[nodiscard]] FileChoice ChooseFile(HWND owner, const FileChooserRequest& request);
[[nodiscard]] FolderChoice ChooseFolder(HWND owner, const FolderChooserRequest& request);
[[nodiscard]] bool SetClipboardText(std::string_view cp932);
void AttachMenu(HWND owner, Menu* menu);
void OpenMenu(HWND owner);

}  // namespace bw::host
