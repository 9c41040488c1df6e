#include "host/file/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace bw::host {

FileLock::Result FileLock::TryLock(const std::filesystem::path& path) {
  Release();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    error_ = std::strerror(errno);
    return Result::kNoFile;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return Result::kHeldElsewhere;
  }
  fd_ = fd;
  return Result::kLocked;
}

void FileLock::Release() {
  if (fd_ >= 0) {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace bw::host
