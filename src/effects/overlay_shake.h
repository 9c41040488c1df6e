// The shake of the "quake" overlay and the "quake" filter: an offset per update, from a sine of
// the elapsed time or from random draws, weakening over a duration when there is one.
#pragma once

#include <cstdint>

#include "effects/effect_args.h"

namespace bw {

class SubtractiveRandom;
class TrigTables;

// stopRequest values.
constexpr uint8_t kShakeNoStop = 0;
constexpr uint8_t kShakeStopAtPeriodEnd = 1;
constexpr uint8_t kShakeStopNow = 2;

struct Shake {
  // words: 0 the period (without a duration, ms) or the half turns over the duration (0 =
  // random), 1 and 2 the amplitudes (px), 3 the duration (ms, 0 = until stopped), 4 the
  // strength left at the end as a decimal text (null = 0.0).
  void Read(ArgWords words);
  // Restarts the clock on the next Step.
  void Arm();
  // The offset at nowMs into dx, dy; false when the shake has ended (the offset is then 0, 0).
  bool Step(uint32_t nowMs, SubtractiveRandom& random, int32_t* dx, int32_t* dy);

  uint32_t durationMs = 0;
  uint32_t period = 0;  // ms without a duration; 512ths of a turn over the duration with one
  double amplitudeX = 0;
  double amplitudeY = 0;
  double endFactor = 0;
  uint32_t startMs = 0;
  bool firstUpdate = true;
  bool alternate = false;
  uint8_t stopRequest = kShakeNoStop;
};

}  // namespace bw
