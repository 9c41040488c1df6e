#include "gui/hit_area_part.h"

#include <algorithm>
#include <limits>

#include "gui/pointer_manager.h"
#include "input/input_binding_table.h"
#include "input/mouse.h"

namespace bw {

namespace {

// A side's middle, kept inside the coordinate range for areas that reach past it.
int32_t Middle(int32_t start, int32_t length) {
  return static_cast<int32_t>(
      std::min<int64_t>(int64_t{start} + (length >> 1), std::numeric_limits<int32_t>::max()));
}

}  // namespace

int HitAreaPart::Create(int32_t x, int32_t y, int32_t width, int32_t height, int32_t centerX,
                        int32_t centerY, bool hitEnabled, bool fireEnabled, int32_t group) {
  if (width < 1 || height < 1) return kCreateBadArguments;
  x_ = x;
  y_ = y;
  width_ = width;
  height_ = height;
  centerX_ = centerX < 0 ? Middle(x, width) : centerX;
  centerY_ = centerY < 0 ? Middle(y, height) : centerY;
  hitEnabled_ = hitEnabled;
  fireEnabled_ = fireEnabled;
  group_ = group;
  return kCreateDone;
}

int HitAreaPart::SetPosition(int32_t x, int32_t y) {
  x_ = x;
  y_ = y;
  return 0;
}

bool HitAreaPart::HitTest(int32_t x, int32_t y) const {
  return hitEnabled_ && ClickablePart::HitTest(x, y);
}

void HitAreaPart::OnPointerOver(int32_t /*x*/, int32_t /*y*/) {
  if (hovered_) return;
  hovered_ = true;
  EnterEffects();
}

void HitAreaPart::OnPointerLeave() {
  if (!hovered_) return;
  hovered_ = false;
  LeaveEffects(true);
}

bool HitAreaPart::OnPointerInput(int32_t /*x*/, int32_t /*y*/, Mouse* mouse) {
  if (!hovered_ || !mouse || !mouse->IsButtonPressed(kButtonLeft)) return false;
  return FireAction();
}

void HitAreaPart::OnFocusGot(UiControl* /*previous*/, bool /*forward*/) {
  PointerManager* owner = GetOwner();
  int mode = owner ? owner->GetFocusPointerMode() : kFocusPointerStays;
  if (mode == kFocusPointerCentre) {
    owner->SetPointerPosition(centerX_, centerY_);
    return;
  }
  if (!hovered_) {
    hovered_ = true;
    EnterEffects();
  }
  if (mode == kFocusPointerParks) owner->ParkPointer();
}

void HitAreaPart::OnFocusLost(UiControl* /*next*/) {
  if (!hovered_) return;
  hovered_ = false;
  LeaveEffects(false);
}

bool HitAreaPart::OnKeyInput(InputBindingTable* bindings) {
  if (!hovered_ || !bindings || !bindings->IsActionPressed(kActionDecide)) return false;
  return FireAction();
}

bool HitAreaPart::FireAction() {
  return fireEnabled_ && ClickablePart::FireAction();
}

}  // namespace bw
