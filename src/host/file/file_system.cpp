#include "host/file/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace bw::host {

std::optional<FileStatus> QueryFile(const std::filesystem::path& path, Links links) {
  struct stat st;
  int failed = links == Links::kFollow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
  if (failed != 0) return std::nullopt;
  FileStatus status;
  status.kind = S_ISDIR(st.st_mode)   ? EntryKind::kFolder
                : S_ISREG(st.st_mode) ? EntryKind::kFile
                                      : EntryKind::kOther;
  status.size = static_cast<uint64_t>(st.st_size);
  status.lastWrite = st.st_mtim;
  status.lastAccess = st.st_atim;
  status.ownerWritable = (st.st_mode & S_IWUSR) != 0;
  status.device = static_cast<uint64_t>(st.st_dev);
  status.inode = static_cast<uint64_t>(st.st_ino);
  return status;
}

std::optional<std::vector<std::string>> ListFolder(const std::filesystem::path& folder) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return std::nullopt;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir.get())) {
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  return names;
}

bool IsExecutableFile(const std::filesystem::path& path) {
  std::optional<FileStatus> status = QueryFile(path);
  return status && status->IsFile() && ::access(path.c_str(), X_OK) == 0;
}

bool RemoveFile(const std::filesystem::path& path) {
  return ::unlink(path.c_str()) == 0;
}

bool SetFileTimes(const std::filesystem::path& path, const timespec& lastAccess,
                  const timespec& lastWrite) {
  const timespec times[2] = {lastAccess, lastWrite};
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool MakeOwnerWritable(const std::filesystem::path& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & S_IWUSR) != 0 || ::chmod(path.c_str(), st.st_mode | S_IWUSR) == 0;
}

std::optional<std::string> CreateUniqueFile(std::string pathTemplate, int suffixLength) {
  int fd = ::mkstemps(pathTemplate.data(), suffixLength);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  return pathTemplate;
}

std::optional<DiskSpace> QueryDiskSpace(const std::filesystem::path& path) {
  struct statvfs st {};
  if (::statvfs(path.c_str(), &st) != 0) return std::nullopt;
  return DiskSpace{uint64_t{st.f_bavail} * st.f_frsize, uint64_t{st.f_blocks} * st.f_frsize};
}

std::string CurrentFolder() {
  std::string folder(256, '\0');
  while (::getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) return {};
    folder.resize(folder.size() * 2);
  }
  folder.resize(folder.find('\0'));
  return folder;
}

std::string ProgramPath() {
  std::string path(256, '\0');
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0) return {};
    if (static_cast<size_t>(n) < path.size()) {
      path.resize(static_cast<size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);  // the link may have been cut to fit
  }
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return home;
  std::vector<char> buffer(16384);
  passwd entry;
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

}  // namespace bw::host
