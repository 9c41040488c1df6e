#include "graphics/pixel/blend_tables.h"

#include <algorithm>

namespace bw {

uint8_t ProductTable[256][256];
uint8_t ClampTableStorage[1792];
uint16_t WeightTable[256][4];
uint8_t OverWeightTable[256][256];
uint8_t AlphaUnionTable[256][256];

void BuildBlendTables() {
  for (uint32_t a = 0; a < 256; ++a) {
    uint32_t acc = 127;
    for (uint32_t b = 0; b < 256; ++b) {
      ProductTable[a][b] = static_cast<uint8_t>(acc / 255);
      acc += a;
    }
  }
  for (int i = 0; i < 1792; ++i) {
    ClampTableStorage[i] = static_cast<uint8_t>(std::clamp(i - 768, 0, 255));
  }
  for (int k = 0; k < 256; ++k) {
    uint16_t w = k == 0 ? 0 : static_cast<uint16_t>(k + 1);
    WeightTable[k][0] = WeightTable[k][1] = WeightTable[k][2] = w;
    WeightTable[k][3] = 0;
  }
  // The share is 255c / (c + b - bc/255) in units of 1/255; computed in integers so that exact
  // quotients (e.g. [51][153] = 225) are not lost to floating-point truncation.
  for (int c = 0; c < 256; ++c) OverWeightTable[0][c] = 255;
  for (uint32_t b = 1; b < 256; ++b) {
    for (uint32_t c = 0; c < 256; ++c) {
      uint32_t value = 65025 * c / (255 * c + 255 * b - b * c);
      OverWeightTable[b][c] = static_cast<uint8_t>(std::min<uint32_t>(255, value));
    }
  }
  for (uint32_t a = 0; a < 256; ++a) {
    for (uint32_t c = 0; c < 256; ++c) {
      AlphaUnionTable[a][c] = static_cast<uint8_t>(255 - (255 - a) * (255 - c) / 255);
    }
  }
}

}  // namespace bw
