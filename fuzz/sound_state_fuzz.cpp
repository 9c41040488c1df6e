// The sound part of a save on arbitrary bytes: a block is taken whole or refused whole, never
// read past its end, and what was taken saves again to exactly the size announced.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/timer_service.h"
#include "sound/sound_channel_manager.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bw::TimerService timers;
  bw::SoundChannelManager manager(&timers);
  Check(manager.SetChannelCount(2) == bw::kSoundOk);
  bw::ByteReader in(data, size);
  const int32_t result = manager.LoadState(&in);
  if (result != bw::kSoundOk) {
    Check(result == bw::kSoundStateRefused);
    Check(in.position() == 0);
    Check(manager.ChannelCount() == 2);
    return 0;
  }
  Check(in.position() <= size);
  std::vector<uint8_t> again;
  manager.SaveState(again);
  Check(again.size() == manager.GetSaveSize());
  bw::ByteReader back(again);
  Check(manager.LoadState(&back) == bw::kSoundOk && back.atEnd());
  return 0;
}
