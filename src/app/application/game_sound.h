// The game's sound device and the script host's channels. Kept in its own unit: the sound
// headers and the display headers do not go into one.
#pragma once

#include <memory>
#include <string>

#include "host/messages.h"

namespace bw {

class DirectSoundDevice;
class ScriptHost;
class TimerService;

class GameSound {
 public:
  // playAloud: the SDL audio device; else the mixer runs without output.
  explicit GameSound(bool playAloud);
  ~GameSound();
  GameSound(const GameSound&) = delete;
  GameSound& operator=(const GameSound&) = delete;

  // Creates and publishes the device; false when it cannot be had.
  [[nodiscard]] bool Create(host::HWND window, bool globalFocus, bool software);
  void DeleteAllBuffers();
  DirectSoundDevice* Device() const { return device_.get(); }

  // What the player is told when the device cannot be used (CP932).
  static std::string WarningText();
  // The channels' fades run on the given timer service.
  static void GiveChannels(ScriptHost& host, TimerService& timers);

 private:
  bool playAloud_;
  std::unique_ptr<DirectSoundDevice> device_;
};

}  // namespace bw
