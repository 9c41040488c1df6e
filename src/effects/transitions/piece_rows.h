// The pieces of one frame drawn by bands of target rows: each band's parts of the pieces in their
// order, those that continue one another from the same source rows as one span, so that a row of
// cells or strips costs one copy or blend rather than one per piece.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw {

struct TransitionFrame;

// Draws the pieces the frame holds (HoldPieceRows) with its copy or blend and forgets them. Rows
// are drawn apart from one another, so the source must be another picture.
void DrawPieceRows(TransitionFrame& frame);

struct ColumnSpan;
struct RowSpan;
// Single-row spans in place drawn in order with the frame's copy or blend.
void DrawRowSpans(const TransitionFrame& frame, const RowSpan* spans, size_t count);
// Spans of one band of `rows` rows, left to right and apart, drawn with the frame's copy or blend
// at once; to and from are the band's first rows at column 0.
void DrawBandSpans(const TransitionFrame& frame, uint32_t* to, const uint32_t* from,
                   const ColumnSpan* spans, size_t count, int32_t rows);

}  // namespace bw
