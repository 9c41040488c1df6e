#include "resource/packs/archive.h"

#include "platform/memory_stream.h"

namespace bw {

std::string DescribeArchiveError(int code) {
  switch (code) {
    case kArchiveBadFormat:
      return "not a pack this reader takes, or a damaged one";
    case kArchiveEmptyMember:
      return "the member is empty";
    case kArchiveNotFound:
      return "no such member, or the file cannot be opened";
    case kArchiveNoPath:
      return "no path or no buffer was given";
    case kArchiveSeekFailed:
    case kArchiveReadFailed:
      return "the pack is cut short or cannot be read";
    case kArchiveOutOfMemory:
      return "out of memory";
    case kArchiveUnpackFailed:
      return "the member's packed bytes are damaged";
    default:
      return "the reader failed with code " + std::to_string(code);
  }
}

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
