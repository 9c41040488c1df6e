// A range of address space reserved in one piece and committed page by page as it is first
// written; fresh pages read as zero. Reserving costs no memory until pages are touched.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw::host {

class ReservedMemory {
 public:
  ReservedMemory() = default;
  // Reserves bytes; Data() is null when the system refuses.
  explicit ReservedMemory(size_t bytes);
  ~ReservedMemory();
  ReservedMemory(const ReservedMemory&) = delete;
  ReservedMemory& operator=(const ReservedMemory&) = delete;

  uint8_t* Data() const { return base_; }
  size_t Size() const { return size_; }

 private:
  uint8_t* base_ = nullptr;
  size_t size_ = 0;
};

}  // namespace bw::host
