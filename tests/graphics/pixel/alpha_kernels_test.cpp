// Label: optimised
#include "graphics/pixel/alpha_kernels.h"

#include <gtest/gtest.h>

#include <vector>

#include "blend_reference.h"

namespace bw {
namespace {

using namespace reference;

// The colour and alpha copies in their walks, keyed or not, meet the surface blits' clipping
// test; here a word that differs from the key in alpha only is still copied, by either set.
TEST(ChannelRows, KeyedColorCopyComparesTheWholeWord) {
  for (auto kernel : {CopyColorRowsKeyed, CopyColorRowsKeyedMmx}) {
    uint32_t dst[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
    const uint32_t src[4] = {0x00FF00FF, 0xFFFF00FF, 0x00FF00FF, 0x01020304};
    kernel(dst, src, 0, 0, 4, 1, 0x00FF00FF);
    EXPECT_EQ(std::vector<uint32_t>(dst, dst + 4),
              (std::vector<uint32_t>{0x11111111, 0x22FF00FF, 0x33333333, 0x44020304}));
  }
}

}  // namespace
}  // namespace bw
