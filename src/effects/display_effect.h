// The base of the screen overlays, layer effects and sprite effects: a timed task that the
// effect registry creates by keyword, with a set-up, commands, queries and a switch that lowers
// the frame thread's priority while the effect runs.
#pragma once

#include <cstdint>

#include "effects/effect_args.h"
#include "host/module.h"
#include "platform/timed_task.h"

namespace bw {

class TimerService;

// priorityState values.
constexpr uint8_t kPriorityDisarmed = 0;
constexpr uint8_t kPriorityArmed = 1;
constexpr uint8_t kPriorityHeld = 2;  // lowered; restored when the effect goes

// The type bytes of the built-in effects.
constexpr uint8_t kEffectTypeLayer = 0;
constexpr uint8_t kEffectTypeSprite = 1;
constexpr uint8_t kEffectTypeScreen = 3;

// The application's hooks around running effects (null = none): the start hook lowers the
// frame thread's priority, nesting, and the end hook restores it. The low-spec query answers
// the application's low-spec byte.
using EffectHook = void (*)();
using LowSpecQuery = bool (*)();
void SetEffectRunningHooks(EffectHook start, EffectHook end);
void SetLowSpecQuery(LowSpecQuery query);
EffectHook EffectStartHook();
EffectHook EffectEndHook();
bool LowSpecMode();
// The priority switch of a running task: an armed state lowers the priority through the start
// hook (when there is one) and becomes held; a held state restores it through the end hook.
void LowerFramePriority(uint8_t& state);
void RestoreFramePriority(uint8_t& state);

class DisplayEffect : public TimedTask {
 public:
  DisplayEffect() = default;
  // Restores the priority this effect lowered.
  ~DisplayEffect() override;

  // The last resume also moves the effect's own clock readings on by the paused span, so that
  // a paused effect goes on where it stopped.
  uint32_t Resume(uint32_t nowMs) override;

  virtual const char* GetKeyword() const = 0;
  virtual uint8_t GetType() const = 0;
  virtual int32_t GetValue() const { return 0; }
  // The argument set-up of the registry's create-and-initialise operations.
  [[nodiscard]] virtual int Init(ArgWords args);
  // 0 once the effect is set up, else a failure code of the class. Its creator then hands it to
  // timers (TimerService::HandOver), which owns it from then on; an effect that no service took
  // undoes what it did to its targets when it is deleted.
  [[nodiscard]] virtual int Setup(TimerService* timers, EffectTarget target, ArgWords args) = 0;
  [[nodiscard]] int Start(TimerService* timers, EffectTarget target, ArgList args) {
    return Setup(timers, target, args);
  }
  [[nodiscard]] virtual int Command(ArgWords args);
  [[nodiscard]] int Command(ArgList args) { return Command(ArgWords(args)); }
  // Answers through the out-pointers among the words.
  [[nodiscard]] virtual int Query(ArgWords args);
  [[nodiscard]] int Query(ArgList args) { return Query(ArgWords(args)); }
  // Lowers the frame thread's priority once, when armed and the hook is there.
  virtual void NotifyStart();

  // Clears priorityState when the application runs in low-spec mode and the effect is armed.
  void DisarmIfLowSpec();

  // The plug-in library whose factory made the effect; null for a built-in one.
  host::HMODULE Module() const { return module_; }
  void SetModule(host::HMODULE module) { module_ = module; }

  // A creator whose set-up failed deletes the effect only when this is 0, else lowers it.
  uint32_t keepCount = 0;
  uint8_t priorityState = kPriorityArmed;

 protected:
  // Moves every clock reading the effect keeps on by spanMs.
  virtual void ShiftStartTimes(uint32_t /*spanMs*/) {}

 private:
  host::HMODULE module_ = nullptr;
};

// Drops one holder: the last one deletes the effect.
void ReleaseEffect(DisplayEffect* effect);

}  // namespace bw
