// A decoded picture as a Windows device-independent bitmap: the fields of its 40-byte info
// header, its palette and its pixel rows. The image loaders decode into it; the loader manager
// and the surfaces copy it into their own blocks.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace bw {

struct DibImage {
  int32_t width = 0;
  int32_t height = 0;  // positive: rows bottom-up; negative: top-down
  uint16_t bits = 0;   // 1, 4, 8, 16, 24 or 32
  uint32_t compression = 0;
  uint32_t pitch = 0;             // bytes per row, a multiple of 4
  std::vector<uint32_t> palette;  // entries 0x00RRGGBB (bytes blue, green, red, reserved)
  std::vector<uint8_t> pixels;    // pitch x rows
  int16_t offsetX = 0;            // placement offsets of the picture
  int16_t offsetY = 0;

  uint32_t Rows() const { return static_cast<uint32_t>(std::abs(static_cast<int64_t>(height))); }
  // The row as it appears on screen, 0 at the top.
  uint8_t* Row(uint32_t y) { return pixels.data() + static_cast<size_t>(RowIndex(y)) * pitch; }
  const uint8_t* Row(uint32_t y) const {
    return pixels.data() + static_cast<size_t>(RowIndex(y)) * pitch;
  }

 private:
  uint32_t RowIndex(uint32_t y) const { return height > 0 ? Rows() - 1 - y : y; }
};

// Bytes per row of a DIB: width x bits rounded up to whole bytes, then to a multiple of 4.
inline uint64_t DibPitch(uint64_t width, uint32_t bits) {
  return ((width * bits + 7) / 8 + 3) & ~uint64_t{3};
}

}  // namespace bw
