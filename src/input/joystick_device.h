// Joysticks: two snapshots of the x and y axes and 32 buttons. Codes: 0 up, 1 down, 2 left,
// 3 right, 4 + n button n. The process-wide table of 16 entries tells which are in use.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace bw {

constexpr int32_t kMaxJoysticks = 16;
constexpr int kJoyUp = 0;
constexpr int kJoyDown = 1;
constexpr int kJoyLeft = 2;
constexpr int kJoyRight = 3;
constexpr int kJoyFirstButton = 4;
constexpr int kJoyMaxButtons = 32;

// WindowsJoystick::Open results.
constexpr uint32_t kJoyBadNumber = 1;
constexpr uint32_t kJoyNoneFree = 2;
constexpr uint32_t kJoyNoCaps = 3;
constexpr uint32_t kJoyUnreadable = 4;

struct JoystickThresholds {
  int32_t low = 0;
  int32_t high = 0;
};
// The outer thirds of min..max count as a direction (computed without overflow).
JoystickThresholds ComputeJoystickThresholds(int32_t min, int32_t max);

class JoystickDevice {
 public:
  JoystickDevice() = default;
  virtual ~JoystickDevice() = default;
  JoystickDevice(const JoystickDevice&) = delete;
  JoystickDevice& operator=(const JoystickDevice&) = delete;

  virtual bool IsDown(int code) const;
  virtual bool IsPressed(int code) const;
  // The first code in the order up, down, left, right, buttons; -1 when none.
  virtual int32_t GetDownCode() const;
  virtual int32_t GetPressedCode() const;
  virtual void Reset();
  virtual void Acquire() {}
  virtual void Unacquire() {}
  [[nodiscard]] virtual uint32_t Poll() = 0;

  int32_t DeviceNumber() const { return number_; }
  uint32_t AxisCount() const { return axisCount_; }
  uint32_t ButtonCount() const { return buttonCount_; }
  const std::string& Name() const { return name_; }

 protected:
  struct Snapshot {
    int32_t x = 0;
    int32_t y = 0;
    std::array<uint8_t, kJoyMaxButtons> buttons{};
  };
  bool Beyond(const Snapshot& snapshot, int code) const;
  void ClearToNeutral();

  int32_t number_ = -1;
  uint8_t current_ = 0;
  std::array<Snapshot, 2> snapshots_{};
  int32_t left_ = 0;
  int32_t right_ = 0;
  int32_t up_ = 0;
  int32_t down_ = 0;
  uint32_t buttonCount_ = 0;
  uint32_t axisCount_ = 0;
  std::string name_;
};

// A joystick read through the host's joysticks, as winmm's joyGetPos gave it.
class WindowsJoystick : public JoystickDevice {
 public:
  ~WindowsJoystick() override;
  [[nodiscard]] uint32_t Open(int32_t number, bool rescan, bool exclusive);
  void Close();
  [[nodiscard]] uint32_t Poll() override;

 private:
  int32_t handle_ = 0;
  bool exclusive_ = false;
};

// The process-wide table (tests).
bool IsJoystickInUse(int32_t number);
void ResetJoystickTable();

}  // namespace bw
