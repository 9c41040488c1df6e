#include "graphics/surface/image_surface.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "graphics/pixel/alpha_kernels.h"
#include "graphics/pixel/pixel_kernels.h"
#include "platform/mmx_flag.h"

namespace bw {

ImageSurface::~ImageSurface() {
  Release();
}

int ImageSurface::Create(int32_t width, int32_t height, int bits, int flags, bool zeroed) {
  Release();
  if (bits != 8 && bits != 32) return kSurfaceBadArgument;
  int result = DibSurface::Create(width, height, bits, (flags & kImageDibSection) != 0, zeroed);
  if (result != kSurfaceDone) return result;
  if (flags & kImageDirtyList) {
    ownedDirty_.reset(new (std::nothrow) DirtyRectList);
    if (!ownedDirty_) {
      Release();
      return kImageNoDirtyList;
    }
    activeDirty_ = ownedDirty_.get();
  }
  return kSurfaceDone;
}

int ImageSurface::Resize(int32_t width, int32_t height) {
  int result = DibSurface::Resize(width, height);
  if (result == kSurfaceDone) rowTable_.clear();
  return result;
}

void ImageSurface::Release() {
  brightnessBase_.reset();
  rowTable_.clear();
  rowTable_.shrink_to_fit();
  if (activeDirty_ == ownedDirty_.get()) activeDirty_ = nullptr;
  ownedDirty_.reset();
  Destroy();
  hasAlpha_ = false;
  changed_ = false;
}

void ImageSurface::MarkDirty(const Rect& rect) {
  if (activeDirty_) activeDirty_->Add(rect);
  changed_ = true;
}

void ImageSurface::MarkAll() {
  MarkDirty({0, 0, width_, height_});
}

int ImageSurface::CopyFrom(const ImageSurface* source, int mode) {
  if (!source || !source->GetPixels()) return kNoPixels;
  // Re-creating this surface would free the pixels it is asked to copy.
  if (source == this) return kSurfaceDone;
  int flags = 0;
  if (mode == kCopyToDibSection) flags = kImageDibSection;
  if (mode == kCopyLikeSource) {
    if (source->GetDc()) flags |= kImageDibSection;
    if (source->GetDirtyList()) flags |= kImageDirtyList;
  }
  if (Create(source->GetWidth(), source->GetHeight(), source->GetBitsPerPixel(), flags) !=
      kSurfaceDone) {
    return kSurfaceNoMemory;
  }
  if (source->GetPalette() &&
      DibSurface::SetPalette(source->GetPalette(), 256, 0) != kSurfaceDone) {
    return kNoStore;
  }
  std::memcpy(GetPixels(), source->GetPixels(), size_t(pitch_) * size_t(height_));
  colorKey_ = source->GetColorKey();
  word1_ = source->GetWord1();
  word2_ = source->GetWord2();
  hasAlpha_ = source->HasAlpha();
  return kSurfaceDone;
}

bool ImageSurface::SetPixel(int32_t x, int32_t y, uint32_t value) {
  uint8_t* row = GetRowPointer(y);
  if (!row || x < 0 || x >= width_) return false;
  if (GetBitsPerPixel() == 8) {
    row[x] = static_cast<uint8_t>(value);
  } else {
    std::memcpy(row + 4 * x, &value, 4);
  }
  MarkDirty({x, y, x + 1, y + 1});
  return true;
}

int ImageSurface::ConvertDepth(int bits) {
  if (!GetPixels()) return kNoPixels;
  const int from = GetBitsPerPixel();
  if (bits == from || (bits != 8 && bits != 32)) return kDepthRefused;
  DibSurface store;
  if (store.Create(width_, height_, bits, GetDc() != nullptr) != kSurfaceDone) return kNoStore;
  if (bits == 32) {
    static const uint32_t* const grey = [] {
      static uint32_t ramp[256];
      for (uint32_t i = 0; i < 256; ++i) ramp[i] = i * 0x010101u;
      return ramp;
    }();
    const uint32_t* colors = GetPalette() ? GetPalette() : grey;
    for (int32_t y = 0; y < height_; ++y) {
      CopyIndexedRows(reinterpret_cast<uint32_t*>(store.GetRowPointer(y)), GetRowPointer(y), 0, 0,
                      width_, 1, colors);
    }
    if (colorKey_ != kNoColorKey) colorKey_ = colors[colorKey_ & 0xFF] & 0x00FFFFFFu;
  } else {
    for (int32_t y = 0; y < height_; ++y) {
      const uint8_t* in = GetRowPointer(y);
      uint8_t* out = store.GetRowPointer(y);
      for (int32_t x = 0; x < width_; ++x, in += 4) {
        out[x] = static_cast<uint8_t>((77 * in[2] + 150 * in[1] + 29 * in[0]) >> 8);
      }
    }
    colorKey_ = kNoColorKey;
  }
  SwapStore(store);
  brightnessBase_.reset();
  rowTable_.clear();
  MarkAll();
  return kSurfaceDone;
}

int ImageSurface::BuildRowTable() {
  if (!GetPixels()) return kNoPixels;
  if (rowTable_.size() == size_t(height_)) return kSurfaceDone;
  try {
    rowTable_.resize(size_t(height_));
  } catch (const std::bad_alloc&) {
    return kSurfaceNoMemory;
  }
  for (int32_t y = 0; y < height_; ++y) rowTable_[size_t(y)] = GetRowPointer(y);
  return kSurfaceDone;
}

bool ImageSurface::FillRgb(int r, int g, int b, const Rect* rect) {
  Rect touched;
  if (!DibSurface::FillRgb(r, g, b, rect, &touched)) return false;
  MarkDirty(touched);
  return true;
}

bool ImageSurface::Fill(uint32_t argb, const Rect* rect) {
  Rect touched;
  if (!DibSurface::Fill(argb, rect, &touched)) return false;
  MarkDirty(touched);
  return true;
}

bool ImageSurface::FillRgbXYWH(int32_t x, int32_t y, int32_t width, int32_t height, int r, int g,
                               int b) {
  Rect rect{x, y, x + width, y + height};
  return FillRgb(r, g, b, &rect);
}

bool ImageSurface::FillRectXYWH(int32_t x, int32_t y, int32_t width, int32_t height,
                                uint32_t argb) {
  Rect rect{x, y, x + width, y + height};
  return Fill(argb, &rect);
}

bool ImageSurface::FillColorKeepAlpha(int r, int g, int b, const Rect* rect) {
  if (!GetPixels() || GetBitsPerPixel() != 32) return false;
  Rect area = rect ? *rect : clip_;
  if (!ClipToClipRect(&area)) return false;
  uint32_t rgb = uint32_t(r & 0xFF) << 16 | uint32_t(g & 0xFF) << 8 | uint32_t(b & 0xFF);
  auto* start = reinterpret_cast<uint32_t*>(GetRowPointer(area.top)) + area.left;
  ptrdiff_t skip = pitch_ - ptrdiff_t{area.Width()} * 4;
  (MmxEnabled() ? FillRgbRowsMmx : FillRgbRows)(start, skip, area.Width(), area.Height(), rgb);
  MarkDirty(area);
  return true;
}

// A palette set from outside is the base of later brightness changes.
int ImageSurface::SetPalette(const uint32_t* entries, int count, int first) {
  int result = DibSurface::SetPalette(entries, count, first);
  if (result != kSurfaceDone) return result;
  brightnessBase_.reset();
  MarkAll();
  return result;
}

bool ImageSurface::SetPaletteEntry(int index, uint32_t color, bool apply) {
  if (!DibSurface::SetPaletteEntry(index, color, apply)) return false;
  brightnessBase_.reset();
  MarkAll();
  return true;
}

bool ImageSurface::FillPalette(uint32_t color, bool apply) {
  if (!DibSurface::FillPalette(color, apply)) return false;
  brightnessBase_.reset();
  MarkAll();
  return true;
}

int ImageSurface::CopyPaletteFrom(const DibSurface* source) {
  if (!source || !source->GetPalette()) return kSurfaceBadArgument;
  return SetPalette(source->GetPalette(), 256, 0);
}

int ImageSurface::ClipBlit(const Surface* source, int32_t x, int32_t y, const Rect* sourceRect,
                           const Size* size, StretchStepper* steps, Rect* clip) {
  return Clip(source, x, y, sourceRect, size, steps, clip, false);
}

int ImageSurface::ClipBlitMirrored(const Surface* source, int32_t x, int32_t y,
                                   const Rect* sourceRect, const Size* size, StretchStepper* steps,
                                   Rect* clip) {
  return Clip(source, x, y, sourceRect, size, steps, clip, true);
}

// The first half of every blit clip: the source rectangle cut to the source's clip, moving
// the placement with it, and the destination bounds.
struct ImageSurface::ClipStart {
  Rect src;
  int64_t dx, dy;
  Rect bounds;
};

int ImageSurface::StartClip(const Surface* source, int32_t x, int32_t y, const Rect* sourceRect,
                            Rect* clip, bool mirrored, ClipStart& out) {
  // Positions are 64-bit so that far-off rectangles clip instead of wrapping.
  int64_t dx = x, dy = y;
  Rect src;
  if (sourceRect) {
    src = *sourceRect;
    if (source) {
      const Rect& c = *source->GetClipRectPtr();
      // A cut source edge moves the picture's placement with it; mirrored, the right edge
      // is the one drawn at the left.
      if (src.left < c.left) {
        if (!mirrored) dx += int64_t{c.left} - src.left;
        src.left = c.left;
      }
      if (src.right > c.right) {
        if (mirrored) dx += int64_t{src.right} - c.right;
        src.right = c.right;
      }
      if (src.top < c.top) {
        dy += int64_t{c.top} - src.top;
        src.top = c.top;
      }
      src.bottom = std::min(src.bottom, c.bottom);
    }
  } else if (source) {
    src = *source->GetClipRectPtr();
  } else {
    return kClipNoSource;
  }
  if (src.IsEmpty()) return kClipNothing;
  Rect bounds = clip_;
  if (clip) {
    if (!ClipToClipRect(clip)) return kClipNothing;
    bounds = *clip;
  }
  out = {src, dx, dy, bounds};
  return kClipDraw;
}

int ImageSurface::Clip(const Surface* source, int32_t x, int32_t y, const Rect* sourceRect,
                       const Size* size, StretchStepper* steps, Rect* clip, bool mirrored) {
  ClipStart start;
  int result = StartClip(source, x, y, sourceRect, clip, mirrored, start);
  if (result != kClipDraw) return result;
  Rect& src = start.src;
  const Rect& bounds = start.bounds;
  const int64_t dx = start.dx, dy = start.dy;

  if (!size) {
    int64_t left = dx, top = dy, right = dx + src.Width(), bottom = dy + src.Height();
    // Cuts as wide as the source leave nothing (and keep the source edges in range).
    const int64_t cutLeft = std::max<int64_t>(0, bounds.left - left);
    const int64_t cutRight = std::max<int64_t>(0, right - bounds.right);
    const int64_t cutTop = std::max<int64_t>(0, bounds.top - top);
    const int64_t cutBottom = std::max<int64_t>(0, bottom - bounds.bottom);
    if (cutLeft + cutRight >= src.Width() || cutTop + cutBottom >= src.Height()) {
      return kClipNothing;
    }
    left += cutLeft, right -= cutRight, top += cutTop, bottom -= cutBottom;
    (mirrored ? src.right : src.left) += int32_t(mirrored ? -cutLeft : cutLeft);
    (mirrored ? src.left : src.right) += int32_t(mirrored ? cutRight : -cutRight);
    src.top += int32_t(cutTop);
    src.bottom -= int32_t(cutBottom);
    if (left >= right || top >= bottom || src.IsEmpty()) return kClipNothing;
    clippedSource_ = src;
    clippedDest_ = {int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
    return kClipDraw;
  }

  if (!steps) return kClipNoStepRecord;
  const int32_t w = size->width, h = size->height;
  if (w <= 0 || h <= 0) return kClipNothing;
  const int32_t sw = src.Width(), sh = src.Height();
  int64_t left = dx, top = dy, right = dx + w, bottom = dy + h;
  // Skipping cut destination pixels advances the source exactly as the stepper would have
  // over them; answers the stepper's error after the skip.
  auto skip = [](int64_t cut, int32_t srcLen, int32_t dstLen, int32_t& near, int32_t& far,
                 bool fromFar) {
    int64_t error = -int64_t{dstLen} - 1 + cut * (srcLen % dstLen);
    int64_t carries = error >= 0 ? error / dstLen + 1 : 0;
    error -= carries * dstLen;
    int64_t advance = cut * (srcLen / dstLen) + carries;
    if (fromFar) {
      far = int32_t(std::max<int64_t>(int64_t{far} - advance, near));
    } else {
      near = int32_t(std::min<int64_t>(int64_t{near} + advance, far));
    }
    return int32_t(error);
  };
  int32_t xError = -w - 1, yError = -h - 1;
  if (left < bounds.left) {
    xError = skip(bounds.left - left, sw, w, src.left, src.right, mirrored);
    left = bounds.left;
  }
  if (top < bounds.top) {
    yError = skip(bounds.top - top, sh, h, src.top, src.bottom, false);
    top = bounds.top;
  }
  right = std::min<int64_t>(right, bounds.right);
  bottom = std::min<int64_t>(bottom, bounds.bottom);
  if (left >= right || top >= bottom || src.IsEmpty()) return kClipNothing;
  *steps = {xError, sw % w, w, sw / w, yError, sh % h, h, sh / h};
  clippedSource_ = src;
  clippedDest_ = {int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
  return kClipDraw;
}

int ImageSurface::ClipSmoothStretch(const Surface* source, int32_t x, int32_t y,
                                    const Rect* sourceRect, const Size* size, SmoothStepper* steps,
                                    Rect* clip) {
  ClipStart start;
  int result = StartClip(source, x, y, sourceRect, clip, false, start);
  if (result != kClipDraw) return result;
  if (!size || !steps) return kClipNoStepRecord;
  const int32_t w = size->width, h = size->height;
  if (w <= 0 || h <= 0) return kClipNothing;
  Rect src = start.src;
  const Rect& bounds = start.bounds;
  const uint64_t xStep = (uint64_t(src.Width()) << 32) / uint64_t(w);
  const uint64_t yStep = (uint64_t(src.Height()) << 32) / uint64_t(h);
  int64_t left = start.dx, top = start.dy;
  const int64_t right = std::min<int64_t>(left + w, bounds.right);
  const int64_t bottom = std::min<int64_t>(top + h, bounds.bottom);
  // The first drawn pixel's source position: the cut pixels' steps, whole part into the
  // source rectangle, fraction into the stepper.
  uint64_t xPos = 0, yPos = 0;
  if (left < bounds.left) {
    xPos = uint64_t(bounds.left - left) * xStep;
    left = bounds.left;
  }
  if (top < bounds.top) {
    yPos = uint64_t(bounds.top - top) * yStep;
    top = bounds.top;
  }
  if (left >= right || top >= bottom) return kClipNothing;
  src.left += int32_t(xPos >> 32);
  src.top += int32_t(yPos >> 32);
  if (src.IsEmpty()) return kClipNothing;
  *steps = {uint32_t(xPos), uint32_t(yPos), xStep, yStep};
  clippedSource_ = src;
  clippedDest_ = {int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
  return kClipDraw;
}

void SetSurfaceAlpha(DibSurface* surface, uint8_t alpha) {
  if (!surface || !surface->GetPixels() || surface->GetBitsPerPixel() != 32) return;
  SetAlphaRun(reinterpret_cast<uint32_t*>(surface->GetPixels()),
              size_t(surface->GetWidth()) * size_t(surface->GetHeight()), alpha);
}

}  // namespace bw
