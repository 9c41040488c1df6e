// The base of the layers whose picture is a DirectDraw texture: the Layer view routed to the
// DirectDraw picture, and the size of the content the texture shows (a texture can be larger,
// or smaller when the content was scaled down into it).
#pragma once

#include <cstdint>

#include "graphics/layers/layer.h"
#include "graphics/surface/directdraw_image_surface.h"

namespace bw {

class DirectDrawLayer : public DirectDrawImageSurface, public Layer {
 public:
  int32_t GetWidth() const override { return DirectDrawImageSurface::GetWidth(); }
  int32_t GetHeight() const override { return DirectDrawImageSurface::GetHeight(); }
  [[nodiscard]] int SetColorKeyRgb(int r, int g, int b) override {
    return DirectDrawImageSurface::SetColorKeyRgb(r, g, b);
  }
  [[nodiscard]] int SetColorKeyFromPixel(int32_t x, int32_t y) override {
    return DirectDrawImageSurface::SetColorKeyFromPixel(x, y);
  }
  int64_t GetSurfaceColorKey() const override;
  [[nodiscard]] int ClearColorKey() override { return DirectDrawImageSurface::ClearColorKey(); }
  host::MemorySurface* GetDirectDrawSurface() const override {
    return DirectDrawImageSurface::GetDirectDrawSurface();
  }
  int32_t GetContentWidth() const override { return contentWidth_; }
  int32_t GetContentHeight() const override { return contentHeight_; }
  float GetTexU(int32_t x) const override;
  float GetTexV(int32_t y) const override;

 protected:
  void SetContentSize(int32_t width, int32_t height) {
    contentWidth_ = width, contentHeight_ = height;
  }

 private:
  int32_t contentWidth_ = 0;
  int32_t contentHeight_ = 0;
};

}  // namespace bw
