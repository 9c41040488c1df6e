// An exclusive lock on a file, held until released or the process ends (the kernel lets it go
// then, however the process ended). Other processes that try the same file are refused at once.
#pragma once

#include <filesystem>
#include <string>

namespace bw::host {

class FileLock {
 public:
  enum class Result {
    kLocked,         // this handle holds the lock
    kHeldElsewhere,  // another open of the file holds it
    kNoFile,         // the file could not be opened or created; Error() says why
  };

  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens path (created, readable by this user only, when missing) and takes the lock without
  // waiting. Whatever this handle held before is released first.
  [[nodiscard]] Result TryLock(const std::filesystem::path& path);
  void Release();
  bool Held() const { return fd_ >= 0; }
  // The system's words for the last kNoFile.
  const std::string& Error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

}  // namespace bw::host
