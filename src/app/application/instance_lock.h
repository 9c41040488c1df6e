// The single-instance lock: a file in the user's runtime folder, locked for the process's life.
// It is named after the game, so two different games run side by side.
#pragma once

#include <string>

#include "host/file/file_lock.h"

namespace bw {

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock() { Release(); }
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  // False when another process holds the lock of that name (CP932) in folder, which is created
  // when missing. Without a place for the lock the start goes on, after saying so on standard
  // error.
  [[nodiscard]] bool Acquire(const std::string& folder, const std::string& name);
  void Release();
  [[nodiscard]] bool Held() const { return lock_.Held(); }
  // The lock file of the last Acquire (UTF-8), to name in messages.
  const std::string& Path() const { return path_; }

 private:
  host::FileLock lock_;
  std::string path_;
};

// Where the lock lives: $XDG_RUNTIME_DIR, else "brimwold" in this user's cache folder; never a
// folder every user shares, where another user's game would stop this one. Empty without either.
std::string InstanceLockFolder();

// What a second start says before it stops (CP932).
std::string OtherInstanceMessage(const InstanceLock& lock);

}  // namespace bw
