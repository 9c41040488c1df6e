// Deterministic pictures like a game's backgrounds and sprites: a gradient, a few flat shapes
// and some noise, with a soft-edged alpha. For test data, seed files and the benchmarks.
#pragma once

#include <cstdint>
#include <vector>

namespace bw::tools {

// width x height pixels 0xAARRGGBB, top-down.
std::vector<uint32_t> MakeBackdrop(uint32_t width, uint32_t height, uint32_t seed);

}  // namespace bw::tools
