#include "gui/click_action.h"

#include "graphics/surface/display_object.h"
#include "gui/pointer_manager.h"
#include "input/input_binding_table.h"
#include "input/mouse.h"

namespace bw {

namespace {

const char* FileOrNull(const std::string& file) {
  return file.empty() ? nullptr : file.c_str();
}

}  // namespace

void PlayPartSound(PointerManager* owner, const std::string& file, int32_t soundId,
                   int32_t defaultId) {
  if (!owner) return;
  // A part's sound that cannot play leaves the click silent; the click still acts.
  if (soundId >= 0) {
    (void)owner->PlaySound(FileOrNull(file), soundId, 0, 0);
  } else {
    (void)owner->PlaySound(nullptr, defaultId, 0, 0);
  }
}

bool PlaceInList(DisplayObjectList* list, DisplayObject* object, int32_t order, int32_t tag,
                 bool keepWhenEqual) {
  if (!object->GetOwnerList()) {
    // An object already listed stays where it is.
    (void)list->Add(object, static_cast<uint32_t>(order), static_cast<uint32_t>(tag));
    return true;
  }
  list->SetPriority(object, static_cast<uint32_t>(order), keepWhenEqual);
  return false;
}

ClickAction WithFileSounds(ClickAction action) {
  if (!action.clickSoundFile.empty()) action.clickSound = 0;
  if (!action.enterSoundFile.empty()) action.enterSound = 0;
  if (!action.leaveSoundFile.empty()) action.leaveSound = 0;
  return action;
}

void ClickablePart::SetAction(ClickAction action) {
  ReleaseAction();
  action_ = std::make_unique<ClickAction>(WithFileSounds(std::move(action)));
}

void RunClickAction(PointerManager* owner, const ClickAction* action) {
  if (!owner) return;
  if (!action) {
    (void)owner->PlaySound(nullptr, kDefaultClickSound, 0, 0);
    return;
  }
  PlayPartSound(owner, action->clickSoundFile, action->clickSound, kDefaultClickSound);
  if (action->clickedVar) owner->WriteScriptWord(action->clickedVar, 1);
  if (!action->actionName.empty() || !action->label.empty() || action->labelValue != 0) {
    owner->RunAction(FileOrNull(action->actionName), FileOrNull(action->label), action->labelValue);
  }
}

void SetHoverWords(PointerManager* owner, const ClickAction* action, bool hovered) {
  if (!action || !owner) return;
  if (action->hoveredVar) owner->WriteScriptWord(action->hoveredVar, hovered ? 1 : 0);
  if (action->notHoveredVar) owner->WriteScriptWord(action->notHoveredVar, hovered ? 0 : 1);
}

bool ClickablePart::FireAction() {
  PointerManager* owner = GetOwner();
  if (!owner) return false;
  if (GetId() >= 0) owner->SetFiredId(GetId());
  RunClickAction(owner, action_.get());
  return true;
}

void ClickablePart::SetWords(bool hovered) {
  SetHoverWords(GetOwner(), action_.get(), hovered);
}

void ClickablePart::EnterEffects() {
  SetWords(true);
  static const std::string kNone;
  PlayPartSound(GetOwner(), action_ ? action_->enterSoundFile : kNone,
                action_ ? action_->enterSound : kNoSound, kDefaultEnterSound);
}

void ClickablePart::LeaveEffects(bool withSound) {
  SetWords(false);
  if (!withSound) return;
  static const std::string kNone;
  PlayPartSound(GetOwner(), action_ ? action_->leaveSoundFile : kNone,
                action_ ? action_->leaveSound : kNoSound, kDefaultLeaveSound);
}

bool ClickablePart::SetEnabled(bool enabled) {
  if (!UiControl::SetEnabled(enabled)) return false;
  (void)SetState(kStateNormal);  // a state change only shows another cell and cannot fail
  return true;
}

bool ClickablePart::HitTest(int32_t x, int32_t y) const {
  return static_cast<uint32_t>(x - GetX()) < static_cast<uint32_t>(width_) &&
         static_cast<uint32_t>(y - GetY()) < static_cast<uint32_t>(height_);
}

void ClickablePart::OnPointerOver(int32_t /*x*/, int32_t /*y*/) {
  if (state_ != kStateNormal) return;
  (void)SetState(kStateHover);  // a state change only shows another cell and cannot fail
  EnterEffects();
}

void ClickablePart::OnPointerLeave() {
  if (state_ != kStateHover && state_ != kStatePressed) return;
  (void)SetState(kStateNormal);  // a state change only shows another cell and cannot fail
  LeaveEffects(true);
}

bool ClickablePart::OnPointerInput(int32_t /*x*/, int32_t /*y*/, Mouse* mouse) {
  if (!mouse) return false;
  if (state_ == kStateHover && mouse->IsButtonPressed(kButtonLeft)) {
    (void)SetState(kStatePressed);  // a state change only shows another cell and cannot fail
    DisarmKey();
    return true;
  }
  if (state_ == kStatePressed && !IsKeyArmed() && !mouse->IsButtonDown(kButtonLeft)) {
    (void)SetState(kStateHover);
    (void)FireAction();  // a part that does not fire has nothing more to do
    return true;
  }
  return false;
}

void ClickablePart::OnFocusGot(UiControl* /*previous*/, bool /*forward*/) {
  PointerManager* owner = GetOwner();
  int mode = owner ? owner->GetFocusPointerMode() : kFocusPointerStays;
  if (mode == kFocusPointerCentre) {
    owner->SetPointerPosition(GetX() + (width_ >> 1), GetY() + (height_ >> 1));
    return;
  }
  if (state_ == kStateNormal) {
    (void)SetState(kStateHover);  // a state change only shows another cell and cannot fail
    EnterEffects();
  }
  if (mode == kFocusPointerParks) owner->ParkPointer();
}

void ClickablePart::OnFocusLost(UiControl* /*next*/) {
  if (state_ != kStateHover && state_ != kStatePressed) return;
  (void)SetState(kStateNormal);  // a state change only shows another cell and cannot fail
  LeaveEffects(false);
}

bool ClickablePart::OnKeyInput(InputBindingTable* bindings) {
  PointerManager* owner = GetOwner();
  uint32_t now = owner ? owner->GetTime() : 0;
  if (state_ == kStateHover) {
    DisarmKey();
    if (!bindings || !bindings->IsActionPressed(kActionDecide)) return false;
    (void)SetState(kStatePressed);  // a state change only shows another cell and cannot fail
    ArmKeyRelease(now);
    return true;
  }
  if (state_ == kStatePressed) {
    if (KeyReleaseDue(now)) {
      (void)SetState(kStateHover);
      DisarmKey();
      (void)FireAction();  // a part that does not fire has nothing more to do
    }
    return true;
  }
  DisarmKey();
  return false;
}

}  // namespace bw
