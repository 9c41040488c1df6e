#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace bw {

namespace {
std::error_code LastError() { return std::error_code(errno, std::generic_category()); }
}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

std::error_code AtomicFileWriter::Open(const std::filesystem::path& target) {
  Discard();
  target_ = target;
  std::string pattern = target.string() + ".tmp.XXXXXX";
  int fd = mkstemp(pattern.data());
  if (fd < 0) return LastError();
  // mkstemp makes the file private; give it the target's mode, or the usual one for a new file.
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
  fd_ = fd;
  temp_ = pattern;
  failure_.clear();
  return {};
}

std::error_code AtomicFileWriter::Write(const void* data, size_t size) {
  if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  if (failure_) return failure_;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd_, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      failure_ = LastError();
      return failure_;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return {};
}

std::error_code AtomicFileWriter::Commit() {
  if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  std::error_code ec = failure_;
  if (!ec && ::fsync(fd_) != 0) ec = LastError();
  if (::close(fd_) != 0 && !ec) ec = LastError();
  fd_ = -1;
  if (!ec && std::rename(temp_.c_str(), target_.c_str()) != 0) ec = LastError();
  if (ec) {
    ::unlink(temp_.c_str());
  } else {
    // Make the rename itself durable where the folder can be opened.
    int dir = ::open(target_.parent_path().empty() ? "." : target_.parent_path().c_str(),
                     O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }
  temp_.clear();
  return ec;
}

void AtomicFileWriter::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

std::error_code WriteFileAtomically(const std::filesystem::path& target,
                                    std::span<const uint8_t> bytes) {
  AtomicFileWriter writer;
  if (auto ec = writer.Open(target)) return ec;
  if (auto ec = writer.Write(bytes.data(), bytes.size())) return ec;
  return writer.Commit();
}

}  // namespace bw
