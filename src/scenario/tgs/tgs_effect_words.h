// Small helpers of the scene's effect commands: the registry and timer service they use, and
// the argument words they build.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "common/global.h"
#include "effects/effect_args.h"
#include "effects/effect_registries.h"
#include "platform/timer_service.h"
#include "scenario/tgs/tgs_operations.h"

namespace bw::tgs_effects {

inline DcpPluginManager* Effects() {
  return Global<DcpPluginManager>::Get();
}

inline TimerService* Timers() {
  return Global<TimerService>::Get();
}

// A double as the two 32-bit words, low then high, that the effects read it from.
inline void PutDouble(double value, ArgWord* words) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  words[0] = ArgWord(uint32_t(bits));
  words[1] = ArgWord(uint32_t(bits >> 32));
}

// A text as an argument word (0 when not given); keep holds it NUL-terminated for the call.
inline ArgWord TextWord(const TgsText& text, std::string& keep) {
  if (!text) return 0;
  keep.assign(*text);
  return Word(keep.c_str());
}

}  // namespace bw::tgs_effects
