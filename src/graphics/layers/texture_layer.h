// The layer of the Direct3D path: an in-memory picture composed like every surface layer, plus
// a texture (possibly larger, possibly with alpha) that the layer's Direct3D sprite draws. The
// texture is refreshed from the picture the way the software layer refreshes its surface.
#pragma once

#include <cstdint>

#include "graphics/layers/layer.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/directdraw_image_surface.h"
#include "graphics/surface/image_surface.h"

namespace bw {

class Direct3DDevice;

// CreateTexture results.
constexpr int kLayerTextureNoDevice = 1;
constexpr int kLayerTextureNoFormat = 2;
constexpr int kLayerTextureTooLarge = 3;
constexpr int kLayerTextureCreateFailed = 4;
// Create results.
constexpr int kTextureLayerNoDevice = 1;
constexpr int kTextureLayerNoTexture = 2;
constexpr int kTextureLayerNoPicture = 3;
constexpr int kTextureLayerNoMemory = 4;
constexpr int kTextureLayerTargetRefused = 5;
constexpr int kTextureLayerOtherFailure = 6;

class TextureLayer : public DirectDrawImageSurface, public SurfaceLayer, public Layer {
 public:
  // A device given here becomes the process-wide Direct3D device.
  explicit TextureLayer(Direct3DDevice* device = nullptr);
  ~TextureLayer() override;

  int GetKind() const override { return kKindTextureLayer; }
  ImageSurface* GetImage() override { return &picture_; }
  const ImageSurface* GetImage() const override { return &picture_; }
  uint8_t* GetPixels() const override { return picture_.GetPixels(); }
  uint8_t* GetRowPointer(int32_t y) const override { return picture_.GetRowPointer(y); }

  [[nodiscard]] int Create(int formatCode, int32_t width, int32_t height, int depth, int options,
                           bool systemMemory);
  [[nodiscard]] int CreateTexture(int formatCode, int32_t width, int32_t height, bool systemMemory);
  [[nodiscard]] int UpdateTexture(bool dirtyOnly) { return UpdateDirectDraw(*this, dirtyOnly); }
  void Reset();
  [[nodiscard]] int Recreate(int depth) override;
  [[nodiscard]] int Restore(int onlyIfLost) override;

  int32_t GetWidth() const override { return DirectDrawImageSurface::GetWidth(); }
  int32_t GetHeight() const override { return DirectDrawImageSurface::GetHeight(); }
  [[nodiscard]] int SetColorKeyRgb(int r, int g, int b) override;
  // The key is the picture's colour at the point, set by RGB.
  [[nodiscard]] int SetColorKeyFromPixel(int32_t x, int32_t y) override;
  int64_t GetSurfaceColorKey() const override;
  [[nodiscard]] int ClearColorKey() override { return DirectDrawImageSurface::ClearColorKey(); }
  host::MemorySurface* GetDirectDrawSurface() const override {
    return DirectDrawImageSurface::GetDirectDrawSurface();
  }
  int GetPixelFormatCode() const override { return GetFormatCode(); }
  int32_t GetContentWidth() const override { return picture_.GetWidth(); }
  int32_t GetContentHeight() const override { return picture_.GetHeight(); }
  float GetTexU(int32_t x) const override;
  float GetTexV(int32_t y) const override;

 private:
  [[nodiscard]] int Build(int formatCode, int32_t width, int32_t height, int depth, int options,
                          bool systemMemory);

  ImageSurface picture_;
  int keptFormat_ = 0;
  bool keptSystemMemory_ = false;
};

}  // namespace bw
