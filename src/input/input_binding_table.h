// Actions (advance, cancel, menu, up ...) each bound to a list of device codes; game code asks
// whether an action is held or newly pressed, never a key by itself.
#pragma once

#include <cstdint>
#include <vector>

namespace bw {

class InputManager;
class KeyboardDevice;
class Mouse;
class JoystickDevice;

constexpr uint32_t kBindingBadAction = 1;
constexpr uint32_t kBindingNoDevice = 2;
constexpr uint32_t kBindingNotFound = 3;
constexpr uint32_t kBindingEmptyResize = 1;
constexpr uint32_t kBindingOutOfMemory = 2;
// GetBinding's own codes.
constexpr uint32_t kBindingBeyondList = 2;
constexpr uint32_t kBindingMissingDevice = 3;
constexpr uint32_t kBindingTooFewOnDevice = 4;

// Device numbers: 0 keyboard, 1 mouse, n >= 2 joystick n - 2; negative: all devices.
constexpr int32_t kDeviceKeyboard = 0;
constexpr int32_t kDeviceMouse = 1;
constexpr int32_t kDeviceFirstJoystick = 2;

// One of the three device kinds a binding points at.
struct InputDeviceRef {
  KeyboardDevice* keyboard = nullptr;
  Mouse* mouse = nullptr;
  JoystickDevice* joystick = nullptr;
  bool operator==(const InputDeviceRef&) const = default;
  explicit operator bool() const { return keyboard || mouse || joystick; }
};

class InputBindingTable {
 public:
  explicit InputBindingTable(InputManager* manager) : manager_(manager) {}
  ~InputBindingTable() { Clear(); }
  InputBindingTable(const InputBindingTable&) = delete;
  InputBindingTable& operator=(const InputBindingTable&) = delete;

  [[nodiscard]] uint32_t Resize(uint32_t count);
  void Clear();
  uint32_t ActionCount() const { return static_cast<uint32_t>(actions_.size()); }

  [[nodiscard]] uint32_t AddBinding(uint32_t action, int32_t device, uint8_t code);
  [[nodiscard]] uint32_t RemoveBinding(uint32_t action, int32_t device, uint8_t code);
  [[nodiscard]] uint32_t ChangeBindingCode(uint32_t action, int32_t device, uint8_t newCode,
                                           int32_t oldCode);
  bool IsActionDown(uint32_t action) const;
  bool IsActionPressed(uint32_t action) const;
  // The lowest action in [first, first + count) (count 0: to the last) that is held / pressed.
  int32_t FindHeldAction(uint32_t first, uint32_t count) const;
  int32_t FindPressedAction(uint32_t first, uint32_t count) const;
  int32_t CountBindings(uint32_t action, int32_t device) const;
  [[nodiscard]] uint32_t GetBinding(uint32_t action, int32_t device, uint32_t n, uint8_t* code,
                                    InputDeviceRef* deviceOut) const;

 private:
  struct Binding {
    InputDeviceRef device;
    uint8_t code = 0;
  };
  InputDeviceRef DeviceOf(int32_t number) const;
  static bool Asks(const Binding& binding, bool pressed);
  int32_t FindAction(uint32_t first, uint32_t count, bool pressed) const;

  InputManager* manager_;
  std::vector<std::vector<Binding>> actions_;
};

}  // namespace bw
