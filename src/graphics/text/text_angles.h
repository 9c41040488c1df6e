// Text angles in tenths of a degree, counter-clockwise, through the engine's 512-step
// trigonometric table, as every text renderer turns its pens, advances and boxes.
#pragma once

#include <cstdint>

namespace bw {

// Vertical writing: the advance runs down, the lines step to the left.
constexpr int32_t kVerticalAngle = 2700;

// False at table step 0 (angle / 7.03 truncated toward zero) or without the process-wide table:
// the text runs unturned. Else the 16.16 cosine and sine of the step.
bool TurnOf(int32_t tenths, int32_t* cosine, int32_t* sine);
// (v x t) >> 16, cut to 32 bits.
int32_t MulFixed(int64_t v, int32_t t);

}  // namespace bw
