#include "resource/plugin_folder.h"

#include <algorithm>

#include "common/sjis.h"
#include "host/cp932.h"
#include "host/file/file_system.h"
#include "host/host_path.h"
#include "platform/app_paths.h"

namespace bw {

bool ListPluginFiles(std::string_view folder, std::string_view suffix,
                     std::vector<std::string>& paths) {
  paths.clear();
  std::string absolute;
  if (BuildAbsolutePath(absolute, folder) == kPathBuildFailed) return false;
  if (!EndsWithSeparator(absolute)) absolute += '\\';
  std::string linuxFolder;
  if (host::EnginePathToLinuxPath(absolute, linuxFolder) != host::kPathOk) return true;
  std::optional<std::vector<std::string>> entries = host::ListFolder(linuxFolder);
  if (!entries) return true;
  std::vector<std::string> names;
  for (std::string_view name : *entries) {
    if (name.size() > suffix.size() &&
        sjis::EqualsNoCase(name.substr(name.size() - suffix.size()), suffix))
      names.emplace_back(name);
  }
  std::sort(names.begin(), names.end());  // the folder's own order differs between runs
  for (const std::string& name : names) {
    host::Cp932Conversion engineName = host::Utf8ToCp932(name);
    // A name with no CP932 form cannot be named by the engine: it still counts as a file.
    paths.push_back(engineName.ok ? absolute + engineName.text : std::string());
  }
  return true;
}

int LoadPluginLibrary(std::string_view path, host::HMODULE* module) {
  *module = nullptr;
  std::string absolute;
  if (BuildAbsolutePath(absolute, path) == kPathBuildFailed) return kPluginLibraryBadPath;
  std::string linuxPath;
  if (host::EnginePathToLinuxPath(absolute, linuxPath) != host::kPathOk) {
    return kPluginLibraryNotLoaded;
  }
  *module = host::LoadLibrary(linuxPath);
  return *module ? kPluginLibraryLoaded : kPluginLibraryNotLoaded;
}

}  // namespace bw
