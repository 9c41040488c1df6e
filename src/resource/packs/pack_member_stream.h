// A read stream over one plain pack member. The member's first bytes (the common prefix and
// the key-scrambled words) are held unscrambled in a head buffer; the rest is read from the
// stream's own handle on the pack file.
#pragma once

#include <cstdint>
#include <vector>

#include "host/file/host_file.h"
#include "platform/stream.h"

namespace bw {

class PackMemberStream final : public PositionedStream {
 public:
  static constexpr uint32_t kDone = 0;
  static constexpr uint32_t kSeekFailed = 1;

  // file is positioned at dataOffset, the file offset of the member byte at position
  // head.size(); nibbles says whether the bytes after the head are nibble-scrambled.
  PackMemberStream(host::HostFile file, uint64_t dataOffset, uint32_t size,
                   std::vector<uint8_t> head, bool nibbles);

  [[nodiscard]] uint32_t Read(void* buffer, uint32_t count) override;

 private:
  [[nodiscard]] uint32_t MoveTo(uint32_t position) override;

  host::HostFile file_;
  uint64_t dataOffset_;
  std::vector<uint8_t> head_;
  bool nibbles_;
};

}  // namespace bw
