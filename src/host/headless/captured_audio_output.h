// The headless backend's audio output: nothing plays; a test pulls the mix when it wants it and
// reads what came out, at the rate the output opened with.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/audio/audio_output.h"

namespace bw::host {

class SoundDevice;
class SoundMixer;
class CapturedAudioOutput;

// Shared by the backend and its outputs, so either may go first.
struct AudioCapture {
  std::mutex lock;
  CapturedAudioOutput* playing = nullptr;  // guarded by lock: the output opened last, if open
  std::string failure;                     // guarded by lock: when set, opening fails with it
  std::vector<int16_t> samples;            // guarded by lock: 16-bit stereo, as pulled
};

class CapturedAudioOutput final : public AudioOutput {
 public:
  CapturedAudioOutput(SoundDevice& device, std::shared_ptr<AudioCapture> capture);
  ~CapturedAudioOutput() override;
  CapturedAudioOutput(const CapturedAudioOutput&) = delete;
  CapturedAudioOutput& operator=(const CapturedAudioOutput&) = delete;

  [[nodiscard]] int Open() override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  uint32_t Rate() const override { return rate_; }
  const std::string& Error() const override { return error_; }

  // Under the capture's lock: mixes frames of the device's sound onto the capture's samples.
  void MixLocked(size_t frames);

 private:
  std::shared_ptr<SoundMixer> mixer_;
  std::shared_ptr<AudioCapture> capture_;
  bool open_ = false;
  uint32_t rate_ = 0;
  std::string error_;
};

}  // namespace bw::host
