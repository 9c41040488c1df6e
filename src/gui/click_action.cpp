#include "gui/click_action.h"

#include "graphics/surface/display_object.h"
#include "gui/pointer_manager.h"
#include "input/input_binding_table.h"
#include "input/mouse.h"

namespace bw {

namespace {

std::string Copy(const char* text) {
  return text ? text : "";
}

const char* FileOrNull(const std::string& file) {
  return file.empty() ? nullptr : file.c_str();
}

}  // namespace

void PlayPartSound(PointerManager* owner, const std::string& file, int32_t soundId,
                   int32_t defaultId) {
  if (!owner) return;
  if (soundId >= 0) {
    owner->PlaySound(FileOrNull(file), soundId, 0, 0);
  } else {
    owner->PlaySound(nullptr, defaultId, 0, 0);
  }
}

bool PlaceInList(DisplayObjectList* list, DisplayObject* object, int32_t order, int32_t tag,
                 bool keepWhenEqual) {
  if (!object->GetOwnerList()) {
    list->Add(object, static_cast<uint32_t>(order), static_cast<uint32_t>(tag));
    return true;
  }
  list->SetPriority(object, static_cast<uint32_t>(order), keepWhenEqual);
  return false;
}

void ClickablePart::SetAction(const char* label, int32_t labelValue, const char* actionName,
                              uint32_t clickedVar, uint32_t hoveredVar, uint32_t notHoveredVar,
                              const char* clickSoundFile, const char* enterSoundFile,
                              const char* leaveSoundFile, int32_t clickSound, int32_t enterSound,
                              int32_t leaveSound) {
  ReleaseAction();
  auto action = std::make_unique<ClickAction>();
  action->label = Copy(label);
  action->labelValue = labelValue;
  action->actionName = Copy(actionName);
  action->clickedVar = clickedVar;
  action->hoveredVar = hoveredVar;
  action->notHoveredVar = notHoveredVar;
  action->clickSoundFile = Copy(clickSoundFile);
  action->enterSoundFile = Copy(enterSoundFile);
  action->leaveSoundFile = Copy(leaveSoundFile);
  action->clickSound = action->clickSoundFile.empty() ? clickSound : 0;
  action->enterSound = action->enterSoundFile.empty() ? enterSound : 0;
  action->leaveSound = action->leaveSoundFile.empty() ? leaveSound : 0;
  action_ = std::move(action);
}

bool ClickablePart::FireAction() {
  PointerManager* owner = GetOwner();
  if (!owner) return false;
  if (GetId() >= 0) owner->SetFiredId(GetId());
  if (!action_) {
    owner->PlaySound(nullptr, kDefaultClickSound, 0, 0);
    return true;
  }
  PlayPartSound(owner, action_->clickSoundFile, action_->clickSound, kDefaultClickSound);
  if (action_->clickedVar) owner->WriteScriptWord(action_->clickedVar, 1);
  if (!action_->actionName.empty() || !action_->label.empty() || action_->labelValue != 0) {
    owner->RunAction(FileOrNull(action_->actionName), FileOrNull(action_->label),
                     action_->labelValue);
  }
  return true;
}

void ClickablePart::SetWords(bool hovered) {
  PointerManager* owner = GetOwner();
  if (!action_ || !owner) return;
  if (action_->hoveredVar) owner->WriteScriptWord(action_->hoveredVar, hovered ? 1 : 0);
  if (action_->notHoveredVar) owner->WriteScriptWord(action_->notHoveredVar, hovered ? 0 : 1);
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

void ClickablePart::ReleaseFocusAndHover(bool visible) {
  PointerManager* owner = GetOwner();
  if (!owner) return;
  if (!visible && owner->IsFocus(this)) owner->SetFocus(nullptr);
  if (owner->IsHover(this)) owner->ReleaseHover();
}

bool ClickablePart::SetEnabled(bool enabled) {
  if (!UiControl::SetEnabled(enabled)) return false;
  SetState(kStateNormal);
  return true;
}

bool ClickablePart::HitTest(int32_t x, int32_t y) const {
  return static_cast<uint32_t>(x - GetX()) < static_cast<uint32_t>(width_) &&
         static_cast<uint32_t>(y - GetY()) < static_cast<uint32_t>(height_);
}

void ClickablePart::OnPointerOver(int32_t /*x*/, int32_t /*y*/) {
  if (state_ != kStateNormal) return;
  SetState(kStateHover);
  EnterEffects();
}

void ClickablePart::OnPointerLeave() {
  if (state_ != kStateHover && state_ != kStatePressed) return;
  SetState(kStateNormal);
  LeaveEffects(true);
}

bool ClickablePart::OnPointerInput(int32_t /*x*/, int32_t /*y*/, Mouse* mouse) {
  if (!mouse) return false;
  if (state_ == kStateHover && mouse->IsButtonPressed(kButtonLeft)) {
    SetState(kStatePressed);
    DisarmKey();
    return true;
  }
  if (state_ == kStatePressed && !IsKeyArmed() && !mouse->IsButtonDown(kButtonLeft)) {
    SetState(kStateHover);
    FireAction();
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
    SetState(kStateHover);
    EnterEffects();
  }
  if (mode == kFocusPointerParks) owner->ParkPointer();
}

void ClickablePart::OnFocusLost(UiControl* /*next*/) {
  if (state_ != kStateHover && state_ != kStatePressed) return;
  SetState(kStateNormal);
  LeaveEffects(false);
}

bool ClickablePart::OnKeyInput(InputBindingTable* bindings) {
  PointerManager* owner = GetOwner();
  uint32_t now = owner ? owner->GetTime() : 0;
  if (state_ == kStateHover) {
    DisarmKey();
    if (!bindings || !bindings->IsActionPressed(kActionDecide)) return false;
    SetState(kStatePressed);
    ArmKeyRelease(now);
    return true;
  }
  if (state_ == kStatePressed) {
    if (KeyReleaseDue(now)) {
      SetState(kStateHover);
      DisarmKey();
      FireAction();
    }
    return true;
  }
  DisarmKey();
  return false;
}

}  // namespace bw
