// Writes small test movies with FFmpeg's own encoders: each second of picture is one flat colour
// with a bar moving along its bottom, each second of sound one sine tone, so a player's picture
// and sound can be checked against the time they were made for.
#pragma once

#include <cstdint>
#include <vector>

namespace bw::tools {

constexpr int kMovieWriteOk = 0;
// Nothing to write, a bad size, --huge for MPEG-1, or a picture rate outside 0.1-50 Mbit/s.
constexpr int kMovieWriteBadOptions = 1;
constexpr int kMovieWriteEncoderMissing = 2;
constexpr int kMovieWriteFailed = 3;

enum class MovieContainer {
  kMpeg1,  // MPEG-1 video with MP2 sound, in an MPEG program stream (".MPG")
  kAvi,    // MPEG-4 Part 2 with PCM (".AVI")
  kMp4,    // MPEG-4 Part 2 with AAC (".MP4")
  kWmv,    // WMV2 with WMA (".WMV")
};

struct MovieWriterOptions {
  MovieContainer container = MovieContainer::kMpeg1;
  int32_t width = 64;
  int32_t height = 48;
  int32_t framesPerSecond = 25;
  uint32_t ms = 2000;
  uint32_t soundRate = 44100;
  bool picture = true;
  bool sound = true;
  // Keep only this share of the bytes (0 keeps them all), for a file that ends early.
  uint32_t keepPercent = 0;
  // Spoil bytes through the middle of the file, for broken packets.
  bool corrupt = false;
  // The container's header claims an 8000 x 8000 picture.
  bool hugeSize = false;
  // A fine pattern drifts over the second's colour, so every row changes every frame and the
  // picture costs what a filmed one costs to decode.
  bool textured = false;
  uint32_t videoBitRate = 400000;
};

[[nodiscard]] int WriteMovie(const MovieWriterOptions& options, std::vector<uint8_t>* out);

// What second n looks like (0xRRGGBB) and sounds like (Hz).
uint32_t MovieColourOfSecond(uint32_t second);
double MovieToneOfSecond(uint32_t second);
// The extension that names the container (".MPG", ".AVI", ".MP4", ".WMV").
const char* MovieExtension(MovieContainer container);

}  // namespace bw::tools
