#include "gui/message_text_widget_base.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/sjis.h"
#include "graphics/text/text_renderer.h"
#include "gui/pointer_manager.h"
#include "input/input_binding_table.h"
#include "input/mouse.h"

namespace bw {

namespace kinsoku {
// ‘“（〔［｛〈《「『【￥＄￡
const char kWideNotAtLineEnd[] =
    "\x81\x65\x81\x67\x81\x69\x81\x6B\x81\x6D\x81\x6F\x81\x71\x81\x73\x81\x75\x81\x77\x81\x79"
    "\x81\x8F\x81\x90\x81\x92";
// 。，、．：；゛゜ヽヾゝゞ々’”）〕］｝〉》」』】°′″℃￠％‰
const char kWideNotAtLineStart[] =
    "\x81\x42\x81\x43\x81\x41\x81\x44\x81\x46\x81\x47\x81\x4A\x81\x4B\x81\x52\x81\x53\x81\x54"
    "\x81\x55\x81\x58\x81\x66\x81\x68\x81\x6A\x81\x6C\x81\x6E\x81\x70\x81\x72\x81\x74\x81\x76"
    "\x81\x78\x81\x7A\x81\x8B\x81\x8C\x81\x8D\x81\x8E\x81\x91\x81\x93\x81\xF1";
// ・？！ーぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ
const char kWideSmall[] =
    "\x81\x45\x81\x48\x81\x49\x81\x5B\x82\x9F\x82\xA1\x82\xA3\x82\xA5\x82\xA7\x82\xC1\x82\xE1"
    "\x82\xE3\x82\xE5\x82\xEC\x83\x40\x83\x42\x83\x44\x83\x46\x83\x48\x83\x62\x83\x83\x83\x85"
    "\x83\x87\x83\x8E\x83\x95\x83\x96";
const char kNarrowNotAtLineEnd[] = "\x5C$([{\xA2";
const char kNarrowNotAtLineStart[] = "%),:;]}\xA1\xA3\xDE\xDF";
const char kNarrowSmall[] = "!.?\xA4\xA5\xA7\xA8\xA9\xAA\xAB\xAC\xAD\xAE\xAF\xB0";
}  // namespace kinsoku

namespace {

bool InWideList(const char* list, uint16_t c) {
  for (size_t i = 0; list[i] && list[i + 1]; i += 2) {
    if (uint8_t(list[i]) == c >> 8 && uint8_t(list[i + 1]) == (c & 0xFF)) return true;
  }
  return false;
}

bool InNarrowList(const char* list, uint8_t c) {
  return c != 0 && std::strchr(list, char(c)) != nullptr;
}

const char* TextOrNull(const std::string& text) {
  return text.empty() ? nullptr : text.c_str();
}

}  // namespace

void MessageTextWidgetBase::ForgetGone(const void* object) {
  if (mainRenderer_ == object) mainRenderer_ = nullptr;
  if (rubyRenderer_ == object) rubyRenderer_ = nullptr;
}

MessageTextWidgetBase::~MessageTextWidgetBase() {
  RemoveAllItems();
}

bool MessageTextWidgetBase::HitTest(int32_t x, int32_t y) const {
  return static_cast<uint32_t>(x - GetX()) < static_cast<uint32_t>(width_) &&
         static_cast<uint32_t>(y - GetY()) < static_cast<uint32_t>(height_);
}

int32_t MessageTextWidgetBase::FontSize() const {
  return mainRenderer_ ? std::abs(mainRenderer_->GetLogFont().lfHeight) : 0;
}

int32_t MessageTextWidgetBase::RubyFontSize() const {
  return rubyRenderer_ ? std::abs(rubyRenderer_->GetLogFont().lfHeight) : 0;
}

const TextLinkItem* MessageTextWidgetBase::GetItem(int index) const {
  if (index < 0 || size_t(index) >= items_.size()) return nullptr;
  return items_[size_t(index)].get();
}

TextLinkItem* MessageTextWidgetBase::ActiveItem(int index) const {
  if (index < 0 || size_t(index) >= items_.size()) return nullptr;
  TextLinkItem* item = items_[size_t(index)].get();
  return item->active ? item : nullptr;
}

// Line metrics.

void MessageTextWidgetBase::UpdateLineHeight() {
  int32_t size = FontSize();
  if (!vertical_ && rubyEnabled_ && rubyRenderer_) size += RubyFontSize() + rubyGap_;
  lineHeight_ = std::max(minLineHeight_, size);
  linePitch_ =
      lineHeight_ + (vertical_ ? paddingLeft_ + paddingRight_ : paddingTop_ + paddingBottom_);
}

int32_t MessageTextWidgetBase::GetBaselineOffset() const {
  return vertical_ ? lineHeight_ / 2 + paddingLeft_ : paddingTop_ + lineHeight_;
}

int32_t MessageTextWidgetBase::GetColumnOffset() const {
  return vertical_ ? paddingRight_ - linePitch_ : -paddingLeft_;
}

void MessageTextWidgetBase::UpdateWrapLimit() {
  if (!mainRenderer_) return;
  const int32_t reserved = hangCount_ * FontSize();
  wrapLimit_ = vertical_ ? height_ - reserved - marginBottom_ : width_ - reserved - marginRight_;
}

bool MessageTextWidgetBase::UpdateWrapLimitIfReady() {
  if (!mainRenderer_) return false;
  UpdateWrapLimit();
  return true;
}

bool MessageTextWidgetBase::BreakLine() {
  return NewLine() ? autoWrap_ : false;
}

void MessageTextWidgetBase::UpdateIndent() {
  indent_ = vertical_ ? penY_ - marginTop_ : penX_ - marginLeft_;
}

bool MessageTextWidgetBase::SetRubyText(const char* text) {
  if (!rubyRenderer_) return false;
  pendingRuby_ = text;
  return true;
}

// Line breaking.

bool MessageTextWidgetBase::IsKinsokuChar(uint16_t c) const {
  return InWideList(kinsoku::kWideNotAtLineEnd, previousChar_) ||
         InWideList(kinsoku::kWideNotAtLineStart, c) || InWideList(kinsoku::kWideSmall, c);
}

bool MessageTextWidgetBase::IsKinsokuByte(uint8_t c) const {
  const bool previousNarrow = (previousChar_ & 0xFF) == 0;
  return (previousNarrow &&
          InNarrowList(kinsoku::kNarrowNotAtLineEnd, uint8_t(previousChar_ >> 8))) ||
         InNarrowList(kinsoku::kNarrowNotAtLineStart, c) || InNarrowList(kinsoku::kNarrowSmall, c);
}

int MessageTextWidgetBase::ApplyLineBreak(uint16_t c, bool wide) {
  const int32_t along = vertical_ ? penY_ : penX_;
  if (along <= wrapLimit_) return kBreakNone;
  const bool keep = wide ? IsKinsokuChar(c) : IsKinsokuByte(uint8_t(c));
  const int32_t end = vertical_ ? height_ - marginBottom_ : width_ - marginRight_;
  if (keep && int64_t(along) + FontSize() <= end) return kBreakNone;
  return NewLine() ? kBreakPageFull : kBreakNewLine;
}

// Placed strings.

void MessageTextWidgetBase::DrawStringAligned(const char* text, int alignment) {
  if (!mainRenderer_ || !text || !*text) return;
  Size size;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  mainRenderer_->MeasureText(text, &size, &offsetX, &offsetY, true, nullptr);
  Rect box;
  mainRenderer_->GetRotatedRect(&box, offsetX, offsetY, size.width, size.height);
  const int32_t w = box.right - box.left;
  const int32_t h = box.bottom - box.top;
  const int32_t areaWidth = width_ - marginLeft_ - marginRight_ + paddingLeft_ + paddingRight_;
  const int32_t areaHeight = height_ - marginTop_ - marginBottom_ + paddingTop_ + paddingBottom_;
  // Alignments past the last place as left (top) aligned.
  if (alignment >= 4 || alignment < 0) alignment = 2;
  int32_t x = -1;
  int32_t y = -1;
  if (!vertical_) {
    switch (alignment) {
      case 0:
        x = (areaWidth - w) >> 1;
        y = (areaHeight - h) >> 1;
        break;
      case 1:
        x = (areaWidth - w) >> 1;
        break;
      case 2:
        x = 0;
        break;
      default:
        x = areaWidth - w;
        break;
    }
  } else {
    switch (alignment) {
      case 0:
        x = ((areaWidth - w) >> 1) - paddingRight_ - box.left + 1;
        y = (areaHeight - h) >> 1;
        break;
      case 1:
        y = (areaHeight - h) >> 1;
        break;
      case 2:
        y = 0;
        break;
      default:
        y = areaHeight - h;
        break;
    }
  }
  (void)DrawString(text, x, y, true);  // a tag that draws nothing leaves the page as it was
}

void MessageTextWidgetBase::DrawStringJustified(const char* text, const Rect& rect) {
  if (rect.IsEmpty() || !mainRenderer_ || !text || !*text) return;
  const std::string_view view(text);
  int32_t count = 0;
  for (size_t pos = 0; pos < view.size(); pos = sjis::Next(view, pos)) ++count;
  Size size;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  mainRenderer_->MeasureText(text, &size, &offsetX, &offsetY, false, nullptr);
  const int32_t rectWidth = rect.right - rect.left;
  const int32_t rectHeight = rect.bottom - rect.top;
  int32_t free = 0;
  if (vertical_) {
    free = rectHeight + paddingTop_ + paddingBottom_ - size.height;
    // Moving the pen cannot fail.
    (void)MoveTo(rect.right - ((rectWidth - lineHeight_) >> 1) - marginLeft_,
                 rect.top - marginTop_);
  } else {
    free = rectWidth + paddingLeft_ + paddingRight_ - size.width;
    (void)MoveTo(rect.left - marginLeft_,
                 rect.top + ((rectHeight - lineHeight_) >> 1) - marginTop_);
  }
  const int32_t gap = free / (count + 1);
  const int32_t rest = (free % (count + 1)) / 2;
  int32_t& along = vertical_ ? penY_ : penX_;
  if (itemOpen_ && !areaOpen_) BeginItemArea();
  along += rest;
  const char* cursor = text;
  while (*cursor) {
    along += gap;
    if (PutChar(&cursor) == kBreakPageFull) return;
  }
  along += rest + gap;
}

// Link items.

void MessageTextWidgetBase::RemoveAllItems() {
  HideOwnTooltip();
  items_.clear();
  itemOpen_ = false;
  areaOpen_ = false;
  hovered_ = -1;
  hoverTooltip_ = nullptr;
}

int MessageTextWidgetBase::AddItem(ClickAction action, const char* tooltip,
                                   uint32_t highlightColor) {
  if (!linksEnabled_ || itemOpen_) return kAddItemRefused;
  // The item map could not tell a 256th item from none.
  if (items_.size() >= size_t(kMaxTextLinkItems)) return kAddItemRefused;
  auto item = std::make_unique<TextLinkItem>();
  item->action = WithFileSounds(std::move(action));
  item->tooltip = tooltip ? tooltip : "";
  item->highlightColor = highlightColor;
  items_.push_back(std::move(item));
  itemOpen_ = true;
  areaOpen_ = false;
  return kAddItemDone;
}

void MessageTextWidgetBase::BeginItemArea() {
  if (items_.empty()) return;
  ItemRect rect;
  rect.x = penX_ + GetColumnOffset();
  rect.y = penY_ + GetRowOffset();
  items_.back()->area.push_back(rect);
  areaOpen_ = true;
}

void MessageTextWidgetBase::EndItemArea() {
  if (!areaOpen_ || items_.empty() || items_.back()->area.empty()) {
    areaOpen_ = false;
    return;
  }
  ItemRect& rect = items_.back()->area.back();
  const bool italic = mainRenderer_ && mainRenderer_->GetLogFont().lfItalic;
  int32_t length = (vertical_ ? penY_ - rect.y : penX_ - rect.x) + (italic ? FontSize() / 4 : 0);
  length = length > 0 ? length + (vertical_ ? paddingBottom_ : paddingRight_) : 0;
  if (vertical_) {
    rect.width = linePitch_;
    rect.height = length;
  } else {
    rect.width = length;
    rect.height = linePitch_;
  }
  PaintItemArea(rect.x, rect.y, rect.width, rect.height);
  areaOpen_ = false;
}

void MessageTextWidgetBase::CloseItem() {
  if (!itemOpen_) return;
  itemOpen_ = false;
  EndItemArea();
  items_.back()->active = true;
  if (PointerManager* owner = GetOwner()) {
    int32_t x = 0;
    int32_t y = 0;
    owner->GetPointerPosition(&x, &y);
    closeX_ = x - GetX();
    closeY_ = y - GetY();
  }
  recheckHover_ = true;
  decided_ = false;
}

void MessageTextWidgetBase::ClearPressed() {
  if (pressed_ && GetOwner()) GetOwner()->SetCaptured(false);
  pressed_ = false;
}

void MessageTextWidgetBase::SetDecided(bool decided) {
  decided_ = decided;
}

void MessageTextWidgetBase::HideOwnTooltip() {
  if (PointerManager* owner = GetOwner()) owner->HideTooltipOf(this);
}

bool MessageTextWidgetBase::EnterItem(int index) {
  TextLinkItem* item = ActiveItem(index);
  if (!item) return false;
  PointerManager* owner = GetOwner();
  SetHoverWords(owner, &item->action, true);
  if (owner) {
    PlayPartSound(owner, item->action.enterSoundFile, item->action.enterSound, kDefaultEnterSound);
  }
  hoverTooltip_ = TextOrNull(item->tooltip);
  ShowItemHighlight(index, true);
  return true;
}

bool MessageTextWidgetBase::LeaveItem(int index) {
  TextLinkItem* item = ActiveItem(index);
  if (!item) return false;
  PointerManager* owner = GetOwner();
  SetHoverWords(owner, &item->action, false);
  if (owner) {
    PlayPartSound(owner, item->action.leaveSoundFile, item->action.leaveSound, kDefaultLeaveSound);
  }
  hoverTooltip_ = nullptr;
  ShowItemHighlight(index, false);
  return true;
}

void MessageTextWidgetBase::LeaveHovered() {
  if (hovered_ < 0) return;
  HideOwnTooltip();
  (void)LeaveItem(hovered_);  // false only when no item was entered
  hovered_ = -1;
}

bool MessageTextWidgetBase::SelectItem(int index) {
  TextLinkItem* item = index >= 0 ? ActiveItem(index) : nullptr;
  if (index >= 0 && !item) return false;
  PointerManager* owner = GetOwner();
  if (owner && GetId() >= 0) owner->SetFiredId(index >= 0 ? GetId() + index : GetId());
  if (!item) return false;
  decided_ = true;
  RunClickAction(owner, &item->action);
  return true;
}

bool MessageTextWidgetBase::FocusItem(int index) {
  TextLinkItem* item = ActiveItem(index);
  if (!item) return false;
  PointerManager* owner = GetOwner();
  const int mode = owner ? owner->GetFocusPointerMode() : kFocusPointerStays;
  if (mode == kFocusPointerCentre && !item->area.empty()) {
    const ItemRect& r = item->area.front();
    owner->SetPointerPosition(GetX() + r.x + r.width / 2, GetY() + r.y + r.height / 2);
    return true;
  }
  if (owner) owner->LetGo(this, false);
  if (mode == kFocusPointerParks) LeaveHovered();
  if (EnterItem(index)) hovered_ = index;
  if (mode == kFocusPointerParks) owner->ParkPointer();
  return true;
}

// Pointer and keys.

void MessageTextWidgetBase::OnPointerMove(int32_t x, int32_t y) {
  if (decided_) return;
  if (dragThreshold_ != 0 && HitFrame(x, y)) return;
  const int found = ItemAt(x, y);
  if (found == hovered_) return;
  LeaveHovered();
  hovered_ = EnterItem(found) ? found : -1;
}

bool MessageTextWidgetBase::ClaimPointer(int32_t x, int32_t y) {
  PointerManager* owner = GetOwner();
  if (pressed_) {
    Mouse* mouse = owner ? owner->GetMouse() : nullptr;
    if (mouse && mouse->IsButtonDown(kButtonLeft)) {
      // Moving a part that is made cannot fail.
      (void)SetPosition(GetX() + x - pressX_, GetY() + y - pressY_);
      return true;
    }
    ClearPressed();
  }
  if (dragThreshold_ != 0 && HitFrame(x, y)) {
    if (!decided_) LeaveHovered();
    // Every state asked here is a known one.
    if (owner) (void)owner->SetCursorState(kCursorOverFrame);
    return true;
  }
  if (decided_) return false;
  if (recheckHover_ && (std::abs(x - closeX_) > 3 || std::abs(y - closeY_) > 3)) {
    recheckHover_ = false;
  }
  if (ActiveItem(ItemAt(x, y))) {
    if (owner) (void)owner->SetCursorState(kCursorOverLink);
    return true;
  }
  return false;
}

void MessageTextWidgetBase::OnPointerOver(int32_t x, int32_t y) {
  if (!pressed_) OnPointerMove(x, y);
  (void)ClaimPointer(x, y);  // whether it claimed the pointer matters to the press alone
}

bool MessageTextWidgetBase::OnButtonDown(int32_t x, int32_t y, Mouse* mouse) {
  if (!mouse || !mouse->IsButtonPressed(kButtonLeft)) return false;
  if (!decided_ && hovered_ >= 0) return SelectItem(hovered_);
  if (dragThreshold_ != 0 && HitFrame(x, y)) {
    pressX_ = x;
    pressY_ = y;
    pressed_ = true;
    if (GetOwner()) GetOwner()->SetCaptured(true);
    return true;
  }
  return false;
}

bool MessageTextWidgetBase::OnPointerInput(int32_t x, int32_t y, Mouse* mouse) {
  if (pressed_) {
    (void)ClaimPointer(x, y);  // whether it claimed the pointer matters to the press alone
    return pressed_;
  }
  return OnButtonDown(x, y, mouse);
}

void MessageTextWidgetBase::OnPointerLeave() {
  ClearPressed();
  if (!decided_) LeaveHovered();
}

void MessageTextWidgetBase::OnFocusLost(UiControl* /*next*/) {
  OnPointerLeave();
}

void MessageTextWidgetBase::OnFocusGot(UiControl* /*previous*/, bool forward) {
  if (decided_ || items_.empty()) return;
  (void)FocusItem(forward ? 0 : int(items_.size()) - 1);  // false only when the focus does not move
}

bool MessageTextWidgetBase::OnNavigate(InputBindingTable* bindings) {
  PointerManager* owner = GetOwner();
  if (!owner || decided_) return false;
  const int count = int(items_.size());
  const int way = owner->ClassifyNavigationKey(bindings);
  if (way == kNavigateBack) {
    if (hovered_ > 0) return FocusItem(hovered_ - 1);
    if (owner->FocusPrevious() == kFocusDone) return true;
    return FocusItem(count - 1);
  }
  if (way == kNavigateOn) {
    if (hovered_ >= 0 && hovered_ + 1 < count) return FocusItem(hovered_ + 1);
    if (hovered_ >= 0 && owner->FocusNext() == kFocusDone) return true;
    return FocusItem(0);
  }
  return false;
}

bool MessageTextWidgetBase::OnKeyInput(InputBindingTable* bindings) {
  if (!decided_ && hovered_ >= 0 && bindings && bindings->IsActionPressed(kActionDecide)) {
    return SelectItem(hovered_);
  }
  return OnNavigate(bindings);
}

}  // namespace bw
