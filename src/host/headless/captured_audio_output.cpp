#include "host/headless/captured_audio_output.h"

#include "host/audio/sound_device.h"
#include "host/audio/sound_mixer.h"

namespace bw::host {

namespace {
constexpr size_t kOutputChannels = 2;
}  // namespace

CapturedAudioOutput::CapturedAudioOutput(SoundDevice& device, std::shared_ptr<AudioCapture> capture)
    : mixer_(device.Mixer()), capture_(std::move(capture)) {}

CapturedAudioOutput::~CapturedAudioOutput() {
  Close();
}

int CapturedAudioOutput::Open() {
  Close();
  uint32_t rate;
  {
    std::lock_guard lock(mixer_->mutex);
    rate = mixer_->primaryFormat.samplesPerSec;
    mixer_->mixesInStep = true;
  }
  std::lock_guard<std::mutex> hold(capture_->lock);
  if (!capture_->failure.empty()) {
    error_ = capture_->failure;
    return kSoundNoDriver;
  }
  error_.clear();
  rate_ = rate;
  open_ = true;
  capture_->playing = this;
  return kSoundOk;
}

void CapturedAudioOutput::Close() {
  std::lock_guard<std::mutex> hold(capture_->lock);
  open_ = false;
  if (capture_->playing == this) capture_->playing = nullptr;
}

void CapturedAudioOutput::MixLocked(size_t frames) {
  size_t start = capture_->samples.size();
  capture_->samples.resize(start + frames * kOutputChannels);
  mixer_->Mix(capture_->samples.data() + start, frames, rate_);
}

}  // namespace bw::host
