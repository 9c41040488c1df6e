#include "sound/streaming_sound_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "common/global.h"
#include "host/clock.h"
#include "sound/direct_sound_device.h"
#include "sound/host_buffer_lock.h"
#include "sound/sll_plugin_manager.h"

namespace bw {
namespace {

constexpr uint32_t kFullControls =
    host::kBufferCtrlFrequency | host::kBufferCtrlPan | host::kBufferCtrlVolume;

// The sound setting: set at start-up, read where the frame thread opens a buffer; atomic.
std::atomic<bool> gUseNotifications{true};

void Release(SoundDecoderStream*& stream) {
  if (stream) stream->Release();
  stream = nullptr;
}

bool SameFormat(const host::WaveFormat& a, const host::WaveFormat& b) {
  return a.channels == b.channels && a.samplesPerSec == b.samplesPerSec &&
         a.bitsPerSample == b.bitsPerSample && a.avgBytesPerSec == b.avgBytesPerSec;
}

}  // namespace

StreamingSoundBuffer::StreamingSoundBuffer(DirectSoundDevice* device) {
  if (device) Global<DirectSoundDevice>::Set(device);
}

StreamingSoundBuffer::~StreamingSoundBuffer() {
  Close();
}

void StreamingSoundBuffer::SetUseNotifications(bool use) {
  gUseNotifications.store(use);
}
bool StreamingSoundBuffer::UseNotifications() {
  return gUseNotifications.load();
}

uint32_t StreamingSoundBuffer::PollSleepMs(uint32_t ringBytes, uint32_t bytesPerSecond,
                                           uint32_t playCursor) {
  const uint32_t eighth = ringBytes / 8;
  if (bytesPerSecond == 0 || eighth == 0) return 1;
  const uint64_t left = eighth - playCursor % eighth;
  const uint64_t ms = left * 1000 / bytesPerSecond;
  return static_cast<uint32_t>(std::clamp<uint64_t>(ms, 1, kMaxPollSleepMs));
}

uint8_t StreamingSoundBuffer::Silence() const {
  return format_.bitsPerSample == 8 ? 0x80 : 0;
}

uint32_t StreamingSoundBuffer::BlockAlign() const {
  return format_.blockAlign ? format_.blockAlign : 1;
}

int32_t StreamingSoundBuffer::Open(const char* file, const char* loopFile) {
  DirectSoundDevice* device = Global<DirectSoundDevice>::Get();
  if (device == nullptr || device->Device() == nullptr || file == nullptr) return kStreamNoDevice;
  Close();
  SllPluginManager* manager = Global<SllPluginManager>::Get();
  auto open = [manager](const char* name) {
    return manager ? manager->Open(name, nullptr, true, nullptr) : nullptr;
  };
  first_ = open(file);
  if (first_ == nullptr || first_->GetFormat()->avgBytesPerSec == 0) {
    Close();
    return kStreamNoDecoder;
  }
  format_ = *first_->GetFormat();
  if (loopFile) {
    loop_ = open(loopFile);
    if (loop_ == nullptr) {
      Close();
      return kStreamNoLoopDecoder;
    }
    // The loop joins the first part in one ring: it must be the same kind of sound.
    if (!SameFormat(*loop_->GetFormat(), format_)) {
      Close();
      return kStreamLoopMismatch;
    }
  }
  return MakeRing(device);
}

int32_t StreamingSoundBuffer::OpenDecoder(SoundDecoderStream* stream) {
  DirectSoundDevice* device = Global<DirectSoundDevice>::Get();
  if (device == nullptr || device->Device() == nullptr) return kStreamNoDevice;
  Close();
  if (stream == nullptr || stream->GetFormat()->avgBytesPerSec == 0) return kStreamNoDecoder;
  stream->AddRef();
  first_ = stream;
  format_ = *stream->GetFormat();
  return MakeRing(device);
}

int32_t StreamingSoundBuffer::MakeRing(DirectSoundDevice* device) {
  const uint64_t ring = uint64_t{kRingSeconds} * format_.avgBytesPerSec;
  if (ring > host::kBufferMaxBytes || ring % BlockAlign() != 0) {
    Close();
    return kStreamNoBuffer;
  }
  bytesPerSecond_ = format_.avgBytesPerSec;
  ring_ = static_cast<uint32_t>(ring);
  const bool notify = UseNotifications();
  const uint32_t extra =
      device->ExtraBufferFlags() | (notify ? host::kBufferCtrlPositionNotify : 0);
  int32_t result = kStreamOpened;
  host::BufferDesc desc{kFullControls | extra, ring_, &format_};
  if (device->Device()->CreateBuffer(desc, &buffer_) != host::kSoundOk) {
    desc.flags = host::kBufferCtrlVolume | extra;
    if (device->Device()->CreateBuffer(desc, &buffer_) != host::kSoundOk) {
      Close();
      return kStreamNoBuffer;
    }
    result = kStreamWithoutControls;
  }
  (void)SetVolume(volumeFactor_);  // made either way: a refused volume plays at full
  if (notify) {
    const host::NotifyPosition positions[] = {{ring_ / 4, &eventTarget_},
                                              {ring_ / 2, &eventTarget_},
                                              {3 * (ring_ / 4), &eventTarget_},
                                              {ring_ - 1, &eventTarget_},
                                              {host::kNotifyOnStop, &eventTarget_}};
    if (buffer_->SetNotificationPositions(positions) == host::kSoundOk) {
      notifyMode_ = true;
    } else {
      result -= kStreamNotifyRefused;  // the feeder polls instead
    }
  }
  return result;
}

void StreamingSoundBuffer::Close() {
  (void)Stop();  // the buffer goes whether or not the host stopped it
  CancelFade();
  Release(first_);
  Release(loop_);
  // Stopped just above, so clearing the positions cannot fail.
  if (buffer_) (void)buffer_->SetNotificationPositions({});
  notifyMode_ = false;
  buffer_.reset();
  ring_ = 0;
  bytesPerSecond_ = 0;
  position_ = 0;
  pauseCount_ = 0;
}

int32_t StreamingSoundBuffer::Play() {
  loopFlag_ = false;
  return Start();
}

int32_t StreamingSoundBuffer::PlayLoop() {
  loopFlag_ = true;
  return Start();
}

int32_t StreamingSoundBuffer::Start() {
  if (!buffer_) return kNoSoundBuffer;
  if (pauseCount_ > 0 || HostPlaying()) {
    (void)Stop();  // rewound either way: the play below starts it over
  } else {
    StopFeeder();  // one that ended by itself, or whose buffer stopped under it
  }
  {
    ScopedLock guard(lock_);
    lastRefillPlay_ = writePosition_ = shortfall_ = lastCountPlay_ = 0;
    // Rewinding a secondary buffer to 0 cannot fail.
    (void)buffer_->SetCurrentPosition(0);
    SoundDecoderStream* source = loop_ && position_ >= first_->GetPcmBytes() ? loop_ : first_;
    const uint32_t prefill =
        static_cast<uint32_t>((uint64_t{ring_} * 7) >> 3) / BlockAlign() * BlockAlign();
    host::LockedRegions r;
    if (LockRestoringLost(*buffer_, 0, prefill, &r) != host::kSoundOk) return kStartLockFailed;
    uint8_t* out = r.first;
    uint32_t done = 0;
    bool waiting = false;  // the source has nothing ready yet, but more to come
    deliveredSinceRewind_ = 0;
    while (done < prefill) {
      const uint32_t ask = prefill - done;
      const uint32_t n = source->Read(out + done, ask);
      if (n > ask) {
        // Nothing was written: the lock gives back no bytes, which cannot fail.
        (void)buffer_->Unlock({.first = r.first});
        return kStartDecoderOverran;
      }
      done += n;
      deliveredSinceRewind_ += n;
      if (done == prefill) break;
      if (!source->IsEnd()) {
        if (n == 0) {
          waiting = true;
          break;
        }
        continue;
      }
      if (source == first_ && loop_) {
        source = loop_;
        deliveredSinceRewind_ = 0;
        continue;
      }
      // A looping stream that gave nothing since it started over would never fill the ring.
      if (!loopFlag_ || deliveredSinceRewind_ == 0 || source->SeekMs(0) != kSllOk) break;
      deliveredSinceRewind_ = 0;
    }
    // Silence in case the cursor gets there first; a source still decoding writes over it from
    // where it stopped, so its sound goes on without a gap.
    std::memset(out + done, Silence(), prefill - done);
    if (buffer_->Unlock(r) != host::kSoundOk) return kStartUnlockFailed;
    writePosition_ = (waiting ? done : prefill) % ring_;
    shortfall_ = waiting ? prefill - done : 0;
    fadeCancelRequested_.store(false, std::memory_order_release);
  }
  // The start's failure is the answer; the stop only tidies up.
  if (PlayRestoringLost(*buffer_, host::kPlayLooping) != host::kSoundOk) {
    (void)Stop();
    return kStartPlayFailed;
  }
  event_.Reset();
  wokenAt_ = asked_.load(std::memory_order_acquire);
  MarkServed(wokenAt_);
  if (feeder_.Start() != kThreadStarted) {
    (void)Stop();
    return kStartThreadFailed;
  }
  // Thread priorities have no meaning here; every feeder runs at the normal one.
  return kSoundBufferOk;
}

int32_t StreamingSoundBuffer::Refill(SoundDecoderStream* decoder, int32_t mode) {
  ScopedLock guard(lock_);
  if (!buffer_ || decoder == nullptr || ring_ == 0) return kRefillLockFailed;
  uint32_t play = 0, write = 0;
  // Only the primary buffer has no cursors, and this one is secondary.
  (void)buffer_->GetCurrentPosition(&play, &write);
  if (play == lastRefillPlay_ && mode != kRefillFirstOnLoop) return kRefillNotMoved;
  uint64_t room = (uint64_t{ring_} - lastRefillPlay_ + play) % ring_ + shortfall_;
  room = std::min<uint64_t>(room, ring_);
  if (room < bytesPerSecond_ / 2) return kRefillDone;  // too early
  const uint32_t w = writePosition_;
  const uint64_t toWriteCursor = (uint64_t{write} + ring_ - w) % ring_;
  if (toWriteCursor > 0 && toWriteCursor < room) room = toWriteCursor;
  lastRefillPlay_ = play;
  room -= room % BlockAlign();
  if (room == 0) return kRefillDone;
  const uint32_t size = static_cast<uint32_t>(room);
  host::LockedRegions r;
  if (LockRestoringLost(*buffer_, w, size, &r) != host::kSoundOk) return kRefillLockFailed;
  uint32_t read = 0;
  if (r.second != nullptr && r.secondBytes != 0) {
    std::vector<uint8_t> block;
    try {
      block.resize(size);
    } catch (const std::bad_alloc&) {
      (void)buffer_->Unlock({.first = r.first});  // nothing written
      return kRefillNoMemory;
    }
    read = decoder->Read(block.data(), size);
    if (read > size) read = 0;
    const uint32_t head = std::min(read, r.firstBytes);
    std::memcpy(r.first, block.data(), head);
    std::memcpy(r.second, block.data() + head, read - head);
  } else {
    const uint32_t ask = std::min(size, r.firstBytes);
    read = decoder->Read(r.first, ask);
    if (read > ask) read = 0;
  }
  deliveredSinceRewind_ += read;
  if (buffer_->Unlock(r) != host::kSoundOk) return kRefillUnlockFailed;
  writePosition_ = (w + read) % ring_;
  shortfall_ = size - read;  // after every refill, so that it never goes stale
  if (!decoder->IsEnd()) return kRefillDone;
  // The caller rewinds or changes streams: no silence, so the next data joins seamlessly.
  if (loopFlag_ || mode != kRefillNormal) return kRefillAtEnd;
  PadShortfall();
  return kRefillAtEnd;
}

void StreamingSoundBuffer::PadShortfall() {
  ScopedLock guard(lock_);
  if (!buffer_ || shortfall_ == 0) return;
  host::LockedRegions r;
  if (LockRestoringLost(*buffer_, writePosition_, shortfall_, &r) != host::kSoundOk) return;
  std::memset(r.first, Silence(), r.firstBytes);
  if (r.second) std::memset(r.second, Silence(), r.secondBytes);
  const uint32_t locked = r.firstBytes + r.secondBytes;
  writePosition_ = static_cast<uint32_t>((uint64_t{writePosition_} + locked) % ring_);
  shortfall_ -= std::min(shortfall_, locked);
  (void)buffer_->Unlock(r);
}

void StreamingSoundBuffer::CountPosition(bool wrap, uint64_t firstBytes, uint64_t totalBytes) {
  ScopedLock guard(lock_);
  if (!buffer_ || ring_ == 0) return;
  uint32_t play = 0;
  (void)buffer_->GetCurrentPosition(&play, nullptr);
  position_ += (uint64_t{play} + ring_ - lastCountPlay_) % ring_;
  lastCountPlay_ = play;
  // While looping, the position stays inside the looped part (never a modulus of 0).
  if (wrap && totalBytes > firstBytes && position_ >= totalBytes) {
    position_ = firstBytes + (position_ - firstBytes) % (totalBytes - firstBytes);
  }
}

void StreamingSoundBuffer::WaitForRoom() {
  if (notifyMode_) {
    MarkServed(wokenAt_);
    (void)event_.Wait(kInfinite);  // ends only when signalled
    wokenAt_ = asked_.load(std::memory_order_acquire);
    return;
  }
  uint32_t play = 0;
  {
    ScopedLock guard(lock_);
    if (buffer_) (void)buffer_->GetCurrentPosition(&play, nullptr);
  }
  host::Sleep(PollSleepMs(ring_, bytesPerSecond_, play));
}

void StreamingSoundBuffer::FeedBody() {
  if (loop_ == nullptr) {
    FeedLoop(first_, 0, first_->GetPcmBytes());
    return;
  }
  const uint64_t firstBytes = first_->GetPcmBytes();
  while (feeder_.KeepRunning()) {
    {
      ScopedLock guard(lock_);
      if (position_ >= firstBytes) break;
    }
    CountPosition(false, 0, 0);
    const int32_t r = Refill(first_, kRefillFirstOfTwo);
    if (r == kRefillAtEnd) break;
    if (r >= kRefillLockFailed) {
      (void)Reset(true);  // the feeder ends either way
      return;
    }
    WaitForRoom();
  }
  if (!feeder_.KeepRunning() || Refill(loop_, kRefillFirstOnLoop) >= kRefillLockFailed) {
    (void)Reset(true);  // the feeder ends either way
    return;
  }
  FeedLoop(loop_, firstBytes, firstBytes + loop_->GetPcmBytes());
}

void StreamingSoundBuffer::FeedLoop(SoundDecoderStream* stream, uint64_t firstBytes,
                                    uint64_t totalBytes) {
  auto rewind = [this, stream] {
    ScopedLock guard(lock_);
    if (deliveredSinceRewind_ == 0 || stream->SeekMs(0) != kSllOk) return false;
    deliveredSinceRewind_ = 0;
    return true;
  };
  auto reached = [this, totalBytes] {
    ScopedLock guard(lock_);
    return position_ >= totalBytes;
  };
  bool ended = !loopFlag_ && stream->IsEnd();
  // A looped part with nothing in it cannot loop.
  if (totalBytes <= firstBytes) ended = true;
  if (!ended && loopFlag_ && stream->IsEnd() && !rewind()) ended = true;
  while (feeder_.KeepRunning()) {
    CountPosition(!ended, firstBytes, totalBytes);
    const int32_t r = Refill(stream, kRefillNormal);
    if (r >= kRefillLockFailed) break;
    if (r == kRefillAtEnd) {
      if (!ended && loopFlag_ && rewind()) continue;
      // Ended, or looping a stream that gave nothing since it started over: silence, not a spin.
      ended = true;
      if (loopFlag_) PadShortfall();
      if (reached()) break;
    }
    WaitForRoom();
  }
  (void)Reset(true);  // the feeder ends either way
}

int32_t StreamingSoundBuffer::Reset(bool fromFeeder) {
  ScopedLock guard(lock_);
  if (!buffer_) return kNoSoundBuffer;
  if (HostPlaying()) KeepDeviceAlive();
  const int r = buffer_->Stop();
  (void)buffer_->SetCurrentPosition(0);
  // A decoder that cannot rewind plays on from where it is at the next start.
  if (first_) (void)first_->SeekMs(0);
  if (loop_) (void)loop_->SeekMs(0);
  position_ = 0;
  lastRefillPlay_ = 0;
  lastCountPlay_ = 0;
  pauseCount_ = 0;
  deliveredSinceRewind_ = 0;
  // The fade belongs to the frame thread's timer service: only the frame thread may touch it.
  if (fromFeeder) {
    RequestFadeCancel();
  } else {
    CancelFade();
  }
  return r == host::kSoundOk ? kSoundBufferOk : kStopRefused;
}

void StreamingSoundBuffer::MarkServed(uint64_t asked) {
  served_.store(asked, std::memory_order_release);
  servedEvent_.Set();
}

void StreamingSoundBuffer::AwaitRefill() {
  // A feeder that is stuck or slow to start must not hold the mix for long.
  constexpr int kMaxWaits = 200;
  constexpr uint32_t kWaitMs = 10;
  const uint64_t asked = asked_.load(std::memory_order_acquire);
  for (int i = 0;
       i < kMaxWaits && feeder_.IsRunning() && served_.load(std::memory_order_acquire) < asked;
       ++i) {
    (void)servedEvent_.Wait(kWaitMs);  // the loop looks at what was served either way
  }
}

void StreamingSoundBuffer::StopFeeder() {
  // Not under the lock: the feeder takes it before it can see the request. A feeder waiting for
  // a notification is woken to see it.
  if (notifyMode_) {
    feeder_.RequestStop();
    event_.Set();
  }
  (void)feeder_.Stop();  // one that cannot be joined is left detached
}

int32_t StreamingSoundBuffer::Stop() {
  StopFeeder();
  return Reset(false);
}

int32_t StreamingSoundBuffer::Pause() {
  ScopedLock guard(lock_);
  if (!buffer_) return kNoSoundBuffer;
  return PauseHost();
}

int32_t StreamingSoundBuffer::Resume() {
  ScopedLock guard(lock_);
  if (!buffer_) return kNoSoundBuffer;
  if (pauseCount_ == 0) return kResumeNotPaused;
  if (--pauseCount_ == 0 && feeder_.IsRunning() &&
      PlayRestoringLost(*buffer_, host::kPlayLooping) != host::kSoundOk) {
    return kResumeFailed;
  }
  return kSoundBufferOk;
}

int32_t StreamingSoundBuffer::SeekMs(uint32_t ms) {
  if (first_ == nullptr) return kNoSoundBuffer;
  const bool wasPlaying = HostPlaying();
  (void)Stop();  // rewound either way; the seek sets the position next
  const uint32_t firstMs = first_->GetLengthMs();
  const bool intoLoop = loop_ && ms >= firstMs;
  if ((intoLoop ? loop_->SeekMs(ms - firstMs) : first_->SeekMs(ms)) != kSllOk) {
    return kStreamSeekRefused;
  }
  {
    ScopedLock guard(lock_);
    position_ = uint64_t{bytesPerSecond_} * ms / 1000;
    position_ -= position_ % BlockAlign();
    // Rounding must not put a seek into the loop part back into the first part.
    if (intoLoop) position_ = std::max<uint64_t>(position_, first_->GetPcmBytes());
  }
  if (wasPlaying && Start() != kSoundBufferOk) return kStreamSeekRestartFailed;
  return kSoundBufferOk;
}

uint32_t StreamingSoundBuffer::GetPositionMs() {
  ScopedLock guard(lock_);
  if (first_ == nullptr || bytesPerSecond_ == 0) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(position_ * 1000 / bytesPerSecond_);
}

uint32_t StreamingSoundBuffer::GetLengthMs() {
  if (first_ == nullptr) return 0;
  return first_->GetLengthMs() + (loop_ ? loop_->GetLengthMs() : 0);
}

uint32_t StreamingSoundBuffer::GetDataSize() {
  if (first_ == nullptr) return 0;
  return first_->GetPcmBytes() + (loop_ ? loop_->GetPcmBytes() : 0);
}

bool StreamingSoundBuffer::IsPlaying(uint32_t* playCursor, uint32_t* writeCursor) {
  ScopedLock guard(lock_);
  if (playCursor) *playCursor = lastCountPlay_;
  if (writeCursor) *writeCursor = lastRefillPlay_;
  return HostPlaying();
}

}  // namespace bw
