#include "platform/subtractive_random.h"

#include <gtest/gtest.h>

namespace bw {
namespace {

// Values of the generator worked out apart from this code.
TEST(SubtractiveRandom, GivesTheGeneratorsNumbers) {
  struct Case {
    int32_t seed;
    uint32_t raw[3];
    int32_t afterRemix[3];
  } cases[] = {
      {12345, {434623796, 402642582, 485091115}, {983, 359, 683}},
      {INT32_MIN, {937200263, 752338786, 755307507}, {407, 914, 515}},  // wraps, never overflows
  };
  for (const Case& c : cases) {
    SubtractiveRandom r;
    r.Seed(c.seed);
    // A range of 2^32 - 1 (a negative n) gives the numbers themselves.
    for (uint32_t v : c.raw) EXPECT_EQ(r.Draw(0xFFFFFFFF), static_cast<int32_t>(v)) << c.seed;
    EXPECT_EQ(r.Draw(0), 0) << "does not advance";
    for (int i = 0; i < 57; ++i) r.Draw(1000);
    for (int32_t v : c.afterRemix) EXPECT_EQ(r.Draw(1000), v) << c.seed;
    // A raw draw is the number itself; a ranged one takes it modulo its range.
    SubtractiveRandom raw, ranged;
    raw.Seed(c.seed), ranged.Seed(c.seed);
    EXPECT_EQ(raw.DrawRaw(), int32_t(c.raw[0]));
    EXPECT_EQ(ranged.Draw(1000), int32_t(c.raw[0] % 1000));
  }
}

}  // namespace
}  // namespace bw
