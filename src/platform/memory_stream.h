// A read stream over a memory block that holds a whole file. The stream owns the block and
// frees it with FreeGlobalMemory unless a caller detached it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/stream.h"

namespace bw {

// The allocation pair of blocks that change hands between the resource layer, streams and
// callers (the engine's GlobalAlloc and GlobalFree). Null for a size of 0 or when out of memory.
inline void* AllocGlobalMemory(size_t size) {
  return size ? std::malloc(size) : nullptr;
}
inline void FreeGlobalMemory(void* block) {
  std::free(block);
}

class MemoryStream final : public Stream {
 public:
  static constexpr uint32_t kDone = 0;
  static constexpr uint32_t kNoBlock = 1;
  static constexpr uint32_t kAttachFailed = 10;

  ~MemoryStream() override { FreeGlobalMemory(start_); }

  // Takes a block from AllocGlobalMemory. 10 when a block is already held.
  [[nodiscard]] uint32_t Attach(void* block, uint32_t size);

  uint32_t GetSize() override { return size_; }
  uint32_t Tell() override { return static_cast<uint32_t>(current_ - start_); }
  bool IsEof() override { return Tell() == size_; }
  uint32_t Seek(uint32_t position) override;
  uint32_t Skip(int32_t distance) override;
  uint32_t SeekFromEnd(uint32_t distance) override;
  [[nodiscard]] uint32_t Read(void* buffer, uint32_t count) override;
  void* GetBuffer(bool detach) override;

 private:
  uint8_t* start_ = nullptr;
  uint8_t* current_ = nullptr;
  uint32_t size_ = 0;
};

// A new stream that takes block (from AllocGlobalMemory) of size bytes. Null when memory runs
// out; the block is freed then.
Ref<MemoryStream> MakeMemoryStream(void* block, uint32_t size);

}  // namespace bw
