// The subtractive random generator of the scripts and the transitions: 55 numbers below one
// billion, mixed by subtraction; each user keeps its own instance. Arithmetic wraps at 32 bits, so
// any seed (the clock's too) gives defined numbers.
#pragma once

#include <array>
#include <cstdint>

namespace bw {

class SubtractiveRandom {
 public:
  static constexpr int32_t kModulus = 1000000000;

  void Seed(int32_t seed);
  // A number below n (n taken as unsigned); 0 for n = 0, which does not advance the generator.
  int32_t Draw(uint32_t n);
  // The next number itself, 0 to kModulus - 1. Inline: the dissolves draw one per cell.
  int32_t DrawRaw() {
    if (++index_ > 55) {
      Mix();
      index_ = 1;
    }
    return a_[index_];
  }

 private:
  void Mix();

  std::array<int32_t, 56> a_{};  // a_[1] to a_[55]
  uint16_t index_ = 55;
};

}  // namespace bw
