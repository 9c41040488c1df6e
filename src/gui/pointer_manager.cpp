#include "gui/pointer_manager.h"

#include <algorithm>

#include "gui/ui_control.h"
#include "input/input_binding_table.h"
#include "input/keyboard_device.h"

namespace bw {

PointerManager::~PointerManager() {
  while (PopControls() == kStackDone) {
  }
  RemoveAll();
}

std::list<UiControl*>::iterator PointerManager::Find(UiControl* control) {
  return std::find(controls_.begin(), controls_.end(), control);
}

bool PointerManager::Qualifies(const UiControl* control) {
  return control->IsEnabled() && control->IsVisible();
}

int PointerManager::AddControl(UiControl* control, int32_t position) {
  if (!control) return kAddControlNull;
  if (control->owner_) return kAddControlOwned;
  auto at = controls_.end();
  if (position >= 0 && static_cast<size_t>(position) < controls_.size()) {
    at = std::next(controls_.begin(), position);
  }
  controls_.insert(at, control);
  control->owner_ = this;
  return kAddControlDone;
}

void PointerManager::RemoveControl(UiControl* control) {
  if (!control) return;
  LetGo(control, false);
  std::erase(passing_, control);
  auto it = Find(control);
  if (it != controls_.end()) {
    if (focus_ == control) {
      focus_ = nullptr;
      control->OnFocusLost(control);
    }
    controls_.erase(it);
    control->owner_ = nullptr;
    return;
  }
  for (auto& list : saved_) {
    auto found = std::find(list.begin(), list.end(), control);
    if (found == list.end()) continue;
    list.erase(found);
    control->owner_ = nullptr;
    return;
  }
}

void PointerManager::RemoveAll() {
  if (controls_.empty()) return;
  ChangeFocus(nullptr, true);
  ReleaseHover();
  ForgetPointer();
  for (UiControl* control : controls_) control->owner_ = nullptr;
  controls_.clear();
}

int PointerManager::SetFocus(UiControl* control) {
  if (controls_.empty()) return kFocusEmptyList;
  if (!control) {
    ChangeFocus(nullptr, true);
    return kFocusDone;
  }
  if (Find(control) == controls_.end()) return kFocusNotListed;
  if (!Qualifies(control)) return kFocusNotEligible;
  ChangeFocus(control, true);
  return kFocusDone;
}

void PointerManager::ChangeFocus(UiControl* control, bool forward) {
  if (control == focus_) return;
  if (control && std::find(passing_.begin(), passing_.end(), control) != passing_.end()) {
    // The focus came back round to a control that is passing it on: nobody takes it.
    control = nullptr;
  }
  UiControl* old = focus_;
  focus_ = control;
  ReleaseHover();
  if (old) old->OnFocusLost(control);
  if (!control) return;
  passing_.push_back(control);
  control->OnFocusGot(old, forward);
  std::erase(passing_, control);
}

// Walks from the control after the focus (or from the first) to the end, then wraps from the
// first up to the focus; the iterators give the direction.
template <typename It>
int PointerManager::FocusWalk(It begin, It end, It afterFocus, bool forward) {
  for (auto it = focus_ ? afterFocus : begin; it != end; ++it) {
    if (Qualifies(*it)) {
      ChangeFocus(*it, forward);
      return kFocusDone;
    }
  }
  if (!focus_) return kFocusNoneQualifies;
  for (auto it = begin; *it != focus_; ++it) {
    if (Qualifies(*it)) {
      ChangeFocus(*it, forward);
      return kFocusDone;
    }
  }
  return kFocusWrapped;
}

int PointerManager::FocusNext() {
  if (controls_.empty()) return kFocusEmptyList;
  auto at = focus_ ? std::next(Find(focus_)) : controls_.end();
  return FocusWalk(controls_.begin(), controls_.end(), at, true);
}

int PointerManager::FocusPrevious() {
  if (controls_.empty()) return kFocusEmptyList;
  auto at = focus_ ? std::make_reverse_iterator(Find(focus_)) : controls_.rend();
  return FocusWalk(controls_.rbegin(), controls_.rend(), at, false);
}

void PointerManager::ReleaseHover() {
  if (!hover_) return;
  UiControl* old = hover_;
  hover_ = nullptr;
  old->OnPointerLeave();
  HideTooltip();
}

void PointerManager::LetGo(const UiControl* control, bool withFocus) {
  // Clearing fails only on an empty list, which holds no focus.
  if (withFocus && IsFocus(control)) (void)SetFocus(nullptr);
  if (IsHover(control)) ReleaseHover();
}

void PointerManager::HideTooltipOf(const UiControl* control) {
  if (IsHover(control)) HideTooltip();
}

void PointerManager::PassFocusOn(bool forward) {
  if ((forward ? FocusNext() : FocusPrevious()) == kFocusDone) return;
  // Clearing fails only on an empty list, which holds no focus.
  (void)SetFocus(nullptr);
}

void PointerManager::HideTooltip() {
  if (!tooltipShown_) return;
  // The tooltip counts as hidden whatever its box answers.
  (void)HideTooltipBox();
  tooltipShown_ = false;
  hoverWaiting_ = false;
}

void PointerManager::SetTooltipOptions(bool enabled, uint32_t delay, uint32_t duration) {
  tooltipsEnabled_ = enabled;
  tooltipDelay_ = delay;
  tooltipDuration_ = duration;
  if (!enabled) HideTooltip();
}

void PointerManager::SetCaptured(bool captured) {
  captured_ = captured;
  if (!captured) ForgetPointer();
}

void PointerManager::ResetState() {
  ChangeFocus(nullptr, true);
  ReleaseHover();
  hoverWaiting_ = false;
  ForgetPointer();
}

void PointerManager::SetActive(bool active) {
  if (!active) ResetState();
  active_ = active;
}

int PointerManager::PushControls() {
  if (controls_.empty()) return kStackNothing;
  ResetState();
  saved_.push_back(std::move(controls_));
  controls_.clear();
  return kStackDone;
}

int PointerManager::PopControls() {
  if (saved_.empty()) return kStackNothing;
  RemoveAll();
  controls_ = std::move(saved_.back());
  saved_.pop_back();
  return kStackDone;
}

int PointerManager::ClassifyNavigationKey(InputBindingTable* bindings) {
  KeyboardDevice* keyboard = GetKeyboard();
  if (!keyboard || !bindings) return kNavigateNone;
  bool tab = keyboard->IsKeyPressed(kCodeTab);
  if (bindings->IsActionPressed(kNavigateUp) || bindings->IsActionPressed(kNavigateLeft)) {
    return kNavigateBack;
  }
  if (tab && (keyboard->IsKeyDown(kCodeLeftShift) || keyboard->IsKeyDown(kCodeRightShift))) {
    return kNavigateBack;
  }
  if (bindings->IsActionPressed(kNavigateDown) || bindings->IsActionPressed(kNavigateRight) ||
      tab) {
    return kNavigateOn;
  }
  return kNavigateNone;
}

bool PointerManager::MoveFocusByKey(UiControl* focused, int classification) {
  int result;
  if (classification == kNavigateBack) {
    result = FocusPrevious();
  } else if (classification == kNavigateOn) {
    result = FocusNext();
  } else {
    return false;
  }
  if (result == kFocusDone) return true;
  if (result == kFocusWrapped && focused) {
    // The lone focused control is told again, so it can move inside itself.
    focused->OnFocusGot(focused, classification == kNavigateOn);
    return true;
  }
  return false;
}

void PointerManager::ShowOrHideTooltip(uint32_t now, int32_t x, int32_t y) {
  const char* text = hover_->GetTooltipText();
  uint32_t elapsed = now - hoverStart_;
  if (text && !tooltipShown_ && tooltipsEnabled_ && hoverWaiting_) {
    if (elapsed >= tooltipDelay_ &&
        (tooltipDuration_ == 0 || elapsed <= tooltipDelay_ + tooltipDuration_)) {
      ShowTooltip(text, x, y);
      tooltipShown_ = true;
    }
  } else if (tooltipShown_ && tooltipDuration_ != 0 && elapsed > tooltipDelay_ + tooltipDuration_) {
    HideTooltip();
  }
}

int PointerManager::Update(uint32_t now) {
  auto finish = [this](int result) { return lastResult_ = result; };
  if (!active_) return finish(kUpdateInactive);
  int32_t x = 0;
  int32_t y = 0;
  GetPointerPosition(&x, &y);
  bool moved = x != lastX_ || y != lastY_;
  if (!PreUpdate(now, &moved, x, y)) return finish(kUpdateInactive);

  if (moved) {
    if (hoverWaiting_) hoverStart_ = now;
    lastX_ = x;
    lastY_ = y;
    if (!captured_) {
      UiControl* found = nullptr;
      for (UiControl* control : controls_) {
        if (Qualifies(control) && control->HitTest(x, y)) {
          found = control;
          break;
        }
      }
      if (found != hover_) {
        if (hover_) hover_->OnPointerLeave();
        if (focus_ && focus_ != found) focus_->OnPointerLeave();
        hover_ = found;
        if (found) {
          found->OnPointerEnter();
          // A control that takes the focus as the pointer enters drops the hover with that focus
          // change; it is still the one under the pointer.
          if (!hover_ && focus_ == found) hover_ = found;
        }
        HideTooltip();
        StartHoverWait(now);
      }
    }
    if (hover_) hover_->OnPointerOver(x - hover_->GetX(), y - hover_->GetY());
  } else if (hover_) {
    ShowOrHideTooltip(now, x, y);
  }

  if (hover_ && hover_->OnPointerInput(x - hover_->GetX(), y - hover_->GetY(), GetMouse())) {
    HideTooltip();
    return finish(kUpdatePointerTaken);
  }

  UiControl* focused = focus_;
  if (PollTextInput(focused)) return finish(kUpdateTextTaken);
  InputBindingTable* bindings = GetInputBindings();
  if (focused) {
    if (focused->OnKeyInput(bindings)) return finish(kUpdateKeyTaken);
    if (bindings) {
      for (uint32_t action = kNavigateUp; action <= kNavigateRight; ++action) {
        UiControl* neighbour = focused->GetNeighbour(action);
        if (neighbour && bindings->IsActionPressed(action) && SetFocus(neighbour) == kFocusDone) {
          return finish(kUpdateFocusMoved);
        }
      }
    }
  }
  if (MoveFocusByKey(focused, ClassifyNavigationKey(bindings))) return finish(kUpdateFocusMoved);
  return finish(kUpdateIdle);
}

}  // namespace bw
