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
  if (!enabled && owner_) owner_->LetGo(this, true);
  enabled_ = enabled;
  return true;
}

void UiControl::ReleaseFocusAndHover(bool visible) {
  if (owner_) owner_->LetGo(this, !visible);
}

void UiControl::SetTooltipText(const char* text) {
  if (!tooltip_.empty() && owner_) owner_->HideTooltipOf(this);
  tooltip_ = text ? text : "";
}

void UiControl::SetNeighbours(UiControl* left, UiControl* right, UiControl* up, UiControl* down) {
  neighbours_[kNavigateUp] = up;
  neighbours_[kNavigateDown] = down;
  neighbours_[kNavigateLeft] = left;
  neighbours_[kNavigateRight] = right;
}

}  // namespace bw
