// The base of the layers whose picture is an in-memory image that a composition layer can
// compose from display objects.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/surface/composition_layer.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/image_surface.h"

namespace bw {

// Creation results.
constexpr int kLayerDone = 0;
constexpr int kLayerNoPicture = 1;
constexpr int kLayerNoMemory = 2;
constexpr int kLayerTargetRefused = 3;
constexpr int kLayerOtherFailure = 4;
constexpr int kLinkRefused = 1;

// CreateWithDc options.
constexpr int kLayerPlain = 0;
constexpr int kLayerComposed = 1;
constexpr int kLayerComposedWithUpperList = 2;

class SurfaceLayer {
 public:
  SurfaceLayer() = default;
  SurfaceLayer(const SurfaceLayer&) = delete;
  SurfaceLayer& operator=(const SurfaceLayer&) = delete;
  // The concrete class calls Release while its picture still exists.
  virtual ~SurfaceLayer() = default;

  virtual int GetKind() const = 0;
  virtual ImageSurface* GetImage() = 0;
  virtual const ImageSurface* GetImage() const = 0;
  virtual CompositionLayer* GetCompositionLayer() const { return composition_.get(); }
  virtual DisplayObjectList* GetUpperList() const { return upper_.get(); }
  virtual SurfaceLayer* GetLinkedLayer() const { return linked_; }
  virtual ImageSurface* GetBackingImage() const { return backing_.get(); }
  virtual int GetDepth() const { return GetImage()->GetBitsPerPixel(); }
  virtual bool IsComposing() const { return composing_; }
  virtual bool SetComposing(bool on);
  virtual void Invalidate(const Rect* rect);
  virtual void SetHideBackground(bool hide);
  virtual void SetHideLists(bool own, bool upper);
  virtual int Recreate(int depth) = 0;
  virtual void SwapCompositionWith(SurfaceLayer* other);
  virtual void SwapBackgroundWith(SurfaceLayer* other);
  virtual void DropBackingImage() { backing_.reset(); }
  virtual int SetLinkedLayer(SurfaceLayer* layer);

  int Create(int32_t width, int32_t height, int depth, bool compose);
  int CreateWithDc(int32_t width, int32_t height, int depth, int options);
  void Release();

 protected:
  int Compose(int options);

  std::unique_ptr<CompositionLayer> composition_;
  std::unique_ptr<DisplayObjectList> upper_;
  bool composing_ = false;
  SurfaceLayer* linked_ = nullptr;
  std::unique_ptr<ImageSurface> backing_;
};

}  // namespace bw
