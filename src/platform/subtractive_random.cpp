#include "platform/subtractive_random.h"

namespace bw {

namespace {

int32_t Subtract(int32_t a, int32_t b) {
  int32_t d = static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
  return d < 0 ? static_cast<int32_t>(static_cast<uint32_t>(d) + SubtractiveRandom::kModulus) : d;
}

}  // namespace

void SubtractiveRandom::Seed(int32_t seed) {
  a_[55] = seed;
  int32_t k = 1;
  for (int i = 1; i <= 54; ++i) {
    int j = (21 * i) % 55;
    a_[j] = k;
    k = Subtract(seed, k);
    seed = a_[j];
  }
  for (int pass = 0; pass < 3; ++pass) Mix();
  index_ = 55;
}

void SubtractiveRandom::Mix() {
  for (int i = 1; i <= 24; ++i) a_[i] = Subtract(a_[i], a_[i + 31]);
  for (int i = 25; i <= 55; ++i) a_[i] = Subtract(a_[i], a_[i - 24]);
}

int32_t SubtractiveRandom::Draw(uint32_t n) {
  if (n == 0) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(DrawRaw()) % n);
}

}  // namespace bw
