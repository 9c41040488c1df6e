// The joysticks SDL finds. SDL's joystick part starts on first use and stops with the source.
#pragma once

#include <map>
#include <mutex>

#include "host/input/joystick.h"

struct _SDL_Joystick;

namespace bw::host {

class SdlJoysticks final : public JoystickSource {
 public:
  SdlJoysticks() = default;
  ~SdlJoysticks() override;
  SdlJoysticks(const SdlJoysticks&) = delete;
  SdlJoysticks& operator=(const SdlJoysticks&) = delete;

  int32_t Count() override;
  [[nodiscard]] bool Caps(int32_t n, JoystickCaps* caps) override;
  [[nodiscard]] int32_t Open(int32_t n) override;
  void Close(int32_t handle) override;
  [[nodiscard]] bool Read(int32_t handle, JoystickReading* reading) override;

 private:
  bool Ready();

  std::mutex lock_;
  bool started_ = false;                    // guarded by lock_
  std::map<int32_t, _SDL_Joystick*> open_;  // guarded by lock_
  int32_t nextHandle_ = 1;                  // guarded by lock_
};

}  // namespace bw::host
