// A read stream over a host file handle. The stream keeps its own position and moves the
// handle with it, clamping every move to the file's size.
#pragma once

#include "host/file/host_file.h"
#include "platform/stream.h"

namespace bw {

class FileStream final : public Stream {
 public:
  static constexpr uint32_t kDone = 0;
  static constexpr uint32_t kSeekFailed = 1;
  static constexpr uint32_t kNoHandle = 2;
  static constexpr uint32_t kAttachFailed = 10;

  // Takes the handle. 10 when one is already held, or when the size cannot be read (the
  // handle is then held with size 0).
  uint32_t Attach(host::HostFile file);

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
  uint32_t size_ = 0;
  uint32_t position_ = 0;
};

}  // namespace bw
