#include "platform/file_dialogs.h"

#include <cstring>
#include <vector>

#include "common/sjis.h"
#include "platform/app_paths.h"

namespace bw {
namespace {

// A cut path names another file, so a path is written whole or not at all.
bool CopyWhole(char* buffer, size_t size, std::string_view text) {
  if (text.empty() || text.size() >= size || text.find('\0') != std::string_view::npos)
    return false;
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return true;
}

void CopyCut(char* buffer, size_t size, std::string_view text) {
  const std::string_view fit = sjis::Truncate(text.substr(0, text.find('\0')), size - 1);
  std::memcpy(buffer, fit.data(), fit.size());
  buffer[fit.size()] = '\0';
}

}  // namespace

std::string BuildDialogFilter(std::string_view filter) {
  std::string list(filter);
  for (size_t i = 0; i < list.size(); i = sjis::Next(list, i)) {
    if (list[i] == '\t') list[i] = '\0';
  }
  list += '\0';
  return list;
}

namespace {

// The filter as the dialog host takes it: description and pattern pairs up to the first empty
// text, the way the NUL list is read. A description left without its pattern is dropped.
std::vector<host::FileFilter> DialogFilterList(std::string_view filter) {
  const std::string list = BuildDialogFilter(filter);
  std::vector<std::string_view> texts;
  for (size_t start = 0; start < list.size();) {
    const size_t end = list.find('\0', start);
    if (end == start) break;
    texts.emplace_back(list.data() + start, end - start);
    start = end + 1;
  }
  std::vector<host::FileFilter> filters;
  for (size_t i = 0; i + 1 < texts.size(); i += 2) {
    filters.push_back({std::string(texts[i]), std::string(texts[i + 1])});
  }
  return filters;
}

}  // namespace

bool FileDialogs::Run(host::HWND owner, host::FileChooserRequest& request, const char* title,
                      const char* initialFolder, const char* filter, char* path, char* fileTitle) {
  if (fileTitle) fileTitle[0] = '\0';
  if (!path) return false;
  request.title = title ? title : "";
  request.folder = BrowseStartFolder(initialFolder);
  request.fileName.assign(path, strnlen(path, kDialogPathSize - 1));
  if (filter) request.filters = DialogFilterList(filter);
  const host::FileChoice choice = host::ChooseFile(owner, request);
  if (!choice.chosen || !CopyWhole(path, kDialogPathSize, choice.path)) return false;
  if (fileTitle) CopyCut(fileTitle, kDialogFileTitleSize, GetPathLeafName(choice.path, false));
  filterIndex_ = choice.filterIndex;
  return true;
}

bool FileDialogs::OpenFile(host::HWND owner, const char* title, char* path, char* fileTitle,
                           const char* initialFolder, const char* filter, bool clearPath) {
  if (clearPath && path) path[0] = '\0';
  host::FileChooserRequest request;
  return Run(owner, request, title, initialFolder, filter, path, fileTitle);
}

bool FileDialogs::SaveFile(host::HWND owner, const char* title, char* path, char* fileTitle,
                           const char* initialFolder, const char* filter,
                           const char* defaultExtension) {
  host::FileChooserRequest request;
  request.save = true;
  if (defaultExtension) request.defaultExtension = defaultExtension;
  return Run(owner, request, title, initialFolder, filter, path, fileTitle);
}

std::string BrowseStartFolder(const char* initialFolder) {
  std::string folder;
  if (!initialFolder || BuildAbsolutePath(folder, initialFolder) == kPathBuildFailed) return {};
  if (folder.size() > 3 && EndsWithSeparator(folder)) folder.pop_back();
  if (folder.size() < 3) folder += '\\';
  return folder;
}

void BrowseForFolder(host::HWND owner, const char* title, const char* initialFolder, char* path) {
  if (!path) return;
  host::FolderChooserRequest request;
  request.title = title ? title : "";
  request.folder = BrowseStartFolder(initialFolder);
  const host::FolderChoice choice = host::ChooseFolder(owner, request);
  if (!choice.chosen || !CopyWhole(path, kDialogPathSize, choice.path)) path[0] = '\0';
}

}  // namespace bw
