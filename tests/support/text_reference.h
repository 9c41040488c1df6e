// Slow per-pixel references for the text kernels, written from their formulas one output pixel
// at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "support/pixel_reference.h"

namespace bw::reference {

// The soft edge of an 8-bit glyph plane, gathered per target pixel: (w + 2r) x (h + 2r) bytes,
// rows packed, r = min(|radius|, 64).
std::vector<uint8_t> EdgeMaskReference(const Plane& glyph, int radius, int32_t strength);

// T[v][255 - m] + T[k][m].
uint8_t CrossfadeReference(int v, int k, int m);
// The crossfade per colour channel of a 32-bit pixel, alpha kept.
uint32_t ColorCrossfadeReference(uint32_t d, uint32_t k, int m);

}  // namespace bw::reference
