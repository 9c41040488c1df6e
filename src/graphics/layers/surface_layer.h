// The base of the layers whose picture is an in-memory image that a composition layer can
// compose from display objects.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "graphics/layers/layer_filter.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/image_surface.h"

namespace bw {

class DirectDrawImageSurface;

// Creation results.
constexpr int kLayerDone = 0;
constexpr int kLayerNoPicture = 1;
constexpr int kLayerNoMemory = 2;
constexpr int kLayerTargetRefused = 3;
constexpr int kLayerOtherFailure = 4;
constexpr int kLinkRefused = 1;

// Results of bringing a layer's DirectDraw surface up to date.
constexpr int kUpdateDone = 0;
constexpr int kUpdateNothing = -1;
constexpr int kUpdateNoSurface = 1;
constexpr int kUpdateNoAccess = 2;  // lock or device context refused
constexpr int kUpdateNotReleased = 3;
constexpr int kFilterNoAccess = 1;

// AttachSource results and modes.
constexpr int kAttachNoComposition = 1;
constexpr int kAttachNoLinkedLayer = 2;
constexpr int kAttachLinkedNotComposed = 3;
constexpr int kAttachNoBackingImage = 3;
constexpr int kAttachNoBackground = 4;
constexpr uint8_t kAttachPlain = 0;
constexpr uint8_t kAttachExchangeObjects = 1;
constexpr uint8_t kAttachExchangeBackgrounds = 2;

// The application's hooks around a running filter (set at start-up; null = none).
using LayerFilterHook = void (*)();
void SetLayerFilterHooks(LayerFilterHook attach, LayerFilterHook detach);

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
  // Gives a composed layer made without one its upper list (null when not composed).
  DisplayObjectList* AddUpperList();
  virtual SurfaceLayer* GetLinkedLayer() const { return linked_; }
  virtual ImageSurface* GetBackingImage() const { return backing_.get(); }
  virtual int GetDepth() const { return GetImage()->GetBitsPerPixel(); }
  virtual bool IsComposing() const { return composing_; }
  virtual bool SetComposing(bool on);
  virtual void Invalidate(const Rect* rect);
  virtual void SetHideBackground(bool hide);
  virtual void SetHideLists(bool own, bool upper);
  [[nodiscard]] virtual int Recreate(int depth) = 0;
  virtual void SwapCompositionWith(SurfaceLayer* other);
  virtual void SwapBackgroundWith(SurfaceLayer* other);
  virtual void DropBackingImage() { backing_.reset(); }
  [[nodiscard]] virtual int SetLinkedLayer(SurfaceLayer* layer);
  // Off: the layer acts as if unlinked; on: the layer set last is its link again.
  void EnableLink(bool on) { linked_ = on ? storedLink_ : nullptr; }
  virtual host::MemoryDc* GetOutputDc() const;
  virtual bool HasSource() const { return filter_ != nullptr; }
  virtual LayerFilter* GetSource() const { return filter_; }
  virtual bool GetApplyOnDetach() const { return applyOnDetach_; }
  [[nodiscard]] virtual int AttachSource(LayerFilter* filter, uint8_t mode, bool applyOnDetach,
                                         bool notify);
  virtual void DetachSource(bool apply);
  // Ends the filter before its end, as a script's stop or a skip does (applied as attached): the
  // frame last shown stays in the backing picture, as when the filter ends by itself.
  void StopSource();

  [[nodiscard]] int Create(int32_t width, int32_t height, int depth, bool compose);
  [[nodiscard]] int CreateWithDc(int32_t width, int32_t height, int depth, int options);
  void Release();

 protected:
  [[nodiscard]] int Compose(int options);
  // Brings a DirectDraw surface of the picture's size (or larger) up to date: through the
  // running filter, the composition layer, or the picture's dirty rectangles. 0 done, -1
  // nothing to do, 2 no access, 3 device context not released.
  [[nodiscard]] int UpdateDirectDraw(DirectDrawImageSurface& target, bool dirtyOnly);

  // One frame of the attached filter in three steps: the clock update (non-zero: finished and
  // detached), the bands drawn, each handed to sink at once with the picture it was drawn into,
  // and the end (1 when the filter is done and was detached). A band goes into the backing
  // picture, or straight into direct (the layer's size, 32 bits) when given and the filter
  // writes the whole band: the destination then needs no copy of it.
  using BandSink = std::function<void(const ImageSurface& drawn, const Rect& band)>;
  [[nodiscard]] int StartFilterFrame();
  void DrawFilterFrame(const BandSink& sink, ImageSurface* direct = nullptr);
  [[nodiscard]] int EndFilterFrame();
  // A filter that ends with this frame leaves the frame drawn into direct in the backing picture
  // too, as though drawn there: a later filter that leaves pixels alone shows what it holds.
  void KeepFinalFrame(const ImageSurface& direct);

 private:
  [[nodiscard]] int RunFilter(DirectDrawImageSurface& target);

 protected:
  std::unique_ptr<CompositionLayer> composition_;
  std::unique_ptr<DisplayObjectList> upper_;
  bool composing_ = false;
  SurfaceLayer* linked_ = nullptr;
  SurfaceLayer* storedLink_ = nullptr;
  std::unique_ptr<ImageSurface> backing_;
  LayerFilter* filter_ = nullptr;
  uint8_t attachMode_ = kAttachPlain;
  bool applyOnDetach_ = false;
  bool notify_ = false;
  bool backingBehind_ = false;  // the last frame went straight to its destination
  // The objects drawn over the filter's frame, gathered for its bands (kept for the memory).
  std::vector<std::pair<DisplayObject*, Rect>> overFilter_;
};

}  // namespace bw
