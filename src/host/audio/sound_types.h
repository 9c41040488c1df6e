// The vocabulary of the host's sound device: result codes, buffer flags, the PCM format and the
// position-notification target. The values of the flags are the ones the engine passes; the
// result codes are our own small numbers with DirectSound's meanings.
#pragma once

#include <cstdint>

namespace bw::host {

// Results of every sound device and buffer operation.
constexpr int kSoundOk = 0;
constexpr int kSoundInvalidParam = 1;         // an argument out of range, a bad region or format
constexpr int kSoundInvalidCall = 2;          // not allowed on this kind of buffer or in its state
constexpr int kSoundBufferLost = 3;           // the buffer must be restored before lock or play
constexpr int kSoundControlUnavailable = 4;   // the buffer was made without that control
constexpr int kSoundPriorityLevelNeeded = 5;  // the primary format needs the priority level
constexpr int kSoundBadFormat = 6;            // not 8/16-bit PCM, mono or stereo, 100..100000 Hz
constexpr int kSoundOutOfMemory = 7;
constexpr int kSoundNoDriver = 8;  // the audio output could not be opened

// Buffer description flags.
constexpr uint32_t kBufferPrimary = 0x1;
constexpr uint32_t kBufferLocSoftware = 0x8;
constexpr uint32_t kBufferCtrlFrequency = 0x20;
constexpr uint32_t kBufferCtrlPan = 0x40;
constexpr uint32_t kBufferCtrlVolume = 0x80;
constexpr uint32_t kBufferCtrlPositionNotify = 0x100;
constexpr uint32_t kBufferGlobalFocus = 0x8000;

constexpr uint32_t kPlayLooping = 0x1;

constexpr uint32_t kLockFromWriteCursor = 0x1;
constexpr uint32_t kLockEntireBuffer = 0x2;

constexpr uint32_t kStatusPlaying = 0x1;
constexpr uint32_t kStatusBufferLost = 0x2;
constexpr uint32_t kStatusLooping = 0x4;

constexpr int kCooperativeNormal = 1;
constexpr int kCooperativePriority = 2;

// Volume in hundredths of a decibel; -10000 is silence.
constexpr int32_t kVolumeMin = -10000;
constexpr int32_t kVolumeMax = 0;
// Pan in hundredths of a decibel of attenuation of the other side; positive is right.
constexpr int32_t kPanLeft = -10000;
constexpr int32_t kPanRight = 10000;
// Playback frequency in Hz; "original" plays at the format's rate.
constexpr uint32_t kFrequencyOriginal = 0;
constexpr uint32_t kFrequencyMin = 100;
constexpr uint32_t kFrequencyMax = 100000;

// The notification offset that fires when the buffer stops (by Stop or at the end of a play).
constexpr uint32_t kNotifyOnStop = 0xFFFFFFFFu;

// Largest secondary buffer in bytes.
constexpr uint32_t kBufferMaxBytes = 0x0FFFFFFF;

constexpr uint16_t kWaveFormatPcm = 1;

// WAVEFORMATEX, field for field.
struct WaveFormat {
  uint16_t formatTag = kWaveFormatPcm;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;

  bool operator==(const WaveFormat&) const = default;
};

WaveFormat MakePcmFormat(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample);
// True for the formats the mixer plays: PCM, 1 or 2 channels, 8 or 16 bits, a rate in
// 100..100000 Hz and consistent block alignment and byte rate.
bool IsPlayableFormat(const WaveFormat& format);

struct BufferDesc {
  uint32_t flags = 0;
  uint32_t bytes = 0;                  // 0 for the primary buffer
  const WaveFormat* format = nullptr;  // null for the primary buffer
};

// What a position notification sets. Notify runs on the mixing thread or on the thread that
// stopped the buffer, outside the device's lock; it should only signal (set an event) and must
// not release buffers or change notification positions of another thread's buffers.
class NotifyTarget {
 public:
  virtual ~NotifyTarget() = default;
  virtual void Notify() = 0;
  // For an output that mixes in step with the program's frames (a headless run): returns once the
  // work the last Notify asked for is done, so that the next mix reads what a device playing in
  // real time would have found. Bounded; the default has nothing to wait for.
  virtual void AwaitServed() {}
};

struct NotifyPosition {
  uint32_t offset = 0;  // a byte offset in the buffer, or kNotifyOnStop
  NotifyTarget* target = nullptr;
};

// The one or two parts of a locked region; the second is the wrap to the buffer's start.
struct LockedRegions {
  uint8_t* first = nullptr;
  uint32_t firstBytes = 0;
  uint8_t* second = nullptr;
  uint32_t secondBytes = 0;
};

}  // namespace bw::host
