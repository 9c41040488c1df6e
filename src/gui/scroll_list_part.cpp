#include "gui/scroll_list_part.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "graphics/surface/display_object.h"
#include "gui/check_part.h"
#include "gui/color_box_part.h"
#include "gui/pointer_manager.h"
#include "gui/pointer_tip.h"
#include "input/input_binding_table.h"
#include "input/keyboard_device.h"
#include "input/mouse.h"

namespace bw {

namespace {

constexpr int kCodeHome = 0xC7;
constexpr int kCodeEnd = 0xCF;
constexpr int32_t kSmallestBar = 8;
constexpr int32_t kDrawnThumbDepth = 4;

int32_t Clamp64(int64_t value, int32_t low, int32_t high) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, low, high));
}

// The scaled position: a × b / c in 64 bits, so long contents and tracks cannot overflow.
int32_t Scale(int32_t a, int32_t b, int32_t c) {
  return c > 0 ? static_cast<int32_t>(static_cast<int64_t>(a) * b / c) : 0;
}

// Stretches source along the axis into target, which is as wide across: the leading and trailing
// edges stay, the middle piece repeats and its last copy is cut to fit.
void ComposeAlong(ImageSurface* target, const ImageSurface& source, int32_t startEdge,
                  int32_t endEdge, bool vertical) {
  const int32_t length = vertical ? target->GetHeight() : target->GetWidth();
  const int32_t sourceLength = vertical ? source.GetHeight() : source.GetWidth();
  const int32_t across = vertical ? std::min(target->GetWidth(), source.GetWidth())
                                  : std::min(target->GetHeight(), source.GetHeight());
  if (sourceLength <= 0 || across <= 0) return;
  const int32_t middle = std::max(sourceLength - startEdge - endEdge, 1);
  for (int32_t r = 0; r < length; ++r) {
    int32_t s;
    if (r < startEdge) {
      s = r;
    } else if (r >= length - endEdge) {
      s = sourceLength - (length - r);
    } else {
      s = startEdge + (r - startEdge) % middle;
    }
    s = std::clamp(s, 0, sourceLength - 1);
    if (vertical) {
      std::memcpy(target->GetRowPointer(r), source.GetRowPointer(s),
                  4 * static_cast<size_t>(across));
    } else {
      for (int32_t y = 0; y < across; ++y) {
        std::memcpy(target->GetRowPointer(y) + 4 * r, source.GetRowPointer(y) + 4 * s, 4);
      }
    }
  }
  target->SetChanged(true);
}

void CopyColorKey(ImageSurface* target, const ImageSurface& source) {
  const uint32_t key = source.GetColorKey();
  // A picture without pixels has no key to set.
  if (key != kNoColorKey)
    (void)target->SetColorKeyRgb((key >> 16) & 0xFF, (key >> 8) & 0xFF, key & 0xFF);
}

[[nodiscard]] bool LoadPicture(ImageSurface* picture, const char* file) {
  if (picture->Load(file, nullptr, 0, kImageDibSection) != 0) return false;
  return picture->GetBitsPerPixel() == 32 || picture->ConvertDepth(32) == 0;
}

}  // namespace

// --- The behaviour of a bar ---------------------------------------------------------------

ScrollContainerBase::~ScrollContainerBase() = default;

void ScrollContainerBase::ForgetGone(const void* object) {
  if (backButton_) backButton_->ForgetGone(object);
  if (forwardButton_) forwardButton_->ForgetGone(object);
}

int32_t ScrollContainerBase::BackLength() const {
  if (!backButton_) return 0;
  return vertical_ ? backButton_->GetHeight() : backButton_->GetWidth();
}

bool ScrollContainerBase::SetEnabled(bool enabled) {
  // False only when the flag was already so.
  if (backButton_) (void)backButton_->SetEnabled(enabled);
  if (forwardButton_) (void)forwardButton_->SetEnabled(enabled);
  if (!UiControl::SetEnabled(enabled)) return false;
  (void)SetPartState(0,
                     enabled ? kBarNormal : kBarDisabled);  // the bar itself always takes a state
  return true;
}

int ScrollContainerBase::AddToPointerManager(PointerManager* manager, int32_t position) {
  if (!manager) return kAddControlNull;
  if (GetOwner()) return kPartRegistered;
  auto at = [position](int32_t k) { return position < 0 ? -1 : position + k; };
  int32_t next = 0;
  // A part made here belongs to no manager yet.
  if (backButton_) (void)manager->AddControl(backButton_.get(), at(next++));
  int result = manager->AddControl(this, at(next++));
  if (forwardButton_) (void)manager->AddControl(forwardButton_.get(), at(next));
  manager_ = manager;
  return result;
}

bool ScrollContainerBase::RemoveFromPointerManager() {
  if (!manager_) return false;
  GiveCaptureBack();
  if (backButton_) manager_->RemoveControl(backButton_.get());
  manager_->RemoveControl(this);
  if (forwardButton_) manager_->RemoveControl(forwardButton_.get());
  manager_ = nullptr;
  return true;
}

int ScrollContainerBase::StepBy(bool forward) {
  if (step_ > 0) {
    return SetScrollPosition(static_cast<int64_t>(scrollPos_) + (forward ? step_ : -step_));
  }
  if (step_ < 0) {
    // A negative step counts pixels of thumb travel.
    return SetThumbPosition(static_cast<int64_t>(thumbPos_) +
                            (forward ? -static_cast<int64_t>(step_) : step_));
  }
  return Step(forward);
}

void ScrollContainerBase::UpdateArrows() {
  bool back = true;
  bool forward = true;
  if (thumbPos_ < 1 && scrollPos_ < 1) {
    back = false;
  } else if (scrollPos_ >= scrollMax_) {
    forward = false;
  }
  if (backButton_) (void)backButton_->SetEnabled(back);  // false only when the flag was already so
  if (forwardButton_) (void)forwardButton_->SetEnabled(forward);
}

void ScrollContainerBase::GiveCaptureBack() {
  if (!capturing_) return;
  capturing_ = false;
  PointerManager* owner = GetOwner() ? GetOwner() : manager_;
  // Letting go also forgets the pointer, so the next update hit-tests again.
  if (owner) owner->SetCaptured(false);
}

void ScrollContainerBase::ReturnToHoverTest() {
  int32_t px = -1;
  int32_t py = -1;
  if (GetOwner()) GetOwner()->GetPointerPosition(&px, &py);
  // The bar itself always takes a state.
  (void)SetPartState(0, HitTestTrack(px, py) ? kBarHover : kBarNormal);
}

bool ScrollContainerBase::OnPointerInput(int32_t x, int32_t y, Mouse* mouse) {
  if (!mouse) return false;
  PointerManager* owner = GetOwner();
  const uint32_t now = owner ? owner->GetTime() : 0;
  const int32_t c = Axis(x, y);
  const int32_t thumbStart = thumbPos_ + ThumbOffsetAlong();
  if (barState_ == kBarHover && mouse->IsButtonPressed(kButtonLeft)) {
    dragCoord_ = c;
    pageDirection_ = c < thumbStart ? -1 : (c >= thumbStart + thumbLength_ ? 1 : 0);
    auto capture = [this, owner]() {
      if (owner && !capturing_) {
        owner->SetCaptured(true);
        capturing_ = true;
      }
    };
    if (pageDirection_ == 0 && trackClickMode_ == 0) capture();
    sounds_.PlayClick(GetOwner());
    bool pressed = true;
    if (trackClickMode_ != 0) {
      // Centre the thumb on the pointer.
      // An empty or unmoved bar has nothing to move.
      (void)SetThumbPosition(static_cast<int64_t>(c) - ThumbOffsetAlong() - thumbLength_ / 2);
      if (trackClickMode_ == 1 && pageDirection_ != 0) return true;
      pageDirection_ = 0;
      capture();
    } else if (pageDirection_ != 0) {
      if (SetThumbPosition(static_cast<int64_t>(thumbPos_) +
                           static_cast<int64_t>(pageDirection_) * thumbLength_) == 0) {
        repeatAt_ = now + kRepeatFirstMs;
      } else {
        // Already at that end: the press is only a wheel test.
        pressed = false;
      }
    }
    if (pressed) {
      (void)SetPartState(0, kBarPressed);  // the bar itself always takes a state
      return true;
    }
  } else if (barState_ == kBarPressed) {
    if (mouse->IsButtonDown(kButtonLeft)) {
      if (pageDirection_ == 0) {
        if (SetThumbPosition(static_cast<int64_t>(thumbPos_) - dragCoord_ + c) == 0) dragCoord_ = c;
      } else if (static_cast<int32_t>(now - repeatAt_) >= 0) {
        const int moved = SetThumbPosition(static_cast<int64_t>(thumbPos_) +
                                           static_cast<int64_t>(pageDirection_) * thumbLength_);
        const int32_t start = thumbPos_ + ThumbOffsetAlong();
        const bool reached = pageDirection_ < 0 ? c >= start : c < start + thumbLength_;
        if (moved != 0 || reached) {
          ReturnToHoverTest();
        } else {
          sounds_.PlayClick(GetOwner());
          repeatAt_ = now + kRepeatNextMs;
        }
      }
      return true;
    }
    ReturnToHoverTest();
    GiveCaptureBack();
    return true;
  }
  if (mouse->IsButtonPressed(kButtonWheelUp)) {
    (void)StepBy(false);  // a bar at its end has nowhere to step
    return true;
  }
  if (mouse->IsButtonPressed(kButtonWheelDown)) {
    (void)StepBy(true);
    return true;
  }
  return false;
}

void ScrollContainerBase::OnPointerOver(int32_t /*x*/, int32_t /*y*/) {
  if (barState_ != kBarNormal) return;
  (void)SetPartState(0, kBarHover);  // the bar itself always takes a state
  sounds_.PlayEnter(GetOwner());
}

void ScrollContainerBase::OnPointerLeave() {
  GiveCaptureBack();
  if (barState_ != kBarHover && barState_ != kBarPressed) return;
  (void)SetPartState(0, kBarNormal);  // the bar itself always takes a state
  sounds_.PlayLeave(GetOwner());
}

void ScrollContainerBase::OnFocusGot(UiControl* /*previous*/, bool /*forward*/) {
  PointerManager* owner = GetOwner();
  if (!owner) return;
  const int mode = owner->GetFocusPointerMode();
  if (mode == kFocusPointerCentre) {
    owner->SetPointerPosition(GetX() + (vertical_ ? 0 : BackLength()) + GetWidth() / 2,
                              GetY() + (vertical_ ? BackLength() : 0) + GetHeight() / 2);
    return;
  }
  if (barState_ == kBarNormal) {
    (void)SetPartState(0, kBarHover);  // the bar itself always takes a state
    sounds_.PlayEnter(owner);
  }
  if (mode == kFocusPointerParks) owner->ParkPointer();
}

void ScrollContainerBase::OnFocusLost(UiControl* /*next*/) {
  // The bar itself always takes a state.
  if (barState_ == kBarHover || barState_ == kBarPressed) (void)SetPartState(0, kBarNormal);
}

bool ScrollContainerBase::OnKeyInput(InputBindingTable* bindings) {
  if (!bindings) return false;
  if (bindings->IsActionPressed(vertical_ ? kNavigateUp : kNavigateLeft)) {
    (void)StepBy(false);  // a bar at its end has nowhere to step
    return true;
  }
  if (bindings->IsActionPressed(vertical_ ? kNavigateDown : kNavigateRight)) {
    (void)StepBy(true);
    return true;
  }
  if (pageBackAction_ != 0 && bindings->IsActionPressed(pageBackAction_)) {
    // An empty or unmoved bar has nothing to move.
    (void)SetThumbPosition(static_cast<int64_t>(thumbPos_) - thumbLength_);
    return true;
  }
  if (pageForwardAction_ != 0 && bindings->IsActionPressed(pageForwardAction_)) {
    // An empty or unmoved bar has nothing to move.
    (void)SetThumbPosition(static_cast<int64_t>(thumbPos_) + thumbLength_);
    return true;
  }
  KeyboardDevice* keyboard = GetOwner() ? GetOwner()->GetKeyboard() : nullptr;
  if (keyboard && keyboard->IsKeyPressed(kCodeHome)) {
    (void)SetThumbPosition(0);
    return true;
  }
  if (keyboard && keyboard->IsKeyPressed(kCodeEnd)) {
    (void)SetThumbPosition(thumbMax_);
    return true;
  }
  return false;
}

// --- The picture --------------------------------------------------------------------------

ScrollListPart::ScrollListPart() = default;

ScrollListPart::~ScrollListPart() {
  GiveCaptureBack();
  Release();
  (void)RemoveFromPointerManager();  // false when it was in no manager
}

void ScrollListPart::PlaceThumb() {
  if (thumbPos_ < 0) return;
  thumbSprite_.SetPos(x_ + thumbOffsetX_ + (vertical_ ? 0 : thumbPos_),
                      y_ + thumbOffsetY_ + (vertical_ ? thumbPos_ : 0));
}

int ScrollListPart::SetPosition(int32_t x, int32_t y) {
  x_ = x;
  y_ = y;
  const int32_t back = BackLength();
  if (backButton_) (void)backButton_->SetPosition(x, y);  // moving a part that is made cannot fail
  if (trackSprite_) trackSprite_->SetPos(vertical_ ? x : x + back, vertical_ ? y + back : y);
  if (forwardButton_) {
    (void)forwardButton_->SetPosition(vertical_ ? x : x + back + trackWidth_,
                                      vertical_ ? y + back + trackHeight_ : y);
  }
  PlaceThumb();
  return 0;
}

void ScrollListPart::SetVisible(bool visible) {
  ReleaseFocusAndHover(visible);
  visible_ = visible;
  if (backButton_) backButton_->SetVisible(visible);
  if (trackSprite_) trackSprite_->SetVisible(visible);
  if (thumbPos_ >= 0) thumbSprite_.SetVisible(visible);
  if (forwardButton_) forwardButton_->SetVisible(visible);
}

int ScrollListPart::SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) {
  if (!target_) return kCreateBadArguments;
  if (trackSprite_) PlaceInList(target_, trackSprite_.get(), order, tag, keepWhenEqual);
  if (PlaceInList(target_, &thumbSprite_, order, tag, keepWhenEqual)) group_ = tag;
  // The list is set by now, so placing cannot fail.
  if (backButton_) (void)backButton_->SetOrder(order, tag, keepWhenEqual);
  if (forwardButton_) (void)forwardButton_->SetOrder(order, tag, keepWhenEqual);
  order_ = order;
  return kCreateDone;
}

int ScrollListPart::SetAlpha(int alpha) {
  thumbSprite_.SetAlpha(alpha);
  if (trackSprite_) trackSprite_->SetAlpha(alpha);
  // The part is made, so its opacity always takes.
  if (backButton_) (void)backButton_->SetAlpha(alpha);
  if (forwardButton_) (void)forwardButton_->SetAlpha(alpha);
  return 0;
}

int ScrollListPart::AttachToTarget(DisplayObjectList* target) {
  if (!target_ || !target || !thumbSprite_.GetOwnerList()) return kCreateBadArguments;
  for (Sprite* sprite : {&thumbSprite_, trackSprite_.get()}) {
    if (!sprite) continue;
    if (DisplayObjectList* old = sprite->GetOwnerList()) old->Remove(sprite);
    // An object already listed stays where it is.
    (void)target->Add(sprite, static_cast<uint32_t>(order_), static_cast<uint32_t>(group_));
  }
  // The arrows are optional: the list works without them.
  if (backButton_) (void)backButton_->AttachToTarget(target);
  if (forwardButton_) (void)forwardButton_->AttachToTarget(target);
  target_ = target;
  return kCreateDone;
}

void ScrollListPart::Release() {
  eventSink_ = nullptr;
  if (target_) {
    if (DisplayObjectList* list = thumbSprite_.GetOwnerList()) list->Remove(&thumbSprite_);
  }
  target_ = nullptr;
  thumbSprite_.Reset();
  thumbSurface_.Release();
  thumbSource_.reset();
  trackSprite_.reset();
  trackSurface_.reset();
  trackSource_.reset();
  backButton_.reset();
  forwardButton_.reset();
  thumbImageName_.clear();
  trackImageName_.clear();
}

void ScrollListPart::BeginCreate(DisplayObjectList* target) {
  // The same target: the thumb sprite keeps its place in it.
  if (target == target_) target_ = nullptr;
  Release();
  target_ = target;
  thumbPos_ = thumbMax_ = scrollPos_ = -1;
  thumbLength_ = 0;
  scrollMax_ = 0;
  barState_ = kBarNormal;
  drawn_ = false;
}

int ScrollListPart::FinishCreate(int result) {
  if (result != kCreateDone) Release();
  return result;
}

void ScrollListPart::ShowCell(Sprite* sprite, int32_t stride, int32_t cell) {
  Rect rect = sprite->GetSourceRect();
  if (vertical_) {
    rect.left = cell * stride;
    rect.right = rect.left + stride;
  } else {
    rect.top = cell * stride;
    rect.bottom = rect.top + stride;
  }
  // A sprite that cannot take it is shown as it was.
  (void)sprite->SetSourceRect(&rect);
}

int ScrollListPart::SetPartState(int which, uint8_t state) {
  if (which == 1 || which == 2) {
    ScrollButtonPart* button = which == 1 ? backButton_.get() : forwardButton_.get();
    if (!button) return which;
    (void)button->SetState(state);  // a state change only shows another cell and cannot fail
    return 0;
  }
  if (which != 0 || barState_ == state) return 0;
  barState_ = state;
  // A picture without a cell for the state shows the first one.
  const int32_t cell = state < cellCount_ ? state : 0;
  if (thumbSprite_.GetSource()) ShowCell(&thumbSprite_, thumbCellStride_, cell);
  if (!drawn_ && trackSprite_ && trackSprite_->GetSource()) {
    ShowCell(trackSprite_.get(), trackCellStride_, cell);
  }
  return 0;
}

bool ScrollListPart::HitTestTrack(int32_t x, int32_t y) const {
  if (trackSprite_) return trackSprite_->HitTest(x, y, !rectHitTest_);
  const int32_t back = BackLength();
  const int32_t left = vertical_ ? x_ : x_ + back;
  const int32_t top = vertical_ ? y_ + back : y_;
  return static_cast<uint32_t>(x - left) < static_cast<uint32_t>(trackWidth_) &&
         static_cast<uint32_t>(y - top) < static_cast<uint32_t>(trackHeight_);
}

int ScrollListPart::SetScrollPosition(int64_t position) {
  if (scrollPos_ < 0) return kScrollNothing;
  const int32_t pos = Clamp64(position, 0, scrollMax_);
  if (pos == scrollPos_) return kScrollUnchanged;
  thumbPos_ = Scale(thumbMax_, pos, scrollMax_);
  PlaceThumb();
  scrollPos_ = pos;
  if (eventSink_) eventSink_->OnFired(this, pos);
  UpdateArrows();
  return 0;
}

int ScrollListPart::SetThumbPosition(int64_t pixels) {
  if (scrollPos_ < 0) return kScrollNothing;
  const int32_t pos = Clamp64(pixels, 0, thumbMax_);
  if (pos == thumbPos_) return kScrollUnchanged;
  thumbPos_ = pos;
  PlaceThumb();
  scrollPos_ = Scale(scrollMax_, pos, thumbMax_);
  if (eventSink_) eventSink_->OnFired(this, scrollPos_);
  UpdateArrows();
  return 0;
}

int ScrollListPart::Step(bool forward) {
  if (thumbPos_ < 0) {
    if (forward && eventSink_) eventSink_->OnScrollEnd(this);
    return kScrollUnchanged;
  }
  const int32_t pos = forward ? std::min(scrollPos_ + 1, scrollMax_) : std::max(scrollPos_ - 1, 0);
  if (forward && pos == scrollPos_ && eventSink_) eventSink_->OnScrollEnd(this);
  const int32_t thumb = Scale(thumbMax_, pos, scrollMax_);
  if (thumb != thumbPos_) {
    thumbPos_ = thumb;
    PlaceThumb();
  }
  if (pos != scrollPos_) {
    scrollPos_ = pos;
    if (eventSink_) eventSink_->OnFired(this, pos);
  }
  UpdateArrows();
  return 0;
}

int ScrollListPart::SetRange(int32_t length, int32_t total, int32_t visible, int32_t position,
                             int32_t endInset, int32_t minThumb) {
  if (!target_ || total <= 0 || visible < 0) return kScrollNothing;
  if (drawn_) endInset = 0;
  const int32_t buttons =
      BackLength() +
      (forwardButton_ ? (vertical_ ? forwardButton_->GetHeight() : forwardButton_->GetWidth()) : 0);
  const int32_t trackLen = Clamp64(static_cast<int64_t>(length) - buttons, 0, INT32_MAX);
  if (trackSource_) {
    if (trackLen < 1) return kScrollNoTrack;
    const int32_t across = vertical_ ? trackSource_->GetWidth() : trackSource_->GetHeight();
    (vertical_ ? trackHeight_ : trackWidth_) = trackLen;
    const int mode = trackSprite_->GetDrawMode();
    if (trackSurface_->Create(vertical_ ? across : trackLen, vertical_ ? trackLen : across, 32,
                              kImagePlain) != 0) {
      return kScrollNoTrack;
    }
    ComposeAlong(trackSurface_.get(), *trackSource_, trackStartEdge_, trackEndEdge_, vertical_);
    CopyColorKey(trackSurface_.get(), *trackSource_);
    const int32_t cell = barState_ < cellCount_ && !drawn_ ? barState_ : 0;
    Rect rect = vertical_
                    ? Rect{cell * trackCellStride_, 0, (cell + 1) * trackCellStride_, trackLen}
                    : Rect{0, cell * trackCellStride_, trackLen, (cell + 1) * trackCellStride_};
    // A sprite that cannot take the picture keeps the one it had.
    (void)trackSprite_->SetImage(trackSurface_.get(), &rect, trackSprite_->GetX(),
                                 trackSprite_->GetY());
    // A mode out of range keeps the one in force.
    (void)trackSprite_->SetDrawMode(mode);
  } else {
    // A track picture shown as loaded keeps its size; the bar's track still spans the length,
    // so that the forward button comes after it.
    int32_t across;
    if (backButton_) {
      across = vertical_ ? backButton_->GetWidth() : backButton_->GetHeight();
    } else if (forwardButton_) {
      across = vertical_ ? forwardButton_->GetWidth() : forwardButton_->GetHeight();
    } else {
      across = vertical_ ? thumbSprite_.GetWidth() + 2 * thumbOffsetX_
                         : thumbSprite_.GetHeight() + 2 * thumbOffsetY_;
    }
    (vertical_ ? trackWidth_ : trackHeight_) = across;
    (vertical_ ? trackHeight_ : trackWidth_) = trackLen;
  }
  (void)SetPartState(0, kBarNormal);     // the bar itself always takes a state
  (void)SetOrder(order_, group_, true);  // the list is set by now, so placing cannot fail

  const int64_t avail = static_cast<int64_t>(trackLen) - trackInset_ - endInset;
  int64_t thumbLen = avail > 0 ? avail * visible / total : 0;
  const int64_t minimum =
      static_cast<int64_t>(std::max(minThumb, 1)) + thumbStartEdge_ + thumbEndEdge_;
  thumbLen = std::max(thumbLen, minimum);
  int32_t fixedLength = 0;
  if (!thumbSource_) fixedLength = vertical_ ? thumbSprite_.GetHeight() : thumbSprite_.GetWidth();
  // A fixed thumb longer than the room left has nothing to scroll either.
  if (thumbLen <= 0 || thumbLen >= avail || (!thumbSource_ && fixedLength > avail)) {
    thumbSprite_.SetVisible(false);
    scrollPos_ = thumbPos_ = -1;
    (void)SetEnabled(false);    // false only when the flag was already so
    (void)SetPosition(x_, y_);  // moving a part that is made cannot fail
    return kScrollUnchanged;
  }
  scrollMax_ = total - visible;
  if (thumbSource_) {
    thumbLength_ = static_cast<int32_t>(thumbLen);
    thumbMax_ = static_cast<int32_t>(avail - thumbLen);
    const int32_t across = vertical_ ? thumbSource_->GetWidth() : thumbSource_->GetHeight();
    const int mode = thumbSprite_.GetDrawMode();
    if (thumbSurface_.Create(vertical_ ? across : thumbLength_, vertical_ ? thumbLength_ : across,
                             32, kImagePlain) != 0) {
      return kScrollNoThumb;
    }
    ComposeAlong(&thumbSurface_, *thumbSource_, thumbStartEdge_, thumbEndEdge_, vertical_);
    CopyColorKey(&thumbSurface_, *thumbSource_);
    Rect rect = vertical_ ? Rect{0, 0, thumbCellStride_, thumbLength_}
                          : Rect{0, 0, thumbLength_, thumbCellStride_};
    // A sprite that cannot take the picture keeps the one it had.
    (void)thumbSprite_.SetImage(&thumbSurface_, &rect, thumbSprite_.GetX(), thumbSprite_.GetY());
    // A mode out of range keeps the one in force.
    (void)thumbSprite_.SetDrawMode(mode);
    ShowCell(&thumbSprite_, thumbCellStride_, barState_ < cellCount_ ? barState_ : 0);
  } else {
    thumbLength_ = fixedLength;
    thumbMax_ = static_cast<int32_t>(avail - fixedLength);
  }
  scrollPos_ = std::clamp(position, 0, scrollMax_);
  thumbPos_ = Scale(thumbMax_, scrollPos_, scrollMax_);
  thumbSprite_.SetVisible(visible_);
  (void)SetEnabled(true);
  (void)SetPosition(x_, y_);
  UpdateArrows();
  return 0;
}

int ScrollListPart::CreateDrawn(DisplayObjectList* target, const DrawnScrollBar& bar,
                                int32_t group) {
  const auto& [order, x, y, vertical, size, faceColor, trackColor, hoverColor, pressedColor,
               arrowColor] = bar;
  // The thumb picture holds three cells of the bar's size side by side.
  if (!target || size < kSmallestBar || int64_t{size} * 3 > std::numeric_limits<int32_t>::max()) {
    return kCreateBadArguments;
  }
  BeginCreate(target);
  vertical_ = vertical;
  drawn_ = true;
  cellCount_ = 3;
  const uint32_t light = BrightenColor(faceColor, 3);
  const uint32_t mid = ShiftColor(faceColor, -1);
  const uint32_t dark = ShiftColor(faceColor, -2);
  thumbStartEdge_ = 1;
  thumbEndEdge_ = 2;
  const int32_t w = vertical ? size : kDrawnThumbDepth;
  const int32_t h = vertical ? kDrawnThumbDepth : size;
  thumbSource_ = std::make_unique<ImageSurface>();
  ImageSurface& s = *thumbSource_;
  if (s.Create(vertical ? 3 * w : w, vertical ? h : 3 * h, 32, kImagePlain) != 0) {
    return FinishCreate(kScrollCreateThumb);
  }
  auto fill = [&s](int32_t l, int32_t t, int32_t r, int32_t b, uint32_t color) {
    Rect rect{l, t, r, b};
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)s.Fill(color, &rect);
  };
  fill(1, 1, w - 2, h - 2, faceColor);
  for (int32_t i = 0; i < 3; ++i) {
    const int32_t cx = vertical ? i * w : 0;
    const int32_t cy = vertical ? 0 : i * h;
    if (i > 0) {
      for (int32_t row = 1; row < h - 2; ++row) {
        if (w - 3 > 0) {
          std::memmove(s.GetRowPointer(cy + row) + 4 * (cx + 1), s.GetRowPointer(row) + 4,
                       4 * static_cast<size_t>(w - 3));
        }
      }
      const uint32_t accent = i == 1 ? hoverColor : pressedColor;
      Rect rect{cx + 1, cy + 1, cx + w - 2, cy + h - 2};
      // A band clipped away draws nothing; that is not a failure.
      (void)s.FillColorBlend((accent >> 16) & 0xFF, (accent >> 8) & 0xFF, accent & 0xFF,
                             accent >> 24, &rect);
    }
    fill(cx, cy, cx + w - 1, cy + 1, light);
    fill(cx, cy + 1, cx + 1, cy + h - 1, light);
    fill(cx, cy + h - 1, cx + w, cy + h, dark);
    fill(cx + w - 1, cy, cx + w, cy + h - 1, dark);
    fill(cx + 1, cy + h - 2, cx + w - 1, cy + h - 1, mid);
    fill(cx + w - 2, cy + 1, cx + w - 1, cy + h - 2, mid);
  }
  Rect first{0, 0, w, h};
  // A sprite that cannot take the picture keeps the one it had.
  (void)thumbSprite_.SetImage(thumbSource_.get(), &first, x, y);

  trackStartEdge_ = trackEndEdge_ = 0;
  trackSurface_ = std::make_unique<ImageSurface>();
  trackSprite_ = std::make_unique<Sprite>();
  trackSource_ = std::make_unique<ImageSurface>();
  if (trackSource_->Create(vertical ? size : 1, vertical ? 1 : size, 32, kImagePlain) != 0) {
    return FinishCreate(kScrollCreateTrack);
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)trackSource_->Fill(trackColor, nullptr);
  // A sprite that cannot take the picture keeps the one it had.
  (void)trackSprite_->SetImage(trackSource_.get(), nullptr, x, y);

  for (int k = 0; k < 2; ++k) {
    const uint8_t direction = static_cast<uint8_t>((vertical ? kArrowUp : kArrowLeft) + k);
    auto button = std::make_unique<ScrollButtonPart>(this, direction, arrowColor);
    button->SetFaceColors(faceColor, hoverColor);
    if (button->CreateDrawn(target, order, nullptr, nullptr, 0, 0, size, size, true, group) != 0) {
      return FinishCreate(k == 0 ? kScrollCreateBack : kScrollCreateForward);
    }
    (k == 0 ? backButton_ : forwardButton_) = std::move(button);
  }
  x_ = x;
  y_ = y;
  trackInset_ = 0;
  trackWidth_ = trackHeight_ = size;
  thumbCellStride_ = trackCellStride_ = size;
  thumbOffsetX_ = vertical ? 0 : size;
  thumbOffsetY_ = vertical ? size : 0;
  const uint8_t faceAlpha = static_cast<uint8_t>(faceColor >> 24);
  if (faceAlpha != 0 && faceAlpha != 0xFF) thumbSprite_.SetAlpha(faceAlpha);
  const uint8_t trackAlpha = static_cast<uint8_t>(trackColor >> 24);
  if (trackAlpha != 0 && trackAlpha != 0xFF) trackSprite_->SetAlpha(trackAlpha);
  order_ = order;
  group_ = group;
  return kCreateDone;
}

int ScrollListPart::CreateFromImages(DisplayObjectList* target, const ScrollBarPictures& bar,
                                     int32_t group) {
  if (!target || !bar.thumbFile) return kCreateBadArguments;
  BeginCreate(target);
  vertical_ = bar.vertical;
  cellCount_ = bar.hasDisabledCell ? 4 : 3;
  thumbStartEdge_ = bar.thumbStartEdge;
  thumbEndEdge_ = bar.thumbEndEdge;
  ImageSurface* thumb = &thumbSurface_;
  if (bar.thumbStartEdge != 0 || bar.thumbEndEdge != 0) {
    thumbSource_ = std::make_unique<ImageSurface>();
    thumb = thumbSource_.get();
  }
  if (!LoadPicture(thumb, bar.thumbFile)) return FinishCreate(kScrollCreateThumb);
  thumbCellStride_ = (bar.vertical ? thumb->GetWidth() : thumb->GetHeight()) / cellCount_;
  Rect first = bar.vertical ? Rect{0, 0, thumbCellStride_, thumb->GetHeight()}
                            : Rect{0, 0, thumb->GetWidth(), thumbCellStride_};
  // A sprite that cannot take the picture keeps the one it had.
  (void)thumbSprite_.SetImage(thumb, &first, bar.x, bar.y);
  thumbImageName_ = bar.thumbFile;
  // A mode out of range keeps the one in force.
  (void)thumbSprite_.SetDrawMode(bar.blendMode);
  thumbSprite_.SetAlpha(bar.alpha);

  trackStartEdge_ = bar.trackStartEdge;
  trackEndEdge_ = bar.trackEndEdge;
  ImageSurface* track = nullptr;
  if (bar.trackFile) {
    trackSurface_ = std::make_unique<ImageSurface>();
    trackSprite_ = std::make_unique<Sprite>();
    track = trackSurface_.get();
    if (bar.trackStartEdge != 0 || bar.trackEndEdge != 0) {
      trackSource_ = std::make_unique<ImageSurface>();
      track = trackSource_.get();
    }
    if (!LoadPicture(track, bar.trackFile)) return FinishCreate(kScrollCreateTrack);
    trackWidth_ = track->GetWidth();
    trackHeight_ = track->GetHeight();
    trackCellStride_ = (bar.vertical ? trackWidth_ : trackHeight_) / cellCount_;
    (bar.vertical ? trackWidth_ : trackHeight_) /= cellCount_;
    Rect cell{0, 0, trackWidth_, trackHeight_};
    // A sprite that cannot take the picture keeps the one it had.
    (void)trackSprite_->SetImage(track, &cell, bar.x, bar.y);
    trackImageName_ = bar.trackFile;
    // A mode out of range keeps the one in force.
    (void)trackSprite_->SetDrawMode(bar.blendMode);
    trackSprite_->SetAlpha(bar.alpha);
  }
  const char* files[2] = {bar.backFile, bar.forwardFile};
  for (int k = 0; k < 2; ++k) {
    if (!files[k]) continue;
    const uint8_t direction = static_cast<uint8_t>((bar.vertical ? kArrowUp : kArrowLeft) + k);
    auto button = std::make_unique<ScrollButtonPart>(this, direction, 0);
    const ButtonPicture look{.order = bar.order,
                             .hasDisabledCell = bar.hasDisabledCell,
                             .hasPressedCell = true,
                             .blendMode = bar.blendMode,
                             .alpha = bar.alpha,
                             .colorKeyA = bar.keyValue,
                             .colorKeyB = bar.keyValue2};
    if (button->CreateFromFile(target, files[k], look, group) != 0) {
      return FinishCreate(k == 0 ? kScrollCreateBack : kScrollCreateForward);
    }
    (k == 0 ? backButton_ : forwardButton_) = std::move(button);
  }
  ApplyPictureColorKey(thumb, bar.keyValue, bar.keyValue2);
  if (track) ApplyPictureColorKey(track, bar.keyValue, bar.keyValue2);
  x_ = bar.x;
  y_ = bar.y;
  trackInset_ = bar.vertical ? bar.insetY : bar.insetX;
  thumbOffsetX_ = bar.insetX + (bar.vertical ? 0 : BackLength());
  thumbOffsetY_ = bar.insetY + (bar.vertical ? BackLength() : 0);
  group_ = group;
  order_ = bar.order;
  return kCreateDone;
}

}  // namespace bw
