#include "gui/scroll_button_part.h"

#include <algorithm>

#include "gui/pointer_manager.h"
#include "gui/scroll_list_part.h"
#include "input/mouse.h"

namespace bw {

namespace {

constexpr uint32_t kEmbossLight = 0x00FFFFFF;
constexpr uint32_t kEmbossShade = 0x00808080;

}  // namespace

bool ScrollButtonPart::OnPointerInput(int32_t /*x*/, int32_t /*y*/, Mouse* mouse) {
  if (!mouse) return false;
  PointerManager* owner = GetOwner();
  const uint32_t now = owner ? owner->GetTime() : 0;
  if (state_ == kStateHover) {
    if (!mouse->IsButtonPressed(kButtonLeft)) return false;
    (void)SetState(kStatePressed);  // a state change only shows another cell and cannot fail
    DisarmKey();
    // Unlike a push button, an arrow steps on the press.
    (void)FireAction();  // a part that does not fire has nothing more to do
    repeatAt_ = now + kRepeatFirstMs;
    return true;
  }
  if (state_ != kStatePressed) return false;
  if (!mouse->IsButtonDown(kButtonLeft)) {
    (void)SetState(kStateHover);
  } else if (static_cast<int32_t>(now - repeatAt_) >= 0) {
    (void)FireAction();
    repeatAt_ = now + kRepeatNextMs;
  }
  return true;
}

bool ScrollButtonPart::FireAction() {
  if (list_) (void)list_->StepBy((direction_ & 1) != 0);  // a bar at its end has nowhere to step
  return ButtonPart::FireAction();
}

void ScrollButtonPart::DrawFace(ImageSurface* surface, const Rect& rect, bool disabled) {
  if (disabled) {
    DrawArrow(surface, Rect{rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1},
              kEmbossLight);
    DrawArrow(surface, rect, kEmbossShade);
  } else {
    DrawArrow(surface, rect, arrowColor_);
  }
}

// A triangle of rows 1, 3, 5, ... pixels long, its tip towards the arrow's direction.
void ScrollButtonPart::DrawArrow(ImageSurface* surface, const Rect& rect, uint32_t color) const {
  const bool vertical = direction_ == kArrowUp || direction_ == kArrowDown;
  // Along is the way the rows stack; across is the row's own length.
  int32_t along = vertical ? rect.bottom - rect.top : rect.right - rect.left;
  int32_t across = vertical ? rect.right - rect.left : rect.bottom - rect.top;
  if (along <= 0 || across <= 0) return;
  const int32_t rows = (along + 2) / 3;
  if (across % 2 == 0) --across;
  const int32_t half = across / 2;
  const bool tipFirst = direction_ == kArrowUp || direction_ == kArrowLeft;
  int32_t at = tipFirst ? along / 3 : along / 3 + rows - 1;
  const int32_t next = tipFirst ? 1 : -1;
  for (int32_t k = 0; k < rows; ++k, at += next) {
    const int32_t start = std::max(half - k, 0);
    const int32_t end = std::min(half + k + 1, across);
    if (start >= end) continue;
    Rect row = vertical
                   ? Rect{rect.left + start, rect.top + at, rect.left + end, rect.top + at + 1}
                   : Rect{rect.left + at, rect.top + start, rect.left + at + 1, rect.top + end};
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)surface->Fill(color, &row);
  }
}

}  // namespace bw
