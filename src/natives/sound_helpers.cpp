#include "natives/sound_helpers.h"

#include <cstdio>
#include <memory>
#include <string>

#include "common/global.h"
#include "natives/system_natives.h"
#include "sound/sound_channel_manager.h"
#include "sound/sound_decoder.h"
#include "sound/sound_tasks.h"

namespace bw {

namespace {

// The music number is the host's: a new host starts from silence.
struct BgmNumberState : ScriptHostExtension {
  explicit BgmNumberState(ScriptHost&) {}
  int32_t current = 0;
};

constexpr uint8_t kDuckHalf = 50;

bool SoundFileExists(const std::string& name) {
  SoundFileSource* files = Global<SoundFileSource>::Get();
  std::string path;
  return files && files->ResolvePath(name, &path);
}

std::string BgmName(int32_t number, const char* suffix) {
  char name[40];
  std::snprintf(name, sizeof name, "BGM\\BGM%02d%s.OGG", number, suffix);
  return name;
}

}  // namespace

TimerService* GeneralTimerService(ScriptHost& host) {
  SoundChannelManager* channels = host.SoundChannels();
  return channels ? channels->GetTimerService() : nullptr;
}

BgmDuckTask* StartSoundFader(ScriptHost& host, int32_t channel, const char* ratioText) {
  SoundChannelManager* channels = host.SoundChannels();
  if (!channels) return nullptr;
  double ratio = 0;
  if (ratioText) {
    (void)ParseDecimal(ratioText, ratio);  // unreadable text leaves the ratio 0
  } else {
    ScriptApplication* app = host.Application();
    uint8_t setting = app ? app->BgmDuckSetting() : 0;
    ratio = setting == kDuckHalf ? -1.0 : setting * 0.01;
  }
  return channels->DuckBgm(GeneralTimerService(host), channel, static_cast<float>(ratio));
}

int32_t CurrentBgmNumber(ScriptHost& host) {
  return host.Extension<BgmNumberState>().current;
}

int32_t PlayBgmNumber(ScriptHost& host, int32_t number, uint32_t fadeMs, bool loop) {
  SoundChannelManager* channels = host.SoundChannels();
  int32_t& current = host.Extension<BgmNumberState>().current;
  if (!channels) return kBgmNumberDone;
  TimerService* timers = GeneralTimerService(host);
  if (number == current) {
    if (number == 0) channels->StopBgm();
    return kBgmNumberDone;
  }
  const int32_t previous = current;
  current = number;
  if (number == 0) {
    if (fadeMs == 0) {
      channels->StopBgm();
    } else {
      // A fade that cannot start is deleted; the music plays on until stopped otherwise.
      (void)StartOwned(std::make_unique<BgmFadeOutTask>(fadeMs), timers, channels,
                       channels->CurrentBgmTrack());
    }
    return kBgmNumberDone;
  }
  std::string file = BgmName(number, "");
  std::string intro;
  if (!SoundFileExists(file)) {
    intro = BgmName(number, "A");
    file = BgmName(number, "B");
  }
  const char* introFile = intro.empty() ? nullptr : intro.c_str();
  // Nothing new plays: the number follows the music that still does, so a retry plays.
  auto keepPlaying = [&] { current = channels->IsBgmPlaying() ? previous : 0; };
  if (fadeMs == 0) {
    if (channels->PlayBgm(file.c_str(), introFile, loop) <= 0) return kBgmNumberDone;
    keepPlaying();
    return kBgmNumberFailed;
  }
  const int32_t started =
      previous == 0 ? StartOwned(std::make_unique<BgmFadeInTask>(fadeMs), timers, channels,
                                 channels->CurrentBgmTrack(), file.c_str(), introFile, loop)
                    : StartOwned(std::make_unique<BgmCrossFadeTask>(fadeMs, fadeMs), timers,
                                 channels, file.c_str(), introFile, loop, -1);
  // As without a fade, only a positive code means the new music did not start.
  if (started > 0) keepPlaying();
  return kBgmNumberDone;
}

}  // namespace bw
