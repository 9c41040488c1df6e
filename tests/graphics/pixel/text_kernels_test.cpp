// Label: optimised
#include "graphics/pixel/text_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "blend_reference.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using namespace reference;

// Slow per-pixel references, written from the kernels' formulas one output pixel at a time.
int Distance(int dx, int dy) {
  int hi = std::max(std::abs(dx), std::abs(dy));
  int lo = std::min(std::abs(dx), std::abs(dy));
  int m = lo + lo / 2;
  return m / 4 + hi + m / 64 - hi / 128 - hi / 32;
}

// The soft edge of an 8-bit glyph plane, gathered per target pixel: (w + 2r) x (h + 2r) bytes,
// rows packed, r = min(|radius|, 64).
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

// T[v][255 - m] + T[k][m].
uint8_t CrossfadeReference(int v, int k, int m) {
  return uint8_t(ProductTable[v][255 - m] + ProductTable[k][m]);
}

// The crossfade per colour channel of a 32-bit pixel, alpha kept.
uint32_t ColorCrossfadeReference(uint32_t d, uint32_t k, int m) {
  return PerChannel(d, [&](int v, int c) { return CrossfadeReference(v, Channel(k, c), m); });
}

// Each kernel runs as the plain set, the 128-bit vector set and the 256-bit one.
enum class Set { kPlain, kVector128, kVector256 };
constexpr Set kSets[] = {Set::kPlain, Set::kVector128, Set::kVector256};
const char* Name(Set s) {
  return s == Set::kPlain ? "plain" : s == Set::kVector128 ? "128-bit" : "256-bit";
}
template <typename K>
K Pick(Set s, K plain, K mmx) {
  return s == Set::kPlain ? plain : mmx;
}

using EdgeKernel = void (*)(uint8_t*, ptrdiff_t, const uint8_t*, ptrdiff_t, int, int, int, int32_t);

// Runs the edge kernel of a set into a padded target and compares every byte, padding included.
bool EdgeMatches(Set set, const Plane& glyph, int radius, int32_t strength, std::mt19937& rng) {
  ScopedWideVectors wide(set == Set::kVector256);
  const int r = EdgeRadius(radius);
  Plane target = RandomPlane(rng, glyph.width + 2 * r, glyph.height + 2 * r, 1, 5);
  Plane expect = target;
  const std::vector<uint8_t> want = EdgeMaskReference(glyph, radius, strength);
  for (int y = 0; y < expect.height; ++y) {
    for (int x = 0; x < expect.width; ++x) expect.Set8(x, y, want[size_t(y * expect.width + x)]);
  }
  Pick<EdgeKernel>(set, BuildEdgeMask, BuildEdgeMaskMmx)(
      target.bytes.data(), target.pitch, glyph.bytes.data(), glyph.pitch, glyph.width, glyph.height,
      radius, strength);
  return target.bytes == expect.bytes;
}

// Masks as glyphs give them: long runs of 0 and 255, soft values between.
void GlyphRuns(std::mt19937& rng, Plane* mask) {
  for (size_t i = 0; i < mask->bytes.size();) {
    const size_t run = std::min<size_t>(1 + rng() % 40, mask->bytes.size() - i);
    const uint32_t pick = rng() % 5;
    for (size_t j = 0; j < run; ++j, ++i) {
      mask->bytes[i] = pick < 2 ? 0 : pick < 4 ? 255 : uint8_t(rng());
    }
  }
}
Plane GlyphLike(std::mt19937& rng, int width, int height) {
  Plane p = RandomPlane(rng, width, height, 1, int(rng() % 4));
  GlyphRuns(rng, &p);
  return p;
}

// The kernel's shape, then every set against the reference. A fully covered glyph takes every
// weight at its centre: sums must saturate, not wrap.
TEST(BuildEdgeMask, EverySetMatchesTheReferenceAtAndBeyondTheLimits) {
  EXPECT_EQ(EdgeNormaliser(-2), 1872) << "a negative radius counts as its absolute value";
  EXPECT_EQ(EdgeNormaliser(64), 0) << "the weights of a radius this wide sum past 65536";
  EXPECT_EQ(EdgeRadius(INT_MIN), 64) << "INT_MIN must not be negated";
  // The diagonal of 2 is still 2, of 3 is 4.
  EXPECT_EQ(EdgeDistance(-2, 2), 2);
  EXPECT_EQ(EdgeDistance(3, 3), 4);
  std::mt19937 rng(2302);
  const Plane glyph = GlyphLike(rng, 37, 9);  // odd widths take the vector forms' tails
  const Plane dot = GlyphLike(rng, 2, 1);
  Plane full = RandomPlane(rng, 9, 9, 1, 0);
  std::fill(full.bytes.begin(), full.bytes.end(), 255);
  for (Set set : kSets) {
    // Strengths whose sums pass 32 bits, that wrap a byte when negative, and the extremes.
    for (int32_t strength : {INT_MIN, -70000, -256, -1, 0, 1, 256, 65536, 1 << 20, INT_MAX}) {
      for (int radius : {0, 1, -2, 3, 5}) {
        EXPECT_TRUE(EdgeMatches(set, glyph, radius, strength, rng))
            << Name(set) << " " << radius << " " << strength;
        EXPECT_TRUE(EdgeMatches(set, full, radius, strength, rng))
            << Name(set) << " " << radius << " " << strength;
      }
    }
    // A glyph without pixels still gets its cleared border, and nothing past it.
    const uint8_t none[1] = {255};
    std::vector<uint8_t> border(5 * 4, 9), want(5 * 4, 0);
    for (int y = 0; y < 4; ++y) want[size_t(y * 5 + 4)] = 9;
    Pick<EdgeKernel>(set, BuildEdgeMask, BuildEdgeMaskMmx)(border.data(), 5, none, 3, 0, 0, 2,
                                                           1024);
    EXPECT_EQ(border, want) << Name(set);
    // The widest radius with weights left, and radii past the limit on a small glyph.
    for (int radius : {20, 64, 65, -65, INT_MIN, INT_MAX}) {
      for (int32_t strength : {1024, INT_MAX}) {
        EXPECT_TRUE(
            EdgeMatches(set, radius == 20 ? dot : Plane{1, 1, 1, 1, {200}}, radius, strength, rng));
      }
    }
  }
}

// A padded random target and mask, a random area of odd width, and the pointers a caller hands a
// row kernel.
struct RowCase {
  Plane target, mask;
  int x, y, w, h;
  uint8_t* Start() { return target.At(x, y); }
  const uint8_t* MaskStart() const { return mask.At(x, y); }
  ptrdiff_t Skip() const { return target.pitch - ptrdiff_t{w} * target.bytesPerPixel; }
  ptrdiff_t MaskSkip() const { return mask.pitch - w; }
};
RowCase RandomRowCase(std::mt19937& rng, int bytesPerPixel, bool runs) {
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  RowCase c;
  const int width = pick(1, runs ? 90 : 45), height = pick(1, 9), pad = pick(0, 3) * 4;
  c.target = RandomPlane(rng, width, height, bytesPerPixel, pad);
  c.mask = RandomPlane(rng, width, height, 1, pad + 1);
  // Masks hold many 0s and 255s, the ends of every formula.
  for (auto& b : c.mask.bytes) {
    if (rng() % 3 == 0) b = rng() % 2 ? 255 : 0;
  }
  if (runs) GlyphRuns(rng, &c.mask);
  c.w = pick(1, width);
  c.h = pick(1, height);
  c.x = pick(0, width - c.w);
  c.y = pick(0, height - c.h);
  return c;
}

// Runs kernel(case) on a copy and pixel(target, x, y) over the area on another, for random cases;
// compares every byte, padding included.
bool RowKernelMatches(int bytesPerPixel, const std::function<void(RowCase&)>& kernel,
                      const std::function<void(RowCase&, int, int)>& pixel, uint32_t seed,
                      bool runs = false) {
  std::mt19937 rng(seed);
  for (int round = 0; round < 80; ++round) {
    RowCase got = RandomRowCase(rng, bytesPerPixel, runs);
    RowCase want = got;
    for (int j = 0; j < want.h; ++j) {
      for (int i = 0; i < want.w; ++i) pixel(want, i, j);
    }
    kernel(got);
    if (got.target.bytes != want.target.bytes) return false;
  }
  return true;
}

// Colours for a solid blend and ramps one entry per row or column.
std::vector<uint32_t> RampColors(std::mt19937& rng) {
  std::vector<uint32_t> colors(96);  // column ramps over the widest area
  for (auto& c : colors) c = rng();
  colors[1] = 0x00FFFFFF;
  colors[2] = 0;
  return colors;
}
uint32_t RampAt(const MaskColors& c, int i, int j) {
  return c.ramp == ColorRamp::kRows      ? c.colors[j]
         : c.ramp == ColorRamp::kColumns ? c.colors[i]
                                         : c.colors[0];
}

TEST(MaskCrossfade, GreyPlanesAndColourRowsMatchTheirFormulasWithEveryRamp) {
  std::mt19937 rng(2304);
  const std::vector<uint32_t> colors = RampColors(rng);
  for (Set set : kSets) {
    ScopedWideVectors wide(set == Set::kVector256);
    for (ColorRamp ramp : {ColorRamp::kNone, ColorRamp::kRows, ColorRamp::kColumns}) {
      for (int first : {0, 1, 2}) {
        for (bool runs : {false, true}) {
          SCOPED_TRACE(testing::Message() << Name(set) << ", ramp " << int(ramp) << ", colour "
                                          << first << ", runs " << runs);
          const MaskColors mc{colors.data() + first, ramp};
          auto grey = Pick(set, MaskCrossfadeRows, MaskCrossfadeRowsMmx);
          EXPECT_TRUE(RowKernelMatches(
              1,
              [&](RowCase& c) {
                grey(c.Start(), c.MaskStart(), c.Skip(), c.MaskSkip(), c.w, c.h, mc);
              },
              [&](RowCase& c, int i, int j) {
                uint8_t* p = c.target.At(c.x + i, c.y + j);
                *p = CrossfadeReference(*p, int(RampAt(mc, i, j) >> 16) & 0xFF,
                                        *c.mask.At(c.x + i, c.y + j));
              },
              2304 + first, runs));
          auto color = Pick(set, MaskColorCrossfadeRows, MaskColorCrossfadeRowsMmx);
          EXPECT_TRUE(RowKernelMatches(
              4,
              [&](RowCase& c) {
                color(reinterpret_cast<uint32_t*>(c.Start()), c.MaskStart(), c.Skip(), c.MaskSkip(),
                      c.w, c.h, mc);
              },
              [&](RowCase& c, int i, int j) {
                const int x = c.x + i, y = c.y + j;
                c.target.Set32(x, y,
                               ColorCrossfadeReference(c.target.Get32(x, y), RampAt(mc, i, j),
                                                       *c.mask.At(x, y)));
              },
              2310 + first, runs));
        }
      }
    }
  }
}

TEST(ScaleGreyRows, LevelsScaleToFullRangeAndClamp) {
  for (Set set : kSets) {
    auto k = Pick(set, ScaleGreyRows, ScaleGreyRowsMmx);
    for (int shift : {-1, 0, 2, 4, 8, 9}) {
      EXPECT_TRUE(RowKernelMatches(
          1, [&](RowCase& c) { k(c.Start(), c.Skip(), c.w, c.h, shift); },
          [&](RowCase& c, int i, int j) {
            uint8_t* p = c.target.At(c.x + i, c.y + j);
            *p = uint8_t(std::min(255, *p << std::clamp(shift, 0, 8)));
          },
          2330 + shift))
          << Name(set) << " shift " << shift;
    }
    // The top grey levels reach exactly 255: 16 x 16 and 64 x 4 (65 levels hold 0..64).
    uint8_t levels[2] = {16, 64};
    k(levels, 0, 1, 1, GreyLevelShift(1));
    k(levels + 1, 0, 1, 1, GreyLevelShift(2));
    EXPECT_EQ(std::tuple(levels[0], levels[1]), std::tuple(255, 255));
  }
}

}  // namespace
}  // namespace bw
