#include "input/keyboard_device.h"

#include "host/input/key_state.h"
#include "input/key_code_table.h"
#include "input/key_codes.h"

namespace bw {

namespace {

constexpr uint8_t kHeld = 128;
constexpr uint8_t kEventPressed = 1;
constexpr uint8_t kEventRepeated = 2;
constexpr uint8_t kEventReleased = 4;
constexpr int kHalfShift = 4;
constexpr host::LPARAM kRepeatBit = host::LPARAM{1} << 30;

int ToggleSlot(int virtualKey) {
  switch (virtualKey) {
    case kVkScroll:
      return 0;
    case kVkCapital:
      return 1;
    case kVkNumLock:
      return 2;
    default:
      return -1;
  }
}

uint8_t HostKeyByte(uint8_t virtualKey) {
  return static_cast<uint8_t>(static_cast<uint16_t>(host::GetAsyncKeyState(virtualKey)) >> 8);
}

}  // namespace

bool KeyboardDevice::IsKeyDown(int code) const {
  return ValidCode(code) && (Latest()[code] & kKeyDownBit);
}

bool KeyboardDevice::IsKeyPressed(int code) const {
  return ValidCode(code) && (Latest()[code] & kKeyDownBit) && !(Previous()[code] & kKeyDownBit);
}

int32_t KeyboardDevice::GetDownKey() const {
  for (int code = 0; code < 256; ++code) {
    if (IsKeyDown(code)) return code;
  }
  return -1;
}

int32_t KeyboardDevice::GetPressedKey() const {
  for (int code = 0; code < 256; ++code) {
    if (IsKeyPressed(code)) return code;
  }
  return -1;
}

void KeyboardDevice::Reset() {
  tables_ = {};
}

bool KeyboardDevice::IsKeyReleased(int code) const {
  return ValidCode(code) && !(Latest()[code] & kKeyDownBit) && (Previous()[code] & kKeyDownBit);
}

bool KeyboardDevice::IsKeyRepeated(int) const {
  return false;
}

uint8_t KeyboardDevice::Toggle(int virtualKey) const {
  int slot = ToggleSlot(virtualKey);
  return slot < 0 ? 0 : toggles_[slot];
}

void KeyboardDevice::ReadToggles() {
  for (int virtualKey : {kVkScroll, kVkCapital, kVkNumLock}) {
    toggles_[ToggleSlot(virtualKey)] = host::GetKeyState(virtualKey) & 1;
  }
}

PolledKeyboard::PolledKeyboard(bool subset) : subset_(subset) {}

uint32_t PolledKeyboard::Poll() {
  std::array<uint8_t, 256>& table = tables_[current_];
  if (subset_) {
    for (uint8_t code : SubsetKeyCodes) {
      for (const KeyCodeRow& row : KeyCodeTable) {
        if (row.keyCode == code) table[code] = HostKeyByte(row.virtualKey);
      }
    }
  } else {
    for (const KeyCodeRow& row : KeyCodeTable) table[row.keyCode] = HostKeyByte(row.virtualKey);
  }
  current_ ^= 1;
  return kPollDone;
}

MessageKeyboard::MessageKeyboard() {
  // Table order: a later row wins where several codes share a virtual key.
  for (const KeyCodeRow& row : KeyCodeTable) map_[row.virtualKey] = row.keyCode;
}

// tables_[0] holds event bits (one nibble per half), tables_[1] the held state.
bool MessageKeyboard::EventBit(int code, int bit) const {
  if (!ValidCode(code)) return false;
  ScopedLock hold(inputLock_);
  return (tables_[0][code] >> (bit + (half_ ? kHalfShift : 0))) & 1;
}

bool MessageKeyboard::IsKeyDown(int code) const {
  if (!ValidCode(code)) return false;
  ScopedLock hold(inputLock_);
  return tables_[1][code] & kHeld;
}

bool MessageKeyboard::IsKeyPressed(int code) const {
  return EventBit(code, 0);
}

bool MessageKeyboard::IsKeyRepeated(int code) const {
  return EventBit(code, 1);
}

bool MessageKeyboard::IsKeyReleased(int code) const {
  return EventBit(code, 2);
}

void MessageKeyboard::Reset() {
  ScopedLock hold(inputLock_);
  tables_ = {};
}

uint32_t MessageKeyboard::Poll() {
  ScopedLock hold(inputLock_);
  // The half that collected events becomes the one read; the other starts empty.
  uint8_t keep = half_ ? 0x0F : 0xF0;
  for (uint8_t& events : tables_[0]) events &= keep;
  half_ ^= 1;
  return kPollDone;
}

void MessageKeyboard::OnKeyDown(uint32_t virtualKey, host::LPARAM lParam) {
  uint8_t code = CodeOf(virtualKey);
  if (code == 0) return;  // a key the table does not name is no key at all
  ScopedLock hold(inputLock_);
  tables_[1][code] = kHeld;
  int shift = half_ ? 0 : kHalfShift;
  uint8_t& events = tables_[0][code];
  if ((events >> shift) & (kEventPressed | kEventRepeated)) return;
  bool repeat = (lParam & kRepeatBit) != 0;
  uint8_t value = 0;
  if (enabled_) {
    value = kEventPressed | (repeat ? kEventRepeated : 0);
  } else if (!repeat) {
    value = kEventPressed;
  }
  events |= static_cast<uint8_t>(value << shift);
}

void MessageKeyboard::OnKeyUp(uint32_t virtualKey) {
  uint8_t code = CodeOf(virtualKey);
  if (code == 0) return;
  ScopedLock hold(inputLock_);
  tables_[1][code] = 0;
  tables_[0][code] |= static_cast<uint8_t>(kEventReleased << (half_ ? 0 : kHalfShift));
}

}  // namespace bw
