#include "graphics/surface/direct_draw_surface.h"

#include <new>

#include "graphics/device/direct_draw_device.h"
#include "graphics/surface/dib_surface.h"

namespace bw {

int DirectDrawSurface::Load(const char* text, TextRenderer* renderer) {
  if (!Global<DirectDrawDevice>::Get() || !text || !*text) return kTextSurfaceNoText;
  try {
    text_ = text;
  } catch (const std::bad_alloc&) {
    return kTextSurfaceNoMemory;
  }
  renderer_ = renderer;
  if (int r = Render(); r != 0) {
    Release();
    return r + kTextSurfaceNoMemory;
  }
  return 0;
}

int DirectDrawSurface::Render() {
  TextRenderer* renderer = ChooseTextRenderer(renderer_);
  TextBox box;
  if (!renderer || !MeasureTextBox(*renderer, text_.c_str(), &box)) return kTextRenderNoRenderer;
  if (Create(box.width, box.height, false, false, nullptr) != 0) return kTextRenderNotCreated;
  DibSurface work;
  if (work.Create(box.width, box.height, 32, true) != kSurfaceDone) return kTextRenderDrawFailed;
  if (DrawTextIntoDib(*renderer, work, -box.x, -box.y, text_.c_str()) != kTextDone) {
    return kTextRenderDrawFailed;
  }
  host::MemorySurface* surface = GetDirectDrawSurface();
  host::MemoryDc* dc = nullptr;
  if (surface->GetDC(&dc) != host::kDdOk) return kTextRenderDrawFailed;
  const bool copied = host::BitBlt(*dc, 0, 0, box.width, box.height, *work.GetDc(), 0, 0);
  if (surface->ReleaseDC(dc) != host::kDdOk || !copied) return kTextRenderDrawFailed;
  return 0;
}

int DirectDrawSurface::Restore(int check) {
  host::MemorySurface* surface = GetDirectDrawSurface();
  if (text_.empty() || (check && surface && surface->IsLost() == host::kDdOk)) return 0;
  const KeptKey key = GetKeptKey();
  if (int r = Render(); r != 0) {
    Release();
    return r;
  }
  return SetKeptKey(key);
}

void DirectDrawSurface::ForgetTextRenderer(const TextRenderer* renderer) {
  if (renderer_ == renderer) renderer_ = nullptr;
}

}  // namespace bw
