// Test movies made by the movie writer, and the checks their picture and sound are read with.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "lib/movie/movie_writer.h"

namespace bw::test {

// The movie, or empty when the writer refused (the caller asserts).
std::vector<uint8_t> MakeMovie(const tools::MovieWriterOptions& options);
// The frequency of 16-bit stereo PCM at rate, from the left channel's rising zero crossings.
double ToneOfPcm(std::span<const uint8_t> pcm, uint32_t rate);
// Whether two 0xRRGGBB colours are within tolerance on every channel (lossy codecs shift them).
bool ColourNear(uint32_t actual, uint32_t expected, int tolerance = 40);

}  // namespace bw::test
