#include "effects/bg_layer_effect.h"

#include <cmath>
#include <cstdlib>

#include "graphics/layers/surface_layer.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"

namespace bw {

uint32_t EasedTime(uint32_t elapsedMs, uint32_t durationMs, double exponent) {
  if (durationMs == 0) return 0;
  const double d = durationMs;
  const double t = elapsedMs;
  double eased = t;
  if (exponent > 0) eased = d * std::pow(t / d, exponent);
  if (exponent < 0) eased = d * (1.0 - std::pow(1.0 - t / d, -exponent));
  if (!(eased > 0)) return 0;
  return static_cast<uint32_t>(eased);
}

double EasedProgress(uint32_t elapsedMs, uint32_t durationMs, double exponent) {
  if (durationMs == 0) return 1.0;
  const uint32_t eased = EasedTime(elapsedMs, durationMs, exponent);
  const double p = static_cast<double>(eased % durationMs) / durationMs;
  return p >= 0.999 ? 1.0 : p;
}

double DecimalArg(const char* text, double fallback) {
  return text == nullptr ? fallback : std::strtod(text, nullptr);
}

CompositionLayer* LayerOf(const SurfaceLayer* item) {
  return item ? item->GetCompositionLayer() : nullptr;
}

int32_t Sine16(const TrigTables& trig, int64_t i) {
  return trig.Cosine(static_cast<int>((i - 128) & 511));
}

SurfaceWatch::SurfaceWatch(ImageSurface* surface) : surface_(surface) {
  if (surface_) surface_->AddUser(this);
}

SurfaceWatch::~SurfaceWatch() {
  if (surface_) surface_->RemoveUser(this);
}

void SurfaceWatch::DetachSurface(const bw::Surface* surface) {
  if (surface == surface_) surface_ = nullptr;
}

LayerEffect::~LayerEffect() {
  DropWorkSurface();
}

bool LayerEffect::BindTarget(EffectTarget target) {
  item_ = target.Layer();
  layer_ = LayerOf(item_);
  if (layer_ == nullptr) item_ = nullptr;
  return layer_ != nullptr;
}

uint32_t LayerEffect::Elapsed(uint32_t nowMs) {
  if (!started_) {
    started_ = true;
    startTime_ = nowMs;
  }
  return nowMs - startTime_;
}

void LayerEffect::ShiftStartTimes(uint32_t spanMs) {
  if (started_) startTime_ += spanMs;
}

bool LayerEffect::IsBoundTo(const void* object) const {
  return object != nullptr && (object == item_ || object == layer_);
}

void LayerEffect::Unbind(const void* object) {
  if (!IsBoundTo(object)) return;
  item_ = nullptr;
  layer_ = nullptr;
  work_ = nullptr;
}

int LayerEffect::MakeWorkSurface() {
  const int code = layer_->CreateWorkSurface(false);
  work_ = code == 0 ? layer_->GetWorkSurface() : nullptr;
  return code;
}

void LayerEffect::DropWorkSurface() {
  ImageSurface* made = work_;
  work_ = nullptr;
  // One the layer made again since is someone else's.
  if (made == nullptr || layer_ == nullptr || layer_->GetWorkSurface() != made) return;
  layer_->DropWorkSurface();
  // A layer without a target has nothing to redraw.
  (void)layer_->InvalidateAll();
}

ImageSurface* LayerEffect::Work() const {
  return layer_ ? layer_->GetWorkSurface() : nullptr;
}

ImageSurface* LayerEffect::Picture() const {
  ImageSurface* picture = nullptr;
  if (layer_) layer_->GetBackground(&picture, nullptr, nullptr, nullptr, nullptr, nullptr);
  return picture;
}

void FadeEnvelope::Set(int32_t full, uint32_t holdMs, uint32_t fadeInMs, uint32_t fadeOutMs) {
  full_ = full;
  hold_ = holdMs;
  fadeIn_ = fadeInMs;
  fadeOut_ = fadeOutMs;
  state_ = kFadingIn;
  level_ = 0;
}

int32_t FadeEnvelope::Step(uint32_t t, bool* finished) {
  *finished = false;
  if (state_ == kFadingIn) {
    if (t >= fadeIn_) {
      state_ = kFull;
    } else {
      // 64 bits: a large amplitude times the elapsed time passes 32 bits.
      level_ = static_cast<int32_t>(int64_t{full_} * t / fadeIn_);
      return level_;
    }
  }
  if (state_ == kFull) {
    level_ = full_;
    if (hold_ != 0 && t >= uint64_t{fadeIn_} + hold_) state_ = kFadeRequested;
  }
  if (state_ == kFadeRequested) {
    fadeFrom_ = level_;
    fadeOutStart_ = t;
    state_ = kFadingOut;
  }
  if (state_ == kFadingOut) {
    const uint32_t since = t - fadeOutStart_;
    if (since >= fadeOut_) {
      *finished = true;
      level_ = 0;
    } else {
      level_ = static_cast<int32_t>(fadeFrom_ - int64_t{fadeFrom_} * since / fadeOut_);
    }
  }
  return level_;
}

bool FadeEnvelope::RequestFadeOut() {
  if (state_ == kFadeRequested || state_ == kFadingOut) return false;
  state_ = kFadeRequested;
  return true;
}

}  // namespace bw
