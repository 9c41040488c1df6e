// Memory for generated machine code, never writable and executable at once: a mapping is made
// read-write, filled, then sealed read-execute, and is never written again. A test hook makes
// the service refuse every mapping, as a system that forbids executable memory does.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw::host {

class ExecutableMemory {
 public:
  ExecutableMemory() = default;
  ~ExecutableMemory();
  ExecutableMemory(const ExecutableMemory&) = delete;
  ExecutableMemory& operator=(const ExecutableMemory&) = delete;

  // Maps bytes (rounded up to whole pages) read-write, releasing any earlier mapping; false when
  // the system refuses.
  [[nodiscard]] bool Map(size_t bytes);
  // Makes the mapping read-execute; false (and the mapping released) when the system refuses.
  [[nodiscard]] bool Seal();
  void Release();

  uint8_t* Data() const { return base_; }
  size_t Size() const { return size_; }
  bool Sealed() const { return sealed_; }

  // While set, Map refuses.
  static void SetRefused(bool refused);
  static bool Refused();

 private:
  uint8_t* base_ = nullptr;
  size_t size_ = 0;
  bool sealed_ = false;
};

}  // namespace bw::host
