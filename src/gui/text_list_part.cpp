#include "gui/text_list_part.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "graphics/surface/display_object.h"
#include "graphics/text/text_renderer.h"
#include "gui/color_box_part.h"
#include "gui/pointer_manager.h"
#include "input/input_binding_table.h"
#include "input/keyboard_device.h"
#include "input/mouse.h"

namespace bw {

namespace {

constexpr int kCodeHome = 0xC7;
constexpr int kCodeEnd = 0xCF;
constexpr int kCodeSpace = 0x39;
constexpr int kViewBlend = 2;
// Create: the view could not be made.
constexpr int kListNoView = 3;

}  // namespace

// --- The view -----------------------------------------------------------------------------

TextListView::~TextListView() = default;

int TextListView::SetPosition(int32_t x, int32_t y) {
  sprite_.SetPos(x, y);
  return 0;
}

void TextListView::SetVisible(bool visible) {
  ReleaseFocusAndHover(visible);
  sprite_.SetVisible(visible);
}

int TextListView::SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) {
  if (!target_) return kCreateBadArguments;
  if (PlaceInList(target_, &sprite_, order, tag, keepWhenEqual)) group_ = tag;
  order_ = order;
  return kCreateDone;
}

void TextListView::OnFocusGot(UiControl* /*previous*/, bool /*forward*/) {
  PointerManager* owner = GetOwner();
  if (!owner) return;
  const int mode = owner->GetFocusPointerMode();
  if (mode == kFocusPointerCentre) {
    owner->SetPointerPosition(GetX() + (GetWidth() >> 1), GetY() + (GetHeight() >> 1));
  } else if (mode == kFocusPointerParks) {
    owner->ParkPointer();
  }
}

void TextListPart::Bar::OnFocusGot(UiControl* /*previous*/, bool forward) {
  PointerManager* owner = GetOwner();
  if (!owner) return;
  owner->PassFocusOn(forward);
}

// --- The list -----------------------------------------------------------------------------

TextListPart::TextListPart() = default;

TextListPart::~TextListPart() {
  if (manager_) (void)RemoveFromPointerManager();  // false when it was in no manager
  Release();
}

int32_t TextListPart::LineCount() const {
  const auto* column = Column();
  return column ? static_cast<int32_t>(column->size()) : 0;
}

void TextListPart::Release() {
  renderer_ = nullptr;
  if (DisplayObjectList* list = sprite_.GetOwnerList(); list && target_) list->Remove(&sprite_);
  target_ = nullptr;
  sprite_.Reset();
  view_.Release();
  scrollList_.Release();
  texts_.reset();
  faces_.reset();
  columnsDecided_ = false;
  flagImage_.reset();
  lineFlags_.reset();
  flagCellWidth_ = 0;
}

int TextListPart::Create(DisplayObjectList* target, const TextListLayout& layout, int32_t group) {
  if (!target || !layout.renderer || layout.width <= 0 || !layout.thumbImage ||
      static_cast<int64_t>(layout.barLength) <
          static_cast<int64_t>(layout.thumbStartEdge) + layout.thumbEndEdge + 1) {
    return kCreateBadArguments;
  }
  // A pitch below one line would never advance: the hover division and the drawing loop need it.
  const int64_t lineHeight = std::abs(static_cast<int64_t>(layout.renderer->GetLogFont().lfHeight));
  if (lineHeight + layout.lineSpacing < 1) return kCreateBadArguments;
  // The same target: Release leaves the sprite in it.
  if (target == target_) target_ = nullptr;
  Release();
  target_ = target;
  int64_t viewWidth = layout.width;
  if (layout.flagImageName) {
    flagImage_ = std::make_unique<ImageSurface>();
    if (flagImage_->Load(layout.flagImageName, nullptr, 0, 0) != 0) {
      Release();
      return kCreateNoPicture;
    }
    lineFlags_ = std::make_unique<std::vector<uint8_t>>();
    flagCellWidth_ = flagImage_->GetWidth() >> 2;
    viewWidth += flagCellWidth_;
  }
  lineHeight_ = static_cast<int32_t>(lineHeight);
  lineSpacing_ = layout.lineSpacing;
  int64_t viewHeight = layout.height;
  if (layout.height < 0)
    viewHeight = -static_cast<int64_t>(layout.height) * Pitch() - layout.lineSpacing;
  if (viewWidth > std::numeric_limits<int32_t>::max() || viewHeight <= 0 ||
      viewHeight > std::numeric_limits<int32_t>::max() ||
      view_.Create(static_cast<int32_t>(viewWidth), static_cast<int32_t>(viewHeight), 32,
                   kImagePlain) != 0) {
    Release();
    return kListNoView;
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)view_.Fill(backgroundColor_, nullptr);
  // A sprite that cannot take the picture keeps the one it had.
  (void)sprite_.SetImage(&view_, nullptr, layout.x, layout.y);
  // A mode out of range keeps the one in force.
  (void)sprite_.SetDrawMode(kViewBlend);
  // A bar whose picture will not load is left out: the lines show and scroll by keys alone.
  (void)scrollList_.CreateFromImages(target,
                                     {.order = layout.order,
                                      .x = layout.barX,
                                      .y = layout.barY,
                                      .thumbFile = layout.thumbImage,
                                      .thumbStartEdge = layout.thumbStartEdge,
                                      .thumbEndEdge = layout.thumbEndEdge,
                                      .hasDisabledCell = true,
                                      .vertical = true,
                                      .blendMode = layout.barBlendMode},
                                     group);
  scrollList_.SetEventSink(&sink_);
  scrollList_.SetStep(Pitch());
  barLength_ = layout.barLength;
  (void)SetOrder(layout.order, group, true);  // the list is set by now, so placing cannot fail
  renderer_ = layout.renderer;
  return kCreateDone;
}

int TextListPart::AddLine(const char* text, const char* face, bool relayout) {
  if (!renderer_) return kListNotCreated;
  if (!columnsDecided_) {
    columnsDecided_ = true;
    if (text) texts_ = std::make_unique<std::vector<std::string>>();
    if (face) faces_ = std::make_unique<std::vector<std::string>>();
  }
  if (texts_) {
    texts_->push_back(text ? text : "");
    if (lineFlags_) lineFlags_->push_back(defaultFlag_);
  }
  if (faces_) faces_->push_back(face ? face : "");
  if (relayout) Relayout();
  return 0;
}

void TextListPart::Relayout() {
  const int32_t n = LineCount();
  const int64_t content = n > 0 ? static_cast<int64_t>(n) * Pitch() - lineSpacing_ : GetHeight();
  // An empty list leaves the bar empty.
  (void)scrollList_.SetRange(barLength_,
                             static_cast<int32_t>(std::min<int64_t>(content, INT32_MAX)),
                             GetHeight(), 0, 0, 1);
  hoverLine_ = savedHoverLine_ = -1;
  Redraw();
}

void TextListPart::Redraw() {
  if (!renderer_) return;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)view_.Fill(backgroundColor_, nullptr);
  const auto* column = Column();
  if (!column) return;
  const int32_t n = static_cast<int32_t>(column->size());
  const bool boxes = texts_ && lineFlags_ && flagImage_;
  const int32_t x0 = boxes ? flagCellWidth_ : 0;
  const int32_t w = view_.GetWidth() - x0;
  const int32_t boxOffset = boxes ? (lineHeight_ - flagImage_->GetHeight()) >> 1 : 0;
  int64_t y = -static_cast<int64_t>(scrollList_.GetScrollPos());
  if (y > 0) y = 0;
  const int32_t pitch = Pitch();
  for (int32_t i = 0; i < n && y < view_.GetHeight(); ++i, y += pitch) {
    if (y <= -lineHeight_) continue;
    const int32_t top = static_cast<int32_t>(y);
    // A surface without pixels, or an area that misses it, is left as it is.
    if (i == selectedLine_) (void)view_.FillRectXYWH(x0, top, w, lineHeight_, selectionColor_);
    if (boxes) {
      const int32_t cell =
          ((*lineFlags_)[static_cast<size_t>(i)] ? 2 : 0) + (hoverLine_ == i + n ? 1 : 0);
      Rect source{cell * flagCellWidth_, 0, (cell + 1) * flagCellWidth_, flagImage_->GetHeight()};
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)view_.Blit(flagImage_.get(), 0, top + boxOffset, &source, false);
    }
    if (i == hoverLine_) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)view_.FillRectXYWH(x0, top, w, 1, hoverFrameColor_);
      (void)view_.FillRectXYWH(x0, top + 1, 1, lineHeight_ - 1, hoverFrameColor_);
      (void)view_.FillRectXYWH(x0 + 1, top + lineHeight_ - 1, w - 1, 1, hoverFrameColor_);
      (void)view_.FillRectXYWH(x0 + w - 1, top + 1, 1, lineHeight_ - 2, hoverFrameColor_);
    }
    // An empty face keeps the renderer's current one.
    if (faces_ && !(*faces_)[static_cast<size_t>(i)].empty()) {
      // Refused, the font in force stays; not made, the renderer has none and draws no text.
      (void)renderer_->SetFaceName((*faces_)[static_cast<size_t>(i)].c_str());
    }
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)view_.DrawTextOutline(x0 + 2, top, (*column)[static_cast<size_t>(i)].c_str(), renderer_);
  }
  sprite_.SetChanged(true);
}

int TextListPart::SelectLine(int32_t index) {
  if (!renderer_) return kListNotCreated;
  if (index >= LineCount()) index = -1;
  selectedLine_ = index;
  if (index < 0 || !ScrollLineIntoView(index)) Redraw();
  return 0;
}

int TextListPart::SetLineFlag(int32_t index, uint8_t value, bool redraw) {
  if (!renderer_ || !texts_ || !lineFlags_) return kListNotCreated;
  if (index < 0 || static_cast<size_t>(index) >= texts_->size()) return kListBadIndex;
  (*lineFlags_)[static_cast<size_t>(index)] = value;
  if (redraw) Redraw();
  return 0;
}

uint8_t TextListPart::GetLineFlag(int32_t index) const {
  if (!renderer_ || !texts_ || !lineFlags_ || index < 0 ||
      static_cast<size_t>(index) >= lineFlags_->size()) {
    return 0;
  }
  return (*lineFlags_)[static_cast<size_t>(index)];
}

int TextListPart::AddToPointerManager(PointerManager* manager, int32_t position) {
  if (!manager) return kAddControlNull;
  if (GetOwner()) return kPartRegistered;
  if (position < 0) {
    (void)manager->AddControl(this, -1);  // a part made here belongs to no manager yet
    (void)manager->AddControl(&scrollList_, -1);
  } else {
    (void)manager->AddControl(&scrollList_, -1);
    (void)manager->AddControl(this, position);
  }
  manager_ = manager;
  return 0;
}

bool TextListPart::RemoveFromPointerManager() {
  if (!manager_) return false;
  manager_->RemoveControl(&scrollList_);
  manager_->RemoveControl(this);
  manager_ = nullptr;
  return true;
}

void TextListPart::SetHoverLine(int32_t value) {
  if (value == hoverLine_) return;
  hoverLine_ = value;
  Redraw();
}

void TextListPart::ActivateLine(int32_t value) {
  const int32_t n = LineCount();
  if (texts_ && lineFlags_ && value >= n && value < 2 * n) {
    uint8_t& flag = (*lineFlags_)[static_cast<size_t>(value - n)];
    flag = flag == 0 ? 1 : 0;
  } else if (value >= 0 && value < n && value != selectedLine_) {
    selectedLine_ = value;
  } else {
    return;
  }
  if (GetId() >= 0 && GetOwner()) GetOwner()->SetFiredId(GetId());
  Redraw();
}

bool TextListPart::ScrollLineIntoView(int32_t line) {
  const int64_t at = static_cast<int64_t>(line) * Pitch();
  const int64_t top = at - scrollList_.GetScrollPos();
  int result = kScrollUnchanged;
  if (top < 0) {
    result = scrollList_.SetScrollPosition(at);
  } else if (top + lineHeight_ > GetHeight()) {
    result = scrollList_.SetScrollPosition(at + lineHeight_ - GetHeight());
  }
  // A move redraws through the bar's notice.
  if (result == 0) return false;
  Redraw();
  return true;
}

int TextListPart::SetPosition(int32_t x, int32_t y) {
  const int32_t dx = x - GetX();
  const int32_t dy = y - GetY();
  sprite_.SetPos(x, y);
  // Moving a part that is made cannot fail.
  (void)scrollList_.SetPosition(scrollList_.GetX() + dx, scrollList_.GetY() + dy);
  return 0;
}

void TextListPart::SetVisible(bool visible) {
  scrollList_.SetVisible(visible);
  TextListView::SetVisible(visible);
}

int TextListPart::SetAlpha(int alpha) {
  (void)scrollList_.SetAlpha(alpha);  // the part is made, so its opacity always takes
  return sprite_.SetAlpha(alpha);
}

bool TextListPart::SetEnabled(bool enabled) {
  (void)scrollList_.SetEnabled(enabled);  // false only when the flag was already so
  return UiControl::SetEnabled(enabled);
}

bool TextListPart::HitTest(int32_t x, int32_t y) const {
  return static_cast<uint32_t>(x - GetX()) < static_cast<uint32_t>(GetWidth()) &&
         static_cast<uint32_t>(y - GetY()) < static_cast<uint32_t>(GetHeight());
}

void TextListPart::OnPointerEnter() {
  // The pointer and the keys share one hover line.
  // A part the manager does not list leaves the focus where it was.
  if (GetOwner() && !GetOwner()->IsFocus(this)) (void)GetOwner()->SetFocus(this);
}

void TextListPart::OnPointerOver(int32_t x, int32_t y) {
  const int32_t n = LineCount();
  if (n == 0) {
    SetHoverLine(-1);
    return;
  }
  const int64_t line =
      (std::max(scrollList_.GetScrollPos(), 0) + static_cast<int64_t>(y)) / Pitch();
  if (line < 0 || line >= n) {
    SetHoverLine(-1);
  } else {
    SetHoverLine(x < flagCellWidth_ ? static_cast<int32_t>(line) + n : static_cast<int32_t>(line));
  }
}

bool TextListPart::OnPointerInput(int32_t x, int32_t y, Mouse* mouse) {
  if (!mouse) return false;
  if (mouse->IsButtonPressed(kButtonLeft)) {
    ActivateLine(hoverLine_);
    return true;
  }
  if (mouse->IsButtonPressed(kButtonWheelUp) || mouse->IsButtonPressed(kButtonWheelDown)) {
    return scrollList_.OnPointerInput(x, y, mouse);
  }
  return false;
}

void TextListPart::OnFocusGot(UiControl* /*previous*/, bool /*forward*/) {
  if (savedHoverLine_ >= 0) SetHoverLine(savedHoverLine_);
}

void TextListPart::OnFocusLost(UiControl* /*next*/) {
  savedHoverLine_ = hoverLine_;
  if (hoverLine_ >= 0) SetHoverLine(-1);
}

bool TextListPart::MoveHover(int32_t line) {
  hoverLine_ = line;
  (void)ScrollLineIntoView(line);  // false only when the line is in view already
  return true;
}

bool TextListPart::OnKeyInput(InputBindingTable* bindings) {
  const int32_t n = LineCount();
  if (n == 0 || !bindings) return false;
  int32_t h = hoverLine_;
  if (bindings->IsActionPressed(kNavigateUp)) {
    if (h >= n) h -= n;
    return MoveHover(std::max(h - 1, 0));
  }
  if (bindings->IsActionPressed(kNavigateDown)) {
    if (h >= n) h -= n;
    if (h < n - 1) ++h;
    return MoveHover(h);
  }
  if (bindings->IsActionPressed(kActionDecide)) {
    ActivateLine(h);
    return true;
  }
  const int32_t page = (GetHeight() - lineSpacing_) / Pitch();
  if (pageUpAction_ != 0 && bindings->IsActionPressed(pageUpAction_)) {
    return MoveHover(std::max(h - page, 0));
  }
  if (pageDownAction_ != 0 && bindings->IsActionPressed(pageDownAction_)) {
    return MoveHover(std::min(h + page, n - 1));
  }
  KeyboardDevice* keyboard = GetOwner() ? GetOwner()->GetKeyboard() : nullptr;
  if (!keyboard) return false;
  if (keyboard->IsKeyPressed(kCodeHome) || keyboard->IsKeyPressed(kCodeEnd)) {
    const bool home = keyboard->IsKeyPressed(kCodeHome);
    hoverLine_ = home ? 0 : n - 1;
    if (scrollList_.SetThumbPosition(home ? 0 : scrollList_.GetThumbMax()) != 0) Redraw();
    return true;
  }
  if (keyboard->IsKeyPressed(kCodeSpace) && lineFlags_ && texts_ && h >= 0) {
    ActivateLine(h < n ? h + n : h);
    return true;
  }
  return false;
}

}  // namespace bw
