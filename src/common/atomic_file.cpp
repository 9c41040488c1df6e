#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace bw {

namespace {

constexpr std::string_view kTempMark = ".tmp.";
constexpr size_t kTempSuffixLength = 6;  // mkstemp's XXXXXX
constexpr int kOpenAttempts = 4;

AtomicFileStepHook stepHook = nullptr;
void Step() {
  if (stepHook) stepHook();
}

std::error_code LastError() {
  return std::error_code(errno, std::generic_category());
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True while path still names the file open as fd.
bool NamesOpenFile(const char* path, int fd) {
  struct stat byName, byHandle;
  return ::lstat(path, &byName) == 0 && ::fstat(fd, &byHandle) == 0 && SameFile(byName, byHandle);
}

// A temporary locked for this writer: a cleaner that removed the name between mkstemp and the
// lock leaves a name that no longer leads to the file, and a new name is made.
int CreateLockedTemporary(std::string& path) {
  const std::string pattern = path;
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    path = pattern;
    int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && NamesOpenFile(path.c_str(), fd)) return fd;
    ::close(fd);
  }
  errno = EAGAIN;
  return -1;
}

bool IsTempSuffixChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// "<target>.tmp.XXXXXX", with the target given or any non-empty one.
bool IsOurTemporaryName(std::string_view name, std::string_view targetName) {
  if (name.size() <= kTempMark.size() + kTempSuffixLength) return false;
  const size_t markAt = name.size() - kTempSuffixLength - kTempMark.size();
  if (name.substr(markAt, kTempMark.size()) != kTempMark) return false;
  for (char c : name.substr(markAt + kTempMark.size())) {
    if (!IsTempSuffixChar(c)) return false;
  }
  return targetName.empty() || SameNameIgnoringCase(name.substr(0, markAt), targetName);
}

// Removes the temporary when no writer holds it; the lock taken here keeps a writer from
// starting on it meanwhile.
bool RemoveUnheldTemporary(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool removed = false;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      NamesOpenFile(path.c_str(), fd)) {
    removed = ::unlink(path.c_str()) == 0;
  }
  ::close(fd);
  return removed;
}

// mkstemp makes the file private; give it the target's mode, or the usual one for a new file.
void GiveTargetMode(int fd, const std::filesystem::path& target) {
  struct stat st;
  mode_t mode;
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd, mode);
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() {
  Discard();
}

bool AtomicFileWriter::Open(const std::filesystem::path& target) {
  Discard();
  target_ = target;
  std::string pattern = target.string() + std::string(kTempMark) + "XXXXXX";
  Step();
  int fd = CreateLockedTemporary(pattern);
  if (fd < 0) return Fail(LastError());
  Step();
  GiveTargetMode(fd, target);
  fd_ = fd;
  temp_ = pattern;
  failure_.clear();
  error_.clear();
  return true;
}

bool AtomicFileWriter::Write(const void* data, size_t size) {
  if (fd_ < 0) return Fail(std::make_error_code(std::errc::bad_file_descriptor));
  if (failure_) return Fail(failure_);
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    Step();
    ssize_t n = ::write(fd_, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      failure_ = LastError();
      return Fail(failure_);
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool AtomicFileWriter::Commit() {
  if (fd_ < 0) return Fail(std::make_error_code(std::errc::bad_file_descriptor));
  std::error_code ec = failure_;
  Step();
  if (!ec && ::fsync(fd_) != 0) ec = LastError();
  // Renamed before the close lets the lock go: until then a cleaner leaves the temporary alone.
  Step();
  if (!ec && std::rename(temp_.c_str(), target_.c_str()) != 0) ec = LastError();
  if (ec) ::unlink(temp_.c_str());
  // The bytes were flushed before the rename: a failing close cannot undo the new file.
  Step();
  ::close(fd_);
  fd_ = -1;
  if (!ec) {
    // Make the rename itself durable where the folder can be opened.
    int dir = ::open(target_.parent_path().empty() ? "." : target_.parent_path().c_str(),
                     O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
      Step();
      ::fsync(dir);
      ::close(dir);
    }
  }
  temp_.clear();
  error_ = ec;
  return !ec;
}

bool AtomicFileWriter::Fail(std::error_code error) {
  error_ = error;
  return false;
}

void AtomicFileWriter::Discard() {
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

void SetAtomicFileStepHook(AtomicFileStepHook hook) {
  stepHook = hook;
}

bool WriteFileAtomically(const std::filesystem::path& target, std::span<const uint8_t> bytes,
                         std::error_code* error) {
  AtomicFileWriter writer;
  const bool written =
      writer.Open(target) && writer.Write(bytes.data(), bytes.size()) && writer.Commit();
  if (!written && error) *error = writer.Error();
  return written;
}

size_t RemoveStaleTemporaries(const std::filesystem::path& folder, std::string_view targetName) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  size_t removed = 0;
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::filesystem::path& path = it->path();
    if (IsOurTemporaryName(path.filename().string(), targetName) && RemoveUnheldTemporary(path))
      ++removed;
  }
  return removed;
}

std::string CreateTemporaryBeside(const std::filesystem::path& target) {
  std::string path = target.string() + std::string(kTempMark) + "XXXXXX";
  int fd = ::mkostemp(path.data(), O_CLOEXEC);
  if (fd < 0) return {};
  GiveTargetMode(fd, target);
  ::close(fd);
  return path;
}

}  // namespace bw
