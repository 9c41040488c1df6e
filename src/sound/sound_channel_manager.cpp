#include "sound/sound_channel_manager.h"

#include <algorithm>
#include <cstring>

#include "common/sjis.h"
#include "platform/timer_service.h"
#include "sound/sound_tasks.h"
#include "sound/voice_table.h"

namespace bw {

bool NameTooLong(const char* name) {
  return std::strlen(name) > kMaxSoundNameBytes;
}

namespace {

bool SameName(const std::optional<std::string>& stored, const char* name) {
  return stored && sjis::EqualsNoCase(*stored, name);
}

int32_t ClampVolume(int32_t volume) {
  return std::min(volume, kFullVolume);
}
int32_t ClampFactor(int32_t factor) {
  return std::clamp(factor, 0, kFullVolumeFactor);
}

// Open results below zero are limitations, not failures.
int32_t OpenFailure(int32_t result) {
  return result > 0 ? result : kSoundOk;
}

}  // namespace

bool BgmTrack::Holds(const char* otherFile, const char* otherIntro) const {
  return otherFile != nullptr && SameName(file, otherFile) &&
         (otherIntro == nullptr || SameName(intro, otherIntro));
}

SoundChannelManager::SoundChannelManager(TimerService* timerService)
    : timerService_(timerService) {}

SoundChannelManager::~SoundChannelManager() {
  RemoveBgmTasks();
  RemoveDuck();
  for (auto& c : channels_) RemoveChannelFade(*c);
}

void SoundChannelManager::RemoveBgmTasks() {
  if (timerService_ == nullptr) return;
  timerService_->RemoveById(kTaskKindMusicFade);
  timerService_->RemoveById(kTaskKindMusicCrossFade);
  timerService_->RemoveById(kTaskKindMusicRetired);
}

void SoundChannelManager::RemoveDuck() {
  if (duckService_ == nullptr) return;
  TimerService* service = duckService_;
  duckService_ = nullptr;
  service->RemoveById(kTaskKindMusicDuck);
}

void SoundChannelManager::RemoveChannelFade(SoundChannel& channel) {
  SoundTask* task = channel.fadeTask;
  if (task == nullptr) return;
  channel.fadeTask = nullptr;
  task->ClearOwnerSlot();
  // A task that ended on its own is gone already.
  if (task->Service()) (void)task->Service()->RemoveByHandle(task->Handle());
}

// ---- Music ----

int32_t SoundChannelManager::BgmFactorOf(const BgmTrack& track) const {
  const int64_t scaled = int64_t{track.volume} * bgmFactor_ / kFullVolume;
  return static_cast<int32_t>(scaled * masterFactor_ >> 8);
}

void SoundChannelManager::SetBgmTrackVolume(BgmTrack& track, int32_t volume) {
  track.volume = std::clamp(volume, 0, kFullVolume);
  // A closed stream keeps the factor for its next open; one without the control its level.
  (void)track.stream.SetVolume(BgmFactorOf(track));
}

void SoundChannelManager::CloseBgmTrack(BgmTrack& track) {
  track.stream.Close();
  track.file.reset();
  track.intro.reset();
  track.pauseCount = 0;
}

int32_t SoundChannelManager::StartBgmTrack(BgmTrack& track) {
  if (!track.file) return kSoundOk;
  const bool withIntro = track.intro && !track.intro->empty();
  const int32_t opened = withIntro ? track.stream.Open(track.intro->c_str(), track.file->c_str())
                                   : track.stream.Open(track.file->c_str(), nullptr);
  if (OpenFailure(opened) != kSoundOk) return opened;
  // A stream opened without its controls plays at its level, centred.
  (void)track.stream.SetVolume(BgmFactorOf(track));
  (void)track.stream.SetPan(bgmPan_);
  if (track.loop) {
    // A buffer that does not start stays silent and is played again on the next command.
    (void)track.stream.PlayLoop();
  } else {
    // A buffer that does not start stays silent and is played again on the next command.
    (void)track.stream.Play();
  }
  return kSoundOk;
}

int32_t SoundChannelManager::PlayBgm(const char* file, const char* introFile, bool loop) {
  RemoveBgmTasks();
  ScopedLock hold(lock_);
  if (file == nullptr || NameTooLong(file) || (introFile && NameTooLong(introFile))) {
    return kBgmBadName;
  }
  BgmTrack& track = *current_;
  track.pauseCount = 0;
  if (track.Holds(file, introFile) && track.IsPlaying()) return kBgmAlreadyPlaying;
  const bool maySound = BgmMaySound();
  track.file.reset();
  track.intro.reset();
  if (introFile && *introFile) track.intro = introFile;
  track.file = file;
  track.loop = loop;
  if (!maySound) return kBgmSwitchedOff;
  const int32_t started = OpenFailure(StartBgmTrack(track));
  if (started != kSoundOk) {
    track.file.reset();
    track.intro.reset();
  }
  return started;
}

void SoundChannelManager::StopBgm() {
  RemoveBgmTasks();
  ScopedLock hold(lock_);
  CloseBgmTrack(*current_);
}

void SoundChannelManager::PauseBgm() {
  ++current_->pauseCount;
  (void)current_->stream.Pause();  // music that is not playing has nothing to pause
}

void SoundChannelManager::ResumeBgm() {
  if (current_->pauseCount > 0) --current_->pauseCount;
  // Music that was not paused has nothing to resume; one the host will not restart stays
  // silent until it is played again.
  (void)current_->stream.Resume();
}

void SoundChannelManager::SwapBgmTrack() {
  currentIndex_ ^= 1;
  current_ = &tracks_[currentIndex_];
}

bool SoundChannelManager::IsBgmPlaying() {
  return tracks_[0].IsPlaying() || tracks_[1].IsPlaying();
}

void SoundChannelManager::SetBgmVolume(int32_t volume, int32_t factor, bool cancelDuck) {
  if (volume >= 0) current_->volume = ClampVolume(volume);
  if (factor >= 0) {
    if (cancelDuck) RemoveDuck();
    bgmFactor_ = std::min(factor, kFullVolumeFactor);
  }
  // A closed stream keeps the factor for its next open; one without the control its level.
  (void)current_->stream.SetVolume(BgmFactorOf(*current_));
}

void SoundChannelManager::SetBgmPan(int32_t pan) {
  bgmPan_ = pan;
  (void)current_->stream.SetPan(pan);  // a closed stream takes bgmPan_ when it opens
}

// ---- Switches and factors ----

bool SoundChannelManager::KindEnabled(uint8_t kind) const {
  switch (kind) {
    case kSoundEffect:
      return seOn_;
    case kSystemSoundEffect:
      return systemSeOn_;
    case kVoice:
      return voiceOn_;
    default:
      return false;
  }
}

// A channel of several kinds sounds only while every one of them is switched on.
bool SoundChannelManager::KindMaySound(uint8_t kind) const {
  if (!soundOn_ || (kind & kEveryKind) == 0) return false;
  for (uint8_t bit : {kSoundEffect, kSystemSoundEffect, kVoice}) {
    if ((kind & bit) && !KindEnabled(bit)) return false;
  }
  return true;
}

void SoundChannelManager::SetKindSwitch(uint8_t kindMask, bool enabled) {
  if (kindMask & kSoundEffect) seOn_ = enabled;
  if (kindMask & kSystemSoundEffect) systemSeOn_ = enabled;
  if (kindMask & kVoice) voiceOn_ = enabled;
}

int32_t SoundChannelManager::SetBgmEnabled(bool enabled, bool force) {
  if (bgmOn_ == enabled && !force) return kSoundOk;
  ScopedLock hold(lock_);
  bgmOn_ = enabled;
  if (!BgmMaySound()) {
    // Music the host will not stop is switched off all the same.
    for (BgmTrack& track : tracks_) {
      if (track.IsPlaying()) (void)track.stream.Stop();
    }
    return kSoundOk;
  }
  if (current_->IsPlaying() || current_->pauseCount != 0) return kSoundOk;
  return OpenFailure(StartBgmTrack(*current_));
}

void SoundChannelManager::SetKindEnabled(bool enabled, uint8_t kindMask, bool keepOneShots,
                                         bool force) {
  bool changed = false;
  for (uint8_t bit : {kSoundEffect, kSystemSoundEffect, kVoice}) {
    if ((kindMask & bit) && KindEnabled(bit) != enabled) changed = true;
  }
  SetKindSwitch(kindMask, enabled);
  if (!changed && !force) return;
  ScopedLock hold(lock_);
  for (int32_t i = 0; i < ChannelCount(); ++i) {
    SoundChannel& c = *channels_[i];
    if ((c.kind & kindMask) == 0) continue;
    const bool maySound = KindMaySound(c.kind);
    if (c.playState == kChannelLooping && c.loaded) {
      if (maySound) {
        (void)c.loaded->PlayLoop();  // a buffer that cannot play stays silent
      } else {
        (void)c.loaded->Stop();  // switched off all the same: it plays again when switched on
      }
    } else if (!maySound && !keepOneShots) {
      (void)StopChannel(i);  // i is a channel
    }
  }
}

void SoundChannelManager::SetSoundEnabled(bool enabled, bool keepOneShots) {
  if (soundOn_ == enabled) return;
  soundOn_ = enabled;
  // Music that does not open stays silent until it is played again.
  (void)SetBgmEnabled(bgmOn_, true);
  SetKindEnabled(seOn_, kSoundEffect, keepOneShots, true);
  SetKindEnabled(systemSeOn_, kSystemSoundEffect, keepOneShots, true);
  SetKindEnabled(voiceOn_, kVoice, keepOneShots, true);
}

void SoundChannelManager::SetMasterVolume(int32_t factor, bool loopingSeOnly) {
  masterFactor_ = ClampFactor(factor);
  SetBgmVolume(-1, bgmFactor_, true);
  // Every i is a channel: none of these is refused.
  for (int32_t i = 0; i < ChannelCount(); ++i) {
    const SoundChannel& c = *channels_[i];
    const bool looping = c.playState == kChannelLooping || HoldsStream(c);
    if (!loopingSeOnly || ((c.kind & kSoundEffect) && looping)) (void)SetChannelVolume(i, -1, -1);
  }
}

void SoundChannelManager::SetVoiceVolume(int32_t factor) {
  voiceFactor_ = ClampFactor(factor);
  for (int32_t i = 0; i < ChannelCount(); ++i) {
    if (channels_[i]->kind & kVoice) (void)SetChannelVolume(i, -1, -1);  // i is a channel
  }
}

void SoundChannelManager::SetKindVolume(int32_t factor, bool loopingOnly, uint8_t kindMask) {
  for (int32_t i = 0; i < ChannelCount(); ++i) {
    const SoundChannel& c = *channels_[i];
    if ((c.kind & kindMask) == 0) continue;
    if (loopingOnly && c.playState != kChannelLooping && !HoldsStream(c)) continue;
    (void)SetChannelVolume(i, -1, factor);  // i is a channel
  }
}

void SoundChannelManager::SetDefaultFactor(int index, int32_t factor) {
  if (index == 0) defaultFactor_ = factor;
  if (index == 1) systemSeDefault_ = factor;
  if (index == 2) voiceDefault_ = factor;
}

int32_t SoundChannelManager::DefaultFactor(int index) const {
  if (index == 1) return systemSeDefault_;
  if (index == 2) return voiceDefault_;
  return index == 0 ? defaultFactor_ : 0;
}

// ---- Channels ----

SoundChannel* SoundChannelManager::GetChannel(int32_t channel) {
  if (channel < 0 || channel >= ChannelCount()) return nullptr;
  return channels_[channel].get();
}

int32_t SoundChannelManager::SetChannelCount(int32_t count) {
  if (count == ChannelCount()) return kSoundOk;
  if (count < 1) return kCountRefused;
  if (!channels_.empty()) RemoveDuck();
  while (ChannelCount() > count) {
    RemoveChannelFade(*channels_.back());
    channels_.pop_back();
  }
  while (ChannelCount() < count) channels_.push_back(std::make_unique<SoundChannel>());
  return kSoundOk;
}

int32_t SoundChannelManager::ChannelFactorOf(const SoundChannel& c) const {
  const int64_t scaled = int64_t{c.factor} * c.volume / kFullVolume;
  int64_t result = scaled * masterFactor_ >> 8;
  if (c.kind == kVoice) result = result * voiceFactor_ >> 8;
  return static_cast<int32_t>(result);
}

int32_t SoundChannelManager::KindDefaultFactor(uint8_t kind) const {
  int32_t factor = defaultFactor_;
  if (kind == kSystemSoundEffect && systemSeDefault_ >= 0) factor = systemSeDefault_;
  if (kind == kVoice && voiceDefault_ >= 0) factor = voiceDefault_;
  return ClampFactor(factor);
}

int32_t SoundChannelManager::LoadChannel(int32_t channel, const char* file, uint8_t lipSyncMode,
                                         bool stream) {
  SoundChannel* c = GetChannel(channel);
  if (c == nullptr || file == nullptr || NameTooLong(file)) return kBadChannel;
  UnloadChannel(channel);
  c->volume = kFullVolume;
  c->factor = KindDefaultFactor(c->kind);
  const int32_t factor = ChannelFactorOf(*c);
  // Set before the load, the factor waits for it; a buffer without the controls keeps its
  // level and plays centred.
  if (stream) {
    (void)c->stream.SetVolume(factor);
    if (c->stream.Open(file, nullptr) > 0) return kChannelLoadFailed;
    c->loaded = &c->stream;
  } else {
    (void)c->staticBuffer.SetVolume(factor);
    if (c->staticBuffer.Load(file, lipSyncMode) > 0) return kChannelLoadFailed;
    c->lipSyncMode = lipSyncMode;
    c->loaded = &c->staticBuffer;
  }
  c->fileName = file;
  (void)c->loaded->SetPan(c->pan);
  return kSoundOk;
}

void SoundChannelManager::UnloadChannel(int32_t channel) {
  SoundChannel* c = GetChannel(channel);
  if (c == nullptr) return;
  if (c->loaded) c->loaded->Close();
  c->loaded = nullptr;
  c->fileName.reset();
  c->lipSyncMode = kLipSyncNone;
  RemoveChannelFade(*c);
  c->playState = kChannelStopped;
}

int32_t SoundChannelManager::PlayChannel(int32_t channel, bool loop) {
  SoundChannel* c = GetChannel(channel);
  if (c == nullptr) return kBadChannel;
  RemoveChannelFade(*c);
  ScopedLock hold(lock_);
  c->playState = kChannelStopped;
  const bool maySound = KindMaySound(c->kind);
  if (maySound && c->loaded) {
    const int32_t r = loop ? c->loaded->PlayLoop() : c->loaded->Play();
    if (r != 0) return r + 1;
  }
  // Kept also while switched off, so that switching on restarts a looping channel.
  c->playState = loop ? kChannelLooping : kChannelOnce;
  return maySound ? kSoundOk : kSwitchedOff;
}

int32_t SoundChannelManager::StopChannel(int32_t channel) {
  SoundChannel* c = GetChannel(channel);
  if (c == nullptr) return kBadChannel;
  RemoveChannelFade(*c);
  if (c->loaded) (void)c->loaded->Stop();  // stopped for the channel even if the host refused
  c->playState = kChannelStopped;
  return kSoundOk;
}

bool SoundChannelManager::IsChannelPlaying(int32_t channel) {
  SoundChannel* c = GetChannel(channel);
  return c && c->loaded && c->loaded->IsPlaying(nullptr, nullptr);
}

int32_t SoundChannelManager::SetChannelVolume(int32_t channel, int32_t volume, int32_t factor) {
  SoundChannel* c = GetChannel(channel);
  if (c == nullptr) return kBadChannel;
  if (volume >= 0) c->volume = ClampVolume(volume);
  if (factor >= 0) c->factor = std::min(factor, kFullVolumeFactor);
  const int32_t effective = ChannelFactorOf(*c);
  // The empty one keeps the factor for its next load; one without the control keeps its level.
  (void)c->stream.SetVolume(effective);
  (void)c->staticBuffer.SetVolume(effective);
  return kSoundOk;
}

int32_t SoundChannelManager::SetChannelPan(int32_t channel, int32_t pan) {
  SoundChannel* c = GetChannel(channel);
  if (c == nullptr) return kBadChannel;
  c->pan = pan;
  if (c->loaded) (void)c->loaded->SetPan(pan);  // one without the pan control plays centred
  return kSoundOk;
}

int32_t SoundChannelManager::SetChannelKind(int32_t channel, uint8_t kind) {
  SoundChannel* c = GetChannel(channel);
  if (c == nullptr) return kBadChannel;
  if ((kind & kEveryKind) == 0) return kNoKindBit;
  c->kind = kind;
  return kSoundOk;
}

uint8_t SoundChannelManager::GetChannelFadeState(int32_t channel) {
  SoundChannel* c = GetChannel(channel);
  return c ? c->fadeState : kNoFade;
}

void SoundChannelManager::SetChannelFadeState(int32_t channel, uint8_t state) {
  if (SoundChannel* c = GetChannel(channel)) c->fadeState = state;
}

// ---- The saved state ----

namespace {

constexpr uint8_t kSourceEmpty = 0;
constexpr uint8_t kSourceStream = 1;
constexpr uint8_t kSourceStatic = 2;

constexpr size_t kFixedSaveBytes = 15;
constexpr size_t kChannelSaveBytes = 11;

size_t NameBytes(const std::optional<std::string>& name) {
  return name ? name->size() + 2 : 1;
}

void PutU8(std::vector<uint8_t>& out, uint8_t v) {
  out.push_back(v);
}

void PutI32(std::vector<uint8_t>& out, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

void PutName(std::vector<uint8_t>& out, const std::optional<std::string>& name) {
  if (!name) {
    PutU8(out, 0);
    return;
  }
  PutU8(out, static_cast<uint8_t>(name->size() + 1));
  out.insert(out.end(), name->begin(), name->end());
  PutU8(out, 0);
}

// A name field: a length byte 0 (none), or a length counting the zero that ends the name, which
// is the only zero in it.
bool ReadName(ByteReader& in, std::optional<std::string>& name) {
  uint8_t length;
  if (!in.u8(length)) return false;
  if (length == 0) {
    name.reset();
    return true;
  }
  auto bytes = in.bytes(length);
  if (!bytes) return false;
  const char* text = reinterpret_cast<const char*>(bytes->data());
  if (strnlen(text, length) != size_t{length} - 1u) return false;
  name = std::string(text, length - 1u);
  return true;
}

struct SavedChannel {
  uint8_t source = kSourceEmpty;
  std::optional<std::string> name;
  uint8_t lipSyncMode = kLipSyncNone;
  int32_t volume = kFullVolume;
  int32_t pan = 0;
  uint8_t looping = 0;
  uint8_t kind = kSoundEffect;
};

struct SavedSound {
  int32_t pan = 0;
  std::optional<std::string> file;
  std::optional<std::string> intro;
  int32_t volume = kFullVolume;
  uint8_t loop = 0;
  std::vector<SavedChannel> channels;
};

bool ReadChannel(ByteReader& in, SavedChannel& c) {
  if (!in.u8(c.source) || c.source > kSourceStatic) return false;
  if (c.source != kSourceEmpty) {
    if (!ReadName(in, c.name) || !c.name || !in.u8(c.lipSyncMode)) return false;
    if (c.lipSyncMode > kLipSyncEnvelope) return false;
  }
  return in.i32le(c.volume) && c.volume >= 0 && c.volume <= kFullVolume && in.i32le(c.pan) &&
         in.u8(c.looping) && in.u8(c.kind) && (c.kind & kEveryKind) != 0;
}

bool ReadSavedSound(ByteReader& in, SavedSound& s) {
  int32_t count;
  if (!in.i32le(s.pan) || !ReadName(in, s.file) || !ReadName(in, s.intro) || !in.i32le(s.volume) ||
      s.volume < 0 || s.volume > kFullVolume || !in.u8(s.loop) || !in.i32le(count) || count < 0 ||
      !in.has(uint64_t(count) * kChannelSaveBytes)) {
    return false;
  }
  s.channels.resize(static_cast<size_t>(count));
  for (SavedChannel& c : s.channels) {
    if (!ReadChannel(in, c)) return false;
  }
  return true;
}

}  // namespace

size_t SoundChannelManager::GetSaveSize() {
  size_t size = kFixedSaveBytes - 2 + NameBytes(current_->file) + NameBytes(current_->intro);
  for (const auto& c : channels_) {
    size += kChannelSaveBytes;
    if (c->loaded && c->fileName) size += c->fileName->size() + 3;
  }
  return size;
}

void SoundChannelManager::SaveState(std::vector<uint8_t>& out) {
  PutI32(out, bgmPan_);
  PutName(out, current_->file);
  PutName(out, current_->intro);
  PutI32(out, current_->volume);
  PutU8(out, current_->loop ? 1 : 0);
  PutI32(out, ChannelCount());
  for (const auto& c : channels_) {
    if (c->loaded && c->fileName) {
      PutU8(out, HoldsStream(*c) ? kSourceStream : kSourceStatic);
      PutName(out, c->fileName);
      PutU8(out, HoldsStream(*c) ? kLipSyncNone : c->lipSyncMode);
    } else {
      PutU8(out, kSourceEmpty);
    }
    PutI32(out, c->volume);
    PutI32(out, c->pan);
    PutU8(out, c->playState == kChannelLooping ? 1 : 0);
    PutU8(out, c->kind);
  }
}

int32_t SoundChannelManager::LoadState(ByteReader* in) {
  if (in == nullptr) return kSoundStateRefused;
  ByteReader probe = *in;
  SavedSound saved;
  if (!ReadSavedSound(probe, saved)) return kSoundStateRefused;
  *in = probe;

  StopBgm();
  SwapBgmTrack();
  StopBgm();
  bgmPan_ = saved.pan;
  SetBgmVolume(saved.volume, -1, true);
  if (saved.file) {
    // A sound that does not play leaves silence; the story goes on.
    (void)PlayBgm(saved.file->c_str(), saved.intro ? saved.intro->c_str() : nullptr,
                  saved.loop != 0);
  }
  const int32_t count = static_cast<int32_t>(saved.channels.size());
  if (count > 0) {
    (void)SetChannelCount(count);  // a count of at least one is always taken
  }
  for (int32_t i = 0; i < count && i < ChannelCount(); ++i) {
    const SavedChannel& c = saved.channels[i];
    // The saved kind before the reload and the saved volume after it: the reload takes the
    // kind's default factor and resets the volume to 100, and the play asks the kind's switch,
    // so a voice saved while voices were off stays silent and a saved volume is not lost.
    // i is a channel and the read checked the kind: none of these is refused.
    (void)SetChannelKind(i, c.kind);
    (void)SetChannelPan(i, c.pan);
    if (c.name) {
      (void)StopChannel(i);
      // A sound that no longer loads leaves its channel empty; the others still restore.
      (void)LoadChannel(i, c.name->c_str(), c.lipSyncMode, c.source == kSourceStream);
    } else {
      UnloadChannel(i);
    }
    (void)SetChannelVolume(i, c.volume, -1);
    // A sound that does not play leaves silence; the story goes on.
    if (c.name && c.looping) (void)PlayChannel(i, true);
  }
  return kSoundOk;
}

// ---- The duck and voices ----

BgmDuckTask* SoundChannelManager::DuckBgm(TimerService* timerService, int32_t channel,
                                          float ratio) {
  auto task = std::make_unique<BgmDuckTask>();
  if (task->Start(timerService, this, channel, ratio) != kSoundOk) return nullptr;
  BgmDuckTask* running = timerService->HandOver(std::move(task));
  if (running) duckService_ = timerService;
  return running;
}

int32_t SoundChannelManager::FindAlias(const char* voiceName) const {
  const size_t length = std::strlen(voiceName);
  for (size_t i = 0; i < voices_->aliases.size(); ++i) {
    const std::string& alias = voices_->aliases[i].name;
    if (alias.size() <= length && std::memcmp(alias.data(), voiceName, alias.size()) == 0) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

int32_t SoundChannelManager::PlayVoiceByName(int32_t channel, const char* voiceName, int32_t count,
                                             const int32_t* list) {
  if (voices_ == nullptr) return kVoiceNoTable;
  if (voiceName == nullptr) return kVoiceUnknown;
  if (voices_->aliases.empty()) {
    if (!voiceOn_ || !soundOn_) return kVoiceSwitchedOff;
    const std::string file = std::string("VOICE\\") + voiceName + ".OGG";
    return LoadChannel(channel, file.c_str(), kLipSyncNone, false) == kSoundOk ? kVoicePlayed
                                                                               : kVoiceLoadFailed;
  }
  const int32_t aliasIndex = FindAlias(voiceName);
  if (aliasIndex < 0) return kVoiceUnknown;
  const uint32_t characterIndex = voices_->aliases[aliasIndex].character;
  if (channel == -1) return aliasIndex;
  if (channel < -1) return static_cast<int32_t>(characterIndex);
  if (characterIndex >= voices_->characters.size()) return kVoiceUnknown;
  VoiceCharacter& character = voices_->characters[characterIndex];
  character.hasSecondText = 0;
  if (!voiceOn_ || !soundOn_ || !character.enabled) return kVoiceSwitchedOff;
  int32_t position = -1;
  for (int32_t i = 0; list && i < count; ++i) {
    if (list[i] == aliasIndex) {
      position = i;
      break;
    }
  }
  const std::string file = std::string("VOICE\\") + voiceName + "." + voices_->prefix;
  const uint8_t lipSync = position >= 0 && lipSync_ ? kLipSyncEnvelope : kLipSyncNone;
  if (LoadChannel(channel, file.c_str(), lipSync, false) != kSoundOk) return kVoiceLoadFailed;
  // The channel just loaded: it is there.
  (void)SetChannelVolume(
      channel, -1, static_cast<int32_t>(std::min<uint32_t>(character.setting, kFullVolumeFactor)));
  return count >= 1 ? position : aliasIndex;
}

// ---- BgmDuckTask ----

BgmDuckTask::~BgmDuckTask() {
  if (Handle() == 0) Restore();
}

int32_t BgmDuckTask::Start(TimerService* timerService, SoundChannelManager* manager,
                           int32_t channel, float ratio) {
  if (timerService == nullptr || manager == nullptr || !(ratio < 1.0f)) return kDuckRefused;
  if (!manager->IsChannelPlaying(channel)) return kDuckChannelSilent;
  if (!manager->IsBgmPlaying()) return kDuckNoMusic;
  manager_ = manager;
  channel_ = channel;
  auto* running = static_cast<BgmDuckTask*>(timerService->FindById(kTaskKindMusicDuck));
  restoreFactor_ = running ? running->restoreFactor_ : manager->BgmFactor();
  duckedFactor_ = ratio >= 0 ? static_cast<int64_t>(static_cast<float>(restoreFactor_) * ratio)
                             : restoreFactor_ >> 1;
  if (running && (running->step_ == 2 || running->step_ == 3)) {
    step_ = 2;
  } else {
    step_ = 0;
    startFactor_ = manager->BgmFactor();
    difference_ = startFactor_ - duckedFactor_;
  }
  if (running) {
    running->restored_ = true;
    // A task that ended on its own is gone already.
    (void)timerService->RemoveByHandle(running->Handle());
  }
  return kSoundOk;
}

void BgmDuckTask::SetFactor(int64_t factor) {
  manager_->SetBgmVolume(-1, static_cast<int32_t>(factor), false);
}

void BgmDuckTask::Restore() {
  if (restored_ || manager_ == nullptr) return;
  restored_ = true;
  SetFactor(restoreFactor_);
}

int32_t BgmDuckTask::Update(uint32_t nowMs) {
  if (!manager_->IsBgmPlaying()) {
    Restore();
    return kTaskStepFinished;
  }
  switch (step_) {
    case 0:
      mark_ = nowMs;
      step_ = 1;
      break;
    case 1: {
      const uint32_t elapsed = nowMs - mark_;
      if (elapsed >= 500) {
        SetFactor(duckedFactor_);
        step_ = 2;
      } else {
        SetFactor(startFactor_ - difference_ * elapsed / 500);
      }
      break;
    }
    case 2:
      if (!manager_->IsChannelPlaying(channel_)) {
        mark_ = nowMs;
        step_ = 3;
      }
      break;
    case 3:
      if (nowMs - mark_ > 1000) {
        mark_ = nowMs;
        difference_ = restoreFactor_ - duckedFactor_;
        step_ = 4;
      }
      break;
    default: {
      const uint32_t elapsed = nowMs - mark_;
      if (elapsed >= 1000) {
        Restore();
        return kTaskStepFinished;
      }
      SetFactor(duckedFactor_ + difference_ * elapsed / 1000);
      break;
    }
  }
  return kTaskStepContinue;
}

}  // namespace bw
