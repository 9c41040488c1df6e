#include "effects/display_effect.h"

#include <atomic>

#include "graphics/layers/surface_layer.h"

namespace bw {

namespace {

std::atomic<EffectHook> startHook{nullptr};
std::atomic<EffectHook> endHook{nullptr};
std::atomic<LowSpecQuery> lowSpecQuery{nullptr};

}  // namespace

void SetEffectRunningHooks(EffectHook start, EffectHook end) {
  startHook = start;
  endHook = end;
}

void SetLowSpecQuery(LowSpecQuery query) {
  lowSpecQuery = query;
}

EffectHook EffectStartHook() {
  return startHook;
}

EffectHook EffectEndHook() {
  return endHook;
}

bool LowSpecMode() {
  LowSpecQuery query = lowSpecQuery;
  return query != nullptr && query();
}

void LowerFramePriority(uint8_t& state) {
  if (state != kPriorityArmed) return;
  EffectHook hook = startHook;
  if (hook == nullptr) return;
  hook();
  state = kPriorityHeld;
}

void RestoreFramePriority(uint8_t& state) {
  if (state != kPriorityHeld) return;
  state = kPriorityArmed;
  if (EffectHook hook = endHook) hook();
}

CompositionLayer* EffectTarget::Composition() const {
  if (composition_) return composition_;
  return layer_ ? layer_->GetCompositionLayer() : nullptr;
}

DisplayEffect::~DisplayEffect() {
  RestoreFramePriority(priorityState);
}

uint32_t DisplayEffect::Resume(uint32_t nowMs) {
  const bool lastPause = PauseCount() == 1;
  const uint32_t result = TimedTask::Resume(nowMs);
  if (lastPause) ShiftStartTimes(result);
  return result;
}

int DisplayEffect::Init(ArgWords) {
  return 0;
}

int DisplayEffect::Command(ArgWords) {
  return kEffectUnsupported;
}

int DisplayEffect::Query(ArgWords) {
  return kEffectUnsupported;
}

void DisplayEffect::NotifyStart() {
  LowerFramePriority(priorityState);
}

void DisplayEffect::DisarmIfLowSpec() {
  if (priorityState == kPriorityArmed && LowSpecMode()) priorityState = kPriorityDisarmed;
}

void ReleaseEffect(DisplayEffect* effect) {
  if (effect == nullptr) return;
  if (effect->keepCount == 0) {
    delete effect;
  } else {
    --effect->keepCount;
  }
}

}  // namespace bw
