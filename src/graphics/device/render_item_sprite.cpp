#include "graphics/device/render_item_sprite.h"

#include <algorithm>
#include <atomic>

#include "graphics/device/back_buffer_surface.h"
#include "graphics/layers/software_surface_layer.h"
#include "graphics/surface/directdraw_image_surface.h"
#include "graphics/surface/movie_frame_surface.h"

namespace bw {
namespace {

constexpr int kDispatchNoTransition = 1;

int NoTransition(int, Surface*, Surface*, int32_t, int32_t, int32_t, int, Surface*) {
  return kDispatchNoTransition;
}

// Installed at start-up (tests swap them), used on the thread that runs the frame; atomic.
std::atomic<TransitionDispatchFn> dispatcher{&NoTransition};
std::atomic<Surface*> transitionScreen{nullptr};

host::DdRect ToDd(const Rect& r) {
  return {r.left, r.top, r.right, r.bottom};
}

}  // namespace

TransitionDispatchFn SetTransitionDispatch(TransitionDispatchFn dispatch) {
  return dispatcher.exchange(dispatch ? dispatch : &NoTransition);
}

int TransitionDispatch(int mode, Surface* first, Surface* second, int32_t progress, int32_t x,
                       int32_t y, int kind, Surface* shared) {
  return dispatcher.load()(mode, first, second, progress, x, y, kind, shared);
}

void SetTransitionScreen(Surface* screen) {
  transitionScreen = screen;
}

host::MemorySurface* DirectDrawSurfaceOf(const Surface* surface) {
  if (!surface) return nullptr;
  if (const auto* image = dynamic_cast<const DirectDrawImageSurface*>(surface)) {
    return image->GetDirectDrawSurface();
  }
  if (const auto* layer = dynamic_cast<const SoftwareSurfaceLayer*>(surface)) {
    return layer->GetDirectDrawSurface();
  }
  if (const auto* frame = dynamic_cast<const MovieFrameSurface*>(surface)) {
    return frame->GetDirectDrawSurface();
  }
  if (const auto* back = dynamic_cast<const BackBufferSurface*>(surface)) {
    return back->GetDirectDrawSurface();
  }
  return nullptr;
}

SpritePrimitive::~SpritePrimitive() {
  if (source_) source_->RemoveUser(this);
}

void SpritePrimitive::DetachSurface(const Surface* surface) {
  if (surface == source_) source_ = nullptr;
}

void SpritePrimitive::Reset() {
  SetSource(nullptr);
  rect_ = {};
  scrollX_ = scrollY_ = x_ = y_ = width_ = height_ = 0;
}

void SpritePrimitive::SetSource(Surface* source) {
  if (source_ == source) return;
  if (source_) source_->RemoveUser(this);
  source_ = source;
  if (source_) source_->AddUser(this);
}

int SpritePrimitive::Init(Surface* source, const Rect* rect, int32_t x, int32_t y) {
  if (!DirectDrawSurfaceOf(source)) return kSpriteNoDirectDraw;
  Reset();
  SetSource(source);
  SetSourceRect(0, 0, rect);
  SetPosition(x, y);
  return 0;
}

void SpritePrimitive::SetSourceRect(int32_t scrollX, int32_t scrollY, const Rect* rect) {
  scrollX_ = scrollX, scrollY_ = scrollY;
  if (!source_) return;
  Rect bounds;
  source_->GetClipRect(&bounds);
  if (bounds.IsEmpty()) source_->GetBounds(&bounds);
  rect_ = bounds;
  if (rect) {
    rect_ = *rect;
    rect_.left = std::max(rect_.left, bounds.left), rect_.top = std::max(rect_.top, bounds.top);
    rect_.right = std::min(rect_.right, bounds.right);
    rect_.bottom = std::min(rect_.bottom, bounds.bottom);
  }
}

void SpritePrimitive::SetSizeAndPosition(int32_t width, int32_t height, int32_t x, int32_t y) {
  SetSize(width, height);
  SetPosition(x, y);
}

bool SpritePrimitive::GetRect(Rect* out) const {
  if (!source_) return false;
  const int32_t w = width_ ? width_ : rect_.Width();
  const int32_t h = height_ ? height_ : rect_.Height();
  *out = {x_, y_, ClampedSum(x_, w), ClampedSum(y_, h)};
  return true;
}

bool SpritePrimitive::PixelHit(int32_t x, int32_t y, bool testPixel) const {
  Rect r;
  if (!GetRect(&r)) return false;
  // Only a picture of kind 0 is tested pixel by pixel.
  DirectDrawImageSurface* picture = source_->GetKind() == kKindDirectDrawImageSurface
                                        ? static_cast<DirectDrawImageSurface*>(source_)
                                        : nullptr;
  return KeyedPixelHit(picture, r, rect_, width_, height_, scrollX_, scrollY_, x, y,
                       testPixel && picture);
}

bool SpritePrimitive::HitTest(int32_t x, int32_t y, bool testPixel) const {
  return PixelHit(x, y, testPixel);
}

int SpritePrimitive::Blit(host::MemorySurface* dest, const Rect* clip) const {
  host::MemorySurface* source = DirectDrawSurfaceOf(source_);
  if (!dest || !clip || !source) return kRenderMissing;
  Rect src = {rect_.left + scrollX_, rect_.top + scrollY_, rect_.right + scrollX_,
              rect_.bottom + scrollY_};
  if ((scrollX_ || scrollY_) && !source_->ClipToClipRect(&src)) return kRenderDone;
  const bool keyed = source_->GetColorKey() != kNoColorKey;
  if (!width_ && !height_) {
    int32_t x = x_, y = y_;
    if (x < clip->left) src.left += clip->left - x, x = clip->left;
    if (y < clip->top) src.top += clip->top - y, y = clip->top;
    src.right = std::min<int64_t>(src.right, int64_t{src.left} + clip->right - x);
    src.bottom = std::min<int64_t>(src.bottom, int64_t{src.top} + clip->bottom - y);
    if (src.IsEmpty()) return kRenderDone;
    const host::DdRect s = ToDd(src);
    return dest->BltFast(x, y, source, &s, keyed ? host::kDdBltFastSrcColorKey : 0) == host::kDdOk
               ? kRenderDone
               : kRenderBindFailed;
  }
  const int32_t w = width_ ? width_ : src.Width(), h = height_ ? height_ : src.Height();
  if (w <= 0 || h <= 0 || src.IsEmpty()) return kRenderDone;
  // Cut the destination to the clip and the source in proportion.
  Rect d{x_, y_, ClampedSum(x_, w), ClampedSum(y_, h)};
  Rect cut{std::max(d.left, clip->left), std::max(d.top, clip->top), std::min(d.right, clip->right),
           std::min(d.bottom, clip->bottom)};
  if (cut.IsEmpty()) return kRenderDone;
  const int64_t sw = src.Width(), sh = src.Height();
  const Rect s{int32_t(src.left + (int64_t{cut.left} - d.left) * sw / w),
               int32_t(src.top + (int64_t{cut.top} - d.top) * sh / h),
               int32_t(src.left + (int64_t{cut.right} - d.left) * sw / w),
               int32_t(src.top + (int64_t{cut.bottom} - d.top) * sh / h)};
  if (s.IsEmpty()) return kRenderDone;
  const host::DdRect dd = ToDd(cut), ss = ToDd(s);
  return dest->Blt(&dd, source, &ss, keyed ? host::kDdBltKeySrc : 0, nullptr) == host::kDdOk
             ? kRenderDone
             : kRenderNoDevice;
}

int SpritePrimitive::Draw(host::MemorySurface* dest, const Rect* clip, Direct3DDevice*) {
  if (!IsEnabled()) return kRenderDone;
  return Blit(dest, clip);
}

int LayerSpritePrimitive::Init(Surface* source, const Rect* rect, int32_t x, int32_t y) {
  if (!source || source->GetKind() != kKindSoftwareSurfaceLayer) return kSpriteNoDirectDraw;
  return SpritePrimitive::Init(source, rect, x, y);
}

int LayerSpritePrimitive::Draw(host::MemorySurface* dest, const Rect* clip,
                               Direct3DDevice* device) {
  if (!IsEnabled()) return kRenderDone;
  // A frame that is not shown is drawn again on the next turn.
  if (auto* layer = dynamic_cast<SoftwareSurfaceLayer*>(source_)) (void)layer->UpdateSurface(true);
  return SpritePrimitive::Draw(dest, clip, device);
}

TransitionPrimitive::~TransitionPrimitive() {
  if (target_) target_->RemoveUser(this);
}

void TransitionPrimitive::DetachSurface(const Surface* surface) {
  if (surface == source_) source_ = nullptr;
  if (surface == target_) target_ = nullptr;
}

void TransitionPrimitive::Watch(Surface** slot, Surface* surface) {
  if (*slot == surface) return;
  if (*slot) (*slot)->RemoveUser(this);
  *slot = surface;
  if (surface) surface->AddUser(this);
}

void TransitionPrimitive::Reset() {
  SpritePrimitive::Reset();
  Watch(&target_, nullptr);
  mode_ = progress_ = param1_ = param2_ = 0;
  ready_ = false;
}

void TransitionPrimitive::SetSource(Surface* drawn) {
  Watch(&source_, drawn);
}

void TransitionPrimitive::SetTarget(Surface* target) {
  Watch(&target_, target);
}

int TransitionPrimitive::Init(Surface* drawn, Surface* target, int mode, int32_t x, int32_t y,
                              int32_t progress, int32_t param1, int32_t param2) {
  if (!DirectDrawSurfaceOf(target)) return kTransitionNoTarget;
  Reset();
  // The dispatcher answers -1 for a mode it does not know; -1 + 1 would read as success.
  if (mode < 0 || mode > kTransitionModeLast) return kTransitionFirstStep;
  SetTarget(target);
  mode_ = mode;
  SetPosition(x, y);
  progress_ = progress;
  ready_ = true;
  if (!drawn) return 0;
  if (!DirectDrawSurfaceOf(drawn)) return kTransitionNoDrawnSurface;
  SetSource(drawn);
  drawn->GetBounds(&rect_);
  param1_ = param1, param2_ = param2;
  return SetProgress(progress) == 0 ? 0 : kTransitionFirstStep;
}

int TransitionPrimitive::SetProgress(int32_t progress) {
  if (!ready_) return kTransitionNotReady;
  if (!source_) {
    progress_ = progress;
    return 0;
  }
  if (source_->GetKind() == kKindDirectDrawImageSurface) {
    auto* image = static_cast<DirectDrawImageSurface*>(source_);
    if (const uint32_t fill = image->GetFillColor(); fill != kNoColorKey) {
      // A surface that cannot be filled keeps its last picture until the next draw.
      (void)image->FillColor(int(fill >> 16 & 0xFF), int(fill >> 8 & 0xFF), int(fill & 0xFF));
    }
  }
  if (int n = TransitionDispatch(mode_, source_, target_, progress, param1_, param2_, 0, nullptr);
      n != 0) {
    return n + 1;
  }
  progress_ = progress;
  return 0;
}

int TransitionPrimitive::Draw(host::MemorySurface* dest, const Rect* clip, Direct3DDevice*) {
  if (!IsEnabled()) return kRenderDone;
  if (source_) return Blit(dest, clip);
  // A target destroyed under the item leaves nothing to draw.
  if (!target_) return kRenderMissing;
  const int n =
      TransitionDispatch(mode_, nullptr, target_, progress_, x_, y_, 0, transitionScreen.load());
  return n == 0 ? kRenderDone : n + 1;
}

int TransitionPrimitive::Restore() {
  if (!DirectDrawSurfaceOf(source_)) return 0;
  return SetProgress(progress_);
}

}  // namespace bw
