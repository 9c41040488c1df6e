// The device plays through the output the backend makes, opened when the primary format is set.
#include <gtest/gtest.h>

#include <cstring>

#include "common/global.h"
#include "host/audio/sound_device.h"
#include "host/headless/headless_backend.h"
#include "sound/direct_sound_device.h"

namespace bw {
namespace {

constexpr uint32_t kRateCode22k = 22;

// A stereo buffer at the primary rate holding a known ramp, played once: the same samples come
// out of the backend's output.
TEST(DirectSoundOutput, ABufferPlaysThroughTheBackendsOutputAtThePrimaryRate) {
  host::HeadlessBackend backend;
  ScopedGlobal<host::Backend> use(&backend);
  DirectSoundDevice device(SoundOutput::kBackend);
  EXPECT_FALSE(device.IsOutputOpen());
  ASSERT_EQ(device.SetPrimaryFormat(host::HWND{}, false, false, nullptr, 2, kRateCode22k, 16), 0);
  ASSERT_TRUE(device.IsOutputOpen());
  EXPECT_EQ(backend.CapturedRate(), 22050u);

  std::vector<int16_t> ramp(2 * 64);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = int16_t((i % 2 ? -100 : 100) * int(i));
  const host::WaveFormat format = host::MakePcmFormat(2, 22050, 16);
  std::unique_ptr<host::SoundBuffer> buffer;
  ASSERT_EQ(device.Device()->CreateBuffer({0, uint32_t(2 * ramp.size()), &format}, &buffer),
            host::kSoundOk);
  host::LockedRegions region;
  ASSERT_EQ(buffer->Lock(0, 0, &region, host::kLockEntireBuffer), host::kSoundOk);
  std::memcpy(region.first, ramp.data(), 2 * ramp.size());
  ASSERT_EQ(buffer->Unlock(region), host::kSoundOk);
  ASSERT_EQ(buffer->Play(0), host::kSoundOk);

  ASSERT_TRUE(backend.PullSound(64));
  EXPECT_EQ(backend.CapturedSound(), ramp);
  ASSERT_TRUE(backend.PullSound(4));
  EXPECT_EQ(backend.CapturedSound().back(), 0) << "silence once the buffer has played";
}

TEST(DirectSoundOutput, SaysWhyNothingPlays) {
  {
    host::HeadlessBackend backend;
    ScopedGlobal<host::Backend> use(&backend);
    backend.FailAudioOutput("no sound card");
    DirectSoundDevice device(SoundOutput::kBackend);
    EXPECT_EQ(device.SetPrimaryFormat(host::HWND{}, false, false, nullptr, 2, kRateCode22k, 16),
              kPrimaryNoOutput)
        << "a start that nobody can hear is no success";
    EXPECT_FALSE(device.IsOutputOpen());
    EXPECT_EQ(device.OutputError(), "no sound card");
  }
  DirectSoundDevice alone(SoundOutput::kBackend);
  EXPECT_EQ(alone.SetPrimaryFormat(host::HWND{}, false, false, nullptr, 2, kRateCode22k, 16),
            kPrimaryNoOutput);
  EXPECT_FALSE(alone.IsOutputOpen());
}

}  // namespace
}  // namespace bw
