#include "effects/sp_gfade_effect.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "effects/ease.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

constexpr uint8_t kLastDirection = 3;
constexpr int kAlphaByte = 3;

bool Vertical(uint8_t direction) {
  return direction >= 2;
}

bool Reversed(uint8_t direction) {
  return direction == 1 || direction == 3;
}

}  // namespace

std::unique_ptr<DisplayEffect> SpGfadeEffect::Create(uint32_t) {
  return std::make_unique<SpGfadeEffect>();
}

int SpGfadeEffect::Setup(TimerService* timers, EffectTarget, ArgWords args) {
  auto* sprite = args.Pointer<Sprite>(0);
  if (timers == nullptr || sprite == nullptr || sprite->IsBusy()) return kSpGfadeBadArguments;
  ImageSurface* picture = sprite->GetSource();
  const Rect& rect = sprite->GetSourceRect();
  if (picture == nullptr || picture->GetBitsPerPixel() != 32 || rect.Width() <= 0 ||
      rect.Height() <= 0) {
    return kSpGfadeBadArguments;
  }
  if (args.Uint(1) == 0) {
    sprite->SetVisible(true);
    return kSpGfadeEndedAtOnce;
  }
  Finish();
  direction_ = static_cast<uint8_t>(std::min<uint32_t>(args.Uint(2) & 0xFF, kLastDirection));
  edgeWidth_ = static_cast<int32_t>(args.Uint(3) & 0xFFFF);
  length_ = Vertical(direction_) ? rect.Height() : rect.Width();
  breadth_ = Vertical(direction_) ? rect.Width() : rect.Height();
  // A hard edge needs no ramp; a one-pixel edge uses the first of two levels.
  if (edgeWidth_ > 0 && edge_.Build(std::max(edgeWidth_, 2), 255, 0, 8) != kRampDone)
    return kSpGfadeNoEdge;
  sprite_ = sprite;
  duration_ = args.Uint(1);
  const char* ease = args.Text(4);
  exponent_ = ease ? std::strtod(ease, nullptr) : 0.0;
  kept_.resize(static_cast<size_t>(length_) * static_cast<size_t>(breadth_));
  for (int32_t along = 0; along < length_; ++along) {
    for (int32_t across = 0; across < breadth_; ++across)
      kept_[static_cast<size_t>(along) * breadth_ + across] = *AlphaAt(along, across);
  }
  sprite->SetVisible(false);
  last_ = 0;
  started_ = drawn_ = false;
  running_ = true;
  if (ease != nullptr) NotifyStart();
  return kSpGfadeSetUp;
}

// Along counts from where the edge enters the picture.
uint8_t* SpGfadeEffect::AlphaAt(int32_t along, int32_t across) const {
  const Rect& rect = sprite_ ? sprite_->GetSourceRect() : Rect{};
  ImageSurface* picture = sprite_->GetSource();
  if (Reversed(direction_)) along = length_ - 1 - along;
  const int32_t x = rect.left + (Vertical(direction_) ? across : along);
  const int32_t y = rect.top + (Vertical(direction_) ? along : across);
  return picture->GetRowPointer(y) + size_t(x) * 4 + kAlphaByte;
}

int32_t SpGfadeEffect::Update(uint32_t nowMs) {
  if (!running_ || sprite_ == nullptr) return kTaskStepFinished;
  if (!started_) {
    started_ = true;
    startTime_ = nowMs;
  }
  const uint32_t elapsed = nowMs - startTime_;
  if (elapsed >= duration_) {
    Finish();
    return kTaskStepFinished;
  }
  const double t = EaseProgress(static_cast<double>(elapsed) / duration_, exponent_);
  const auto reached = static_cast<int32_t>((length_ + edgeWidth_) * t);
  if (reached < 1 || reached == last_) return kTaskStepContinue;
  Draw(reached);
  return kTaskStepContinue;
}

void SpGfadeEffect::Draw(int32_t reached) {
  // The edge's leading side stands at reached - width; what lies behind it shows in full.
  const int32_t edgeStart = reached - edgeWidth_;
  const int32_t from = drawn_ ? std::max(last_ - edgeWidth_, 0) : 0;
  const int32_t to = drawn_ ? std::min(reached, length_) : length_;
  const uint8_t* ramp = edge_.Levels();
  for (int32_t along = from; along < to; ++along) {
    const uint8_t* kept = &kept_[static_cast<size_t>(along) * breadth_];
    const int32_t inEdge = along - edgeStart;
    for (int32_t across = 0; across < breadth_; ++across) {
      uint8_t value = 0;
      if (inEdge < 0)
        value = kept[across];
      else if (inEdge < edgeWidth_)
        value = ProductTable[kept[across]][ramp[inEdge]];
      *AlphaAt(along, across) = value;
    }
  }
  last_ = reached;
  if (!drawn_) {
    drawn_ = true;
    sprite_->SetVisible(true);
  }
  sprite_->Refresh(nullptr);
}

void SpGfadeEffect::Finish() {
  if (!running_) return;
  running_ = false;
  if (sprite_ == nullptr) return;
  if (drawn_) {
    for (int32_t along = 0; along < length_; ++along) {
      for (int32_t across = 0; across < breadth_; ++across)
        *AlphaAt(along, across) = kept_[static_cast<size_t>(along) * breadth_ + across];
    }
    sprite_->Refresh(nullptr);
  }
  sprite_->SetVisible(true);
}

bool SpGfadeEffect::IsBoundTo(const void* object) const {
  return sprite_ != nullptr && static_cast<const DisplayObject*>(sprite_) == object;
}

void SpGfadeEffect::Unbind(const void* object) {
  if (IsBoundTo(object)) sprite_ = nullptr;
}

void SpGfadeEffect::ShiftStartTimes(uint32_t spanMs) {
  if (started_) startTime_ += spanMs;
}

}  // namespace bw
