// Plays a sound device through SDL: SDL's audio thread pulls 16-bit stereo from the mixer at the
// rate of the device's primary format, taken when the output opens. The audio subsystem is
// initialised here, independently of the video.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/audio/audio_output.h"

namespace bw::host {

class SoundDevice;
class SoundMixer;

class SdlAudioOutput final : public AudioOutput {
 public:
  explicit SdlAudioOutput(SoundDevice& device);
  ~SdlAudioOutput() override;  // closes
  SdlAudioOutput(const SdlAudioOutput&) = delete;
  SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

  [[nodiscard]] int Open() override;
  void Close() override;
  bool IsOpen() const override { return id_ != 0; }
  uint32_t Rate() const override { return rate_; }
  const std::string& Error() const override { return error_; }

 private:
  static void Callback(void* user, uint8_t* stream, int len);

  std::shared_ptr<SoundMixer> mixer_;
  uint32_t id_ = 0;    // SDL's device id, 0 while closed
  uint32_t rate_ = 0;  // read by the audio thread; written only while the device is closed
  std::string error_;
};

}  // namespace bw::host
