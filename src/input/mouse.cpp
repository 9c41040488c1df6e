#include "input/mouse.h"

#include <algorithm>

#include "host/clock.h"
#include "host/input/cursor.h"
#include "host/input/key_state.h"
#include "host/message_queue.h"
#include "input/keyboard_device.h"
#include "platform/rect.h"

namespace bw {

namespace {

constexpr uint8_t kHeld = 128;
constexpr uint8_t kEventHalf0 = 16;
constexpr uint8_t kEventHalf1 = 1;

bool HostButtonDown(uint8_t virtualKey) {
  return host::GetAsyncKeyState(virtualKey) < 0;
}

}  // namespace

bool Mouse::PointerOutside() const {
  if (!pointer_) return false;
  return (pointer_->x < 0 && pointer_->x != kPointerBeside) ||
         (pointer_->y < 0 && pointer_->y != kPointerBeside);
}

bool Mouse::WheelPressed(int button) const {
  if (Previous().wheel != 0) return false;
  return button == kButtonWheelUp ? Latest().wheel > 0 : Latest().wheel < 0;
}

bool Mouse::IsButtonDown(int button) const {
  if (PointerOutside()) return false;
  if (ValidButton(button)) return Latest().buttons[button] & 0x80;
  if (button == kButtonWheelUp) return Latest().wheel > 0;
  if (button == kButtonWheelDown) return Latest().wheel < 0;
  return false;
}

bool Mouse::IsButtonPressed(int button) const {
  if (PointerOutside()) return false;
  if (ValidButton(button))
    return (Latest().buttons[button] & 0x80) && !(Previous().buttons[button] & 0x80);
  if (button == kButtonWheelUp || button == kButtonWheelDown) return WheelPressed(button);
  return false;
}

int32_t Mouse::GetDownButton() const {
  if (PointerOutside()) return -1;
  for (int button = kButtonLeft; button <= kButtonMiddle; ++button) {
    if (IsButtonDown(button)) return button;
  }
  if (Latest().wheel > 0) return kButtonWheelUp;
  if (Latest().wheel < 0) return kButtonWheelDown;
  return -1;
}

int32_t Mouse::GetPressedButton() const {
  if (PointerOutside()) return -1;
  for (int button = kButtonLeft; button <= kButtonMiddle; ++button) {
    if (IsButtonPressed(button)) return button;
  }
  if (Previous().wheel != 0) return -1;
  if (Latest().wheel > 0) return kButtonWheelUp;
  if (Latest().wheel < 0) return kButtonWheelDown;
  return -1;
}

void Mouse::Reset() {
  snapshots_ = {};
}

int32_t Mouse::GetWheel() const {
  return PointerOutside() ? 0 : Latest().wheel;
}

void Mouse::OnWheelMessage(host::WPARAM wParam) {
  pendingWheel_.store(static_cast<int16_t>(host::HiWord(wParam)));
}

uint32_t Mouse::SetCursorShape(int32_t shape, uint32_t resourceId) {
  // The program's own cursors are in the host's table; other modules never load here.
  if ((resourceId & 0xFFFF) != 0) {
    if (!host::SetProgramCursor(resourceId & 0xFFFF)) return kCursorNone;
    shape_ = host::CursorShape();
    return 0;
  }
  if (!host::SetCursorShape(shape)) return kCursorNone;
  shape_ = shape;
  return 0;
}

void Mouse::ShowSystemCursor(bool visible) {
  if (visible) {
    while (host::ShowCursor(true) < 0) {
    }
  } else {
    while (host::ShowCursor(false) >= 0) {
    }
  }
  systemCursor_ = visible ? 1 : 0;
}

void Mouse::ApplyCursorVisible(bool visible, host::HWND window, uint32_t message) {
  if (message == 0) {
    ShowSystemCursor(visible);
  } else {
    host::SendMessage(window, message, visible ? 1 : 0, 0);
  }
  requested_ = visible ? 1 : 0;
}

void Mouse::SetCursorVisible(bool visible, host::HWND window, uint32_t message) {
  if (sprite_) {
    sprite_->SetVisible(visible);
  } else {
    ApplyCursorVisible(visible, window, message);
  }
  visible_ = visible ? 1 : 0;
}

uint32_t Mouse::SetAnimatedCursor(CursorSprite* sprite, int32_t frameCount, uint32_t interval,
                                  bool pingPong, int32_t hotX, int32_t hotY) {
  auto forget = [this] {
    if (sprite_) sprite_->SetVisible(false);
    sprite_ = nullptr;
  };
  if (!sprite) {
    forget();
    return 0;
  }
  if (sprite->Kind() == kSpriteKindImage && !sprite->HasImage()) return kAnimatedNoImage;
  if (sprite->Kind() == kSpriteKindCell && !sprite->HasImage()) return kAnimatedNoCellImage;
  if (sprite->Kind() != kSpriteKindImage && sprite->Kind() != kSpriteKindCell) {
    forget();
    sprite->SetVisible(false);
    return kAnimatedBadKind;
  }
  sprite_ = sprite;
  frameCount_ = frameCount > 0 ? frameCount : 0;
  if (frameCount_ > 0) {
    frameWidth_ = sprite->SourceWidth();
    sprite->GetSourcePosition(&frame0X_, &frame0Y_);
  }
  interval_ = interval;
  uint32_t frames =
      pingPong && frameCount_ > 1 ? 2u * frameCount_ - 1u : static_cast<uint32_t>(frameCount_);
  cycle_ = frames * interval;
  hotX_ = hotX;
  hotY_ = hotY;
  frame_ = -1;
  cycleStart_ = host::GetTickCount();
  sprite->SetVisible(visible_ != 0);
  return 0;
}

void Mouse::UpdateAnimatedCursor() {
  if (!sprite_ || !visible_ || !pointer_) return;
  if (pointer_->x < 0 || pointer_->y < 0) {
    sprite_->SetVisible(false);
    return;
  }
  sprite_->SetVisible(true);
  sprite_->MoveTo(pointer_->x - hotX_, pointer_->y - hotY_);
  if (frameCount_ <= 0) return;
  uint32_t now = host::GetTickCount();
  uint32_t t = now - cycleStart_;
  if (t >= cycle_) {
    t = 0;
    cycleStart_ = now;
  }
  // An interval of 0 stays on the first frame. A script's frame count and interval can make the
  // cycle wrap round, so the frame is worked out wide and held to the strip.
  int64_t frame = interval_ == 0 ? 0 : int64_t{t / interval_};
  if (frame >= frameCount_) frame = 2 * int64_t{frameCount_} - frame - 2;
  frame = std::clamp<int64_t>(frame, 0, frameCount_ - 1);
  if (frame != frame_) {
    frame_ = static_cast<int32_t>(frame);
    sprite_->SetSourcePosition(ClampToInt32(frame0X_ + frame * frameWidth_), frame0Y_);
  }
}

uint32_t WindowsMouse::Poll() {
  Snapshot& now = snapshots_[current_];
  now.buttons[kButtonLeft] = HostButtonDown(host::VK_LBUTTON) ? 0x80 : 0;
  now.buttons[kButtonRight] = HostButtonDown(host::VK_RBUTTON) ? 0x80 : 0;
  now.buttons[kButtonMiddle] = HostButtonDown(host::VK_MBUTTON) ? 0x80 : 0;
  now.wheel = pendingWheel_.exchange(0);
  current_ ^= 1;
  return kPollDone;
}

bool MessageMouse::IsButtonDown(int button) const {
  if (PointerOutside()) return false;
  if (!ValidButton(button)) return Mouse::IsButtonDown(button);
  ScopedLock hold(inputLock_);
  return held_[button] & kHeld;
}

bool MessageMouse::IsButtonPressed(int button) const {
  if (PointerOutside()) return false;
  if (!ValidButton(button)) return Mouse::IsButtonPressed(button);
  ScopedLock hold(inputLock_);
  return (events_[button] >> (half_ ? 4 : 0)) & 1;
}

void MessageMouse::Reset() {
  ScopedLock hold(inputLock_);
  Mouse::Reset();
  held_ = {};
  events_ = {};
}

uint32_t MessageMouse::Poll() {
  ScopedLock hold(inputLock_);
  uint8_t keep = half_ ? 0x0F : 0xF0;
  for (uint8_t& events : events_) events &= keep;
  half_ ^= 1;
  snapshots_[current_].wheel = pendingWheel_.exchange(0);
  current_ ^= 1;
  return kPollDone;
}

void MessageMouse::OnButton(int button, bool down) {
  if (!ValidButton(button)) return;
  ScopedLock hold(inputLock_);
  if (down) {
    held_[button] = kHeld;
    events_[button] |= half_ ? kEventHalf1 : kEventHalf0;
  } else {
    held_[button] = 0;
  }
}

}  // namespace bw
