// The host's sound device: DirectSound's device and buffer semantics over a software mixer.
// Secondary buffers hold 8-bit unsigned or 16-bit signed PCM, mono or stereo, at any rate, and
// play once or looped with their own volume, pan and frequency; the primary buffer only carries
// the device's format. Every operation may be called from any thread while the mixer runs.
// Buffers share the mixer's state with the device, so either may be destroyed first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "host/audio/sound_types.h"

namespace bw::host {

class SoundMixer;
struct Voice;
class SoundBuffer;

class SoundDevice {
 public:
  SoundDevice();
  ~SoundDevice();
  SoundDevice(const SoundDevice&) = delete;
  SoundDevice& operator=(const SoundDevice&) = delete;

  // kCooperativeNormal or kCooperativePriority; kSoundInvalidCall when the priority level is
  // not to be had.
  [[nodiscard]] int SetCooperativeLevel(int level);
  int CooperativeLevel() const;

  // A primary buffer (kBufferPrimary, no size, no format) or a secondary buffer of silence.
  [[nodiscard]] int CreateBuffer(const BufferDesc& desc, std::unique_ptr<SoundBuffer>* out);
  // A buffer sharing the source's samples, with its own cursor, volume, pan and frequency
  // (starting as the source's), stopped at offset 0 and without notifications.
  [[nodiscard]] int DuplicateBuffer(const SoundBuffer& source, std::unique_ptr<SoundBuffer>* out);

  WaveFormat PrimaryFormat() const;

  // Mixes the playing buffers into `frames` stereo frames of 16-bit samples at outputRate.
  void Mix(int16_t* out, size_t frames, uint32_t outputRate);
  // The same at the primary rate, for headless runs and tests.
  std::vector<int16_t> Pull(size_t frames);

  // Test hook: makes the priority level unavailable, as on a device shared with another program.
  void SetPriorityLevelRefused(bool refused);

  const std::shared_ptr<SoundMixer>& Mixer() const { return mixer_; }

 private:
  // A new buffer over voice; null when memory runs out.
  std::unique_ptr<SoundBuffer> NewBuffer(std::unique_ptr<Voice> voice) const;

  std::shared_ptr<SoundMixer> mixer_;
};

class SoundBuffer {
 public:
  ~SoundBuffer();
  SoundBuffer(const SoundBuffer&) = delete;
  SoundBuffer& operator=(const SoundBuffer&) = delete;

  // Locks `bytes` from `offset`; the region wraps to the start as a second part. Flags:
  // kLockFromWriteCursor (offset ignored), kLockEntireBuffer (offset and bytes ignored).
  [[nodiscard]] int Lock(uint32_t offset, uint32_t bytes, LockedRegions* out, uint32_t flags = 0);
  // Ends a lock; the parts give what was written, at most what was locked.
  [[nodiscard]] int Unlock(const LockedRegions& regions);

  // kPlayLooping or 0, from the play cursor; playing again changes only the looping. A play
  // once stops at the end with the cursor back at 0.
  [[nodiscard]] int Play(uint32_t flags);
  // Stops and keeps the position.
  [[nodiscard]] int Stop();
  [[nodiscard]] int GetCurrentPosition(uint32_t* play, uint32_t* write) const;
  // Moves the play cursor (rounded down to a whole frame).
  [[nodiscard]] int SetCurrentPosition(uint32_t offset);
  [[nodiscard]] int GetStatus(uint32_t* status) const;
  [[nodiscard]] int Restore();
  [[nodiscard]] int SetVolume(int32_t volume);
  [[nodiscard]] int GetVolume(int32_t* volume) const;
  [[nodiscard]] int SetPan(int32_t pan);
  [[nodiscard]] int GetPan(int32_t* pan) const;
  [[nodiscard]] int SetFrequency(uint32_t hz);
  // The frequency in force: the format's rate while it is "original".
  [[nodiscard]] int GetFrequency(uint32_t* hz) const;
  [[nodiscard]] int GetFormat(WaveFormat* format) const;
  // Primary buffer only; needs the priority level.
  [[nodiscard]] int SetFormat(const WaveFormat& format);

  // Replaces the notification positions; not while playing. Offsets below the buffer's size or
  // kNotifyOnStop; an empty list clears them.
  [[nodiscard]] int SetNotificationPositions(std::span<const NotifyPosition> positions);

  // Test hook: loses the buffer, as when another program takes the device. It stops (a waiter on
  // the on-stop notification wakes), and lock and play answer kSoundBufferLost until Restore.
  void MarkLost();

 private:
  friend class SoundDevice;
  SoundBuffer(std::shared_ptr<SoundMixer> mixer, std::unique_ptr<Voice> voice);

  std::shared_ptr<SoundMixer> mixer_;
  std::unique_ptr<Voice> voice_;  // registered with the mixer while it is a secondary buffer
};

}  // namespace bw::host
