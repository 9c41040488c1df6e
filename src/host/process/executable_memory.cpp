#include "host/process/executable_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>

namespace bw::host {

namespace {
std::atomic<bool> refused{false};
}  // namespace

ExecutableMemory::~ExecutableMemory() {
  Release();
}

bool ExecutableMemory::Map(size_t bytes) {
  Release();
  if (refused.load() || bytes == 0) return false;
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  if (bytes > SIZE_MAX - page) return false;
  const size_t size = (bytes + page - 1) / page * page;
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return false;
  base_ = static_cast<uint8_t*>(p);
  size_ = size;
  return true;
}

bool ExecutableMemory::Seal() {
  if (!base_) return false;
  if (::mprotect(base_, size_, PROT_READ | PROT_EXEC) != 0) {
    Release();
    return false;
  }
  sealed_ = true;
  return true;
}

void ExecutableMemory::Release() {
  if (base_) ::munmap(base_, size_);
  base_ = nullptr;
  size_ = 0;
  sealed_ = false;
}

void ExecutableMemory::SetRefused(bool r) {
  refused.store(r);
}
bool ExecutableMemory::Refused() {
  return refused.load();
}

}  // namespace bw::host
