#include "host/sdl/sdl_audio_output.h"

#include <SDL.h>

#include "host/audio/sound_device.h"
#include "host/audio/sound_mixer.h"

namespace bw::host {

namespace {

constexpr int kOutputChannels = 2;
constexpr uint32_t kPeriodMs = 20;

// SDL wants a power of two; the largest one within the period keeps the latency below it.
Uint16 PeriodFrames(uint32_t rate) {
  uint32_t frames = 256;
  while (frames * 2 <= rate * kPeriodMs / 1000 && frames < 8192) frames *= 2;
  return static_cast<Uint16>(frames);
}

}  // namespace

SdlAudioOutput::SdlAudioOutput(SoundDevice& device) : mixer_(device.Mixer()) {}

SdlAudioOutput::~SdlAudioOutput() {
  Close();
}

int SdlAudioOutput::Open() {
  Close();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    error_ = SDL_GetError();
    return kSoundNoDriver;
  }
  uint32_t rate;
  {
    std::lock_guard lock(mixer_->mutex);
    rate = mixer_->primaryFormat.samplesPerSec;
  }
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(rate);
  want.format = AUDIO_S16SYS;
  want.channels = kOutputChannels;
  want.samples = PeriodFrames(rate);
  want.callback = &SdlAudioOutput::Callback;
  want.userdata = this;
  rate_ = rate;
  // No changes allowed: SDL converts to whatever the hardware takes.
  SDL_AudioSpec have{};
  id_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (id_ == 0) {
    error_ = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return kSoundNoDriver;
  }
  error_.clear();
  SDL_PauseAudioDevice(id_, 0);
  return kSoundOk;
}

void SdlAudioOutput::Close() {
  if (id_ == 0) return;
  SDL_CloseAudioDevice(id_);  // waits for a running callback
  id_ = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlAudioOutput::Callback(void* user, uint8_t* stream, int len) {
  auto* self = static_cast<SdlAudioOutput*>(user);
  size_t frames = static_cast<size_t>(len) / (sizeof(int16_t) * kOutputChannels);
  self->mixer_->Mix(reinterpret_cast<int16_t*>(stream), frames, self->rate_);
}

}  // namespace bw::host
