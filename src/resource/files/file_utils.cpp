#include "resource/files/file_utils.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "common/atomic_file.h"
#include "host/clock.h"
#include "host/file/file_system.h"
#include "host/file/host_file.h"
#include "host/host_path.h"
#include "host/trust.h"
#include "platform/app_paths.h"
#include "platform/command_line.h"
#include "resource/packs/file_system_manager.h"

namespace bw {
namespace {

std::optional<host::FileStatus> QueryEnginePath(std::string_view path) {
  std::string mapped;
  if (!ResolveLinuxPath(path, nullptr, mapped)) return std::nullopt;
  return host::QueryFile(mapped);
}

// One side of IsFileNewer: the path's time, else the given one; nothing when neither is there.
bool SideTime(const char* path, const FileTime* given, FileTime& time) {
  if (path) {
    std::optional<host::FileStatus> status = QueryEnginePath(path);
    if (!status) return false;
    time = LastWriteFileTime(*status);
    return true;
  }
  if (!given) return false;
  time = *given;
  return true;
}

// An absolute folder from the environment, else home + fallback.
std::string EnvFolder(const char* name, const std::string& home, const char* fallback) {
  const char* value = std::getenv(name);
  if (value && value[0] == '/') return value;
  return home.empty() ? std::string() : home + fallback;
}

// A folder of user-dirs.dirs: lines such as XDG_DOCUMENTS_DIR="$HOME/Documents".
std::string UserDir(const char* key, const std::string& home, const char* fallback) {
  if (home.empty()) return {};
  std::ifstream in(EnvFolder("XDG_CONFIG_HOME", home, "/.config") + "/user-dirs.dirs");
  std::string prefix = std::string(key) + "=\"";
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    size_t end = line.find('"', prefix.size());
    if (end == std::string::npos) continue;
    std::string value = line.substr(prefix.size(), end - prefix.size());
    if (value.compare(0, 5, "$HOME") == 0) return home + value.substr(5);
    if (!value.empty() && value[0] == '/') return value;
  }
  return home + fallback;
}

std::string SpecialFolder(int csidl) {
  std::string home = host::HomeFolder();
  switch (csidl) {
    case kCsidlDesktop:
      return UserDir("XDG_DESKTOP_DIR", home, "/Desktop");
    case kCsidlPersonal:
      return UserDir("XDG_DOCUMENTS_DIR", home, "/Documents");
    case kCsidlMyPictures:
      return UserDir("XDG_PICTURES_DIR", home, "/Pictures");
    case kCsidlAppData:
      return EnvFolder("XDG_DATA_HOME", home, "/.local/share");
    default:
      return {};
  }
}

}  // namespace

FileTime FileTimeFromUnix(const timespec& time) {
  int64_t seconds = static_cast<int64_t>(time.tv_sec) + kUnixEpochInFileTimeSeconds;
  if (seconds < 0) return 0;
  return static_cast<uint64_t>(seconds) * kFileTimeTicksPerSecond +
         static_cast<uint64_t>(time.tv_nsec) / 100;
}

FileTime LastWriteFileTime(const host::FileStatus& status) {
  return FileTimeFromUnix(status.lastWrite);
}

bool ToLocalFields(const timespec& time, FileTimeFields& fields) {
  std::tm local{};
  time_t seconds = time.tv_sec;
  if (!localtime_r(&seconds, &local) || local.tm_year + 1900 < 0 ||
      local.tm_year + 1900 > UINT16_MAX) {
    return false;
  }
  fields.year = static_cast<uint16_t>(local.tm_year + 1900);
  fields.month = static_cast<uint8_t>(local.tm_mon + 1);
  fields.day = static_cast<uint8_t>(local.tm_mday);
  fields.dayOfWeek = static_cast<uint8_t>(local.tm_wday);
  fields.hour = static_cast<uint8_t>(local.tm_hour);
  fields.minute = static_cast<uint8_t>(local.tm_min);
  fields.second = static_cast<uint8_t>(std::min(local.tm_sec, 59));  // no leap seconds
  return true;
}

bool ResolveLinuxPath(std::string_view path, std::string* enginePath, std::string& linuxPath) {
  std::string absolute;
  if (BuildAbsolutePath(absolute, path) == kPathBuildFailed ||
      host::EnginePathToLinuxPath(absolute, linuxPath) != host::kPathOk) {
    return false;
  }
  if (enginePath) *enginePath = std::move(absolute);
  return true;
}

int32_t GetFileSizeByName(const char* name) {
  FileSystemManager* manager = TheFileSystemManager::Get();
  FileFindData data;
  if (!manager || !name) return kNoFileSize;
  int code = manager->FindFile(nullptr, name, &data);
  if (code != kFindLoose && code != kFindInPack) return kNoFileSize;
  return static_cast<int32_t>(std::min<uint64_t>(data.size, INT32_MAX));
}

uint32_t GetFileTimeByName(const char* name, uint16_t* year, uint16_t* month, uint16_t* day,
                           uint16_t* hour, uint16_t* minute, uint16_t* second,
                           uint16_t* dayOfWeek) {
  FileSystemManager* manager = TheFileSystemManager::Get();
  if (!manager) return kFileTimeNoManager;
  if (!name) return static_cast<uint32_t>(kFindBadPath);
  std::string path;
  int code = manager->FindFile(&path, name, nullptr);
  if (code != 0) return static_cast<uint32_t>(code);
  std::optional<host::FileStatus> status = QueryEnginePath(path);
  FileTimeFields fields;
  // The file went between the find and this look: it is not there.
  if (!status || !ToLocalFields(status->lastWrite, fields)) {
    return static_cast<uint32_t>(kFindNotFound);
  }
  if (year) *year = fields.year;
  if (month) *month = fields.month;
  if (day) *day = fields.day;
  if (hour) *hour = fields.hour;
  if (minute) *minute = fields.minute;
  if (second) *second = fields.second;
  if (dayOfWeek) *dayOfWeek = fields.dayOfWeek;
  return kFileFound;
}

bool FileExists(const char* name) {
  FileSystemManager* manager = TheFileSystemManager::Get();
  if (!manager || !name) return false;
  int code = manager->FindFile(nullptr, name, nullptr);
  return code == 0 || code == kFindInPack;
}

int32_t IsFileNewer(const char* firstPath, const char* secondPath, const FileTime* firstTime,
                    const FileTime* secondTime) {
  FileTime first = 0;
  FileTime second = 0;
  if (!SideTime(firstPath, firstTime, first)) return kFirstIsMissing;
  if (!SideTime(secondPath, secondTime, second)) return kFirstIsNewer;
  return first > second ? kFirstIsNewer : kFirstIsNotNewer;
}

bool CopyFileKeepingTime(const std::string& source, const std::string& destination,
                         bool overwrite) {
  std::optional<host::FileStatus> sourceStatus = host::QueryFile(source);
  if (!sourceStatus || !sourceStatus->IsFile()) return false;
  if (!overwrite && host::QueryFile(destination, host::Links::kOwn)) return false;
  host::HostFile in;
  if (!in.Open(source, host::HostFile::Access::kRead)) return false;
  AtomicFileWriter out;
  if (!out.Open(destination)) return false;
  std::vector<char> buffer(1 << 16);
  while (uint32_t count = in.Read(buffer.data(), static_cast<uint32_t>(buffer.size()))) {
    if (!out.Write(buffer.data(), count)) return false;
  }
  // A short read and the end of the file look alike: the copy must hold the whole file.
  std::optional<uint64_t> read = in.Tell();
  if (!read || *read != sourceStatus->size || !out.Commit()) return false;
  return host::SetFileTimes(destination, sourceStatus->lastAccess, sourceStatus->lastWrite);
}

int32_t CopyFileIfNewer(const char* destination, const char* source, int32_t mode) {
  std::string destinationPath;
  std::string sourcePath;
  if (!destination || !source || !ResolveLinuxPath(destination, nullptr, destinationPath) ||
      !ResolveLinuxPath(source, nullptr, sourcePath)) {
    return kCopyRefused;
  }
  // Outside the game's folders the copy fails as a denied one does.
  if (!host::GamePathAllowed(destinationPath, host::PathUse::kWrite) ||
      !host::GamePathAllowed(sourcePath, host::PathUse::kRead)) {
    return kCopyFailed;
  }
  if (mode != kCopyAlways && host::QueryFile(destinationPath)) {
    if (mode == kCopyUnlessExists) return kCopyRefused;
    if (IsFileNewer(source, destination, nullptr, nullptr) != kFirstIsNewer) return kCopyNotNewer;
  }
  // Attributes to normal: a read-only destination is replaced, and the copy is writable.
  // A destination not there yet needs no change; one that stays read-only fails the copy.
  (void)host::MakeOwnerWritable(destinationPath);
  return CopyFileKeepingTime(sourcePath, destinationPath, true) ? kCopyDone : kCopyFailed;
}

uint32_t RunProcessAndWait(const char* commandLine, int32_t waitMode, int32_t /*x*/,
                           int32_t /*y*/) {
  if (!commandLine || std::string_view(commandLine).size() >= kMaxPath) return kRunFailed;
  host::Process process;
  if (!StartCommandLine(process, commandLine)) return kRunFailed;
  // An endless wait ends when the program has; a failed one finds it gone already.
  if (waitMode == kWaitForExit) (void)process.Wait(host::kInfinite);
  return kRunDone;
}

uint32_t OpenFolderInExplorer(const char* folder) {
  std::string linuxPath;
  if (!folder || !ResolveLinuxPath(folder, nullptr, linuxPath)) return kOpenFolderBadPath;
  // A file opens in its program, which may be the file itself: an untrusted game opens folders.
  std::optional<host::FileStatus> status = host::QueryFile(linuxPath);
  if (!host::GameTrusted() && !(status && status->IsFolder())) {
    host::TellProgramRefused("xdg-open " + linuxPath);
    return kOpenFolderFailed;
  }
  std::string opener = FindProgram("xdg-open");
  host::Process process;
  if (opener.empty() || !process.Spawn(opener, {"xdg-open", linuxPath})) return kOpenFolderFailed;
  return kOpenFolderDone;
}

std::string UserCacheFolder() {
  return EnvFolder("XDG_CACHE_HOME", host::HomeFolder(), "/.cache");
}

bool GetSpecialFolderPath(std::string& buffer, int csidl) {
  std::string folder = SpecialFolder(csidl);
  if (folder.empty()) return false;
  std::string enginePath;
  if (host::LinuxPathToEnginePath(folder, enginePath) != host::kPathOk) return false;
  if (EndsWithSeparator(enginePath) && enginePath.size() > 3) enginePath.pop_back();
  if (enginePath.size() >= kMaxPath) return false;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder, error)) return false;
  buffer = std::move(enginePath);
  return true;
}

}  // namespace bw
