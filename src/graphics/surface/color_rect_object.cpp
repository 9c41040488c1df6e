#include "graphics/surface/color_rect_object.h"

#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/dirty_rect_list.h"
#include "graphics/surface/image_surface.h"

namespace bw {

namespace {
constexpr int kModeBlend = 0;
constexpr int kModeNone = 1;
constexpr int kModeAdd = 2;
constexpr int kModeSubtract = 3;
constexpr uint32_t kRgbMask = 0xFFFFFF;
}  // namespace

void ColorRectObject::Reset() {
  alpha_ = 255;
  drawMode_ = 0;
  rgb_ = 0;
  width_ = height_ = zoomWidth_ = zoomHeight_ = 0;
  placed_ = {};
}

void ColorRectObject::UpdatePlaced() {
  placed_ = {x_, y_, ClampedSum(x_, ShownWidth()), ClampedSum(y_, ShownHeight())};
  SetChanged(true);
}

int ColorRectObject::Create(int32_t width, int32_t height, uint32_t argb, int32_t x, int32_t y) {
  Reset();
  width_ = width < 0 ? 0 : width;
  height_ = height < 0 ? 0 : height;
  rgb_ = argb & kRgbMask;
  alpha_ = uint8_t(argb >> 24);
  x_ = x;
  y_ = y;
  UpdatePlaced();
  return 0;
}

bool ColorRectObject::SetRgb(uint32_t color) {
  if ((color & kRgbMask) == rgb_) return false;
  rgb_ = color & kRgbMask;
  SetChanged(true);
  return true;
}

bool ColorRectObject::SetArgb(uint32_t argb) {
  if ((argb & kRgbMask) == rgb_ && uint8_t(argb >> 24) == alpha_) return false;
  rgb_ = argb & kRgbMask;
  alpha_ = uint8_t(argb >> 24);
  SetChanged(true);
  return true;
}

bool ColorRectObject::Resize(int32_t width, int32_t height) {
  if (width < 0 || height < 0 || (width == width_ && height == height_)) return false;
  width_ = width;
  height_ = height;
  UpdatePlaced();
  return true;
}

bool ColorRectObject::SetPosAndSize(int32_t width, int32_t height, int32_t x, int32_t y) {
  const bool resized = Resize(width, height);
  return SetPos(x, y) || resized;
}

int ColorRectObject::SetDrawMode(int mode) {
  if (mode < kModeBlend || mode > kModeSubtract) return 1;
  if (mode != drawMode_) {
    drawMode_ = uint8_t(mode);
    SetChanged(true);
  }
  return 0;
}

int ColorRectObject::SetZoom(int32_t width, int32_t height) {
  if (width < 0 || height < 0) return 1;
  zoomWidth_ = width;
  zoomHeight_ = height;
  UpdatePlaced();
  return 0;
}

bool ColorRectObject::SetZoomAndPos(int32_t width, int32_t height, int32_t x, int32_t y) {
  bool changed = false;
  if (width != zoomWidth_ || height != zoomHeight_) changed = SetZoom(width, height) == 0;
  return SetPos(x, y) || changed;
}

bool ColorRectObject::Refresh(const Rect* rect) {
  return InvalidatePart(rect, ShownWidth(), ShownHeight());
}

bool ColorRectObject::HitTest(int32_t x, int32_t y, bool) const {
  return width_ != 0 && x >= placed_.left && x < placed_.right && y >= placed_.top &&
         y < placed_.bottom;
}

int ColorRectObject::DrawRect(ImageSurface* target, const Rect& area) {
  if (!visible_ || alpha_ == 0 || width_ == 0) return kDrawDone;
  if (!target) return kDrawNoTarget;
  int red = int(rgb_ >> 16 & 0xFF), green = int(rgb_ >> 8 & 0xFF), blue = int(rgb_ & 0xFF);
  if (drawMode_ == kModeNone) return kDrawNothing;
  int result = ImageSurface::kOpDone;
  if (drawMode_ == kModeBlend) {
    result = target->FillColorBlend(red, green, blue, alpha_, &area);
  } else {
    if (alpha_ != 255) {
      red = ProductTable[red][alpha_];
      green = ProductTable[green][alpha_];
      blue = ProductTable[blue][alpha_];
    }
    result = drawMode_ == kModeAdd ? target->AddColor(red, green, blue, &area)
                                   : target->SubtractColor(red, green, blue, &area);
  }
  return result == ImageSurface::kOpDone ? kDrawDone : kDrawFailed;
}

int ColorRectObject::DrawOver(ImageSurface* target) {
  const bool changed = IsChanged();
  const int result = DrawInto(target, nullptr);
  SetChanged(changed);
  return result;
}

int ColorRectObject::DrawInto(ImageSurface* target, Rect* out) {
  if (out) out->left = DisplayObjectList::kNoRect;
  const int result = DrawRect(target, placed_);
  if (result == kDrawDone && out && target) {
    Rect drawn = placed_;
    if (target->ClipToClipRect(&drawn)) *out = drawn;
  }
  return result;
}

int ColorRectObject::Draw(ImageSurface* target, const Rect& clip) {
  Rect area = placed_;
  if (!IntersectRects(&area, area, clip)) return kDrawDone;
  return DrawRect(target, area);
}

}  // namespace bw
