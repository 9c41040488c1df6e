#include "effects/sp_panime_effect.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "common/global.h"
#include "effects/ease.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "platform/rect.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"
#include "script/script_host.h"

namespace bw {

namespace {

// The display priorities "F" and "B" move a sprite to; set through the command's mode 0.
uint32_t frontPriority = 0;
uint32_t backPriority = 0;

// Segments shorter than this show their end at once.
constexpr uint32_t kShortestSegmentMs = 2;

CompositionLayer* LayerOf(const Sprite* sprite) {
  DisplayObjectList* list = sprite ? sprite->GetOwnerList() : nullptr;
  return list ? list->GetLayer() : nullptr;
}

double CosineAt(int index) {
  const TrigTables* trig = Global<TrigTables>::Get();
  if (trig != nullptr && const_cast<TrigTables*>(trig)->EnsureCosineDoubles())
    return trig->CosineDoubles()[index];
  return std::cos(index * std::numbers::pi / 256.0);
}

template <typename T>
void Put(ArgWords args, size_t i, T value) {
  if (T* out = args.Pointer<T>(i)) *out = value;
}

}  // namespace

std::unique_ptr<DisplayEffect> SpPanimeEffect::Create(uint32_t) {
  return std::make_unique<SpPanimeEffect>();
}

void SpPanimeEffect::PublishBand(uint32_t front, uint32_t back) {
  frontPriority = front;
  backPriority = back;
}

uint32_t SpPanimeEffect::FrontPriority() {
  return frontPriority;
}

uint32_t SpPanimeEffect::BackPriority() {
  return backPriority;
}

int SpPanimeEffect::PathCommand(ArgWords args) {
  if (args.Int(0) == 0) {
    PublishBand(args.Uint(1), args.Uint(2));
    return 0;
  }
  auto* sprite = args.Pointer<Sprite>(1);
  if (sprite == nullptr || sprite->IsBusy()) return kSpPanimeBadArguments;
  int32_t x = 0, y = 0, opacity = 255, order = 0, originX = 0, originY = 0;
  double zoom = 1.0, rotation = 0.0;
  if (int rc = ReadPathEndState(args.Text(2), &x, &y, sprite, LayerOf(sprite), &opacity, &order,
                                &zoom, &rotation, &originX, &originY);
      rc != kPathParsed) {
    return rc;
  }
  sprite->SetPos(x, y);
  sprite->SetAlpha(opacity);
  if (zoom != 1.0 || rotation != 0.0) {
    sprite->SetAnchor(-1, originX, originY);
    // A sprite that cannot take it is shown as it was.
    (void)sprite->SetRotation(static_cast<int>(rotation * 512),
                              zoom == 0.0 ? sprite->GetScale() : zoom);
  }
  Put<int32_t>(args, 3, sprite->GetX());
  Put<int32_t>(args, 4, sprite->GetY());
  Put<int32_t>(args, 5, opacity);
  Put<int32_t>(args, 6, order);
  Put<float>(args, 7, static_cast<float>(zoom));
  Put<float>(args, 8, static_cast<float>(rotation));
  Put<int32_t>(args, 9, originX);
  Put<int32_t>(args, 10, originY);
  return 0;
}

int SpPanimeEffect::LoadPath(Sprite* sprite, const char* text, uint32_t defaultMs, bool loop) {
  if (int rc = ReadPath(sprite, text, defaultMs, loop); rc != kPathParsed) return rc;
  PrepareWorkSurface();
  return kPathParsed;
}

int SpPanimeEffect::ReadPath(Sprite* sprite, const char* text, uint32_t defaultMs, bool loop) {
  if (int rc = path_.Parse(text, sprite, LayerOf(sprite)); rc != kPathParsed) return rc;
  Prepare(sprite, defaultMs, loop);
  sprite->SetAnchor(-1, path_.OriginX(), path_.OriginY());
  return kPathParsed;
}

void SpPanimeEffect::Prepare(Sprite* sprite, uint32_t defaultMs, bool loop) {
  sprite_ = sprite;
  loop_ = loop;
  // A band published later belongs to the effects set up after it.
  front_ = frontPriority;
  back_ = backPriority;
  defaultMs_ = segmentMs_ = std::max<uint32_t>(defaultMs, 1);
  opacities_.assign(static_cast<size_t>(path_.PositionCount()), 0);
  zoomGiven_ = rotationGiven_ = false;
  largestZoom_ = 1.0;
  uint8_t opacity = static_cast<uint8_t>(sprite->GetAlpha());
  for (int32_t i = 0; i < path_.PositionCount(); ++i) {
    const PathRecord& r = path_.Position(i);
    if (r.value >= 0) opacity = static_cast<uint8_t>(r.value);
    opacities_[static_cast<size_t>(i)] = opacity;
    zoomGiven_ = zoomGiven_ || r.zoom != 1.0;
    rotationGiven_ = rotationGiven_ || r.rotation != 0.0;
    largestZoom_ = std::max(largestZoom_, std::fabs(r.zoom));
  }
  Restart();
}

void SpPanimeEffect::RaiseZoom(double factor) {
  zoomGiven_ = true;
  largestZoom_ = std::max(largestZoom_, largestZoom_ * factor);
}

int32_t SpPanimeEffect::ModeWord() const {
  return path_.OrderMode() | (zoomGiven_ ? 1 << 8 : 0) | (rotationGiven_ ? 1 << 16 : 0);
}

void SpPanimeEffect::PrepareWorkSurface() {
  if (rotationGiven_) {
    // A sprite that cannot take it is shown as it was.
    (void)sprite_->CreateRotationWorkSurface(largestZoom_);
  } else if (zoomGiven_) {
    // A sprite that cannot take it is shown as it was.
    (void)sprite_->CreateWorkSurface(static_cast<int32_t>(sprite_->GetWidth() * largestZoom_),
                                     static_cast<int32_t>(sprite_->GetHeight() * largestZoom_));
  }
}

int SpPanimeEffect::Setup(TimerService* timers, EffectTarget, ArgWords args) {
  auto* sprite = args.Pointer<Sprite>(0);
  if (timers == nullptr || sprite == nullptr || sprite->IsBusy()) return kSpPanimeBadArguments;
  if (LoadPath(sprite, args.Text(1), args.Uint(2), args.Int(3) != 0) != kPathParsed) {
    path_.Clear();
    sprite_ = nullptr;
    return kSpPanimePathRefused;
  }
  if (args.Uint(2) == 0) {
    Finish();
    return kSpPanimeEndedAtOnce;
  }
  if (args.Int(4) != 0) NotifyStart();
  return kSpPanimeSetUp;
}

void SpPanimeEffect::Restart() {
  index_ = 1;
  segmentMs_ = defaultMs_;
  cosineEase_ = false;
  exponent_ = 0.0;
  smooth_ = false;
}

int32_t SpPanimeEffect::Update(uint32_t nowMs) {
  if (sprite_ == nullptr) return kTaskStepFinished;
  if (!started_) {
    started_ = true;
    segmentStart_ = nowMs;
  }
  return StepPath(nowMs) ? kTaskStepFinished : kTaskStepContinue;
}

bool SpPanimeEffect::StepPath(uint32_t nowMs) {
  if (finished_ || sprite_ == nullptr) return true;
  const std::vector<PathRecord>& records = path_.Records();
  bool wrapped = false;
  for (;;) {
    if (index_ >= records.size()) {
      if (!loop_) {
        Finish();
        return true;
      }
      Restart();
      // A loop of very short segments would otherwise go round without end in one update.
      if (wrapped) {
        segmentStart_ = nowMs;
        return false;
      }
      wrapped = true;
      continue;
    }
    const PathRecord& r = records[index_];
    if (r.kind != kPathPosition) {
      RunRecord(r);
      ++index_;
      continue;
    }
    const uint32_t elapsed = nowMs - segmentStart_;
    const int32_t from = r.positionIndex - 1;
    if (elapsed < segmentMs_) {
      ApplyStep(from, Progress(elapsed, segmentMs_));
      return false;
    }
    // What is left of the time carries into the next record.
    ApplyStep(from, 1.0);
    segmentStart_ += segmentMs_;
    reached_ = r.positionIndex;
    ++index_;
  }
}

void SpPanimeEffect::RunRecord(const PathRecord& r) {
  switch (r.kind) {
    case kPathDuration:
      segmentMs_ = std::max(r.x, 1);
      break;
    case kPathRandomDuration: {
      uint32_t pick = 0;
      if (ScriptHost* host = Global<ScriptHost>::Get())
        pick = static_cast<uint32_t>(host->Random().Draw(static_cast<uint32_t>(r.y)));
      segmentMs_ = std::max<uint32_t>(static_cast<uint32_t>(r.x) + pick, 1);
      break;
    }
    case kPathEase:
      cosineEase_ = r.value == 0;
      exponent_ = r.value == 0 ? 0.0 : r.rotation;
      break;
    case kPathFront:
    case kPathBack:
      if (DisplayObjectList* list = sprite_->GetOwnerList()) {
        if (r.kind == kPathFront)
          list->SetPriority(sprite_, front_, false);
        else
          list->SetPriorityAfterEqual(sprite_, back_, false);
      }
      break;
    case kPathSmoothOn:
      smooth_ = path_.HasSpline();
      break;
    case kPathSmoothOff:
      smooth_ = false;
      break;
    case kPathOrigin:
      sprite_->SetAnchor(-1, r.x, r.y);
      break;
    default:
      break;
  }
}

double SpPanimeEffect::Progress(uint32_t elapsed, uint32_t duration) const {
  if (duration < kShortestSegmentMs) return 1.0;
  if (cosineEase_) {
    const int64_t step = -(int64_t{elapsed} * 256 / duration) - 256;
    // The index of a negative step wraps round the table, never below it.
    const int index = static_cast<int>(((step % 512) + 512) % 512);
    return (CosineAt(index) + 1.0) / 2.0;
  }
  return EaseProgress(static_cast<double>(elapsed) / duration, exponent_);
}

void SpPanimeEffect::ApplyStep(int32_t from, double p) {
  if (ApplyPlace(from, p) && Transforms()) ApplyTurn(from, p, 1.0);
}

bool SpPanimeEffect::ApplyPlace(int32_t from, double p) {
  if (from < 0 || from + 1 >= path_.PositionCount()) return false;
  int32_t x = 0, y = 0;
  if (smooth_)
    path_.EvaluateCubic(from, p, &x, &y);
  else
    path_.EvaluateLinear(from, p, &x, &y);
  sprite_->SetPos(x, y);
  const int a = OpacityAt(from), b = OpacityAt(from + 1);
  sprite_->SetAlpha(a + static_cast<int>((b - a) * p));
  return true;
}

bool SpPanimeEffect::ApplyTurn(int32_t from, double p, double factor) {
  const PathRecord& ra = path_.Position(from);
  const PathRecord& rb = path_.Position(from + 1);
  const int angle = TruncateToInt32((ra.rotation + (rb.rotation - ra.rotation) * p) * 512);
  const double scale = (ra.zoom + (rb.zoom - ra.zoom) * p) * factor;
  const bool plain = angle % 512 == 0 && scale == 1.0;
  if (sprite_->IsRotated() ? sprite_->GetAngle() == angle && sprite_->GetScale() == scale : plain) {
    return false;
  }
  return sprite_->SetRotation(angle, scale) == kSpriteDone;
}

void SpPanimeEffect::ApplyOrder() {
  DisplayObjectList* list = sprite_->GetOwnerList();
  if (list == nullptr) return;
  if (path_.OrderMode() == 1) list->SetPriority(sprite_, front_, false);
  if (path_.OrderMode() == 2) list->SetPriorityAfterEqual(sprite_, back_, false);
}

void SpPanimeEffect::Finish() {
  if (finished_ || sprite_ == nullptr || path_.PositionCount() == 0) return;
  finished_ = true;
  ApplyOrder();
  const int32_t last = path_.LastPosition();
  const PathRecord& end = path_.Position(last);
  sprite_->SetPos(ClampedSum(end.x, offsetX_), ClampedSum(end.y, offsetY_));
  sprite_->SetAlpha(OpacityAt(last));
  if (Transforms()) {
    sprite_->SetAnchor(-1, path_.OriginX(), path_.OriginY());
    // A sprite that cannot take it is shown as it was.
    (void)sprite_->SetRotation(TruncateToInt32(end.rotation * 512), end.zoom);
  }
  reached_ = last;
}

int SpPanimeEffect::Query(ArgWords args) {
  if (path_.PositionCount() == 0) return kSpPanimeNoPath;
  if (reached_ >= 0) {
    const PathRecord& r = path_.Position(reached_);
    Put<int32_t>(args, 0, r.x);
    Put<int32_t>(args, 1, r.y);
    Put<int32_t>(args, 2, OpacityAt(reached_));
    Put<float>(args, 4, static_cast<float>(r.zoom));
    Put<float>(args, 5, static_cast<float>(r.rotation));
  } else {
    Put<int32_t>(args, 2, -1);
  }
  Put<int32_t>(args, 3, ModeWord());
  Put<int32_t>(args, 6, path_.OriginX());
  Put<int32_t>(args, 7, path_.OriginY());
  Put<int32_t>(args, 8, Transforms() ? 1 : 0);
  return 0;
}

bool SpPanimeEffect::IsBoundTo(const void* object) const {
  return sprite_ != nullptr && static_cast<const DisplayObject*>(sprite_) == object;
}

void SpPanimeEffect::Unbind(const void* object) {
  if (IsBoundTo(object)) sprite_ = nullptr;
}

void SpPanimeEffect::ShiftStartTimes(uint32_t spanMs) {
  if (started_) segmentStart_ += spanMs;
}

bool ApplyPixelRoutine(PixelRowsRoutine routine, ImageSurface* destination, int32_t x, int32_t y,
                       const ImageSurface* source, const Rect& sourceRect) {
  if (routine == nullptr || destination == nullptr || source == nullptr) return false;
  if (destination->GetBitsPerPixel() != 32 || source->GetBitsPerPixel() != 32) return false;
  const int32_t w = sourceRect.Width(), h = sourceRect.Height();
  if (w <= 0 || h <= 0 || sourceRect.left < 0 || sourceRect.top < 0 ||
      sourceRect.right > source->GetWidth() || sourceRect.bottom > source->GetHeight() || x < 0 ||
      y < 0 || int64_t{x} + w > destination->GetWidth() ||
      int64_t{y} + h > destination->GetHeight()) {
    return false;
  }
  uint8_t* to = destination->GetRowPointer(y) + size_t(x) * 4;
  const uint8_t* from = source->GetRowPointer(sourceRect.top) + size_t(sourceRect.left) * 4;
  routine(to, from, destination->GetPitch() - 4 * w, source->GetPitch() - 4 * w, w, h);
  return true;
}

}  // namespace bw
