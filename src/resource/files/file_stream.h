// A read stream over a host file handle. The stream keeps its own position and moves the
// handle with it, clamping every move to the file's size.
#pragma once

#include "host/file/host_file.h"
#include "platform/stream.h"

namespace bw {

class FileStream final : public PositionedStream {
 public:
  static constexpr uint32_t kDone = 0;
  static constexpr uint32_t kSeekFailed = 1;
  static constexpr uint32_t kNoHandle = 2;
  static constexpr uint32_t kAttachFailed = 10;

  // Takes the handle. 10 when one is already held, or when the size cannot be read (the
  // handle is then held with size 0).
  [[nodiscard]] uint32_t Attach(host::HostFile file);

  [[nodiscard]] uint32_t Read(void* buffer, uint32_t count) override;

 private:
  // kNoHandle without a handle.
  [[nodiscard]] uint32_t MoveTo(uint32_t position) override;

  host::HostFile file_;
};

}  // namespace bw
