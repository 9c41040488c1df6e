#include "support/pixel_reference.h"

#include <algorithm>

namespace bw::reference {

Plane RandomPlane(std::mt19937& rng, int width, int height, int bytesPerPixel, int padBytes) {
  Plane p;
  p.width = width;
  p.height = height;
  p.bytesPerPixel = bytesPerPixel;
  p.pitch = width * bytesPerPixel + padBytes;
  p.bytes.resize(size_t(p.pitch) * height);
  std::uniform_int_distribution<int> byte(0, 255);
  for (auto& b : p.bytes) b = static_cast<uint8_t>(byte(rng));
  if (bytesPerPixel == 4) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        int pick = byte(rng) % 4;
        if (pick == 0) p.At(x, y)[3] = 0;
        if (pick == 1) p.At(x, y)[3] = 255;
      }
    }
  }
  return p;
}

int StretchSourceIndex(int k, int src, int dest) {
  int64_t total = int64_t{-dest - 1} + int64_t{k} * (src % dest);
  int64_t carries = total >= 0 ? total / dest + 1 : 0;
  return static_cast<int>(int64_t{k} * (src / dest) + carries);
}

std::pair<int, int> SourceOf(const Geometry& g, int i, int j) {
  int col = g.Stretched() ? StretchSourceIndex(i, g.sw, g.w) : i;
  int row = g.Stretched() ? StretchSourceIndex(j, g.sh, g.h) : j;
  if (g.Mirrored()) col = g.sw - 1 - col;
  return {g.sx + col, g.sy + row};
}

Geometry RandomGeometry(std::mt19937& rng, Walk walk, int dstW, int dstH, int srcW, int srcH) {
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Geometry g{};
  g.walk = walk;
  const bool stretched = g.Stretched();
  g.w = pick(1, stretched ? dstW : std::min(dstW, srcW));
  g.h = pick(1, stretched ? dstH : std::min(dstH, srcH));
  g.sw = stretched ? pick(1, srcW) : g.w;
  g.sh = stretched ? pick(1, srcH) : g.h;
  g.dx = pick(0, dstW - g.w);
  g.dy = pick(0, dstH - g.h);
  g.sx = pick(0, srcW - g.sw);
  g.sy = pick(0, srcH - g.sh);
  return g;
}

KernelArgs ArgsFor(Plane& dst, const Plane& src, const Geometry& g) {
  KernelArgs a{};
  a.dst = dst.At(g.dx, g.dy);
  a.dstSkip = dst.pitch - ptrdiff_t{g.w} * dst.bytesPerPixel;
  a.stepper = g.Stepper();
  // A mirrored walk starts past its row's end and steps back; a stretched one is handed the pitch.
  const int rowBytes = g.sw * src.bytesPerPixel;
  a.src = src.At(g.sx, g.sy) + (g.Mirrored() ? rowBytes : 0);
  a.srcSkip = g.Stretched() ? src.pitch : src.pitch + (g.Mirrored() ? rowBytes : -rowBytes);
  return a;
}

namespace {
uint32_t AlphaOver(uint32_t d, uint32_t s, bool mmx) {
  int a = int(s >> 24);
  int ws = a == 255 ? 256 : a;
  int wd = mmx ? 256 - ws : (a == 0 ? 256 : 255 - a);
  uint32_t out = 0;
  for (int c = 0; c < 3; ++c) {
    int sc = int(s >> (8 * c)) & 0xFF;
    int dc = int(d >> (8 * c)) & 0xFF;
    int v = std::min(255, (sc * ws >> 8) + (dc * wd >> 8));
    out |= uint32_t(v) << (8 * c);
  }
  return out;
}
}  // namespace

uint32_t AlphaOverPlain(uint32_t d, uint32_t s) {
  return AlphaOver(d, s, false);
}
uint32_t AlphaOverMmx(uint32_t d, uint32_t s) {
  return AlphaOver(d, s, true);
}

}  // namespace bw::reference
