#include "resource/packs/pack_member_stream.h"

#include <cstring>
#include <utility>

#include "resource/packs/vfa_format.h"

namespace bw {

PackMemberStream::PackMemberStream(host::HostFile file, uint64_t dataOffset, uint32_t size,
                                   std::vector<uint8_t> head, bool nibbles)
    : PositionedStream(size),
      file_(std::move(file)),
      dataOffset_(dataOffset),
      head_(std::move(head)),
      nibbles_(nibbles) {}

uint32_t PackMemberStream::MoveTo(uint32_t position) {
  position_ = position;
  uint64_t headSize = head_.size();
  uint64_t target = dataOffset_ + (position > headSize ? position - headSize : 0);
  return file_.Seek(static_cast<int64_t>(target), host::HostFile::Origin::kBegin) ? kDone
                                                                                  : kSeekFailed;
}

uint32_t PackMemberStream::Read(void* buffer, uint32_t count) {
  if (!buffer) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t left = size_ - position_;
  if (count > left) count = left;
  uint32_t delivered = 0;
  if (position_ < head_.size()) {
    uint32_t fromHead = static_cast<uint32_t>(head_.size()) - position_;
    if (fromHead > count) fromHead = count;
    std::memcpy(out, head_.data() + position_, fromHead);
    delivered = fromHead;
  }
  if (delivered < count) {
    uint32_t got = file_.Read(out + delivered, count - delivered);
    if (nibbles_) UnscrambleVfaNibbles(out + delivered, got);
    delivered += got;
  }
  position_ += delivered;
  return delivered;
}

}  // namespace bw
