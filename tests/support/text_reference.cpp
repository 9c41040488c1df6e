#include "support/text_reference.h"

#include <algorithm>
#include <cstdlib>

#include "graphics/pixel/blend_tables.h"

namespace bw::reference {
namespace {

int Distance(int dx, int dy) {
  int hi = std::max(std::abs(dx), std::abs(dy));
  int lo = std::min(std::abs(dx), std::abs(dy));
  int m = lo + lo / 2;
  return m / 4 + hi + m / 64 - hi / 128 - hi / 32;
}

}  // namespace

std::vector<uint8_t> EdgeMaskReference(const Plane& glyph, int radius, int32_t strength) {
  const int r = int(std::min<int64_t>(std::abs(int64_t{radius}), 64));
  const int w = glyph.width + 2 * r, h = glyph.height + 2 * r;
  std::vector<uint8_t> out(size_t(w) * size_t(h));
  if (r == 0) {
    const int s = std::clamp(strength, 0, 255);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) out[size_t(y * w + x)] = ProductTable[s][glyph.Get8(x, y)];
    }
    return out;
  }
  int64_t sum = 0;
  for (int dy = -r; dy <= r; ++dy) {
    for (int dx = -r; dx <= r; ++dx) {
      if (Distance(dx, dy) <= r) sum += r - Distance(dx, dy) + 1;
    }
  }
  const int64_t normaliser = sum == 0 ? 65536 : 65536 / sum;
  struct Tap {
    int dx, dy;
    __int128 weight;
  };
  std::vector<Tap> taps;
  for (int dy = -r; dy <= r; ++dy) {
    for (int dx = -r; dx <= r; ++dx) {
      const int d = Distance(dx, dy);
      const __int128 weight = (__int128{r - d + 1} * strength * normaliser) >> 8;
      if (d <= r && weight != 0) taps.push_back({dx, dy, weight});
    }
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      // Target (x, y) sees glyph pixel (x - r - dx, y - r - dy) for each offset.
      __int128 total = 0;
      for (const Tap& t : taps) {
        const int gx = x - r - t.dx, gy = y - r - t.dy;
        if (gx < 0 || gy < 0 || gx >= glyph.width || gy >= glyph.height) continue;
        total += t.weight * glyph.Get8(gx, gy);
      }
      const __int128 value = (total + 0x8000) >> 16;  // rounded
      out[size_t(y * w + x)] = uint8_t(value < 0 ? 0 : value > 255 ? 255 : int(value));
    }
  }
  return out;
}

uint8_t CrossfadeReference(int v, int k, int m) {
  return uint8_t(ProductTable[v][255 - m] + ProductTable[k][m]);
}

uint32_t ColorCrossfadeReference(uint32_t d, uint32_t k, int m) {
  uint32_t out = d & 0xFF000000u;
  for (int c = 0; c < 3; ++c) {
    out |= uint32_t(CrossfadeReference(int(d >> (8 * c)) & 0xFF, int(k >> (8 * c)) & 0xFF, m))
           << (8 * c);
  }
  return out;
}

}  // namespace bw::reference
