// The transitions' own random generator and the 256-byte order table of the dissolves.
#pragma once

#include <cstdint>

#include "platform/subtractive_random.h"

namespace bw {

// The generator the dissolves draw from. Seeded from the engine clock (the virtual one when
// headless) on first use; only the thread that runs the frame draws from it.
SubtractiveRandom& TransitionRandom();
void ReseedTransitionRandom(int32_t seed);

// 256 values drawn from the generator seeded with 0 (the same on every run), then the generator
// is seeded again from the clock. Built on the first call; later calls do nothing.
void BuildRandomOrderTable();
// The table; all zero until BuildRandomOrderTable has run.
const uint8_t* RandomOrderTable();

}  // namespace bw
