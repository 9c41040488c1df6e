#include "gui/color_box_part.h"

#include "graphics/surface/display_object.h"
#include "gui/pointer_manager.h"

namespace bw {

ColorBoxPart::~ColorBoxPart() {
  DetachFromTarget();
  ReleaseAction();
}

int ColorBoxPart::SetPosition(int32_t x, int32_t y) {
  rect_.SetPos(x, y);
  return 0;
}

void ColorBoxPart::SetVisible(bool visible) {
  ReleaseFocusAndHover(visible);
  rect_.SetVisible(visible);
}

int ColorBoxPart::SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) {
  if (!target_) return kCreateBadArguments;
  if (PlaceInList(target_, &rect_, order, tag, keepWhenEqual)) group_ = tag;
  order_ = order;
  return kCreateDone;
}

void ColorBoxPart::DetachFromTarget() {
  if (target_) target_->Remove(&rect_);
  target_ = nullptr;
  width_ = 0;
}

int ColorBoxPart::AttachToTarget(DisplayObjectList* list) {
  if (!target_ || !list || !rect_.GetOwnerList()) return kCreateBadArguments;
  target_->Remove(&rect_);
  target_ = list;
  // An object already listed stays where it is.
  (void)list->Add(&rect_, static_cast<uint32_t>(order_), static_cast<uint32_t>(group_));
  return kCreateDone;
}

int ColorBoxPart::Create(DisplayObjectList* list, int32_t order, int32_t x, int32_t y,
                         int32_t width, int32_t height, uint32_t normalColor, uint32_t hoverColor,
                         uint32_t pressedColor, int32_t group) {
  if (!list || width < 1 || height < 1) return kCreateBadArguments;
  // The same list: the rectangle stays where it is.
  if (list == target_) target_ = nullptr;
  DetachFromTarget();
  target_ = list;
  if (normalColor != kKeepColor) normalColor_ = normalColor;
  if (rect_.Create(width, height, normalColor_, x, y) != 0) return kCreateNoPicture;
  width_ = width;
  height_ = height;
  if (hoverColor != kKeepColor) hoverColor_ = hoverColor;
  if (pressedColor != kKeepColor) pressedColor_ = pressedColor;
  (void)SetOrder(order, group, true);  // the list is set by now, so placing cannot fail
  return kCreateDone;
}

int ColorBoxPart::SetState(uint32_t state) {
  uint8_t low = static_cast<uint8_t>(state);
  if (low == state_) return 0;
  state_ = low;
  uint32_t color = state;
  if (state == kStateNormal) color = normalColor_;
  if (state == kStateHover) color = hoverColor_;
  if (state == kStatePressed) color = pressedColor_;
  rect_.SetArgb(color);
  return 0;
}

int ColorBoxPart::Resize(int32_t width, int32_t height) {
  if (width_ == 0 && height_ == 0) return kCreateBadArguments;
  if (width <= 0) width = width_;
  if (height <= 0) height = height_;
  rect_.Resize(width, height);
  width_ = width;
  height_ = height;
  return kCreateDone;
}

}  // namespace bw
