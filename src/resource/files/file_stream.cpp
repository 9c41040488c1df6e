#include "resource/files/file_stream.h"

#include <utility>

namespace bw {

uint32_t FileStream::Attach(host::HostFile file) {
  if (file_.IsOpen()) return kAttachFailed;
  file_ = std::move(file);
  position_ = 0;
  auto size = file_.Size();
  size_ = size.value_or(0);
  return size ? kDone : kAttachFailed;
}

uint32_t FileStream::MoveTo(uint32_t position) {
  // The kept position follows the request even when the handle refuses, as the engine's did.
  position_ = position;
  return file_.Seek(position, host::HostFile::Origin::kBegin) ? kDone : kSeekFailed;
}

uint32_t FileStream::Seek(uint32_t position) {
  if (!file_.IsOpen()) return kNoHandle;
  return MoveTo(ClampSeek(position, size_));
}

uint32_t FileStream::Skip(int32_t distance) {
  if (!file_.IsOpen()) return kNoHandle;
  return MoveTo(ClampSkip(position_, distance, size_));
}

uint32_t FileStream::SeekFromEnd(uint32_t distance) {
  if (!file_.IsOpen()) return kNoHandle;
  return MoveTo(ClampFromEnd(distance, size_));
}

uint32_t FileStream::Read(void* buffer, uint32_t count) {
  if (!file_.IsOpen() || !buffer) return 0;
  uint32_t n = file_.Read(buffer, count);
  position_ += n;
  return n;
}

}  // namespace bw
