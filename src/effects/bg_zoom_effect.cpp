#include "effects/bg_zoom_effect.h"

#include <new>

#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"

namespace bw {

namespace {

// One axis of the view: size = extent / zoom, centred on at and kept inside the extent.
void ZoomAxis(int32_t extent, int32_t at, double zoom, int32_t* first, int32_t* size) {
  int32_t n = static_cast<int32_t>(extent / zoom);
  int32_t start = at - (n >> 1);
  if (start < 0) {
    start = 0;
    if (n > extent) n = extent;
  }
  if (int64_t{start} + n > extent) {
    start = extent - n;
    if (start < 0) {
      start = 0;
      n = extent;
    }
  }
  *first = start;
  *size = n;
}

int32_t Between(int32_t from, int32_t to, double p) {
  return from + static_cast<int32_t>((to - from) * p);
}

}  // namespace

Rect ZoomView(int32_t pictureW, int32_t pictureH, int32_t x, int32_t y, double zoom) {
  int32_t left, top, width, height;
  ZoomAxis(pictureW, x, zoom, &left, &width);
  ZoomAxis(pictureH, y, zoom, &top, &height);
  return {left, top, left + width, top + height};
}

int32_t EasedLayerEffect::Update(uint32_t nowMs) {
  if (layer_ == nullptr) return kTaskStepFinished;
  const uint32_t elapsed = Elapsed(nowMs);
  if (elapsed >= duration_) {
    Stop();
    return kTaskStepFinished;
  }
  ShowAt(EasedProgress(elapsed, duration_, ease_));
  return kTaskStepContinue;
}

int EasedLayerEffect::Begin(double ease, uint32_t durationMs) {
  ease_ = ease;
  duration_ = durationMs;
  if (duration_ == 0) {
    Stop();
    return kBgEndStateApplied;
  }
  NotifyStart();
  return 0;
}

void EasedLayerEffect::Stop() {
  if (layer_ != nullptr) ShowAt(1.0);
}

std::unique_ptr<DisplayEffect> BgZoomEffect::Create(uint32_t) {
  return std::make_unique<BgZoomEffect>();
}

int BgZoomEffect::ApplyCommand(ArgWords args) {
  CompositionLayer* layer = LayerOf(args.Pointer<SurfaceLayer>(0));
  if (layer == nullptr) return kBgNoLayer;
  const double zoom = DecimalArg(args.Text(3), 1.0);
  // A negative zoom would give a negative view.
  if (!(zoom > 0)) return kBgZoomBadArguments;
  ImageSurface* picture = nullptr;
  layer->GetBackground(&picture, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (picture == nullptr) return kBgZoomNoPicture;
  const Rect view =
      ZoomView(picture->GetWidth(), picture->GetHeight(), args.Int(1), args.Int(2), zoom);
  const int32_t values[4] = {view.left, view.top, view.Width(), view.Height()};
  for (size_t i = 0; i < 4; ++i) {
    if (auto* out = args.Pointer<int32_t>(4 + i)) *out = values[i];
  }
  return layer->SetBackgroundStretch(0, 0, 0, 0, &view) == 0 ? 0 : kBgZoomNoPicture;
}

int BgZoomEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  const double zoom = DecimalArg(args.Text(2), 1.0);
  if (timers == nullptr || !BindTarget(target) || !(zoom > 0)) return kBgZoomBadArguments;
  ImageSurface* picture = nullptr;
  int32_t scrollX = 0, scrollY = 0;
  layer_->GetBackground(&picture, &scrollX, &scrollY, nullptr, nullptr, nullptr);
  if (picture == nullptr || layer_->GetTarget() == nullptr) return kBgZoomNoPicture;
  Rect from;
  if (!layer_->GetStretchView(&from))
    from = {scrollX, scrollY, scrollX + picture->GetWidth(), scrollY + picture->GetHeight()};
  const Rect to =
      ZoomView(picture->GetWidth(), picture->GetHeight(), args.Int(0), args.Int(1), zoom);
  const int32_t start[4] = {from.left, from.top, from.Width(), from.Height()};
  const int32_t end[4] = {to.left, to.top, to.Width(), to.Height()};
  for (int i = 0; i < 4; ++i) start_[i] = start[i], end_[i] = end[i];
  return Begin(DecimalArg(args.Text(3), 0.0), args.Uint(4));
}

void BgZoomEffect::ShowAt(double p) {
  int32_t v[4];
  for (int i = 0; i < 4; ++i) v[i] = Between(start_[i], end_[i], p);
  const Rect view{v[0], v[1], v[0] + v[2], v[1] + v[3]};
  if (drawn_ && view == shown_) return;
  drawn_ = true;
  shown_ = view;
  // A picture without pixels leaves the background as it was.
  (void)layer_->SetBackgroundStretch(0, 0, 0, 0, &view);
}

int BgZoomEffect::Query(ArgWords args) {
  for (size_t i = 0; i < 4; ++i) {
    if (auto* out = args.Pointer<int32_t>(i)) *out = end_[i];
  }
  return 0;
}

std::unique_ptr<DisplayEffect> BgRotEffect::Create(uint32_t) {
  return std::make_unique<BgRotEffect>();
}

int BgRotEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  const double zoom = DecimalArg(args.Text(3), 1.0);
  if (timers == nullptr || !BindTarget(target) || zoom == 0) return kBgZoomBadArguments;
  if (Picture() == nullptr || layer_->GetTarget() == nullptr) return kBgZoomNoPicture;
  if (!layer_->GetRotation(&startX_, &startY_, &startAngle_, &startZoom_)) {
    startX_ = startY_ = startAngle_ = 0;
    startZoom_ = 1.0;
  }
  endX_ = args.Int(0);
  endY_ = args.Int(1);
  endAngle_ = args.Int(2);
  endZoom_ = zoom;
  return Begin(DecimalArg(args.Text(4), 0.0), args.Uint(5));
}

void BgRotEffect::ShowAt(double p) {
  // A picture without pixels leaves the background as it was.
  (void)layer_->SetBackgroundRotation(Between(startX_, endX_, p), Between(startY_, endY_, p),
                                      Between(startAngle_, endAngle_, p),
                                      startZoom_ + (endZoom_ - startZoom_) * p);
}

}  // namespace bw
