#include "host/audio/sound_device.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "host/audio/sound_mixer.h"

namespace bw::host {

namespace {

constexpr uint32_t kKnownBufferFlags = kBufferPrimary | kBufferLocSoftware | kBufferCtrlFrequency |
                                       kBufferCtrlPan | kBufferCtrlVolume |
                                       kBufferCtrlPositionNotify | kBufferGlobalFocus;

uint8_t SilenceOf(const WaveFormat& format) {
  return format.bitsPerSample == 8 ? 0x80 : 0x00;
}

// Compared as addresses: a pointer from elsewhere is no part of the buffer.
bool Inside(const uint8_t* p, uint32_t bytes, const uint8_t* base, uint32_t size) {
  auto at = reinterpret_cast<uintptr_t>(p);
  auto start = reinterpret_cast<uintptr_t>(base);
  return at >= start && at - start <= size && bytes <= size - (at - start);
}

}  // namespace

SoundDevice::SoundDevice() : mixer_(std::make_shared<SoundMixer>()) {}

SoundDevice::~SoundDevice() = default;

int SoundDevice::SetCooperativeLevel(int level) {
  std::lock_guard lock(mixer_->mutex);
  if (level != kCooperativeNormal && level != kCooperativePriority) return kSoundInvalidParam;
  if (level == kCooperativePriority && mixer_->priorityRefused) return kSoundInvalidCall;
  mixer_->cooperativeLevel = level;
  return kSoundOk;
}

int SoundDevice::CooperativeLevel() const {
  std::lock_guard lock(mixer_->mutex);
  return mixer_->cooperativeLevel;
}

void SoundDevice::SetPriorityLevelRefused(bool refused) {
  std::lock_guard lock(mixer_->mutex);
  mixer_->priorityRefused = refused;
}

WaveFormat SoundDevice::PrimaryFormat() const {
  std::lock_guard lock(mixer_->mutex);
  return mixer_->primaryFormat;
}

int SoundDevice::CreateBuffer(const BufferDesc& desc, std::unique_ptr<SoundBuffer>* out) {
  if (out == nullptr || (desc.flags & ~kKnownBufferFlags) != 0) return kSoundInvalidParam;
  out->reset();
  auto voice = std::make_unique<Voice>();
  voice->flags = desc.flags;
  if (desc.flags & kBufferPrimary) {
    if (desc.bytes != 0 || desc.format != nullptr) return kSoundInvalidParam;
    voice->primary = true;
    *out = NewBuffer(std::move(voice));
    return *out ? kSoundOk : kSoundOutOfMemory;
  }
  if (desc.format == nullptr) return kSoundInvalidParam;
  if (!IsPlayableFormat(*desc.format)) return kSoundBadFormat;
  const WaveFormat& format = *desc.format;
  if (desc.bytes < format.blockAlign || desc.bytes > kBufferMaxBytes ||
      desc.bytes % format.blockAlign != 0) {
    return kSoundInvalidParam;
  }
  voice->format = format;
  voice->frames = desc.bytes / format.blockAlign;
  try {
    voice->samples = std::make_shared<std::vector<uint8_t>>(desc.bytes, SilenceOf(format));
  } catch (const std::bad_alloc&) {
    return kSoundOutOfMemory;
  }
  *out = NewBuffer(std::move(voice));
  return *out ? kSoundOk : kSoundOutOfMemory;
}

int SoundDevice::DuplicateBuffer(const SoundBuffer& source, std::unique_ptr<SoundBuffer>* out) {
  if (out == nullptr || source.mixer_ != mixer_) return kSoundInvalidParam;
  out->reset();
  auto voice = std::make_unique<Voice>();
  {
    std::lock_guard lock(mixer_->mutex);
    const Voice& from = *source.voice_;
    if (from.primary) return kSoundInvalidCall;
    if (from.lost) return kSoundBufferLost;
    voice->flags = from.flags;
    voice->format = from.format;
    voice->samples = from.samples;
    voice->frames = from.frames;
    voice->volume = from.volume;
    voice->pan = from.pan;
    voice->frequency = from.frequency;
    voice->UpdateGains();
  }
  *out = NewBuffer(std::move(voice));
  return *out ? kSoundOk : kSoundOutOfMemory;
}

std::unique_ptr<SoundBuffer> SoundDevice::NewBuffer(std::unique_ptr<Voice> voice) const {
  return std::unique_ptr<SoundBuffer>(new (std::nothrow) SoundBuffer(mixer_, std::move(voice)));
}

void SoundDevice::Mix(int16_t* out, size_t frames, uint32_t outputRate) {
  mixer_->Mix(out, frames, outputRate);
}

std::vector<int16_t> SoundDevice::Pull(size_t frames) {
  std::vector<int16_t> out(frames * 2);
  mixer_->Mix(out.data(), frames, PrimaryFormat().samplesPerSec);
  return out;
}

SoundBuffer::SoundBuffer(std::shared_ptr<SoundMixer> mixer, std::unique_ptr<Voice> voice)
    : mixer_(std::move(mixer)), voice_(std::move(voice)) {
  if (voice_->primary) return;
  std::lock_guard lock(mixer_->mutex);
  mixer_->voices.push_back(voice_.get());
}

SoundBuffer::~SoundBuffer() {
  if (voice_->primary) return;
  std::unique_lock lock(mixer_->mutex);
  auto& voices = mixer_->voices;
  voices.erase(std::find(voices.begin(), voices.end(), voice_.get()));
  // Our targets may die with us: a pull that collected them must be done with them first.
  mixer_->WaitForDeliveries(lock);
}

int SoundBuffer::Lock(uint32_t offset, uint32_t bytes, LockedRegions* out, uint32_t flags) {
  if (out == nullptr) return kSoundInvalidParam;
  *out = LockedRegions{};
  std::lock_guard lock(mixer_->mutex);
  Voice& v = *voice_;
  if (v.primary) return kSoundInvalidCall;
  if (v.lost) return kSoundBufferLost;
  const uint32_t size = v.Bytes();
  if (flags & kLockEntireBuffer) {
    offset = 0;
    bytes = size;
  } else if (flags & kLockFromWriteCursor) {
    offset = v.WriteCursor();
  }
  if (offset >= size || bytes == 0 || bytes > size) return kSoundInvalidParam;
  uint8_t* base = v.samples->data();
  out->first = base + offset;
  out->firstBytes = std::min(bytes, size - offset);
  if (bytes > out->firstBytes) {
    out->second = base;
    out->secondBytes = bytes - out->firstBytes;
  }
  return kSoundOk;
}

int SoundBuffer::Unlock(const LockedRegions& regions) {
  std::lock_guard lock(mixer_->mutex);
  const Voice& v = *voice_;
  if (v.primary) return kSoundInvalidCall;
  const uint8_t* base = v.samples->data();
  const uint32_t size = v.Bytes();
  if (regions.first == nullptr || !Inside(regions.first, regions.firstBytes, base, size)) {
    return kSoundInvalidParam;
  }
  if (regions.second != nullptr && (regions.second != base || regions.secondBytes > size)) {
    return kSoundInvalidParam;
  }
  return kSoundOk;
}

int SoundBuffer::Play(uint32_t flags) {
  if (flags & ~kPlayLooping) return kSoundInvalidParam;
  std::lock_guard lock(mixer_->mutex);
  Voice& v = *voice_;
  if (v.primary) return kSoundOk;  // the device always mixes
  if (v.lost) return kSoundBufferLost;
  v.playing = true;
  v.looping = (flags & kPlayLooping) != 0;
  return kSoundOk;
}

int SoundBuffer::Stop() {
  std::vector<NotifyTarget*> fired;
  std::unique_lock lock(mixer_->mutex);
  if (voice_->primary) return kSoundOk;
  voice_->StopAndCollect(fired);
  if (!fired.empty()) mixer_->Deliver(lock, fired);
  return kSoundOk;
}

int SoundBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) const {
  std::lock_guard lock(mixer_->mutex);
  const Voice& v = *voice_;
  if (v.primary) return kSoundInvalidCall;
  if (play) *play = v.PlayCursor();
  if (write) *write = v.WriteCursor();
  return kSoundOk;
}

int SoundBuffer::SetCurrentPosition(uint32_t offset) {
  std::lock_guard lock(mixer_->mutex);
  Voice& v = *voice_;
  if (v.primary) return kSoundInvalidCall;
  if (offset >= v.Bytes()) return kSoundInvalidParam;
  v.position = uint64_t{offset / v.format.blockAlign} << 32;
  return kSoundOk;
}

int SoundBuffer::GetStatus(uint32_t* status) const {
  if (status == nullptr) return kSoundInvalidParam;
  std::lock_guard lock(mixer_->mutex);
  const Voice& v = *voice_;
  *status = (v.playing ? kStatusPlaying : 0) | (v.playing && v.looping ? kStatusLooping : 0) |
            (v.lost ? kStatusBufferLost : 0);
  return kSoundOk;
}

int SoundBuffer::Restore() {
  std::lock_guard lock(mixer_->mutex);
  voice_->lost = false;
  return kSoundOk;
}

void SoundBuffer::MarkLost() {
  std::vector<NotifyTarget*> fired;
  std::unique_lock lock(mixer_->mutex);
  if (voice_->primary) return;
  voice_->lost = true;
  voice_->StopAndCollect(fired);
  if (!fired.empty()) mixer_->Deliver(lock, fired);
}

int SoundBuffer::SetVolume(int32_t volume) {
  std::lock_guard lock(mixer_->mutex);
  Voice& v = *voice_;
  if (v.primary || !(v.flags & kBufferCtrlVolume)) return kSoundControlUnavailable;
  if (volume < kVolumeMin || volume > kVolumeMax) return kSoundInvalidParam;
  v.volume = volume;
  v.UpdateGains();
  return kSoundOk;
}

int SoundBuffer::GetVolume(int32_t* volume) const {
  if (volume == nullptr) return kSoundInvalidParam;
  std::lock_guard lock(mixer_->mutex);
  if (voice_->primary || !(voice_->flags & kBufferCtrlVolume)) return kSoundControlUnavailable;
  *volume = voice_->volume;
  return kSoundOk;
}

int SoundBuffer::SetPan(int32_t pan) {
  std::lock_guard lock(mixer_->mutex);
  Voice& v = *voice_;
  if (v.primary || !(v.flags & kBufferCtrlPan)) return kSoundControlUnavailable;
  if (pan < kPanLeft || pan > kPanRight) return kSoundInvalidParam;
  v.pan = pan;
  v.UpdateGains();
  return kSoundOk;
}

int SoundBuffer::GetPan(int32_t* pan) const {
  if (pan == nullptr) return kSoundInvalidParam;
  std::lock_guard lock(mixer_->mutex);
  if (voice_->primary || !(voice_->flags & kBufferCtrlPan)) return kSoundControlUnavailable;
  *pan = voice_->pan;
  return kSoundOk;
}

int SoundBuffer::SetFrequency(uint32_t hz) {
  std::lock_guard lock(mixer_->mutex);
  Voice& v = *voice_;
  if (v.primary || !(v.flags & kBufferCtrlFrequency)) return kSoundControlUnavailable;
  if (hz != kFrequencyOriginal && (hz < kFrequencyMin || hz > kFrequencyMax)) {
    return kSoundInvalidParam;
  }
  v.frequency = hz;
  return kSoundOk;
}

int SoundBuffer::GetFrequency(uint32_t* hz) const {
  if (hz == nullptr) return kSoundInvalidParam;
  std::lock_guard lock(mixer_->mutex);
  if (voice_->primary || !(voice_->flags & kBufferCtrlFrequency)) return kSoundControlUnavailable;
  *hz = voice_->PlayRate();
  return kSoundOk;
}

int SoundBuffer::GetFormat(WaveFormat* format) const {
  if (format == nullptr) return kSoundInvalidParam;
  std::lock_guard lock(mixer_->mutex);
  *format = voice_->primary ? mixer_->primaryFormat : voice_->format;
  return kSoundOk;
}

int SoundBuffer::SetFormat(const WaveFormat& format) {
  std::lock_guard lock(mixer_->mutex);
  if (!voice_->primary) return kSoundInvalidCall;
  if (mixer_->cooperativeLevel < kCooperativePriority) return kSoundPriorityLevelNeeded;
  if (!IsPlayableFormat(format)) return kSoundBadFormat;
  mixer_->primaryFormat = format;
  return kSoundOk;
}

int SoundBuffer::SetNotificationPositions(std::span<const NotifyPosition> positions) {
  std::unique_lock lock(mixer_->mutex);
  Voice& v = *voice_;
  if (v.primary || !(v.flags & kBufferCtrlPositionNotify)) return kSoundControlUnavailable;
  if (v.playing) return kSoundInvalidCall;
  for (const NotifyPosition& p : positions) {
    if (p.target == nullptr || (p.offset != kNotifyOnStop && p.offset >= v.Bytes())) {
      return kSoundInvalidParam;
    }
  }
  v.notifications.assign(positions.begin(), positions.end());
  // The old targets may be freed once we return.
  mixer_->WaitForDeliveries(lock);
  return kSoundOk;
}

}  // namespace bw::host
