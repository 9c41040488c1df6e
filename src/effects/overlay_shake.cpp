#include "effects/overlay_shake.h"

#include <cmath>
#include <cstdlib>

#include "common/global.h"
#include "effects/arg_cursor.h"
#include "platform/subtractive_random.h"
#include "platform/trig_tables.h"

namespace bw {

namespace {

constexpr double kDrawScale = 1e-9;

int32_t Truncate(double v) {
  if (!(v > -2147483648.0 && v < 2147483648.0)) return v > 0 ? INT32_MAX : INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

void Shake::Read(ArgWords words) {
  durationMs = words.Uint(3);
  const int32_t first = words.Int(0);
  if (durationMs != 0) {
    period = static_cast<uint32_t>(first) * 256u;
  } else {
    period = static_cast<uint32_t>(std::llabs(int64_t{first}));
  }
  amplitudeX = words.Int(1);
  amplitudeY = words.Int(2);
  endFactor = DecimalOr(words.Text(4), 0.0);
  Arm();
}

void Shake::Arm() {
  firstUpdate = true;
  alternate = false;
  stopRequest = kShakeNoStop;
}

bool Shake::Step(uint32_t nowMs, SubtractiveRandom& random, int32_t* dx, int32_t* dy) {
  *dx = *dy = 0;
  if (firstUpdate) {
    firstUpdate = false;
    startMs = nowMs;
    alternate = false;
  }
  uint32_t elapsed = nowMs - startMs;
  double strength = 1.0;
  int64_t phase = 0;
  if (durationMs != 0) {
    if (elapsed >= durationMs) return false;
    strength = 1.0 - (1.0 - endFactor) * elapsed / durationMs;
    if (period != 0) phase = int64_t{period} * elapsed / durationMs;
  } else {
    if (period != 0) {
      if (elapsed >= period) {
        startMs = nowMs;
        elapsed = period;
        if (stopRequest == kShakeStopAtPeriodEnd) stopRequest = kShakeStopNow;
      }
      phase = Truncate(double(elapsed) / period * 511.0);
    } else if (stopRequest == kShakeStopAtPeriodEnd) {
      stopRequest = kShakeStopNow;
    }
    if (stopRequest == kShakeStopNow) return false;
  }
  if (period != 0) {
    const TrigTables* trig = Global<TrigTables>::Get();
    const int64_t q = trig ? trig->Cosine(static_cast<int>((phase - 128) & 511)) : 0;
    // 64-bit products: an amplitude of 32768 or more times a 16.16 sine overflows 32 bits.
    *dx = Truncate(double((int64_t{Truncate(amplitudeX)} * q) >> 16) * strength);
    *dy = Truncate(double((int64_t{Truncate(amplitudeY)} * q) >> 16) * strength);
    return true;
  }
  auto centred = [&](double a) {
    return Truncate((random.DrawRaw() * a * kDrawScale - a * 0.5) * strength);
  };
  auto swing = [&](double a) {
    const double sign = alternate ? kDrawScale : -kDrawScale;
    return Truncate(random.DrawRaw() * sign * a * strength);
  };
  if (amplitudeX < amplitudeY) {
    *dx = centred(amplitudeX);
    *dy = swing(amplitudeY);
  } else if (amplitudeX > amplitudeY) {
    *dx = swing(amplitudeX);
    *dy = centred(amplitudeY);
  } else {
    *dx = centred(amplitudeX);
    *dy = centred(amplitudeY);
  }
  alternate = !alternate;
  return true;
}

}  // namespace bw
