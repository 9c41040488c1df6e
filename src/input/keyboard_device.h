// Keyboards: two snapshots of the 256 key codes, so that "held" and "newly pressed" can be asked.
// The polled variants read the key state the host keeps; the message variant is fed by the
// window thread's key messages.
#pragma once

#include <array>
#include <cstdint>

#include "host/messages.h"
#include "platform/lock.h"

namespace bw {

constexpr uint8_t kKeyboardDirectInput = 0;
constexpr uint8_t kKeyboardPolled = 1;
constexpr uint8_t kKeyboardMessage = 2;
constexpr uint8_t kKeyboardPolledSubset = 3;

constexpr uint32_t kPollDone = 0;
constexpr uint32_t kPollNoDevice = 1;
constexpr uint32_t kPollDeviceLost = 2;

constexpr uint8_t kKeyDownBit = 0x80;

class KeyboardDevice {
 public:
  KeyboardDevice() = default;
  virtual ~KeyboardDevice() = default;
  KeyboardDevice(const KeyboardDevice&) = delete;
  KeyboardDevice& operator=(const KeyboardDevice&) = delete;

  virtual bool IsKeyDown(int code) const;
  virtual bool IsKeyPressed(int code) const;
  // The lowest code held (newly pressed), -1 when none.
  virtual int32_t GetDownKey() const;
  virtual int32_t GetPressedKey() const;
  virtual void Reset();
  virtual bool IsKeyRepeated(int code) const;
  // Let go since the previous poll.
  virtual bool IsKeyReleased(int code) const;
  virtual uint8_t GetKind() const = 0;
  virtual void Acquire() {}
  virtual void Unacquire() { Reset(); }
  [[nodiscard]] virtual uint32_t Poll() = 0;

  // Toggle states of Caps Lock, Num Lock and Scroll Lock (bit 0: on), as last read.
  uint8_t Toggle(int virtualKey) const;
  void ReadToggles();

 protected:
  static bool ValidCode(int code) { return code >= 0 && code < 256; }
  const std::array<uint8_t, 256>& Latest() const { return tables_[current_ ^ 1]; }
  const std::array<uint8_t, 256>& Previous() const { return tables_[current_]; }

  uint8_t current_ = 0;
  std::array<std::array<uint8_t, 256>, 2> tables_{};
  std::array<uint8_t, 3> toggles_{};  // Scroll Lock, Caps Lock, Num Lock
};

// Reads every row of the key-code table (or only the subset's rows) from the host's key state.
class PolledKeyboard : public KeyboardDevice {
 public:
  explicit PolledKeyboard(bool subset = false);
  uint8_t GetKind() const override { return subset_ ? kKeyboardPolledSubset : kKeyboardPolled; }
  [[nodiscard]] uint32_t Poll() override;

 private:
  bool subset_;
};

// Fed by WM_KEYDOWN and WM_KEYUP on the window thread, read on the frame thread: the tables are
// guarded by inputLock_. A press counts once, in the frame after it arrived, however short it was.
class MessageKeyboard : public KeyboardDevice {
 public:
  MessageKeyboard();
  bool IsKeyDown(int code) const override;
  bool IsKeyPressed(int code) const override;
  void Reset() override;
  bool IsKeyRepeated(int code) const override;
  bool IsKeyReleased(int code) const override;
  uint8_t GetKind() const override { return kKeyboardMessage; }
  [[nodiscard]] uint32_t Poll() override;

  void OnKeyDown(uint32_t virtualKey, host::LPARAM lParam);
  void OnKeyUp(uint32_t virtualKey);
  // With repeats off only a first press is recorded.
  void SetRepeatsEnabled(bool enabled) { enabled_ = enabled ? 1 : 0; }
  uint8_t CodeOf(uint32_t virtualKey) const { return virtualKey < 256 ? map_[virtualKey] : 0; }

 private:
  bool EventBit(int code, int bit) const;

  std::array<uint8_t, 256> map_{};
  uint8_t enabled_ = 1;
  mutable Lock inputLock_;
  uint8_t half_ = 0;  // guarded by inputLock_, like tables_
};

}  // namespace bw
