// A headless sound world: sounds in memory, the decoders, and a device whose mixer the test pulls;
// and a channel manager in it, with its timer service and the virtual clock that steps them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/global.h"
#include "host/clock.h"
#include "lib/ogg/ogg_vorbis_writer.h"
#include "platform/timer_service.h"
#include "sound/direct_sound_device.h"
#include "sound/ogg_vorbis_decoder.h"
#include "sound/sll_plugin_manager.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel_manager.h"
#include "sound/sound_test_support.h"

namespace bw::soundtest {

// A sine tone encoded as Ogg Vorbis.
inline std::vector<uint8_t> EncodeTone(double frequency, uint32_t ms, uint32_t rate, int channels) {
  std::vector<uint8_t> ogg;
  EXPECT_EQ(tools::EncodeOggVorbis(tools::MakeSineTone(frequency, ms, rate, channels), channels,
                                   rate, &ogg),
            tools::kOggOk);
  return ogg;
}

// n samples of v from from on, fewer where v ends first.
inline std::vector<int16_t> Part(const std::vector<int16_t>& v, size_t from, size_t n) {
  from = std::min(from, v.size());
  return {v.begin() + std::ptrdiff_t(from),
          v.begin() + std::ptrdiff_t(std::min(v.size(), from + n))};
}

struct SoundWorld {
  explicit SoundWorld(uint32_t rate = 8000) {
    EXPECT_EQ(kSllOk,
              manager.AddDecoder(std::make_unique<PcmtDecodeObject>(), "PCMT\0", "test pcm", 9));
    EXPECT_EQ(0, RegisterOggVorbisDecoder(manager));
    EXPECT_EQ(device.SetPrimaryFormat(host::HWND{}, false, false, nullptr, 2, rate, 16), 0);
  }

  // Left channel of `frames` pulled frames (the tests play mono, so both sides match).
  std::vector<int16_t> Pull(size_t frames) {
    std::vector<int16_t> stereo = device.Device()->Pull(frames);
    std::vector<int16_t> left(frames);
    for (size_t i = 0; i < frames; ++i) left[i] = stereo[2 * i];
    return left;
  }

  // A mono Ogg tone stored under name; answers its decoded samples.
  std::vector<int16_t> PutTone(const std::string& name, uint32_t ms, uint32_t rate,
                               double frequency = 440) {
    files.Put(name, EncodeTone(frequency, ms, rate, 1));
    return Decode(name);
  }

  // The samples the decoders make of a stored sound.
  std::vector<int16_t> Decode(const std::string& name) {
    DecoderRef d(manager.Open(name.c_str(), nullptr, true, nullptr));
    EXPECT_TRUE(d);
    if (!d) return {};
    std::vector<int16_t> pcm(d->GetPcmBytes() / 2);
    EXPECT_EQ(d->Read(pcm.data(), d->GetPcmBytes()), d->GetPcmBytes());
    return pcm;
  }

  // A mono 16-bit PCMT ramp: sample i is base + i.
  std::vector<int16_t> PutRamp(const std::string& name, uint32_t samples, uint32_t rate,
                               int16_t base = 1) {
    std::vector<int16_t> pcm(samples);
    for (uint32_t i = 0; i < samples; ++i) pcm[i] = static_cast<int16_t>(base + i);
    PutPcm(name, pcm, rate);
    return pcm;
  }
  // Mono 16-bit samples as a PCMT file stored under name.
  void PutPcm(const std::string& name, const std::vector<int16_t>& pcm, uint32_t rate) {
    files.Put(name, MakePcmt(1, rate, 16, Bytes16(pcm)));
  }

  MemoryFiles files;
  ScopedGlobal<SoundFileSource> fileScope{&files};
  SllPluginManager manager;
  ScopedGlobal<SllPluginManager> managerScope{&manager};
  DirectSoundDevice device;
  ScopedGlobal<DirectSoundDevice> deviceScope{&device};
};

constexpr uint32_t kChannelRate = 8000;

class ChannelWorld : public ::testing::Test {
 protected:
  ChannelWorld() { StreamingSoundBuffer::SetUseNotifications(true); }

  // A ramp of `samples` samples starting at base; answers it.
  std::vector<int16_t> Ramp(const std::string& name, uint32_t samples, int16_t base) {
    return w.PutRamp(name, samples, kChannelRate, base);
  }

  // Sets the clock to each time in turn and steps the tasks.
  template <typename... Later>
  void At(uint32_t ms, Later... later) {
    clock.SetMilliseconds(ms);
    timers.RunDue(ms);
    if constexpr (sizeof...(later) > 0) At(static_cast<uint32_t>(later)...);
  }

  static std::vector<int16_t> Join(std::initializer_list<std::vector<int16_t>> parts) {
    std::vector<int16_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  }

  int32_t BgmStreamFactor() { return m.CurrentBgmTrack()->stream.GetVolumeFactor(); }

  std::vector<uint8_t> Save() {
    std::vector<uint8_t> block;
    m.SaveState(block);
    EXPECT_EQ(block.size(), m.GetSaveSize()) << "the announced size is the written size";
    return block;
  }

  host::VirtualClock clock{100};
  ScopedGlobal<host::ClockSource> clockScope{&clock};
  SoundWorld w{kChannelRate};
  TimerService timers;
  SoundChannelManager m{&timers};
};

}  // namespace bw::soundtest
