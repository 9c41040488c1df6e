#include "gui/button_part.h"

#include <cstring>
#include <limits>

#include "graphics/surface/display_object.h"
#include "graphics/text/text_renderer.h"
#include "gui/pointer_manager.h"
#include "input/input_binding_table.h"

namespace bw {

namespace {

constexpr uint32_t kDisabledLabel = 0x808080;
constexpr int kLightFactor = 3;
constexpr int kMidShift = -1;
constexpr int kDarkShift = -2;

template <typename Rule>
uint32_t EachChannel(uint32_t color, Rule rule) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    uint32_t v = (color >> shift) & 0xFF;
    out |= (rule(v) & 0xFF) << shift;
  }
  return out;
}

}  // namespace

uint32_t BrightenColor(uint32_t color, int factor) {
  if (factor > 1) {
    uint32_t f = static_cast<uint32_t>(factor);
    return EachChannel(
        color, [f](uint32_t v) { return v > 255 / f ? v + (255 - v) * (f - 1) / f : v * f; });
  }
  if (factor < -1) {
    uint32_t d = static_cast<uint32_t>(-factor);
    return EachChannel(color, [d](uint32_t v) { return v / d; });
  }
  return 0;
}

uint32_t ShiftColor(uint32_t color, int shift) {
  if (shift > 0) {
    return EachChannel(color, [shift](uint32_t v) {
      return v > (255u >> shift) ? v + ((255 - v) >> shift) * ((1u << shift) - 1) : v << shift;
    });
  }
  return EachChannel(color, [shift](uint32_t v) { return v >> -shift; });
}

bool ButtonPartBase::SetEnabled(bool enabled) {
  if (!UiControl::SetEnabled(enabled)) return false;
  // A state change only shows another cell and cannot fail.
  (void)SetState(enabled ? kStateNormal : kStateDisabled);
  return true;
}

bool ButtonPartBase::HitTest(int32_t x, int32_t y) const {
  return boxHit_ ? ClickablePart::HitTest(x, y) : PixelHitTest(x, y);
}

bool ButtonPartBase::OnKeyInput(InputBindingTable* bindings) {
  if (state_ == kStateHover && !hasPressedCell_) {
    DisarmKey();
    if (!bindings || !bindings->IsActionPressed(kActionDecide)) return false;
    // No pressed look to show: fire at once.
    (void)FireAction();  // a part that does not fire has nothing more to do
    return true;
  }
  return ClickablePart::OnKeyInput(bindings);
}

ButtonPart::ButtonPart() = default;

ButtonPart::~ButtonPart() {
  Release();
  ReleaseAction();
}

int ButtonPart::SetPosition(int32_t x, int32_t y) {
  sprite_.SetPos(x, y);
  return 0;
}

void ButtonPart::SetVisible(bool visible) {
  ReleaseFocusAndHover(visible);
  sprite_.SetVisible(visible);
}

int ButtonPart::SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) {
  if (!target_) return kCreateBadArguments;
  if (PlaceInList(target_, &sprite_, order, tag, keepWhenEqual)) group_ = tag;
  order_ = order;
  return kCreateDone;
}

int ButtonPart::AttachToTarget(DisplayObjectList* list) {
  if (!target_ || !list || !sprite_.GetOwnerList()) return kCreateBadArguments;
  target_->Remove(&sprite_);
  target_ = list;
  // An object already listed stays where it is.
  (void)list->Add(&sprite_, static_cast<uint32_t>(order_), static_cast<uint32_t>(group_));
  return kCreateDone;
}

int ButtonPart::SetState(uint32_t state) {
  uint8_t next = static_cast<uint8_t>(state);
  if (next == state_) return 0;
  state_ = next;
  int32_t cell = next;
  if (next == kStateDisabled && !hasDisabledCell_) {
    cell = 0;
  } else if (!hasPressedCell_ && (next == kStatePressed || next == kStateDisabled)) {
    cell = next - 1;
  }
  Rect source{width_ * cell, 0, width_ * (cell + 1), height_};
  // A sprite that cannot take it is shown as it was.
  (void)sprite_.SetSourceRect(&source);
  return 0;
}

bool ButtonPart::PixelHitTest(int32_t x, int32_t y) const {
  // A surface that went away takes the button's picture with it.
  if (!sprite_.GetSource()) return false;
  return sprite_.HitTest(x, y, true);
}

void ButtonPart::Release() {
  if (DisplayObjectList* list = sprite_.GetOwnerList()) list->Remove(&sprite_);
  sprite_.Reset();
  cells_.reset();
  source_ = nullptr;
  labelText_.clear();
  imageFile_.clear();
  labelFont_ = nullptr;
  width_ = 0;
}

bool ButtonPart::BeginCreate(DisplayObjectList* list) {
  if (!list) return false;
  // The same list: the sprite keeps its place in it.
  if (list != target_) {
    Release();
  } else {
    sprite_.Reset();
    cells_.reset();
    source_ = nullptr;
  }
  target_ = list;
  return true;
}

void ButtonPart::ShowPicture(ImageSurface& picture, int32_t x, int32_t y, int blendMode, int alpha,
                             int32_t order, int32_t group) {
  int32_t cells = 2 + (hasPressedCell_ ? 1 : 0) + (hasDisabledCell_ ? 1 : 0);
  width_ = picture.GetWidth() / cells;
  height_ = picture.GetHeight();
  state_ = kStateNormal;
  Rect first{0, 0, width_, height_};
  // A sprite that cannot take the picture keeps the one it had.
  (void)sprite_.SetImage(&picture, &first, x, y);
  blendMode_ = blendMode;
  alpha_ = alpha;
  // A mode out of range keeps the one in force.
  (void)sprite_.SetDrawMode(blendMode);
  sprite_.SetAlpha(alpha);
  (void)SetOrder(order, group, true);  // the list is set by now, so placing cannot fail
}

int ButtonPart::CreateFromFile(DisplayObjectList* list, const char* fileName,
                               const ButtonPicture& look, int32_t group) {
  const auto& [order, hasDisabledCell, hasPressedCell, x, y, blendMode, alpha, colorKeyA,
               colorKeyB] = look;
  if (!fileName || !BeginCreate(list)) return kCreateBadArguments;
  auto cells = std::make_unique<ImageSurface>();
  if (cells->Load(fileName, nullptr, 0, kImageDibSection) != 0) return kCreateNoPicture;
  if (colorKeyB >= 0) {
    // A picture without pixels has no key to set.
    (void)cells->SetColorKeyFromPixel(colorKeyA, colorKeyB);
  } else if (colorKeyA != -1) {
    uint32_t key = static_cast<uint32_t>(colorKeyA);
    // A picture without pixels has no key to set.
    (void)cells->SetColorKeyRgb((key >> 16) & 0xFF, (key >> 8) & 0xFF, key & 0xFF);
  } else if (blendMode == 0) {
    boxHit_ = true;
  }
  colorKeyA_ = colorKeyA;
  colorKeyB_ = colorKeyB;
  hasDisabledCell_ = hasDisabledCell;
  hasPressedCell_ = hasPressedCell;
  cells_ = std::move(cells);
  ShowPicture(*cells_, x, y, blendMode, alpha, order, group);
  imageFile_ = fileName;
  return kCreateDone;
}

int ButtonPart::CreateFromSurface(DisplayObjectList* list, ImageSurface* surface,
                                  const ButtonPicture& look, int32_t group) {
  if (!surface || !surface->GetPixels() || !BeginCreate(list)) return kCreateBadArguments;
  if (surface->GetColorKey() == kNoColorKey && look.blendMode == 0) boxHit_ = true;
  hasDisabledCell_ = look.hasDisabledCell;
  hasPressedCell_ = look.hasPressedCell;
  source_ = surface;
  ShowPicture(*surface, look.x, look.y, look.blendMode, look.alpha, look.order, group);
  return kCreateDone;
}

int ButtonPart::CreateDrawn(DisplayObjectList* list, int32_t order, const char* text,
                            TextRenderer* font, int32_t x, int32_t y, int32_t width, int32_t height,
                            bool hasDisabledCell, int32_t group) {
  if (!list) return kCreateBadArguments;
  // A null label is the empty label.
  if (!text) text = "";
  int32_t labelX = 0;
  int32_t labelY = 0;
  if (font) {
    Size size;
    int32_t left = 0;
    int32_t top = 0;
    font->MeasureText(text, &size, &left, &top, true, nullptr);
    if (width == 0) width = size.width + kSmallestDrawn;
    if (height == 0) height = size.height + kSmallestDrawn;
    // A script's size can be any 32-bit number.
    labelX = static_cast<int32_t>((int64_t{width} - size.width) >> 1);
    labelY = static_cast<int32_t>((int64_t{height} - size.height) >> 1);
  } else if (width < kSmallestDrawn || height < kSmallestDrawn) {
    return kCreateBadArguments;
  }
  std::string label = text;
  (void)BeginCreate(list);  // the list was checked above
  hasDisabledCell_ = hasDisabledCell;
  hasPressedCell_ = true;
  int cellCount = 3 + (hasDisabledCell ? 1 : 0);
  // The cells lie side by side in one picture; a size the picture cannot take fails as its
  // creation does.
  const int64_t cellsWidth = int64_t{cellCount} * width;
  if (cellsWidth < 1 || cellsWidth > std::numeric_limits<int32_t>::max()) return kCreateNoPicture;
  auto cells = std::make_unique<ImageSurface>();
  if (cells->Create(static_cast<int32_t>(cellsWidth), height, 32, kImageDibSection) != 0)
    return kCreateNoPicture;
  cells_ = std::move(cells);
  width_ = width;
  height_ = height;
  labelFont_ = font;
  labelText_ = label;
  DrawCells(cellCount, labelX, labelY);
  state_ = kStateNormal;
  Rect first{0, 0, width, height};
  // A sprite that cannot take the picture keeps the one it had.
  (void)sprite_.SetImage(cells_.get(), &first, x, y);
  uint8_t faceAlpha = static_cast<uint8_t>(faceColor_ >> 24);
  if (faceAlpha != 0 && faceAlpha != 0xFF) sprite_.SetAlpha(faceAlpha);
  (void)SetOrder(order, group, true);  // the list is set by now, so placing cannot fail
  boxHit_ = true;
  return kCreateDone;
}

void ButtonPart::DrawCells(int cellCount, int32_t labelX, int32_t labelY) {
  ImageSurface& s = *cells_;
  const int32_t w = width_;
  const int32_t h = height_;
  auto fill = [&s](int32_t l, int32_t t, int32_t r, int32_t b, uint32_t color) {
    Rect rect{l, t, r, b};
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)s.Fill(color, &rect);
  };
  auto blend = [&s](int32_t l, int32_t t, int32_t r, int32_t b, uint32_t argb) {
    Rect rect{l, t, r, b};
    // A band clipped away draws nothing; that is not a failure.
    (void)s.FillColorBlend((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, argb >> 24, &rect);
  };
  // Copies cell 0's pixels from (1, 1) up to (right, bottom) to (dx, dy).
  auto copyFace = [&s](int32_t right, int32_t bottom, int32_t dx, int32_t dy) {
    for (int32_t row = 1; row < bottom; ++row) {
      if (right <= 1) break;
      std::memmove(s.GetRowPointer(dy + row - 1) + 4 * dx, s.GetRowPointer(row) + 4,
                   4 * static_cast<size_t>(right - 1));
    }
  };
  const Rect face{1, 1, w - 2, h - 2};
  fill(face.left, face.top, face.right, face.bottom, faceColor_);
  if (labelFont_) {
    // Text that cannot be drawn leaves the picture as it was.
    (void)labelFont_->DrawText(&s, labelX, labelY, labelText_.c_str(), nullptr, nullptr);
  } else {
    DrawFace(&s, face, false);
  }
  const uint32_t light = BrightenColor(faceColor_, kLightFactor);
  const uint32_t mid = ShiftColor(faceColor_, kMidShift);
  const uint32_t dark = ShiftColor(faceColor_, kDarkShift);
  for (int i = 0; i < cellCount; ++i) {
    const int32_t cx = i * w;
    if (i == 1) {
      copyFace(w - 2, h - 2, cx + 1, 1);
      blend(cx + 2, 2, cx + w - 3, h - 3, accentColor_);
    } else if (i == 2) {
      copyFace(w - 3, h - 3, cx + 2, 2);
      fill(cx + 1, 1, cx + w - 1, 2, mid);
      fill(cx + 1, 2, cx + 2, h - 1, mid);
      blend(cx + 3, 3, cx + w - 3, h - 3, accentColor_);
    } else if (i == 3) {
      const Rect disabledFace{cx + 1, 1, cx + w - 2, h - 2};
      fill(disabledFace.left, disabledFace.top, disabledFace.right, disabledFace.bottom,
           faceColor_);
      DrawFace(&s, disabledFace, true);
      if (labelFont_) {
        TextColor color = labelFont_->GetTextColor();
        int style = labelFont_->GetStyle();
        TextColor shadow = labelFont_->GetDecorationColor();
        int32_t sx = labelFont_->GetShadowOffsetX();
        int32_t sy = labelFont_->GetShadowOffsetY();
        labelFont_->SetTextColor(kDisabledLabel >> 16, (kDisabledLabel >> 8) & 0xFF,
                                 kDisabledLabel & 0xFF);
        labelFont_->SetStyle(kTextShadow);
        labelFont_->SetDecorationColor(0xFF, 0xFF, 0xFF);
        labelFont_->SetShadowOffset(1, 1);
        // Text that cannot be drawn leaves the picture as it was.
        (void)labelFont_->DrawText(&s, cx + labelX, labelY, labelText_.c_str(), nullptr, nullptr);
        labelFont_->SetTextColor(color.r, color.g, color.b);
        labelFont_->SetStyle(style);
        labelFont_->SetDecorationColor(shadow.r, shadow.g, shadow.b);
        labelFont_->SetShadowOffset(sx, sy);
      }
    }
    const uint32_t a = i == 2 ? 0 : light;
    const uint32_t b = i == 2 ? 0 : dark;
    fill(cx, 0, cx + w - 1, 1, a);
    fill(cx, 1, cx + 1, h - 1, a);
    fill(cx, h - 1, cx + w, h, b);
    fill(cx + w - 1, 0, cx + w, h - 1, b);
    fill(cx + 1, h - 2, cx + w - 1, h - 1, mid);
    fill(cx + w - 2, 1, cx + w - 1, h - 2, mid);
  }
}

int ButtonPart::SetLabel(const char* text) {
  if (!text) return kCreateBadArguments;
  int result = CreateDrawn(target_, order_, text, labelFont_, GetX(), GetY(), width_, height_,
                           hasDisabledCell_, group_);
  return result == kCreateDone ? kCreateDone : kCreateNoPicture;
}

int ButtonPart::SetImageFile(const char* fileName) {
  if (!fileName) return kCreateBadArguments;
  std::string name = fileName;
  int result = CreateFromFile(target_, name.c_str(),
                              {.order = order_,
                               .hasDisabledCell = hasDisabledCell_,
                               .hasPressedCell = hasPressedCell_,
                               .x = GetX(),
                               .y = GetY(),
                               .blendMode = blendMode_,
                               .alpha = alpha_,
                               .colorKeyA = colorKeyA_,
                               .colorKeyB = colorKeyB_},
                              group_);
  return result == kCreateDone ? kCreateDone : kCreateNoPicture;
}

}  // namespace bw
