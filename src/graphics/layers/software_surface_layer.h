// The layer of the DirectDraw path: an in-memory picture composed like every surface layer,
// plus an offscreen DirectDraw surface of the same size that the layer sprite blits. Once per
// frame the surface is brought up to date from the picture, by the composition layer, or band
// by band by an attached filter.
#pragma once

#include <cstdint>

#include "graphics/layers/surface_layer.h"
#include "graphics/surface/directdraw_image_surface.h"
#include "graphics/surface/image_surface.h"

namespace bw {

class DirectDrawDevice;

// Create results.
constexpr int kSoftLayerNoDevice = 1;
constexpr int kSoftLayerNoSurface = 2;
constexpr int kSoftLayerNoPicture = 3;
constexpr int kSoftLayerNoMemory = 4;
constexpr int kSoftLayerTargetRefused = 5;
constexpr int kSoftLayerOtherFailure = 6;
// CreateDdSurface results.
constexpr int kDdSurfaceNoDirectDraw = 1;
constexpr int kDdSurfaceCreateFailed = 2;
// Recreate results.
constexpr int kRecreateNoSurface = 1;
constexpr int kRecreateFailed = 2;
// Restore results.
constexpr int kLayerRestoreSurface = 1;
constexpr int kLayerRestoreUpdate = 2;
constexpr int kLayerRestoreKey = 3;
// Colour-key results.
constexpr int kLayerKeyNoSurface = 1;
constexpr int kLayerKeyNoFormat = 2;
constexpr int kLayerKeyRefused = 3;

// Pictures of the layers are made with a device context (set at start-up).
void SetLayerDcImages(bool on);
bool LayerDcImages();
// The colour of a point inside the picture as r << 16 | g << 8 | b (8-bit through the palette).
uint32_t PictureRgb(const ImageSurface& picture, int32_t x, int32_t y);

class SoftwareSurfaceLayer : public ImageSurface, public SurfaceLayer {
 public:
  // A device given here becomes the process-wide DirectDraw device.
  explicit SoftwareSurfaceLayer(DirectDrawDevice* device = nullptr);
  ~SoftwareSurfaceLayer() override;

  int GetKind() const override { return kKindSoftwareSurfaceLayer; }
  ImageSurface* GetImage() override { return this; }
  const ImageSurface* GetImage() const override { return this; }

  [[nodiscard]] int Create(int32_t width, int32_t height, int depth, int options);
  [[nodiscard]] int CreateDdSurface(int32_t width, int32_t height);
  [[nodiscard]] int UpdateSurface(bool dirtyOnly);
  void Reset();
  [[nodiscard]] int Recreate(int depth) override;

  [[nodiscard]] int SetColorKeyRgb(int r, int g, int b) override;
  [[nodiscard]] int SetColorKeyFromPixel(int32_t x, int32_t y) override;
  [[nodiscard]] int ClearColorKey() override;
  [[nodiscard]] int Restore(int onlyIfLost) override;

  host::MemorySurface* GetDirectDrawSurface() const { return surface_.GetDirectDrawSurface(); }
  int GetPixelFormatCode() const { return surface_.GetFormatCode(); }
  // The key in the DirectDraw surface's format.
  uint32_t GetSurfaceColorKey() const { return surface_.GetColorKey(); }

 private:
  [[nodiscard]] int Build(int32_t width, int32_t height, int depth, int options);

  DirectDrawImageSurface surface_;
};

}  // namespace bw
