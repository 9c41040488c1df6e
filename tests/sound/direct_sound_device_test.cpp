#include "sound/direct_sound_device.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "sound/direct_sound_buffer.h"
#include "sound/sound_world.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using soundtest::MakePcmt;
using soundtest::SoundWorld;

TEST(DirectSoundDevice, CreatesOnlyThePrimaryDriver) {
  DirectSoundDevice device;
  SoundDeviceGuid other;
  other.bytes[3] = 7;
  EXPECT_EQ(device.Create(host::HWND{}, false, false, &other), kDeviceInitializeRefused);
  EXPECT_EQ(device.Device(), nullptr);
  const SoundDeviceGuid zero;
  ASSERT_EQ(device.Create(host::HWND{}, true, true, &zero), kDeviceCreated);
  EXPECT_EQ(device.CooperativeLevel(), host::kCooperativePriority);
  EXPECT_EQ(device.ExtraBufferFlags(), host::kBufferGlobalFocus | host::kBufferLocSoftware);
  EXPECT_NE(device.KeepAliveBuffer(), nullptr);
}

TEST(DirectSoundDevice, SetsThePrimaryFormatByRateCode) {
  const std::pair<uint32_t, uint32_t> rates[] = {{8, 8000}, {11, 11025}, {22, 22050}, {44, 44100}, {48000, 48000}};
  for (auto [code, hz] : rates) {
    DirectSoundDevice device;
    ASSERT_EQ(device.SetPrimaryFormat(host::HWND{}, false, false, nullptr, 2, code, 16), 0);
    EXPECT_EQ(device.Device()->PrimaryFormat(), host::MakePcmFormat(2, hz, 16)) << code;
  }
  DirectSoundDevice device;
  EXPECT_EQ(device.SetPrimaryFormat(host::HWND{}, false, false, nullptr, 3, 44, 16),
            kPrimaryFormatRefused);
  device.Device()->SetPriorityLevelRefused(true);
  ASSERT_EQ(device.SetCooperativeLevel(host::kCooperativeNormal), kDeviceOk);
  EXPECT_EQ(device.SetPrimaryFormat(host::HWND{}, false, false, nullptr, 2, 44, 16),
            kPrimaryNeedsPriority);
  EXPECT_EQ(device.PrimaryBuffer(), nullptr);
}

TEST(DirectSoundDevice, PlaysThroughSdlOnceTheFormatIsSet) {
  DirectSoundDevice device(SoundOutput::kSdl);
  EXPECT_FALSE(device.IsOutputOpen());
  ASSERT_EQ(device.SetPrimaryFormat(host::HWND{}, false, false, nullptr, 2, 22, 16), 0);
  EXPECT_TRUE(device.IsOutputOpen()) << device.OutputError();
  EXPECT_FALSE(DirectSoundDevice().IsOutputOpen()) << "headless devices are pulled instead";
}

TEST(DirectSoundDevice, ListsTheBuffersItMakes) {
  SoundWorld w;
  const std::vector<int16_t> ramp = w.PutRamp("A.PCMT", 400, 8000);
  w.files.Put("BAD.PCMT", {'x'});
  SoundBuffer* a = nullptr;
  SoundBuffer* bad = reinterpret_cast<SoundBuffer*>(1);
  ASSERT_EQ(w.device.CreateBuffer(&a, "A.PCMT", 0), kLoaded);
  EXPECT_EQ(w.device.CreateBuffer(&bad, "BAD.PCMT", 0), kLoadNoDecoder);
  EXPECT_EQ(bad, nullptr);
  EXPECT_EQ(w.device.BufferCount(), 1u) << "a failed load lists nothing";

  SoundBuffer* copy = nullptr;
  ASSERT_EQ(w.device.CreateDuplicate(&copy, a), kDuplicated);
  EXPECT_EQ(w.device.CreateDuplicate(&bad, nullptr), kDuplicateNoSource);
  copy->SetVolume(128);
  ASSERT_EQ(copy->Play(), kSoundBufferOk);
  const std::vector<int16_t> got = w.Pull(2);
  EXPECT_EQ(got[1], static_cast<int16_t>(ramp[1] * 0.5f + 0.5f)) << "the duplicate plays the source's samples at its own volume";

  ASSERT_EQ(a->PlayLoop(), kSoundBufferOk);
  w.device.PauseAllBuffers();
  EXPECT_FALSE(a->IsPlaying(nullptr, nullptr));
  w.device.ResumeAllBuffers();
  EXPECT_TRUE(a->IsPlaying(nullptr, nullptr));
  w.device.StopAllBuffers();
  EXPECT_FALSE(a->IsPlaying(nullptr, nullptr));

  DirectSoundBuffer elsewhere;
  EXPECT_EQ(w.device.RemoveBuffer(&elsewhere), kListNotListed);
  EXPECT_EQ(w.device.RemoveBuffer(nullptr), kListNullBuffer);
  EXPECT_EQ(w.device.RemoveBuffer(a), kListOk);
  EXPECT_EQ(w.device.BufferCount(), 1u);
  w.device.DeleteAllBuffers();
  EXPECT_EQ(w.device.BufferCount(), 0u);
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST(ExportSoundAsWave, WritesTheDecodedSoundAsRiffWave) {
  SoundWorld w;
  test::TempDir dir;
  std::vector<uint8_t> samples(44100);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 7);
  w.files.Put("V.PCMT", MakePcmt(1, 22050, 16, samples));
  const auto out = dir.path() / "v.wav";
  ASSERT_EQ(ExportSoundAsWave("V.PCMT", out, nullptr), kExportDone);
  const std::vector<uint8_t> wave = ReadFile(out);
  ASSERT_EQ(wave.size(), 44146u);
  EXPECT_EQ(std::string(wave.begin(), wave.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(wave.begin() + 8, wave.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le32(wave, 4), 44138u);
  EXPECT_EQ(Le32(wave, 16), 18u);
  EXPECT_EQ(Le32(wave, 24), 22050u);
  EXPECT_EQ(Le32(wave, 28), 44100u);
  EXPECT_EQ(Le32(wave, 32), 16u << 16 | 2) << "block align 2, 16 bits";
  EXPECT_EQ(std::string(wave.begin() + 38, wave.begin() + 42), "data");
  EXPECT_EQ(Le32(wave, 42), 44100u);
  EXPECT_TRUE(std::equal(samples.begin(), samples.end(), wave.begin() + 46));

  // A decoder that delivers far more than it announced is cut a second past its length.
  w.files.Put("LONG.PCMT", MakePcmt(1, 1000, 8, std::vector<uint8_t>(5000, 9), 100));
  ASSERT_EQ(ExportSoundAsWave("LONG.PCMT", out, nullptr), kExportDone);
  EXPECT_EQ(Le32(ReadFile(out), 42), 1100u);
}

TEST(ExportSoundAsWave, FailuresLeaveTheOldFile) {
  SoundWorld w;
  test::TempDir dir;
  const auto out = dir.WriteFile("old.wav", "old");
  w.PutRamp("R.PCMT", 10, 8000);
  EXPECT_EQ(ExportSoundAsWave(nullptr, out, nullptr), kExportBadArgument);
  EXPECT_EQ(ExportSoundAsWave("MISSING.OGG", out, nullptr), kExportNoDecoder);
  EXPECT_EQ(ExportSoundAsWave("R.PCMT", dir.path() / "no" / "such.wav", nullptr),
            kExportCannotWrite);
  EXPECT_EQ(ReadFile(out), (std::vector<uint8_t>{'o', 'l', 'd'}));
  {
    ScopedGlobal<SllPluginManager> none(nullptr);
    EXPECT_EQ(ExportSoundAsWave("R.PCMT", out, nullptr), kExportBadArgument);
  }
}

}  // namespace
}  // namespace bw
