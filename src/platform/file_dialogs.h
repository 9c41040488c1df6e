// The common open and save dialogs and the folder dialog, drawn in the game window by the dialog
// host. Without a host every dialog answers as if the player cancelled it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/dialog/dialog_host.h"
#include "host/messages.h"

namespace bw {

// Sizes of the callers' buffers, terminator included.
constexpr size_t kDialogPathSize = 260;
constexpr size_t kDialogFileTitleSize = 256;

// A filter written as description, tab, pattern, tab, ... becomes the list the dialogs take:
// each text ended by a NUL and the list by one more. Tabs inside double-byte characters stay.
std::string BuildDialogFilter(std::string_view filter);

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;

  // path holds kDialogPathSize bytes: its text is the name proposed (emptied first when
  // clearPath is set) and it receives the chosen engine path. fileTitle (may be null) holds
  // kDialogFileTitleSize bytes, is always emptied, and receives the chosen file's name, cut at a
  // character boundary when long. A chosen path that does not fit whole is refused: the dialog
  // answers false and path keeps what it held. True when a file was chosen.
  [[nodiscard]] bool OpenFile(host::HWND owner, const char* title, char* path, char* fileTitle,
                              const char* initialFolder, const char* filter, bool clearPath);
  // The same for saving, with the extension added to a name typed without one.
  [[nodiscard]] bool SaveFile(host::HWND owner, const char* title, char* path, char* fileTitle,
                              const char* initialFolder, const char* filter,
                              const char* defaultExtension);
  // The filter the player chose in the last dialog that ended with a file (1 for the first).
  uint32_t GetFilterIndex() const { return filterIndex_; }

 private:
  bool Run(host::HWND owner, host::FileChooserRequest& request, const char* title,
           const char* initialFolder, const char* filter, char* path, char* fileTitle);

  uint32_t filterIndex_ = 0;
};

// The folder the dialog starts in: initialFolder made absolute, without its trailing '\' unless
// it is a drive root ("Z:\"); empty when it cannot be made.
std::string BrowseStartFolder(const char* initialFolder);

// Writes the chosen folder to path (kDialogPathSize bytes); empty when nothing was chosen or the
// folder does not fit whole.
void BrowseForFolder(host::HWND owner, const char* title, const char* initialFolder, char* path);

}  // namespace bw
