#include "sound/direct_sound_device.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <iterator>

#include "sound/direct_sound_buffer.h"
#include "sound/sound_world.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using soundtest::MakePcmt;
using soundtest::SoundWorld;

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
  EXPECT_TRUE(std::equal(samples.begin(), samples.end(), wave.begin() + 46));

  // A decoder that delivers far more than it announced is cut a second past its length.
  w.files.Put("LONG.PCMT", MakePcmt(1, 1000, 8, std::vector<uint8_t>(5000, 9), 100));
  ASSERT_EQ(ExportSoundAsWave("LONG.PCMT", out, nullptr), kExportDone);
  EXPECT_EQ(Le32(ReadFile(out), 42), 1100u);
}

// A disk that fills up part-way leaves neither a partial file nor a temporary beside the old one.
TEST(ExportSoundAsWave, AWriteThatFailsPartWayLeavesNoPartialFile) {
  SoundWorld w;
  test::TempDir dir;
  const auto old = dir.WriteFile("old.wav", "old");
  w.files.Put("BIG.PCMT", MakePcmt(1, 8000, 8, std::vector<uint8_t>(20000, 0x90)));

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);  // a short write instead of the signal
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int32_t fresh = ExportSoundAsWave("BIG.PCMT", dir.path() / "new.wav", nullptr);
  const int32_t over = ExportSoundAsWave("BIG.PCMT", old, nullptr);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);

  EXPECT_EQ(fresh, kExportCannotWrite);
  EXPECT_EQ(over, kExportCannotWrite);
  EXPECT_EQ(ReadFile(old), (std::vector<uint8_t>{'o', 'l', 'd'}));
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"old.wav"});
}

}  // namespace
}  // namespace bw
