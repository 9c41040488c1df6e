// Builds Windows bitmap files of every kind the reader takes (1 to 32 bits, RLE8, RLE4,
// BITFIELDS, top-down), field by field, so tests can also build the broken ones.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace bw::tools {

struct BmpFields {
  int32_t width = 0;
  int32_t height = 0;  // negative: top-down rows
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t infoSize = 40;
  uint32_t usedColours = 0;
  std::vector<uint32_t> palette;                 // written after the info header
  std::optional<std::array<uint32_t, 3>> masks;  // red, green, blue; written after the header
  std::vector<uint8_t> data;                     // the pixel data as it stands in the file
  std::optional<uint32_t> dataOffset;            // default: right after the palette or masks
};

std::vector<uint8_t> BuildBmp(const BmpFields& bmp);

// Rows of indices in file order (bottom row first), one value per pixel, packed into whole
// DIB rows of the given depth (1, 4 or 8 bits).
std::vector<uint8_t> PackIndexRows(const std::vector<std::vector<uint8_t>>& rows, uint16_t bits);

struct RleFaults {
  bool delta = false;       // a delta escape after the first row
  bool omitEnd = false;     // no end-of-picture escape
  bool runPastRow = false;  // the first row gets one pixel too many
};

// RLE8 (nibbles false) or RLE4 of rows of indices in file order, using runs and absolute runs.
std::vector<uint8_t> EncodeRle(const std::vector<std::vector<uint8_t>>& rows, bool nibbles,
                               RleFaults faults = {});

}  // namespace bw::tools
