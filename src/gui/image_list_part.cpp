#include "gui/image_list_part.h"

#include "graphics/surface/display_object.h"
#include "graphics/text/outline_text_renderer.h"
#include "graphics/text/text_renderer.h"
#include "gui/click_action.h"
#include "gui/pointer_manager.h"
#include "gui/pointer_tip.h"
#include "input/input_binding_table.h"
#include "input/mouse.h"
#include "platform/bit_set.h"

namespace bw {

namespace {

constexpr int kItemCursorNone = 0;
constexpr int kItemCursorOver = 1;
constexpr int kItemCursorPressed = 2;
constexpr int kOwnerCursorDrag = 3;
constexpr int kBlendAlpha = 2;

// The pressed and extra looks each need a look of their own beside the normal and hover ones.
bool LooksFit(int lookCount, bool pressedLook, bool extraLook) {
  return lookCount >= 1 && lookCount <= 4 && !((pressedLook || extraLook) && lookCount <= 2) &&
         !(pressedLook && extraLook && lookCount == 3);
}
const char* OrNull(const std::string& text) {
  return text.empty() ? nullptr : text.c_str();
}

}  // namespace

ImageListPartBase::~ImageListPartBase() {
  ClearItems();
}

const ChoiceAction* ImageListPartBase::GetItem(int32_t index) const {
  return index >= 0 && index < Count() ? items_[index].get() : nullptr;
}

bool ImageListPartBase::IsItemEnabled(int32_t index) const {
  const ChoiceAction* item = GetItem(index);
  return index >= 0 && index < Count() && !(item && item->disabled);
}

void ImageListPartBase::WriteWord(uint32_t address, int32_t value) {
  if (address && GetOwner()) GetOwner()->WriteScriptWord(address, value);
}

void ImageListPartBase::ClearItems() {
  if (PointerManager* owner = GetOwner()) owner->HideTooltipOf(this);
  tooltip_ = nullptr;
  items_.clear();
  cursor_ = -1;
  cursorState_ = kItemCursorNone;
}

int ImageListPartBase::SetReadFlags(BitSet* flags, int32_t base, uint32_t resultVar) {
  readFlags_ = flags;
  readBase_ = base;
  resultVar_ = resultVar;
  return 0;
}

int ImageListPartBase::CopyReadFlagsFrom(const ImageListPartBase* other) {
  if (!other) return 1;
  readFlags_ = other->readFlags_;
  readBase_ = other->readBase_;
  resultVar_ = other->resultVar_;
  showReadColors_ = other->showReadColors_;
  return 0;
}

void ImageListPartBase::SetSounds(const char* decide, const char* enter, const char* leave,
                                  int32_t decideId, int32_t enterId, int32_t leaveId) {
  decideSound_ = TextOrEmpty(decide);
  enterSound_ = TextOrEmpty(enter);
  leaveSound_ = TextOrEmpty(leave);
  decideId_ = decideSound_.empty() ? decideId : 0;
  enterId_ = enterSound_.empty() ? enterId : 0;
  leaveId_ = leaveSound_.empty() ? leaveId : 0;
}

void ImageListPartBase::SetTextColors(uint32_t normal, uint32_t read, uint32_t hover,
                                      uint32_t disabled) {
  normalColor_ = normal;
  readColor_ = read;
  hoverColor_ = hover;
  disabledColor_ = disabled;
}

void ImageListPartBase::SetGradations(uint32_t normalTop, uint32_t normalBottom, uint32_t readTop,
                                      uint32_t readBottom, uint32_t hoverTop, uint32_t hoverBottom,
                                      uint32_t disabledTop, uint32_t disabledBottom) {
  normalGradation_ = {normalTop, normalBottom};
  readGradation_ = {readTop, readBottom};
  hoverGradation_ = {hoverTop, hoverBottom};
  disabledGradation_ = {disabledTop, disabledBottom};
}

void ImageListPartBase::SetMargins(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  marginLeft_ = left;
  marginTop_ = top;
  marginRight_ = right;
  marginBottom_ = bottom;
}

int ImageListPartBase::AddItem(const char* label, bool disabled, int32_t key,
                               const char* actionText1, int32_t actionValue,
                               const char* actionText2, const char* tooltip, uint32_t clickedVar,
                               uint32_t hoveredVar, uint32_t notHoveredVar) {
  auto given = [](const char* text) { return text && *text; };
  std::unique_ptr<ChoiceAction> item;
  if (disabled || key >= 0 || actionValue != -1 || given(label) || given(actionText1) ||
      given(actionText2) || given(tooltip) || clickedVar || hoveredVar || notHoveredVar) {
    item = std::make_unique<ChoiceAction>();
    *item = {TextOrEmpty(label),
             disabled,
             key,
             TextOrEmpty(actionText1),
             actionValue,
             TextOrEmpty(actionText2),
             clickedVar,
             hoveredVar,
             notHoveredVar,
             TextOrEmpty(tooltip)};
  }
  items_.push_back(std::move(item));
  // The frame builds its choices before it registers the menu: the pointer tip knows where the
  // pointer rests even then.
  PointerManager* pointer = ThePointerTip() ? ThePointerTip() : GetOwner();
  guardX_ = guardY_ = -1;
  if (pointer) pointer->GetPointerPosition(&guardX_, &guardY_);
  pointerGuard_ = true;
  SetLocked(false);
  return 0;
}

bool ImageListPartBase::Choose(int32_t index) {
  PointerManager* owner = GetOwner();
  const ChoiceAction* item = GetItem(index);
  if (index >= 0 && index < Count()) {
    int32_t k = item && item->key >= 0 ? item->key : index;
    // A choice past the flags' bits is not recorded.
    if (readFlags_) (void)readFlags_->Set(static_cast<uint32_t>(readBase_ + k), true);

    WriteWord(resultVar_, k);
  }
  if (owner && GetId() >= 0) owner->SetFiredId(GetId() + (index < 0 ? 0 : index));
  SetLocked(true);
  PlayPartSound(owner, decideSound_, decideId_, kDefaultClickSound);
  if (item) {
    WriteWord(item->clickedVar, 1);
    if (owner &&
        (!item->actionText2.empty() || !item->actionText1.empty() || item->actionValue != 0)) {
      owner->RunAction(OrNull(item->actionText2), OrNull(item->actionText1), item->actionValue);
    }
  }
  return true;
}

bool ImageListPartBase::EnterItem(int32_t index) {
  (void)SetItemState(index, kLookHover);  // the index is one of the list's own
  cursorState_ = kItemCursorOver;
  PlayPartSound(GetOwner(), enterSound_, enterId_, kDefaultEnterSound);
  if (const ChoiceAction* item = GetItem(index)) {
    WriteWord(item->hoveredVar, 1);
    WriteWord(item->notHoveredVar, 0);
    if (!item->tooltip.empty()) tooltip_ = item->tooltip.c_str();
  }
  return true;
}

bool ImageListPartBase::LeaveItem(int32_t index) {
  (void)SetItemState(index, kLookNormal);  // the index is one of the list's own
  cursorState_ = kItemCursorNone;
  PlayPartSound(GetOwner(), leaveSound_, leaveId_, kDefaultLeaveSound);
  if (const ChoiceAction* item = GetItem(index)) {
    WriteWord(item->hoveredVar, 0);
    WriteWord(item->notHoveredVar, 1);
  }
  tooltip_ = nullptr;
  return true;
}

void ImageListPartBase::LeaveCurrent() {
  if (cursor_ < 0) return;
  const ChoiceAction* item = GetItem(cursor_);
  bool hadTooltip = item && !item->tooltip.empty();
  (void)LeaveItem(cursor_);  // false only when no item was entered
  // Left once: a key move leaves before it moves, and the move itself leaves in some modes.
  cursor_ = -1;
  if (hadTooltip && GetOwner()) {
    GetOwner()->HideTooltip();
    GetOwner()->RestartTooltipTimer();
  }
}

bool ImageListPartBase::MoveCursorTo(int32_t index) {
  PointerManager* owner = GetOwner();
  int mode = owner ? owner->GetFocusPointerMode() : kFocusPointerStays;
  if (mode == kFocusPointerCentre) {
    int32_t x, y;
    if (GetCellCentre(index, &x, &y)) owner->SetPointerPosition(x, y);
    return true;
  }
  if (owner) owner->LetGo(this, false);
  if (mode == kFocusPointerParks) LeaveCurrent();
  (void)EnterItem(index);  // false only when the item is already entered
  cursor_ = index;
  if (mode == kFocusPointerParks) owner->ParkPointer();
  return true;
}

int32_t ImageListPartBase::NextEnabled(int32_t from, int step) const {
  for (int32_t i = from; i >= 0 && i < Count(); i += step) {
    if (IsItemEnabled(i)) return i;
  }
  return -1;
}

bool ImageListPartBase::HitTest(int32_t x, int32_t y) const {
  PointerManager* owner = GetOwner();
  const int32_t rx = x - GetX();
  const int32_t ry = y - GetY();
  if (dragging_) {
    Mouse* mouse = owner ? owner->GetMouse() : nullptr;
    if (mouse && mouse->IsButtonDown(kButtonLeft)) {
      // Dragging moves the menu under the held button.
      (void)const_cast<ImageListPartBase*>(this)->SetPosition(x - dragX_,
                                                              y - dragY_);  // a made list moves
      return true;
    }
    dragging_ = false;
  }
  if (draggable_ && IsOnHandle(rx, ry)) {
    auto* self = const_cast<ImageListPartBase*>(this);
    if (!locked_) self->LeaveCurrent(), self->cursor_ = -1;
    // Every state asked here is a known one.
    if (owner) (void)owner->SetCursorState(kOwnerCursorDrag);
    return true;
  }
  if (locked_) return false;
  if (pointerGuard_ && (x - guardX_ > kPointerGuard || guardX_ - x > kPointerGuard ||
                        y - guardY_ > kPointerGuard || guardY_ - y > kPointerGuard)) {
    pointerGuard_ = false;
  }
  if (ItemAt(rx, ry) < 0) return false;
  if (owner) (void)owner->SetCursorState(kItemCursorOver);
  return true;
}

void ImageListPartBase::OnPointerOver(int32_t x, int32_t y) {
  if (locked_) {
    if (cursorState_ == kItemCursorOver) cursorState_ = kItemCursorNone;
    return;
  }
  if (draggable_ && IsOnHandle(x, y)) return;
  int32_t index = ItemAt(x, y);
  if (index == cursor_) return;
  LeaveCurrent();
  if (index >= 0) (void)EnterItem(index);  // false only when the item is already entered
  cursor_ = index;
}

bool ImageListPartBase::OnPointerInput(int32_t x, int32_t y, Mouse* mouse) {
  if (draggable_ && IsOnHandle(x, y)) {
    dragging_ = true;
    dragX_ = x;
    dragY_ = y;
    return true;
  }
  if (!mouse) return false;
  if (cursorState_ == kItemCursorOver) {
    if (mouse->IsButtonPressed(kButtonLeft) && !locked_ && !pointerGuard_ && cursor_ >= 0) {
      (void)SetItemState(cursor_, kLookPressed);  // the index is one of the list's own
      cursorState_ = kItemCursorPressed;
      pressArmed_ = false;
      return true;
    }
  } else if (cursorState_ == kItemCursorPressed && !pressArmed_) {
    if (!mouse->IsButtonDown(kButtonLeft)) {
      cursorState_ = kItemCursorOver;
      (void)Choose(cursor_);  // false only when the item cannot be chosen
      return true;
    }
  }
  return false;
}

void ImageListPartBase::OnPointerLeave() {
  dragging_ = false;
  if (!locked_) {
    LeaveCurrent();
    cursor_ = -1;
  }
  // Every state asked here is a known one.
  if (GetOwner()) (void)GetOwner()->SetCursorState(kItemCursorNone);
}

void ImageListPartBase::OnFocusGot(UiControl* /*previous*/, bool forward) {
  PointerManager* owner = GetOwner();
  if (Count() > 0 && !locked_) {
    int32_t index = forward ? NextEnabled(0, 1) : NextEnabled(Count() - 1, -1);
    if (index >= 0) {
      (void)MoveCursorTo(index);  // false only when the cursor does not move
      return;
    }
  }
  if (!owner) return;
  // Nothing to take here: pass the focus on; the manager ends a pass that comes back round.
  int result = forward ? owner->FocusNext() : owner->FocusPrevious();
  // Clearing the focus cannot fail.
  if (result != kFocusDone && owner->IsFocus(this)) (void)owner->SetFocus(nullptr);
}

void ImageListPartBase::OnFocusLost(UiControl* /*next*/) {
  OnPointerLeave();
  // Every state asked here is a known one.
  if (GetOwner() && GetOwner()->GetCursorState() != 0) (void)GetOwner()->SetCursorState(0);
}

bool ImageListPartBase::OnKeyInput(InputBindingTable* bindings) {
  PointerManager* owner = GetOwner();
  if (locked_ || !owner) return false;
  int classification = owner->ClassifyNavigationKey(bindings);
  if (classification == kNavigateBack || classification == kNavigateOn) {
    pointerGuard_ = false;
    bool back = classification == kNavigateBack;
    int32_t next = cursor_ < 0 ? -1 : NextEnabled(cursor_ + (back ? -1 : 1), back ? -1 : 1);
    if (next >= 0) {
      LeaveCurrent();
      (void)MoveCursorTo(next);  // false only when the cursor does not move
      return true;
    }
    int result = back ? owner->FocusPrevious() : owner->FocusNext();
    if (result != kFocusDone) {
      LeaveCurrent();
      cursor_ = -1;
      OnFocusGot(nullptr, !back);
    }
    return true;
  }
  if (cursor_ < 0) return false;
  const uint32_t now = owner->GetTime();
  if (cursorState_ == kItemCursorOver) {
    if (!bindings || !bindings->IsActionPressed(kActionDecide)) return false;
    if (hasPressedLook_) {
      (void)SetItemState(cursor_, kLookPressed);  // the index is one of the list's own
      cursorState_ = kItemCursorPressed;
      pressDeadline_ = now + kKeyPressMs;
      pressArmed_ = true;
    } else {
      (void)Choose(cursor_);  // false only when the item cannot be chosen
    }
    return true;
  }
  if (cursorState_ == kItemCursorPressed && pressArmed_) {
    if (static_cast<int32_t>(now - pressDeadline_) > 0) {
      cursorState_ = kItemCursorOver;
      pressArmed_ = false;
      (void)Choose(cursor_);
    }
    return true;
  }
  pressArmed_ = false;
  return false;
}

bool ImageListPartBase::IsRead(int32_t itemIndex, int32_t cellIndex) const {
  int32_t k = itemIndex >= 0 ? itemIndex : cellIndex;
  return showReadColors_ && readFlags_ && readFlags_->Test(static_cast<uint32_t>(readBase_ + k));
}

// ---- ImageListPart ---------------------------------------------------------------------------

ImageListPart::~ImageListPart() {
  ReleaseCells();
  ReleaseFrame();
}

template <typename Fn>
void ImageListPart::EachSprite(Fn fn) const {
  if (head_.sprite) fn(head_.sprite.get());
  for (const Cell& cell : cells_) fn(cell.sprite.get());
  if (tail_.sprite) fn(tail_.sprite.get());
}

void ImageListPart::Place(Sprite* sprite) {
  if (!target_ || sprite->GetOwnerList()) return;
  // An object already listed stays where it is.
  (void)target_->Add(sprite, static_cast<uint32_t>(order_), static_cast<uint32_t>(group_));
}

void ImageListPart::UpdateSize() {
  width_ = cellWidth_;
  height_ = ClampedSum(int64_t{head_.height} + tail_.height, Count() * RowPitch());
}

void ImageListPart::LayOut() {
  if (head_.sprite) head_.sprite->SetPos(x_, y_);
  for (size_t i = 0; i < cells_.size(); ++i) {
    cells_[i].sprite->SetPos(x_, RowTop(static_cast<int32_t>(i)));
  }
  if (tail_.sprite) tail_.sprite->SetPos(x_, RowTop(static_cast<int32_t>(cells_.size())));
  UpdateSize();
}

int ImageListPart::SetPosition(int32_t x, int32_t y) {
  x_ = x;
  y_ = y;
  LayOut();
  // Kept for the cells to come, but there was nothing to move.
  return cells_.empty() ? 1 : 0;
}

void ImageListPart::SetVisible(bool visible) {
  ReleaseFocusAndHover(visible);
  EachSprite([visible](Sprite* s) { s->SetVisible(visible); });
}

bool ImageListPart::IsVisible() const {
  return !cells_.empty() && cells_[0].sprite->IsVisible();
}

int ImageListPart::SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) {
  if (cells_.empty()) return 1;
  order_ = order;
  EachSprite([&](Sprite* s) {
    if (target_) PlaceInList(target_, s, order, tag, keepWhenEqual);
  });
  return 0;
}

int ImageListPart::SetAlpha(int alpha) {
  if (cells_.empty()) return 1;
  EachSprite([alpha](Sprite* s) { s->SetAlpha(alpha); });
  return 0;
}

int ImageListPart::GetAlpha() const {
  return cells_.empty() ? 0 : cells_[0].sprite->GetAlpha();
}

int ImageListPart::SetItemState(int32_t index, int state) {
  if (index < 0 || index >= static_cast<int32_t>(cells_.size())) return 1;
  Sprite& sprite = *cells_[index].sprite;
  if (!hasPressedLook_ && !HasFramePictures() && (pressedX_ || pressedY_)) {
    const int32_t rowY = RowTop(index);
    bool pressed = state == kLookPressed;
    sprite.SetPos(x_ + (pressed ? pressedX_ : 0), rowY + (pressed ? pressedY_ : 0));
  }
  // A cell without a pressed look shows the hover look for the press.
  int look = state == kLookPressed && !hasPressedLook_ ? kLookHover : state;
  Rect source{cellWidth_ * look, 0, cellWidth_ * (look + 1), cellHeight_};
  // A sprite that cannot take it is shown as it was.
  (void)sprite.SetSourceRect(&source);
  return 0;
}

bool ImageListPart::GetCellCentre(int32_t index, int32_t* x, int32_t* y) const {
  if (index < 0 || index >= static_cast<int32_t>(cells_.size())) return false;
  const Sprite& sprite = *cells_[index].sprite;
  *y = sprite.GetY() + sprite.GetHeight() / 2;
  if (backgroundAlpha_ == 0 && backgroundMode_ == 0) {
    *x = sprite.GetX() + marginLeft_ - 8;
  } else {
    *x = sprite.GetX() + width_ - marginRight_ + (marginRight_ >> 2) + 1;
  }
  return true;
}

bool ImageListPart::IsOnHandle(int32_t x, int32_t y) const {
  if (!cellTemplate_ || cells_.empty()) return false;
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
  if (x >= marginLeft_ && y >= marginTop_ + head_.height && x < width_ - marginRight_ &&
      y < height_ - marginBottom_ - tail_.height) {
    return false;
  }
  const ImageSurface* picture = nullptr;
  const int64_t pitch = RowPitch();
  int64_t py = y;
  if (y < head_.height) {
    picture = head_.surface.get();
  } else {
    if (pitch < 1) return false;  // a template brought the rows together
    py = y - head_.height;
    const int64_t row = py / pitch;
    if (row < Count()) {
      py -= row * pitch;
      if (py >= cellHeight_) return false;  // between two rows
      picture = cellTemplate_.get();
    } else {
      py -= Count() * pitch;
      picture = tail_.surface.get();
    }
  }
  if (!picture) return false;
  uint32_t pixel = picture->GetPixel(x, static_cast<int32_t>(py));
  // Outside the picture is not on the handle.
  if (pixel == kNoPixel) return false;
  return (pixel >> 24) >= draggable_;
}

int32_t ImageListPart::ItemAt(int32_t x, int32_t y) const {
  if (PointerGuarded() || cells_.empty()) return -1;
  if (x < marginLeft_ || x >= width_ - marginRight_) return -1;
  const int64_t rowY = int64_t{y} - head_.height;
  const int64_t pitch = RowPitch();
  if (rowY < 0 || pitch < 1) return -1;  // a template may bring the rows together
  const int64_t row = rowY / pitch;
  if (row >= static_cast<int64_t>(cells_.size())) return -1;
  const auto index = static_cast<int32_t>(row);
  const int64_t inRow = rowY - row * pitch;
  if (inRow < marginTop_ || inRow >= int64_t{cellHeight_} - marginBottom_) return -1;
  if (lastLookX_ != 0 && cells_[index].sprite->GetSourceRect().left == lastLookX_) return -1;
  if (!IsItemEnabled(index)) return -1;
  return index;
}

int ImageListPart::Setup(DisplayObjectList* target, int32_t order, int32_t valueA, int32_t valueB,
                         int32_t cellWidth, int32_t cellHeight, int32_t spacing,
                         TextRenderer* renderer, int32_t group) {
  ReleaseCells();
  if (!renderer) return 1;
  // Rows closer than a pixel would never advance: the hit tests divide by the pitch.
  if (int64_t{cellHeight} + (HasFramePictures() ? 0 : int64_t{spacing}) < 1) return 1;
  target_ = target;
  order_ = order;
  valueA_ = valueA;
  valueB_ = valueB;
  if (cellWidth != cellWidth_ && !cellTemplate_ && (head_.height || tail_.height)) {
    if (const int rc = SetSize(cellWidth, cellHeight, head_.height, tail_.height); rc != 0)
      return rc;
  }
  cellWidth_ = cellWidth;
  cellHeight_ = cellHeight;
  spacing_ = spacing;
  renderer_ = renderer;
  group_ = group;
  UpdateSize();
  return 0;
}

int ImageListPart::SetTarget(DisplayObjectList* target) {
  ReleaseCells();
  target_ = target;
  return 0;
}

int ImageListPart::MakeFrame(Frame* frame, int32_t height, int failure) {
  frame->height = height;
  if (height == 0) return 0;
  frame->surface = std::make_unique<ImageSurface>();
  if (frame->surface->Create(cellWidth_, height, 32, kImageDibSection) != 0) return failure;
  frame->sprite = std::make_unique<Sprite>();
  // A sprite that cannot take the picture keeps the one it had.
  (void)frame->sprite->SetImage(frame->surface.get(), nullptr, x_, y_);
  // A mode out of range keeps the one in force.
  (void)frame->sprite->SetDrawMode(kBlendAlpha);
  Place(frame->sprite.get());
  return 0;
}

int ImageListPart::SetSize(int32_t cellWidth, int32_t cellHeight, int32_t headHeight,
                           int32_t tailHeight) {
  if (cellWidth <= 0 || cellHeight <= 0) return 1;
  ReleaseFrame();
  cellWidth_ = cellWidth;
  cellHeight_ = cellHeight;
  int result = MakeFrame(&head_, headHeight, 2);
  if (result == 0) result = MakeFrame(&tail_, tailHeight, 3);
  if (result != 0) {
    ReleaseFrame();
    return result;
  }
  RedrawPlain();
  LayOut();
  return 0;
}

void ImageListPart::Compose(ImageSurface* picture, const Sources& sources) const {
  const uint32_t color = 0xFF000000u | (backgroundColor_ & 0xFFFFFF);
  const ImageSurface* mask = backgroundMode_ ? sources.mask.get() : sources.mask0.get();
  if (mask) {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)picture->Fill(color, nullptr);
    (void)picture->CopyAlphaPlane(mask, 0, 0, nullptr, false);
    if (backgroundAlpha_ < 255) (void)picture->ScaleAlpha(backgroundAlpha_, nullptr);
    if (backgroundMode_ && sources.overlay)
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)picture->AlphaBlitOntoAlpha(sources.overlay.get(), 255, 0, 0, nullptr);
  } else if (sources.overlay) {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)picture->Blit(sources.overlay.get(), 0, 0, nullptr, false);
    if (backgroundAlpha_ < 255) (void)picture->ScaleAlpha(backgroundAlpha_, nullptr);
  }
}

int ImageListPart::CreateFromSurfaces(int lookCount, bool pressedLook, bool extraLook,
                                      const ImageSurface* const (&sources)[9]) {
  ReleaseFrame();
  auto usable = [](const ImageSurface* s) { return s && s->GetPixels(); };
  if (!LooksFit(lookCount, pressedLook, extraLook) ||
      !(usable(sources[0]) || usable(sources[1]) || usable(sources[2]))) {
    return 1;
  }
  auto copy = [&](int i, std::unique_ptr<ImageSurface>* out) {
    if (!usable(sources[i])) return true;
    *out = std::make_unique<ImageSurface>();
    return (*out)->CopyFrom(sources[i], 0) == 0;
  };
  Sources* sets[3] = {&templateSources_, &headSources_, &tailSources_};
  for (int set = 0; set < 3; ++set) {
    if (!copy(3 * set, &sets[set]->overlay) || !copy(3 * set + 1, &sets[set]->mask) ||
        !copy(3 * set + 2, &sets[set]->mask0)) {
      ReleaseFrame();
      return -1;
    }
  }
  auto make = [this](const Sources& s, std::unique_ptr<ImageSurface>* out) {
    const ImageSurface* size = s.overlay ? s.overlay.get() : s.mask ? s.mask.get() : s.mask0.get();
    if (!size) return 0;
    *out = std::make_unique<ImageSurface>();
    if ((*out)->Create(size->GetWidth(), size->GetHeight(), 32, kImageDibSection) != 0) return 2;
    Compose(out->get(), s);
    return 0;
  };
  int result = make(templateSources_, &cellTemplate_);
  if (result == 0) result = make(headSources_, &head_.surface);
  if (result == 0) result = make(tailSources_, &tail_.surface);
  if (result != 0) {
    ReleaseFrame();
    return result;
  }
  multiLook_ = lookCount > 1;
  hasPressedLook_ = pressedLook;
  hasExtraLook_ = extraLook;
  lookCount_ = lookCount;
  cellWidth_ = cellTemplate_->GetWidth() / lookCount;
  cellHeight_ = cellTemplate_->GetHeight();
  lastLookX_ = extraLook ? cellWidth_ * (lookCount - 1) : 0;
  for (Frame* frame : {&head_, &tail_}) {
    if (!frame->surface) continue;
    frame->height = frame->surface->GetHeight();
    frame->sprite = std::make_unique<Sprite>();
    // A sprite that cannot take the picture keeps the one it had.
    (void)frame->sprite->SetImage(frame->surface.get(), nullptr, x_, y_);
    // A mode out of range keeps the one in force.
    (void)frame->sprite->SetDrawMode(kBlendAlpha);
    Place(frame->sprite.get());
  }
  LayOut();
  return 0;
}

int ImageListPart::CreateFromImages(int lookCount, bool pressedLook, bool extraLook,
                                    const char* const (&files)[9]) {
  ReleaseFrame();
  if (!LooksFit(lookCount, pressedLook, extraLook) || !(files[0] || files[1] || files[2])) return 1;
  std::unique_ptr<ImageSurface> loaded[9];
  const ImageSurface* sources[9] = {};
  for (int i = 0; i < 9; ++i) {
    if (!files[i]) continue;
    loaded[i] = std::make_unique<ImageSurface>();
    // Overlays are the first of each set of three; the masks are 8-bit.
    const int rc = i % 3 == 0 ? loaded[i]->Load(files[i], nullptr, 0, kImageDibSection)
                              : loaded[i]->Load8(files[i], nullptr, 0, kImageDibSection);
    if (rc != 0) return rc;
    sources[i] = loaded[i].get();
  }
  return CreateFromSurfaces(lookCount, pressedLook, extraLook, sources);
}

int ImageListPart::SetBackground(uint8_t mode, uint32_t color, uint8_t alpha) {
  color &= 0xFFFFFF;
  if (mode == backgroundMode_ && color == backgroundColor_ && alpha == backgroundAlpha_) return -1;
  backgroundMode_ = mode;
  backgroundColor_ = color;
  backgroundAlpha_ = alpha;
  if (!cellTemplate_) {
    RedrawPlain();
    return 0;
  }
  Compose(cellTemplate_.get(), templateSources_);
  if (head_.surface) Compose(head_.surface.get(), headSources_), head_.sprite->SetChanged(true);
  if (tail_.surface) Compose(tail_.surface.get(), tailSources_), tail_.sprite->SetChanged(true);
  // Redrawn in place: each sprite keeps the surface it shows.
  for (int32_t i = 0; i < Count(); ++i) {
    LayTemplate(cells_[i].surface.get());
    DrawCell(i, cells_[i].surface.get());
    cells_[i].sprite->SetChanged(true);
  }
  return 0;
}

int ImageListPart::SetReadPicture(const char* fileName) {
  readPicture_.reset();
  auto picture = std::make_unique<ImageSurface>();
  if (!fileName || picture->Load(fileName, nullptr, 0, kImageDibSection) != 0) return 1;
  readPicture_ = std::move(picture);
  return 0;
}

void ImageListPart::LayTemplate(ImageSurface* surface) const {
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)surface->Blit(cellTemplate_.get(), 0, 0, nullptr, false);
  // A template of one look shows in both looks of the cell.
  if (lookCount_ <= 1)
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)surface->Blit(cellTemplate_.get(), cellTemplate_->GetWidth(), 0, nullptr, false);
}

std::unique_ptr<ImageSurface> ImageListPart::MakeCellSurface() const {
  auto surface = std::make_unique<ImageSurface>();
  if (cellTemplate_ && lookCount_ > 1) {
    if (surface->CopyFrom(cellTemplate_.get(), 0) != 0) return nullptr;
  } else if (cellTemplate_) {
    if (surface->Create(2 * cellTemplate_->GetWidth(), cellTemplate_->GetHeight(), 32,
                        kImageDibSection) != 0) {
      return nullptr;
    }
    LayTemplate(surface.get());
  } else {
    if (surface->Create(2 * cellWidth_, cellHeight_, 32, kImageDibSection) != 0) return nullptr;
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)surface->Fill((uint32_t{backgroundAlpha_} << 24) | backgroundColor_, nullptr);
  }
  return surface;
}

void ImageListPart::RedrawPlain() {
  const uint32_t color = (uint32_t{backgroundAlpha_} << 24) | backgroundColor_;
  for (Frame* frame : {&head_, &tail_}) {
    if (!frame->surface) continue;
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)frame->surface->Fill(color, nullptr);
    frame->sprite->SetChanged(true);
  }
  for (int32_t i = 0; i < static_cast<int32_t>(cells_.size()); ++i) {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)cells_[i].surface->Fill(color, nullptr);
    DrawCell(i, cells_[i].surface.get());
  }
}

void ImageListPart::DrawCell(int32_t index, ImageSurface* surface) {
  const ChoiceAction* item = GetItem(index);
  const bool disabled = item && item->disabled;
  const int32_t key = item && item->key >= 0 ? item->key : -1;
  const int looks = cellTemplate_ ? (lookCount_ > 1 ? lookCount_ : 2) : 2;
  if (fillMode_ != kFillNone) {
    uint32_t fill = fillColor_;
    if (fillMode_ == kFillColorWithAlpha)
      fill = (uint32_t{backgroundAlpha_} << 24) | (fillColor_ & 0xFFFFFF);
    if (fillMode_ == kFillComplement)
      fill = (uint32_t{backgroundAlpha_} << 24) | (~backgroundColor_ & 0xFFFFFF);
    int filled = looks - ((hasExtraLook_ && looks >= 3) ? 2 : 1);
    for (int k = 1; k <= filled; ++k) {
      Rect rect{marginLeft_ + k * cellWidth_, marginTop_, (k + 1) * cellWidth_ - marginRight_,
                cellHeight_ - marginBottom_};
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)surface->Fill(fill, &rect);
    }
  }
  const bool read = IsRead(key, index);
  // A surface without pixels, or an area that misses it, is left as it is.
  if (read && readPicture_) (void)surface->Blit(readPicture_.get(), 0, 0, nullptr, false);
  if (!renderer_ || !item || item->label.empty()) return;
  const TextColor saved = renderer_->GetTextColor();
  // Only the outline renderer has a colour ramp; while it is on, it colours the text.
  auto* outline = dynamic_cast<OutlineTextRenderer*>(renderer_);
  const bool ramp = outline && outline->GradationOn();
  const Gradation savedRamp =
      ramp ? Gradation{outline->GradationTop(), outline->GradationBottom()} : Gradation{0, 0};
  auto draw = [&](int look, uint32_t color, Gradation pair, int32_t dx, int32_t dy) {
    if (ramp)
      // A ramp that cannot be had draws the text plain.
      (void)outline->SetGradation(true, pair.top, pair.bottom, true);
    else
      renderer_->SetTextColor((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
    // Text that cannot be drawn leaves the picture as it was.
    (void)renderer_->DrawText(surface, look * cellWidth_ + marginLeft_ + textX_ + dx,
                              marginTop_ + textY_ + dy, item->label.c_str(), nullptr, nullptr);
  };
  const uint32_t first = disabled ? disabledColor_ : read ? readColor_ : normalColor_;
  const Gradation firstRamp = disabled ? disabledGradation_
                              : read   ? readGradation_
                                       : normalGradation_;
  const uint32_t hover = disabled ? disabledColor_ : hoverColor_;
  const Gradation hoverRamp = disabled ? disabledGradation_ : hoverGradation_;
  draw(kLookNormal, first, firstRamp, 0, 0);
  draw(kLookHover, hover, hoverRamp, 0, 0);
  if (hasPressedLook_) draw(kLookPressed, hover, hoverRamp, pressedX_, pressedY_);
  if (hasExtraLook_ && !disabled) draw(looks - 1, first, firstRamp, 0, 0);
  if (ramp)
    // A ramp that cannot be had draws the text plain.
    (void)outline->SetGradation(true, savedRamp.top, savedRamp.bottom, true);
  else
    renderer_->SetTextColor(saved.r, saved.g, saved.b);
}

int ImageListPart::AddCell(const char* label, const char* tooltip, bool disabled, int32_t key,
                           const char* actionText1, int32_t actionValue, const char* actionText2,
                           uint32_t clickedVar, uint32_t hoveredVar, uint32_t notHoveredVar) {
  if (!target_ || !renderer_ || !label) return 1;
  std::unique_ptr<ImageSurface> surface = MakeCellSurface();
  if (!surface) return cellTemplate_ ? 2 : 4;
  if (AddItem(label, disabled, key, actionText1, actionValue, actionText2, tooltip, clickedVar,
              hoveredVar, notHoveredVar) != 0) {
    return 5;
  }
  const int32_t index = Count() - 1;
  DrawCell(index, surface.get());
  auto sprite = std::make_unique<Sprite>();
  Rect first{0, 0, cellWidth_, cellHeight_};
  // A sprite that cannot take the picture keeps the one it had.
  (void)sprite->SetImage(surface.get(), &first, x_, RowTop(index));
  // A mode out of range keeps the one in force.
  (void)sprite->SetDrawMode(kBlendAlpha);
  cells_.push_back({std::move(surface), std::move(sprite)});
  Place(cells_.back().sprite.get());
  LayOut();
  return 0;
}

void ImageListPart::ReleaseCells() {
  cells_.clear();
  ClearItems();
  UpdateSize();
}

void ImageListPart::ReleaseFrame() {
  head_ = {};
  tail_ = {};
  cellTemplate_.reset();
  templateSources_ = {};
  headSources_ = {};
  tailSources_ = {};
  lastLookX_ = 0;
}

const ImageSurface* ImageListPart::GetCellSurface(int32_t n) const {
  if (n < 0) return head_.surface.get();
  if (n >= static_cast<int32_t>(cells_.size())) return tail_.surface.get();
  return cells_[n].surface.get();
}

const Sprite* ImageListPart::GetCellSprite(int32_t n) const {
  if (n < 0) return head_.sprite.get();
  if (n >= static_cast<int32_t>(cells_.size())) return tail_.sprite.get();
  return cells_[n].sprite.get();
}

}  // namespace bw
