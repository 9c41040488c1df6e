#include "gui/message_text_widget.h"

#include <algorithm>
#include <cstring>

#include "common/sjis.h"
#include "effects/cell_anim_tasks.h"
#include "effects/cell_image.h"
#include "graphics/surface/display_object.h"
#include "graphics/text/text_renderer.h"
#include "gui/pointer_manager.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

constexpr size_t kMaxPictureDigits = 6;

uint32_t ColorWord(uint32_t rgb, int alpha) {
  return (uint32_t(alpha) << 24) | (rgb & 0xFFFFFF);
}

std::string FaceOf(const TextRenderer& renderer) {
  const char* face = renderer.GetLogFont().lfFaceName;
  return std::string(face, strnlen(face, host::kLfFaceSize));
}

// Copies source into a new surface of its own; null when it has no pixels or the copy fails.
std::unique_ptr<ImageSurface> CopyOf(const ImageSurface* source) {
  if (!source || !source->GetPixels()) return nullptr;
  auto copy = std::make_unique<ImageSurface>();
  if (copy->CopyFrom(source, kCopyToHeap) != 0) return nullptr;
  return copy;
}

std::unique_ptr<ImageSurface> LoadImage(const char* name, bool eightBit) {
  auto image = std::make_unique<ImageSurface>();
  const int rc = eightBit ? image->Load8(name, nullptr, 0, kImageDibSection)
                          : image->Load(name, nullptr, 0, kImageDibSection);
  if (rc != 0 || !image->GetPixels()) return nullptr;
  return image;
}

// Fills [from, to) along x with copies of the source column band, clipped at the end.
void TileRow(ImageSurface& page, const ImageSurface& source, const Rect& band, int32_t from,
             int32_t to, int32_t y) {
  const int32_t step = band.Width();
  for (int32_t x = from; x < to; x += step) {
    Rect part = band;
    part.right = part.left + std::min(step, to - x);
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)page.Blit(&source, x, y, &part, false);
  }
}

}  // namespace

MessageTextWidget::MessageTextWidget() = default;

MessageTextWidget::~MessageTextWidget() {
  MessageTextWidget::Destroy();
}

// Placement in the display list.

int MessageTextWidget::SetPosition(int32_t x, int32_t y) {
  if (!page_.GetPixels()) return kWidgetRefused;
  const int32_t dx = x - sprite_.GetX();
  const int32_t dy = y - sprite_.GetY();
  sprite_.SetPos(x, y);
  for (auto& h : highlights_) h->MoveBy(dx, dy);
  return kWidgetDone;
}

void MessageTextWidget::SetVisible(bool visible) {
  if (!visible) {
    PointerManager* owner = GetOwner();
    if (owner) owner->LetGo(this, false);
    ClearPressed();
  }
  sprite_.SetVisible(visible);
  if (decided_) {
    for (size_t i = 0; i < highlightsInUse_; ++i) highlights_[i]->SetVisible(visible);
  }
}

int MessageTextWidget::SetOrder(int32_t order, int32_t group, bool keepWhenEqual) {
  if (!list_) return kWidgetRefused;
  PlaceInList(list_, &sprite_, order, group, keepWhenEqual);
  SetGroup(group);
  for (auto& h : highlights_) list_->SetPriority(h.get(), uint32_t(order), keepWhenEqual);
  priority_ = order;
  return kWidgetDone;
}

int MessageTextWidget::SetAlpha(int alpha) {
  if (!page_.GetPixels()) return kWidgetRefused;
  sprite_.SetAlpha(alpha);
  if (linksEnabled_) {
    for (auto& h : highlights_) h->SetAlpha(alpha);
  }
  return kWidgetDone;
}

// Life cycle.

void MessageTextWidget::Destroy() {
  RemoveWaitMark();
  DestroyPage();
  ReleaseBackground();
  list_ = nullptr;  // the owner may free it before this widget
}

void MessageTextWidget::DestroyPage() {
  DestroyHighlights();
  if (list_) list_->Remove(&sprite_);
  sprite_.Reset();
  page_.Release();
  itemMap_.reset();
}

void MessageTextWidget::DestroyHighlights() {
  for (auto& h : highlights_) {
    if (list_) list_->Remove(h.get());
  }
  highlights_.clear();
  highlightsInUse_ = 0;
}

int MessageTextWidget::Create(DisplayObjectList* list, int32_t priority, int32_t width,
                              int32_t height, int32_t x, int32_t y, TextRenderer* main,
                              TextRenderer* ruby, int32_t group) {
  if (!list || !main) return kWidgetRefused;
  if (!background_ && (width < 1 || height < 1)) return kWidgetRefused;
  // The background set before stays: it may give the size.
  DestroyPage();
  list_ = list;
  if (background_ && !HasFrameTiles()) {
    width = background_->GetWidth();
    height = background_->GetHeight();
  }
  if (page_.Create(width, height, 32, kImageDibSection) != 0) return kCreatePageFailed;
  page_.SetHasAlpha(true);
  // A sprite that cannot take the picture keeps the one it had.
  (void)sprite_.SetImage(&page_, nullptr, x, y);
  // A mode out of range keeps the one in force.
  (void)sprite_.SetDrawMode(kPageBlendMode);
  width_ = width;
  height_ = height;
  if (linksEnabled_ && MakeItemMap() != 0) return kCreateItemMapFailed;
  (void)SetOrder(priority, group, false);  // the list is set by now, so placing cannot fail
  mainRenderer_ = main;
  rubyRenderer_ = ruby;
  UpdateWrapLimit();
  Home(true);
  return kWidgetDone;
}

int MessageTextWidget::Recreate(int32_t x, int32_t y) {
  if (!page_.GetPixels()) return kWidgetRefused;
  ReleaseBackground();
  return Create(list_, priority_, width_, height_, x, y, mainRenderer_, rubyRenderer_,
                GetGroup()) == kWidgetDone
             ? kWidgetDone
             : kWidgetRecreateFailed;
}

int MessageTextWidget::MakeItemMap() {
  itemMap_ = std::make_unique<ImageSurface>();
  if (itemMap_->Create(width_, height_, 8, kImagePlain) != 0) {
    itemMap_.reset();
    return kWidgetRefused;
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)itemMap_->Fill(0, nullptr);
  return kWidgetDone;
}

int MessageTextWidget::Resize(int32_t width, int32_t height, bool keep) {
  if (width < 1 || height < 1 || !HasFrameTiles() || !background_) return kWidgetRefused;
  DestroyHighlights();
  if (frame_ && SlicesFit() && tileWidth_ > 1) {
    const int32_t inner = std::max(0, width - leftPart_ - rightPart_);
    width = leftPart_ + rightPart_ + (inner + tileWidth_ - 1) / tileWidth_ * tileWidth_;
  }
  if (frame_ && SlicesFit() && tileHeight_ > 1) {
    const int32_t inner = std::max(0, height - topPart_ - bottomPart_);
    height = topPart_ + bottomPart_ + (inner + tileHeight_ - 1) / tileHeight_ * tileHeight_;
  }
  const int32_t x = sprite_.GetX();
  const int32_t y = sprite_.GetY();
  if (keep && page_.GetPixels()) {
    if (page_.Resize(width, height) != 0) return kResizeSpriteFailed;
  } else if (page_.Create(width, height, 32, kImageDibSection) != 0) {
    return kResizePageFailed;
  }
  page_.SetHasAlpha(true);
  if (sprite_.SetImage(&page_, nullptr, x, y) != kSpriteDone) return kResizeSpriteFailed;
  // A mode out of range keeps the one in force.
  (void)sprite_.SetDrawMode(kPageBlendMode);
  width_ = width;
  height_ = height;
  if (linksEnabled_ && MakeItemMap() != 0) return kResizeItemMapFailed;
  UpdateWrapLimit();
  ClearPage();
  return kWidgetDone;
}

// Settings.

int MessageTextWidget::SetRenderers(TextRenderer* main, TextRenderer* ruby, bool redraw) {
  if (!main) return kWidgetRefused;
  mainRenderer_ = main;
  rubyRenderer_ = ruby;
  if (!page_.GetPixels()) return kWidgetNoPage;
  UpdateWrapLimit();
  if (redraw) Home(true);
  return kWidgetDone;
}

int MessageTextWidget::SetBackgroundColor(int kind, uint32_t rgb, int opacity, bool redraw) {
  rgb &= 0xFFFFFF;
  opacity = std::clamp(opacity, 0, 255);
  const bool kindChanged = kind != backgroundKind_;
  const bool colorChanged = rgb != backgroundColor_;
  const bool opacityChanged = opacity != backgroundOpacity_;
  if (!kindChanged && !colorChanged && !opacityChanged) return kWidgetUnchanged;
  backgroundKind_ = uint8_t(kind);
  backgroundColor_ = rgb;
  backgroundOpacity_ = uint8_t(opacity);
  RedrawBackground(kindChanged, colorChanged, opacityChanged);
  if (!page_.GetPixels()) return kWidgetColorNoPage;
  if (redraw) ClearPage();
  return kWidgetDone;
}

int MessageTextWidget::SetMargins(int32_t left, int32_t top, int32_t right, int32_t bottom,
                                  bool redraw) {
  marginLeft_ = left, marginTop_ = top, marginRight_ = right, marginBottom_ = bottom;
  UpdateWrapLimit();
  if (redraw && page_.GetPixels()) Home(true);
  return kWidgetDone;
}

int MessageTextWidget::SetPaddings(int32_t left, int32_t top, int32_t right, int32_t bottom,
                                   bool redraw) {
  paddingLeft_ = left, paddingTop_ = top, paddingRight_ = right, paddingBottom_ = bottom;
  if (redraw && page_.GetPixels()) Home(true);
  return kWidgetDone;
}

int MessageTextWidget::EnableLinks(bool on, bool redraw) {
  linksEnabled_ = on;
  if (!page_.GetPixels()) return kWidgetDone;
  itemMap_.reset();
  if (on && MakeItemMap() != 0) return kWidgetRefused;
  if (redraw) Home(true);
  return kWidgetDone;
}

int MessageTextWidget::SetFaces(bool vertical) {
  TextRenderer* renderers[] = {mainRenderer_, rubyRenderer_};
  for (int i = 0; i < 2; ++i) {
    TextRenderer* r = renderers[i];
    if (!r) continue;
    const int failure = i == 0 ? (vertical ? kVerticalMainVertical : kVerticalMainHorizontal)
                               : (vertical ? kVerticalRubyVertical : kVerticalRubyHorizontal);
    std::string face = FaceOf(*r);
    const bool marked = !face.empty() && face[0] == '@';
    if (vertical && !marked) face.insert(face.begin(), '@');
    if (!vertical && marked) face.erase(face.begin());
    // The face field holds 31 bytes and its NUL: a longer name is not cut into another face.
    if (face.size() >= host::kLfFaceSize) return failure;
    if (r->SetFaceName(face.c_str()) != 0) return failure;
    // Refused, the font in force stays; not made, the renderer has none and draws no text.
    (void)r->SetOrientation(vertical ? kVerticalTenths : kHorizontalTenths);
  }
  return kWidgetDone;
}

int MessageTextWidget::SetVertical(bool on, bool redraw) {
  vertical_ = on;
  if (redraw && page_.GetPixels()) Home(true);
  const int rc = SetFaces(on);
  UpdateWrapLimit();
  return rc;
}

bool MessageTextWidget::SetFrameSlices(int32_t left, int32_t top, int32_t tileWidth,
                                       int32_t tileHeight) {
  // A tile below one pixel would never cover the edges.
  if (background_ || tileWidth < 1 || tileHeight < 1 || left < 0 || top < 0) return false;
  leftPart_ = left, topPart_ = top, tileWidth_ = tileWidth, tileHeight_ = tileHeight;
  return true;
}

bool MessageTextWidget::SlicesFit() const {
  return rightPart_ >= 0 && bottomPart_ >= 0;
}

// Background.

void MessageTextWidget::ReleaseBackground() {
  frameName_.clear();
  middleName_.clear();
  baseName_.clear();
  background_.reset();
  frame_.reset();
  middle_.reset();
  base_.reset();
}

int MessageTextWidget::SetBackground(const char* frameName, const char* middleName,
                                     const char* baseName, bool recreate) {
  const bool any =
      (frameName && *frameName) || (middleName && *middleName) || (baseName && *baseName);
  if (!any) return kWidgetRefused;
  std::unique_ptr<ImageSurface> frame, middle, base;
  if (frameName && *frameName && !(frame = LoadImage(frameName, false))) {
    return kBackgroundFrameLoadFailed;
  }
  if (middleName && *middleName && !(middle = LoadImage(middleName, true))) {
    return kBackgroundMiddleLoadFailed;
  }
  if (baseName && *baseName && !(base = LoadImage(baseName, false))) {
    return kBackgroundBaseLoadFailed;
  }
  const int rc = SetBackgroundImages(frame.get(), middle.get(), base.get(), recreate);
  if (rc != kWidgetDone) return rc == kWidgetRefused ? kBackgroundCopyFailed : rc;
  frameName_ = frameName ? frameName : "";
  middleName_ = middleName ? middleName : "";
  baseName_ = baseName ? baseName : "";
  return kWidgetDone;
}

int MessageTextWidget::SetBackgroundImages(const ImageSurface* frame, const ImageSurface* middle,
                                           const ImageSurface* base, bool recreate) {
  ReleaseBackground();
  const auto pixels = [](const ImageSurface* s) { return s && s->GetPixels(); };
  if (!pixels(frame) && !pixels(middle) && !pixels(base)) return kWidgetRefused;
  const auto blank = [](int32_t w, int32_t h) {
    auto s = std::make_unique<ImageSurface>();
    if (s->Create(w, h, 32, kImageDibSection) != 0) return std::unique_ptr<ImageSurface>();
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)s->Fill(0, nullptr);
    return s;
  };
  if (pixels(base)) {
    base_ = CopyOf(base);
    background_ = blank(base->GetWidth(), base->GetHeight());
    if (!base_ || !background_) return kBackgroundBaseFailed;
  }
  if (pixels(middle)) {
    middle_ = CopyOf(middle);
    if (!middle_) return kBackgroundMiddleFailed;
    if (!background_ && !(background_ = blank(middle->GetWidth(), middle->GetHeight()))) {
      return kBackgroundMiddleFailed;
    }
  }
  if (pixels(frame)) {
    frame_ = CopyOf(frame);
    if (!frame_) return kBackgroundCopyFailed;
    if (background_) {
      background_->SetHasAlpha(true);
    } else if (!(background_ = CopyOf(frame))) {
      return kBackgroundCopyFailed;
    }
  }
  if (HasFrameTiles()) {
    rightPart_ = background_->GetWidth() - leftPart_ - tileWidth_;
    bottomPart_ = background_->GetHeight() - topPart_ - tileHeight_;
  }
  RedrawBackground(true, true, true);
  if (recreate && page_.GetPixels()) {
    if (Create(list_, priority_, width_, height_, sprite_.GetX(), sprite_.GetY(), mainRenderer_,
               rubyRenderer_, GetGroup()) != kWidgetDone) {
      return kBackgroundRecreateFailed;
    }
  }
  return kWidgetDone;
}

void MessageTextWidget::RedrawBackground(bool kindChanged, bool colorChanged, bool opacityChanged) {
  if (!background_) return;
  const uint32_t rgb = backgroundColor_;
  const int r = int(rgb >> 16) & 0xFF, g = int(rgb >> 8) & 0xFF, b = int(rgb) & 0xFF;
  const bool colorOnly = colorChanged && !kindChanged && !opacityChanged;
  if (backgroundKind_ == 1) {
    if (middle_) {
      if (colorOnly) {
        // A surface without pixels, or an area that misses it, is left as it is.
        (void)background_->FillColorKeepAlpha(r, g, b, nullptr);
      } else {
        // A surface without pixels, or an area that misses it, is left as it is.
        if (frame_ || colorChanged) (void)background_->Fill(ColorWord(rgb, 255), nullptr);
        (void)background_->CopyAlphaPlane(middle_.get(), 0, 0, nullptr, false);
        if (backgroundOpacity_ < 255) (void)background_->ScaleAlpha(backgroundOpacity_, nullptr);
      }
      // A surface without pixels, or an area that misses it, is left as it is.
      if (frame_) (void)background_->AlphaBlit(frame_.get(), 0, 0, nullptr, false);
    } else if (frame_ && !base_ && (opacityChanged || kindChanged)) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)background_->Blit(frame_.get(), 0, 0, nullptr, false);
      if (backgroundOpacity_ < 255) (void)background_->ScaleAlpha(backgroundOpacity_, nullptr);
    }
  } else if (backgroundKind_ == 0 && base_) {
    if (colorOnly) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)background_->FillColorKeepAlpha(r, g, b, nullptr);
    } else {
      // A surface without pixels, or an area that misses it, is left as it is.
      if (kindChanged || colorChanged) (void)background_->Fill(ColorWord(rgb, 255), nullptr);
      (void)background_->BlitAlpha(base_.get(), 0, 0, nullptr);
      if (backgroundOpacity_ < 255) (void)background_->ScaleAlpha(backgroundOpacity_, nullptr);
    }
  }
}

void MessageTextWidget::LayOutFrame() {
  const ImageSurface& bg = *background_;
  const int32_t w = width_, h = height_;
  const int32_t L = leftPart_, T = topPart_, R = rightPart_, B = bottomPart_;
  const int32_t bw = bg.GetWidth(), bh = bg.GetHeight();
  const Rect corners[4] = {
      {0, 0, L, T}, {bw - R, 0, bw, T}, {0, bh - B, L, bh}, {bw - R, bh - B, bw, bh}};
  const int32_t places[4][2] = {{0, 0}, {w - R, 0}, {0, h - B}, {w - R, h - B}};
  // A surface without pixels, or an area that misses it, is left as it is.
  for (int i = 0; i < 4; ++i) (void)page_.Blit(&bg, places[i][0], places[i][1], &corners[i], false);
  const Rect top{L, 0, L + tileWidth_, T};
  const Rect bottom{L, bh - B, L + tileWidth_, bh};
  TileRow(page_, bg, top, L, w - R, 0);
  TileRow(page_, bg, bottom, L, w - R, h - B);
  // Rows of the left edge, the middle and the right edge, tile by tile down the page.
  for (int32_t y = T; y < h - B; y += tileHeight_) {
    const int32_t rows = std::min(tileHeight_, h - B - y);
    const Rect left{0, T, L, T + rows};
    const Rect right{bw - R, T, bw, T + rows};
    const Rect middle{L, T, L + tileWidth_, T + rows};
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)page_.Blit(&bg, 0, y, &left, false);
    (void)page_.Blit(&bg, w - R, y, &right, false);
    TileRow(page_, bg, middle, L, w - R, y);
  }
}

void MessageTextWidget::ClearPage() {
  previousChar_ = 0;
  if (page_.GetPixels()) {
    if (HasFrameTiles() && background_ && SlicesFit()) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)page_.Fill(0, nullptr);
      LayOutFrame();
    } else if (!background_) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)page_.Fill(backgroundOpacity_ ? ColorWord(backgroundColor_, backgroundOpacity_) : 0,
                       nullptr);
    } else if (!middle_ && !base_ && !background_->HasAlpha()) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)page_.Fill(0xFF000000, nullptr);
      (void)page_.Blit(background_.get(), 0, 0, nullptr, false);
      (void)page_.ToneAlpha(0, 255, nullptr);
    } else {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)page_.Blit(background_.get(), 0, 0, nullptr, false);
    }
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  if (itemMap_) (void)itemMap_->Fill(0, nullptr);
  if (hovered_ >= 0) ShowItemHighlight(hovered_, false);
  RemoveAllItems();
  if (PointerManager* owner = GetOwner()) {
    int32_t x = 0, y = 0;
    owner->GetPointerPosition(&x, &y);
    closeX_ = x - GetX();
    closeY_ = y - GetY();
  }
  recheckHover_ = true;
  pageFull_ = false;
  UpdateLineHeight();
  sprite_.Refresh(nullptr);
  sprite_.SetChanged(true);
}

// The pen.

int MessageTextWidget::MoveTo(int32_t x, int32_t y) {
  const bool alongOnly = vertical_ ? (x < 0) : (y < 0);
  if (alongOnly) {
    if (vertical_ && y >= 0) penY_ = marginTop_ + y;
    if (!vertical_ && x >= 0) penX_ = marginLeft_ + x;
    return kWidgetDone;
  }
  EndItemArea();
  if (x >= 0) penX_ = marginLeft_ + x;
  if (y >= 0) penY_ = marginTop_ + y;
  UpdateLineHeight();
  return kWidgetDone;
}

void MessageTextWidget::GetCellOrigin(int32_t* x, int32_t* y, int32_t width, int32_t height) const {
  if (vertical_) {
    *x = penX_ - ((lineHeight_ - width) >> 1) - width;
    *y = penY_;
  } else {
    *x = penX_;
    *y = penY_ + lineHeight_ - height;
  }
}

void MessageTextWidget::Home(bool clear) {
  penX_ = vertical_ ? width_ - marginRight_ + 1 : marginLeft_;
  penY_ = marginTop_;
  indent_ = 0;
  pendingRuby_ = nullptr;
  if (clear) ClearPage();
}

void MessageTextWidget::LineStart(bool clear) {
  if (vertical_) {
    penX_ = width_ - marginRight_ + 1;
    penY_ = marginTop_ + indent_;
  } else {
    penX_ = marginLeft_ + indent_;
    penY_ = marginTop_;
  }
  if (clear) ClearPage();
}

bool MessageTextWidget::NewLine() {
  const int32_t oldHeight = lineHeight_;
  const int32_t oldPitch = linePitch_;
  UpdateLineHeight();
  const int32_t limit = vertical_ ? marginLeft_ : height_ - marginBottom_;
  const auto restore = [&] {
    lineHeight_ = oldHeight;
    linePitch_ = oldPitch;
    return true;
  };
  if (!vertical_) {
    if (int64_t(penY_) + oldPitch + lineGap_ + lineHeight_ > limit) return restore();
    EndItemArea();
    penY_ += lineGap_ + linePitch_;
    penX_ = marginLeft_ + indent_;
    pageFull_ = int64_t(penY_) + lineHeight_ + lineGap_ + linePitch_ > limit;
  } else {
    if (int64_t(penX_) - lineGap_ - lineHeight_ - oldPitch <= limit) return restore();
    EndItemArea();
    penX_ -= lineGap_ + linePitch_;
    penY_ = marginTop_ + indent_;
    pageFull_ = int64_t(penX_) - lineHeight_ - lineGap_ - linePitch_ <= limit;
  }
  return false;
}

// Characters.

TypedGlyph MessageTextWidget::ReadGlyph(const char* cursor) {
  TypedGlyph g;
  const auto b = uint8_t(cursor[0]);
  if (b == '@') {
    if (cursor[1] == '@') {
      std::memcpy(g.text, "@@", 2);
      g.kinsokuChar = '@';
      g.consumed = 2;
      return g;
    }
    size_t digits = 0;
    while (digits < kMaxPictureDigits && cursor[1 + digits] >= '0' && cursor[1 + digits] <= '9') {
      ++digits;
    }
    std::memcpy(g.text, cursor, 1 + digits);
    g.consumed = 1 + digits;
    g.kinsokuChar = 0;  // a picture glyph is in no list
    return g;
  }
  if (sjis::IsLeadByte(b) && cursor[1] != '\0') {
    std::memcpy(g.text, cursor, 2);
    g.kinsokuChar = uint16_t(b << 8 | uint8_t(cursor[1]));
    g.wide = true;
    g.consumed = 2;
    return g;
  }
  g.text[0] = char(b);
  g.kinsokuChar = b;
  g.consumed = b ? 1 : 0;
  return g;
}

void MessageTextWidget::MarkDrawn(const ImageSurface* onto, const Rect& rect) {
  if (onto == &page_) MarkPage(rect);
}

void MessageTextWidget::MarkPage(const Rect& rect) {
  page_.MarkDirty(rect);
  sprite_.Refresh(&rect);
}

void MessageTextWidget::PlaceGlyph(const TypedGlyph& glyph, ImageSurface* target, bool draw) {
  const int32_t size = FontSize();
  const bool centred = centreWide_ && glyph.wide;
  int32_t x = penX_;
  int32_t y = penY_;
  Size measured;
  if (centred || !draw) {
    int32_t ox = 0, oy = 0;
    mainRenderer_->MeasureText(glyph.text, &measured, &ox, &oy, false, nullptr);
  }
  if (vertical_) {
    x -= (lineHeight_ - size) / 2;
    if (centred) y += (size - measured.height) / 2;
  } else {
    y += lineHeight_ - size;
    if (centred) x += (size - measured.width) / 2;
  }
  int32_t extent = vertical_ ? measured.height : measured.width;
  if (draw) {
    Rect drawn;
    Point end{x, y};
    if (mainRenderer_->DrawString(target ? target : &page_, x, y, glyph.text, &drawn, &end) ==
            kTextDone &&
        !target) {
      MarkPage(drawn);
    }
    extent = vertical_ ? end.y - y : end.x - x;
  }
  if (centred) extent = size;
  if (pendingRuby_ && rubyRenderer_) {
    if (draw) {
      Size ruby;
      int32_t ox = 0, oy = 0;
      rubyRenderer_->MeasureText(pendingRuby_, &ruby, &ox, &oy, true, nullptr);
      const int32_t rubySize = RubyFontSize();
      int32_t rx, ry;
      if (vertical_) {
        rx = x + rubyGap_ + rubySize;
        ry = y + (extent >> 1) - (ruby.height >> 1);
      } else {
        rx = x + (extent >> 1) - (ruby.width >> 1);
        ry = y - rubyGap_ - rubySize;
      }
      Rect drawn;
      if (rubyRenderer_->DrawString(target ? target : &page_, rx, ry, pendingRuby_, &drawn,
                                    nullptr) == kTextDone &&
          !target) {
        MarkPage(drawn);
      }
    }
    pendingRuby_ = nullptr;
  }
  previousPen_ = Along();
  Along() += extent + charGap_;
}

int MessageTextWidget::PlaceTyped(const TypedGlyph& glyph, ImageSurface* target, bool draw) {
  int result = kBreakNone;
  if (!mainRenderer_) return result;  // its renderer was destroyed
  if (autoWrap_) {
    result = ApplyLineBreak(glyph.kinsokuChar, glyph.wide);
    if (result == kBreakPageFull) return result;
  }
  SetPreviousChar(glyph.wide ? glyph.kinsokuChar : uint16_t(glyph.kinsokuChar << 8));
  if (itemOpen_ && !areaOpen_) BeginItemArea();
  PlaceGlyph(glyph, target, draw);
  return result;
}

int MessageTextWidget::PutCharTo(const char** cursor, ImageSurface* target) {
  if (!cursor || !*cursor || !**cursor || !mainRenderer_) return kBreakNone;
  const TypedGlyph glyph = ReadGlyph(*cursor);
  const int result = PlaceTyped(glyph, target, true);
  if (result != kBreakPageFull) *cursor += glyph.consumed;
  return result;
}

int MessageTextWidget::DrawString(const char* text, int32_t x, int32_t y, bool throughMoveTo) {
  if (!mainRenderer_ || !text || !*text) return kWidgetRefused;
  if (throughMoveTo) {
    (void)MoveTo(x, y);  // moving the pen cannot fail
  } else {
    penX_ = marginLeft_ + x;
    penY_ = marginTop_ + y;
  }
  if (itemOpen_ && !areaOpen_) BeginItemArea();
  previousChar_ = 0;
  const int32_t size = FontSize();
  const int32_t dx = penX_ - (vertical_ ? (lineHeight_ - size) / 2 : 0);
  const int32_t dy = penY_ + (vertical_ ? 0 : lineHeight_ - size);
  Rect drawn;
  Point end{dx, dy};
  if (ImageSurface* onto = DrawTarget()) {
    if (mainRenderer_->DrawString(onto, dx, dy, text, &drawn, &end) == kTextDone) {
      MarkDrawn(onto, drawn);
    }
  } else {
    Size measured;
    int32_t ox = 0, oy = 0;
    mainRenderer_->MeasureText(text, &measured, &ox, &oy, false, nullptr);
    end = {dx + measured.width, dy + measured.height};
  }
  previousPen_ = Along();
  Along() += (vertical_ ? end.y - dy : end.x - dx) + charGap_;
  return kWidgetDone;
}

int MessageTextWidget::DrawImage(const char* name, int32_t key, int32_t keyY) {
  if (!name || !*name) return kImageLoadFailed;
  std::unique_ptr<ImageSurface> image = LoadImage(name, false);
  if (!image) return kImageLoadFailed;
  const int32_t w = image->GetWidth();
  const int32_t h = image->GetHeight();
  if (keyY >= 0) {
    // A key pixel outside the image gives no key.
    // A picture without pixels has no key to set.
    if (key >= 0 && key < w && keyY < h) (void)image->SetColorKeyFromPixel(key, keyY);
  } else if (key != -1) {
    // A picture without pixels has no key to set.
    (void)image->SetColorKeyRgb((key >> 16) & 0xFF, (key >> 8) & 0xFF, key & 0xFF);
  }
  int result = kWidgetDone;
  if (autoWrap_ && Along() > wrapLimit_) {
    if (NewLine()) return kBreakPageFull;
    result = kBreakNewLine;
  }
  if (itemOpen_ && !areaOpen_) BeginItemArea();
  previousChar_ = 0;
  int32_t x = penX_;
  int32_t y = penY_ + lineHeight_ - h;
  if (vertical_) {
    x = penX_ - ((lineHeight_ + w) >> 1);
    y = penY_;
  }
  if (ImageSurface* onto = DrawTarget()) {
    if (image->HasAlpha()) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)onto->AlphaBlit(image.get(), x, y, nullptr, false);
    } else {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)onto->Blit(image.get(), x, y, nullptr, false);
    }
    MarkDrawn(onto, {x, y, x + w, y + h});
  }
  previousPen_ = Along();
  Along() += (vertical_ ? h : w) + charGap_;
  return result;
}

int MessageTextWidget::PutUpright(const char* text) {
  if (!vertical_) return kUprightNotVertical;
  if (!mainRenderer_ || !text || !*text) return kUprightNoText;
  int result = kWidgetDone;
  if (autoWrap_ && penY_ > wrapLimit_) {
    if (NewLine()) return kBreakPageFull;
    result = kBreakNewLine;
  }
  const std::string face = FaceOf(*mainRenderer_);
  const std::string upright = !face.empty() && face[0] == '@' ? face.substr(1) : face;
  if (mainRenderer_->SetFaceName(upright.c_str()) != 0) return kUprightNoText;
  // Refused, the font in force stays; not made, the renderer has none and draws no text.
  (void)mainRenderer_->SetOrientation(kHorizontalTenths);
  Size size;
  int32_t ox = 0, oy = 0;
  mainRenderer_->MeasureText(text, &size, &ox, &oy, true, nullptr);
  if (itemOpen_ && !areaOpen_) BeginItemArea();
  previousChar_ = 0;
  const int32_t x = penX_ - ((size.width - lineHeight_) >> 1) - lineHeight_ + 1;
  Rect drawn;
  ImageSurface* onto = DrawTarget();
  if (onto && mainRenderer_->DrawString(onto, x, penY_, text, &drawn, nullptr) == kTextDone) {
    MarkDrawn(onto, drawn);
  }
  // Refused, the font in force stays; not made, the renderer has none and draws no text.
  (void)mainRenderer_->SetFaceName(face.c_str());
  (void)mainRenderer_->SetOrientation(kVerticalTenths);
  previousPen_ = penY_;
  penY_ += FontSize() + charGap_;
  return result;
}

// The wait mark.

int MessageTextWidget::SetUpWaitMark(CellImage* image, TimerService* timers) {
  RemoveWaitMark();
  auto task = std::make_unique<FrameAnimTask>();
  // Held before its first update until the mark is shown.
  task->RequestPause();
  const int rc = task->Setup(timers, image, &sprite_, 0, 0, 0, false, nullptr);
  if (rc != kFrameAnimSetUp) return rc;
  waitTask_ = timers->HandOver(std::move(task));
  if (!waitTask_) return kFrameAnimRefused;
  waitTask_->SetOwnerSlot(&waitTask_);
  waitImage_ = image;
  waitTimers_ = timers;
  waitShown_ = false;
  return kFrameAnimSetUp;
}

void MessageTextWidget::ShowWaitMark(bool on) {
  if (!waitTask_ || !waitImage_ || on == waitShown_) return;
  if (on) {
    int32_t x = 0, y = 0;
    GetCellOrigin(&x, &y, waitImage_->CellWidth(), waitImage_->Source()->GetHeight());
    // A mark whose image is gone is not moved.
    (void)waitTask_->MoveTo(x, y, false);
    // A task whose image is gone has no background to keep.
    (void)waitTask_->SaveBackground(nullptr);
    waitTask_->RequestResume();
  } else {
    waitTask_->RequestPause();
    waitImage_->RestoreBackground(nullptr);
    sprite_.Refresh(nullptr);
  }
  waitShown_ = on;
}

void MessageTextWidget::RemoveWaitMark() {
  if (waitTask_ && waitTimers_) {
    // A stopped task leaves its first cell drawn: what lay under the mark (or, while hidden,
    // what lies there now) is put back over it.
    // A task whose image is gone has no background to keep.
    if (!waitShown_) (void)waitTask_->SaveBackground(nullptr);
    // A task that ended on its own is gone already.
    (void)waitTimers_->RemoveByHandle(waitTask_->Handle());
    waitImage_->RestoreBackground(nullptr);
    sprite_.Refresh(nullptr);
  }
  waitTask_ = nullptr;
  waitShown_ = false;
}

void MessageTextWidget::KeepWaitMarkBackground() {
  // A task whose image is gone has no background to keep.
  if (waitTask_ && !waitShown_) (void)waitTask_->SaveBackground(nullptr);
}

// Items.

bool MessageTextWidget::HitFrame(int32_t x, int32_t y) const {
  if (!background_ || !page_.GetPixels()) return false;
  if (x >= marginLeft_ && x < width_ - marginRight_ && y >= marginTop_ &&
      y < height_ - marginBottom_) {
    return false;
  }
  if (x < 0 || y < 0 || x >= page_.GetWidth() || y >= page_.GetHeight()) return false;
  const uint8_t* row = page_.GetRowPointer(y);
  return row && row[size_t(x) * 4 + 3] >= dragThreshold_;
}

void MessageTextWidget::PaintItemArea(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!itemMap_ || items_.empty() || width <= 0 || height <= 0) return;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)itemMap_->FillRectXYWH(x, y, width, height, uint32_t(items_.size()));
}

int MessageTextWidget::ItemAt(int32_t x, int32_t y) const {
  if (!itemMap_ || recheckHover_) return -1;
  if (x < 0 || y < 0 || x >= itemMap_->GetWidth() || y >= itemMap_->GetHeight()) return -1;
  const uint8_t* row = itemMap_->GetRowPointer(y);
  return row ? int(row[x]) - 1 : -1;
}

void MessageTextWidget::ShowItemHighlight(int index, bool on) {
  if (decided_) return;
  if (!on) {
    for (size_t i = 0; i < highlightsInUse_; ++i) highlights_[i]->SetVisible(false);
    return;
  }
  const TextLinkItem* item = GetItem(index);
  if (!item || !list_) return;
  while (highlights_.size() < item->area.size()) {
    auto rect = std::make_unique<ColorRectObject>();
    // A one-pixel rectangle is always made.
    (void)rect->Create(1, 1, item->highlightColor, sprite_.GetX(), sprite_.GetY());
    rect->SetVisible(false);
    // An object already listed stays where it is.
    (void)list_->Add(rect.get(), uint32_t(priority_), uint32_t(GetGroup()));
    highlights_.push_back(std::move(rect));
  }
  for (size_t i = 0; i < highlights_.size(); ++i) {
    ColorRectObject& h = *highlights_[i];
    if (i >= item->area.size()) {
      h.SetVisible(false);
      continue;
    }
    const ItemRect& r = item->area[i];
    h.SetPosAndSize(r.width, r.height, sprite_.GetX() + r.x, sprite_.GetY() + r.y);
    h.SetArgb(item->highlightColor);
    h.SetVisible(true);
  }
  highlightsInUse_ = item->area.size();
}

}  // namespace bw
