#include "resource/packs/archive.h"

#include "platform/memory_stream.h"

namespace bw {

void* AllocGlobalBlock(uint32_t size, void* block, void* preallocated) {
  if (size == 0) return nullptr;
  auto* record = static_cast<GlobalBlock*>(block);
  void* pointer = preallocated ? preallocated : AllocGlobalMemory(size);
  if (record) {
    record->pointer = pointer;
    record->size = size;
  }
  return pointer;
}

void FreeGlobalBlock(void* block) {
  auto* record = static_cast<GlobalBlock*>(block);
  if (!record) return;
  FreeGlobalMemory(record->pointer);
  record->pointer = nullptr;
}

}  // namespace bw
