#include "host/process/reserved_memory.h"

#include <sys/mman.h>

namespace bw::host {

ReservedMemory::ReservedMemory(size_t bytes) {
  if (bytes == 0) return;
  void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return;
  base_ = static_cast<uint8_t*>(p);
  size_ = bytes;
}

ReservedMemory::~ReservedMemory() {
  if (base_) ::munmap(base_, size_);
}

}  // namespace bw::host
