// The device plays through the output the backend makes, opened when the primary format is set.
#include <gtest/gtest.h>

#include "common/global.h"
#include "host/headless/headless_backend.h"
#include "sound/direct_sound_device.h"

namespace bw {
namespace {

constexpr uint32_t kRateCode22k = 22;

TEST(DirectSoundOutput, PlaysThroughTheBackendsOutputAtThePrimaryRate) {
  host::HeadlessBackend backend;
  ScopedGlobal<host::Backend> use(&backend);
  DirectSoundDevice device(SoundOutput::kBackend);
  EXPECT_FALSE(device.IsOutputOpen());
  ASSERT_EQ(device.SetPrimaryFormat(host::HWND{}, false, false, nullptr, 2, kRateCode22k, 16), 0);
  EXPECT_TRUE(device.IsOutputOpen());
  ASSERT_TRUE(backend.PullSound(10));
  EXPECT_EQ(backend.CapturedSound(), std::vector<int16_t>(20, 0)) << "ten stereo frames of silence";
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
