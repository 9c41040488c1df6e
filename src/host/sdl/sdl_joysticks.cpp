#include "host/sdl/sdl_joysticks.h"

#include <SDL.h>

namespace bw::host {

SdlJoysticks::~SdlJoysticks() {
  std::lock_guard<std::mutex> hold(lock_);
  for (auto& [handle, joystick] : open_) SDL_JoystickClose(joystick);
  open_.clear();
  if (started_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

bool SdlJoysticks::Ready() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!started_) started_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
  return started_;
}

int32_t SdlJoysticks::Count() {
  if (!Ready()) return 0;
  int count = SDL_NumJoysticks();
  return count < 0 ? 0 : count;
}

bool SdlJoysticks::Caps(int32_t n, JoystickCaps* caps) {
  if (n < 0 || n >= Count()) return false;
  SDL_Joystick* joystick = SDL_JoystickOpen(n);
  if (!joystick) return false;
  JoystickCaps out;
  int buttons = SDL_JoystickNumButtons(joystick);
  int axes = SDL_JoystickNumAxes(joystick);
  out.buttonCount =
      buttons < 0
          ? 0
          : (static_cast<uint32_t>(buttons) > kJoystickMaxButtons ? kJoystickMaxButtons : buttons);
  out.axisCount = axes < 0 ? 0 : static_cast<uint32_t>(axes);
  const char* name = SDL_JoystickName(joystick);
  if (name) out.name = name;
  SDL_JoystickClose(joystick);
  *caps = out;
  return true;
}

int32_t SdlJoysticks::Open(int32_t n) {
  if (n < 0 || n >= Count()) return 0;
  SDL_Joystick* joystick = SDL_JoystickOpen(n);
  if (!joystick) return 0;
  std::lock_guard<std::mutex> hold(lock_);
  int32_t handle = nextHandle_++;
  open_[handle] = joystick;
  return handle;
}

void SdlJoysticks::Close(int32_t handle) {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = open_.find(handle);
  if (it == open_.end()) return;
  SDL_JoystickClose(it->second);
  open_.erase(it);
}

bool SdlJoysticks::Read(int32_t handle, JoystickReading* reading) {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = open_.find(handle);
  if (it == open_.end() || !SDL_JoystickGetAttached(it->second)) return false;
  SDL_Joystick* joystick = it->second;
  JoystickReading out;
  // SDL's axes are signed; the engine's range is 0..65535 with the centre at 32768.
  int axes = SDL_JoystickNumAxes(joystick);
  out.x = axes > 0 ? SDL_JoystickGetAxis(joystick, 0) + kJoystickAxisCentre : kJoystickAxisCentre;
  out.y = axes > 1 ? SDL_JoystickGetAxis(joystick, 1) + kJoystickAxisCentre : kJoystickAxisCentre;
  int buttons = SDL_JoystickNumButtons(joystick);
  for (int i = 0; i < buttons && i < static_cast<int>(kJoystickMaxButtons); ++i) {
    if (SDL_JoystickGetButton(joystick, i)) out.buttons |= 1u << i;
  }
  *reading = out;
  return true;
}

}  // namespace bw::host
