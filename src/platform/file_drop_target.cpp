#include "platform/file_drop_target.h"

#include "host/host_path.h"

namespace bw {

void FileDropTarget::SetEnabled(host::HWND /*window*/, bool on) {
  ScopedLock guard(lock_);
  accept_ = on;
}

int32_t FileDropTarget::OnDropFiles(host::HDROP drop) {
  ScopedLock guard(lock_);
  if (!accept_ || !names_.empty()) {
    host::DragFinish(drop);
    return kDropRefused;
  }
  uint32_t count = host::DragQueryFileCount(drop);
  if (singleFile_ && count > 1) count = 1;
  for (uint32_t i = 0; i < count; ++i) {
    std::optional<std::string> linuxPath = host::DragQueryFile(drop, i);
    std::string enginePath;
    if (linuxPath && host::LinuxPathToEnginePath(*linuxPath, enginePath) == host::kPathOk) {
      names_.push_back(std::move(enginePath));
    }
  }
  host::DragFinish(drop);
  return kDropTaken;
}

std::optional<std::string> FileDropTarget::GetFile(int32_t index) {
  ScopedLock guard(lock_);
  if (index < 0 || static_cast<size_t>(index) >= names_.size()) return std::nullopt;
  return names_[static_cast<size_t>(index)];
}

uint32_t FileDropTarget::GetCount() {
  ScopedLock guard(lock_);
  return static_cast<uint32_t>(names_.size());
}

void FileDropTarget::Clear() {
  ScopedLock guard(lock_);
  names_.clear();
}

}  // namespace bw
