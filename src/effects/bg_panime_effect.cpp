#include "effects/bg_panime_effect.h"

#include <algorithm>
#include <new>

#include "common/global.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "platform/trig_tables.h"

namespace bw {

namespace {

constexpr int32_t kNoSurfaceMode = 65535;

}  // namespace

std::unique_ptr<DisplayEffect> BgPanimeEffect::Create(uint32_t) {
  return std::make_unique<BgPanimeEffect>();
}

BgPanimeEffect::BgPanimeEffect() = default;

BgPanimeEffect::~BgPanimeEffect() {
  Finish();
}

int BgPanimeEffect::ApplyCommand(ArgWords args) {
  CompositionLayer* layer = LayerOf(args.Pointer<SurfaceLayer>(0));
  if (layer == nullptr) return kBgNoLayer;
  int32_t x = 0, y = 0;
  const int rc = ReadPathEndState(args.Text(1), &x, &y, nullptr, layer, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr);
  if (rc != kPathParsed) return rc;
  ImageSurface* picture = nullptr;
  int32_t oldX = 0, oldY = 0;
  layer->GetBackground(&picture, &oldX, &oldY, nullptr, nullptr, nullptr);
  // A picture without pixels leaves the background as it was.
  if (x != oldX || y != oldY) (void)layer->SetBackgroundImage(picture, x, y, true);
  if (auto* out = args.Pointer<int32_t>(2)) *out = x;
  if (auto* out = args.Pointer<int32_t>(3)) *out = y;
  return 0;
}

int BgPanimeEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  if (timers == nullptr || !BindTarget(target)) return kBgPanimeBadArguments;
  defaultDuration_ = args.Uint(1);
  const bool snapshot = args.Int(3) != 0 && defaultDuration_ != 0;
  loop_ = args.Int(5) != 0;
  watch_ = std::make_unique<SurfaceWatch>(Picture());
  if (snapshot) {
    ImageSurface* into = layer_->GetTarget();
    snapshot_ = std::make_unique<ImageSurface>();
    if (into == nullptr || snapshot_->Create(into->GetWidth(), into->GetHeight(),
                                             into->GetBitsPerPixel(), kImagePlain) != 0) {
      snapshot_.reset();
      return kBgPanimeNoSnapshot;
    }
    if (layer_->RenderTo(snapshot_.get(), kRenderAll, 0, false) != 0) {
      snapshot_.reset();
      return kBgPanimeRenderFailed;
    }
    layer_->GetBackground(nullptr, &originX_, &originY_, nullptr, nullptr, nullptr);
    // A picture without pixels leaves the background as it was.
    (void)layer_->SetBackgroundImage(snapshot_.get(), 0, 0, true);
  }
  if (path_.Parse(args.Text(0), nullptr, layer_) != kPathParsed) return kBgPanimeRefused;
  x_ = path_.Position(0).x;
  y_ = path_.Position(0).y;
  Rewind();
  if (defaultDuration_ == 0) {
    Stop();
    return kBgEndStateApplied;
  }
  const int32_t mode = args.Int(2);
  if (mode != kNoSurfaceMode && mode != 0) {
    if (MakeWorkSurface() != 0) return kBgPanimeNoWorkSurface;
    throughWork_ = true;
    moved_ = false;
    MoveTo(x_, y_);
  }
  if (args.Int(6) != 0) NotifyStart();
  return 0;
}

void BgPanimeEffect::Rewind() {
  record_ = 1;
  duration_ = defaultDuration_;
  exponent_ = 0;
  cosineEase_ = false;
  smooth_ = false;
}

double BgPanimeEffect::Ease(uint32_t t, uint32_t d) const {
  if (cosineEase_) {
    const TrigTables* trig = Global<TrigTables>::Get();
    const int i = static_cast<int>(uint64_t{t} * 256 / d);
    const double c = trig ? trig->Cosine(i) / 65536.0 : 1.0 - 2.0 * t / d;
    return (1.0 - c) / 2.0;
  }
  return static_cast<double>(EasedTime(t, d, exponent_)) / d;
}

int32_t BgPanimeEffect::Update(uint32_t nowMs) {
  if (layer_ == nullptr) return kTaskStepFinished;
  const uint32_t elapsed = Elapsed(nowMs);
  const auto& records = path_.Records();
  bool rewound = false;
  for (;;) {
    if (record_ >= records.size()) {
      if (!loop_) {
        Stop();
        return kTaskStepFinished;
      }
      Rewind();
      // One pass of the path per update: a path of very short records would spin here.
      if (rewound) {
        recordStart_ = elapsed;
        return kTaskStepContinue;
      }
      rewound = true;
    }
    const PathRecord& r = records[record_];
    switch (r.kind) {
      case kPathDuration:
        duration_ = static_cast<uint32_t>(r.x);
        break;
      case kPathEase:
        cosineEase_ = r.value != 1;
        exponent_ = r.rotation;
        break;
      case kPathSmoothOn:
        smooth_ = true;
        break;
      case kPathSmoothOff:
        smooth_ = false;
        break;
      case kPathPosition: {
        const uint32_t t = elapsed - recordStart_;
        if (duration_ >= kPathShortestRecordMs && t < duration_) {
          int32_t x, y;
          const int32_t from = r.positionIndex - 1;
          const double p = Ease(t, duration_);
          if (smooth_ && path_.HasSpline()) {
            path_.EvaluateCubic(from, p, &x, &y);
          } else {
            path_.EvaluateLinear(from, p, &x, &y);
          }
          MoveTo(x, y);
          return kTaskStepContinue;
        }
        // Done: the time left over carries into the next record.
        recordStart_ += duration_ < kPathShortestRecordMs ? std::min(duration_, t) : duration_;
        MoveTo(r.x, r.y);
        break;
      }
      default:
        break;  // random durations and orders do not move a layer
    }
    ++record_;
  }
}

void BgPanimeEffect::MoveTo(int32_t x, int32_t y) {
  if (layer_ == nullptr || (moved_ && x == x_ && y == y_)) return;
  moved_ = true;
  x_ = x;
  y_ = y;
  ImageSurface* shown = snapshot_ ? snapshot_.get() : watch_->Get();
  if (!throughWork_) {
    // A picture without pixels leaves the background as it was.
    (void)layer_->SetBackgroundImage(shown, x, y, true);
    return;
  }
  ImageSurface* work = Work();
  if (work == nullptr) return;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)work->Fill(layer_->GetFillColor(), nullptr);
  if (shown) (void)work->Blit(shown, -x, -y, nullptr, false);
  // A layer without a target has nothing to redraw.
  (void)layer_->InvalidateAll();
}

void BgPanimeEffect::Stop() {
  if (layer_ == nullptr || path_.PositionCount() == 0) return;
  const PathRecord& last = path_.Position(path_.LastPosition());
  record_ = path_.Records().size();
  MoveTo(last.x, last.y);
  Finish();
}

void BgPanimeEffect::Finish() {
  if (layer_ == nullptr) return;
  if (!throughWork_ && !snapshot_) return;
  throughWork_ = false;
  DropWorkSurface();
  // The snapshot goes with the effect: the layer's own picture comes back, moved as far as
  // the snapshot was.
  const int32_t dx = snapshot_ ? originX_ : 0, dy = snapshot_ ? originY_ : 0;
  // A picture without pixels leaves the background as it was.
  if (watch_) (void)layer_->SetBackgroundImage(watch_->Get(), x_ + dx, y_ + dy, true);
  snapshot_.reset();
}

int BgPanimeEffect::Query(ArgWords args) {
  const auto& records = path_.Records();
  if (records.empty()) return kBgPanimeNoPath;
  if (record_ >= records.size()) return kBgPanimeNoRecord;
  if (auto* out = args.Pointer<int32_t>(0)) *out = records[record_].x;
  if (auto* out = args.Pointer<int32_t>(1)) *out = records[record_].y;
  return 0;
}

}  // namespace bw
