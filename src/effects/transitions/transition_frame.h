// What every numbered transition routine shares: the checks and targets of one call (the frame),
// the pieces a pattern is drawn as, and the sink that draws them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/global.h"
#include "graphics/surface/surface.h"

namespace bw {

class DirtyRectList;
class ImageSurface;
class PieceSink;
namespace host {
class MemorySurface;
}

// Draw kinds.
constexpr int kDrawCopy = 0;
constexpr int kDrawAlpha = 1;
constexpr int kDrawDirectDraw = 2;

// Progress at and above which the whole picture is drawn in one piece.
constexpr int32_t kProgressWhole = 256;

// Routine results.
constexpr int kTransitionStepDone = 0;
constexpr int kTransitionUnsuitable = 1;

// One piece: the source rectangle (right and bottom exclusive) drawn at (x, y), stretched to
// size when stretched is set.
struct TransitionPiece {
  Rect source;
  int32_t x = 0;
  int32_t y = 0;
  bool stretched = false;
  Size size;
};

// A piece cut to both pictures' clip rectangles: `height` rows of `width` pixels from `from`
// drawn at `to`, whose top left lands at (left, top) on the destination.
struct ClippedPiece {
  uint32_t* to;
  const uint32_t* from;
  int width;
  int height;
  int32_t left;
  int32_t top;
};

// The surfaces and targets of one routine call.
struct TransitionFrame {
  int kind = kDrawCopy;
  ImageSurface* destination = nullptr;  // kinds 0 and 1
  const Surface* source = nullptr;
  host::MemorySurface* ddTarget = nullptr;  // kind 2
  host::MemorySurface* ddSource = nullptr;
  Rect ddClip;
  uint32_t key = kNoColorKey;
  // Kind 0 between 32-bit pictures without a colour key: small pieces take the inline copy,
  // through both pictures' pixels, pitches and clip rectangles taken when the frame opens.
  bool inlineCopy = false;
  uint8_t* toPixels = nullptr;
  const uint8_t* fromPixels = nullptr;
  ptrdiff_t toPitch = 0;
  ptrdiff_t fromPitch = 0;
  Rect toClip;
  Rect fromClip;
  // The inline copy between two different pictures: small pieces inside both clip rectangles are
  // copied straight away, in order, and need no joining.
  bool cellCopy = false;
  // Kind 1 between 32-bit pictures without the pixel library: every unstretched piece is clipped
  // as the blit clips it and blended by the alpha blit's own row kernel (set through the
  // pixels, pitches and clip rectangles above), without the blit's per-call checks.
  bool inlineOver = false;
  void (*overRows)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int) = nullptr;
  bool overVectors = false;  // overRows is the vector set's
  // Kind 1 through the engine's own pixel library, whose blend keeps the destination's alpha.
  bool overKeepsAlpha = false;
  // The engine's own sink draws the unstretched pieces of kinds 0 and 1 between two different
  // 32-bit pictures a row at a time (piece_rows.h) once the step's pieces are all given, or
  // before anything it draws at once; held meanwhile.
  bool byRows = false;
  size_t heldCount = 0;
  bool changed = false;  // the destination has been told it changed
  int32_t width = 0;     // the source's
  int32_t height = 0;
  int32_t destWidth = 0;  // what the smear wipes fill out to
  int32_t destHeight = 0;
  int32_t x = 0;
  int32_t y = 0;
  // What the pieces of kinds 0 and 1 may have changed, marked once at the end, and the dirty
  // list the destination had before.
  Rect touched;
  // The cells' share of it, gathered without a branch: empty while left > right.
  Rect cellsTouched{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  DirtyRectList* suspendedList = nullptr;
  bool suspended = false;
  // The engine's own sink copies the cells that patterns give many of a run at a time as they
  // come (DrawTransitionCells), rather than through the batch.
  bool cellsNow = false;
  // The engine's own sink draws nothing of a piece wholly outside toClip: a pattern may leave
  // such pieces out (LandsOff), as the flights do most of their blocks.
  bool dropsOff = false;
  // The engine's own sink draws kinds 0 and 1 by rows, and the picture, drawn at the frame's
  // place, lies within both clip rectangles: spans in place are drawn as they come
  // (DrawSpansNow), without clipping or holding.
  bool spansNow = false;
  // Copy pieces that continue one another, held by the engine's sink and drawn as one.
  TransitionPiece run;
  bool holdsRun = false;
  // The sink current when the frame opened: looked up once, not per piece.
  PieceSink* sink = nullptr;
  // Pieces given but not yet handed to the sink, which takes them a batch per call.
  static constexpr size_t kBatch = 64;
  std::array<TransitionPiece, kBatch> batch;
  size_t batched = 0;
  // The pieces held for drawing by rows, last: the fields above are read for every piece.
  static constexpr size_t kHeldPieces = 256;
  std::array<ClippedPiece, kHeldPieces> held;
};

// Draws pieces with the frame's kind. The engine's own sink draws; tests install a recorder
// (ScopedGlobal<PieceSink>).
class PieceSink {
 public:
  virtual ~PieceSink() = default;
  // The whole source at the frame's position (the final step); the blit's result.
  [[nodiscard]] virtual int DrawWhole(TransitionFrame& frame) = 0;
  // One piece of an intermediate step; its result is not examined.
  virtual void DrawPiece(TransitionFrame& frame, const TransitionPiece& piece) = 0;
  // Pieces in the order given.
  virtual void DrawPieces(TransitionFrame& frame, const TransitionPiece* pieces, size_t count) {
    for (size_t i = 0; i < count; ++i) DrawPiece(frame, pieces[i]);
  }
  // Draws what the sink held back; called once the step's pieces are all given.
  virtual void EndPieces(TransitionFrame&) {}
};

// The installed sink, or the engine's own one.
PieceSink& CurrentPieceSink();

// Runs the frame of one routine call: progress 0 or less draws nothing; then the targets are
// found (1 when a DirectDraw target is missing, 1 for an unknown draw kind); progress 256 or more
// draws the whole source; otherwise pattern(frame, progress) draws the pieces with the
// destination's dirty marking suspended and one bounding rectangle marked after.
template <typename Pattern>
[[nodiscard]] int RunTransitionFrame(Surface* destination, const Surface* source, int32_t progress,
                                     int32_t x, int32_t y, int kind, Surface* backBuffer,
                                     Pattern&& pattern);

// ---- The frame's steps (used by RunTransitionFrame) -------------------------------------------

// kContinueFrame when the pattern is to be drawn; else the call's result.
constexpr int kContinueFrame = -100;
[[nodiscard]] int OpenTransitionFrame(Surface* destination, const Surface* source, int32_t progress,
                                      int32_t x, int32_t y, int kind, Surface* backBuffer,
                                      TransitionFrame& frame);
// Suspends the destination's dirty marking; CloseTransitionFrame restores it and marks what the
// pieces touched.
void SuspendMarking(TransitionFrame& frame);
void CloseTransitionFrame(TransitionFrame& frame);
// Hands the pieces held in the frame to its sink.
inline void FlushTransitionPieces(TransitionFrame& frame) {
  if (frame.batched == 0) return;
  frame.sink->DrawPieces(frame, frame.batch.data(), frame.batched);
  frame.batched = 0;
}
// One piece through the frame's sink; pieces are handed on in batches, and all of them before
// the step ends.
inline void DrawTransitionPiece(TransitionFrame& frame, const TransitionPiece& piece) {
  frame.batch[frame.batched++] = piece;
  if (frame.batched == TransitionFrame::kBatch) FlushTransitionPieces(frame);
}

// An unstretched piece, written straight into its place in the batch: a piece put together
// apart and then copied in is read back before its parts have left the store queue.
inline void DrawTransitionPiece(TransitionFrame& frame, const Rect& source, int32_t x, int32_t y) {
  TransitionPiece& slot = frame.batch[frame.batched];
  slot.source = source;
  slot.x = x;
  slot.y = y;
  slot.stretched = false;
  slot.size = {};
  if (++frame.batched == TransitionFrame::kBatch) FlushTransitionPieces(frame);
}

void DrawPieceRows(TransitionFrame& frame);
// Whether a piece continues the one held before it below, or beside it on either side, from the
// same source rows; the last grows to cover it. They share no pixel, and nothing comes between.
inline bool ContinuesHeld(const TransitionFrame& frame, ClippedPiece& last, const ClippedPiece& p) {
  const ptrdiff_t to = p.to - last.to, from = p.from - last.from;
  if (p.left == last.left && p.width == last.width && p.top == last.top + last.height) {
    if (to != (frame.toPitch >> 2) * last.height || from != (frame.fromPitch >> 2) * last.height)
      return false;
    last.height += p.height;
    return true;
  }
  if (p.top != last.top || p.height != last.height || to != from) return false;
  if (to == last.width) {
    last.width += p.width;
    return true;
  }
  if (to != -p.width) return false;
  last = {p.to, p.from, last.width + p.width, last.height, p.left, last.top};
  return true;
}

// Holds a clipped piece for drawing by rows after those held before it.
inline void HoldPieceRows(TransitionFrame& frame, const ClippedPiece& piece) {
  if (frame.heldCount && ContinuesHeld(frame, frame.held[frame.heldCount - 1], piece)) return;
  frame.held[frame.heldCount] = piece;
  if (++frame.heldCount == TransitionFrame::kHeldPieces) DrawPieceRows(frame);
}

// Whether an unstretched piece of w by h (both above 0) drawn at (x, y) may be left out: it lands
// wholly outside the destination's clip rectangle and the sink would draw nothing of it.
// Without branches, for patterns that test every block they place.
inline bool LandsOff(const TransitionFrame& frame, int32_t w, int32_t h, int32_t x, int32_t y) {
  const Rect& clip = frame.toClip;
  return frame.dropsOff & ((x >= clip.right) | (y >= clip.bottom) | (int64_t{x} + w <= clip.left) |
                           (int64_t{y} + h <= clip.top));
}

// Cells of one height: source columns [left, left + width) of rows [top, top + height) drawn at
// (x, y).
struct Cell {
  int32_t left, top, width, x, y;
};
void DrawCellsNow(TransitionFrame& frame, int32_t height, const Cell* cells, size_t count);
// The cells in order: at once by the engine's own sink where the frame's cellsNow is set, else
// as pieces.
inline void DrawTransitionCells(TransitionFrame& frame, int32_t height, const Cell* cells,
                                size_t count) {
  if (frame.cellsNow) return DrawCellsNow(frame, height, cells, count);
  for (size_t i = 0; i < count; ++i) {
    const Cell& c = cells[i];
    DrawTransitionPiece(frame, {c.left, c.top, c.left + c.width, c.top + height}, c.x, c.y);
  }
}

// Source columns [left, left + width) of a band of rows, drawn in place.
struct ColumnSpan {
  int32_t left, width;
};
// Spans of source rows [top, top + rows) drawn at (f.x + left, f.y + top), after everything
// given before; left to right, apart, inside the picture; for frames where spansNow is set.
void DrawSpansNow(TransitionFrame& frame, int32_t top, int32_t rows, const ColumnSpan* spans,
                  size_t count);

// Source columns [left, left + width) of row top, drawn in place.
struct RowSpan {
  int32_t top, left, width;
};
// Single-row spans in order, after everything given before; each inside the picture (they may
// overlap, the later drawn last); for frames where spansNow is set.
void DrawRowSpansNow(TransitionFrame& frame, const RowSpan* spans, size_t count);

// Whether whole rows of the source may be laid in place at once: the engine's own sink copies
// cells as they come, and the picture, drawn at the frame's place, lies within both clip
// rectangles. A pattern that covers every place with one cell (mode 5) then lays a row of cells
// first and gives only the cells that move: cells that do not overlap show the same in any order.
bool LaysRowsNow(const TransitionFrame& frame);
// Source rows [top, top + height) copied to their place; for frames where LaysRowsNow holds.
void LayRowsNow(TransitionFrame& frame, int32_t top, int32_t height);

template <typename Pattern>
[[nodiscard]] int RunTransitionFrame(Surface* destination, const Surface* source, int32_t progress,
                                     int32_t x, int32_t y, int kind, Surface* backBuffer,
                                     Pattern&& pattern) {
  TransitionFrame frame;
  const int opened =
      OpenTransitionFrame(destination, source, progress, x, y, kind, backBuffer, frame);
  if (opened != kContinueFrame) return opened;
  SuspendMarking(frame);
  const int result = pattern(frame, progress);
  FlushTransitionPieces(frame);
  frame.sink->EndPieces(frame);
  CloseTransitionFrame(frame);
  return result;
}

}  // namespace bw
