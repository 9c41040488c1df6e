#include "host/input/joystick.h"

#include <SDL.h>

#include <map>
#include <mutex>

namespace bw::host {

namespace {

constexpr int32_t kAxisOffset = 32768;
constexpr uint32_t kMaxButtons = 32;

std::mutex openLock;
std::map<int32_t, SDL_Joystick*> openJoysticks;  // guarded by openLock
int32_t nextHandle = 1;                          // guarded by openLock

bool Ready() {
  return SDL_WasInit(SDL_INIT_JOYSTICK) != 0 || SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
}

}  // namespace

int32_t JoystickCount() {
  if (!Ready()) return 0;
  int count = SDL_NumJoysticks();
  return count < 0 ? 0 : count;
}

bool GetJoystickCaps(int32_t n, JoystickCaps* caps) {
  if (n < 0 || n >= JoystickCount()) return false;
  SDL_Joystick* joystick = SDL_JoystickOpen(n);
  if (!joystick) return false;
  JoystickCaps out;
  int buttons = SDL_JoystickNumButtons(joystick);
  int axes = SDL_JoystickNumAxes(joystick);
  out.buttonCount = buttons < 0 ? 0 : (static_cast<uint32_t>(buttons) > kMaxButtons ? kMaxButtons : buttons);
  out.axisCount = axes < 0 ? 0 : static_cast<uint32_t>(axes);
  const char* name = SDL_JoystickName(joystick);
  if (name) out.name = name;
  SDL_JoystickClose(joystick);
  *caps = out;
  return true;
}

int32_t OpenJoystick(int32_t n) {
  if (n < 0 || n >= JoystickCount()) return 0;
  SDL_Joystick* joystick = SDL_JoystickOpen(n);
  if (!joystick) return 0;
  std::lock_guard<std::mutex> hold(openLock);
  int32_t handle = nextHandle++;
  openJoysticks[handle] = joystick;
  return handle;
}

void CloseJoystick(int32_t handle) {
  std::lock_guard<std::mutex> hold(openLock);
  auto it = openJoysticks.find(handle);
  if (it == openJoysticks.end()) return;
  SDL_JoystickClose(it->second);
  openJoysticks.erase(it);
}

bool ReadJoystick(int32_t handle, JoystickReading* reading) {
  std::lock_guard<std::mutex> hold(openLock);
  auto it = openJoysticks.find(handle);
  if (it == openJoysticks.end() || !SDL_JoystickGetAttached(it->second)) return false;
  SDL_Joystick* joystick = it->second;
  JoystickReading out;
  // SDL's axes are signed; the engine's range is 0..65535 with the centre at 32768.
  int axes = SDL_JoystickNumAxes(joystick);
  out.x = axes > 0 ? SDL_JoystickGetAxis(joystick, 0) + kAxisOffset : kAxisOffset;
  out.y = axes > 1 ? SDL_JoystickGetAxis(joystick, 1) + kAxisOffset : kAxisOffset;
  int buttons = SDL_JoystickNumButtons(joystick);
  for (int i = 0; i < buttons && i < static_cast<int>(kMaxButtons); ++i) {
    if (SDL_JoystickGetButton(joystick, i)) out.buttons |= 1u << i;
  }
  *reading = out;
  return true;
}

}  // namespace bw::host
