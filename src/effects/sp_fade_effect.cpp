#include "effects/sp_fade_effect.h"

#include <algorithm>
#include <new>

#include "effects/ease.h"
#include "graphics/surface/sprite.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

constexpr uint8_t kOpaque = 255;

}  // namespace

std::unique_ptr<DisplayEffect> SpFadeEffect::Create(uint32_t) {
  return std::make_unique<SpFadeEffect>();
}

SpFadeEffect::~SpFadeEffect() {
  Finish();
}

int SpFadeEffect::Setup(TimerService* timers, EffectTarget, ArgWords args) {
  const int32_t count = args.Int(0);
  if (timers == nullptr || count < 1) return kSpFadeBadArguments;
  Finish();
  slots_.reset(new (std::nothrow) Slot[static_cast<size_t>(count)]);
  count_ = slots_ ? static_cast<uint32_t>(count) : 0;
  if (!slots_) return kSpFadeNoMemory;
  remove_ = args.Int(1) != 0;
  notify_ = args.Int(2) != 0 && priorityState == kPriorityArmed && EffectStartHook() != nullptr;
  return kSpFadeSetUp;
}

int SpFadeEffect::Command(ArgWords args) {
  const int32_t mode = args.Int(0);
  if (mode <= 0) {
    Finish();
    return 0;
  }
  const bool move = args.Int(5) != 0;
  return SetTarget(args.Uint(1), args.Pointer<Sprite>(2), mode == 1, args.Uint(3), args.Uint(4),
                   move, move ? args.Int(6) : 0, move ? args.Int(7) : 0, move ? args.Int(8) : 0);
}

int SpFadeEffect::Query(ArgWords) {
  return running_ ? 1 : 0;
}

int SpFadeEffect::SetTarget(uint32_t index, Sprite* sprite, bool fadeIn, uint32_t durationMs,
                            uint32_t delayMs, bool move, int32_t endX, int32_t endY,
                            double exponent) {
  if (index >= count_ || sprite == nullptr) return kSpFadeBadTarget;
  Slot& slot = slots_[index];
  slot = Slot{};
  slot.sprite = sprite;
  slot.startOpacity = sprite->IsVisible() ? static_cast<uint8_t>(sprite->GetAlpha()) : 0;
  sprite->SetAlpha(0);
  slot.endOpacity = fadeIn ? kOpaque : 0;
  const uint32_t distance = fadeIn ? kOpaque - slot.startOpacity : slot.startOpacity;
  const double given = durationMs == 0 ? 1.0 : static_cast<double>(durationMs);
  // A part-way sprite takes its share of the time.
  slot.duration = static_cast<uint32_t>(static_cast<double>(distance) * (1.0 / 255.0) * given);
  slot.delay = delayMs;
  slot.move = move;
  if (move) {
    slot.startX = sprite->GetX();
    slot.startY = sprite->GetY();
    slot.endX = endX;
    slot.endY = endY;
    slot.exponent = exponent;
  }
  if (!running_) SetRunning(true);
  return kSpFadeTargetSet;
}

void SpFadeEffect::SetRunning(bool running) {
  running_ = running;
  if (!notify_) return;
  if (EffectHook hook = running ? EffectStartHook() : EffectEndHook()) hook();
}

int32_t SpFadeEffect::Update(uint32_t nowMs) {
  if (!running_) return kTaskStepContinue;
  bool inUse = false;
  for (uint32_t i = 0; i < count_; ++i) {
    Slot& slot = slots_[i];
    if (slot.sprite == nullptr) continue;
    inUse = true;
    if (!slot.started) {
      slot.started = true;
      slot.startTime = nowMs;
      if (slot.delay == 0) slot.sprite->SetVisible(true);
      continue;
    }
    if (StepSlot(slot, nowMs)) slot.sprite = nullptr;
  }
  if (inUse) return kTaskStepContinue;
  SetRunning(false);
  // The remove flag ends the effect only once every slot has finished.
  return remove_ ? kTaskStepFinished : kTaskStepContinue;
}

bool SpFadeEffect::StepSlot(Slot& slot, uint32_t nowMs) {
  uint32_t elapsed = nowMs - slot.startTime;
  if (slot.delay != 0) {
    if (elapsed <= slot.delay) return false;
    slot.startTime += slot.delay;
    elapsed -= slot.delay;
    slot.delay = 0;
    slot.sprite->SetVisible(true);
  }
  elapsed = std::min(elapsed, slot.duration);
  // A zero duration is already at its end.
  const double t = slot.duration == 0 ? 1.0 : static_cast<double>(elapsed) / slot.duration;
  const int opacity =
      slot.startOpacity + static_cast<int>((slot.endOpacity - slot.startOpacity) * t);
  slot.sprite->SetAlpha(opacity);
  if (slot.move) {
    const double u = EaseProgress(t, slot.exponent);
    slot.sprite->SetPos(slot.startX + static_cast<int32_t>((slot.endX - slot.startX) * u),
                        slot.startY + static_cast<int32_t>((slot.endY - slot.startY) * u));
  }
  if (elapsed != slot.duration) return false;
  if (slot.endOpacity == 0) {
    slot.sprite->SetVisible(false);
    slot.sprite->SetAlpha(kOpaque);
  }
  return true;
}

bool SpFadeEffect::IsBoundTo(const void* object) const {
  for (uint32_t i = 0; i < count_; ++i) {
    if (slots_[i].sprite && static_cast<const DisplayObject*>(slots_[i].sprite) == object)
      return true;
  }
  return false;
}

void SpFadeEffect::Unbind(const void* object) {
  for (uint32_t i = 0; i < count_; ++i) {
    if (slots_[i].sprite && static_cast<const DisplayObject*>(slots_[i].sprite) == object) {
      slots_[i].sprite = nullptr;
    }
  }
}

void SpFadeEffect::Finish() {
  if (!running_) return;
  for (uint32_t i = 0; i < count_; ++i) {
    Slot& slot = slots_[i];
    if (slot.sprite == nullptr) continue;
    slot.sprite->SetAlpha(kOpaque);
    // The end state of a fade-in is shown, also when its delay had not yet run out.
    slot.sprite->SetVisible(slot.endOpacity != 0);
    if (slot.move) slot.sprite->SetPos(slot.endX, slot.endY);
    slot.sprite = nullptr;
  }
  SetRunning(false);
}

void SpFadeEffect::ShiftStartTimes(uint32_t spanMs) {
  for (uint32_t i = 0; i < count_; ++i) {
    if (slots_[i].sprite != nullptr && slots_[i].started) slots_[i].startTime += spanMs;
  }
}

}  // namespace bw
