#include "host/file/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

bool CreateFolder(const std::filesystem::path& path) {
  return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

namespace {

// Copies a regular file to a new file (never over one) with its mode and times.
bool CopyToNewFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return false;
  }
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    ::close(in);
    return false;
  }
  char buffer[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      ok = w > 0;
      done += w > 0 ? w : 0;
    }
    if (!ok) break;
  }
  const timespec times[2] = {st.st_atim, st.st_mtim};
  ok = ok && ::fsync(out) == 0 && ::futimens(out, times) == 0;
  ok = ::close(out) == 0 && ok;
  ::close(in);
  if (!ok) ::unlink(to.c_str());
  return ok;
}

}  // namespace

bool MovePath(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (from.empty() || to.empty()) return false;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EINVAL) {
    // A file system without the no-replace flag: ask first.
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
  }
  if (errno != EXDEV) return false;
  return CopyToNewFile(from, to) && ::unlink(from.c_str()) == 0;
}

bool ReplaceWithFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool flushed = ::fsync(fd) == 0;
  ::close(fd);
  if (!flushed || ::rename(from.c_str(), to.c_str()) != 0) return false;
  std::filesystem::path parent = to.parent_path();
  int dir = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool SetCurrentFolder(const std::filesystem::path& path) {
  return !path.empty() && ::chdir(path.c_str()) == 0;
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
