// A filled rectangle drawn over a composition layer: blended, added or subtracted.
#pragma once

#include <cstdint>

#include "graphics/surface/display_object.h"

namespace bw {

class ColorRectObject : public PlacedDisplayObject {
 public:
  [[nodiscard]] int Create(int32_t width, int32_t height, uint32_t argb, int32_t x, int32_t y);
  bool SetRgb(uint32_t color);
  bool SetArgb(uint32_t argb);
  bool Resize(int32_t width, int32_t height);
  bool SetPosAndSize(int32_t width, int32_t height, int32_t x, int32_t y);
  uint32_t GetRgb() const { return rgb_; }

  int32_t GetWidth() const override { return ShownWidth(); }
  int32_t GetHeight() const override { return ShownHeight(); }
  bool IsColorRect() const override { return true; }
  [[nodiscard]] int SetDrawMode(int mode) override;
  [[nodiscard]] int SetZoom(int32_t width, int32_t height) override;
  bool SetZoomAndPos(int32_t width, int32_t height, int32_t x, int32_t y) override;
  bool Refresh(const Rect* rect) override;
  bool HitTest(int32_t x, int32_t y, bool testPixel) const override;
  [[nodiscard]] int DrawOver(ImageSurface* target) override;
  [[nodiscard]] int DrawInto(ImageSurface* target, Rect* out) override;
  [[nodiscard]] int Draw(ImageSurface* target, const Rect& clip) override;
  virtual void Reset();

 private:
  int32_t ShownWidth() const { return zoomWidth_ ? zoomWidth_ : width_; }
  int32_t ShownHeight() const { return zoomHeight_ ? zoomHeight_ : height_; }
  void UpdatePlaced() override;
  [[nodiscard]] int DrawRect(ImageSurface* target, const Rect& area);

  uint32_t rgb_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t zoomWidth_ = 0;
  int32_t zoomHeight_ = 0;
};

}  // namespace bw
