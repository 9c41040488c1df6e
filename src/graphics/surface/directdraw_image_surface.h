// A picture kept in DirectDraw memory (video, system memory or a texture). It hands out no
// pixel pointer: everything that touches its pixels locks the DirectDraw surface. It remembers
// what it needs to make itself again after a loss: the picture's name, the fill colour and the
// colour key. A picture loaded from memory without a name comes back blank.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "graphics/surface/surface.h"
#include "host/surface/memory_surface.h"

namespace bw {

class ImageSurface;
struct DibImage;

// Results of Create (also of Restore when the surface cannot be made again).
constexpr int kDdsNoDevice = 1;  // also a size below 1, or a texture without a format
constexpr int kDdsNoDirectDraw = 2;
constexpr int kDdsCreateFailed = 3;
constexpr int kDdsDescFailed = 4;
// Results of Load beyond Create's.
constexpr int kDdsNoPicture = 5;    // nothing to decode, or a name without data
constexpr int kDdsBadPicture = 6;   // the decoder refused the data
constexpr int kDdsWriteFailed = 7;  // the surface could not be locked or written
// Results of Restore after the surface is back.
constexpr int kDdsRestoreRgbKey = 5;
constexpr int kDdsRestorePixelKey = 6;
// Results of CopyFromImage and FillColor.
constexpr int kDdsNoSurface = 1;
constexpr int kDdsLockFailed = 2;
// Results of the colour-key setters.
constexpr int kDdsKeyNoFormat = 2;
constexpr int kDdsKeyRefused = 3;
constexpr int kDdsKeyPixelRefused = 2;

// Reads a picture file's bytes by its name; 0 done. Without a reader (the default) pictures by
// name come through the image manager and its cache.
using PictureReader = int (*)(const std::string& name, std::vector<uint8_t>* bytes);
PictureReader SetPictureReader(PictureReader reader);

class DirectDrawImageSurface : public SurfaceBase {
 public:
  DirectDrawImageSurface() = default;
  ~DirectDrawImageSurface() override;
  DirectDrawImageSurface(const DirectDrawImageSurface&) = delete;
  DirectDrawImageSurface& operator=(const DirectDrawImageSurface&) = delete;

  int GetKind() const override { return kKindDirectDrawImageSurface; }
  uint8_t* GetPixels() const override { return nullptr; }
  uint8_t* GetRowPointer(int32_t) const override { return nullptr; }
  [[nodiscard]] int SetColorKeyRgb(int r, int g, int b) override;
  [[nodiscard]] int SetColorKeyFromPixel(int32_t x, int32_t y) override;
  // The key in the surface's own format.
  uint32_t GetColorKey() const override { return rawKey_; }
  [[nodiscard]] int ClearColorKey() override;
  [[nodiscard]] int Restore(int check) override;

  // Through the process-wide display device (Global<DirectDrawDevice>).
  [[nodiscard]] int Create(int32_t width, int32_t height, bool systemMemory, bool texture,
                           const host::DdPixelFormat* format);
  // Decodes a WGX or BMP picture from data, or read by its name when data is empty, and writes
  // it in; the name is kept for Restore.
  [[nodiscard]] int Load(const char* name, std::span<const uint8_t> data, int flags);
  [[nodiscard]] int CopyFromImage(const ImageSurface* source, int32_t x, int32_t y,
                                  const Rect* sourceRect, host::DdSurfaceDesc* locked);
  [[nodiscard]] int FillColor(int r, int g, int b);
  // The raw pixel in the surface's format; kNoColorKey outside or when the lock fails.
  uint32_t GetPixel(int32_t x, int32_t y);
  void Release();

  host::MemorySurface* GetDirectDrawSurface() const { return surface_.get(); }
  int GetFormatCode() const { return formatCode_; }
  // The colour of the last FillColor as r << 16 | g << 8 | b, kNoColorKey when none.
  uint32_t GetFillColor() const { return fillColor_; }
  bool InVideoMemory() const { return inVideoMemory_; }
  // The RGB key as r << 16 | g << 8 | b, kNoColorKey when none.
  uint32_t GetColorKeyRgb() const { return colorKey_; }

 protected:
  // Converts a decoded picture into the surface from its top-left corner.
  [[nodiscard]] int WritePixels(const DibImage& picture);
  // The pixel the key was taken from; x is -1 when the key was not taken from a pixel.
  int32_t GetKeyPixelX() const { return keyX_; }
  int32_t GetKeyPixelY() const { return keyY_; }
  // The key as it is remembered, to be set again once the surface is made again: 0, or
  // kDdsRestoreRgbKey / kDdsRestorePixelKey when it cannot be.
  struct KeptKey {
    uint32_t rgb;
    int32_t x, y;
  };
  KeptKey GetKeptKey() const { return {colorKey_, keyX_, keyY_}; }
  [[nodiscard]] int SetKeptKey(const KeptKey& key);

 private:
  [[nodiscard]] int Remake();

  std::unique_ptr<host::MemorySurface> surface_;
  std::string name_;
  int formatCode_ = 0;
  int32_t keyX_ = -1;
  int32_t keyY_ = -1;
  uint32_t rawKey_ = kNoColorKey;
  uint32_t fillColor_ = kNoColorKey;
  bool systemMemory_ = false;
  bool texture_ = false;
  std::optional<host::DdPixelFormat> format_;
  bool inVideoMemory_ = false;
};

}  // namespace bw
