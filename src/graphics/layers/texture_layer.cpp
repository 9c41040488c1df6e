#include "graphics/layers/texture_layer.h"

#include "common/global.h"
#include "graphics/device/direct3d_device.h"
#include "graphics/layers/software_surface_layer.h"
#include "graphics/layers/wgx_picture_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/composition_layer.h"
#include "host/surface/memory_surface.h"

namespace bw {
namespace {

// GDI cannot draw into pictures that feed alpha textures.
int PictureFlags(int formatCode) {
  return LayerDcImages() && formatCode <= kFormatX888 ? kImageDibSection | kImageDirtyList
                                                      : kImageDirtyList;
}

}  // namespace

TextureLayer::TextureLayer(Direct3DDevice* device) {
  if (device) Global<Direct3DDevice>::Set(device);
}

TextureLayer::~TextureLayer() {
  SurfaceLayer::Release();
  DirectDrawImageSurface::Release();
}

void TextureLayer::Reset() {
  SurfaceLayer::Release();
  // A picture without pixels has no key to set.
  (void)DirectDrawImageSurface::ClearColorKey();
  DirectDrawImageSurface::Release();
}

int TextureLayer::CreateTexture(int formatCode, int32_t width, int32_t height, bool systemMemory) {
  DirectDrawImageSurface::Release();
  Direct3DDevice* device = Global<Direct3DDevice>::Get();
  if (!device || !device->GetDevice()) return kLayerTextureNoDevice;
  const host::DdPixelFormat* format = device->GetTextureFormat(formatCode);
  if (!format) return kLayerTextureNoFormat;
  const host::D3dDeviceDesc& caps = device->DeviceCaps();
  const TextureSize size = ChooseTextureSize(width, height, caps);
  if (size.tooLarge) return kLayerTextureTooLarge;
  if (DirectDrawImageSurface::Create(size.width, size.height, systemMemory, true, format) != 0) {
    return kLayerTextureCreateFailed;
  }
  keptFormat_ = formatCode;
  keptSystemMemory_ = systemMemory;
  return 0;
}

int TextureLayer::Create(int formatCode, int32_t width, int32_t height, int depth, int options,
                         bool systemMemory) {
  Direct3DDevice* device = Global<Direct3DDevice>::Get();
  if (!device || !device->GetDevice()) return kTextureLayerNoDevice;
  Reset();
  const int result = Build(formatCode, width, height, depth, options, systemMemory);
  if (result != 0) {
    Reset();
    picture_.Release();
  }
  return result;
}

int TextureLayer::Build(int formatCode, int32_t width, int32_t height, int depth, int options,
                        bool systemMemory) {
  if (options < kLayerPlain || options > kLayerComposedWithUpperList)
    return kTextureLayerOtherFailure;
  if (CreateTexture(formatCode, width, height, systemMemory) != 0) return kTextureLayerNoTexture;
  if (picture_.Create(width, height, depth, PictureFlags(formatCode)) != kSurfaceDone) {
    return kTextureLayerNoPicture;
  }
  picture_.SetActiveDirtyList(picture_.GetDirtyList());
  if (options != kLayerPlain) {
    switch (Compose(options)) {
      case kLayerDone:
        break;
      case kLayerNoMemory:
        return kTextureLayerNoMemory;
      case kLayerTargetRefused:
        return kTextureLayerTargetRefused;
      default:
        return kTextureLayerOtherFailure;
    }
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)picture_.Fill(0, nullptr);
  if (FillColor(0, 0, 0) != 0) return kTextureLayerOtherFailure;
  // Both start black: nothing to copy yet.
  if (DirtyRectList* dirty = picture_.GetActiveDirtyList()) dirty->Clear();
  picture_.SetChanged(false);
  return 0;
}

int TextureLayer::Recreate(int depth) {
  if (!GetDirectDrawSurface()) return kRecreateNoSurface;
  if (picture_.Create(picture_.GetWidth(), picture_.GetHeight(), depth,
                      PictureFlags(GetFormatCode())) != kSurfaceDone) {
    Reset();
    picture_.Release();
    return kRecreateFailed;
  }
  if (CompositionLayer* composition = GetCompositionLayer()) {
    // A target without pixels leaves the layer unbound, drawing nothing.
    (void)composition->SetTarget(&picture_, true);
    picture_.SetActiveDirtyList(nullptr);
  } else {
    picture_.SetActiveDirtyList(picture_.GetDirtyList());
  }
  return 0;
}

int TextureLayer::Restore(int onlyIfLost) {
  host::MemorySurface* texture = GetDirectDrawSurface();
  if (!texture || (onlyIfLost && texture->IsLost() == host::kDdOk)) return 0;
  const uint32_t key = GetColorKeyRgb();
  if (CreateTexture(keptFormat_, GetWidth(), GetHeight(), keptSystemMemory_) != 0) {
    return kLayerRestoreSurface;
  }
  if (UpdateTexture(false) > 0) return kLayerRestoreUpdate;
  if (key != kNoColorKey &&
      SetColorKeyRgb(int(key >> 16 & 0xFF), int(key >> 8 & 0xFF), int(key & 0xFF)) != 0) {
    return kLayerRestoreKey;
  }
  return 0;
}

int TextureLayer::SetColorKeyRgb(int r, int g, int b) {
  return DirectDrawImageSurface::SetColorKeyRgb(r, g, b);
}

int TextureLayer::SetColorKeyFromPixel(int32_t x, int32_t y) {
  if (!GetDirectDrawSurface() || x < 0 || y < 0 || x >= picture_.GetWidth() ||
      y >= picture_.GetHeight()) {
    return kLayerKeyNoSurface;
  }
  const uint32_t rgb = PictureRgb(picture_, x, y);
  return SetColorKeyRgb(int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF), int(rgb & 0xFF));
}

int64_t TextureLayer::GetSurfaceColorKey() const {
  const uint32_t key = DirectDrawImageSurface::GetColorKey();
  return key == kNoColorKey ? -1 : int64_t{key};
}

float TextureLayer::GetTexU(int32_t x) const {
  return float(TextureCoordinate(x, GetWidth(), picture_.GetWidth()));
}

float TextureLayer::GetTexV(int32_t y) const {
  return float(TextureCoordinate(y, GetHeight(), picture_.GetHeight()));
}

}  // namespace bw
