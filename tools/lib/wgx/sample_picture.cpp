#include "lib/wgx/sample_picture.h"

#include <cstddef>

namespace bw::tools {

std::vector<uint32_t> MakeBackdrop(uint32_t width, uint32_t height, uint32_t seed) {
  std::vector<uint32_t> out(size_t{width} * height);
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  struct Box {
    uint32_t x0, y0, x1, y1, colour;
  } boxes[6];
  for (auto& b : boxes) {
    b.x0 = width ? next() % width : 0;
    b.y0 = height ? next() % height : 0;
    b.x1 = b.x0 + 1 + (width ? next() % (width / 3 + 1) : 0);
    b.y1 = b.y0 + 1 + (height ? next() % (height / 3 + 1) : 0);
    b.colour = next() & 0xFFFFFF;
  }
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      // Banded like a painted sky: a level every few pixels.
      uint32_t r = width ? (255 * x / width) & ~3u : 0;
      uint32_t g = height ? (255 * y / height) & ~3u : 0;
      uint32_t b = (r + g) / 2;
      uint32_t colour = (r << 16) | (g << 8) | b;
      for (const auto& box : boxes)
        if (x >= box.x0 && x < box.x1 && y >= box.y0 && y < box.y1) colour = box.colour;
      // Sparse noise: grain on about one pixel in sixteen.
      uint32_t n = next();
      if ((n & 15) == 0) colour ^= (n >> 8) & 0x070707;
      uint32_t alpha = x < 8 || y < 8 ? 0x40 : 0xFF;
      out[size_t{y} * width + x] = (alpha << 24) | colour;
    }
  }
  return out;
}

}  // namespace bw::tools
