#include "host/audio/sound_device.h"

#include <cstdlib>

#include "host/audio/sound_test_rig.h"
#include "host/sdl/sdl_audio_output.h"
#include "support/failing_allocation.h"

namespace bw::host {
namespace {

TEST(SoundDevice, PrimaryFormatNeedsThePriorityLevel) {
  SoundDevice device;
  std::unique_ptr<SoundBuffer> primary;
  ASSERT_EQ(device.CreateBuffer({kBufferPrimary, 0, nullptr}, &primary), kSoundOk);
  const WaveFormat cd = MakePcmFormat(2, 44100, 16);
  EXPECT_EQ(primary->SetFormat(cd), kSoundPriorityLevelNeeded);

  device.SetPriorityLevelRefused(true);
  EXPECT_EQ(device.SetCooperativeLevel(kCooperativePriority), kSoundInvalidCall);
  EXPECT_EQ(primary->SetFormat(cd), kSoundPriorityLevelNeeded) << "the refused level is not held";

  device.SetPriorityLevelRefused(false);
  ASSERT_EQ(device.SetCooperativeLevel(kCooperativePriority), kSoundOk);
  WaveFormat bad = cd;
  bad.blockAlign = 2;
  EXPECT_EQ(primary->SetFormat(bad), kSoundBadFormat);
  ASSERT_EQ(primary->SetFormat(cd), kSoundOk);
  LockedRegions r;
  EXPECT_EQ(primary->Lock(0, 4, &r), kSoundInvalidCall);
  std::unique_ptr<SoundBuffer> copy;
  EXPECT_EQ(device.DuplicateBuffer(*primary, &copy), kSoundInvalidCall);
}

TEST(SoundDevice, CreateRefusesBadDescriptions) {
  SoundDevice device;
  std::unique_ptr<SoundBuffer> buffer;
  const WaveFormat ok = MakePcmFormat(1, 22050, 16);
  WaveFormat wrongByteRate = ok;
  wrongByteRate.avgBytesPerSec = 1;
  const WaveFormat badFormats[] = {MakePcmFormat(3, 22050, 16), MakePcmFormat(2, 100001, 16),
                                   wrongByteRate};
  for (const WaveFormat& f : badFormats) {
    EXPECT_EQ(device.CreateBuffer({0, 64, &f}, &buffer), kSoundBadFormat)
        << f.channels << " channels " << f.bitsPerSample << " bits " << f.samplesPerSec << " Hz";
  }
  const BufferDesc badDescs[] = {
      {0, 63, &ok}, {0, kBufferMaxBytes + 1, &ok}, {0, 64, nullptr}, {kBufferPrimary, 64, nullptr}};
  for (const BufferDesc& d : badDescs) {
    EXPECT_EQ(device.CreateBuffer(d, &buffer), kSoundInvalidParam) << d.flags << " " << d.bytes;
  }
  EXPECT_EQ(buffer, nullptr);

  // A new buffer holds silence of its sample width.
  const WaveFormat eight = MakePcmFormat(1, 8000, 8);
  ASSERT_EQ(device.CreateBuffer({0, 800, &eight}, &buffer), kSoundOk);
  LockedRegions r;
  ASSERT_EQ(buffer->Lock(0, 0, &r, kLockEntireBuffer), kSoundOk);
  EXPECT_EQ(r.first[799], 0x80);
  std::unique_ptr<SoundBuffer> copy;
  EXPECT_EQ(SoundDevice().DuplicateBuffer(*buffer, &copy), kSoundInvalidParam)
      << "another device's buffer";
}

TEST(SoundDevice, ABufferThatCannotBeMadeAnswersOutOfMemory) {
  SoundDevice device;
  const WaveFormat format = MakePcmFormat(1, 8000, 8);
  std::unique_ptr<SoundBuffer> source, buffer;
  ASSERT_EQ(device.CreateBuffer({0, 8, &format}, &source), kSoundOk);
  test::FailingAllocations failing;
  EXPECT_EQ(device.CreateBuffer({kBufferPrimary, 0, nullptr}, &buffer), kSoundOutOfMemory);
  EXPECT_EQ(device.CreateBuffer({0, 8, &format}, &buffer), kSoundOutOfMemory);
  EXPECT_EQ(device.DuplicateBuffer(*source, &buffer), kSoundOutOfMemory);
  EXPECT_EQ(buffer, nullptr);
}

// Restoring a lost buffer is the engine sound buffer's test, which plays it again.
TEST(SoundDevice, ALostBufferStopsAndRefusesLocksPlaysAndCopies) {
  SoundRig rig;
  auto buffer = rig.Ramp(100);
  CountingTarget onStop;
  const NotifyPosition positions[] = {{kNotifyOnStop, &onStop}};
  ASSERT_EQ(buffer->SetNotificationPositions(positions), kSoundOk);
  EXPECT_EQ(0, buffer->Play(kPlayLooping));
  buffer->MarkLost();
  EXPECT_EQ(onStop.count, 1);
  LockedRegions r;
  EXPECT_EQ(buffer->Lock(0, 4, &r), kSoundBufferLost);
  EXPECT_EQ(buffer->Play(0), kSoundBufferLost);
  std::unique_ptr<SoundBuffer> copy;
  EXPECT_EQ(rig.device.DuplicateBuffer(*buffer, &copy), kSoundBufferLost);
}

TEST(SdlAudioOutput, ReportsADriverThatCannotOpen) {
  SoundDevice device;
  SdlAudioOutput output(device);
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_EQ(output.Open(), kSoundNoDriver);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_FALSE(output.IsOpen());
  EXPECT_FALSE(output.Error().empty());
}

}  // namespace
}  // namespace bw::host
