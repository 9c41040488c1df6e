// Where a sound device's mix is played: the backend makes one (SDL's audio device in the
// program, a capture in the headless backend) and the engine's sound device holds it.
#pragma once

#include <cstdint>
#include <string>

namespace bw::host {

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;

  // kSoundOk, or kSoundNoDriver with the reason in Error(). Opening again reopens, so that a
  // changed primary rate takes effect.
  [[nodiscard]] virtual int Open() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // The rate the output plays at, taken from the device's primary format when it opened.
  virtual uint32_t Rate() const = 0;
  virtual const std::string& Error() const = 0;
};

}  // namespace bw::host
