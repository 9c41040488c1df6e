// The keyboard, mouse and joysticks of the application and the action tables built on them.
// DirectInput is never available here: the devices are the polled or message-fed ones.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/messages.h"
#include "input/input_binding_table.h"
#include "input/joystick_device.h"
#include "input/keyboard_device.h"
#include "input/mouse.h"

namespace bw {

// InitDirectInput results.
constexpr uint32_t kDirectInputNoInstance = 1;
constexpr uint32_t kDirectInputUnavailable = 3;
// CreateDevices, AddJoystick and CreateBindingTable results.
constexpr uint32_t kDevicesOutOfMemory = 3;
constexpr int32_t kAddJoystickFailed = 2;
constexpr uint32_t kBindingTableOutOfMemory = 1;
constexpr uint32_t kBindingTableSizing = 2;

// Input modes of the settings; DirectInput's mode runs as the polled one, whose mouse sees every
// click without the window's button messages.
constexpr uint32_t kInputModeDirectInput = 0;
constexpr uint32_t kInputModePolled = 1;
constexpr uint32_t kInputModeMessages = 2;

constexpr uint32_t kDeviceTypePolled = 1;
constexpr uint32_t kDeviceTypeMessage = 2;
constexpr uint32_t kDeviceTypeSubset = 3;

class InputManager {
 public:
  InputManager() = default;
  ~InputManager() { ReleaseDevices(); }
  InputManager(const InputManager&) = delete;
  InputManager& operator=(const InputManager&) = delete;

  // Answers 0 when DirectInput is not wanted; else it cannot be had (the caller then uses the
  // other devices).
  [[nodiscard]] uint32_t InitDirectInput(bool useDirectInput, const void* instance);
  [[nodiscard]] uint32_t CreateDevices(host::HWND window, uint32_t keyboardType,
                                       uint32_t mouseType);
  // The start-up's input step: the devices of the mode (answered in modeInForce) and, when asked,
  // the first free joystick. Answers CreateDevices' result.
  [[nodiscard]] uint32_t SetUpDevices(uint32_t inputMode, host::HWND window, bool joysticks,
                                      uint32_t* modeInForce);
  // A joystick by number, or the first free one for -1; answers its device number.
  [[nodiscard]] int32_t AddJoystick(int32_t number, host::HWND window);
  JoystickDevice* GetJoystick(int32_t n) const;
  size_t JoystickCount() const { return joysticks_.size(); }
  [[nodiscard]] uint32_t CreateBindingTable(uint32_t actionCount, InputBindingTable** table);
  void ReleaseDevices();

  void Activate();
  void Deactivate();
  bool IsActive() const { return active_ != 0; }
  // Once per frame.
  void Poll();

  // Window-thread feeds.
  bool OnKeyDown(uint32_t virtualKey, host::LPARAM lParam);
  void OnKeyUp(uint32_t virtualKey, host::LPARAM lParam);
  void OnMouseWheel(host::WPARAM wParam);
  // WM_LBUTTONDOWN ... WM_MBUTTONUP; true when a message mouse took it.
  bool OnMouseButton(uint32_t message);
  void SetJoysticksEnabled(bool enabled);

  KeyboardDevice* Keyboard() const { return keyboard_.get(); }
  Mouse* GetMouse() const { return mouse_.get(); }

 private:
  uint8_t active_ = 0;
  uint8_t joysticksEnabled_ = 1;
  std::unique_ptr<KeyboardDevice> keyboard_;
  std::unique_ptr<Mouse> mouse_;
  std::vector<std::unique_ptr<JoystickDevice>> joysticks_;
  std::vector<std::unique_ptr<InputBindingTable>> tables_;
};

}  // namespace bw
