#include "host/file/host_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace bw::host {

HostFile::HostFile(HostFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

HostFile& HostFile::operator=(HostFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

bool HostFile::Open(const std::filesystem::path& path, Access access) {
  Close();
  int flags = O_CLOEXEC;
  switch (access) {
    case Access::kRead:
      flags |= O_RDONLY;
      break;
    case Access::kReadWrite:
      flags |= O_RDWR;
      break;
    case Access::kCreateAlways:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
    case Access::kCreateNew:
      flags |= O_WRONLY | O_CREAT | O_EXCL;
      break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // a folder is not a file to the engine
    ::close(fd);
    return false;
  }
  fd_ = fd;
  path_ = path;
  return true;
}

void HostFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  path_.clear();
}

uint32_t HostFile::Read(void* buffer, uint32_t count) {
  if (fd_ < 0 || !buffer) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, out + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

uint32_t HostFile::Write(const void* buffer, uint32_t count) {
  if (fd_ < 0 || !buffer) return 0;
  const auto* in = static_cast<const uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, in + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

std::optional<uint64_t> HostFile::Seek(int64_t distance, Origin origin) {
  if (fd_ < 0) return std::nullopt;
  int whence = origin == Origin::kBegin     ? SEEK_SET
               : origin == Origin::kCurrent ? SEEK_CUR
                                            : SEEK_END;
  off_t pos = ::lseek(fd_, static_cast<off_t>(distance), whence);
  if (pos < 0) return std::nullopt;
  return static_cast<uint64_t>(pos);
}

std::optional<uint64_t> HostFile::Size64() const {
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

std::optional<uint32_t> HostFile::Size() const {
  auto size = Size64();
  if (!size || *size > kMaxEngineSize) return std::nullopt;
  return static_cast<uint32_t>(*size);
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out, uint64_t maxSize) {
  out.clear();
  HostFile file;
  if (!file.Open(path, HostFile::Access::kRead)) return false;
  std::optional<uint64_t> size = file.Size64();
  if (!size || *size > maxSize || *size > HostFile::kMaxEngineSize) return false;
  out.resize(static_cast<size_t>(*size));
  // A file that shrank under the read comes short and is refused with the rest.
  if (file.Read(out.data(), static_cast<uint32_t>(out.size())) != out.size()) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace bw::host
