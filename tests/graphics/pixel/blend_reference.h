// Helpers shared by the kernel and surface tests: a per-channel view of a pixel, the blend
// families' formulas, callers of the common kernel shapes and rows as sprites have them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "graphics/pixel/blend_tables.h"
#include "support/pixel_reference.h"

namespace bw::reference {

inline int Channel(uint32_t p, int c) {
  return int(p >> (8 * c)) & 0xFF;
}
inline uint32_t WithChannel(uint32_t p, int c, int v) {
  return (p & ~(0xFFu << (8 * c))) | uint32_t(v & 0xFF) << (8 * c);
}
// d + floor((s - d) x w / 256), the lerp of the kernels, per channel.
inline int Lerp(int d, int s, int w) {
  return d + (((s - d) * w) >> 8);
}
inline int Saturate(int v) {
  return std::clamp(v, 0, 255);
}
// The kernels' weight for a table value k: 0 stays 0, anything else is k + 1.
inline int W(int k) {
  return k == 0 ? 0 : k + 1;
}
// Applies f(value, channel) to the three colour channels; alpha stays.
template <typename F>
uint32_t PerChannel(uint32_t d, F f) {
  for (int c = 0; c < 3; ++c) d = WithChannel(d, c, f(Channel(d, c), c));
  return d;
}

// The blend families' formulas: the plain crossfade's two products (a weight byte a channel),
// the vector weighted sum (alpha too), average, add and subtract.
inline uint32_t CrossfadeRef(uint32_t d, uint32_t s, uint32_t wd, uint32_t ws) {
  for (int c = 0; c < 3; ++c) {
    int v =
        ProductTable[Channel(wd, c)][Channel(d, c)] + ProductTable[Channel(ws, c)][Channel(s, c)];
    d = WithChannel(d, c, std::min(255, v));
  }
  return d;
}

inline uint32_t WeightedRef(uint32_t d, uint32_t s, uint32_t wd, uint32_t ws) {
  uint32_t out = 0;
  for (int c = 0; c < 4; ++c) {
    int sum = std::min(65535, Channel(s, c) * Channel(ws, c) + Channel(d, c) * Channel(wd, c));
    out = WithChannel(out, c, std::min(255, sum >> 8));
  }
  return out;
}
inline uint32_t AverageRef(uint32_t d, uint32_t s) {
  return PerChannel(((d & s) & 0xFF000000u) | (d & 0xFFFFFFu),
                    [&](int v, int c) { return (v + Channel(s, c)) / 2; });
}
inline uint32_t AddRef(uint32_t d, uint32_t s) {
  for (int c = 0; c < 4; ++c) d = WithChannel(d, c, Saturate(Channel(d, c) + Channel(s, c)));
  return d;
}
inline uint32_t SubtractRef(uint32_t d, uint32_t s) {
  for (int c = 0; c < 4; ++c) d = WithChannel(d, c, Saturate(Channel(d, c) - Channel(s, c)));
  return d;
}

// The source-weighted families, weight w of 256: the lerp toward the source (the vector opacity
// blend's weight is opacity + 1) and the scaled sum (sign -1: the difference); and weighed by the
// opacity row at the source alpha, the lerp and the lay onto the target's alpha.
inline uint32_t LerpRef(uint32_t d, uint32_t s, int w) {
  return PerChannel(d, [&](int v, int c) { return Lerp(v, Channel(s, c), w); });
}
inline uint32_t OpacityRef(uint32_t d, uint32_t s, int o) {
  return LerpRef(d, s, o + 1);
}
inline uint32_t ScaledSumRef(uint32_t d, uint32_t s, int w, int sign) {
  return PerChannel(d,
                    [&](int v, int c) { return Saturate(v + sign * (Channel(s, c) * w / 256)); });
}
inline uint32_t AlphaLerpRef(uint32_t d, uint32_t s, const uint8_t* row) {
  return LerpRef(d, s, W(row[Channel(s, 3)]));
}
inline uint32_t OntoAlphaRef(uint32_t d, uint32_t s, const uint8_t* row) {
  const int da = Channel(d, 3), a = row[Channel(s, 3)];
  return WithChannel(LerpRef(d, s, W(OverWeightTable[da][a])), 3, AlphaUnionTable[da][a]);
}

inline uint32_t* D(const KernelArgs& a) {
  return reinterpret_cast<uint32_t*>(a.dst);
}
inline const uint32_t* S(const KernelArgs& a) {
  return reinterpret_cast<const uint32_t*>(a.src);
}
// Calls a row kernel with the walk's planes as its pixel types and the given arguments after.
template <typename Dst, typename Src, typename... Extra>
auto CallRows(void (*k)(Dst*, const Src*, ptrdiff_t, ptrdiff_t, int, int, Extra...),
              std::type_identity_t<Extra>... extra) {
  return [=](const KernelArgs& a, const Geometry& g) {
    k(reinterpret_cast<Dst*>(a.dst), reinterpret_cast<const Src*>(a.src), a.dstSkip, a.srcSkip, g.w,
      g.h, extra...);
  };
}

// Wraps a pixel formula f(d, s) into a reference op.
template <typename F>
auto PixelOp(F f) {
  return [f](uint8_t* d, const uint8_t* s) { Store32(d, f(Load32(d), Load32(s))); };
}

// A row as sprites and windows have them: runs of clear and of opaque pixels, one to 24 long,
// with runs of soft alpha and of one translucent alpha between, so that the kernels' short ways
// through whole groups are taken.
inline std::vector<uint32_t> SpriteLikeRow(std::mt19937& rng, int width) {
  std::vector<uint32_t> row(static_cast<size_t>(width));
  for (int x = 0; x < width;) {
    const int run = 1 + int(rng() % 24);
    const uint32_t kind = rng() % 4;
    // A window's body: one translucent alpha, now and then a pixel one off it.
    const uint32_t flat = 1 + rng() % 254;
    for (int i = 0; i < run && x < width; ++i, ++x) {
      const uint32_t alpha = kind == 0   ? 0
                             : kind == 1 ? 255
                             : kind == 2 ? rng() % 256
                                         : flat + (rng() % 16 == 0);
      row[size_t(x)] = (alpha << 24) | (rng() & 0xFFFFFF);
    }
  }
  return row;
}

// The smoothing of a pixel by its neighbours, at(x, y) reading a w x h plane: twice its row of
// three and once the pixels above and below, over 8; on an edge the missing neighbour's weight
// goes to the pixel or its opposite neighbour, over 4.
template <typename At>
int SmoothNeighbours(At at, int x, int y, int w, int h) {
  const bool edgeX = x == 0 || x == w - 1, edgeY = y == 0 || y == h - 1;
  const int side = at(x == 0 ? 1 : x - 1, y), upOrDown = at(x, y == 0 ? 1 : y - 1);
  if (edgeX && edgeY) return (2 * at(x, y) + side + upOrDown) >> 2;
  if (edgeX) return (at(x, y) + side + at(x, y - 1) + at(x, y + 1)) >> 2;
  if (edgeY) return (at(x, y) + at(x - 1, y) + at(x + 1, y) + upOrDown) >> 2;
  return (2 * (at(x - 1, y) + at(x, y) + at(x + 1, y)) + at(x, y - 1) + at(x, y + 1)) >> 3;
}

// The kernels read the blend tables; every test program that includes this builds them first.
inline const bool kBlendTablesBuilt = [] {
  BuildBlendTables();
  return true;
}();
}  // namespace bw::reference
