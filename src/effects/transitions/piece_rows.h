// The pieces of one frame drawn by bands of target rows: each band's parts of the pieces in their
// order, those that continue one another from the same source rows as one span, so that a row of
// cells or strips costs one copy or blend rather than one per piece.
#pragma once

namespace bw {

struct TransitionFrame;

// Draws the pieces the frame holds (HoldPieceRows) with its copy or blend and forgets them. Rows
// are drawn apart from one another, so the source must be another picture.
void DrawPieceRows(TransitionFrame& frame);

}  // namespace bw
