#include "host/audio/sound_device.h"

#include "host/audio/sdl_audio_output.h"
#include "host/audio/sound_test_rig.h"

namespace bw::host {
namespace {

TEST(SoundDevice, PrimaryFormatNeedsThePriorityLevel) {
  SoundDevice device;
  EXPECT_EQ(device.PrimaryFormat(), MakePcmFormat(2, 22050, 8));
  std::unique_ptr<SoundBuffer> primary;
  ASSERT_EQ(device.CreateBuffer({kBufferPrimary, 0, nullptr}, &primary), kSoundOk);
  const WaveFormat cd = MakePcmFormat(2, 44100, 16);
  EXPECT_EQ(primary->SetFormat(cd), kSoundPriorityLevelNeeded);

  device.SetPriorityLevelRefused(true);
  EXPECT_EQ(device.SetCooperativeLevel(kCooperativePriority), kSoundInvalidCall);
  EXPECT_EQ(device.SetCooperativeLevel(kCooperativeNormal), kSoundOk);
  EXPECT_EQ(device.CooperativeLevel(), kCooperativeNormal);
  EXPECT_EQ(primary->SetFormat(cd), kSoundPriorityLevelNeeded);

  device.SetPriorityLevelRefused(false);
  ASSERT_EQ(device.SetCooperativeLevel(kCooperativePriority), kSoundOk);
  WaveFormat bad = cd;
  bad.blockAlign = 2;
  EXPECT_EQ(primary->SetFormat(bad), kSoundBadFormat);
  ASSERT_EQ(primary->SetFormat(cd), kSoundOk);
  WaveFormat read;
  ASSERT_EQ(primary->GetFormat(&read), kSoundOk);
  EXPECT_EQ(read, cd);
  EXPECT_EQ(device.Pull(3).size(), 6u);
  LockedRegions r;
  EXPECT_EQ(primary->Lock(0, 4, &r), kSoundInvalidCall);
}

TEST(SoundDevice, CreateRefusesBadDescriptions) {
  SoundDevice device;
  std::unique_ptr<SoundBuffer> buffer;
  const WaveFormat ok = MakePcmFormat(1, 22050, 16);
  auto withRate = [](uint32_t rate) { return MakePcmFormat(2, rate, 16); };
  const WaveFormat badFormats[] = {MakePcmFormat(3, 22050, 16), MakePcmFormat(1, 22050, 24),
                                   withRate(99), withRate(100001)};
  for (const WaveFormat& f : badFormats) {
    EXPECT_EQ(device.CreateBuffer({0, 64, &f}, &buffer), kSoundBadFormat)
        << f.channels << " channels " << f.bitsPerSample << " bits " << f.samplesPerSec << " Hz";
  }
  WaveFormat wrongRate = ok;
  wrongRate.avgBytesPerSec = 1;
  EXPECT_EQ(device.CreateBuffer({0, 64, &wrongRate}, &buffer), kSoundBadFormat);
  EXPECT_EQ(device.CreateBuffer({0, 0, &ok}, &buffer), kSoundInvalidParam);
  EXPECT_EQ(device.CreateBuffer({0, 63, &ok}, &buffer), kSoundInvalidParam);
  EXPECT_EQ(device.CreateBuffer({0, kBufferMaxBytes + 1, &ok}, &buffer), kSoundInvalidParam);
  EXPECT_EQ(device.CreateBuffer({0, 64, nullptr}, &buffer), kSoundInvalidParam);
  EXPECT_EQ(device.CreateBuffer({0x10000000, 64, &ok}, &buffer), kSoundInvalidParam);
  EXPECT_EQ(device.CreateBuffer({kBufferPrimary, 64, nullptr}, &buffer), kSoundInvalidParam);
  EXPECT_EQ(buffer, nullptr);

  // A new buffer holds silence of its sample width.
  const WaveFormat eight = MakePcmFormat(1, 8000, 8);
  ASSERT_EQ(device.CreateBuffer({0, 800, &eight}, &buffer), kSoundOk);
  LockedRegions r;
  ASSERT_EQ(buffer->Lock(0, 0, &r, kLockEntireBuffer), kSoundOk);
  EXPECT_EQ(r.first[0], 0x80);
  EXPECT_EQ(r.first[799], 0x80);
}

TEST(SoundDevice, ControlsNeedTheirFlagsAndRanges) {
  SoundRig rig;
  auto plain = rig.Ramp(4, 0);
  int32_t value = 0;
  uint32_t hz = 0;
  EXPECT_EQ(plain->SetVolume(0), kSoundControlUnavailable);
  EXPECT_EQ(plain->GetPan(&value), kSoundControlUnavailable);
  EXPECT_EQ(plain->SetFrequency(22050), kSoundControlUnavailable);

  auto buffer = rig.Ramp(4);
  EXPECT_EQ(buffer->SetVolume(kVolumeMin - 1), kSoundInvalidParam);
  EXPECT_EQ(buffer->SetVolume(kVolumeMax + 1), kSoundInvalidParam);
  EXPECT_EQ(buffer->SetPan(kPanRight + 1), kSoundInvalidParam);
  EXPECT_EQ(buffer->SetFrequency(kFrequencyMin - 1), kSoundInvalidParam);
  EXPECT_EQ(buffer->SetFrequency(kFrequencyMax + 1), kSoundInvalidParam);
  EXPECT_EQ(buffer->Play(2), kSoundInvalidParam);
  ASSERT_EQ(buffer->SetFrequency(kFrequencyMax), kSoundOk);
  ASSERT_EQ(buffer->GetFrequency(&hz), kSoundOk);
  EXPECT_EQ(hz, kFrequencyMax);
  ASSERT_EQ(buffer->SetPan(-123), kSoundOk);
  ASSERT_EQ(buffer->GetPan(&value), kSoundOk);
  EXPECT_EQ(value, -123);
}

TEST(SoundDevice, LostBufferRefusesLockAndPlayUntilRestored) {
  SoundRig rig;
  auto buffer = rig.Ramp(100);
  CountingTarget onStop;
  const NotifyPosition positions[] = {{kNotifyOnStop, &onStop}};
  ASSERT_EQ(buffer->SetNotificationPositions(positions), kSoundOk);
  buffer->Play(kPlayLooping);
  buffer->MarkLost();
  EXPECT_EQ(onStop.count, 1);
  uint32_t status = 0;
  buffer->GetStatus(&status);
  EXPECT_EQ(status, kStatusBufferLost);
  LockedRegions r;
  EXPECT_EQ(buffer->Lock(0, 4, &r), kSoundBufferLost);
  EXPECT_EQ(buffer->Play(0), kSoundBufferLost);
  std::unique_ptr<SoundBuffer> copy;
  EXPECT_EQ(rig.device.DuplicateBuffer(*buffer, &copy), kSoundBufferLost);

  ASSERT_EQ(buffer->Restore(), kSoundOk);
  EXPECT_EQ(buffer->Lock(0, 4, &r), kSoundOk);
  EXPECT_EQ(buffer->Play(0), kSoundOk);
}

TEST(SoundDevice, DuplicateRefusesAnotherDevicesBuffer) {
  SoundRig rig;
  SoundDevice other;
  auto buffer = rig.Ramp(4);
  std::unique_ptr<SoundBuffer> copy;
  EXPECT_EQ(other.DuplicateBuffer(*buffer, &copy), kSoundInvalidParam);
  std::unique_ptr<SoundBuffer> primary;
  rig.device.CreateBuffer({kBufferPrimary, 0, nullptr}, &primary);
  EXPECT_EQ(rig.device.DuplicateBuffer(*primary, &copy), kSoundInvalidCall);
}

TEST(SdlAudioOutput, OpensAtThePrimaryRateOnTheDummyDriver) {
  SoundRig rig(48000);
  auto buffer = rig.Ramp(4800);
  buffer->Play(kPlayLooping);
  SdlAudioOutput output(rig.device);
  ASSERT_EQ(output.Open(), kSoundOk) << output.Error();
  EXPECT_TRUE(output.IsOpen());
  EXPECT_EQ(output.Rate(), 48000u);
  ASSERT_EQ(output.Open(), kSoundOk) << "reopening closes first";
  output.Close();
  EXPECT_FALSE(output.IsOpen());
  output.Close();
  EXPECT_EQ(buffer->Stop(), kSoundOk);
}

}  // namespace
}  // namespace bw::host
