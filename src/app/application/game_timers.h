// The game's clocked services, published for the whole process while the game lives: the one
// cosine table that rotation, waves and paths read, the two timer services, and the wipe
// transitions, which run on the second.
#pragma once

#include "common/global.h"
#include "effects/transitions/wipe_transitions.h"
#include "platform/lock.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"

namespace bw {

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

 private:
  TrigTables trig_;
  ScopedGlobal<TrigTables> publishedTrig_{&trig_};
  TimerService first_;
  Lock firstLock_;
  TimerService second_;
  ScopedGlobal<TimerService> publishedSecond_{&second_};
  WipeTransitions wipes_{&second_};
  ScopedGlobal<WipeTransitions> publishedWipes_{&wipes_};
};

}  // namespace bw
