// Helpers shared by the blend-kernel tests: a per-channel view of a pixel, and a keyed oracle
// whose key is the first source pixel the walk reads, so every round has at least one hit.
#pragma once

#include <algorithm>
#include <cstdint>

#include "graphics/pixel/blend_tables.h"
#include "support/pixel_reference.h"

namespace bw::reference {

inline int Channel(uint32_t p, int c) {
  return int(p >> (8 * c)) & 0xFF;
}
inline uint32_t WithChannel(uint32_t p, int c, int v) {
  return (p & ~(0xFFu << (8 * c))) | uint32_t(v & 0xFF) << (8 * c);
}
// d + floor((s - d) x w / 256), the lerp of the kernels, per channel.
inline int Lerp(int d, int s, int w) {
  return d + (((s - d) * w) >> 8);
}
inline int Saturate(int v) {
  return std::clamp(v, 0, 255);
}

// Wraps a pixel formula f(d, s) into a reference op; with keyed, source words equal to the key
// (fixed by the first pixel the reference reads) are skipped. Reset before each round by the
// call side through KeyedRound::Take.
struct KeyedRound {
  bool set = false;
  uint32_t key = 0;
  uint32_t Take() {
    set = false;
    return key;
  }
};

template <typename F>
auto PixelOp(F f, KeyedRound* keyed = nullptr) {
  return [f, keyed](uint8_t* d, const uint8_t* s) {
    uint32_t sv = Load32(s);
    if (keyed) {
      if (!keyed->set) keyed->set = true, keyed->key = sv;
      if (sv == keyed->key) return;
    }
    Store32(d, f(Load32(d), sv));
  };
}

}  // namespace bw::reference

namespace bw::reference {
// The kernels read the blend tables; every test program that includes this builds them first.
inline const bool kBlendTablesBuilt = [] {
  BuildBlendTables();
  return true;
}();
}  // namespace bw::reference
