// Label: optimised
#include "host/movie/yuv_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <random>
#include <vector>

namespace bw::host {
namespace {

// Studio-range BT.601 in real numbers, channel at shift of 0xRRGGBB.
int Reference(int y, int u, int v, int shift) {
  const double c = (y - 16) * 255.0 / 219.0, d = (u - 128) * 255.0 / 224.0,
               e = (v - 128) * 255.0 / 224.0;
  const double value = shift == 16  ? c + 1.402 * e
                       : shift == 8 ? c - 0.344136 * d - 0.714136 * e
                                    : c + 1.772 * d;
  return static_cast<int>(std::lround(std::fmin(255.0, std::fmax(0.0, value))));
}

TEST(YuvRows, PlainKernelStaysWithinOneOfTheReferenceAndIsOpaque) {
  for (int y = 0; y < 256; y += 3) {
    for (int u = 0; u < 256; u += 5) {
      for (int v = 0; v < 256; v += 5) {
        const uint8_t ys[2] = {uint8_t(y), uint8_t(y)}, us[1] = {uint8_t(u)}, vs[1] = {uint8_t(v)};
        uint32_t out[2] = {};
        YuvRowToXrgbPlain(ys, us, vs, out, 2);
        ASSERT_EQ(out[0], out[1]) << "one chroma sample covers two pixels";
        ASSERT_EQ(out[0] >> 24, 0xffu);
        for (int shift : {0, 8, 16}) {
          ASSERT_NEAR(int(out[0] >> shift & 0xff), Reference(y, u, v, shift), 1)
              << "y " << y << " u " << u << " v " << v << " shift " << shift;
        }
      }
    }
  }
}

// Random rows (all 0 and all 255 among them) of every width up to a few vectors: the vector
// kernels, cached or streamed, give the plain pixels and write nothing past the row.
TEST(YuvRows, VectorKernelsGiveThePlainPixelsAtEveryWidth) {
  std::mt19937 random(41);
  for (int width = 1; width <= 67; ++width) {
    for (int round = 0; round < 20; ++round) {
      std::vector<uint8_t> y(width), u((width + 1) / 2), v((width + 1) / 2);
      for (auto* plane : {&y, &u, &v}) {
        for (uint8_t& value : *plane) value = uint8_t(round < 2 ? round * 255 : random());
      }
      std::vector<uint32_t> plain(width + 1, 0x12345678u);
      YuvRowToXrgbPlain(y.data(), u.data(), v.data(), plain.data(), width);
      for (auto kernel : {YuvRowToXrgbSse2, HasAvx2() ? YuvRowToXrgbAvx2 : YuvRowToXrgbSse2}) {
        for (bool bypassCache : {false, true}) {
          alignas(32) uint32_t out[68];
          std::fill(std::begin(out), std::end(out), 0x12345678u);
          kernel(y.data(), u.data(), v.data(), out, width, bypassCache);
          ASSERT_EQ(std::vector<uint32_t>(out, out + width + 1), plain)
              << "width " << width << " round " << round << " streamed " << bypassCache;
        }
      }
    }
  }
}

}  // namespace
}  // namespace bw::host
