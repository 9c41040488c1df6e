// Label: optimised
#include "graphics/pixel/pixel_kernels.h"

#include <gtest/gtest.h>

#include <vector>

#include "blend_reference.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using namespace reference;

// The copies in every walk, keyed or not, meet the surface blits' clipping test; here the key is
// the whole word at both vector widths.
TEST(CopyRows32Keyed, SkipsOnlyTheWholeKeyWord) {
  // The 128-bit and 256-bit forms of the vector set give the same bytes.
  for (bool wide : {false, true}) {
    ScopedWideVectors pin(wide);
    const uint32_t key = 0x00FF00FF;  // magenta with alpha 0
    // Keys and opaque magenta across whole vector groups and a tail.
    std::vector<uint32_t> src(19), dst(19, 7);
    for (size_t i = 0; i < src.size(); ++i) src[i] = i % 3 ? 0xFFFF00FFu : key;
    CopyRows32Keyed(dst.data(), src.data(), 0, 0, 19, 1, key);
    for (size_t i = 0; i < dst.size(); ++i)
      EXPECT_EQ(dst[i], i % 3 ? 0xFFFF00FFu : 7u) << "opaque magenta is not the key, " << i;
  }
}

TEST(FillRows, SetValueOrColourOnlyWithinTheRectangle) {
  // The 128-bit and 256-bit forms of the vector set give the same bytes.
  for (bool wide : {false, true}) {
    ScopedWideVectors pin(wide);
    std::mt19937 rng(77);
    for (int round = 0; round < 40; ++round) {
      Plane base = RandomPlane(rng, 1 + rng() % 40, 1 + rng() % 9, 4, 8);
      Geometry g =
          RandomGeometry(rng, Walk::kStraight, base.width, base.height, base.width, base.height);
      uint32_t value = static_cast<uint32_t>(rng());
      Plane expectFill = base, expectRgb = base;
      for (int j = 0; j < g.h; ++j) {
        for (int i = 0; i < g.w; ++i) {
          expectFill.Set32(g.dx + i, g.dy + j, value);
          uint32_t old = base.Get32(g.dx + i, g.dy + j);
          expectRgb.Set32(g.dx + i, g.dy + j, (old & 0xFF000000u) | (value & 0x00FFFFFFu));
        }
      }
      ptrdiff_t skip = base.pitch - g.w * 4;
      Plane fill = base, rgb = base, rgbMmx = base;
      FillRows32(fill.Ptr<uint32_t>(g.dx, g.dy), skip, g.w, g.h, value);
      FillRgbRows(rgb.Ptr<uint32_t>(g.dx, g.dy), skip, g.w, g.h, value);
      FillRgbRowsMmx(rgbMmx.Ptr<uint32_t>(g.dx, g.dy), skip, g.w, g.h, value);
      ASSERT_EQ(fill.bytes, expectFill.bytes) << "round " << round;
      ASSERT_EQ(rgb.bytes, expectRgb.bytes) << "round " << round;
      ASSERT_EQ(rgbMmx.bytes, expectRgb.bytes) << "round " << round;
    }
  }
}

// Fills larger than the caches take another way through memory; rows of odd width on padded
// rows must still come out whole and leave the padding alone.
TEST(FillRows, LargeFillsGiveTheSameRows) {
  constexpr int kWidth = 2049, kHeight = 2100, kPitch = 2052;
  for (bool wide : {false, true}) {
    ScopedWideVectors pin(wide);
    std::vector<uint32_t> pixels(size_t(kPitch) * kHeight, 0x5A5A5A5Au);
    FillRows32(pixels.data() + 1, (kPitch - kWidth) * 4, kWidth, kHeight, 0x80402010u);
    size_t wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kPitch; ++x) {
        const bool inside = x >= 1 && x <= kWidth;
        wrong += pixels[size_t(y) * kPitch + x] != (inside ? 0x80402010u : 0x5A5A5A5Au);
      }
    }
    EXPECT_EQ(wrong, 0u) << (wide ? "256-bit" : "128-bit");
  }
}
}  // namespace
}  // namespace bw
