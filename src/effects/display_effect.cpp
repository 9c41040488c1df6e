#include "effects/display_effect.h"

#include <atomic>

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

DisplayEffect::~DisplayEffect() {
  if (priorityState != kPriorityHeld) return;
  if (EffectHook hook = endHook) hook();
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
  if (priorityState != kPriorityArmed) return;
  EffectHook hook = startHook;
  if (hook == nullptr) return;
  hook();
  priorityState = kPriorityHeld;
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
