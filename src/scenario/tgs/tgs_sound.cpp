#include "scenario/tgs/tgs_sound.h"

#include <climits>
#include <memory>

#include "platform/timer_service.h"
#include "scenario/tgs/tgs_frame_host.h"
#include "sound/sound_channel_manager.h"
#include "sound/sound_tasks.h"

namespace bw {
namespace {

constexpr int32_t kNoChannel = -1;

class HostSoundPort : public TgsSoundPort {
 public:
  explicit HostSoundPort(TgsFrameHost* host) : host_(host) {}

  [[nodiscard]] int32_t Load(int32_t channel, const std::string& file, bool stream) override {
    SoundChannelManager* m = M();
    return m ? m->LoadChannel(channel, file.c_str(), kLipSyncNone, stream) : kBadChannel;
  }
  int32_t Play(int32_t channel, bool loop) override {
    return M() ? M()->PlayChannel(channel, loop) : kBadChannel;
  }
  [[nodiscard]] int32_t Stop(int32_t channel) override {
    return M() ? M()->StopChannel(channel) : kBadChannel;
  }
  void Unload(int32_t channel) override {
    if (M()) M()->UnloadChannel(channel);
  }
  bool Playing(int32_t channel) override { return M() && M()->IsChannelPlaying(channel); }
  uint8_t FadeState(int32_t channel) override {
    return M() ? M()->GetChannelFadeState(channel) : 0;
  }
  [[nodiscard]] int32_t FadeIn(int32_t channel, const std::string& file, uint32_t ms,
                               bool stream) override {
    auto task = std::make_unique<ChannelFadeInTask>(ms);
    return StartTask(std::move(task), file.c_str(), channel, true, stream);
  }
  [[nodiscard]] int32_t FadeOut(int32_t channel, uint32_t ms) override {
    auto task = std::make_unique<ChannelFadeOutTask>(ms);
    return StartTask(std::move(task), channel);
  }
  uint8_t MusicFadeState() override { return M() ? M()->BgmFadeState() : 0; }
  void StopMusic() override {
    if (M()) M()->StopBgm();
  }
  [[nodiscard]] int32_t LoadVoice(const std::string& name) override {
    return M() ? M()->PlayVoiceByName(kTgsVoiceChannel, name.c_str(), 0, nullptr) : kVoiceNoTable;
  }

 private:
  // A started task goes to the timer service, which owns it from then on.
  template <typename Task, typename... Args>
  int32_t StartTask(std::unique_ptr<Task> task, Args... args) {
    const int32_t r = task->Start(Timers(), M(), args...);
    if (r != kSoundOk) return r;
    const int32_t refused = task->RefusedCode();
    return Timers()->HandOver(std::move(task)) ? kSoundOk : refused;
  }
  SoundChannelManager* M() const { return host_ ? host_->SoundChannels() : nullptr; }
  TimerService* Timers() const { return host_ ? host_->SoundTimers() : nullptr; }

  TgsFrameHost* host_;
};

// The channel a slot names outside the play commands: -slot, or slot + 8.
int32_t NamedChannel(int32_t slot) {
  const int64_t channel = slot < 0 ? -int64_t{slot} : int64_t{slot} + kTgsFirstEffectChannel;
  return channel > INT32_MAX ? kNoChannel : static_cast<int32_t>(channel);
}

uint32_t FadeMs(int32_t time) {
  return time == 0 ? kTgsDefaultFadeMs : static_cast<uint32_t>(time);
}

}  // namespace

std::unique_ptr<TgsSoundPort> MakeHostSoundPort(TgsFrameHost* host) {
  return std::make_unique<HostSoundPort>(host);
}

TgsSound::TgsSound(TgsFrameHost* host, std::function<bool()> skipping)
    : host_(host),
      skipping_(std::move(skipping)),
      ownPort_(MakeHostSoundPort(host)),
      port_(ownPort_.get()) {}

TgsSound::~TgsSound() = default;

int32_t TgsSound::PickEffectChannel(TgsText file, int32_t slot, int32_t streamMode) {
  int32_t channel;
  if (slot < 0) {
    channel = kTgsFirstEffectChannel + turn_;
    turn_ = (turn_ + 1) % kTgsEffectChannels;
  } else {
    channel = NamedChannel(slot);
  }
  if (file && port_->Load(channel, std::string(*file), streamMode == 1) != kSoundOk) {
    return kNoChannelPicked;
  }
  return channel;
}

void TgsSound::Record(int32_t channel, std::string_view name, int32_t streamMode) {
  if (channel < kTgsFirstEffectChannel || channel >= kTgsFirstEffectChannel + kTgsEffectChannels) {
    return;
  }
  // A longer name could not be saved: the effect plays but does not come back after a load.
  if (name.empty() || name.size() > kTgsReplayNameMax) return;
  TgsReplayRecord& r = replay_[channel - kTgsFirstEffectChannel];
  r.name.assign(name);
  r.streamMode = static_cast<uint8_t>(streamMode);
}

int32_t TgsSound::PlayEffect(TgsText file, int32_t slot, int32_t streamMode, bool loop) {
  int32_t channel;
  if (host_ && host_->Settings().effectSoundOn) {
    channel = PickEffectChannel(file, slot, streamMode);
    if (channel == kNoChannelPicked) return kSoundCommandFailed;
    (void)port_->Play(channel, loop);  // the command's answer is the load's
  } else {
    channel = PickEffectChannel(std::nullopt, slot, streamMode);
    if (!loop) return 0;
  }
  SetLooping(channel, loop);
  if (loop) Record(channel, file.value_or(""), streamMode);
  return 0;
}

int32_t TgsSound::FadeInEffect(TgsText file, int32_t time, int32_t slot, int32_t streamMode) {
  const int32_t channel = PickEffectChannel(std::nullopt, slot, streamMode);
  if (host_ && host_->Settings().effectSoundOn) {
    if (!file ||
        port_->FadeIn(channel, std::string(*file), FadeMs(time), streamMode == 1) != kSoundOk) {
      return kSoundCommandFailed;
    }
  }
  SetLooping(channel, true);
  Record(channel, file.value_or(""), streamMode);
  return 0;
}

int32_t TgsSound::FadeOutEffect(int32_t time, int32_t slot) {
  const int32_t channel = NamedChannel(slot);
  SetLooping(channel, false);
  return port_->FadeOut(channel, FadeMs(time)) == kSoundOk ? 0 : kSoundCommandFailed;
}

int32_t TgsSound::StopChannel(int32_t channel) {
  SetLooping(channel, false);
  return port_->Stop(channel);
}

int32_t TgsSound::StopEffect(int32_t slot) {
  return StopChannel(NamedChannel(slot));
}

int32_t TgsSound::StopEffectChannel(int32_t slot) {
  return StopChannel(NamedChannel(slot));
}

int32_t TgsSound::UnloadAllEffects() {
  for (int32_t c = kTgsFirstEffectChannel; c < kTgsFirstEffectChannel + kTgsEffectChannels; ++c) {
    port_->Unload(c);
    SetLooping(c, false);
  }
  turn_ = 0;
  return 0;
}

bool TgsSound::SkipWait(bool quick) {
  if (quick && host_ && host_->Settings().fastEffects) return true;
  if (host_ && host_->SkipModifierDown()) return true;
  return skipping_ && skipping_();
}

int32_t TgsSound::WaitEffectFade(int32_t slot, bool skippable, bool stopOnSkip, bool quick) {
  const int32_t channel = NamedChannel(slot);
  while (port_->FadeState(channel) != 0) {
    if (skippable && SkipWait(quick)) {
      // A channel already stopped stays so.
      if (stopOnSkip) (void)StopChannel(channel);
      return 1;
    }
    if (!host_ || host_->FrameTurn() == 0) return -1;
  }
  return 0;
}

int32_t TgsSound::WaitEffectEnd(int32_t slot, bool skippable, bool quick) {
  const int32_t channel = NamedChannel(slot);
  if (Looping(channel)) {
    // A channel already stopped stays so.
    (void)StopChannel(channel);
    return kSoundLoopStopped;
  }
  while (port_->Playing(channel)) {
    if (skippable && SkipWait(quick)) {
      // A channel already stopped stays so.
      (void)StopChannel(channel);
      return 1;
    }
    if (!host_ || host_->FrameTurn() == 0) return -1;
  }
  return 0;
}

int32_t TgsSound::PlayMusic(int32_t number, int32_t a, bool flag) {
  music_ = number;
  return host_ ? host_->PlayBgmNumber(number, static_cast<uint32_t>(a), flag) : 0;
}

int32_t TgsSound::StopMusicWhenNotCurrent() {
  if (!host_ || host_->CurrentBgmNumber() == 0) port_->StopMusic();
  return 0;
}

int32_t TgsSound::WaitBgmFade(bool skippable) {
  while (port_->MusicFadeState() != 0) {
    if (skippable && SkipWait(false)) {
      // The music stops or was stopped: the wait is skipped either way.
      (void)StopMusicWhenNotCurrent();
      return 1;
    }
    if (!host_ || host_->FrameTurn() == 0) return -1;
  }
  return 0;
}

int32_t TgsSound::FadeOutMusic(bool skippable) {
  music_ = 0;
  if (host_) (void)host_->PlayBgmNumber(0, kTgsDefaultFadeMs, true);  // number 0 stops
  return WaitBgmFade(skippable);
}

int32_t TgsSound::EndVoice() {
  // A voice already stopped stays so.
  if (host_ && host_->Settings().stopVoice) (void)port_->Stop(kTgsVoiceChannel);
  return 0;
}

int32_t TgsSound::PlayVoice(TgsText name, bool loop) {
  if (!host_ || !host_->Settings().voiceOn) return kVoiceOff;
  const int32_t r = port_->LoadVoice(name ? std::string(*name) : std::string());
  if (r == kVoiceSwitchedOff) return kVoiceSilenced;
  if (r < kVoicePlayed) return kVoiceFailed;
  (void)port_->Play(kTgsVoiceChannel, loop);  // the command's answer is the load's
  SetLooping(kTgsVoiceChannel, false);
  return 0;
}

void TgsSound::ReplayLoopingEffects() {
  for (int32_t i = 0; i < kTgsEffectChannels; ++i) {
    const TgsReplayRecord r = replay_[i];
    // An effect that cannot be played again stays silent after the load.
    if (!r.name.empty()) (void)PlayEffect(std::string_view(r.name), i, r.streamMode, true);
  }
}

}  // namespace bw
