// A whole decoded sound in one host buffer. It can keep a copy of its samples, or a coarse
// loudness envelope of them, so that a speaking character's mouth can follow the voice.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/sound_buffer.h"

namespace bw {

class DirectSoundDevice;

// Results of Load.
constexpr int32_t kLoaded = 0;
constexpr int32_t kLoadedWithoutControls = -1;  // volume control only
constexpr int32_t kSoundLoadNoDevice = 1;       // no device, or a null name
constexpr int32_t kSoundLoadNoDecoder = 2;      // the name does not resolve, or no decoder
constexpr int32_t kSoundLoadNoBuffer = 3;
constexpr int32_t kSoundLoadNotLocked = 4;
constexpr int32_t kSoundLoadNothingDecoded = 5;
constexpr int32_t kSoundLoadNotUnlocked = 6;
constexpr int32_t kSoundLoadFailed = 7;
// Results of DuplicateFrom.
constexpr int32_t kDuplicated = 0;
constexpr int32_t kDuplicateNoSource = 1;
constexpr int32_t kDuplicateRefused = 2;
// Results of SeekMs beyond kNoSoundBuffer.
constexpr int32_t kSeekNoFormat = 2;
constexpr int32_t kSeekOutOfRange = 3;

// Lip-sync modes of Load.
constexpr uint8_t kLipSyncNone = 0;
constexpr uint8_t kLipSyncSamples = 1;   // keep the samples as decoded
constexpr uint8_t kLipSyncEnvelope = 2;  // keep the loudness of each 32-sample block

constexpr uint8_t kPlayModeNone = 0;
constexpr uint8_t kPlayModeOnce = 1;
constexpr uint8_t kPlayModeLoop = 2;

class DirectSoundBuffer final : public SoundBuffer {
 public:
  // A device given here becomes the process-wide one.
  explicit DirectSoundBuffer(DirectSoundDevice* device = nullptr);
  ~DirectSoundBuffer() override;

  // Decodes the named sound (through Global<SoundFileSource> and Global<SllPluginManager>).
  [[nodiscard]] int32_t Load(const char* file, uint8_t lipSyncMode);
  // Shares the source's samples with a cursor, volume, pan and frequency of its own.
  [[nodiscard]] int32_t DuplicateFrom(SoundBuffer* source);

  bool IsStreaming() override { return false; }
  void Close() override;
  [[nodiscard]] int32_t Play() override { return Start(kPlayModeOnce); }
  [[nodiscard]] int32_t PlayLoop() override { return Start(kPlayModeLoop); }
  [[nodiscard]] int32_t Pause() override;
  [[nodiscard]] int32_t Resume() override;
  [[nodiscard]] int32_t Stop() override;
  uint32_t GetDataSize() override { return dataSize_; }
  uint32_t GetLengthMs() override;
  [[nodiscard]] int32_t SeekMs(uint32_t ms) override;
  uint32_t GetPositionMs() override;
  bool IsPlaying(uint32_t* playCursor, uint32_t* writeCursor) override;

  // The unsigned byte or signed 16-bit sample at a byte offset of the kept copy; 0 when there
  // is none or the sample does not lie wholly inside it.
  int32_t GetSample(uint32_t byteOffset);
  // The loudness there: 0..255 with range 0, else scaled to the envelope's peak, below range.
  uint32_t GetLevel(uint32_t byteOffset, uint32_t range);

  const std::string& Path() const { return path_; }
  uint8_t PlayMode() const { return playMode_; }
  uint16_t EnvelopePeak() const { return peak_; }

 private:
  [[nodiscard]] int32_t Start(uint8_t mode);
  [[nodiscard]] int32_t LoadDecoded(class SoundDecoderStream& decoder, uint8_t lipSyncMode);
  uint32_t BytesPerSecond() const;

  std::string path_;  // empty while nothing is loaded
  uint32_t dataSize_ = 0;
  uint8_t playMode_ = kPlayModeNone;
  bool pendingPosition_ = false;  // a seek on a stopped buffer: the next play starts there
  uint8_t keptWidth_ = 0;         // 0 nothing kept, 1 8-bit, 2 16-bit
  uint16_t peak_ = 0;
  std::vector<uint8_t> kept_;
};

}  // namespace bw
