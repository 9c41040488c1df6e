#include "sound/direct_sound_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "common/global.h"
#include "sound/direct_sound_device.h"
#include "sound/host_buffer_lock.h"
#include "sound/sll_plugin_manager.h"
#include "sound/sound_decoder.h"

namespace bw {
namespace {

constexpr uint32_t kFullControls =
    host::kBufferCtrlFrequency | host::kBufferCtrlPan | host::kBufferCtrlVolume;
constexpr size_t kEnvelopeBlock = 32;

// Reads until size bytes came or the decoder gives nothing (or more than asked).
uint32_t ReadFully(SoundDecoderStream& decoder, uint8_t* out, uint32_t size) {
  uint32_t got = 0;
  while (got < size) {
    uint32_t n = decoder.Read(out + got, size - got);
    if (n == 0 || n > size - got) break;
    got += n;
  }
  return got;
}

// Every 32-sample block becomes its mean loudness; answers the largest mean.
uint32_t MakeEnvelope16(std::vector<uint8_t>& data) {
  uint32_t peak = 0;
  const size_t samples = data.size() / 2;
  for (size_t start = 0; start + kEnvelopeBlock <= samples; start += kEnvelopeBlock) {
    int16_t* block = reinterpret_cast<int16_t*>(data.data()) + start;
    uint32_t sum = 0;
    for (size_t i = 0; i < kEnvelopeBlock; ++i) sum += static_cast<uint32_t>(std::abs(block[i]));
    const uint32_t mean = sum >> 5;
    peak = std::max(peak, mean);
    std::fill(block, block + kEnvelopeBlock,
              static_cast<int16_t>(std::min<uint32_t>(mean, INT16_MAX)));
  }
  return peak;
}

// The same for 8-bit data. The mean is stored around the silence value 0x80, so that the level
// read back at any offset is the block's mean.
uint32_t MakeEnvelope8(std::vector<uint8_t>& data) {
  uint32_t peak = 0;
  for (size_t start = 0; start + kEnvelopeBlock <= data.size(); start += kEnvelopeBlock) {
    uint8_t* block = data.data() + start;
    uint32_t sum = 0;
    for (size_t i = 0; i < kEnvelopeBlock; ++i)
      sum += static_cast<uint32_t>(std::abs(block[i] - 0x80));
    const uint32_t mean = sum >> 5;
    peak = std::max(peak, mean);
    std::fill(block, block + kEnvelopeBlock,
              static_cast<uint8_t>(std::min<uint32_t>(0x80 + mean, 0xFF)));
  }
  return peak;
}

}  // namespace

DirectSoundBuffer::DirectSoundBuffer(DirectSoundDevice* device) {
  if (device) Global<DirectSoundDevice>::Set(device);
}

DirectSoundBuffer::~DirectSoundBuffer() {
  Close();
}

int32_t DirectSoundBuffer::Load(const char* file, uint8_t lipSyncMode) {
  DirectSoundDevice* device = Global<DirectSoundDevice>::Get();
  if (device == nullptr || device->Device() == nullptr || file == nullptr)
    return kSoundLoadNoDevice;
  SoundFileSource* source = Global<SoundFileSource>::Get();
  std::string path;
  if (source == nullptr || !source->ResolvePath(file, &path)) return kSoundLoadNoDecoder;
  if (buffer_ && path == path_) return kLoaded;
  Close();
  SllPluginManager* manager = Global<SllPluginManager>::Get();
  DecoderRef decoder(manager ? manager->Open(path.c_str(), nullptr, true, nullptr) : nullptr);
  if (!decoder) return kSoundLoadNoDecoder;
  int32_t result;
  try {
    result = LoadDecoded(*decoder, lipSyncMode);
  } catch (const std::bad_alloc&) {
    result = kSoundLoadFailed;
  }
  if (result > 0) {
    Close();
    return result;
  }
  path_ = path;
  (void)SetVolume(volumeFactor_);  // loaded either way: a refused volume plays at full
  return result;
}

int32_t DirectSoundBuffer::LoadDecoded(SoundDecoderStream& decoder, uint8_t lipSyncMode) {
  DirectSoundDevice& device = *Global<DirectSoundDevice>::Get();
  const host::WaveFormat format = *decoder.GetFormat();
  const uint32_t size = decoder.GetPcmBytes();
  const uint32_t extra = device.ExtraBufferFlags();
  int32_t result = kLoaded;
  host::BufferDesc desc{kFullControls | extra, size, &format};
  if (device.Device()->CreateBuffer(desc, &buffer_) != host::kSoundOk) {
    desc.flags = host::kBufferCtrlVolume | extra;
    if (device.Device()->CreateBuffer(desc, &buffer_) != host::kSoundOk) return kSoundLoadNoBuffer;
    result = kLoadedWithoutControls;
  }
  host::LockedRegions region;
  if (LockRestoringLost(*buffer_, 0, 0, &region, host::kLockEntireBuffer) != host::kSoundOk) {
    return kSoundLoadNotLocked;
  }
  const uint8_t silence = format.bitsPerSample == 8 ? 0x80 : 0;
  const bool keep = lipSyncMode != kLipSyncNone && format.bitsPerSample <= 16;
  uint32_t got;
  if (!keep) {
    got = ReadFully(decoder, region.first, size);
    std::memset(region.first + got, silence, size - got);
  } else {
    kept_.assign(size, silence);
    got = ReadFully(decoder, kept_.data(), size);
    std::memcpy(region.first, kept_.data(), size);
    keptWidth_ = format.bitsPerSample == 8 ? 1 : 2;
    if (lipSyncMode == kLipSyncEnvelope) {
      const uint32_t peak = keptWidth_ == 1 ? MakeEnvelope8(kept_) : MakeEnvelope16(kept_);
      peak_ = static_cast<uint16_t>(peak >> 2);
    }
  }
  if (got == 0) {
    // Unlocking what was locked just above cannot fail.
    (void)buffer_->Unlock(region);
    return kSoundLoadNothingDecoded;
  }
  if (buffer_->Unlock(region) != host::kSoundOk) return kSoundLoadNotUnlocked;
  dataSize_ = size;
  return result;
}

int32_t DirectSoundBuffer::DuplicateFrom(SoundBuffer* source) {
  DirectSoundDevice* device = Global<DirectSoundDevice>::Get();
  if (device == nullptr || device->Device() == nullptr || source == nullptr ||
      source->GetDirectSoundBuffer() == nullptr) {
    return kDuplicateNoSource;
  }
  Close();
  if (device->Device()->DuplicateBuffer(*source->GetDirectSoundBuffer(), &buffer_) !=
      host::kSoundOk) {
    return kDuplicateRefused;
  }
  dataSize_ = source->GetDataSize();
  (void)SetVolume(volumeFactor_);  // made either way: a refused volume plays at full
  return kDuplicated;
}

void DirectSoundBuffer::Close() {
  (void)Stop();  // the buffer goes whether or not the host stopped it
  CancelFade();
  buffer_.reset();
  path_.clear();
  dataSize_ = 0;
  playMode_ = kPlayModeNone;
  pauseCount_ = 0;
  pendingPosition_ = false;
  kept_.clear();
  keptWidth_ = 0;
  peak_ = 0;
}

int32_t DirectSoundBuffer::Start(uint8_t mode) {
  ScopedLock guard(lock_);
  if (!buffer_) return kNoSoundBuffer;
  if (pendingPosition_) {
    pendingPosition_ = false;
  } else {
    // Stopping a secondary buffer cannot fail.
    if (playMode_ != kPlayModeNone) (void)buffer_->Stop();
    // Rewinding a secondary buffer to 0 cannot fail.
    (void)buffer_->SetCurrentPosition(0);
  }
  playMode_ = mode;
  pauseCount_ = 0;
  const uint32_t flags = mode == kPlayModeLoop ? host::kPlayLooping : 0;
  return PlayRestoringLost(*buffer_, flags) == host::kSoundOk ? kSoundBufferOk : kPlayFailed;
}

int32_t DirectSoundBuffer::Pause() {
  ScopedLock guard(lock_);
  if (!buffer_) return kNoSoundBuffer;
  if (playMode_ == kPlayModeNone) return kPauseNotStarted;
  return PauseHost();
}

int32_t DirectSoundBuffer::Resume() {
  ScopedLock guard(lock_);
  if (!buffer_) return kNoSoundBuffer;
  if (pauseCount_ == 0) return kResumeNotPaused;
  if (--pauseCount_ == 0) {
    const uint32_t flags = playMode_ == kPlayModeLoop ? host::kPlayLooping : 0;
    if (PlayRestoringLost(*buffer_, flags) != host::kSoundOk) return kResumeFailed;
  }
  return kSoundBufferOk;
}

int32_t DirectSoundBuffer::Stop() {
  ScopedLock guard(lock_);
  if (!buffer_) return kNoSoundBuffer;
  if (HostPlaying()) KeepDeviceAlive();
  const int r = buffer_->Stop();
  (void)buffer_->Stop();
  (void)buffer_->SetCurrentPosition(0);
  pendingPosition_ = false;
  playMode_ = kPlayModeNone;
  pauseCount_ = 0;
  CancelFade();
  return r == host::kSoundOk ? kSoundBufferOk : kStopRefused;
}

uint32_t DirectSoundBuffer::BytesPerSecond() const {
  host::WaveFormat f;
  return buffer_ && buffer_->GetFormat(&f) == host::kSoundOk ? f.avgBytesPerSec : 0;
}

uint32_t DirectSoundBuffer::GetLengthMs() {
  const uint32_t rate = BytesPerSecond();
  return rate ? static_cast<uint32_t>(uint64_t{dataSize_} * 1000 / rate) : 0;
}

uint32_t DirectSoundBuffer::GetPositionMs() {
  const uint32_t rate = BytesPerSecond();
  uint32_t play = 0;
  if (rate == 0 || buffer_->GetCurrentPosition(&play, nullptr) != host::kSoundOk) return 0;
  return static_cast<uint32_t>(uint64_t{play} * 1000 / rate);
}

int32_t DirectSoundBuffer::SeekMs(uint32_t ms) {
  ScopedLock guard(lock_);
  if (!buffer_) return kNoSoundBuffer;
  const uint32_t rate = BytesPerSecond();
  if (rate == 0) return kSeekNoFormat;
  const uint64_t position = uint64_t{rate} * ms / 1000;
  if (position >= dataSize_) return kSeekOutOfRange;
  if (fadeState_ != kFadeNone || !HostPlaying()) {
    (void)Stop();  // the rewind happens either way; the position set next is what counts
    pendingPosition_ = true;
  }
  if (buffer_->SetCurrentPosition(static_cast<uint32_t>(position)) != host::kSoundOk) {
    return kSeekOutOfRange;
  }
  return kSoundBufferOk;
}

bool DirectSoundBuffer::IsPlaying(uint32_t* playCursor, uint32_t* writeCursor) {
  if (!buffer_) return false;
  // Only the primary buffer has no cursors, and this one is secondary.
  if (playCursor || writeCursor) (void)buffer_->GetCurrentPosition(playCursor, writeCursor);
  return HostPlaying();
}

int32_t DirectSoundBuffer::GetSample(uint32_t byteOffset) {
  if (keptWidth_ == 0 || uint64_t{byteOffset} + keptWidth_ > kept_.size()) return 0;
  if (keptWidth_ == 1) return kept_[byteOffset];
  int16_t s;
  std::memcpy(&s, kept_.data() + byteOffset, sizeof s);
  return s;
}

uint32_t DirectSoundBuffer::GetLevel(uint32_t byteOffset, uint32_t range) {
  if (keptWidth_ == 0 || uint64_t{byteOffset} + keptWidth_ > kept_.size()) return 0;
  const int32_t s = GetSample(byteOffset);
  const uint32_t a = static_cast<uint32_t>(std::abs(keptWidth_ == 1 ? s - 0x80 : s));
  if (range == 0) return std::min<uint32_t>(keptWidth_ == 1 ? a * 2 : a >> 7, 255);
  if (peak_ == 0) return 0;
  return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{a} * range / peak_, range - 1));
}

}  // namespace bw
