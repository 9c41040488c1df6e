// A read stream over one plain pack member. The member's first bytes (the common prefix and
// the key-scrambled words) are held unscrambled in a head buffer; the rest is read from the
// stream's own handle on the pack file.
#pragma once

#include <cstdint>
#include <vector>

#include "host/file/host_file.h"
#include "platform/stream.h"

namespace bw {

class PackMemberStream final : public Stream {
 public:
  static constexpr uint32_t kDone = 0;
  static constexpr uint32_t kSeekFailed = 1;

  // file is positioned at dataOffset, the file offset of the member byte at position
  // head.size(); nibbles says whether the bytes after the head are nibble-scrambled.
  PackMemberStream(host::HostFile file, uint64_t dataOffset, uint32_t size,
                   std::vector<uint8_t> head, bool nibbles);

  uint32_t GetSize() override { return size_; }
  uint32_t Tell() override { return position_; }
  bool IsEof() override { return position_ == size_; }
  uint32_t Seek(uint32_t position) override;
  uint32_t Skip(int32_t distance) override;
  uint32_t SeekFromEnd(uint32_t distance) override;
  [[nodiscard]] uint32_t Read(void* buffer, uint32_t count) override;

 private:
  uint32_t MoveTo(uint32_t position);

  host::HostFile file_;
  uint64_t dataOffset_;
  uint32_t size_;
  uint32_t position_ = 0;
  std::vector<uint8_t> head_;
  bool nibbles_;
};

}  // namespace bw
