#include "platform/memory_stream.h"

#include <cstring>

namespace bw {

Ref<MemoryStream> MakeMemoryStream(void* block, uint32_t size) {
  Ref<MemoryStream> stream = MakeRef<MemoryStream>();
  if (!stream) {
    FreeGlobalMemory(block);
    return stream;
  }
  // A new stream holds no block yet, so attaching cannot fail.
  (void)stream->Attach(block, size);
  return stream;
}

uint32_t MemoryStream::Attach(void* block, uint32_t size) {
  if (start_) return kAttachFailed;
  start_ = current_ = static_cast<uint8_t*>(block);
  size_ = size;
  return kDone;
}

uint32_t MemoryStream::Seek(uint32_t position) {
  if (!start_) return kNoBlock;
  current_ = start_ + ClampSeek(position, size_);
  return kDone;
}

uint32_t MemoryStream::Skip(int32_t distance) {
  if (!start_) return kNoBlock;
  current_ = start_ + ClampSkip(Tell(), distance, size_);
  return kDone;
}

uint32_t MemoryStream::SeekFromEnd(uint32_t distance) {
  if (!start_) return kNoBlock;
  current_ = start_ + ClampFromEnd(distance, size_);
  return kDone;
}

uint32_t MemoryStream::Read(void* buffer, uint32_t count) {
  if (!start_ || !buffer) return 0;
  uint32_t left = size_ - Tell();
  uint32_t n = count < left ? count : left;
  if (n) std::memcpy(buffer, current_, n);
  current_ += n;
  return n;
}

void* MemoryStream::GetBuffer(bool detach) {
  void* block = start_;
  if (detach) start_ = current_ = nullptr;
  return block;
}

}  // namespace bw
