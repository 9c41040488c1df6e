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
  if (!file_.IsOpen()) return kNoHandle;
  // The kept position follows the request even when the handle refuses, as the engine's did.
  position_ = position;
  return file_.Seek(position, host::HostFile::Origin::kBegin) ? kDone : kSeekFailed;
}

uint32_t FileStream::Read(void* buffer, uint32_t count) {
  if (!file_.IsOpen() || !buffer) return 0;
  uint32_t n = file_.Read(buffer, count);
  position_ += n;
  return n;
}

}  // namespace bw
