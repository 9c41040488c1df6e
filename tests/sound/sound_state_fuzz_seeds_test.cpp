// The seed corpus of the sound-state fuzz target is written by the channel manager's own save.
// This test checks that the committed seeds are what it writes today; run it with
// BW_WRITE_FUZZ_SEEDS=1 to write them again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "sound/channel_world.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

class SoundStateSeeds : public soundtest::ChannelWorld {
 protected:
  std::vector<uint8_t> Save() {
    std::vector<uint8_t> block;
    m.SaveState(block);
    return block;
  }
};

TEST_F(SoundStateSeeds, AreWhatTheManagerSaves) {
  std::map<std::string, std::vector<uint8_t>> seeds;
  seeds["silent"] = Save();
  Ramp("BGM\\I.PCMT", 100, 1);
  Ramp("BGM\\M.PCMT", 100, 1);
  Ramp("SE.PCMT", 100, 1);
  ASSERT_EQ(m.PlayBgm("BGM\\M.PCMT", "BGM\\I.PCMT", true), kSoundOk);
  m.SetBgmPan(-300);
  m.SetChannelCount(3);
  ASSERT_EQ(m.LoadChannel(0, "SE.PCMT", kLipSyncEnvelope, false), kSoundOk);
  m.SetChannelVolume(0, 70, -1);
  m.PlayChannel(0, true);
  m.SetChannelKind(1, kVoice | kSoundEffect);
  ASSERT_EQ(m.LoadChannel(1, "SE.PCMT", kLipSyncNone, true), kSoundOk);
  seeds["music_and_channels"] = Save();
  const std::string longName(kMaxSoundNameBytes, 'N');
  Ramp(longName, 100, 1);
  ASSERT_EQ(m.LoadChannel(2, longName.c_str(), kLipSyncNone, false), kSoundOk);
  seeds["longest_name"] = Save();

  const fs::path folder = fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz" /
                          "corpus" / "sound_state";
  const bool write = std::getenv("BW_WRITE_FUZZ_SEEDS") != nullptr;
  if (write) fs::create_directories(folder);
  for (const auto& [name, bytes] : seeds) {
    const fs::path path = folder / name;
    if (write) {
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    }
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> stored{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(stored, bytes) << path << " differs; rerun with BW_WRITE_FUZZ_SEEDS=1";
  }
}

}  // namespace
}  // namespace bw
