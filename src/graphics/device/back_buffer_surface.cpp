#include "graphics/device/back_buffer_surface.h"

#include "graphics/device/display_manager.h"
#include "host/surface/memory_surface.h"

namespace bw {

host::MemorySurface* BackBufferSurface::GetDirectDrawSurface() const {
  return display_ ? display_->GetBackBuffer() : nullptr;
}

int32_t BackBufferSurface::GetWidth() const {
  const host::MemorySurface* buffer = GetDirectDrawSurface();
  return buffer ? buffer->Width() : 0;
}

int32_t BackBufferSurface::GetHeight() const {
  const host::MemorySurface* buffer = GetDirectDrawSurface();
  return buffer ? buffer->Height() : 0;
}

}  // namespace bw
