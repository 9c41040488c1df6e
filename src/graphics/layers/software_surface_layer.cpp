#include "graphics/layers/software_surface_layer.h"

#include <algorithm>
#include <atomic>

#include "common/global.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/surface/composition_layer.h"
#include "host/clock.h"
#include "host/gdi/memory_dc.h"
#include "host/surface/memory_surface.h"

namespace bw {
namespace {

// Set on the main thread at start-up, read on the thread that runs the frame; atomic.
std::atomic<bool> dcImages{false};

int PictureFlags() {
  return dcImages ? kImageDibSection | kImageDirtyList : kImageDirtyList;
}

}  // namespace

void SetLayerDcImages(bool on) {
  dcImages = on;
}

uint32_t PictureRgb(const ImageSurface& picture, int32_t x, int32_t y) {
  const uint8_t* row = picture.GetRowPointer(y);
  if (picture.GetBitsPerPixel() != 8) return reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFF;
  const uint32_t* palette = picture.GetPalette();
  return (palette ? palette[row[x]] : row[x] * 0x010101u) & 0xFFFFFF;
}
bool LayerDcImages() {
  return dcImages;
}

SoftwareSurfaceLayer::SoftwareSurfaceLayer(DirectDrawDevice* device) {
  if (device) Global<DirectDrawDevice>::Set(device);
}

SoftwareSurfaceLayer::~SoftwareSurfaceLayer() {
  surface_.Release();
  SurfaceLayer::Release();
}

void SoftwareSurfaceLayer::Reset() {
  SurfaceLayer::Release();
  surface_.Release();
  colorKey_ = kNoColorKey;
}

int SoftwareSurfaceLayer::CreateDdSurface(int32_t width, int32_t height) {
  const int result = surface_.Create(width, height, false, false, nullptr);
  if (result == 0) return 0;
  return result == kDdsNoDirectDraw || result == kDdsNoDevice ? kDdSurfaceNoDirectDraw
                                                              : kDdSurfaceCreateFailed;
}

int SoftwareSurfaceLayer::Create(int32_t width, int32_t height, int depth, int options) {
  if (!Global<DirectDrawDevice>::Get()) return kSoftLayerNoDevice;
  Reset();
  const int result = Build(width, height, depth, options);
  if (result != 0) {
    Reset();
    ImageSurface::Release();
  }
  return result;
}

int SoftwareSurfaceLayer::Build(int32_t width, int32_t height, int depth, int options) {
  if (options < kLayerPlain || options > kLayerComposedWithUpperList) return kSoftLayerOtherFailure;
  if (CreateDdSurface(width, height) != 0) return kSoftLayerNoSurface;
  if (ImageSurface::Create(width, height, depth, PictureFlags()) != kSurfaceDone) {
    return kSoftLayerNoPicture;
  }
  SetActiveDirtyList(GetDirtyList());
  if (options != kLayerPlain) {
    switch (Compose(options)) {
      case kLayerDone:
        break;
      case kLayerNoMemory:
        return kSoftLayerNoMemory;
      case kLayerTargetRefused:
        return kSoftLayerTargetRefused;
      default:
        return kSoftLayerOtherFailure;
    }
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)Fill(0, nullptr);
  if (surface_.FillColor(0, 0, 0) != 0) return kSoftLayerOtherFailure;
  // Both start black: nothing to copy yet.
  if (DirtyRectList* dirty = GetActiveDirtyList()) dirty->Clear();
  SetChanged(false);
  return 0;
}

int SoftwareSurfaceLayer::Recreate(int depth) {
  if (!GetDirectDrawSurface()) return kRecreateNoSurface;
  if (ImageSurface::Create(GetWidth(), GetHeight(), depth, PictureFlags()) != kSurfaceDone) {
    Reset();
    ImageSurface::Release();
    return kRecreateFailed;
  }
  if (CompositionLayer* composition = GetCompositionLayer()) {
    // A target without pixels leaves the layer unbound, drawing nothing.
    (void)composition->SetTarget(this, true);
    SetActiveDirtyList(nullptr);
  } else {
    SetActiveDirtyList(GetDirtyList());
  }
  return 0;
}

int SoftwareSurfaceLayer::UpdateSurface(bool dirtyOnly) {
  if (!GetDirectDrawSurface()) return kUpdateNoSurface;
  return UpdateDirectDraw(surface_, dirtyOnly);
}

int SoftwareSurfaceLayer::SetColorKeyRgb(int r, int g, int b) {
  colorKey_ = kNoColorKey;
  switch (surface_.SetColorKeyRgb(r, g, b)) {
    case 0:
      break;
    case kDdsNoSurface:
      return kLayerKeyNoSurface;
    case kDdsKeyNoFormat:
      return kLayerKeyNoFormat;
    default:
      return kLayerKeyRefused;
  }
  colorKey_ = surface_.GetColorKeyRgb();
  return 0;
}

int SoftwareSurfaceLayer::SetColorKeyFromPixel(int32_t x, int32_t y) {
  if (!GetDirectDrawSurface() || x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight()) {
    return kLayerKeyNoSurface;
  }
  const uint32_t rgb = PictureRgb(*this, x, y);
  return SetColorKeyRgb(int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF), int(rgb & 0xFF));
}

int SoftwareSurfaceLayer::ClearColorKey() {
  if (colorKey_ == kNoColorKey) return 0;
  host::MemorySurface* surface = GetDirectDrawSurface();
  if (!surface) return kLayerKeyNoSurface;
  if (surface->SetColorKey(host::kDdCKeySrcBlt, nullptr) != host::kDdOk) return kLayerKeyNoFormat;
  // A picture without pixels has no key to set.
  (void)surface_.ClearColorKey();
  colorKey_ = kNoColorKey;
  return 0;
}

int SoftwareSurfaceLayer::Restore(int onlyIfLost) {
  host::MemorySurface* surface = GetDirectDrawSurface();
  if (!surface || (onlyIfLost && surface->IsLost() == host::kDdOk)) return 0;
  const uint32_t key = colorKey_;
  if (CreateDdSurface(GetWidth(), GetHeight()) != 0) return kLayerRestoreSurface;
  colorKey_ = kNoColorKey;
  if (UpdateSurface(false) > 0) return kLayerRestoreUpdate;
  if (key != kNoColorKey &&
      SetColorKeyRgb(int(key >> 16 & 0xFF), int(key >> 8 & 0xFF), int(key & 0xFF)) != 0) {
    return kLayerRestoreKey;
  }
  return 0;
}

}  // namespace bw
