// Locking and playing a host buffer that may have been lost: restore it and try once more.
#pragma once

#include <cstdint>

#include "host/audio/sound_device.h"

namespace bw {

[[nodiscard]] inline int LockRestoringLost(host::SoundBuffer& buffer, uint32_t offset,
                                           uint32_t bytes, host::LockedRegions* regions,
                                           uint32_t flags = 0) {
  int r = buffer.Lock(offset, bytes, regions, flags);
  if (r == host::kSoundBufferLost) {
    // A surface still lost fails its next lock or blit, which reports it.
    (void)buffer.Restore();
    r = buffer.Lock(offset, bytes, regions, flags);
  }
  return r;
}

[[nodiscard]] inline int PlayRestoringLost(host::SoundBuffer& buffer, uint32_t flags) {
  int r = buffer.Play(flags);
  if (r == host::kSoundBufferLost) {
    (void)buffer.Restore();  // the host keeps a lost buffer's samples
    r = buffer.Play(flags);
  }
  return r;
}

}  // namespace bw
