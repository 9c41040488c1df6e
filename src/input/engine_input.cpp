#include "input/engine_input.h"

#include <algorithm>

#include "common/sjis.h"
#include "host/clock.h"
#include "host/input/cursor.h"
#include "host/input/text_input.h"
#include "host/message_queue.h"

namespace bw {

EngineInput::EngineInput() = default;

void EngineInput::SetMouse(Mouse* mouse) {
  mouse_ = mouse;
  if (mouse_) mouse_->SetPointerPosition(&pointer_);
}

bool EngineInput::IsCursorShown() const {
  return mouse_ && (mouse_->IsCursorRequested() || mouse_->IsSystemCursorShown());
}

void EngineInput::AskCursor(bool visible) {
  AskWindow(host::WM_APP_SHOW_CURSOR, visible ? 1 : 0);
}

void EngineInput::AskWindow(uint32_t message, host::WPARAM wParam) {
  windowRequests_.push_back({message, wParam});
}

void EngineInput::SendWindowRequests() {
  std::vector<WindowRequest> requests;
  requests.swap(windowRequests_);
  for (const WindowRequest& r : requests) host::SendMessage(mainWindow_, r.message, r.wParam, 0);
}

bool EngineInput::UpdatePointer() {
  bool over = MeasurePointer();
  SendWindowRequests();
  return over;
}

bool EngineInput::InCanvas(int32_t x, int32_t y) const {
  return x >= 0 && y >= 0 && x < canvasWidth_ && y < canvasHeight_;
}

bool EngineInput::MenuActive() const {
  return menu_.enabled && menu_.modeBits != 0 && menu_.keyFlag;
}

void EngineInput::EdgeTest(int32_t x, int32_t y) {
  if (y < 1) {
    edge_ = kEdgeTop;
  } else if (y >= canvasHeight_ - 1) {
    edge_ = kEdgeBottom;
  } else if (x < 1) {
    edge_ = kEdgeLeft;
  } else if (x >= canvasWidth_ - 1) {
    edge_ = kEdgeRight;
  }
}

bool EngineInput::MeasurePointer() {
  if (minimized_) {
    edge_ = kEdgeNone;
    pointer_ = PointerPosition{};
    return false;
  }
  if (displayMode_ == kDisplayFullScreen) return UpdateFullScreenPointer();

  host::Point cursor = host::GetCursorPos();
  host::Point origin = host::WindowOrigin(mainWindow_);
  int32_t x = cursor.x - origin.x;
  int32_t y = cursor.y - origin.y;
  // Unsigned: left of or above the client area is outside too.
  bool outX = static_cast<uint32_t>(x) >= static_cast<uint32_t>(canvasWidth_);
  bool outY = static_cast<uint32_t>(y) >= static_cast<uint32_t>(canvasHeight_);
  if (outX || outY) {
    if (mouse_ && !mouse_->IsCursorRequested() && !mouse_->IsSystemCursorShown()) AskCursor(true);
    if (edge_ == kEdgeNone) {
      if (outX && outY) {
        edge_ = x > 0 ? (y < 1 ? kEdgeTopRight : kEdgeBottomRight)
                      : (y < 1 ? kEdgeTopLeft : kEdgeBottomLeft);
      } else if (outX) {
        edge_ = x < 1 ? kEdgeLeft : kEdgeRight;
      } else {
        edge_ = y < 1 ? kEdgeTop : kEdgeBottom;
      }
    }
    if (mouse_ && mouse_->GetKind() == kMouseMessage) mouse_->Reset();
    pointer_ = PointerPosition{};
    return false;
  }
  if (mouse_ && mouse_->IsSystemCursorShown() && !mouse_->IsCursorRequested() && !keepCursor_)
    AskCursor(false);
  edge_ = kEdgeNone;
  pointer_ = PointerPosition{x, y};
  return true;
}

bool EngineInput::UpdateFullScreenPointer() {
  DisplayBox screen =
      display_ ? display_->DisplayRect() : DisplayBox{0, 0, canvasWidth_, canvasHeight_};
  host::Point cursor = host::GetCursorPos();
  int32_t x = cursor.x - screen.left;
  int32_t y = cursor.y - screen.top;
  edge_ = kEdgeNone;
  if (MenuActive()) {
    bool inRow = x >= 0 && x < screen.width;
    if (menuShown_) {
      if (inRow && y >= menu_.bandHeight) {
        menuShown_ = false;
        if (mouse_ && !mouse_->IsCursorRequested()) AskCursor(false);
        AskWindow(host::WM_APP_HIDE_MENU_WINDOW, 0);
        if (display_) display_->OnMenuShown(false);
        return false;
      }
      pointer_ = PointerPosition{};
      return false;
    }
    if (inRow && y < 1) {
      uint32_t now = host::GetTickCount();
      if (!hovering_) {
        hovering_ = true;
        hoverStart_ = now;
      }
      if (now - hoverStart_ >= menu_.hoverDelayMs) {
        hovering_ = false;
        menuShown_ = true;
        if (display_) display_->OnMenuShown(true);
        AskWindow(host::WM_APP_CREATE_MENU_WINDOW, 0);
        AskCursor(true);
        return false;
      }
    } else {
      hovering_ = false;
    }
  }
  DisplayBox box{0, 0, screen.width, screen.height};
  if (display_ && display_->IsScaled()) {
    display_->LetterboxRect(&box);
    if (box.width <= 0 || box.height <= 0) {
      pointer_ = PointerPosition{};
      return true;
    }
    int32_t px = static_cast<int32_t>(int64_t{canvasWidth_} * (x - box.left) / box.width);
    int32_t py = static_cast<int32_t>(int64_t{canvasHeight_} * (y - box.top) / box.height);
    bool inColumns = x >= box.left && x < box.left + box.width;
    bool inRows = y >= box.top && y < box.top + box.height;
    bool inDisplay = x >= 0 && y >= 0 && x < screen.width && y < screen.height;
    if (inColumns && inRows) {
      pointer_ = PointerPosition{px, py};
    } else if (inDisplay && !inColumns) {
      pointer_ = PointerPosition{kPointerBeside, py};
      edge_ = kEdgeTop;
      return true;
    } else if (inDisplay) {
      pointer_ = PointerPosition{px, kPointerBeside};
      EdgeTest(0, py);
      return true;
    } else {
      pointer_ = PointerPosition{};
    }
    EdgeTest(px, py);
    return true;
  }
  pointer_ = PointerPosition{x, y};
  EdgeTest(x, y);
  return true;
}

void EngineInput::ClientToScreenPoint(host::Point* point) const {
  if (displayMode_ != kDisplayFullScreen) {
    host::Point origin = host::WindowOrigin(mainWindow_);
    point->x += origin.x;
    point->y += origin.y;
    return;
  }
  DisplayBox screen =
      display_ ? display_->DisplayRect() : DisplayBox{0, 0, canvasWidth_, canvasHeight_};
  if (display_ && display_->IsScaled() && canvasWidth_ > 0 && canvasHeight_ > 0) {
    DisplayBox box{0, 0, screen.width, screen.height};
    display_->LetterboxRect(&box);
    point->x = static_cast<int32_t>(int64_t{point->x} * box.width / canvasWidth_ + box.left);
    point->y = static_cast<int32_t>(int64_t{point->y} * box.height / canvasHeight_ + box.top);
  }
  point->x += screen.left;
  point->y += screen.top;
}

void EngineInput::SetCursorPosition(int32_t x, int32_t y) {
  host::Point point{x, y};
  ClientToScreenPoint(&point);
  host::SetCursorPos(point.x, point.y);
  pointer_ = InCanvas(x, y) ? PointerPosition{x, y} : PointerPosition{};
}

int32_t EngineInput::InstallKeyboardHook() {
  if (!hookEnabled_) return kHookSettingOff;
  if (keyboardGrabbed_ || displayMode_ != kDisplayFullScreen) return 0;
  bool keysPass = (menu_.enabled && menu_.keyFlag && menu_.modeBits != 0) || menu_.modeBits == 1;
  if (keysPass) return 0;
  // No system-wide hook exists here; grabbing the keyboard keeps Alt+Tab and its kin in the game.
  host::SetKeyboardGrab(true);
  keyboardGrabbed_ = true;
  return kHookInstalled;
}

void EngineInput::RemoveKeyboardHook() {
  if (!keyboardGrabbed_) return;
  host::SetKeyboardGrab(false);
  keyboardGrabbed_ = false;
}

void EngineInput::EnableIme(bool on) {
  if (on) {
    if (!imeEnabled_) {
      host::StartTextInput();
      imeEnabled_ = 1;
    }
  } else if (imeEnabled_) {
    host::StopTextInput();
    imeEnabled_ = 0;
  }
}

host::HWND EngineInput::AttachedWindow() const {
  ScopedLock hold(textLock_);
  return attached_;
}

void EngineInput::AttachTextInput(host::HWND window) {
  host::HWND previous = AttachedWindow();
  // The sends wait for the window thread, which takes the text lock for every character: they
  // go out before the lock is taken.
  if (window) {
    if (!imeEnabled_) host::SendMessage(window, host::WM_APP_IME, 1, 0);
  } else if (previous && imeEnabled_) {
    host::SendMessage(previous, host::WM_APP_IME, 0, 0);
  }
  ScopedLock hold(textLock_);
  // A new stream holds no block yet, so attaching cannot fail.
  (void)ime_.Attach(window);
  attached_ = window;
  pendingKey_ = 0;
  length_ = 0;
  consumed_ = 0;
  leadPending_ = 0;
}

bool EngineInput::SendTextInputMessage(host::WPARAM value) {
  host::HWND window = AttachedWindow();
  if (!window) return false;
  host::SendMessage(window, host::WM_APP_TEXT_INPUT, value, 0);
  return true;
}

void EngineInput::OnTextInputMessage(host::HWND window, uint32_t message, host::WPARAM wParam,
                                     host::LPARAM) {
  switch (message) {
    case host::WM_KEYDOWN:
      pendingKey_ = static_cast<uint32_t>(wParam);
      return;
    case host::WM_CHAR: {
      auto byte = static_cast<uint8_t>(wParam);
      ScopedLock hold(textLock_);
      if (consumed_ > 0) {
        length_ = 0;
        consumed_ = 0;
      }
      if (length_ < static_cast<int32_t>(kTextBufferSize)) {
        leadPending_ = leadPending_ ? 0 : (sjis::IsLeadByte(byte) ? 1 : 0);
        text_[length_++] = static_cast<char>(byte);
      } else if (leadPending_) {
        // Full: the byte is lost, and with it the half character before it.
        --length_;
        leadPending_ = 0;
      }
      return;
    }
    case host::WM_APP_TEXT_INPUT: {
      ScopedLock hold(textLock_);
      // Without a context there is no input method to open or close.
      (void)ime_.SetOpenStatus(wParam != 0);
      return;
    }
    case host::WM_DESTROY:
      if (window == AttachedWindow()) AttachTextInput(host::HWND{});
      return;
    default:
      return;
  }
}

uint8_t EngineInput::PollTextInput(TextInputTarget* field) {
  if (!field) return 0;
  if (uint32_t key = pendingKey_.exchange(0)) return field->OnTextKey(key);
  char taken[kTextBufferSize];
  int32_t length = 0;
  {
    ScopedLock hold(textLock_);
    if (consumed_ != 0 || length_ <= 0 || leadPending_) return 0;
    length = length_;
    std::copy(text_, text_ + length, taken);
    consumed_ = length_;
  }
  // The field runs outside the lock: it may wait on the window thread.
  return field->OnTextInput(taken, length);
}

}  // namespace bw
