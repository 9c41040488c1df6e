// Writes WGX pictures: every depth and header form, with streams that use literal runs, fills
// and back copies (and, for colour, copies from the rows above). Fault switches make the broken
// files that the reader must refuse.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace bw::tools {

struct WgxPicture {
  int depth = 24;  // 8, 24 or 32
  uint32_t width = 0;
  uint32_t height = 0;
  // Top-down. 24 and 32 bits: 0xAARRGGBB (alpha used at 32 bits only); 8 bits: the index.
  std::vector<uint32_t> pixels;
  std::vector<uint32_t> palette;  // 8 bits: up to 256 entries 0x00RRGGBB, the rest written as 0
  int16_t offsetX = 0;
  int16_t offsetY = 0;
  std::vector<std::vector<uint8_t>>
      chunks;  // the chunked form's extra chunks (without length words)
};

struct WgxFaults {
  int depthByte = -1;            // written in place of the depth when 0 or more
  bool omitEndCode = false;      // the last stream has no end code
  bool endEarly = false;         // the last stream ends one unit short of the picture
  bool overrun = false;          // the last stream has one unit more than the picture
  bool copyBeforeStart = false;  // the last stream opens with a copy from before its first unit
  bool zeroChunkLength = false;  // the chunked form's first chunk claims a length of 0
};

struct WgxWriteOptions {
  int form = 0;  // 0 plain, 1 with offsets, 2 with offsets and chunks
  WgxFaults faults;
};

std::vector<uint8_t> WriteWgx(const WgxPicture& picture, const WgxWriteOptions& options = {});

// The streams alone, each closed by its end code.
std::vector<uint8_t> EncodeWgx8(std::span<const uint8_t> bytes);
std::vector<uint8_t> EncodeWgx24(std::span<const uint32_t> pixels, uint32_t width);

}  // namespace bw::tools
