// The files dropped on the main window, kept until the scripts take them. The window thread adds
// a drop's names; the frame thread reads them and clears the list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/drop_files.h"
#include "host/messages.h"
#include "platform/lock.h"

namespace bw {

constexpr int32_t kDropTaken = 0;
constexpr int32_t kDropRefused = -1;

class FileDropTarget {
 public:
  // In single-file mode only the first name of a drop is taken.
  explicit FileDropTarget(bool singleFile = false) : singleFile_(singleFile) {}
  virtual ~FileDropTarget() = default;
  FileDropTarget(const FileDropTarget&) = delete;
  FileDropTarget& operator=(const FileDropTarget&) = delete;

  // The host hands every drop to the window; while off, drops are refused here instead.
  void SetEnabled(host::HWND window, bool on);
  // Takes the drop's names as engine paths (names without one are left out) and finishes the
  // drop. Refused while off, and while the names of an earlier drop are still pending.
  [[nodiscard]] int32_t OnDropFiles(host::HDROP drop);
  // A copy, so that a clear on another thread cannot pull the name away.
  std::optional<std::string> GetFile(int32_t index);
  uint32_t GetCount();
  // The consumer calls it when it has taken the names.
  void Clear();

 private:
  Lock lock_;
  bool accept_ = false;  // guarded by lock_
  const bool singleFile_;
  std::vector<std::string> names_;  // guarded by lock_
};

}  // namespace bw
