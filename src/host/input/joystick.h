// Game controllers over SDL's joysticks, in the terms the engine's joystick device reads:
// axes on an unsigned range 0..65535 and a button mask.
#pragma once

#include <cstdint>
#include <string>

namespace bw::host {

constexpr int32_t kJoystickAxisMin = 0;
constexpr int32_t kJoystickAxisMax = 65535;

struct JoystickCaps {
  int32_t xMin = kJoystickAxisMin;
  int32_t xMax = kJoystickAxisMax;
  int32_t yMin = kJoystickAxisMin;
  int32_t yMax = kJoystickAxisMax;
  uint32_t buttonCount = 0;
  uint32_t axisCount = 0;
  std::string name;  // UTF-8 as SDL gives it
};

struct JoystickReading {
  int32_t x = 0;
  int32_t y = 0;
  uint32_t buttons = 0;  // bit n: button n down
};

// The number of joysticks attached now (starts SDL's joystick part on first use).
int32_t JoystickCount();
// Capabilities of joystick n (by index among those attached); false when there is none.
bool GetJoystickCaps(int32_t n, JoystickCaps* caps);
// Opens joystick n for reading; a handle > 0, or 0 when it cannot be opened.
int32_t OpenJoystick(int32_t n);
void CloseJoystick(int32_t handle);
// The latest state of an open joystick; false when it was unplugged.
bool ReadJoystick(int32_t handle, JoystickReading* reading);

}  // namespace bw::host
