// The strip routines several numbered modes are built from, and the block order tables.
#pragma once

#include <array>
#include <cstdint>

#include "graphics/surface/surface.h"

namespace bw {

// Cascade: strips of stripSize that start one step apart and grow to full size; fromStart counts
// them from the left (top) edge, else from the right (bottom). Results as a mode routine.
[[nodiscard]] int TransitionCascadeColumns(Surface* destination, const Surface* source,
                                           int32_t progress, int32_t x, int32_t y, bool fromStart,
                                           int kind, int32_t stripSize, Surface* backBuffer);
[[nodiscard]] int TransitionCascadeRows(Surface* destination, const Surface* source,
                                        int32_t progress, int32_t x, int32_t y, bool fromStart,
                                        int kind, int32_t stripSize, Surface* backBuffer);
// Smear: a band revealed from one edge, the band's edge column (row) stretched over the rest of
// the destination. fromStart reveals from the right (bottom) edge, else from the left (top).
[[nodiscard]] int TransitionSmearColumns(Surface* destination, const Surface* source,
                                         int32_t progress, int32_t x, int32_t y, bool fromStart,
                                         int kind, Surface* backBuffer);
[[nodiscard]] int TransitionSmearRows(Surface* destination, const Surface* source, int32_t progress,
                                      int32_t x, int32_t y, bool fromStart, int kind,
                                      Surface* backBuffer);

// The ranks at which the cells of a 4 by 4 grid are drawn (index: row * 4 + column).
using BlockOrder = std::array<int32_t, 16>;
constexpr BlockOrder kSpiralInOrder = {0, 1, 2, 3, 11, 12, 13, 4, 10, 15, 14, 5, 9, 8, 7, 6};
constexpr BlockOrder kSpiralOutOrder = {6, 7, 8, 9, 5, 0, 1, 10, 4, 3, 2, 11, 15, 14, 13, 12};
// Table k serves mode 45 + k: spiral in for even k, out for odd.
constexpr int kBlockOrderTables = 8;
constexpr const BlockOrder& BlockOrderTable(int k) {
  return k % 2 == 0 ? kSpiralInOrder : kSpiralOutOrder;
}

}  // namespace bw
