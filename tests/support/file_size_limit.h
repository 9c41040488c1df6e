// Lowers the file-size limit for its lifetime so that writes past it fail as on a full disk.
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace bw::test {

struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) : handler(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit lowered = previous;
    lowered.rlim_cur = bytes;
    set = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, handler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  void (*handler)(int);
  rlimit previous{};
  bool set = false;
};

}  // namespace bw::test
