#include "effects/cell_image.h"

#include <algorithm>

#include "graphics/surface/sprite.h"

namespace bw {

CellImage::~CellImage() = default;

void CellImage::Reset() {
  own_.Release();
  external_ = nullptr;
  backing_.reset();
  defaultTarget_ = nullptr;
  targets_.clear();
}

int CellImage::Load(const char* file, const CellLayout& layout, bool alpha, uint32_t colorKey) {
  if (!file || layout.interval == 0) return kCellBadArgument;
  Reset();
  if (own_.Load(file, nullptr, 0, kImagePlain) != 0) return kCellLoadFailed;
  if (!alpha) own_.SetHasAlpha(false);
  if (colorKey != kNoColorKey) {
    // A picture without pixels has no key to set.
    (void)own_.SetColorKeyRgb(colorKey >> 16 & 0xFF, colorKey >> 8 & 0xFF, colorKey & 0xFF);
  }
  return Setup(layout);
}

int CellImage::SetImage(ImageSurface* source, const CellLayout& layout) {
  if (!source || layout.interval == 0) return kCellBadArgument;
  external_ = source;
  return Setup(layout);
}

int CellImage::Setup(const CellLayout& layout) {
  // Both divide later: the cell width and the cell choice by the count, the frame task by the
  // interval.
  if (layout.cellCount <= 0 || layout.interval <= 0) return kCellBadArgument;
  if (layout.targetObject) {
    ImageSurface* surface = layout.targetObject->GetSource();
    if (!surface) return kCellTargetNoSurface;
    defaultTarget_ = surface;
    AttachTarget(layout.targetObject);
  } else {
    if (!layout.targetSurface) return kCellBadArgument;
    defaultTarget_ = layout.targetSurface;
  }

  ImageSurface* source = Source();
  backgroundMode_ = source->GetColorKey() != kNoColorKey ? kCellBackgroundCopy : layout.background;
  cellCount_ = layout.cellCount;
  interval_ = layout.interval;
  orderMode_ = layout.orderMode;
  cellWidth_ = source->GetWidth() / cellCount_;
  if (layout.x == kCellPictureOrigin) {
    x_ = static_cast<int32_t>(source->GetWord1());
    y_ = static_cast<int32_t>(source->GetWord2());
  } else {
    x_ = layout.x;
    y_ = layout.y;
  }
  drawMode_ = layout.drawMode;

  backing_.reset();
  if (drawMode_ == kCellBackgroundOnly || layout.background != kCellBackgroundNone) {
    backing_ = std::make_unique<ImageSurface>();
    if (backing_->Create(cellWidth_, source->GetHeight(), defaultTarget_->GetBitsPerPixel(),
                         kImagePlain) != kSurfaceDone) {
      backing_.reset();
      return kCellNoBacking;
    }
  }
  return kCellDone;
}

int CellImage::SwitchImage(ImageSurface* surface) {
  if (!external_ || !surface) return kCellNoImage;
  if (surface->GetWidth() != external_->GetWidth() ||
      surface->GetHeight() != external_->GetHeight() ||
      surface->GetBitsPerPixel() != external_->GetBitsPerPixel())
    return kCellImageDiffers;
  external_ = surface;
  return kCellDone;
}

void CellImage::AttachTarget(DisplayObject* object) {
  if (!object || std::find(targets_.begin(), targets_.end(), object) != targets_.end()) return;
  targets_.push_back(object);
}

void CellImage::DetachTarget(DisplayObject* object) {
  std::erase(targets_, object);
}

void CellImage::Forget(const void* object) {
  if (!object) return;
  std::erase_if(targets_, [object](const DisplayObject* target) { return target == object; });
  auto named = [object](const ImageSurface* surface) {
    return surface && (surface == object || static_cast<const Surface*>(surface) == object);
  };
  if (named(defaultTarget_)) defaultTarget_ = nullptr;
  if (named(external_)) external_ = nullptr;
}

void CellImage::SaveBackground(ImageSurface* from) {
  if (!from) from = defaultTarget_;
  if (!backing_ || !from) return;
  const Rect area{x_, y_, x_ + cellWidth_, y_ + backing_->GetHeight()};
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)backing_->Blit(from, 0, 0, &area, false);
}

void CellImage::RestoreBackground(ImageSurface* target) {
  if (!target) target = defaultTarget_;
  if (!backing_ || !target) return;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)target->Blit(backing_.get(), x_, y_, nullptr, false);
}

void CellImage::DrawCell(int32_t cell, ImageSurface* target, DisplayObject* targetObject) {
  if (drawMode_ == kCellHidden || cellCount_ <= 0) return;
  if (!target) target = defaultTarget_;
  if (!target) return;
  ImageSurface* source = Source();
  const int32_t height = source->GetHeight();
  if (backgroundMode_ != kCellBackgroundNone || drawMode_ >= kCellBackgroundOnly) {
    RestoreBackground(target);
  }
  if (drawMode_ == kCellDraw) {
    const int32_t c = std::clamp(cell, 0, cellCount_ - 1);
    const Rect rect{c * cellWidth_, 0, (c + 1) * cellWidth_, height};
    if (backgroundMode_ == kCellBackgroundBlend) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)target->AlphaBlitOntoAlpha(source, 255, x_, y_, &rect);
    } else if (!source->HasAlpha()) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)target->BlitColor(source, x_, y_, &rect);
    } else {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)target->Blit(source, x_, y_, &rect, false);
    }
  }
  const Rect changed{x_, y_, x_ + cellWidth_, y_ + height};
  if (targetObject) {
    targetObject->Refresh(&changed);
    return;
  }
  for (DisplayObject* object : targets_) object->Refresh(&changed);
}

}  // namespace bw
