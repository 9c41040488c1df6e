#include "resource/images/builtin_loaders.h"

#include "resource/images/decoded_image.h"
#include "resource/images/image_loader_manager.h"

namespace bw {

bool BmpImageLoader::IsSupported(std::span<const uint8_t> data, const char*) {
  return BmpLoader::IsSupported(data);
}

int BmpImageLoader::Load(std::span<const uint8_t> data, const ImageDestinationFn& destination,
                         bool eightBit, const ImageProgress& progress) {
  if (!destination) return kGllNoBuffer;
  // The rows are converted into the destination straight from the file's bytes.
  DibImage dib;
  std::span<const uint8_t> rows;
  if (int rc = BmpLoader::LoadRows(data, dib, rows, progress)) return rc;
  palette_.clear();
  picture_.offsetX = picture_.offsetY = 0;
  return WriteDibToDestination(dib, rows, destination, eightBit);
}

int BmpImageLoader::LoadToBuffers(std::span<const uint8_t> data, const ImageProgress& progress) {
  FreeBuffers();
  DibImage dib;
  if (int rc = BmpLoader::LoadToBuffers(data, dib, progress)) return rc;
  KeepPicture(std::move(dib));
  return kGllDone;
}

int BmpImageLoader::Save(const ImageSaveSource& source, const ImageWriteFn& write,
                         const ImageProgress& progress) {
  return BmpLoader::Save(source.mode, source.pixels, source.width, source.height, source.bits,
                         source.pitch, write, source.palette, progress);
}

bool WgxImageLoader::IsSupported(std::span<const uint8_t> data, const char*) {
  return WgxLoader::IsSupported(data);
}

int WgxImageLoader::Load(std::span<const uint8_t> data, const ImageDestinationFn& destination,
                         bool eightBit, const ImageProgress& progress) {
  int rc = wgx_.Load(data, destination, eightBit, progress);
  picture_.offsetX = wgx_.GetOffsetX();
  picture_.offsetY = wgx_.GetOffsetY();
  palette_ = wgx_.GetPalette(true);
  return rc;
}

int WgxImageLoader::LoadToBuffers(std::span<const uint8_t> data, const ImageProgress& progress) {
  FreeBuffers();
  DibImage dib;
  int rc = wgx_.LoadToBuffers(data, dib, progress);
  palette_ = wgx_.GetPalette(true);
  if (rc) return rc;
  KeepPicture(std::move(dib));
  return kGllDone;
}

// The manager refuses only a missing loader.
void RegisterBuiltinLoaders(ImageLoaderManager& manager) {
  (void)manager.AddLoader(std::make_unique<BmpImageLoader>(), "BMP\0", "Bitmap format",
                          kBitmapLoaderType, nullptr, nullptr, nullptr);
  (void)manager.AddLoader(std::make_unique<WgxImageLoader>(), "WGX\0", "WGX format", kWgxLoaderType,
                          nullptr, nullptr, nullptr);
}

}  // namespace bw
