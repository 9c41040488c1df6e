// The scenario's sound effects, voice and music waits over the host's sound channels. Scenarios
// see four effect channels 8-11 by slot (a negative slot picks the next one in turn in the play
// commands, and names channel -slot elsewhere); the voice plays on channel 6. What a looping
// effect needs to start again after a load is kept in replay records that the scene state saves.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "scenario/tgs/tgs_operations.h"

namespace bw {

class TgsFrameHost;

constexpr int32_t kTgsVoiceChannel = 6;
constexpr int32_t kTgsFirstEffectChannel = 8;
constexpr int32_t kTgsEffectChannels = 4;
constexpr int32_t kTgsLoopingChannels = 12;
constexpr uint32_t kTgsDefaultFadeMs = 1000;
// A replay name longer than this would not fit its one-byte length in the scene block.
constexpr size_t kTgsReplayNameMax = 253;

// Sound command results.
constexpr int32_t kSoundCommandFailed = 1;
constexpr int32_t kSoundLoopStopped = 2;  // WaitEffectEnd on a looping channel
constexpr int32_t kVoiceOff = 1;
constexpr int32_t kVoiceSilenced = 2;  // the voice player is switched off
constexpr int32_t kVoiceFailed = 3;
constexpr int32_t kNoChannelPicked = -1;

// What the commands ask of the sound channels; the host's channel manager stands behind it, tests
// put a fake here. Codes are the manager's (0 success).
class TgsSoundPort {
 public:
  virtual ~TgsSoundPort() = default;
  [[nodiscard]] virtual int32_t Load(int32_t channel, const std::string& file, bool stream) = 0;
  [[nodiscard]] virtual int32_t Play(int32_t channel, bool loop) = 0;
  [[nodiscard]] virtual int32_t Stop(int32_t channel) = 0;
  virtual void Unload(int32_t channel) = 0;
  virtual bool Playing(int32_t channel) = 0;
  virtual uint8_t FadeState(int32_t channel) = 0;
  // Loads the file, plays it looped and raises it from silence over ms.
  [[nodiscard]] virtual int32_t FadeIn(int32_t channel, const std::string& file, uint32_t ms,
                                       bool stream) = 0;
  [[nodiscard]] virtual int32_t FadeOut(int32_t channel, uint32_t ms) = 0;
  virtual uint8_t MusicFadeState() = 0;
  virtual void StopMusic() = 0;
  // The voice player: loads the named voice into the voice channel; the manager's voice codes.
  [[nodiscard]] virtual int32_t LoadVoice(const std::string& name) = 0;
};

// The port over the frame host's channel manager and the timer service its fades run on.
std::unique_ptr<TgsSoundPort> MakeHostSoundPort(TgsFrameHost* host);

struct TgsReplayRecord {
  std::string name;  // empty: the channel does not come back
  uint8_t streamMode = 0;
};

class TgsSound {
 public:
  // skipping: the frame's skip test and skip bytes.
  TgsSound(TgsFrameHost* host, std::function<bool()> skipping);
  ~TgsSound();

  void SetPort(TgsSoundPort* port) { port_ = port; }
  TgsSoundPort& Port() { return *port_; }

  // The channel a slot names in the play commands; with a file, loaded into it.
  [[nodiscard]] int32_t PickEffectChannel(TgsText file, int32_t slot, int32_t streamMode);

#define BW_TGS_SOUND_DECLARE(name, params, args) [[nodiscard]] int32_t name params;
  BW_TGS_SOUND_OPERATIONS(BW_TGS_SOUND_DECLARE)
#undef BW_TGS_SOUND_DECLARE

  // Starts every recorded looping effect again (after a load).
  void ReplayLoopingEffects();

  const std::array<TgsReplayRecord, kTgsEffectChannels>& ReplayRecords() const {
    return replay_;
  }
  // Loaded records: their channels loop, as when they were saved.
  void SetReplayRecords(const std::array<TgsReplayRecord, kTgsEffectChannels>& records) {
    replay_ = records;
    for (size_t i = 0; i < records.size(); ++i)
      SetLooping(kTgsFirstEffectChannel + int32_t(i), !records[i].name.empty());
  }
  bool Looping(int32_t channel) const {
    return channel >= 0 && channel < kTgsLoopingChannels && looping_[channel] != 0;
  }
  int32_t Turn() const {
    return turn_;
  }
  int32_t MusicNumber() const {
    return music_;
  }
  void SetMusicNumber(int32_t number) {
    music_ = number;
  }

 private:
  void SetLooping(int32_t channel, bool on) {
    if (channel >= 0 && channel < kTgsLoopingChannels) looping_[channel] = on ? 1 : 0;
  }
  void Record(int32_t channel, std::string_view name, int32_t streamMode);
  [[nodiscard]] int32_t StopChannel(int32_t channel);
  // The early end of a skippable wait.
  bool SkipWait(bool quick);

  TgsFrameHost* host_;
  std::function<bool()> skipping_;
  std::unique_ptr<TgsSoundPort> ownPort_;
  TgsSoundPort* port_;
  std::array<uint8_t, kTgsLoopingChannels> looping_{};
  std::array<TgsReplayRecord, kTgsEffectChannels> replay_;
  int32_t turn_ = 0;
  int32_t music_ = 0;
};

}  // namespace bw
