// The built-in loaders as the image-loader manager sees them: "Bitmap format" (BMP, the only
// one that can save) and "WGX format".
#pragma once

#include <cstdint>

#include "resource/images/bmp_loader.h"
#include "resource/images/image_loader.h"
#include "resource/images/wgx_loader.h"

namespace bw {

constexpr uint32_t kBitmapLoaderType = 1;
constexpr uint32_t kWgxLoaderType = 2;

class BmpImageLoader final : public ImageLoader {
 public:
  bool IsSupported(std::span<const uint8_t> data, const char* name) override;
  // 8-bit indices with the palette for an 8-bit picture when eightBit is set, else 32 bits.
  [[nodiscard]] int Load(std::span<const uint8_t> data, const ImageDestinationFn& destination,
                         bool eightBit, const ImageProgress& progress) override;
  [[nodiscard]] int LoadToBuffers(std::span<const uint8_t> data,
                                  const ImageProgress& progress) override;
  [[nodiscard]] int Save(const ImageSaveSource& source, const ImageWriteFn& write,
                         const ImageProgress& progress) override;
  bool CanSave() const override { return true; }
};

class WgxImageLoader final : public ImageLoader {
 public:
  bool IsSupported(std::span<const uint8_t> data, const char* name) override;
  // eightBit asks for grey output: 8-bit pictures keep their indices and palette.
  [[nodiscard]] int Load(std::span<const uint8_t> data, const ImageDestinationFn& destination,
                         bool eightBit, const ImageProgress& progress) override;
  [[nodiscard]] int LoadToBuffers(std::span<const uint8_t> data,
                                  const ImageProgress& progress) override;

 private:
  WgxLoader wgx_;
};

class ImageLoaderManager;
// Adds "Bitmap format" (extension BMP) and "WGX format" (extension WGX).
void RegisterBuiltinLoaders(ImageLoaderManager& manager);

}  // namespace bw
