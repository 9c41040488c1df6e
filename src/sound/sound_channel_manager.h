// The one place where the game's sounds start, stop and mix: two alternating music slots, the
// numbered channels of sound effects, system sound effects and voices, the switches and volume
// factors of every kind, the music duck under a voice, voices by name, and the sound part of a
// save. Everything runs on the frame thread; the streaming buffers feed themselves.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "platform/lock.h"
#include "platform/timed_task.h"
#include "sound/direct_sound_buffer.h"
#include "sound/streaming_sound_buffer.h"

namespace bw {

class TimerService;
class SoundTask;
struct VoiceTable;

// Kind bits of a channel.
constexpr uint8_t kSoundEffect = 1;
constexpr uint8_t kSystemSoundEffect = 2;
constexpr uint8_t kVoice = 4;
constexpr uint8_t kEveryKind = kSoundEffect | kSystemSoundEffect | kVoice;

constexpr int32_t kFullVolume = 100;

// Results shared by the operations.
constexpr int32_t kSoundOk = 0;
constexpr int32_t kBadChannel = 1;  // or a null or over-long name
constexpr int32_t kSwitchedOff = -1;

// PlayBgm.
constexpr int32_t kBgmAlreadyPlaying = -1;
constexpr int32_t kBgmSwitchedOff = -2;
constexpr int32_t kBgmBadName = 1;
// LoadChannel.
constexpr int32_t kChannelLoadFailed = 2;
// SetChannelKind.
constexpr int32_t kNoKindBit = 2;
// SetChannelCount.
constexpr int32_t kCountRefused = 1;
// LoadState.
constexpr int32_t kSoundStateRefused = 1;  // no bytes, or a short or corrupt block
// PlayVoiceByName.
constexpr int32_t kVoicePlayed = -1;
constexpr int32_t kVoiceSwitchedOff = -2;
constexpr int32_t kVoiceUnknown = -3;
constexpr int32_t kVoiceLoadFailed = -4;
constexpr int32_t kVoiceNoTable = -5;
// BgmDuckTask::Start.
constexpr int32_t kDuckRefused = 1;
constexpr int32_t kDuckChannelSilent = -1;
constexpr int32_t kDuckNoMusic = -2;

// Names are saved behind a length byte that counts their terminating zero.
constexpr size_t kMaxSoundNameBytes = 254;
bool NameTooLong(const char* name);

// Fade states of the music and of a channel.
constexpr uint8_t kNoFade = 0;
constexpr uint8_t kVolumeFading = 1;
constexpr uint8_t kFadeIn = 2;
constexpr uint8_t kFadeOut = 3;
constexpr uint8_t kCrossFading = 4;  // music only

// Play states of a channel.
constexpr uint8_t kChannelStopped = 0;
constexpr uint8_t kChannelOnce = 1;
constexpr uint8_t kChannelLooping = 2;

struct BgmTrack {
  StreamingSoundBuffer stream;
  std::optional<std::string> file;
  std::optional<std::string> intro;
  int32_t volume = kFullVolume;
  int32_t pauseCount = 0;
  bool loop = false;

  bool IsPlaying() { return stream.IsPlaying(nullptr, nullptr); }
  // Whether (file, intro) names the music this track holds, letter case aside.
  bool Holds(const char* otherFile, const char* otherIntro) const;
};

struct SoundChannel {
  SoundBuffer* loaded = nullptr;  // stream or staticBuffer, null while empty
  StreamingSoundBuffer stream;
  std::optional<std::string> fileName;  // as loaded, kept for saves
  DirectSoundBuffer staticBuffer;
  uint8_t lipSyncMode = kLipSyncNone;  // of the static buffer
  int32_t volume = kFullVolume;
  int32_t factor = kFullVolumeFactor;
  int32_t pan = 0;
  uint8_t playState = kChannelStopped;
  uint8_t fadeState = kNoFade;
  uint8_t kind = kSoundEffect;
  SoundTask* fadeTask = nullptr;  // cleared by the task when it goes
};

class BgmDuckTask;

class SoundChannelManager {
 public:
  // timerService runs the sound tasks (the application's second service).
  explicit SoundChannelManager(TimerService* timerService = nullptr);
  virtual ~SoundChannelManager();
  SoundChannelManager(const SoundChannelManager&) = delete;
  SoundChannelManager& operator=(const SoundChannelManager&) = delete;

  void SetTimerService(TimerService* timerService) { timerService_ = timerService; }
  TimerService* GetTimerService() const { return timerService_; }
  void SetVoiceTable(VoiceTable* voices) { voices_ = voices; }
  // The application's lip-sync setting: voices of listed characters keep their loudness.
  void SetLipSync(bool on) { lipSync_ = on; }

  // Music.
  [[nodiscard]] int32_t PlayBgm(const char* file, const char* introFile, bool loop);
  void StopBgm();
  void PauseBgm();
  void ResumeBgm();
  void SwapBgmTrack();
  bool IsBgmPlaying();
  void SetBgmVolume(int32_t volume, int32_t factor, bool cancelDuck);
  void SetBgmPan(int32_t pan);
  BgmTrack* CurrentBgmTrack() { return current_; }
  BgmTrack* OtherBgmTrack() { return &tracks_[currentIndex_ ^ 1]; }
  int32_t BgmFactor() const { return bgmFactor_; }
  int32_t BgmPan() const { return bgmPan_; }
  uint8_t BgmFadeState() const { return bgmFadeState_; }
  void SetBgmFadeState(uint8_t state) { bgmFadeState_ = state; }

  // Switches and factors.
  void SetSoundEnabled(bool enabled, bool keepOneShots);
  [[nodiscard]] int32_t SetBgmEnabled(bool enabled, bool force);
  void SetKindEnabled(bool enabled, uint8_t kindMask, bool keepOneShots, bool force);
  // Sets the switch bytes of the kinds in the mask and nothing else.
  void SetKindSwitch(uint8_t kindMask, bool enabled);
  bool SoundEnabled() const { return soundOn_; }
  bool BgmEnabled() const { return bgmOn_; }
  bool KindEnabled(uint8_t kind) const;
  void SetMasterVolume(int32_t factor, bool loopingSeOnly);
  void SetVoiceVolume(int32_t factor);
  void SetKindVolume(int32_t factor, bool loopingOnly, uint8_t kindMask);
  int32_t MasterVolume() const { return masterFactor_; }
  int32_t VoiceVolume() const { return voiceFactor_; }
  // The default factors of newly loaded channels: 0 general, 1 system sound effects, 2 voices
  // (-1 in the last two takes the general one).
  void SetDefaultFactor(int index, int32_t factor);
  int32_t DefaultFactor(int index) const;

  // Channels.
  [[nodiscard]] int32_t SetChannelCount(int32_t count);
  int32_t ChannelCount() const { return static_cast<int32_t>(channels_.size()); }
  [[nodiscard]] int32_t LoadChannel(int32_t channel, const char* file, uint8_t lipSyncMode,
                                    bool stream);
  void UnloadChannel(int32_t channel);
  [[nodiscard]] int32_t PlayChannel(int32_t channel, bool loop);
  [[nodiscard]] int32_t StopChannel(int32_t channel);
  bool IsChannelPlaying(int32_t channel);
  SoundChannel* GetChannel(int32_t channel);
  [[nodiscard]] int32_t SetChannelVolume(int32_t channel, int32_t volume, int32_t factor);
  [[nodiscard]] int32_t SetChannelPan(int32_t channel, int32_t pan);
  [[nodiscard]] int32_t SetChannelKind(int32_t channel, uint8_t kind);
  uint8_t GetChannelFadeState(int32_t channel);
  void SetChannelFadeState(int32_t channel, uint8_t state);
  // Removes the channel's running fade task from its timer service.
  void RemoveChannelFade(SoundChannel& channel);

  BgmDuckTask* DuckBgm(TimerService* timerService, int32_t channel, float ratio);
  [[nodiscard]] int32_t PlayVoiceByName(int32_t channel, const char* voiceName, int32_t count,
                                        const int32_t* list);

  // The sound part of a save, GetSaveSize() bytes appended to out.
  virtual size_t GetSaveSize();
  virtual void SaveState(std::vector<uint8_t>& out);
  // Reads one block from in; a short or corrupt block answers kSoundStateRefused and changes
  // nothing.
  [[nodiscard]] virtual int32_t LoadState(ByteReader* in);

  Lock& GetLock() { return lock_; }
  // Closes a music slot's stream and forgets its music, without touching the tasks.
  void CloseBgmTrack(BgmTrack& track);
  // Opens the track's stored music (intro then file, or file alone) and plays it.
  [[nodiscard]] int32_t StartBgmTrack(BgmTrack& track);
  // Sets a slot's volume (clamped to 0..100) and hands its stream the effective factor.
  void SetBgmTrackVolume(BgmTrack& track, int32_t volume);
  // Whether music may sound now.
  bool BgmMaySound() const { return soundOn_ && bgmOn_; }

 private:
  friend class BgmDuckTask;

  void RemoveBgmTasks();
  void RemoveDuck();
  bool KindMaySound(uint8_t kind) const;
  int32_t BgmFactorOf(const BgmTrack& track) const;
  int32_t ChannelFactorOf(const SoundChannel& c) const;
  int32_t KindDefaultFactor(uint8_t kind) const;
  // The index of the first alias that begins voiceName, or -1.
  int32_t FindAlias(const char* voiceName) const;
  bool HoldsStream(const SoundChannel& c) const { return c.loaded == &c.stream; }

  int32_t masterFactor_ = kFullVolumeFactor;
  int32_t voiceFactor_ = kFullVolumeFactor;
  BgmTrack tracks_[2];
  BgmTrack* current_ = &tracks_[0];
  int32_t bgmFactor_ = kFullVolumeFactor;
  int32_t bgmPan_ = 0;
  int currentIndex_ = 0;
  std::vector<std::unique_ptr<SoundChannel>> channels_;
  int32_t defaultFactor_ = kFullVolumeFactor;
  int32_t systemSeDefault_ = -1;
  int32_t voiceDefault_ = -1;
  bool soundOn_ = true;
  bool bgmOn_ = true;
  bool seOn_ = true;
  bool systemSeOn_ = true;
  bool voiceOn_ = true;
  uint8_t bgmFadeState_ = kNoFade;
  bool lipSync_ = false;
  TimerService* timerService_ = nullptr;
  TimerService* duckService_ = nullptr;  // holds the running duck, null when none
  VoiceTable* voices_ = nullptr;
  Lock lock_;  // guards starting and stopping of music and channels
};

// Lowers the music while a voice channel plays and brings it back after.
class BgmDuckTask final : public TimedTask {
 public:
  // One that started but that no service took brings the music back.
  ~BgmDuckTask() override;
  uint32_t GetKindId() const override { return kTaskKindMusicDuck; }
  // 0 started, to be handed to timerService; kDuckRefused, kDuckChannelSilent or kDuckNoMusic.
  [[nodiscard]] int32_t Start(TimerService* timerService, SoundChannelManager* manager,
                              int32_t channel, float ratio);
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override { Restore(); }
  int Step() const { return step_; }

 private:
  void Restore();
  void SetFactor(int64_t factor);

  SoundChannelManager* manager_ = nullptr;
  int32_t channel_ = 0;
  int64_t restoreFactor_ = 0;
  int64_t duckedFactor_ = 0;
  int64_t startFactor_ = 0;
  int64_t difference_ = 0;
  bool restored_ = false;
  int step_ = 0;
  uint32_t mark_ = 0;
};

}  // namespace bw
