#include "graphics/layers/surface_layer.h"

#include <atomic>
#include <new>

#include "graphics/layers/layer.h"

namespace bw {

namespace {
// Set on the main thread at start-up, called on the thread that runs the frame; atomic.
std::atomic<LayerFilterHook> attachHook{nullptr};
std::atomic<LayerFilterHook> detachHook{nullptr};

bool HasBackground(const CompositionLayer* layer) {
  ImageSurface* picture = nullptr;
  layer->GetBackground(&picture, nullptr, nullptr, nullptr, nullptr, nullptr);
  return picture != nullptr;
}
}  // namespace

void SetLayerFilterHooks(LayerFilterHook attach, LayerFilterHook detach) {
  attachHook = attach;
  detachHook = detach;
}

double TextureCoordinate(int32_t index, int32_t textureSize, int32_t contentSize) {
  if (textureSize < 1) return 0;
  if (contentSize > textureSize) {
    const int64_t product = int64_t{textureSize} * index;
    return (double(product) / contentSize + 0.5) / textureSize;
  }
  return (index + 0.5) / textureSize;
}

bool SurfaceLayer::SetComposing(bool on) {
  const bool previous = composing_;
  composing_ = on;
  ImageSurface* picture = GetImage();
  picture->SetActiveDirtyList(on ? nullptr : picture->GetDirtyList());
  return previous;
}

void SurfaceLayer::Invalidate(const Rect* rect) {
  if (composing_ && composition_) {
    composition_->InvalidateRect(rect);
    return;
  }
  ImageSurface* picture = GetImage();
  const Rect whole{0, 0, picture->GetWidth(), picture->GetHeight()};
  if (DirtyRectList* dirty = picture->GetActiveDirtyList()) dirty->Add(rect ? *rect : whole);
  picture->SetChanged(true);
}

void SurfaceLayer::SetHideBackground(bool hide) {
  if (composition_) composition_->SetNoBackground(hide);
}

void SurfaceLayer::SetHideLists(bool own, bool upper) {
  if (!composition_) return;
  composition_->SetSkipOwn(own);
  composition_->SetSkipSecond(upper);
}

void SurfaceLayer::SwapCompositionWith(SurfaceLayer* other) {
  if (!other || !composition_ || !other->composition_) return;
  std::swap(composition_, other->composition_);
  // Each layer keeps its own upper list.
  composition_->SetSecondList(upper_.get());
  other->composition_->SetSecondList(other->upper_.get());
  // A target without pixels leaves the layer unbound, drawing nothing.
  (void)composition_->SetTarget(GetImage(), true);
  (void)other->composition_->SetTarget(other->GetImage(), true);
}

void SurfaceLayer::SwapBackgroundWith(SurfaceLayer* other) {
  if (!other || !composition_ || !other->composition_) return;
  // A picture without pixels leaves the background as it was.
  (void)composition_->SwapBackground(other->composition_.get(), true);
}

DisplayObjectList* SurfaceLayer::AddUpperList() {
  if (!composition_) return nullptr;
  if (!upper_) {
    upper_.reset(new (std::nothrow) DisplayObjectList);
    if (upper_) composition_->SetSecondList(upper_.get());
  }
  return upper_.get();
}

int SurfaceLayer::SetLinkedLayer(SurfaceLayer* layer) {
  if (layer) {
    const ImageSurface* mine = GetImage();
    const ImageSurface* theirs = layer->GetImage();
    if (mine->GetWidth() != theirs->GetWidth() || mine->GetHeight() != theirs->GetHeight() ||
        mine->GetBitsPerPixel() != theirs->GetBitsPerPixel()) {
      return kLinkRefused;
    }
  }
  linked_ = storedLink_ = layer;
  return kLayerDone;
}

host::MemoryDc* SurfaceLayer::GetOutputDc() const {
  return filter_ && backing_ ? backing_->GetDc() : GetImage()->GetDc();
}

int SurfaceLayer::AttachSource(LayerFilter* filter, uint8_t mode, bool applyOnDetach, bool notify) {
  if (!composition_) return kAttachNoComposition;
  if (filter_) StopSource();
  if (!filter) return kLayerDone;
  if (!linked_) return kAttachNoLinkedLayer;
  if (mode != kAttachPlain) {
    if (filter->GetKind() < kFilterTwoLayerLimit) {
      if (!linked_->composition_) return kAttachLinkedNotComposed;
      if (mode == kAttachExchangeBackgrounds &&
          (!HasBackground(composition_.get()) || !HasBackground(linked_->composition_.get()))) {
        return kAttachNoBackground;
      }
    } else if (mode == kAttachExchangeBackgrounds && !HasBackground(composition_.get())) {
      return kAttachNoBackground;
    }
    if (mode == kAttachExchangeObjects && upper_ && !upper_->IsEmpty()) {
      // A layer without a target has nothing to redraw.
      (void)composition_->InvalidateAll();
    }
  }
  if (!backing_) {
    const ImageSurface* picture = GetImage();
    auto backing = std::unique_ptr<ImageSurface>(new (std::nothrow) ImageSurface);
    if (!backing || backing->Create(picture->GetWidth(), picture->GetHeight(),
                                    picture->GetBitsPerPixel(), kImageDibSection) != kSurfaceDone) {
      return kAttachNoBackingImage;
    }
    backing_ = std::move(backing);
  }
  if (notify) {
    if (LayerFilterHook hook = attachHook) hook();
  }
  attachMode_ = mode;
  applyOnDetach_ = applyOnDetach;
  notify_ = notify;
  filter_ = filter;
  return kLayerDone;
}

void SurfaceLayer::DetachSource(bool apply) {
  if (!filter_) return;
  ReleaseFilter(filter_);
  filter_ = nullptr;
  if (notify_) {
    if (LayerFilterHook hook = detachHook) hook();
  }
  if (apply && linked_) {
    if (attachMode_ == kAttachExchangeObjects) SwapCompositionWith(linked_);
    if (attachMode_ == kAttachExchangeBackgrounds) SwapBackgroundWith(linked_);
  }
  if (attachMode_ == kAttachPlain) return;
  ImageSurface* picture = GetImage();
  const Rect whole{0, 0, picture->GetWidth(), picture->GetHeight()};
  if (composition_) composition_->InvalidateRect(nullptr);
  if (!composition_ || !composing_) {
    if (DirtyRectList* dirty = picture->GetActiveDirtyList()) dirty->Add(whole);
    picture->SetChanged(true);
  }
}

void SurfaceLayer::Release() {
  DetachSource(false);
  composition_.reset();
  upper_.reset();
  backing_.reset();
  composing_ = false;
  ImageSurface* picture = GetImage();
  picture->SetActiveDirtyList(picture->GetDirtyList());
}

int SurfaceLayer::Compose(int options) {
  composition_.reset(new (std::nothrow) CompositionLayer);
  if (!composition_) return kLayerNoMemory;
  if (options == kLayerComposedWithUpperList) {
    upper_.reset(new (std::nothrow) DisplayObjectList);
    if (!upper_) return kLayerNoMemory;
    composition_->SetSecondList(upper_.get());
  }
  if (composition_->SetTarget(GetImage(), true) != kComposeDone) return kLayerTargetRefused;
  SetComposing(true);
  return kLayerDone;
}

int SurfaceLayer::Create(int32_t width, int32_t height, int depth, bool compose) {
  Release();
  ImageSurface* picture = GetImage();
  if (picture->Create(width, height, depth, kImagePlain) != kSurfaceDone) return kLayerNoPicture;
  if (compose) {
    if (int code = Compose(kLayerComposed); code != kLayerDone) {
      Release();
      picture->Release();
      return code;
    }
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)picture->Fill(0, nullptr);
  return kLayerDone;
}

int SurfaceLayer::CreateWithDc(int32_t width, int32_t height, int depth, int options) {
  Release();
  ImageSurface* picture = GetImage();
  if (options < kLayerPlain || options > kLayerComposedWithUpperList) return kLayerOtherFailure;
  if (picture->Create(width, height, depth, kImageDibSection | kImageDirtyList) != kSurfaceDone) {
    return kLayerNoPicture;
  }
  if (options != kLayerPlain) {
    if (int code = Compose(options); code != kLayerDone) {
      Release();
      picture->Release();
      return code;
    }
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)picture->Fill(0, nullptr);
  return kLayerDone;
}

}  // namespace bw
