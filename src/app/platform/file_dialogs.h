// The common open and save dialogs and the folder dialog. They are drawn in the game window by
// the in-window dialog layer, which this build does not have yet: until it comes, every dialog
// answers as if the player cancelled it, after the buffers are prepared as the dialog would
// have them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/messages.h"

namespace bw {

// Sizes of the callers' buffers.
constexpr size_t kDialogPathSize = 260;
constexpr size_t kDialogFileTitleSize = 256;

// A filter written as description, tab, pattern, tab, ... becomes the list the dialogs take:
// each text ended by a NUL and the list by one more. Tabs inside double-byte characters stay.
std::string BuildDialogFilter(std::string_view filter);

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;

  // path holds kDialogPathSize bytes and is emptied first when clearPath is set; fileTitle (may
  // be null) holds kDialogFileTitleSize bytes and is always emptied. True when a file was chosen.
  bool OpenFile(host::HWND owner, const char* title, char* path, char* fileTitle,
                const char* initialFolder, const char* filter, bool clearPath);
  // The same for saving; the path is kept as the initial name.
  bool SaveFile(host::HWND owner, const char* title, char* path, char* fileTitle,
                const char* initialFolder, const char* filter, const char* defaultExtension);
  // The filter the player chose in the last dialog (1 for the first).
  uint32_t GetFilterIndex() const { return filterIndex_; }

 private:
  uint32_t filterIndex_ = 0;
};

// The folder the dialog starts in: initialFolder made absolute, without its trailing '\' unless
// it is a drive root ("Z:\"); empty when it cannot be made.
std::string BrowseStartFolder(const char* initialFolder);

// Writes the chosen folder to path (kDialogPathSize bytes), empty when nothing was chosen.
void BrowseForFolder(host::HWND owner, const char* title, const char* initialFolder, char* path);

}  // namespace bw
