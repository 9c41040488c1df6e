#include "input/joystick_device.h"

#include <mutex>

#include "host/input/joystick.h"
#include "input/keyboard_device.h"

namespace bw {

namespace {

constexpr uint8_t kButtonDown = 0x80;

struct JoystickEntry {
  bool available = false;
  bool inUse = false;
};

std::mutex tableLock;
std::array<JoystickEntry, kMaxJoysticks> table;  // guarded by tableLock

}  // namespace

JoystickThresholds ComputeJoystickThresholds(int32_t min, int32_t max) {
  int64_t lo = min;
  int64_t hi = max;
  return JoystickThresholds{static_cast<int32_t>((hi + 2 * lo) / 3),
                            static_cast<int32_t>((lo + 2 * hi) / 3)};
}

bool IsJoystickInUse(int32_t number) {
  if (number < 0 || number >= kMaxJoysticks) return false;
  std::lock_guard<std::mutex> hold(tableLock);
  return table[number].inUse;
}

void ResetJoystickTable() {
  std::lock_guard<std::mutex> hold(tableLock);
  table = {};
}

bool JoystickDevice::Beyond(const Snapshot& s, int code) const {
  switch (code) {
    case kJoyUp:
      return s.y < up_;
    case kJoyDown:
      return s.y > down_;
    case kJoyLeft:
      return s.x < left_;
    case kJoyRight:
      return s.x > right_;
    default: {
      int n = code - kJoyFirstButton;
      return n >= 0 && static_cast<uint32_t>(n) < buttonCount_ && n < kJoyMaxButtons &&
             (s.buttons[n] & kButtonDown);
    }
  }
}

bool JoystickDevice::IsDown(int code) const {
  return Beyond(snapshots_[current_ ^ 1], code);
}

bool JoystickDevice::IsPressed(int code) const {
  return Beyond(snapshots_[current_ ^ 1], code) && !Beyond(snapshots_[current_], code);
}

int32_t JoystickDevice::GetDownCode() const {
  for (int code = 0; code < kJoyFirstButton + kJoyMaxButtons; ++code) {
    if (IsDown(code)) return code;
  }
  return -1;
}

int32_t JoystickDevice::GetPressedCode() const {
  for (int code = 0; code < kJoyFirstButton + kJoyMaxButtons; ++code) {
    if (IsPressed(code)) return code;
  }
  return -1;
}

void JoystickDevice::Reset() {
  ClearToNeutral();
}

void JoystickDevice::ClearToNeutral() {
  snapshots_ = {};
  for (Snapshot& s : snapshots_) {
    s.x = left_;
    s.y = up_;
  }
}

WindowsJoystick::~WindowsJoystick() {
  Close();
}

void WindowsJoystick::Close() {
  if (handle_ != 0) host::CloseJoystick(handle_);
  handle_ = 0;
  if (number_ >= 0 && exclusive_) {
    std::lock_guard<std::mutex> hold(tableLock);
    table[number_].inUse = false;
  }
  number_ = -1;
}

uint32_t WindowsJoystick::Open(int32_t number, bool rescan, bool exclusive) {
  Close();
  host::JoystickCaps caps;
  std::lock_guard<std::mutex> hold(tableLock);
  if (rescan) {
    for (int32_t i = 0; i < kMaxJoysticks; ++i)
      table[i].available = host::GetJoystickCaps(i, &caps);
  }
  if (number >= 0) {
    if (number >= kMaxJoysticks) return kJoyBadNumber;
    if (exclusive && table[number].inUse) return kJoyNoneFree;
    if (!host::GetJoystickCaps(number, &caps)) return kJoyNoCaps;
  } else {
    for (int32_t i = 0; i < kMaxJoysticks && number < 0; ++i) {
      if (exclusive && table[i].inUse) continue;
      if (rescan ? table[i].available : host::GetJoystickCaps(i, &caps)) number = i;
    }
    if (number < 0) return kJoyNoneFree;
    if (!host::GetJoystickCaps(number, &caps)) return kJoyNoCaps;
  }
  int32_t handle = host::OpenJoystick(number);
  host::JoystickReading reading;
  if (handle == 0 || !host::ReadJoystick(handle, &reading)) {
    if (handle != 0) host::CloseJoystick(handle);
    return kJoyUnreadable;
  }
  handle_ = handle;
  JoystickThresholds x = ComputeJoystickThresholds(caps.xMin, caps.xMax);
  JoystickThresholds y = ComputeJoystickThresholds(caps.yMin, caps.yMax);
  left_ = x.low;
  right_ = x.high;
  up_ = y.low;
  down_ = y.high;
  buttonCount_ = caps.buttonCount;
  axisCount_ = caps.axisCount;
  exclusive_ = exclusive;
  if (exclusive) table[number].inUse = true;
  number_ = number;
  name_ = caps.name.empty() ? "Unknown" : caps.name;
  ClearToNeutral();
  return 0;
}

uint32_t WindowsJoystick::Poll() {
  if (handle_ == 0) return kPollNoDevice;
  host::JoystickReading reading;
  if (!host::ReadJoystick(handle_, &reading)) {
    ClearToNeutral();
    return kPollDeviceLost;
  }
  Snapshot& now = snapshots_[current_];
  now.x = reading.x;
  now.y = reading.y;
  for (int n = 0; n < kJoyMaxButtons; ++n)
    now.buttons[n] = (reading.buttons >> n) & 1 ? kButtonDown : 0;
  current_ ^= 1;
  return kPollDone;
}

}  // namespace bw
