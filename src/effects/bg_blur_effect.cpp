#include "effects/bg_blur_effect.h"

#include <cmath>
#include <cstring>
#include <new>

#include "common/global.h"
#include "effects/arg_cursor.h"
#include "effects/natural_spline.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "platform/mmx_flag.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"

namespace bw {

namespace {

// Frames of a trail are laid only after this much time, so the opaque start frame shows.
constexpr uint32_t kTrailDelayMs = 16;

double DoubleOfWords(ArgWords args, size_t low) {
  const uint64_t bits = uint64_t{args.Uint(low)} | uint64_t{args.Uint(low + 1)} << 32;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

PixelLibrary& Library() {
  PixelLibrary* library = GetPixelLibrary();
  return library ? *library : BuiltInPixelLibrary();
}

}  // namespace

std::unique_ptr<DisplayEffect> BgBlurEffect::Create(uint32_t) {
  return std::make_unique<BgBlurEffect>();
}

int BgBlurEffect::ComputeView(int32_t x, int32_t y, double zoom, int32_t targetW, int32_t targetH,
                              Rect* view) {
  const double w = targetW / zoom, h = targetH / zoom;
  const int32_t left = static_cast<int32_t>(x - x / zoom);
  const int32_t top = static_cast<int32_t>(y - y / zoom);
  *view = {left, top, left + static_cast<int32_t>(w), top + static_cast<int32_t>(h)};
  return view->IsEmpty() ? kBgBlurCommandBadSize : 0;
}

int BgBlurEffect::ApplyCommand(ArgWords args) {
  CompositionLayer* layer = LayerOf(args.Pointer<SurfaceLayer>(0));
  if (layer == nullptr) return kBgNoLayer;
  const double zoom = DoubleOfWords(args, 3);
  const double angle = DoubleOfWords(args, 5);
  if (zoom == 0 || !std::isfinite(zoom)) return kBgBlurCommandBadZoom;
  ImageSurface* picture = nullptr;
  layer->GetBackground(&picture, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (picture == nullptr || layer->GetTarget() == nullptr) return kBgBlurCommandNoSurface;
  TrigTables* trig = Global<TrigTables>::Get();
  if (trig == nullptr) return kBgBlurCommandNoSine;
  if (!trig->EnsureCosineDoubles()) return kBgBlurCommandBadSize;
  Rect view;
  if (ComputeView(args.Int(1), args.Int(2), zoom, layer->GetTarget()->GetWidth(),
                  layer->GetTarget()->GetHeight(), &view) != 0) {
    return kBgBlurCommandBadSize;
  }
  const int32_t values[4] = {view.left, view.top, view.Width(), view.Height()};
  for (size_t i = 0; i < 4; ++i) {
    if (auto* out = args.Pointer<int32_t>(7 + i)) *out = values[i];
  }
  const int turn = static_cast<int>(angle);
  const int rc = turn == 0 ? layer->SetBackgroundStretch(0, 0, 0, 0, &view)
                           : layer->SetBackgroundRotation(args.Int(1), args.Int(2), turn, zoom);
  return rc == 0 ? 0 : kBgBlurCommandNoSurface;
}

int BgBlurEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  TrigTables* trig = Global<TrigTables>::Get();
  if (trig == nullptr || !trig->EnsureCosineDoubles()) return kBgBlurNoCosine;
  if (timers == nullptr || !BindTarget(target)) return kBgBlurBadArguments;
  ArgWords common;
  if (const char* points = args.Text(0)) {
    std::vector<double> triples;
    const int n = ParsePointTriples(points, triples);
    if (n < 2) return kBgBlurFewPoints;
    pointMode_ = true;
    for (int i = 0; i < n; ++i) {
      pointsX_.push_back(triples[3 * i]);
      pointsY_.push_back(triples[3 * i + 1]);
      zooms_.push_back(triples[3 * i + 2]);
    }
    if (args.Int(1) != 0 && n > 2) {
      termsX_ = NaturalSplineTerms(pointsX_);
      termsY_ = NaturalSplineTerms(pointsY_);
    }
    common = args.From(2);
  } else {
    start_ = {double(args.Int(1)), double(args.Int(2)), DecimalArg(args.Text(3), 1.0),
              DecimalArg(args.Text(4), 0.0)};
    end_ = start_;
    end_.zoom = DecimalArg(args.Text(5), 1.0);
    end_.angle = DecimalArg(args.Text(6), 0.0);
    common = args.From(7);
  }
  duration_ = common.Uint(0);
  opacity_ = static_cast<uint8_t>(common.Uint(1));
  ease_ = DecimalArg(common.Text(2), 0.0);
  intoPicture_ = common.Int(6) != 0;
  pass_ = common.Uint(7) & 0xFF;
  skipFinal_ = common.Int(9) != 0;
  if (int code = SetUpSource(common.Text(3), common.Int(4) != 0, common.Int(5) != 0, intoPicture_);
      code != 0) {
    return code;
  }
  if (intoPicture_) {
    into_ = Picture();
    if (into_ == nullptr || into_->GetBitsPerPixel() != 32) return kBgBlurNoDrawTarget;
  } else {
    if (MakeWorkSurface() != 0 || Work()->GetBitsPerPixel() != 32) return kBgBlurRefused;
    into_ = Work();
  }
  if (pointMode_) start_ = At(0.0), end_ = At(1.0);
  Draw(start_, 255);
  last_ = start_;
  AskSchedule(common.Uint(8), 0);
  NotifyStart();
  return 0;
}

int BgBlurEffect::SetUpSource(const char* name, bool filterB, bool filterA, bool copy) {
  ImageSurface* from = nullptr;
  if (name != nullptr) {
    ownSource_ = std::make_unique<ImageSurface>();
    if (ownSource_->Load(name, nullptr, 0, 0) != 0) return kBgBlurSourceNotLoaded;
  } else {
    from = Picture();
    if (from == nullptr) return kBgBlurNoPicture;
    // The picture drawn into, filtered or not 32-bit is read from a copy of its own.
    if (copy || filterA || filterB || from->GetBitsPerPixel() != 32) {
      ownSource_ = std::make_unique<ImageSurface>();
      if (ownSource_->CopyFrom(from, kCopyToHeap) != 0) return kBgBlurCopyFailed;
    }
  }
  if (ownSource_) {
    if (ownSource_->GetBitsPerPixel() != 32 && ownSource_->ConvertDepth(32) != 0)
      return kBgBlurCopyFailed;
    if (filterB) ownSource_->LibFilterB(nullptr);
    if (filterA) ownSource_->LibFilterA(nullptr);
    source_ = ownSource_.get();
  } else {
    source_ = from;
  }
  return 0;
}

BgBlurEffect::View BgBlurEffect::At(double p) const {
  if (!pointMode_) {
    return {start_.x + (end_.x - start_.x) * p, start_.y + (end_.y - start_.y) * p,
            start_.zoom + (end_.zoom - start_.zoom) * p,
            start_.angle + (end_.angle - start_.angle) * p};
  }
  const size_t segments = pointsX_.size() - 1;
  size_t i = static_cast<size_t>(p * static_cast<double>(segments));
  if (i >= segments) i = segments - 1;
  const double f = p * static_cast<double>(segments) - static_cast<double>(i);
  View v;
  if (!termsX_.empty()) {
    v.x = std::trunc(EvaluateNaturalSpline(pointsX_, termsX_, i, f));
    v.y = std::trunc(EvaluateNaturalSpline(pointsY_, termsY_, i, f));
  } else {
    v.x = std::trunc(pointsX_[i] + (pointsX_[i + 1] - pointsX_[i]) * f);
    v.y = std::trunc(pointsY_[i] + (pointsY_[i + 1] - pointsY_[i]) * f);
  }
  v.zoom = zooms_[i] + (zooms_[i + 1] - zooms_[i]) * f;
  return v;
}

void BgBlurEffect::Draw(const View& view, int opacity) {
  if (into_ == nullptr || source_ == nullptr || view.zoom == 0) return;
  PixelLibrary& library = Library();
  const uint32_t operation = LibraryOperation(opacity == 255 ? kLibCopy : kLibOpacity);
  // A surface without pixels, or an area that misses it, is left as it is.
  if (opacity == 255) (void)into_->Fill(layer_->GetFillColor(), nullptr);
  const int turn = static_cast<int>(view.angle);
  if (turn == 0) {
    Rect from;
    if (ComputeView(static_cast<int32_t>(view.x), static_cast<int32_t>(view.y), view.zoom,
                    into_->GetWidth(), into_->GetHeight(), &from) == 0) {
      const Size size{into_->GetWidth(), into_->GetHeight()};
      if (auto stretch = library.Get<StretchRoutine>(kLibStretch))
        stretch(into_, source_, &size, 0, 0, &from, operation, pass_, opacity, 0);
    }
  } else {
    // The picture's corners turned by the angle and scaled by the zoom about (x, y).
    const double* cosine = Global<TrigTables>::Get()->CosineDoubles();
    const double c = cosine[turn & 511] * view.zoom;
    const double s = cosine[(turn - 128) & 511] * view.zoom;
    const auto map = [&](double px, double py) {
      const double dx = px - view.x, dy = py - view.y;
      return LibPoint{view.x + dx * c - dy * s, view.y + dx * s + dy * c};
    };
    const double w = source_->GetWidth(), h = source_->GetHeight();
    const LibPoint points[3] = {map(0, 0), map(w, 0), map(0, h)};
    const uint32_t extras[4] = {};
    auto affine = library.Get<AffineRoutine>(kLibAffine);
    if (affine == nullptr) return;
    if (opacity == 255 || source_->HasAlpha()) {
      // A picture with its own alpha lays the trail in one pass, alpha times the opacity.
      affine(into_, source_, points, nullptr,
             LibraryOperation(opacity == 255 ? kLibCopy : kLibAlpha), pass_, opacity, extras);
    } else if (!MmxEnabled() ||
               affine(into_, source_, points, nullptr, LibraryOperation(kLibOpacity), pass_,
                      opacity, extras) != 0) {
      // An opaque picture is laid at the opacity in one pass where the library turns at an
      // opacity and the vector set blends: outside the turned picture, the frame pass here
      // blends each pixel with itself, which the vector lerp leaves as it is but the plain
      // crossfade rounds down. Otherwise the picture is turned into a scratch frame first, which
      // is then laid over the whole trail.
      if (!scratch_ || scratch_->GetWidth() != into_->GetWidth() ||
          scratch_->GetHeight() != into_->GetHeight()) {
        scratch_ = std::make_unique<ImageSurface>();
        if (scratch_->Create(into_->GetWidth(), into_->GetHeight(), 32, kImagePlain) != 0) return;
      }
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)scratch_->Blit(into_, 0, 0, nullptr, false);
      affine(scratch_.get(), source_, points, nullptr, LibraryOperation(kLibCopy), pass_, 255,
             extras);
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)into_->OpacityBlit(scratch_.get(), opacity, 0, 0, nullptr);
    }
  }
  drawnOnce_ = true;
  // A layer without a target has nothing to redraw.
  (void)layer_->InvalidateAll();
}

int32_t BgBlurEffect::Update(uint32_t nowMs) {
  if (layer_ == nullptr) return kTaskStepFinished;
  // A picture replaced or gone under the effect (which takes the work surface with it) ends it.
  if (into_ != (intoPicture_ ? Picture() : Work()) || (!ownSource_ && source_ != Picture())) {
    into_ = nullptr;
    Stop();
    return kTaskStepFinished;
  }
  const uint32_t elapsed = Elapsed(nowMs);
  if (elapsed >= duration_) {
    Stop();
    return kTaskStepFinished;
  }
  if (opacity_ != 255 && elapsed < kTrailDelayMs) return kTaskStepContinue;
  const View view = At(EasedProgress(elapsed, duration_, ease_));
  if (view == last_) return kTaskStepContinue;
  last_ = view;
  Draw(view, opacity_);
  return kTaskStepContinue;
}

void BgBlurEffect::Stop() {
  if (layer_ == nullptr) return;
  if (intoPicture_ && !skipFinal_ && !(last_ == end_)) Draw(end_, 255);
  last_ = end_;
  DropWorkSurface();
  into_ = nullptr;
}

}  // namespace bw
