// The seed corpus of the Ogg Vorbis fuzz target is written by the Ogg Vorbis writer. This test
// checks that the committed seeds are what the writer makes today; run it with
// BW_WRITE_FUZZ_SEEDS=1 to write them again. The corpus also keeps inputs the fuzzer found
// that once crashed the decoder (time_tell_before_first_link: a chain of two streams whose
// failed seek left the library before its first link).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "lib/ogg/ogg_vorbis_writer.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Tone(double hz, uint32_t ms, uint32_t rate, int channels) {
  std::vector<uint8_t> ogg;
  EXPECT_EQ(tools::EncodeOggVorbis(tools::MakeSineTone(hz, ms, rate, channels), channels, rate,
                                   &ogg),
            tools::kOggOk);
  return ogg;
}

std::map<std::string, std::vector<uint8_t>> Seeds() {
  std::map<std::string, std::vector<uint8_t>> seeds;
  seeds["mono"] = Tone(440, 200, 8000, 1);
  seeds["stereo"] = Tone(660, 100, 22050, 2);
  std::vector<uint8_t> cut = seeds["stereo"];
  cut.resize(cut.size() / 2);
  seeds["cut"] = cut;
  std::vector<uint8_t> flipped = seeds["mono"];
  for (size_t i = flipped.size() / 3; i < flipped.size(); i += 97) flipped[i] ^= 0x5A;
  seeds["flipped"] = flipped;
  return seeds;
}

TEST(OggFuzzSeeds, AreWhatTheWriterMakes) {
  const fs::path folder =
      fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz" / "corpus" / "ogg";
  const bool write = std::getenv("BW_WRITE_FUZZ_SEEDS") != nullptr;
  if (write) fs::create_directories(folder);
  for (const auto& [name, bytes] : Seeds()) {
    const fs::path path = folder / name;
    if (write) {
      std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<std::streamsize>(bytes.size()));
    }
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> stored{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(stored, bytes) << path << " differs; rerun with BW_WRITE_FUZZ_SEEDS=1";
  }
}

}  // namespace
}  // namespace bw
