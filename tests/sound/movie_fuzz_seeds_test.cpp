// The seed corpus of the movie fuzz target is written by the movie writer: a whole movie, one
// without picture, one cut short and one with spoilt packets.
#include <gtest/gtest.h>

#include "support/fuzz_seeds.h"
#include "support/movie_samples.h"

namespace bw {
namespace {

TEST(MovieFuzzSeeds, AreWhatTheWriterMakes) {
  tools::MovieWriterOptions small;
  small.width = 32;
  small.height = 32;
  small.ms = 400;
  small.soundRate = 22050;
  test::FuzzSeeds seeds;
  seeds["whole"] = test::MakeMovie(small);
  tools::MovieWriterOptions sound = small;
  sound.picture = false;
  seeds["sound_only"] = test::MakeMovie(sound);
  tools::MovieWriterOptions cut = small;
  cut.keepPercent = 50;
  seeds["cut"] = test::MakeMovie(cut);
  tools::MovieWriterOptions spoilt = small;
  spoilt.corrupt = true;
  seeds["spoilt"] = test::MakeMovie(spoilt);
  for (const auto& [name, bytes] : seeds) ASSERT_FALSE(bytes.empty()) << name;
  test::CheckOrWriteFuzzSeeds("movie", seeds);
}

}  // namespace
}  // namespace bw
