// Label: optimised
#include "host/movie/yuv_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace bw::host {
namespace {

// Studio-range BT.601 in real numbers: the colours both kernels approximate.
uint32_t Reference(int y, int u, int v) {
  const double c = (y - 16) * 255.0 / 219.0;
  const double d = (u - 128) * 255.0 / 224.0;
  const double e = (v - 128) * 255.0 / 224.0;
  auto channel = [](double value) {
    return static_cast<uint32_t>(std::lround(std::fmin(255.0, std::fmax(0.0, value))));
  };
  return channel(c + 1.402 * e) << 16 |
         channel(c - 1.772 * 0.114 / 0.587 * d - 1.402 * 0.299 / 0.587 * e) << 8 |
         channel(c + 1.772 * d);
}

int Channel(uint32_t pixel, int shift) {
  return static_cast<int>(pixel >> shift & 0xff);
}

TEST(YuvRows, PlainKernelStaysWithinOneOfTheReferenceWithAnOpaqueTopByte) {
  for (int y = 0; y < 256; y += 3) {
    for (int u = 0; u < 256; u += 5) {
      for (int v = 0; v < 256; v += 5) {
        const uint8_t ys[2] = {static_cast<uint8_t>(y), static_cast<uint8_t>(y)};
        const uint8_t us[1] = {static_cast<uint8_t>(u)};
        const uint8_t vs[1] = {static_cast<uint8_t>(v)};
        uint32_t out[2] = {};
        YuvRowToXrgbPlain(ys, us, vs, out, 2);
        const uint32_t want = Reference(y, u, v);
        ASSERT_EQ(out[0], out[1]) << "one chroma sample covers two pixels";
        ASSERT_EQ(out[0] >> 24, 0xffu);
        for (int shift : {0, 8, 16}) {
          ASSERT_LE(std::abs(Channel(out[0], shift) - Channel(want, shift)), 1)
              << "y " << y << " u " << u << " v " << v << " shift " << shift;
        }
      }
    }
  }
  const uint8_t black[1] = {16}, white[1] = {235}, grey[1] = {128};
  uint32_t out = 0;
  YuvRowToXrgbPlain(black, grey, grey, &out, 1);
  EXPECT_EQ(out, 0xff000000u);
  YuvRowToXrgbPlain(white, grey, grey, &out, 1);
  EXPECT_EQ(out, 0xffffffffu);
}

// Random rows (extremes included) of every width up to a few vectors, odd ones too: the vector
// kernel gives the plain kernel's pixels, with cached or streamed stores, and writes nothing past
// the row.
TEST(YuvRows, VectorKernelGivesThePlainPixelsAtEveryWidth) {
  std::mt19937 random(41);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int width = 1; width <= 67; ++width) {
    for (int round = 0; round < 20; ++round) {
      std::vector<uint8_t> y(width), u((width + 1) / 2), v((width + 1) / 2);
      for (auto* plane : {&y, &u, &v}) {
        for (uint8_t& value : *plane)
          value = static_cast<uint8_t>(round < 2 ? round * 255 : byte(random));
      }
      std::vector<uint32_t> plain(width + 1, 0x12345678u);
      YuvRowToXrgbPlain(y.data(), u.data(), v.data(), plain.data(), width);
      for (bool bypassCache : {false, true}) {
        alignas(16) uint32_t vector[68];
        std::fill(std::begin(vector), std::end(vector), 0x12345678u);
        YuvRowToXrgbSse2(y.data(), u.data(), v.data(), vector, width, bypassCache);
        ASSERT_EQ(std::vector<uint32_t>(vector, vector + width + 1), plain)
            << "width " << width << " round " << round << " bypassing the caches " << bypassCache;
      }
    }
  }
}

}  // namespace
}  // namespace bw::host
