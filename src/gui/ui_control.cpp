#include "gui/ui_control.h"

#include "common/gone_notice.h"
#include "gui/pointer_manager.h"

namespace bw {

UiControl::~UiControl() {
  NotifyGone(this);
  SetTooltipText(nullptr);
  if (owner_) owner_->RemoveControl(this);
}

bool UiControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return false;
  if (!enabled && owner_) {
    if (owner_->IsFocus(this)) (void)owner_->SetFocus(nullptr);  // clearing the focus cannot fail
    if (owner_->IsHover(this)) (void)owner_->ReleaseHover();  // false only when nothing was hovered
  }
  enabled_ = enabled;
  return true;
}

void UiControl::SetTooltipText(const char* text) {
  // The tooltip counts as hidden whatever its box answers.
  if (!tooltip_.empty() && owner_ && owner_->IsHover(this)) (void)owner_->HideTooltip();
  tooltip_ = text ? text : "";
}

void UiControl::SetNeighbours(UiControl* left, UiControl* right, UiControl* up, UiControl* down) {
  neighbours_[kNavigateUp] = up;
  neighbours_[kNavigateDown] = down;
  neighbours_[kNavigateLeft] = left;
  neighbours_[kNavigateRight] = right;
}

}  // namespace bw
