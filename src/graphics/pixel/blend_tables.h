// The five lookup tables that the blend kernels read. BuildBlendTables fills them on the main
// thread at start-up, before anything is drawn and before any other thread starts; afterwards
// they are only read, from any thread, without a lock.
#pragma once

#include <cstdint>

namespace bw {

// T[a][b] = (a x b + 127) / 255.
extern uint8_t ProductTable[256][256];
// Saturates an index from -768 to 1023 into 0..255; use ClampByte or ClampTableAt.
extern uint8_t ClampTableStorage[1792];
// Entry 0 = (0, 0, 0, 0); entry k >= 1 = (k + 1, k + 1, k + 1, 0): a lerp weight per lane.
extern uint16_t WeightTable[256][4];
// [destination alpha][source alpha]: the source colour's share when a translucent source is laid
// over a translucent destination.
extern uint8_t OverWeightTable[256][256];
// [a][c]: the alpha of two layered alphas.
extern uint8_t AlphaUnionTable[256][256];

void BuildBlendTables();

inline const uint8_t* ClampTable() {
  return ClampTableStorage + 768;
}

}  // namespace bw
