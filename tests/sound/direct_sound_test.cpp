// The buffers, the device's export of a decoded sound, and a device started without a backend.
// Buffers reaching the backend's output at the primary rate are the whole-game demo run's to hear.
#include <gtest/gtest.h>

#include "common/global.h"
#include "host/audio/sound_device.h"
#include "sound/direct_sound_buffer.h"
#include "sound/direct_sound_device.h"
#include "sound/sound_world.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using soundtest::MakePcmt;
using soundtest::SoundWorld;

std::vector<uint8_t> HostBytes(SoundBuffer& b) {
  host::LockedRegions r;
  EXPECT_EQ(b.GetDirectSoundBuffer()->Lock(0, 0, &r, host::kLockEntireBuffer), host::kSoundOk);
  std::vector<uint8_t> out(r.first, r.first + r.firstBytes);
  EXPECT_EQ(b.GetDirectSoundBuffer()->Unlock(r), host::kSoundOk);
  return out;
}

// Playing once and looped is the sound natives' to check; a lost buffer is restored by the next
// play.
TEST(DirectSoundBuffer, LoadAnswersItsCodesPadsShortDataAndReadsEnvelopes) {
  SoundWorld w;
  const std::vector<int16_t> ramp = w.PutRamp("A.PCMT", 100, 8000);
  w.files.Put("EMPTY.PCMT", MakePcmt(1, 8000, 16, {}, 64));  // announces 64 bytes, holds none
  w.files.Put("WIDE.PCMT", MakePcmt(1, 8000, 24, std::vector<uint8_t>(30, 1)));
  DirectSoundBuffer b;
  EXPECT_EQ(b.Load(nullptr, 0), kSoundLoadNoDevice);
  EXPECT_EQ(b.Load("MISSING.OGG", 0), kSoundLoadNoDecoder);
  EXPECT_EQ(b.Load("EMPTY.PCMT", 0), kSoundLoadNothingDecoded);
  EXPECT_EQ(b.Load("WIDE.PCMT", 0), kSoundLoadNoBuffer);
  EXPECT_EQ(b.GetDirectSoundBuffer(), nullptr) << "every failure leaves the buffer closed";

  ASSERT_EQ(b.Load("A.PCMT", 0), kLoaded);
  ASSERT_EQ(b.PlayLoop(), kSoundBufferOk);
  w.Pull(30);
  EXPECT_EQ(b.Load("A.PCMT", 0), kLoaded);
  EXPECT_TRUE(b.IsPlaying(nullptr, nullptr)) << "the same path again changes nothing";
  // Lost to another program while playing, the next play restores the buffer, samples and all.
  b.GetDirectSoundBuffer()->MarkLost();
  EXPECT_FALSE(b.IsPlaying(nullptr, nullptr));
  ASSERT_EQ(b.Play(), kSoundBufferOk);
  EXPECT_EQ(w.Pull(100), ramp);
  {
    ScopedGlobal<DirectSoundDevice> none(nullptr);
    EXPECT_EQ(DirectSoundBuffer().Load("A.PCMT", 0), kSoundLoadNoDevice);
  }

  // Short data is padded with silence.
  w.files.Put("E8.PCMT", MakePcmt(1, 8000, 8, {1, 2, 3, 4}, 8));
  w.files.Put("E16.PCMT", MakePcmt(1, 8000, 16, {1, 2, 3, 4}, 8));
  DirectSoundBuffer b8, b16;
  ASSERT_EQ(b8.Load("E8.PCMT", 0), kLoaded);
  ASSERT_EQ(b16.Load("E16.PCMT", 1), kLoaded);
  EXPECT_EQ(HostBytes(b8), (std::vector<uint8_t>{1, 2, 3, 4, 0x80, 0x80, 0x80, 0x80}));
  EXPECT_EQ(HostBytes(b16), (std::vector<uint8_t>{1, 2, 3, 4, 0, 0, 0, 0}));

  // Envelopes for lip-sync; samples kept whole and their end are the sound natives' to check.
  std::vector<int16_t> loud(64);
  for (int i = 0; i < 32; ++i) loud[i] = static_cast<int16_t>(i % 2 ? -1000 : 1000);
  for (int i = 32; i < 64; ++i) loud[i] = static_cast<int16_t>(i % 2 ? -4000 : 4000);
  w.PutPcm("V16.PCMT", loud, 8000);
  w.files.Put("V8.PCMT", MakePcmt(1, 8000, 8, std::vector<uint8_t>(40, 0x80 + 20)));

  DirectSoundBuffer envelope, env8;
  ASSERT_EQ(envelope.Load("V16.PCMT", kLipSyncEnvelope), kLoaded);
  ASSERT_EQ(env8.Load("V8.PCMT", kLipSyncEnvelope), kLoaded);

  EXPECT_EQ(envelope.GetSample(2), 1000) << "each block holds its mean loudness";
  EXPECT_EQ(envelope.EnvelopePeak(), 1000);
  EXPECT_EQ(envelope.GetLevel(70, 100), 99u) << "a level at the peak stays below the range";
  EXPECT_EQ(HostBytes(envelope), soundtest::Bytes16(loud)) << "the sound plays as decoded";

  EXPECT_EQ(env8.GetLevel(35, 0), 40u) << "8-bit means, a short last block kept as decoded";
}

// A factor is a share of full volume out of 256: the host gets its level in hundredths of a
// decibel, and the mix plays each sample at that share.
TEST(DirectSoundBuffer, VolumeFactorsAreSharesOfFullVolume) {
  SoundWorld w;
  w.PutRamp("A.PCMT", 100, 8000, 4000);
  const struct {
    int32_t factor, hundredths;
    int16_t first;
  } cases[] = {{256, 0, 4000},    {400, 0, 4000}, {128, -602, 2000},
               {64, -1204, 1000}, {1, -4816, 16}, {0, host::kVolumeMin, 0}};
  for (const auto& c : cases) {
    DirectSoundBuffer b;
    ASSERT_EQ(b.Load("A.PCMT", 0), kLoaded);
    ASSERT_EQ(b.SetVolume(c.factor), kSoundBufferOk) << c.factor;
    int32_t level = 1;
    ASSERT_EQ(b.GetDirectSoundBuffer()->GetVolume(&level), host::kSoundOk);
    EXPECT_EQ(level, c.hundredths) << "factor " << c.factor;
    ASSERT_EQ(b.Play(), kSoundBufferOk);
    EXPECT_NEAR(w.Pull(1)[0], c.first, 1) << "factor " << c.factor;
  }
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& p) {
  const std::string bytes = test::ReadFile(p);
  return {bytes.begin(), bytes.end()};
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST(ExportSoundAsWave, WritesRiffWaveAndAFailedWriteLeavesNoPartialFile) {
  SoundWorld w;
  test::TempDir dir;
  // The samples behind the header are the export native's to check.
  w.files.Put("V.PCMT", MakePcmt(1, 22050, 16, std::vector<uint8_t>(44100, 7)));
  const auto out = dir.path() / "v.wav";
  ASSERT_EQ(ExportSoundAsWave("V.PCMT", out, nullptr), kExportDone);
  const std::vector<uint8_t> wave = ReadFile(out);
  ASSERT_EQ(wave.size(), 44146u);
  // RIFF (38 + 44100), WAVE, "fmt " of 18: PCM, mono, 22050 Hz, 44100 bytes a second, frames of
  // 2, 16 bits, no extra bytes; then the data's size.
  // clang-format off
  const std::vector<uint8_t> header = {
      'R', 'I', 'F', 'F', 0x6A, 0xAC, 0, 0,
      'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 18, 0, 0, 0,
      1, 0, 1, 0, 0x22, 0x56, 0, 0,
      0x44, 0xAC, 0, 0, 2, 0, 16, 0, 0, 0,
      'd', 'a', 't', 'a', 0x44, 0xAC, 0, 0};
  // clang-format on
  EXPECT_EQ(std::vector<uint8_t>(wave.begin(), wave.begin() + 46), header);

  // A decoder that delivers far more than it announced is cut a second past its length.
  w.files.Put("LONG.PCMT", MakePcmt(1, 1000, 8, std::vector<uint8_t>(5000, 9), 100));
  ASSERT_EQ(ExportSoundAsWave("LONG.PCMT", out, nullptr), kExportDone);
  EXPECT_EQ(Le32(ReadFile(out), 42), 1100u);

  // A disk that fills up part-way leaves neither a partial file nor a temporary beside the old
  // one.
  const std::vector<uint8_t> before = ReadFile(out);
  w.files.Put("BIG.PCMT", MakePcmt(1, 8000, 8, std::vector<uint8_t>(20000, 0x90)));

  int32_t fresh = 0, over = 0;
  {
    test::FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.set);
    fresh = ExportSoundAsWave("BIG.PCMT", dir.path() / "new.wav", nullptr);
    over = ExportSoundAsWave("BIG.PCMT", out, nullptr);
  }
  EXPECT_EQ(fresh, kExportCannotWrite);
  EXPECT_EQ(over, kExportCannotWrite);
  EXPECT_EQ(ReadFile(out), before);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"v.wav"});
}

constexpr uint32_t kRateCode22k = 22;

// An output that will not open is the sound warning's to show in a whole game; without a backend
// at all the start answers the same.
TEST(DirectSoundOutput, WithoutABackendNothingOpens) {
  DirectSoundDevice alone(SoundOutput::kBackend);
  EXPECT_EQ(alone.SetPrimaryFormat(host::HWND{}, false, false, nullptr, 2, kRateCode22k, 16),
            kPrimaryNoOutput);
  EXPECT_FALSE(alone.IsOutputOpen());
}

}  // namespace
}  // namespace bw
