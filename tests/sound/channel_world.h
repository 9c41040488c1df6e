// A sound channel manager in the headless sound world, with the timer service its tasks run on
// and the virtual clock that steps them. Sounds are PCMT ramps at 8000 Hz, so what the mixer
// gives can be compared sample for sample.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/platform/timer_service.h"
#include "host/clock.h"
#include "sound/sound_channel_manager.h"
#include "sound/sound_world.h"

namespace bw::soundtest {

constexpr uint32_t kChannelRate = 8000;

class ChannelWorld : public ::testing::Test {
 protected:
  ChannelWorld() { StreamingSoundBuffer::SetUseNotifications(true); }

  // A ramp of `samples` samples starting at base; answers it.
  std::vector<int16_t> Ramp(const std::string& name, uint32_t samples, int16_t base) {
    return w.PutRamp(name, samples, kChannelRate, base);
  }

  // Sets the clock to ms and steps the tasks.
  void At(uint32_t ms) {
    clock.SetMilliseconds(ms);
    timers.RunDue(ms);
  }

  static std::vector<int16_t> Join(std::initializer_list<std::vector<int16_t>> parts) {
    std::vector<int16_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  }

  static std::vector<int16_t> Head(const std::vector<int16_t>& v, size_t n) {
    return std::vector<int16_t>(v.begin(),
                                v.begin() + static_cast<std::ptrdiff_t>(std::min(n, v.size())));
  }

  int32_t BgmStreamFactor() { return m.CurrentBgmTrack()->stream.GetVolumeFactor(); }

  host::VirtualClock clock{100};
  host::ScopedClock clockScope{&clock};
  SoundWorld w{kChannelRate};
  TimerService timers;
  SoundChannelManager m{&timers};
};

}  // namespace bw::soundtest
