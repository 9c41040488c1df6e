// Joysticks a test plugs in and moves: what they read is set, not sampled.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "host/input/joystick.h"

namespace bw::host {

class ScriptedJoysticks final : public JoystickSource {
 public:
  // Plugs a joystick in, centred with no button down; answers its index.
  int32_t Attach(JoystickCaps caps);
  // What attached joystick n reads from now on (axes on 0..65535).
  void Set(int32_t n, JoystickReading reading);
  // Pulls joystick n out: the later ones move down an index, its open handles read false.
  void Detach(int32_t n);

  int32_t Count() override;
  [[nodiscard]] bool Caps(int32_t n, JoystickCaps* caps) override;
  [[nodiscard]] int32_t Open(int32_t n) override;
  void Close(int32_t handle) override;
  [[nodiscard]] bool Read(int32_t handle, JoystickReading* reading) override;

 private:
  struct Stick {
    JoystickCaps caps;
    JoystickReading reading;
    bool attached = true;
  };

  std::mutex lock_;
  std::vector<std::shared_ptr<Stick>> attached_;    // guarded by lock_
  std::map<int32_t, std::shared_ptr<Stick>> open_;  // guarded by lock_
  int32_t nextHandle_ = 1;                          // guarded by lock_
};

}  // namespace bw::host
