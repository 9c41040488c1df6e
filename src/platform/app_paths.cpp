#include "platform/app_paths.h"

#include "common/sjis.h"
#include "host/file/file_system.h"
#include "host/host_path.h"

namespace bw {
namespace {

std::string& AppFolder() {
  static std::string folder;
  return folder;
}

bool StartsWithHostRoot(std::string_view path) {
  return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

// "\\host" or "\\host\": a network host without a share.
bool IsBareHostRoot(std::string_view path) {
  if (!StartsWithHostRoot(path)) return false;
  size_t next = sjis::FindFirstOf(path, sjis::kSeparators, 2);
  return next == sjis::npos || next == path.size() - 1;
}

bool IsAbsolutePath(std::string_view path) {
  return StartsWithHostRoot(path) || sjis::Find(path, ':') != sjis::npos;
}

}  // namespace

bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && sjis::FindLastSeparator(path) == path.size() - 1;
}

const std::string& GetAppFolder() {
  return AppFolder();
}

int InitAppFolder() {
  std::string program = host::ProgramPath();
  std::string folder;
  if (program.empty() || host::LinuxPathToEnginePath(program, folder) != host::kPathOk ||
      folder.size() >= kMaxPath) {
    return kAppFolderFailed;
  }
  if (CutLastPathPart(folder) != kCutPathDone) return kAppFolderFailed;
  AppFolder() = folder;
  return kAppFolderSet;
}

int RebaseAppFolder(std::string_view path) {
  std::string folder;
  if (BuildAbsolutePath(folder, path) == kPathBuildFailed) return kAppFolderFailed;
  if (!EndsWithSeparator(folder)) {
    if (folder.size() + 1 >= kMaxPath) return kAppFolderFailed;
    folder += '\\';
  }
  AppFolder() = folder;
  return kAppFolderSet;
}

int BuildAbsolutePath(std::string& destination, std::string_view path, const std::string* base) {
  if (IsAbsolutePath(path)) {
    if (path.size() >= kMaxPath) return kPathBuildFailed;
    destination = path;
    return kPathWasAbsolute;
  }
  std::string work = base ? *base : GetAppFolder();
  if (work.empty()) return kPathBuildFailed;
  for (;;) {
    if (path.size() >= 2 && path[0] == '.' && sjis::IsSeparator(path[1])) {
      path.remove_prefix(2);
    } else if (path.size() >= 3 && path[0] == '.' && path[1] == '.' && sjis::IsSeparator(path[2])) {
      // A step above the root leaves the folder as it was: refuse it.
      size_t before = work.size();
      if (CutLastPathPart(work) != kCutPathDone || work.size() == before) return kPathBuildFailed;
      path.remove_prefix(3);
    } else {
      break;
    }
  }
  if (!path.empty() && sjis::IsSeparator(path[0])) path.remove_prefix(1);
  if (!EndsWithSeparator(work)) work += '\\';
  size_t joined = work.size();
  work += path;
  for (size_t i = joined; i < work.size(); i = sjis::Next(work, i)) {
    if (work[i] == '/') work[i] = '\\';
  }
  if (work.size() >= kMaxPath) return kPathBuildFailed;
  destination = std::move(work);
  return kPathJoined;
}

int CutLastPathPart(std::string& path) {
  if (path.size() < 3) return kCutPathFailed;
  size_t last = sjis::npos;
  size_t secondLast = sjis::npos;
  for (size_t i = 0; i < path.size(); i = sjis::Next(path, i)) {
    if (sjis::IsSeparator(path[i])) {
      secondLast = last;
      last = i;
    }
  }
  if (StartsWithHostRoot(path)) {
    if (secondLast == 0) return kCutPathDone;  // "\\host": nothing above it
    if (secondLast == 1) secondLast = sjis::npos;
  }
  if (last == sjis::npos) return kCutPathFailed;
  if (last != path.size() - 1) {
    path.resize(last + 1);
  } else if (secondLast != sjis::npos) {
    path.resize(secondLast + 1);
  }
  return kCutPathDone;
}

std::string GetPathLeafName(std::string_view path, bool folder) {
  if (IsBareHostRoot(path)) return folder ? std::string(path) : std::string();
  size_t last = sjis::FindLastSeparator(path);
  if (last == sjis::npos) return std::string(path);
  if (last != path.size() - 1) return std::string(path.substr(last + 1));
  if (!folder) return {};
  std::string_view parent = path.substr(0, last);
  size_t previous = sjis::FindLastSeparator(parent);
  return std::string(previous == sjis::npos ? parent : parent.substr(previous + 1));
}

std::string GetPathExtension(std::string_view path) {
  size_t dot = sjis::FindLast(path, '.');
  return dot == sjis::npos ? std::string() : std::string(path.substr(dot + 1));
}

std::string SplitOffExtension(std::string& path) {
  size_t dot = sjis::FindLast(path, '.');
  if (dot == sjis::npos) return {};
  std::string extension = path.substr(dot + 1);
  path.resize(dot);
  return extension;
}

std::string CutFileName(std::string& path) {
  if (IsBareHostRoot(path)) return {};
  size_t last = sjis::FindLastSeparator(path);
  if (last == sjis::npos || last == path.size() - 1) return {};
  std::string name = path.substr(last + 1);
  path.resize(last + 1);
  return name;
}

int FindCdromDriveWithFile(const char* /*fileName*/, std::string* /*root*/) {
  return kNoCdromDrive;
}

}  // namespace bw
