// The input of the text-rendering fuzz target: a fixed header of renderer settings, then the
// text. Its seeds are written through Encode, so they always mean what the target reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bw::tools {

struct TextRenderInput {
  uint8_t height = 16;
  uint8_t style = 0;
  uint8_t level = 2;
  // bit 0 bold, 1 italic, 2 outlines, 3 opaque back, 4 gradation, 5 underline and a cache of
  // one, 6 strike-out, 7 the edge radius as given (on small glyphs)
  uint8_t flags = 0;
  int16_t angle = 0;
  int8_t shadowX = 2, shadowY = 2;
  int16_t edgeStrength = 1024;
  int8_t edgeRadius = 2;
  int8_t lineSpacing = 0;
  uint8_t cellWidth = 8, cellHeight = 8, cellCount = 4, sets = 1;
  std::string text;

  static constexpr size_t kHeaderBytes = 16;

  std::vector<uint8_t> Encode() const {
    std::vector<uint8_t> out = {height,
                                style,
                                level,
                                flags,
                                uint8_t(uint16_t(angle)),
                                uint8_t(uint16_t(angle) >> 8),
                                uint8_t(shadowX),
                                uint8_t(shadowY),
                                uint8_t(uint16_t(edgeStrength)),
                                uint8_t(uint16_t(edgeStrength) >> 8),
                                uint8_t(edgeRadius),
                                uint8_t(lineSpacing),
                                cellWidth,
                                cellHeight,
                                cellCount,
                                sets};
    out.insert(out.end(), text.begin(), text.end());
    return out;
  }

  // False when the header is short.
  [[nodiscard]] bool Decode(const uint8_t* data, size_t size) {
    if (size < kHeaderBytes) return false;
    height = data[0], style = data[1], level = data[2], flags = data[3];
    angle = int16_t(uint16_t(data[4] | data[5] << 8));
    shadowX = int8_t(data[6]), shadowY = int8_t(data[7]);
    edgeStrength = int16_t(uint16_t(data[8] | data[9] << 8));
    edgeRadius = int8_t(data[10]), lineSpacing = int8_t(data[11]);
    cellWidth = data[12], cellHeight = data[13], cellCount = data[14], sets = data[15];
    text.assign(reinterpret_cast<const char*>(data) + kHeaderBytes, size - kHeaderBytes);
    return true;
  }
};

}  // namespace bw::tools
