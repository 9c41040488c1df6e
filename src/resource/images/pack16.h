// Packing of 0x00RRGGBB colours into 16-bit fields by truncation, and the 5-5-5 word read back
// with each channel at the top of its byte.
#pragma once

#include <cstdint>

namespace bw {

inline uint32_t To555(uint32_t c) {
  return (c >> 9 & 0x7C00) | (c >> 6 & 0x03E0) | (c >> 3 & 0x1F);
}
inline uint32_t To565(uint32_t c) {
  return (c >> 8 & 0xF800) | (c >> 5 & 0x07E0) | (c >> 3 & 0x1F);
}
inline uint32_t To444(uint32_t c) {
  return (c >> 12 & 0x0F00) | (c >> 8 & 0x00F0) | (c >> 4 & 0x0F);
}
inline uint32_t Expand555(uint32_t w) {
  return (w & 0x7C00) << 9 | (w & 0x03E0) << 6 | (w & 0x001F) << 3;
}

}  // namespace bw
