// The MT19937 generator behind the scripts' random functions, with the classic seeding by a
// linear congruential generator (not the seeding of std::mt19937).
#pragma once

#include <array>
#include <cstdint>

namespace bw {

class MersenneTwister {
 public:
  static constexpr uint32_t kDefaultSeed = 4357;  // used when drawn without a seed

  void Seed(uint32_t seed);
  uint32_t Next();

 private:
  static constexpr int kStateWords = 624;
  static constexpr int kNeverSeeded = kStateWords + 1;

  void Regenerate();

  std::array<uint32_t, kStateWords> state_{};
  int32_t index_ = kNeverSeeded;
};

}  // namespace bw
