// The skip pair shared with the quick-save modifier: a hold skips after its grace time unless it
// took an F key, and a new press starts the count again.
#include <gtest/gtest.h>

#include "input/skip_modifier.h"

namespace bw {
namespace {

constexpr uint32_t kGrace = SharedSkipModifier::kGraceMs;

TEST(SharedSkipModifier, AHoldSkipsOnlyAfterItsGraceTime) {
  SharedSkipModifier skip;
  EXPECT_FALSE(skip.Skips(true, true, false, 1000));
  EXPECT_FALSE(skip.Skips(true, false, false, 1000 + kGrace - 1));
  EXPECT_TRUE(skip.Skips(true, false, false, 1000 + kGrace));
  EXPECT_FALSE(skip.Skips(false, false, false, 1000 + kGrace + 1)) << "released";
  EXPECT_FALSE(skip.Skips(true, true, false, 2000)) << "a new hold waits again";
}

TEST(SharedSkipModifier, AHoldThatTookAnFKeyNeverSkips) {
  SharedSkipModifier skip;
  EXPECT_FALSE(skip.Skips(true, true, false, 0));
  EXPECT_FALSE(skip.Skips(true, false, true, 100));
  EXPECT_FALSE(skip.Skips(true, false, false, 5000)) << "F1 let go, the modifier still held";
  // Released and pressed again between two asks: a new hold.
  EXPECT_FALSE(skip.Skips(true, true, false, 6000));
  EXPECT_TRUE(skip.Skips(true, false, false, 6000 + kGrace));
}

}  // namespace
}  // namespace bw
