// Pictures into image surfaces: the loaders write straight into a surface made to the picture's
// size, a picture already in the image cache is converted from its buffers, and saving hands
// the pixels to the manager.
#include <algorithm>
#include <cstring>

#include "graphics/surface/image_surface.h"
#include "resource/images/decoded_image.h"
#include "resource/images/dib_convert.h"
#include "resource/images/image_loader_manager.h"

namespace bw {
namespace {

// Writes a cached picture into surface, made anew with flags: 8-bit pictures (and 1- and 4-bit
// ones) as indices with their palette when eightBit is set, others as grey; without eightBit,
// 32 bits (a 32-bit picture keeps its alpha, others get alpha 0, as the loaders give them).
// Every row is converted whole, so 32-bit pixels, whose rows have no padding, start unzeroed.
int WriteCached(ImageSurface& surface, const DibImage& dib, int flags, bool eightBit) {
  const int bits = eightBit ? 8 : 32;
  if (dib.width <= 0 || dib.Rows() == 0 || dib.Rows() > INT32_MAX ||
      surface.Create(dib.width, static_cast<int32_t>(dib.Rows()), bits, flags, bits != 32) !=
          kSurfaceDone)
    return kGllNoBuffer;
  surface.SetHasAlpha(dib.bits == 32);

  BitmapInfo info;
  info.header.width = dib.width;
  info.header.height = 1;  // one screen row at a time: the DIB may be either way up
  info.header.bitCount = dib.bits;
  info.header.compression = dib.compression;
  const size_t entries = std::min<size_t>(dib.palette.size(), 256);
  info.header.clrUsed = static_cast<uint32_t>(entries);
  std::copy_n(dib.palette.begin(), entries, info.colors);
  // A picture deeper than 8 bits has no palette to set.
  if (eightBit && dib.bits <= 8 && entries > 0) (void)surface.SetPalette(info.colors, 256, 0);

  auto convert = eightBit         ? ConvertDibRowsTo8
                 : dib.bits == 32 ? ConvertRowsTo32
                                  : ConvertDibRowsTo32;
  if (uint64_t{dib.pitch} * dib.Rows() > dib.pixels.size()) return kGllConvertFailed;
  for (uint32_t y = 0; y < dib.Rows(); ++y) {
    const auto row = static_cast<int32_t>(y);
    DibSource source{&info, dib.Row(y), dib.pitch, static_cast<ptrdiff_t>(dib.pitch), 0, 0};
    if (!convert(surface.GetPixels(), Rect{0, row, dib.width, row + 1}, surface.GetPitch(), source))
      return kGllConvertFailed;
  }
  return kGllDone;
}

int LoadPicture(ImageSurface& surface, const char* name, const uint8_t* data, size_t size,
                int flags, bool eightBit) {
  surface.Release();
  ImageLoaderManager* manager = TheImageLoaderManager::Get();
  if (!manager) return ImageSurface::kLoadNoManager;
  if (!name && !data) return kGllFailed;

  ImageSurface::LoaderContext context;
  context.flags = flags;
  ImageTarget target;
  target.eightBit = eightBit;
  target.destination = [&](int width, int height, int bits, bool hasAlpha, bool wantsPalette) {
    return surface.CreateForLoader(width, height, bits, hasAlpha, wantsPalette, context);
  };
  target.release = [&] { surface.ReleaseForLoader(); };

  ImagePlacement placement;
  int rc;
  DecodedImage* cached = name ? manager->FindCachedImage(name) : nullptr;
  if (cached) {
    rc = WriteCached(surface, cached->GetPicture(), flags, eightBit);
    placement.offsetX = cached->GetOffsetX();
    placement.offsetY = cached->GetOffsetY();
    cached->Release();
  } else if (name) {
    rc = manager->LoadFromFile(name, target, &placement);
  } else {
    rc = manager->LoadFromMemory({data, size}, target, &placement);
  }
  if (rc != kGllDone) {
    surface.Release();
    return rc;
  }
  // A picture deeper than 8 bits has no palette to set.
  if (context.paletteGiven) (void)surface.SetPalette(context.palette.data(), 256, 0);
  surface.SetWord1(placement.offsetX);
  surface.SetWord2(placement.offsetY);
  surface.MarkDirty({0, 0, surface.GetWidth(), surface.GetHeight()});
  return kGllDone;
}

}  // namespace

int ImageSurface::Load(const char* name, const uint8_t* data, size_t size, int flags) {
  return LoadPicture(*this, name, data, size, flags, false);
}

int ImageSurface::Load8(const char* name, const uint8_t* data, size_t size, int flags) {
  return LoadPicture(*this, name, data, size, flags, true);
}

ImageDestination ImageSurface::CreateForLoader(int width, int height, int bits, bool hasAlpha,
                                               bool wantsPalette, LoaderContext& context) {
  context.paletteGiven = false;
  // A loader that succeeds has written every pixel of a 32-bit picture, whose rows have no
  // padding, and one that fails leaves no surface: zeroing them first would be lost work.
  if (Create(width, height, bits, context.flags, bits != 32) != kSurfaceDone) return {};
  SetHasAlpha(hasAlpha);
  ImageDestination destination;
  destination.pixels = {GetPixels(), size_t(GetPitch()) * size_t(GetHeight())};
  destination.pitch = size_t(GetPitch());
  if (wantsPalette) {
    context.palette.fill(0);
    context.paletteGiven = true;
    destination.palette = context.palette.data();
  }
  return destination;
}

int ImageSurface::DrawImageFile(const char* name, const uint8_t* data, size_t size, int32_t x,
                                int32_t y, bool applyPalette) {
  if (!GetPixels()) return kLoadNoPixels;
  const int bits = GetBitsPerPixel();
  ImageSurface picture;
  int rc = bits == 8 ? picture.Load8(name, data, size, 0) : picture.Load(name, data, size, 0);
  if (rc != kGllDone) return rc;
  // A loader may give 32 bits where 8 were asked for (a true-colour bitmap).
  if (picture.GetBitsPerPixel() != bits && picture.ConvertDepth(bits) != kSurfaceDone)
    return kGllConvertFailed;
  // A surface without pixels, or an area that misses it, is left as it is.
  if (applyPalette && bits == 8) (void)CopyPaletteFrom(&picture);
  return Blit(&picture, x, y, nullptr, false);
}

int ImageSurface::SaveImage(const char* name, uint32_t type, int options) {
  if (!GetPixels()) return kLoadNoPixels;
  ImageLoaderManager* manager = TheImageLoaderManager::Get();
  if (!manager) return kLoadNoManager;
  ImageSaveSource source;
  source.mode = options;
  source.pixels = {GetPixels(), size_t(GetPitch()) * size_t(GetHeight())};
  source.width = GetWidth();
  source.height = GetHeight();
  source.bits = GetBitsPerPixel();
  source.pitch = size_t(GetPitch());
  source.palette = GetPalette();
  return manager->SaveImage(name ? name : "", source, type);
}

}  // namespace bw
