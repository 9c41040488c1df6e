// Game controllers in the terms the engine's joystick device reads: axes on an unsigned range
// 0..65535 and a button mask. The backend's JoystickSource finds and reads them.
#pragma once

#include <cstdint>
#include <string>

namespace bw::host {

constexpr int32_t kJoystickAxisMin = 0;
constexpr int32_t kJoystickAxisMax = 65535;
constexpr int32_t kJoystickAxisCentre = 32768;
constexpr uint32_t kJoystickMaxButtons = 32;

struct JoystickCaps {
  int32_t xMin = kJoystickAxisMin;
  int32_t xMax = kJoystickAxisMax;
  int32_t yMin = kJoystickAxisMin;
  int32_t yMax = kJoystickAxisMax;
  uint32_t buttonCount = 0;
  uint32_t axisCount = 0;
  std::string name;  // UTF-8 as the platform gives it
};

struct JoystickReading {
  int32_t x = 0;
  int32_t y = 0;
  uint32_t buttons = 0;  // bit n: button n down
};

// The joysticks of a backend; every call may come from any thread.
class JoystickSource {
 public:
  virtual ~JoystickSource() = default;
  // The number attached now.
  virtual int32_t Count() = 0;
  // Capabilities of joystick n (by index among those attached); false when there is none.
  [[nodiscard]] virtual bool Caps(int32_t n, JoystickCaps* caps) = 0;
  // Opens joystick n for reading; a handle > 0, or 0 when it cannot be opened.
  [[nodiscard]] virtual int32_t Open(int32_t n) = 0;
  virtual void Close(int32_t handle) = 0;
  // The latest state of an open joystick; false when it was unplugged.
  [[nodiscard]] virtual bool Read(int32_t handle, JoystickReading* reading) = 0;
};

// Through the installed backend's source; without a backend no joystick is attached.
int32_t JoystickCount();
[[nodiscard]] bool GetJoystickCaps(int32_t n, JoystickCaps* caps);
[[nodiscard]] int32_t OpenJoystick(int32_t n);
void CloseJoystick(int32_t handle);
[[nodiscard]] bool ReadJoystick(int32_t handle, JoystickReading* reading);

}  // namespace bw::host
