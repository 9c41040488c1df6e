// The game's clocked services, published for the whole process while the game lives: the one
// cosine table that rotation, waves and paths read, the two timer services, and the wipe
// transitions, which run on the second.
#pragma once

#include <atomic>
#include <cstdint>

#include "common/global.h"
#include "effects/transitions/wipe_transitions.h"
#include "platform/lock.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"

namespace bw {

// The effects-pause request byte, honoured on the frame thread: it pauses the second timer
// service on 1 (answering 2) and resumes it on 3 (answering 0).
constexpr uint8_t kEffectsRunning = 0;
constexpr uint8_t kEffectsPauseRequested = 1;
constexpr uint8_t kEffectsPaused = 2;
constexpr uint8_t kEffectsResumeRequested = 3;

class GameTimers {
 public:
  GameTimers() = default;
  GameTimers(const GameTimers&) = delete;
  GameTimers& operator=(const GameTimers&) = delete;

  // The frame loops' own tasks; the frame thread runs them too, under FirstLock.
  TimerService& First() { return first_; }
  Lock& FirstLock() { return firstLock_; }
  // The effects, animations, natives and text typing: the published one.
  TimerService& Second() { return second_; }

  // From any thread.
  void RequestEffectsPause(uint8_t request) { effectsPause_ = request; }
  uint8_t EffectsPauseState() const { return effectsPause_; }
  // The frame thread's turn: follows the request; true while the effects stand paused.
  [[nodiscard]] bool FollowEffectsPause();

 private:
  TrigTables trig_;
  ScopedGlobal<TrigTables> publishedTrig_{&trig_};
  TimerService first_;
  Lock firstLock_;
  TimerService second_;
  ScopedGlobal<TimerService> publishedSecond_{&second_};
  WipeTransitions wipes_{&second_};
  ScopedGlobal<WipeTransitions> publishedWipes_{&wipes_};
  std::atomic<uint8_t> effectsPause_{kEffectsRunning};
  bool pausedHere_ = false;  // frame thread only
};

}  // namespace bw
