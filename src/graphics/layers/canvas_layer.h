// The canvas (a picture with a device context that holds the composed screen) and the
// offscreen layer (plain memory): each one object that is both a surface and a surface layer.
#pragma once

#include <cstdint>

#include "graphics/layers/surface_layer.h"
#include "graphics/surface/image_surface.h"
#include "host/messages.h"

namespace bw::host {
class MemoryDc;
class MemorySurface;
}  // namespace bw::host

namespace bw {

// PresentFrame results.
constexpr int kPresentDone = 0;
constexpr int kPresentNoDc = 1;
constexpr int kPresentLockFailed = 2;
constexpr int kPresentNothingChanged = -1;
// AttachSource of the offscreen layer: no filter can be attached.
constexpr int kOffscreenNoFilter = -1;
// SetDepth results.
constexpr int kDepthNoPixels = 1;
constexpr int kDepthCreateFailed = 2;

class CanvasLayer : public ImageSurface, public SurfaceLayer {
 public:
  CanvasLayer() = default;
  ~CanvasLayer() override;

  int GetKind() const override { return kKindCanvasLayer; }
  ImageSurface* GetImage() override { return this; }
  const ImageSurface* GetImage() const override { return this; }
  [[nodiscard]] int Recreate(int depth) override { return SetDepth(depth); }

  [[nodiscard]] int Create(int32_t width, int32_t height, int depth, int options) {
    return CreateWithDc(width, height, depth, options);
  }
  [[nodiscard]] int SetDepth(int bits);
  // Copies the canvas (only what changed, when asked) to the window, a device context or a
  // locked DirectDraw surface; formatFlag 0 reads the surface's own format. While a filter is
  // attached the filter draws the whole frame at the current time instead. drawn, when given,
  // receives what changed in the device context (a surface is told itself). The context is
  // read, to leave alone what it holds already, unless a filter draws: that writes every pixel.
  [[nodiscard]] int PresentFrame(host::HWND window, host::MemoryDc* dc,
                                 host::MemorySurface* surface, int formatFlag, bool onlyChanged,
                                 DirtyRectList* drawn = nullptr);
  // The whole canvas is copied by the next frame.
  void RedrawAll();

 private:
  // The frame drawn band by band by the attached filter straight into the destination.
  [[nodiscard]] int PresentFiltered(host::HWND window, host::MemoryDc* dc,
                                    host::MemorySurface* surface, int formatFlag,
                                    DirtyRectList* drawn);

  int options_ = kLayerPlain;
};

class OffscreenLayer : public ImageSurface, public SurfaceLayer {
 public:
  OffscreenLayer() = default;
  ~OffscreenLayer() override;

  int GetKind() const override { return kKindOffscreenLayer; }
  ImageSurface* GetImage() override { return this; }
  const ImageSurface* GetImage() const override { return this; }
  [[nodiscard]] int Recreate(int depth) override;

  [[nodiscard]] int Create(int32_t width, int32_t height, int depth, bool compose) {
    return SurfaceLayer::Create(width, height, depth, compose);
  }

  // Only the flag: the picture's dirty list is left as it is.
  bool SetComposing(bool on) override;
  // Reaches the composition layer while composing; nothing otherwise.
  void Invalidate(const Rect* rect) override;
  [[nodiscard]] int AttachSource(LayerFilter*, uint8_t, bool, bool) override {
    return kOffscreenNoFilter;
  }
};

}  // namespace bw
