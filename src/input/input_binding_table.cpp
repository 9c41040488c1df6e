#include "input/input_binding_table.h"

#include <new>

#include "input/input_manager.h"

namespace bw {

uint32_t InputBindingTable::Resize(uint32_t count) {
  Clear();
  if (count == 0) return kBindingEmptyResize;
  try {
    actions_.resize(count);
  } catch (const std::bad_alloc&) {
    return kBindingOutOfMemory;
  } catch (const std::length_error&) {
    return kBindingOutOfMemory;
  }
  return 0;
}

void InputBindingTable::Clear() {
  std::vector<std::vector<Binding>>().swap(actions_);
}

InputDeviceRef InputBindingTable::DeviceOf(int32_t number) const {
  InputDeviceRef ref;
  if (!manager_) return ref;
  if (number == kDeviceKeyboard) {
    ref.keyboard = manager_->Keyboard();
  } else if (number == kDeviceMouse) {
    ref.mouse = manager_->GetMouse();
  } else if (number >= kDeviceFirstJoystick) {
    ref.joystick = manager_->GetJoystick(number - kDeviceFirstJoystick);
  }
  return ref;
}

uint32_t InputBindingTable::AddBinding(uint32_t action, int32_t device, uint8_t code) {
  if (!manager_ || action >= ActionCount()) return kBindingBadAction;
  InputDeviceRef ref = DeviceOf(device);
  if (!ref) return kBindingNoDevice;
  actions_[action].push_back(Binding{ref, code});
  return 0;
}

uint32_t InputBindingTable::RemoveBinding(uint32_t action, int32_t device, uint8_t code) {
  if (!manager_ || action >= ActionCount()) return kBindingBadAction;
  std::vector<Binding>& list = actions_[action];
  if (device < 0) {
    list.clear();
    return 0;
  }
  InputDeviceRef ref = DeviceOf(device);
  if (!ref) return kBindingNoDevice;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->device == ref && it->code == code) {
      list.erase(it);
      return 0;
    }
  }
  return kBindingNotFound;
}

uint32_t InputBindingTable::ChangeBindingCode(uint32_t action, int32_t device, uint8_t newCode,
                                              int32_t oldCode) {
  if (!manager_ || action >= ActionCount()) return kBindingBadAction;
  InputDeviceRef ref = DeviceOf(device);
  if (!ref) return kBindingNoDevice;
  for (Binding& binding : actions_[action]) {
    if (binding.device == ref && (oldCode < 0 || binding.code == oldCode)) {
      binding.code = newCode;
      return 0;
    }
  }
  return kBindingNotFound;
}

bool InputBindingTable::Asks(const Binding& binding, bool pressed) {
  const InputDeviceRef& d = binding.device;
  if (d.keyboard)
    return pressed ? d.keyboard->IsKeyPressed(binding.code) : d.keyboard->IsKeyDown(binding.code);
  if (d.mouse)
    return pressed ? d.mouse->IsButtonPressed(binding.code) : d.mouse->IsButtonDown(binding.code);
  if (d.joystick)
    return pressed ? d.joystick->IsPressed(binding.code) : d.joystick->IsDown(binding.code);
  return false;
}

bool InputBindingTable::IsActionDown(uint32_t action) const {
  if (action >= ActionCount()) return false;
  for (const Binding& binding : actions_[action]) {
    if (Asks(binding, false)) return true;
  }
  return false;
}

bool InputBindingTable::IsActionPressed(uint32_t action) const {
  if (action >= ActionCount()) return false;
  for (const Binding& binding : actions_[action]) {
    if (Asks(binding, true)) return true;
  }
  return false;
}

int32_t InputBindingTable::FindAction(uint32_t first, uint32_t count, bool pressed) const {
  uint64_t end = count == 0 ? ActionCount() : uint64_t{first} + count;
  if (end > ActionCount()) end = ActionCount();
  for (uint64_t action = first; action < end; ++action) {
    uint32_t a = static_cast<uint32_t>(action);
    if (pressed ? IsActionPressed(a) : IsActionDown(a)) return static_cast<int32_t>(a);
  }
  return -1;
}

int32_t InputBindingTable::FindHeldAction(uint32_t first, uint32_t count) const {
  return FindAction(first, count, false);
}

int32_t InputBindingTable::FindPressedAction(uint32_t first, uint32_t count) const {
  return FindAction(first, count, true);
}

int32_t InputBindingTable::CountBindings(uint32_t action, int32_t device) const {
  if (action >= ActionCount()) return 0;
  const std::vector<Binding>& list = actions_[action];
  if (device < 0) return static_cast<int32_t>(list.size());
  InputDeviceRef ref = DeviceOf(device);
  if (!ref) return 0;
  int32_t n = 0;
  for (const Binding& binding : list) n += binding.device == ref ? 1 : 0;
  return n;
}

uint32_t InputBindingTable::GetBinding(uint32_t action, int32_t device, uint32_t n, uint8_t* code,
                                       InputDeviceRef* deviceOut) const {
  if (!manager_ || action >= ActionCount()) return kBindingBadAction;
  const std::vector<Binding>& list = actions_[action];
  const Binding* found = nullptr;
  if (device < 0) {
    if (n >= list.size()) return kBindingBeyondList;
    found = &list[n];
  } else {
    InputDeviceRef ref = DeviceOf(device);
    if (!ref) return kBindingMissingDevice;
    uint32_t seen = 0;
    for (const Binding& binding : list) {
      if (binding.device == ref && seen++ == n) {
        found = &binding;
        break;
      }
    }
    if (!found) return kBindingTooFewOnDevice;
  }
  if (code) *code = found->code;
  if (deviceOut) *deviceOut = found->device;
  return 0;
}

}  // namespace bw
