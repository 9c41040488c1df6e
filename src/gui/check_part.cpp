#include "gui/check_part.h"

#include <algorithm>

#include "graphics/surface/display_object.h"
#include "gui/color_box_part.h"
#include "gui/pointer_manager.h"
#include "gui/pointer_tip.h"
#include "input/input_binding_table.h"
#include "input/mouse.h"

namespace bw {

namespace {

// The cell of each state per layout, and the cells a picture holds without disabled cells.
constexpr uint8_t kCells[kCheckLayouts][8] = {{0, 1, 2, 3, 4, 5, 6, 7},
                                              {0, 1, 1, 2, 3, 3, 4, 5},
                                              {0, 1, 2, 3, 3, 3, 4, 5},
                                              {0, 1, 1, 2, 2, 2, 3, 4}};
constexpr int32_t kCellCounts[kCheckLayouts] = {6, 4, 4, 3};

bool IsCheckedState(uint8_t state) {
  return (state >= kCheckChecked && state <= kCheckCheckedPressed) ||
         state == kCheckDisabledChecked;
}

// The hover and pressed states keep the checked half they started in.
uint8_t Shifted(uint8_t state, uint8_t by) {
  return static_cast<uint8_t>(state + by);
}

}  // namespace

bool ApplyPictureColorKey(ImageSurface* picture, int32_t a, int32_t b) {
  if (b >= 0) {
    // A picture without pixels has no key to set.
    (void)picture->SetColorKeyFromPixel(a, b);
    return true;
  }
  if (a == -1) return false;
  uint32_t key = static_cast<uint32_t>(a);
  // A picture without pixels has no key to set.
  (void)picture->SetColorKeyRgb((key >> 16) & 0xFF, (key >> 8) & 0xFF, key & 0xFF);
  return true;
}

CheckPartBase::~CheckPartBase() {
  LeaveGroup();
}

bool CheckPartBase::IsChecked() const {
  return IsCheckedState(state_);
}

int32_t CheckPartBase::CellCount() const {
  return kCellCounts[layout_] + (hasDisabledCell_ ? 2 : 0);
}

int32_t CheckPartBase::CellOf(uint8_t state) const {
  if (state > kCheckDisabledChecked) state = kCheckNormal;
  if (!hasDisabledCell_ && state == kCheckDisabled) state = kCheckNormal;
  if (!hasDisabledCell_ && state == kCheckDisabledChecked) state = kCheckChecked;
  return kCells[layout_][state];
}

void CheckPartBase::WriteStateVar() {
  if (!stateVar_) return;
  int32_t value = state_ >= kCheckDisabled ? 2 : (IsChecked() ? 1 : 0);
  // Before registration the part has no owner; the script's words are the pointer tip's.
  PointerManager* writer = GetOwner() ? GetOwner() : ThePointerTip();
  if (writer) writer->WriteScriptWord(stateVar_, value);
}

CheckPartBase* CheckPartBase::PartAt(int32_t index) {
  if (index == 0) return this;
  if (index < 0 || static_cast<size_t>(index) > members_.size()) return nullptr;
  return members_[static_cast<size_t>(index) - 1];
}

int CheckPartBase::JoinGroup(CheckPartBase* groupLeader) {
  state_ = kCheckNormal;
  if (!IsRadio()) {
    WriteStateVar();
    return kCreateDone;
  }
  if (!groupLeader) {
    isLeader_ = true;
    members_.clear();
    selectedIndex_ = 0;
    (void)SetState(kCheckChecked);  // a state change only shows another cell and cannot fail
    return kCreateDone;
  }
  // A part named as the leader may itself be a member: its leader takes the new part, so every
  // part of a group is in one list.
  CheckPartBase* head = groupLeader->leader_ ? groupLeader->leader_ : groupLeader;
  if (head == this || !head->isLeader_ || head->AddMember(this) != kGroupDone) {
    return kCreateBadArguments;
  }
  leader_ = head;
  WriteStateVar();
  return kCreateDone;
}

bool CheckPartBase::SetChecked(bool checked) {
  if (checked == IsChecked()) return false;
  CheckPartBase* head = Head();
  if (!head->isLeader_) {
    if (enabled_) {
      // A state change only shows another cell and cannot fail.
      (void)SetState(checked ? kCheckChecked : kCheckNormal);
    } else {
      (void)SetState(checked ? kCheckDisabledChecked : kCheckDisabled);
    }
    return true;
  }
  int32_t index = 0;
  if (leader_) {
    auto it = std::find(head->members_.begin(), head->members_.end(), this);
    index = static_cast<int32_t>(it - head->members_.begin()) + 1;
  }
  if (!checked) index = static_cast<size_t>(index) >= head->members_.size() ? 0 : index + 1;
  (void)head->SelectIndex(index);  // a group without that member keeps its selection
  return true;
}

int CheckPartBase::SelectIndex(int32_t index) {
  if (leader_) return leader_->SelectIndex(index);
  if (!isLeader_) return kGroupNone;
  if (index == selectedIndex_) return kGroupDone;
  CheckPartBase* next = PartAt(index);
  if (!next) return kGroupBadIndex;
  const bool disabled = state_ >= kCheckDisabled;
  if (CheckPartBase* previous = PartAt(selectedIndex_)) {
    // A state change only shows another cell and cannot fail.
    (void)previous->SetState(disabled ? kCheckDisabled : kCheckNormal);
  }
  (void)next->SetState(disabled ? kCheckDisabledChecked : kCheckChecked);
  selectedIndex_ = index;
  return kGroupDone;
}

int CheckPartBase::Select(CheckPartBase* part) {
  if (!part || !isLeader_) return kGroupNone;
  if (CheckPartBase* previous = PartAt(selectedIndex_); previous && previous != part) {
    // A state change only shows another cell and cannot fail.
    (void)previous->SetState(kCheckNormal);
  }
  auto it = std::find(members_.begin(), members_.end(), part);
  selectedIndex_ = it == members_.end() ? 0 : static_cast<int32_t>(it - members_.begin()) + 1;
  return kGroupDone;
}

bool CheckPartBase::IsSelected(const CheckPartBase* part) const {
  if (!isLeader_) return false;
  if (selectedIndex_ == 0) return part == this;
  return static_cast<size_t>(selectedIndex_) <= members_.size() &&
         members_[static_cast<size_t>(selectedIndex_) - 1] == part;
}

int CheckPartBase::StoreSelection() {
  if (leader_) return leader_->StoreSelection();
  SetLocked(true);
  if (IsRadio()) {
    PointerManager* writer = GetOwner() ? GetOwner() : ThePointerTip();
    auto store = [&](CheckPartBase* part) {
      if (part->stateVar_ && writer) writer->WriteScriptWord(part->stateVar_, selectedIndex_);
    };
    store(this);
    for (CheckPartBase* member : members_) store(member);
  }
  return kGroupDone;
}

void CheckPartBase::SetLocked(bool locked) {
  if (leader_) {
    leader_->SetLocked(locked);
    return;
  }
  if (locked == locked_) return;
  std::vector<CheckPartBase*> group{this};
  group.insert(group.end(), members_.begin(), members_.end());
  const bool enable = state_ < kCheckDisabled;
  for (CheckPartBase* part : group) {
    PointerManager* owner = part->GetOwner();
    if (locked && owner && GetOwner()) owner->LetGo(part, true);
    part->locked_ = locked;
    part->enabled_ = locked ? false : enable;
  }
}

int CheckPartBase::AddMember(CheckPartBase* part) {
  if (!part) return kGroupNone;
  if (leader_) return leader_->AddMember(part);
  if (std::find(members_.begin(), members_.end(), part) != members_.end()) return kGroupBadIndex;
  members_.push_back(part);
  return kGroupDone;
}

int CheckPartBase::RemoveMember(CheckPartBase* part) {
  if (!part) return kGroupNone;
  auto it = std::find(members_.begin(), members_.end(), part);
  if (it == members_.end()) return kGroupBadIndex;
  int32_t index = static_cast<int32_t>(it - members_.begin()) + 1;
  members_.erase(it);
  if (index == selectedIndex_) {
    selectedIndex_ = 0;
    (void)SetState(kCheckChecked);  // a state change only shows another cell and cannot fail
  } else if (index < selectedIndex_) {
    // The later members moved up one place: keep naming the same part.
    --selectedIndex_;
  }
  return kGroupDone;
}

void CheckPartBase::LeaveGroup() {
  if (isLeader_) {
    for (CheckPartBase* member : members_) member->ClearLeader();
    members_.clear();
    isLeader_ = false;
  } else if (leader_) {
    (void)leader_->RemoveMember(this);  // a part not in the group has nothing to leave
    leader_ = nullptr;
  }
}

bool CheckPartBase::SetEnabled(bool enabled) {
  if (locked_) return false;
  if (isLeader_) {
    // False only when the flag was already so.
    for (CheckPartBase* member : members_) (void)member->SetEnabled(enabled);
  }
  if (!UiControl::SetEnabled(enabled)) return false;
  if (enabled) {
    // A state change only shows another cell and cannot fail.
    (void)SetState(state_ == kCheckDisabledChecked ? kCheckChecked : kCheckNormal);
  } else {
    (void)SetState(IsChecked() ? kCheckDisabledChecked : kCheckDisabled);
  }
  return true;
}

bool CheckPartBase::HitTest(int32_t x, int32_t y) const {
  if (locked_) return false;
  // The selected radio button neither takes the hover nor clicks.
  if (IsRadio()) {
    const CheckPartBase* head = leader_ ? leader_ : this;
    if (head->IsSelected(this)) return false;
  }
  return boxHit_ ? ClickablePart::HitTest(x, y) : PixelHitTest(x, y);
}

void CheckPartBase::OnPointerOver(int32_t /*x*/, int32_t /*y*/) {
  if (state_ != kCheckNormal && state_ != kCheckChecked) return;
  (void)SetState(Shifted(state_, 1));  // a state change only shows another cell and cannot fail
  EnterEffects();
}

// Hover and pressed go back to the unchecked or checked rest state; true when they did.
bool CheckPartBase::DropHover() {
  switch (state_) {
    case kCheckHover:
    case kCheckPressed:
      (void)SetState(kCheckNormal);  // a state change only shows another cell and cannot fail
      return true;
    case kCheckCheckedHover:
    case kCheckCheckedPressed:
      (void)SetState(kCheckChecked);
      return true;
    default:
      return false;
  }
}

void CheckPartBase::OnPointerLeave() {
  if (DropHover()) LeaveEffects(true);
}

void CheckPartBase::OnFocusLost(UiControl* /*next*/) {
  if (DropHover()) LeaveEffects(false);
}

bool CheckPartBase::OnPointerInput(int32_t /*x*/, int32_t /*y*/, Mouse* mouse) {
  if (!mouse) return false;
  if ((state_ == kCheckHover || state_ == kCheckCheckedHover) &&
      mouse->IsButtonPressed(kButtonLeft)) {
    (void)SetState(Shifted(state_, 1));  // a state change only shows another cell and cannot fail
    DisarmKey();
    return true;
  }
  if ((state_ == kCheckPressed || state_ == kCheckCheckedPressed) && !IsKeyArmed() &&
      !mouse->IsButtonDown(kButtonLeft)) {
    CompleteClick(true);
    return true;
  }
  return false;
}

void CheckPartBase::CompleteClick(bool fromPointer) {
  const bool wasChecked = IsChecked();
  if (!IsRadio()) {
    // A state change only shows another cell and cannot fail.
    (void)SetState(wasChecked ? kCheckHover : kCheckCheckedHover);
    (void)FireAction();  // a part that does not fire has nothing more to do
    return;
  }
  // A state change only shows another cell and cannot fail.
  (void)SetState(wasChecked ? kCheckNormal : kCheckChecked);
  (void)Head()->Select(this);  // the part is a member of its own group
  // False only when nothing was hovered.
  if (fromPointer && GetOwner()) GetOwner()->ReleaseHover();
  (void)FireAction();
}

void CheckPartBase::OnFocusGot(UiControl* /*previous*/, bool forward) {
  PointerManager* owner = GetOwner();
  if (!owner) return;
  if (locked_ || (IsRadio() && Head()->IsSelected(this))) {
    owner->PassFocusOn(forward);
    return;
  }
  int mode = owner->GetFocusPointerMode();
  if (mode == kFocusPointerCentre) {
    owner->SetPointerPosition(GetX() + (width_ >> 1), GetY() + (height_ >> 1));
    return;
  }
  if (state_ == kCheckNormal || state_ == kCheckChecked) {
    (void)SetState(Shifted(state_, 1));  // a state change only shows another cell and cannot fail
    EnterEffects();
  }
  if (mode == kFocusPointerParks) owner->ParkPointer();
}

bool CheckPartBase::OnKeyInput(InputBindingTable* bindings) {
  PointerManager* owner = GetOwner();
  uint32_t now = owner ? owner->GetTime() : 0;
  if (state_ == kCheckHover || state_ == kCheckCheckedHover) {
    DisarmKey();
    if (!bindings || !bindings->IsActionPressed(kActionDecide)) return false;
    if (layout_ == 1 || layout_ == 3) {
      // No pressed pictures: the click completes at once.
      CompleteClick(false);
    } else {
      (void)SetState(Shifted(state_, 1));  // a state change only shows another cell and cannot fail
      ArmKeyRelease(now);
    }
    return true;
  }
  if (state_ == kCheckPressed || state_ == kCheckCheckedPressed) {
    if (KeyReleaseDue(now)) {
      DisarmKey();
      CompleteClick(false);
    }
    return true;
  }
  DisarmKey();
  return false;
}

CheckPart::~CheckPart() {
  Release();
  ReleaseAction();
}

int CheckPart::SetPosition(int32_t x, int32_t y) {
  const int32_t dx = x - GetX();
  const int32_t dy = y - GetY();
  sprite_.SetPos(x, y);
  if (isLeader_) {
    for (CheckPartBase* member : members_) {
      // Moving a part that is made cannot fail.
      (void)member->SetPosition(member->GetX() + dx, member->GetY() + dy);
    }
  }
  return 0;
}

void CheckPart::SetVisible(bool visible) {
  ReleaseFocusAndHover(visible);
  sprite_.SetVisible(visible);
}

int CheckPart::SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) {
  if (!target_) return kCreateBadArguments;
  if (PlaceInList(target_, &sprite_, order, tag, keepWhenEqual)) group_ = tag;
  order_ = order;
  return kCreateDone;
}

int CheckPart::SetState(uint32_t state) {
  uint8_t next = static_cast<uint8_t>(state);
  if (next == state_) return 0;
  state_ = next;
  WriteStateVar();
  if (width_ > 0) {
    int32_t cell = CellOf(next);
    Rect source{width_ * cell, 0, width_ * (cell + 1), height_};
    // A sprite that cannot take it is shown as it was.
    (void)sprite_.SetSourceRect(&source);
  }
  return 0;
}

bool CheckPart::PixelHitTest(int32_t x, int32_t y) const {
  if (!sprite_.GetSource()) return false;
  return sprite_.HitTest(x, y, true);
}

void CheckPart::Release() {
  if (DisplayObjectList* list = sprite_.GetOwnerList()) list->Remove(&sprite_);
  sprite_.Reset();
  picture_.reset();
  imageFile_.clear();
  width_ = 0;
}

bool CheckPart::BeginCreate(DisplayObjectList* list, int layout) {
  if (!list || layout < 0 || layout >= kCheckLayouts) return false;
  LeaveGroup();
  if (list != target_) {
    Release();
  } else {
    // The same list: the sprite keeps its place in it.
    sprite_.Reset();
    picture_.reset();
  }
  target_ = list;
  layout_ = static_cast<uint8_t>(layout);
  return true;
}

int CheckPart::Finish(ImageSurface& picture, const CheckPicture& look, int32_t group) {
  hasDisabledCell_ = look.hasDisabledCell;
  width_ = picture.GetWidth() / CellCount();
  height_ = picture.GetHeight();
  Rect first{0, 0, width_, height_};
  // A sprite that cannot take the picture keeps the one it had.
  (void)sprite_.SetImage(&picture, &first, look.x, look.y);
  // A mode out of range keeps the one in force.
  (void)sprite_.SetDrawMode(look.blendMode);
  sprite_.SetAlpha(look.alpha);
  (void)SetOrder(look.order, group, true);  // the list is set by now, so placing cannot fail
  stateVar_ = look.stateVar;
  int result = JoinGroup(look.groupLeader);
  if (result != kCreateDone) Release();
  return result;
}

int CheckPart::CreateFromFile(DisplayObjectList* list, const char* fileName,
                              const CheckPicture& look, int32_t group) {
  if (!fileName || !BeginCreate(list, look.layout)) return kCreateBadArguments;
  auto picture = std::make_unique<ImageSurface>();
  if (picture->Load(fileName, nullptr, 0, kImageDibSection) != 0) return kCreateNoPicture;
  if (!ApplyPictureColorKey(picture.get(), look.colorKeyA, look.colorKeyB) && look.blendMode == 0) {
    boxHit_ = true;
  }
  picture_ = std::move(picture);
  int result = Finish(*picture_, look, group);
  if (result == kCreateDone) imageFile_ = fileName;
  return result;
}

int CheckPart::CreateFromSurface(DisplayObjectList* list, ImageSurface* surface,
                                 const CheckPicture& look, int32_t group) {
  if (!surface || !surface->GetPixels() || !BeginCreate(list, look.layout)) {
    return kCreateBadArguments;
  }
  if (surface->GetColorKey() == kNoColorKey && look.blendMode == 0) boxHit_ = true;
  return Finish(*surface, look, group);
}

}  // namespace bw
