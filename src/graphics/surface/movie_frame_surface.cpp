#include "graphics/surface/movie_frame_surface.h"

#include "common/global.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/pixel/pixel_format.h"
#include "graphics/pixel/surface_rows.h"

namespace bw {

MovieFrameSurface::MovieFrameSurface(DirectDrawDevice* device) {
  if (device) Global<DirectDrawDevice>::Set(device);
  device_ = device ? device : Global<DirectDrawDevice>::Get();
}

MovieFrameSurface::~MovieFrameSurface() {
  Release();
}

void MovieFrameSurface::Release() {
  surface_.reset();
  memory_ = nullptr;
  formatCode_ = 0;
}

int MovieFrameSurface::Create(int32_t width, int32_t height) {
  Release();
  if (!device_ || width < 1 || height < 1) return kFrameNoDevice;
  host::DirectDraw* directDraw = device_->GetDirectDraw();
  if (!directDraw) return kFrameNoDirectDraw;
  host::DdSurfaceDesc desc;
  desc.flags = host::kDdsdCaps | host::kDdsdHeight | host::kDdsdWidth;
  desc.caps = host::kDdsCapsOffscreenPlain | host::kDdsCapsSystemMemory;
  desc.width = uint32_t(width);
  desc.height = uint32_t(height);
  // Odd rows at 24 bits get one more column; the frame keeps its own width.
  if ((width & 1) && device_->DisplayDepth() == 24) desc.width += 1;
  if (directDraw->CreateSurface(desc, &surface_) != host::kDdOk) return kFrameCreateFailed;
  host::DdSurfaceDesc locked;
  if (surface_->Lock(&locked) != host::kDdOk) {
    surface_.reset();
    return kFrameLockFailed;
  }
  memory_ = locked.surface;
  ++generation_;
  pitch_ = locked.pitch;
  // Unlocking what was locked just above cannot fail.
  (void)surface_->Unlock();
  width_ = width;
  height_ = height;
  clip_ = {0, 0, width_, height_};
  formatCode_ = ClassifyPixelFormat(surface_.get(), nullptr, nullptr);
  if (formatCode_ == kFormat1555) formatCode_ = kFormat555;
  if (formatCode_ == kFormat8888) formatCode_ = kFormatX888;
  host::DdBltFx black;
  // A colour fill fails only on a lost surface, which the next present restores.
  (void)surface_->Blt(nullptr, host::kDdBltColorFill | host::kDdBltWait, &black);
  return 0;
}

int MovieFrameSurface::Restore(int check) {
  if (!surface_ || (check && surface_->IsLost() == host::kDdOk)) return 0;
  ScopedLock hold(lock_);
  return Create(width_, height_) == 0 ? 0 : kFrameRestoreFailed;
}

}  // namespace bw
