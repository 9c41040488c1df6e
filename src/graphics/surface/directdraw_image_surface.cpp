#include "graphics/surface/directdraw_image_surface.h"

#include <atomic>
#include <cstring>

#include "common/global.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/pixel/pixel_format.h"
#include "graphics/surface/image_surface.h"
#include "resource/images/bmp_loader.h"
#include "resource/images/decoded_image.h"
#include "resource/images/dib_convert.h"
#include "resource/images/dib_image.h"
#include "resource/images/image_loader_manager.h"
#include "resource/images/wgx_loader.h"

namespace bw {
namespace {

// Installed at start-up (tests swap it), used on the thread that runs the frame; atomic.
std::atomic<PictureReader> pictureReader{nullptr};

using Converter = bool (*)(uint8_t*, const Rect&, ptrdiff_t, const DibSource&);

Converter ConverterFor(int formatCode) {
  switch (formatCode) {
    case kFormat555:
      return ConvertRowsTo555;
    case kFormat565:
      return ConvertRowsTo565;
    case kFormat24:
      return ConvertRowsTo24;
    case kFormatX888:
      return ConvertDibRowsTo32;
    case kFormat1555:
      return ConvertRowsTo1555;
    case kFormat4444:
      return ConvertRowsTo4444;
    case kFormat8888:
      return ConvertRowsTo32;
    default:
      return nullptr;
  }
}

int Decode(std::span<const uint8_t> data, DibImage* out) {
  if (WgxLoader::IsSupported(data)) {
    WgxLoader loader;
    return loader.LoadToBuffers(data, *out) == kWgxDone ? 0 : kDdsBadPicture;
  }
  if (BmpLoader::IsSupported(data))
    return BmpLoader::LoadToBuffers(data, *out) == kBmpDone ? 0 : kDdsBadPicture;
  return kDdsBadPicture;
}

}  // namespace

PictureReader SetPictureReader(PictureReader reader) {
  return pictureReader.exchange(reader);
}

DirectDrawImageSurface::~DirectDrawImageSurface() {
  Release();
}

void DirectDrawImageSurface::Release() {
  surface_.reset();
  rawKey_ = colorKey_ = kNoColorKey;
  keyX_ = keyY_ = -1;
}

int DirectDrawImageSurface::Create(int32_t width, int32_t height, bool systemMemory, bool texture,
                                   const host::DdPixelFormat* format) {
  Release();
  DirectDrawDevice* device = Global<DirectDrawDevice>::Get();
  if (!device || width < 1 || height < 1 || (texture && !format)) return kDdsNoDevice;
  host::DirectDraw* directDraw = device->GetDirectDraw();
  if (!directDraw) return kDdsNoDirectDraw;
  host::DdSurfaceDesc desc;
  desc.flags = host::kDdsdCaps | host::kDdsdHeight | host::kDdsdWidth;
  desc.width = uint32_t(width);
  desc.height = uint32_t(height);
  if (texture) {
    desc.flags |= host::kDdsdTextureStage;
    desc.caps = host::kDdsCapsTexture;
    if (!systemMemory && device->ManagesTextures()) desc.caps2 = host::kDdsCaps2TextureManage;
  } else {
    desc.caps = host::kDdsCapsOffscreenPlain;
    // Odd rows at 24 bits get one more column.
    if ((width & 1) && device->DisplayDepth() == 24) desc.width += 1;
  }
  if (systemMemory || (texture && !device->ManagesTextures()))
    desc.caps |= host::kDdsCapsSystemMemory;
  if (format) {
    desc.flags |= host::kDdsdPixelFormat;
    desc.pixelFormat = *format;
  }
  if (directDraw->CreateSurface(desc, &surface_) != host::kDdOk) return kDdsCreateFailed;
  host::DdSurfaceDesc got;
  if (surface_->GetSurfaceDesc(&got) != host::kDdOk) {
    surface_.reset();
    return kDdsDescFailed;
  }
  width_ = width;
  height_ = height;
  pitch_ = got.pitch;
  inVideoMemory_ = (got.caps & host::kDdsCapsVideoMemory) != 0;
  formatCode_ = ClassifyPixelFormat(nullptr, nullptr, &got.pixelFormat);
  if (!texture && formatCode_ == kFormat1555) formatCode_ = kFormat555;
  if (!texture && formatCode_ == kFormat8888) formatCode_ = kFormatX888;
  systemMemory_ = systemMemory;
  texture_ = texture;
  format_.reset();
  if (format) format_ = *format;
  clip_ = {0, 0, width_, height_};
  return 0;
}

int DirectDrawImageSurface::Load(const char* name, std::span<const uint8_t> data, int flags) {
  (void)flags;  // the loader options belong to the image manager
  std::vector<uint8_t> read;
  DibImage decoded;
  DecodedImageRef cached;
  if (data.empty() && name) {
    if (PictureReader reader = pictureReader.load()) {
      if (reader(name, &read) != 0) return kDdsNoPicture;
      data = read;
    } else {
      // By name the picture comes through the image manager and its cache.
      ImageLoaderManager* manager = TheImageLoaderManager::Get();
      cached.reset(manager ? manager->LoadImage(name, true) : nullptr);
      if (!cached) return kDdsNoPicture;
    }
  }
  if (!cached) {
    if (data.empty()) return kDdsNoPicture;
    if (int r = Decode(data, &decoded); r != 0) return r;
  }
  const DibImage& picture = cached ? cached->GetPicture() : decoded;
  const bool systemMemory = systemMemory_;
  if (int r = Create(picture.width, int32_t(picture.Rows()), systemMemory, false, nullptr); r != 0)
    return r;
  if (int r = WritePixels(picture); r != 0) return r;
  name_ = name ? name : "";
  fillColor_ = kNoColorKey;
  word1_ = uint32_t(int32_t(picture.offsetX));
  word2_ = uint32_t(int32_t(picture.offsetY));
  return 0;
}

int DirectDrawImageSurface::WritePixels(const DibImage& picture) {
  const Converter convert = ConverterFor(formatCode_);
  if (!convert) return kDdsWriteFailed;
  BitmapInfo info;
  info.header.width = picture.width;
  info.header.height = picture.height;
  info.header.bitCount = picture.bits;
  info.header.compression = picture.compression;
  info.header.clrUsed = uint32_t(picture.palette.size());
  if (!picture.palette.empty()) {
    std::memcpy(info.colors, picture.palette.data(),
                std::min<size_t>(picture.palette.size(), 256) * 4);
  }
  const DibSource source{
      &info, picture.pixels.data(), picture.pixels.size(), ptrdiff_t(picture.pitch), 0, 0};
  host::DdSurfaceDesc desc;
  if (surface_->Lock(&desc) != host::kDdOk) return kDdsWriteFailed;
  // A texture may be larger than the picture: only the picture's own area is written.
  const Rect area{0, 0, std::min(width_, picture.width),
                  std::min(height_, int32_t(picture.Rows()))};
  const bool ok = convert(desc.surface, area, desc.pitch, source);
  // Unlocking what was locked just above cannot fail.
  (void)surface_->Unlock();
  return ok ? 0 : kDdsWriteFailed;
}

int DirectDrawImageSurface::CopyFromImage(const ImageSurface* source, int32_t x, int32_t y,
                                          const Rect* sourceRect, host::DdSurfaceDesc* locked) {
  if (!surface_ || !source || !source->GetPixels()) return kDdsNoSurface;
  Rect src = sourceRect ? *sourceRect : *source->GetClipRectPtr();
  if (!IntersectWithBounds(&src, source->GetClipRectPtr())) return 0;
  Rect target;
  if (ClipScaledRects(x, y, &src, &target, &clip_, nullptr) != kClipLeft) return 0;
  host::DdSurfaceDesc own;
  host::DdSurfaceDesc* desc = locked;
  if (!desc) {
    if (surface_->Lock(&own) != host::kDdOk) return kDdsLockFailed;
    desc = &own;
  }
  const int w = src.Width(), h = src.Height();
  const uint8_t* first = source->GetRowPointer(src.top);
  const ptrdiff_t srcPitch =
      h > 1 ? source->GetRowPointer(src.top + 1) - first : source->GetPitch();
  bool ok;
  if (source->GetBitsPerPixel() == 8) {
    uint32_t grey[256];
    const uint32_t* palette = source->GetPalette();
    if (!palette) {
      for (uint32_t i = 0; i < 256; ++i) grey[i] = i * 0x010101u;
      palette = grey;
    }
    ok = PaletteRowsToSurface(formatCode_, desc->surface, target.left, target.top, desc->pitch,
                              first + src.left, srcPitch, w, h, palette);
  } else {
    ok = Rows32ToSurface(formatCode_, desc->surface, target.left, target.top, desc->pitch,
                         reinterpret_cast<const uint32_t*>(first) + src.left, srcPitch, w, h);
  }
  if (!locked) (void)surface_->Unlock();
  return ok ? 0 : kDdsLockFailed;
}

int DirectDrawImageSurface::FillColor(int r, int g, int b) {
  if (!surface_) return kDdsNoSurface;
  if (FillSurfaceRect(surface_.get(), nullptr, r, g, b, nullptr, 0) != kFillDone)
    return kDdsLockFailed;
  name_.clear();
  fillColor_ = uint32_t((r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF));
  return 0;
}

uint32_t DirectDrawImageSurface::GetPixel(int32_t x, int32_t y) {
  if (!surface_ || x < 0 || y < 0 || x >= width_ || y >= height_) return kNoColorKey;
  host::DdSurfaceDesc desc;
  if (surface_->Lock(&desc) != host::kDdOk) return kNoColorKey;
  const int bytes = int(desc.pixelFormat.rgbBitCount / 8);
  uint32_t v = 0;
  std::memcpy(&v, desc.surface + ptrdiff_t{y} * desc.pitch + ptrdiff_t{x} * bytes, size_t(bytes));
  (void)surface_->Unlock();
  return v;
}

int DirectDrawImageSurface::SetColorKeyRgb(int r, int g, int b) {
  rawKey_ = colorKey_ = kNoColorKey;
  keyX_ = keyY_ = -1;
  if (!surface_) return kDdsNoSurface;
  host::DdPixelFormat f;
  if (surface_->GetPixelFormat(&f) != host::kDdOk) return kDdsKeyNoFormat;
  // At 8 bits or fewer the red argument is the palette index; alpha bits stay clear.
  const uint32_t rgb = uint32_t((r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF));
  const uint32_t key = f.rgbBitCount <= 8 ? uint32_t(r & 0xFF) : host::PackArgb(f, rgb);
  const host::DdColorKey ck{key, key};
  if (surface_->SetColorKey(host::kDdCKeySrcBlt, &ck) != host::kDdOk) return kDdsKeyRefused;
  rawKey_ = key;
  colorKey_ = rgb;
  return 0;
}

int DirectDrawImageSurface::SetColorKeyFromPixel(int32_t x, int32_t y) {
  if (!surface_ || x < 0 || y < 0 || x >= width_ || y >= height_) return kDdsNoSurface;
  const uint32_t key = GetPixel(x, y);
  if (key == kNoColorKey) return kDdsNoSurface;
  const host::DdColorKey ck{key, key};
  if (surface_->SetColorKey(host::kDdCKeySrcBlt, &ck) != host::kDdOk) return kDdsKeyPixelRefused;
  keyX_ = x;
  keyY_ = y;
  rawKey_ = key;
  colorKey_ = kNoColorKey;
  return 0;
}

int DirectDrawImageSurface::ClearColorKey() {
  // Clearing the colour key cannot fail.
  if (surface_) (void)surface_->SetColorKey(host::kDdCKeySrcBlt, nullptr);
  rawKey_ = colorKey_ = kNoColorKey;
  keyX_ = keyY_ = -1;
  return 0;
}

int DirectDrawImageSurface::Remake() {
  // Memory that survived only needs to come back; a surface that is gone is made again.
  if (surface_) {
    if (surface_->Restore() != host::kDdOk) return kDdsCreateFailed;
  } else {
    const std::optional<host::DdPixelFormat> format = format_;
    if (int r = Create(width_, height_, systemMemory_, texture_, format ? &*format : nullptr);
        r != 0)
      return r;
  }
  if (!name_.empty()) {
    const std::string name = name_;
    return Load(name.c_str(), {}, 0) == 0 ? 0 : kDdsCreateFailed;
  }
  if (fillColor_ != kNoColorKey) {
    const uint32_t c = fillColor_;
    return FillColor(int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF)) == 0
               ? 0
               : kDdsCreateFailed;
  }
  return 0;
}

int DirectDrawImageSurface::Restore(int check) {
  if (check && surface_ && surface_->IsLost() == host::kDdOk) return 0;
  const KeptKey key = GetKeptKey();
  if (int r = Remake(); r != 0) return r;
  return SetKeptKey(key);
}

int DirectDrawImageSurface::SetKeptKey(const KeptKey& key) {
  if (key.rgb != kNoColorKey) {
    if (SetColorKeyRgb(int(key.rgb >> 16 & 0xFF), int(key.rgb >> 8 & 0xFF), int(key.rgb & 0xFF)) !=
        0) {
      return kDdsRestoreRgbKey;
    }
  } else if (key.x >= 0 && SetColorKeyFromPixel(key.x, key.y) != 0) {
    return kDdsRestorePixelKey;
  }
  return 0;
}

}  // namespace bw
