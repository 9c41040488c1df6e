#include "host/input/joystick.h"

#include "host/backend.h"

namespace bw::host {

namespace {

JoystickSource* Source() {
  Backend* backend = CurrentBackend();
  return backend ? &backend->Joysticks() : nullptr;
}

}  // namespace

int32_t JoystickCount() {
  JoystickSource* source = Source();
  return source ? source->Count() : 0;
}

bool GetJoystickCaps(int32_t n, JoystickCaps* caps) {
  JoystickSource* source = Source();
  return source && source->Caps(n, caps);
}

int32_t OpenJoystick(int32_t n) {
  JoystickSource* source = Source();
  return source ? source->Open(n) : 0;
}

void CloseJoystick(int32_t handle) {
  if (JoystickSource* source = Source()) source->Close(handle);
}

bool ReadJoystick(int32_t handle, JoystickReading* reading) {
  JoystickSource* source = Source();
  return source && source->Read(handle, reading);
}

}  // namespace bw::host
