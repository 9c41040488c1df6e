// A sound device with a 16-bit stereo primary format and buffers filled from sample lists.
#pragma once

#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "host/audio/sound_device.h"

namespace bw::host {

constexpr uint32_t kAllControls =
    kBufferCtrlVolume | kBufferCtrlPan | kBufferCtrlFrequency | kBufferCtrlPositionNotify;

class CountingTarget : public NotifyTarget {
 public:
  void Notify() override { count.fetch_add(1, std::memory_order_relaxed); }
  std::atomic<int> count{0};
};

struct SoundRig {
  SoundRig() {
    EXPECT_EQ(device.SetCooperativeLevel(kCooperativePriority), kSoundOk);
    std::unique_ptr<SoundBuffer> primary;
    EXPECT_EQ(device.CreateBuffer({kBufferPrimary, 0, nullptr}, &primary), kSoundOk);
    EXPECT_EQ(primary->SetFormat(MakePcmFormat(2, 44100, 16)), kSoundOk);
  }

  std::unique_ptr<SoundBuffer> Make(const WaveFormat& format, const void* bytes, size_t size,
                                    uint32_t flags = kAllControls) {
    std::unique_ptr<SoundBuffer> buffer;
    EXPECT_EQ(device.CreateBuffer({flags, static_cast<uint32_t>(size), &format}, &buffer),
              kSoundOk);
    LockedRegions r;
    EXPECT_EQ(buffer->Lock(0, 0, &r, kLockEntireBuffer), kSoundOk);
    std::memcpy(r.first, bytes, size);
    EXPECT_EQ(buffer->Unlock(r), kSoundOk);
    return buffer;
  }
  // Interleaved 16-bit stereo samples at 44.1 kHz.
  std::unique_ptr<SoundBuffer> Make16(const std::vector<int16_t>& samples,
                                      uint32_t flags = kAllControls) {
    return Make(MakePcmFormat(2, 44100, 16), samples.data(), samples.size() * 2, flags);
  }
  // A stereo buffer of `frames` frames whose frame i holds (i, -i).
  std::unique_ptr<SoundBuffer> Ramp(uint32_t frames, uint32_t flags = kAllControls) {
    std::vector<int16_t> samples;
    for (uint32_t i = 0; i < frames; ++i) {
      samples.push_back(static_cast<int16_t>(i));
      samples.push_back(static_cast<int16_t>(-static_cast<int>(i)));
    }
    return Make16(samples, flags);
  }

  SoundDevice device;
};

inline uint32_t PlayCursor(const SoundBuffer& buffer) {
  uint32_t play = 0xDEADu;
  EXPECT_EQ(buffer.GetCurrentPosition(&play, nullptr), kSoundOk);
  return play;
}

inline bool IsPlaying(const SoundBuffer& buffer) {
  uint32_t status = 0;
  EXPECT_EQ(buffer.GetStatus(&status), kSoundOk);
  return (status & kStatusPlaying) != 0;
}

}  // namespace bw::host
