#include "input/input_manager.h"
#include "input/key_codes.h"

#include <new>

namespace bw {

uint32_t InputManager::InitDirectInput(bool useDirectInput, const void* instance) {
  ReleaseDevices();
  if (!useDirectInput) return 0;
  if (!instance) return kDirectInputNoInstance;
  return kDirectInputUnavailable;
}

uint32_t InputManager::CreateDevices(host::HWND, uint32_t keyboardType, uint32_t mouseType) {
  ReleaseDevices();
  try {
    if (keyboardType == kDeviceTypeMessage) {
      keyboard_ = std::make_unique<MessageKeyboard>();
    } else {
      keyboard_ = std::make_unique<PolledKeyboard>(keyboardType == kDeviceTypeSubset);
    }
    if (mouseType == kDeviceTypePolled) {
      mouse_ = std::make_unique<WindowsMouse>();
    } else {
      mouse_ = std::make_unique<MessageMouse>();
    }
  } catch (const std::bad_alloc&) {
    ReleaseDevices();
    return kDevicesOutOfMemory;
  }
  return 0;
}

uint32_t InputManager::SetUpDevices(uint32_t inputMode, host::HWND window, bool joysticks,
                                    uint32_t* modeInForce) {
  uint32_t mode = inputMode == kInputModeMessages ? kInputModeMessages : kInputModePolled;
  if (modeInForce) *modeInForce = mode;
  uint32_t type = mode == kInputModeMessages ? kDeviceTypeMessage : kDeviceTypePolled;
  uint32_t result = CreateDevices(window, type, type);
  // Without a joystick the game plays on the keyboard and mouse.
  if (result == 0 && joysticks) (void)AddJoystick(-1, window);
  return result;
}

int32_t InputManager::AddJoystick(int32_t number, host::HWND) {
  auto joystick = std::make_unique<WindowsJoystick>();
  if (joystick->Open(number, false, true) != 0) return kAddJoystickFailed;
  int32_t opened = joystick->DeviceNumber();
  joysticks_.push_back(std::move(joystick));
  return opened;
}

JoystickDevice* InputManager::GetJoystick(int32_t n) const {
  if (n < 0 || static_cast<size_t>(n) >= joysticks_.size()) return nullptr;
  return joysticks_[n].get();
}

uint32_t InputManager::CreateBindingTable(uint32_t actionCount, InputBindingTable** table) {
  std::unique_ptr<InputBindingTable> made(new (std::nothrow) InputBindingTable(this));
  if (!made) return kBindingTableOutOfMemory;
  if (made->Resize(actionCount) != 0) return kBindingTableSizing;
  if (table) *table = made.get();
  tables_.push_back(std::move(made));
  return 0;
}

void InputManager::ReleaseDevices() {
  // Tables hold device pointers: they go first.
  tables_.clear();
  keyboard_.reset();
  mouse_.reset();
  joysticks_.clear();
}

void InputManager::Activate() {
  active_ = 1;
  if (keyboard_) {
    keyboard_->Acquire();
    keyboard_->ReadToggles();
  }
  if (mouse_) mouse_->Acquire();
  for (auto& joystick : joysticks_) joystick->Acquire();
}

void InputManager::Deactivate() {
  active_ = 0;
  if (keyboard_) keyboard_->Unacquire();
  if (mouse_) mouse_->Unacquire();
  for (auto& joystick : joysticks_) joystick->Unacquire();
}

void InputManager::Poll() {
  if (active_) {
    // A device that does not answer keeps the last frame's state.
    if (keyboard_) (void)keyboard_->Poll();
    if (mouse_) (void)mouse_->Poll();
  }
  if (mouse_) mouse_->UpdateAnimatedCursor();
  if (active_ && joysticksEnabled_) {
    for (auto& joystick : joysticks_) (void)joystick->Poll();
  }
}

bool InputManager::OnKeyDown(uint32_t virtualKey, host::LPARAM lParam) {
  if (!keyboard_) return false;
  if (virtualKey == kVkCapital || virtualKey == kVkNumLock || virtualKey == kVkScroll)
    keyboard_->ReadToggles();
  auto* message = dynamic_cast<MessageKeyboard*>(keyboard_.get());
  if (!message) return false;
  message->OnKeyDown(virtualKey, lParam);
  return true;
}

void InputManager::OnKeyUp(uint32_t virtualKey, host::LPARAM) {
  if (auto* message = dynamic_cast<MessageKeyboard*>(keyboard_.get())) message->OnKeyUp(virtualKey);
}

void InputManager::OnMouseWheel(host::WPARAM wParam) {
  if (mouse_) mouse_->OnWheelMessage(wParam);
}

bool InputManager::OnMouseButton(uint32_t message) {
  auto* mouse = dynamic_cast<MessageMouse*>(mouse_.get());
  if (!mouse) return false;
  switch (message) {
    case host::WM_LBUTTONDOWN:
      mouse->OnButton(kButtonLeft, true);
      return true;
    case host::WM_LBUTTONUP:
      mouse->OnButton(kButtonLeft, false);
      return true;
    case host::WM_RBUTTONDOWN:
      mouse->OnButton(kButtonRight, true);
      return true;
    case host::WM_RBUTTONUP:
      mouse->OnButton(kButtonRight, false);
      return true;
    case host::WM_MBUTTONDOWN:
      mouse->OnButton(kButtonMiddle, true);
      return true;
    case host::WM_MBUTTONUP:
      mouse->OnButton(kButtonMiddle, false);
      return true;
    default:
      return false;
  }
}

void InputManager::SetJoysticksEnabled(bool enabled) {
  joysticksEnabled_ = enabled ? 1 : 0;
  if (!enabled) {
    for (auto& joystick : joysticks_) joystick->Reset();
  }
}

}  // namespace bw
