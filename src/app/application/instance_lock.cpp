#include "app/application/instance_lock.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/cp932.h"
#include "resource/files/file_utils.h"

namespace bw {

bool InstanceLock::Acquire(const std::string& folder, const std::string& name) {
  Release();
  // The name is CP932; the file name is UTF-8 like every other name on this side.
  std::string file = host::Cp932ToUtf8Lenient(name);
  for (char& c : file) {
    if (c == '/') c = '_';
  }
  path_ = folder + "/" + file + ".lock";
  std::error_code ec;
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  host::FileLock::Result result =
      folder.empty() ? host::FileLock::Result::kNoFile : lock_.TryLock(path_);
  if (result == host::FileLock::Result::kNoFile) {
    std::fprintf(
        stderr, "brimwold: no single-instance lock at %s (%s); a second copy will not be stopped\n",
        folder.empty() ? "(no runtime or cache folder)" : path_.c_str(),
        folder.empty() ? "neither XDG_RUNTIME_DIR nor HOME is set" : lock_.Error().c_str());
    return true;
  }
  return result == host::FileLock::Result::kLocked;
}

void InstanceLock::Release() {
  lock_.Release();
}

std::string InstanceLockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return runtime;
  std::string cache = UserCacheFolder();
  return cache.empty() ? std::string() : cache + "/brimwold";
}

std::string OtherInstanceMessage(const InstanceLock& lock) {
  return host::Utf8ToCp932Lenient(
      "This game is already running for this user, so this copy stops (lock " + lock.Path() + ").");
}

}  // namespace bw
