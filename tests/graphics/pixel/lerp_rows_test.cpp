// Label: optimised
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "blend_reference.h"
#include "graphics/pixel/blend_kernels.h"
#include "graphics/pixel/source_blend_kernels.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using namespace reference;

constexpr int kPad = 8;

struct Rows {
  std::vector<uint32_t> from, src, dst;
  int fromAt, srcAt, dstAt;
};

// Source rows mix runs of eight clear, eight opaque and random pixels, so that the vector
// forms' skips and copies are taken as well as the blend.
Rows RandomRows(std::mt19937& rng, int width) {
  Rows r{std::vector<uint32_t>(size_t(width + 2 * kPad)),
         {},
         {},
         int(rng() % 8),
         int(rng() % 8),
         int(rng() % 8)};
  r.src = r.dst = r.from;
  for (auto* row : {&r.from, &r.src, &r.dst}) {
    for (uint32_t& p : *row) p = uint32_t(rng());
  }
  for (size_t x = 0; x < r.src.size(); x += 8) {
    const uint32_t run = rng() % 3;
    for (size_t i = x; run != 2 && i < std::min(x + 8, r.src.size()); ++i)
      r.src[i] = run == 0 ? r.src[i] & 0x00FFFFFFu : r.src[i] | 0xFF000000u;
  }
  return r;
}

// Runs kernel(dst, old, src, width, level) on random rows against the lerp of every colour
// channel of the old pixel toward the source by weight(level, x), the old alpha
// kept: on both vector sets, at every opacity, for widths around the vector steps and at every
// misalignment of the rows, written apart and in place. Padding around the target stays as it
// was.
void ExpectLerpRows(
    const std::function<void(uint32_t*, const uint32_t*, const uint32_t*, int, int)>& kernel,
    const std::function<int(int, int)>& weight) {
  std::mt19937 rng(62);
  for (bool wide : {false, true}) {
    ScopedWideVectors vectors(wide && WideVectorsEnabled());
    for (int round = 0; round < 600; ++round) {
      const int width = round < 40 ? round : int(rng() % 900);
      const int opacity = round < 256 ? round : int(rng() % 256);
      Rows r = RandomRows(rng, width);
      const bool inPlace = round % 3 == 0;
      const uint32_t* oldRow = inPlace ? r.dst.data() + r.dstAt : r.from.data() + r.fromAt;
      const uint32_t* src = r.src.data() + r.srcAt;
      std::vector<uint32_t> expect = r.dst;
      for (int x = 0; x < width; ++x)
        expect[size_t(r.dstAt + x)] = LerpRef(oldRow[x], src[x], weight(opacity, x));
      kernel(r.dst.data() + r.dstAt, oldRow, src, width, opacity);
      ASSERT_EQ(r.dst, expect) << (wide ? "256-bit" : "128-bit") << " width " << width
                               << " opacity " << opacity << (inPlace ? " in place" : "");
    }
  }
}

TEST(LerpRows, CrossfadeRowMatchesThePlainLerp) {
  BuildBlendTables();
  ExpectLerpRows([](uint32_t* dst, const uint32_t* from, const uint32_t* src, int width,
                    int opacity) { OpacityRowOfMmx(dst, from, src, width, opacity); },
                 [](int opacity, int) { return W(opacity); });
}

// The rule transition's row: each pixel weighed by the table's value for its rule byte. The rule
// is a smooth wipe on its left and noise on its right; the tables are a wipe's ramp, the reverse
// ramp, a ramp with one odd entry inside its flat end, and flat tables.
TEST(LerpRows, RuleRowMatchesThePlainLerp) {
  std::mt19937 rng(7);
  std::vector<uint8_t> rule(1000);
  for (size_t i = 0; i < rule.size(); ++i) rule[i] = i < 600 ? uint8_t(i / 3) : uint8_t(rng());
  const auto value = [](int level, int r) {
    switch (level % 4) {
      case 0:
        return std::clamp((level - r) * 4, 0, 255);
      case 1:
        return std::clamp((r - level) * 4, 0, 255);
      case 2:
        return r == level / 2 ? 77 : std::clamp((level - r) * 4, 0, 255);
      default:
        return level;
    }
  };
  uint8_t table[256];
  ExpectLerpRows(
      [&](uint32_t* dst, const uint32_t* from, const uint32_t* src, int width, int level) {
        for (int r = 0; r < 256; ++r) table[r] = uint8_t(value(level, r));
        RuleRowOfMmx(dst, from, src, rule.data() + level % 7, width, table);
      },
      [&](int level, int x) { return W(value(level, rule[size_t(level % 7 + x)])); });
}

}  // namespace
}  // namespace bw
