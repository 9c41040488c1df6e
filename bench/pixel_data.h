// The pictures the pixel benchmarks share: square sizes from in-cache to far beyond it, random
// pixels, and sprite-like pixels (discs of opaque colour with soft edges on a transparent field,
// as the game's sprites are), each made once per size; and the registration of one run per size
// with its ratio line; and a diagonal rule picture.
#pragma once

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench_check.h"
#include "bench_ratio.h"
#include "host/surface/memory_surface.h"

namespace bw::bench {

// The 32-bit primary surface's format (no alpha) that the presenting benchmarks copy into.
inline host::DdPixelFormat Bgra32() {
  host::DdPixelFormat f;
  f.flags = host::kDdpfRgb;
  f.rgbBitCount = 32;
  f.rBitMask = 0xFF0000, f.gBitMask = 0xFF00, f.bBitMask = 0xFF;
  return f;
}

constexpr int kSizes[] = {64, 256, 1024, 4096};

enum class Alpha { kRandom, kSprite };
inline const char* AlphaName(Alpha a) {
  return a == Alpha::kRandom ? "random" : "sprite";
}

inline std::vector<uint32_t> RandomPixels(int width, int height, uint32_t seed) {
  std::vector<uint32_t> out(size_t(width) * size_t(height));
  std::mt19937 rng(seed);
  for (auto& p : out) p = rng();
  return out;
}

// A rule picture as a game's wipes draw them: a diagonal sweep from the top left (0) to the
// bottom right (255), with a little grain, 8 bits a pixel.
inline std::vector<uint8_t> DiagonalRule(int width, int height) {
  std::vector<uint8_t> out(size_t(width) * size_t(height));
  uint32_t grain = 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      grain = grain * 1664525u + 1013904223u;
      const int v = (x + y) * 255 / (width + height) + int(grain >> 29) - 4;
      out[size_t(y) * size_t(width) + size_t(x)] = uint8_t(std::clamp(v, 0, 255));
    }
  }
  return out;
}

// Discs a quarter of the picture wide (16 to 256 pixels), opaque inside, clear outside, with an
// alpha ramp three pixels wide between: about half the pixels are clear and most of the rest
// opaque. `clear` is the value of the clear pixels (a colour key for keyed copies).
inline std::vector<uint32_t> SpritePixels(int width, int height, uint32_t seed, bool keyed = false,
                                          uint32_t key = 0) {
  std::vector<uint32_t> out(size_t(width) * size_t(height));
  std::mt19937 rng(seed);
  const int cell = std::clamp(std::min(width, height) / 4, 16, 256);
  const double radius = 0.4 * cell;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double dx = x % cell + 0.5 - cell / 2.0, dy = y % cell + 0.5 - cell / 2.0;
      const double inside = (radius - std::sqrt(dx * dx + dy * dy)) / 3.0;
      const uint32_t alpha = uint32_t(std::clamp(inside * 255.0 + 127.5, 0.0, 255.0));
      uint32_t& p = out[size_t(y) * size_t(width) + size_t(x)];
      const uint32_t color = rng() & 0x00FFFFFFu;
      if (keyed) {
        p = alpha < 128 ? key : color | 0xFF000000u;
      } else {
        p = alpha == 0 ? color & 0x000F0F0Fu : color | alpha << 24;
      }
    }
  }
  return out;
}

// The picture premultiplied as the alpha kernels weigh a pixel (colour x alpha / 256, an opaque
// pixel's colour whole), clear pixels 0: pixman's OVER takes premultiplied pixels, and with these
// it differs from our straight-alpha blend only in how the target's share rounds.
inline std::vector<uint32_t> Premultiplied(const std::vector<uint32_t>& straight) {
  std::vector<uint32_t> out(straight.size());
  for (size_t i = 0; i < straight.size(); ++i) {
    const uint32_t p = straight[i], a = p >> 24;
    if (a == 255) {
      out[i] = p;
      continue;
    }
    uint32_t q = a << 24;
    for (int shift = 0; shift < 24; shift += 8) q |= ((p >> shift & 0xFF) * a >> 8) << shift;
    out[i] = q;
  }
  return out;
}

// The row pass of a separable box blur as it is usually written: a running sum per channel,
// positions past the row's ends taking the end pixel, divided by the window through a
// reciprocal (the same rounding as ours).
inline void RunningSumBoxBlurRows(uint32_t* dst, const uint32_t* src, int width, int height,
                                  int radius) {
  const uint32_t reciprocal = 65536 / uint32_t(2 * radius + 1);
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = src + size_t(y) * size_t(width);
    uint32_t* out = dst + size_t(y) * size_t(width);
    auto at = [&](int x) { return row[std::clamp(x, 0, width - 1)]; };
    uint32_t sum[4] = {0, 0, 0, 0};
    for (int k = -radius; k <= radius; ++k) {
      for (int c = 0; c < 4; ++c) sum[c] += at(k) >> (8 * c) & 0xFF;
    }
    for (int x = 0; x < width; ++x) {
      uint32_t v = 0;
      for (int c = 0; c < 4; ++c) v |= ((sum[c] * reciprocal + 32768) >> 16) << (8 * c);
      out[x] = v;
      const uint32_t in = at(x + radius + 1), gone = at(x - radius);
      for (int c = 0; c < 4; ++c) sum[c] += (in >> (8 * c) & 0xFF) - (gone >> (8 * c) & 0xFF);
    }
  }
}
inline std::string SizeName(int size) {
  return std::to_string(size) + "x" + std::to_string(size);
}

inline pixman_image_t* WrapPixman(pixman_format_code_t format, uint32_t* pixels, int width,
                                  int height, int pitch) {
  return pixman_image_create_bits(format, width, height, pixels, pitch);
}

// One benchmark per size, named "<side>/<name>/<size>".
inline void RegisterSized(const std::string& side, const std::string& name,
                          const std::function<void(benchmark::State&, int)>& run) {
  for (int size : kSizes) {
    benchmark::RegisterBenchmark((side + '/' + name + '/' + SizeName(size)).c_str(),
                                 [run, size](benchmark::State& state) { run(state, size); })
        ->Unit(benchmark::kMicrosecond);
  }
}

// "ratio <label> <size>: ours/peer" for every size.
inline void PrintSized(const RatioReporter& reporter, const std::string& label,
                       const std::string& ours, const std::string& peer) {
  for (int size : kSizes) {
    const std::string n = SizeName(size);
    reporter.PrintRatio(label + ' ' + n, ours + '/' + n, peer + '/' + n);
  }
}

inline void CountPixels(benchmark::State& state, int64_t pixels) {
  state.SetItemsProcessed(int64_t(state.iterations()) * pixels);
}

// The check on a pair's picture and the timing: one pass of body over dst set to start, handed to
// AgreesWithPair as `side` of `pair`; then the timed passes, each counted as `pixels`.
struct CheckedPass {
  std::string pair;
  const char* side;
  int width, height;
  int tolerance = 0;
  uint32_t channels = 0xFFFFFFFFu;
};
template <typename Body>
void TimeChecked(benchmark::State& state, const CheckedPass& check,
                 const std::vector<uint32_t>& start, std::vector<uint32_t>& dst, int64_t pixels,
                 Body body) {
  dst = start;
  body();
  if (!AgreesWithPair(state, check.pair, check.side, dst, check.width, check.height,
                      check.tolerance, check.channels)) {
    return;
  }
  for (auto _ : state) {
    body();
    benchmark::ClobberMemory();
  }
  CountPixels(state, pixels);
}

}  // namespace bw::bench
