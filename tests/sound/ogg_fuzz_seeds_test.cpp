// The seed corpus of the Ogg Vorbis fuzz target is written by the Ogg Vorbis writer. The corpus
// also keeps inputs the fuzzer found that once crashed the decoder (time_tell_before_first_link:
// a chain of two streams whose failed seek left the library before its first link).
#include <gtest/gtest.h>

#include "sound/sound_world.h"
#include "support/fuzz_seeds.h"

namespace bw {
namespace {

TEST(OggFuzzSeeds, AreWhatTheWriterMakes) {
  test::FuzzSeeds seeds;
  seeds["mono"] = soundtest::EncodeTone(440, 200, 8000, 1);
  seeds["stereo"] = soundtest::EncodeTone(660, 100, 22050, 2);
  std::vector<uint8_t> cut = seeds["stereo"];
  cut.resize(cut.size() / 2);
  seeds["cut"] = cut;
  std::vector<uint8_t> flipped = seeds["mono"];
  for (size_t i = flipped.size() / 3; i < flipped.size(); i += 97) flipped[i] ^= 0x5A;
  seeds["flipped"] = flipped;
  test::CheckOrWriteFuzzSeeds("ogg", seeds);
}

}  // namespace
}  // namespace bw
