// Encodes 16-bit PCM as an Ogg Vorbis stream, for test sounds and the demo's music.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace bw::tools {

constexpr int kOggOk = 0;
constexpr int kOggBadChannels = 1;  // not mono or stereo
constexpr int kOggBadLength = 2;    // the samples are not a whole number of frames
constexpr int kOggBadRate = 3;      // 0, or a rate the encoder has no mode for
constexpr int kOggEncoderFailed = 4;

struct OggVorbisOptions {
  float quality = 0.4f;  // -0.1 to 1.0
  // The logical stream's serial number; fixed, so that the same samples give the same bytes.
  int serial = 0x4F676731;
};

// Interleaved samples of `channels` channels at `rate` Hz into `out` (replaced).
[[nodiscard]] int EncodeOggVorbis(std::span<const int16_t> samples, int channels, uint32_t rate,
                                  std::vector<uint8_t>* out, const OggVorbisOptions& options = {});

// A sine tone of `ms` milliseconds, the same on every channel, interleaved.
std::vector<int16_t> MakeSineTone(double frequency, uint32_t ms, uint32_t rate, int channels,
                                  int16_t amplitude = 16000);

}  // namespace bw::tools
