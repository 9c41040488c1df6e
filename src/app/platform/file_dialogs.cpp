#include "app/platform/file_dialogs.h"

#include "common/sjis.h"
#include "resource/packs/app_paths.h"

namespace bw {

std::string BuildDialogFilter(std::string_view filter) {
  std::string list(filter);
  for (size_t i = 0; i < list.size(); i = sjis::Next(list, i)) {
    if (list[i] == '\t') list[i] = '\0';
  }
  list += '\0';
  return list;
}

bool FileDialogs::OpenFile(host::HWND /*owner*/, const char* /*title*/, char* path, char* fileTitle,
                           const char* /*initialFolder*/, const char* /*filter*/, bool clearPath) {
  if (clearPath && path) path[0] = '\0';
  if (fileTitle) fileTitle[0] = '\0';
  return false;  // no in-window dialog yet: cancelled
}

bool FileDialogs::SaveFile(host::HWND /*owner*/, const char* /*title*/, char* /*path*/,
                           char* fileTitle, const char* /*initialFolder*/, const char* /*filter*/,
                           const char* /*defaultExtension*/) {
  if (fileTitle) fileTitle[0] = '\0';
  return false;  // no in-window dialog yet: cancelled
}

std::string BrowseStartFolder(const char* initialFolder) {
  std::string folder;
  if (!initialFolder || BuildAbsolutePath(folder, initialFolder) == kPathBuildFailed) return {};
  if (folder.size() > 3 && EndsWithSeparator(folder)) folder.pop_back();
  if (folder.size() < 3) folder += '\\';
  return folder;
}

void BrowseForFolder(host::HWND /*owner*/, const char* /*title*/, const char* /*initialFolder*/,
                     char* path) {
  if (path) path[0] = '\0';  // no in-window dialog yet: cancelled
}

}  // namespace bw
