#include "platform/mersenne_twister.h"

namespace bw {
namespace {
constexpr int kMiddle = 397;
constexpr uint32_t kUpperMask = 0x80000000u;
constexpr uint32_t kLowerMask = 0x7fffffffu;
constexpr uint32_t kMatrix = 0x9908b0dfu;
constexpr uint32_t kLcgMultiplier = 69069;
}  // namespace

void MersenneTwister::Seed(uint32_t seed) {
  uint32_t x = seed;
  for (uint32_t& word : state_) {
    word = x & 0xffff0000u;
    x = kLcgMultiplier * x + 1;
    word |= x >> 16;
    x = kLcgMultiplier * x + 1;
  }
  index_ = kStateWords;
}

void MersenneTwister::Regenerate() {
  for (int i = 0; i < kStateWords; ++i) {
    uint32_t y = (state_[i] & kUpperMask) | (state_[(i + 1) % kStateWords] & kLowerMask);
    state_[i] = state_[(i + kMiddle) % kStateWords] ^ (y >> 1) ^ ((y & 1) ? kMatrix : 0);
  }
  index_ = 0;
}

uint32_t MersenneTwister::Next() {
  if (index_ >= kStateWords) {
    if (index_ == kNeverSeeded) Seed(kDefaultSeed);
    Regenerate();
  }
  uint32_t y = state_[index_++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

}  // namespace bw
