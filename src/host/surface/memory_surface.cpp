#include "host/surface/memory_surface.h"

#include <cstring>
#include <new>

#include "host/gdi/memory_dc.h"

namespace bw::host {

std::unique_ptr<MemorySurface> MemorySurface::Create(int width, int height,
                                                     const DdPixelFormat& format) {
  const int bits = int(format.rgbBitCount);
  if (width < 1 || height < 1) return nullptr;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;
  int64_t pitch = RowPitch(width, bits);
  if (pitch == 0 || pitch * height > kMaxSectionBytes) return nullptr;
  std::unique_ptr<MemorySurface> s(new MemorySurface);
  s->pixels_.reset(new (std::nothrow) uint8_t[size_t(pitch * height)]());
  if (!s->pixels_) return nullptr;
  s->width_ = width;
  s->height_ = height;
  s->pitch_ = ptrdiff_t(pitch);
  s->format_ = format;
  return s;
}

HResult MemorySurface::GetPixelFormat(DdPixelFormat* out) const {
  if (!out || out->size != sizeof(DdPixelFormat)) return kDdErrInvalidParams;
  *out = format_;
  return kDdOk;
}

HResult MemorySurface::Blt(const DdRect* rect, uint32_t flags, const DdBltFx* fx) {
  if (lost_) return kDdErrSurfaceLost;
  if (locked_) return kDdErrSurfaceBusy;
  if (!(flags & kDdBltColorFill) || !fx || fx->size != kDdBltFxSize) return kDdErrInvalidParams;
  if (blitterRefuses_) return kDdErrUnsupported;
  DdRect r = rect ? *rect : DdRect{0, 0, width_, height_};
  if (r.left < 0 || r.top < 0 || r.right > width_ || r.bottom > height_ || r.left >= r.right ||
      r.top >= r.bottom) {
    return kDdErrInvalidParams;
  }
  const int bytes = int(format_.rgbBitCount / 8);
  const uint32_t color = fx->fillColor;
  for (int y = r.top; y < r.bottom; ++y) {
    uint8_t* p = pixels_.get() + y * pitch_ + ptrdiff_t{r.left} * bytes;
    for (int x = r.left; x < r.right; ++x, p += bytes) std::memcpy(p, &color, size_t(bytes));
  }
  return kDdOk;
}

HResult MemorySurface::Lock(DdSurfaceDesc* out) {
  if (lost_) return kDdErrSurfaceLost;
  if (!out) return kDdErrInvalidParams;
  if (locked_) return kDdErrSurfaceBusy;
  locked_ = true;
  out->width = uint32_t(width_);
  out->height = uint32_t(height_);
  out->pitch = int32_t(pitch_);
  out->surface = pixels_.get();
  out->pixelFormat = format_;
  return kDdOk;
}

HResult MemorySurface::Unlock() {
  if (!locked_) return kDdErrNotLocked;
  locked_ = false;
  return kDdOk;
}

}  // namespace bw::host
