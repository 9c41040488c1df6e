#include "support/movie_samples.h"

#include <cstdlib>
#include <cstring>

namespace bw::test {

std::vector<uint8_t> MakeMovie(const tools::MovieWriterOptions& options) {
  std::vector<uint8_t> bytes;
  if (tools::WriteMovie(options, &bytes) != tools::kMovieWriteOk) bytes.clear();
  return bytes;
}

double ToneOfPcm(std::span<const uint8_t> pcm, uint32_t rate) {
  const size_t frames = pcm.size() / 4;
  if (frames < 2 || rate == 0) return 0;
  int crossings = 0;
  int16_t previous = 0;
  for (size_t i = 0; i < frames; ++i) {
    int16_t left = 0;
    std::memcpy(&left, pcm.data() + i * 4, sizeof left);
    if (i > 0 && previous < 0 && left >= 0) ++crossings;
    previous = left;
  }
  return crossings * static_cast<double>(rate) / static_cast<double>(frames);
}

bool ColourNear(uint32_t actual, uint32_t expected, int tolerance) {
  for (int shift : {0, 8, 16}) {
    const int a = static_cast<int>((actual >> shift) & 0xFF),
              e = static_cast<int>((expected >> shift) & 0xFF);
    if (std::abs(a - e) > tolerance) return false;
  }
  return true;
}

}  // namespace bw::test
