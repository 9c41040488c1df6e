#include "graphics/pixel/color_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace bw {
namespace {

// The invert from a picture into another target, and in place, in both kernel sets: each pixel
// the picture's XOR the mode's mask, the padding beside the rows untouched. Widths cover the
// vector body and its tail.
TEST(InvertRows, FromAPictureAndInPlaceGiveThePictureXorTheMask) {
  std::mt19937 rng(70);
  using FromRows = void (*)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int, int);
  using InPlaceRows = void (*)(uint32_t*, ptrdiff_t, int, int, int);
  const std::pair<FromRows, InPlaceRows> sets[] = {{InvertRowsFrom, InvertRows},
                                                   {InvertRowsFromMmx, InvertRowsMmx}};
  for (size_t set = 0; set < 2; ++set) {
    for (int mode : {0, 1, 2}) {
      for (int w : {1, 3, 4, 7, 9}) {
        const int h = 3, fromPad = 2, toPad = 5;
        std::vector<uint32_t> from(size_t((w + fromPad) * h)), into(size_t((w + toPad) * h), 9u);
        for (uint32_t& p : from) p = uint32_t(rng());
        std::vector<uint32_t> inPlace = from;
        sets[set].first(into.data(), from.data(), toPad * 4, fromPad * 4, w, h, mode);
        sets[set].second(inPlace.data(), fromPad * 4, w, h, mode);
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < w + toPad; ++x) {
            const uint32_t got = into[size_t(y * (w + toPad) + x)];
            if (x >= w) {
              ASSERT_EQ(got, 9u) << "padding, set " << set << " mode " << mode << " w " << w;
              continue;
            }
            const uint32_t want = from[size_t(y * (w + fromPad) + x)] ^ InvertMask(mode);
            ASSERT_EQ(got, want) << "from, set " << set << " mode " << mode << " at " << x;
            ASSERT_EQ(inPlace[size_t(y * (w + fromPad) + x)], want)
                << "in place, set " << set << " mode " << mode << " at " << x;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace bw
