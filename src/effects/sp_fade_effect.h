// "sp_fade": fades a fixed number of sprites in or out, each on its own clock, with an optional
// delay and an optional eased move to an end position. The set-up fixes the number of slots;
// each command fills one.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/display_effect.h"

namespace bw {

class Sprite;

// Setup results.
constexpr int kSpFadeSetUp = 0;
constexpr int kSpFadeBadArguments = 1;
constexpr int kSpFadeRefused = 3;  // the timer service refused the effect
constexpr int kSpFadeNoMemory = -1;
// SetTarget results.
constexpr int kSpFadeTargetSet = 0;
constexpr int kSpFadeBadTarget = 1;

class SpFadeEffect final : public DisplayEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);

  SpFadeEffect() = default;
  // Pending slots are finished first, so no sprite is left half faded.
  ~SpFadeEffect() override;

  uint32_t GetKindId() const override { return kTaskKindSpriteEffect; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override { Finish(); }
  const char* GetKeyword() const override { return "sp_fade"; }
  uint8_t GetType() const override { return kEffectTypeSprite; }
  // Words: slot count (> 0), remove flag, notify request. The target word is not read.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Command;
  using DisplayEffect::Query;
  // Words: mode (0 or less finishes all, 1 fades in, 2 or more fades out), slot, sprite,
  // duration, delay, move flag, end x, end y, easing exponent.
  [[nodiscard]] int Command(ArgWords args) override;
  // Answers the running flag.
  [[nodiscard]] int Query(ArgWords args) override;
  bool IsBoundTo(const void* object) const override;
  void Unbind(const void* object) override;

  [[nodiscard]] int SetTarget(uint32_t index, Sprite* sprite, bool fadeIn, uint32_t durationMs,
                              uint32_t delayMs, bool move, int32_t endX, int32_t endY,
                              double exponent);
  // Puts every pending sprite at its end state and stops running.
  void Finish();
  bool IsRunning() const { return running_; }
  uint32_t SlotCount() const { return count_; }

 protected:
  void ShiftStartTimes(uint32_t spanMs) override;

 private:
  struct Slot {
    Sprite* sprite = nullptr;  // null: free
    uint8_t startOpacity = 0;
    uint8_t endOpacity = 0;
    bool move = false;
    bool started = false;
    uint32_t duration = 0;
    uint32_t delay = 0;
    uint32_t startTime = 0;
    int32_t startX = 0;
    int32_t startY = 0;
    int32_t endX = 0;
    int32_t endY = 0;
    double exponent = 0;
  };

  void SetRunning(bool running);
  // One frame of a started slot; true when the slot ended.
  bool StepSlot(Slot& slot, uint32_t nowMs);

  std::unique_ptr<Slot[]> slots_;
  uint32_t count_ = 0;
  bool notify_ = false;
  bool running_ = false;
  bool remove_ = false;
};

}  // namespace bw
