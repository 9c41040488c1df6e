#include "graphics/layers/wgx_picture_layer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "common/byte_reader.h"
#include "common/global.h"
#include "graphics/device/direct3d_device.h"
#include "graphics/pixel/surface_rows.h"
#include "resource/files/file.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/decoded_image.h"
#include "resource/images/image_loader_manager.h"
#include "resource/images/wgx_loader.h"

namespace bw {
namespace {

uint32_t NextPowerOfTwo(uint32_t v) {
  uint32_t p = 1;
  while (p < v && p < (1u << 30)) p <<= 1;
  return p;
}

bool IsWgx(std::span<const uint8_t> data) {
  return data.size() >= 3 && data[0] == 'W' && data[1] == 'G' && data[2] == 'X';
}

}  // namespace

TextureSize ChooseTextureSize(int32_t w, int32_t h, const host::D3dDeviceDesc& caps) {
  uint32_t tw = uint32_t(std::max(w, 1)), th = uint32_t(std::max(h, 1));
  const bool powersOfTwo = (caps.textureCaps & host::kD3dPTextureCapsPow2) &&
                           !(caps.textureCaps & host::kD3dPTextureCapsNonPow2Conditional);
  if (powersOfTwo) tw = NextPowerOfTwo(tw), th = NextPowerOfTwo(th);
  if (caps.textureCaps & host::kD3dPTextureCapsSquareOnly) tw = th = std::max(tw, th);
  TextureSize out;
  if (caps.maxTextureWidth && tw > caps.maxTextureWidth)
    tw = caps.maxTextureWidth, out.tooLarge = true;
  if (caps.maxTextureHeight && th > caps.maxTextureHeight)
    th = caps.maxTextureHeight, out.tooLarge = true;
  tw = std::max(tw, caps.minTextureWidth), th = std::max(th, caps.minTextureHeight);
  out.width = int32_t(tw), out.height = int32_t(th);
  return out;
}

WgxPictureLayer::WgxPictureLayer(Direct3DDevice* device) {
  if (device) Global<Direct3DDevice>::Set(device);
}

void WgxPictureLayer::Reset() {
  Release();
  // A picture without pixels has no key to set.
  (void)ClearColorKey();
  keptName_.clear();
  SetContentSize(0, 0);
}

int WgxPictureLayer::Load(int formatCode, const char* name, const uint8_t* data, size_t size,
                          bool systemMemory) {
  Reset();
  int code;
  try {
    code = LoadPicture(formatCode, name, data, size, systemMemory);
    if (code == 0 && name) keptName_ = name;
  } catch (const std::bad_alloc&) {
    code = kWgxLayerOtherFailure;
  }
  if (code != 0) {
    Reset();
    return code;
  }
  keptFormat_ = formatCode;
  keptSystemMemory_ = systemMemory;
  return 0;
}

int WgxPictureLayer::LoadPicture(int formatCode, const char* name, const uint8_t* data, size_t size,
                                 bool systemMemory) {
  Direct3DDevice* device = Global<Direct3DDevice>::Get();
  if (!device || !device->GetDevice()) return kWgxLayerNoDevice;
  const host::DdPixelFormat* format = device->GetTextureFormat(formatCode);
  if (!format) return kWgxLayerNoFormat;
  ImageLoaderManager* manager = TheImageLoaderManager::Get();
  if (!manager) return kWgxLayerBadPicture;

  // The source: a cached picture, the file's bytes, or the bytes given.
  DecodedImageRef picture;
  File file;
  std::span<const uint8_t> bytes;
  if (name) {
    picture.reset(manager->FindCachedImage(name));
    if (!picture) {
      if (file.Load(name) != kFileOk || !file.GetData()) return kWgxLayerNoSource;
      bytes = {static_cast<const uint8_t*>(file.GetData()), file.GetSize()};
    }
  } else if (data && size) {
    bytes = {data, size};
  } else {
    return kWgxLayerNoSource;
  }

  // WGX data: the bounded header reader knows all three forms; a bad header fails here.
  WgxLoader wgx;
  int depth = 0, w = 0, h = 0;
  const bool isWgx = !picture && IsWgx(bytes);
  if (isWgx) {
    ByteReader in(bytes);
    if (wgx.ReadHeader(in, depth, w, h) != kWgxDone) return kWgxLayerBadPicture;
  } else if (!picture) {
    ImageLoader* loader = name ? manager->FindLoaderByExtension(name, false) : nullptr;
    picture.reset(manager->DecodeFromMemory(bytes, loader));
    if (!picture && loader) picture.reset(manager->DecodeFromMemory(bytes, nullptr));
    if (!picture) return kWgxLayerBadPicture;
  }
  if (picture) w = picture->GetPicture().width, h = int32_t(picture->GetPicture().Rows());

  const host::D3dDeviceDesc& caps = device->DeviceCaps();
  const TextureSize size2 = ChooseTextureSize(w, h, caps);
  if (Create(size2.width, size2.height, systemMemory, true, format) != 0) return kWgxLayerNoTexture;
  const int code = GetFormatCode();

  if (isWgx && !size2.tooLarge && (code == kFormatX888 || code == kFormat8888) &&
      GetPitch() == w * 4) {
    host::MemorySurface* texture = GetDirectDrawSurface();
    host::DdSurfaceDesc locked;
    if (texture->Lock(&locked) != host::kDdOk) return kWgxLayerLockFailed;
    const int r = wgx.Load(
        bytes,
        [&](int, int, int, bool, bool) {
          return ImageDestination{
              {locked.surface, size_t(locked.pitch) * size_t(h)}, size_t(locked.pitch), nullptr};
        },
        false);
    if (r == kWgxDone && depth != 32) {
      // Pictures without alpha are opaque on a texture that has alpha.
      const uint8_t alpha = code == kFormat8888 ? 0xFF : 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          locked.surface[size_t(y) * locked.pitch + size_t(x) * 4 + 3] = alpha;
    }
    // Unlocking what was locked just above cannot fail.
    (void)texture->Unlock();
    if (r != kWgxDone) return kWgxLayerBadPicture;
    SetContentSize(w, h);
    word1_ = uint32_t(int32_t(wgx.GetOffsetX()));
    word2_ = uint32_t(int32_t(wgx.GetOffsetY()));
    return 0;
  }

  if (!picture) {
    // WGX data the texture cannot take directly: the WGX loader decodes it, and a named picture
    // is read again through the manager so that the cache holds it under its own key.
    picture.reset(
        name ? manager->LoadImage(name, true)
             : manager->DecodeFromMemory(bytes, manager->FindLoaderByType(kWgxLoaderType)));
    if (!picture) return kWgxLayerBadPicture;
  }
  const DibImage& dib = picture->GetPicture();
  if (size2.tooLarge) {
    WgxPictureLayer temporary;
    // In the texture's own format: the scaling blit copies between like surfaces.
    if (temporary.Create(w, h, true, true, format) != 0) return kWgxLayerNoTemporary;
    if (temporary.WritePixels(dib) != 0) return kWgxLayerCopyFailed;
    const host::DdRect to{0, 0, std::min(w, GetWidth()), std::min(h, GetHeight())};
    if (GetDirectDrawSurface()->Blt(&to, temporary.GetDirectDrawSurface(), nullptr,
                                    host::kDdBltWait, nullptr) != host::kDdOk) {
      return kWgxLayerScaleFailed;
    }
  } else if (WritePixels(dib) != 0) {
    return kWgxLayerCopyFailed;
  }
  SetContentSize(w, h);
  word1_ = uint32_t(int32_t(picture->GetOffsetX()));
  word2_ = uint32_t(int32_t(picture->GetOffsetY()));
  return 0;
}

int WgxPictureLayer::Reload(bool onlyIfLost) {
  host::MemorySurface* surface = GetDirectDrawSurface();
  if (!surface || (onlyIfLost && surface->IsLost() == host::kDdOk)) return 0;
  const std::string name = keptName_;
  const KeptKey key = GetKeptKey();
  if (name.empty() || Load(keptFormat_, name.c_str(), nullptr, 0, keptSystemMemory_) != 0) {
    return kReloadNoName;
  }
  // The reload's key codes are the surface's.
  return SetKeptKey(key);
}

}  // namespace bw
