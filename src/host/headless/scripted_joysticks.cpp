#include "host/headless/scripted_joysticks.h"

namespace bw::host {

int32_t ScriptedJoysticks::Attach(JoystickCaps caps) {
  std::lock_guard<std::mutex> hold(lock_);
  auto stick = std::make_shared<Stick>();
  stick->caps = std::move(caps);
  stick->reading = JoystickReading{kJoystickAxisCentre, kJoystickAxisCentre, 0};
  attached_.push_back(std::move(stick));
  return static_cast<int32_t>(attached_.size()) - 1;
}

void ScriptedJoysticks::Set(int32_t n, JoystickReading reading) {
  std::lock_guard<std::mutex> hold(lock_);
  if (n >= 0 && n < static_cast<int32_t>(attached_.size()))
    attached_[static_cast<size_t>(n)]->reading = reading;
}

void ScriptedJoysticks::Detach(int32_t n) {
  std::lock_guard<std::mutex> hold(lock_);
  if (n < 0 || n >= static_cast<int32_t>(attached_.size())) return;
  attached_[static_cast<size_t>(n)]->attached = false;
  attached_.erase(attached_.begin() + n);
}

int32_t ScriptedJoysticks::Count() {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int32_t>(attached_.size());
}

bool ScriptedJoysticks::Caps(int32_t n, JoystickCaps* caps) {
  std::lock_guard<std::mutex> hold(lock_);
  if (n < 0 || n >= static_cast<int32_t>(attached_.size())) return false;
  *caps = attached_[static_cast<size_t>(n)]->caps;
  return true;
}

int32_t ScriptedJoysticks::Open(int32_t n) {
  std::lock_guard<std::mutex> hold(lock_);
  if (n < 0 || n >= static_cast<int32_t>(attached_.size())) return 0;
  int32_t handle = nextHandle_++;
  open_[handle] = attached_[static_cast<size_t>(n)];
  return handle;
}

void ScriptedJoysticks::Close(int32_t handle) {
  std::lock_guard<std::mutex> hold(lock_);
  open_.erase(handle);
}

bool ScriptedJoysticks::Read(int32_t handle, JoystickReading* reading) {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = open_.find(handle);
  if (it == open_.end() || !it->second->attached) return false;
  *reading = it->second->reading;
  return true;
}

}  // namespace bw::host
