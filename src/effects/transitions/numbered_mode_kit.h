// What the numbered modes share: where pieces land, rows of cells and spans handed on a run at a
// time, the random draws and the turning tables. Kept inline: the modes call them per cell.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <utility>

#include "common/global.h"
#include "effects/transitions/transition_frame.h"
#include "effects/transitions/transition_random.h"
#include "platform/trig_tables.h"

namespace bw::numbered_modes {

inline constexpr int kNeedsTables = 1;

// Cells and blocks are handed on a run of up to kRun along a row at a time.
inline constexpr int32_t kRun = 64;

// Placements far off the picture still fit the blit's 32-bit arguments.
inline int32_t Fit(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                     std::numeric_limits<int32_t>::max()));
}

// Cells of one row of cells, gathered and handed on a run at a time (DrawTransitionCells); the
// row's cells must all be handed on (Flush) before the next row's, which may differ in height.
class CellRow {
 public:
  CellRow(TransitionFrame& f, int32_t height) : f_(f), height_(height) {}
  ~CellRow() { Flush(); }
  CellRow(const CellRow&) = delete;
  CellRow& operator=(const CellRow&) = delete;
  // The cell when take is set, without a branch on it.
  void AddIf(const Cell& cell, bool take) {
    cells_[n_] = cell;
    n_ += take;
    if (n_ == cells_.size()) Flush();
  }
  void Add(const Cell& cell) { AddIf(cell, true); }
  void Flush() { DrawTransitionCells(f_, height_, cells_.data(), std::exchange(n_, 0)); }

 private:
  TransitionFrame& f_;
  int32_t height_;
  std::array<Cell, kRun> cells_;
  size_t n_ = 0;
};

inline void At(TransitionFrame& f, int64_t l, int64_t t, int64_t r, int64_t b, int64_t x,
               int64_t y) {
  DrawTransitionPiece(f, {Fit(l), Fit(t), Fit(r), Fit(b)}, Fit(x), Fit(y));
}

inline void InPlace(TransitionFrame& f, int64_t l, int64_t t, int64_t r, int64_t b) {
  At(f, l, t, r, b, int64_t{f.x} + l, int64_t{f.y} + t);
}

// Spans of source rows [top, top + rows) in place, gathered a row of the picture at a time:
// drawn at once where the frame allows, else as pieces in order.
class SpanRow {
 public:
  SpanRow(TransitionFrame& f, int32_t top, int32_t rows) : f_(f), top_(top), rows_(rows) {}
  ~SpanRow() { Flush(); }
  SpanRow(const SpanRow&) = delete;
  SpanRow& operator=(const SpanRow&) = delete;
  // Columns [from, to), each span right of the one before; empty only where spansNow is not set.
  void Add(int32_t from, int32_t to) {
    spans_[n_++] = {from, to - from};
    if (n_ == spans_.size()) Flush();
  }
  void Flush() {
    const size_t n = std::exchange(n_, 0);
    if (f_.spansNow) return DrawSpansNow(f_, top_, rows_, spans_.data(), n);
    for (size_t i = 0; i < n; ++i) {
      const ColumnSpan& s = spans_[i];
      InPlace(f_, s.left, top_, int64_t{s.left} + s.width, int64_t{top_} + rows_);
    }
  }

 private:
  TransitionFrame& f_;
  int32_t top_, rows_;
  std::array<ColumnSpan, 256> spans_;
  size_t n_ = 0;
};

inline void Stretched(TransitionFrame& f, const Rect& source, int64_t w, int64_t h, int64_t x,
                      int64_t y) {
  TransitionPiece piece;
  piece.source = source;
  piece.x = Fit(x), piece.y = Fit(y);
  piece.stretched = true;
  piece.size = {Fit(w), Fit(h)};
  DrawTransitionPiece(f, piece);
}

// Cells of cw by ch visited row by row from the top, clipped at the right and bottom edges.
template <typename Visit>
void ForCells(const TransitionFrame& f, int32_t cw, int32_t ch, Visit&& visit) {
  for (int32_t cy = 0; cy < f.height; cy += ch) {
    const int32_t h = std::min(ch, f.height - cy);
    for (int32_t cx = 0; cx < f.width; cx += cw) visit(cx, cy, std::min(cw, f.width - cx), h);
  }
}

// The generator is looked up once per pattern, not per cell.
inline int32_t Draw(SubtractiveRandom& r) {
  return r.DrawRaw();
}
inline int32_t DrawBelow(SubtractiveRandom& r, int32_t n) {
  return int32_t(uint32_t(r.DrawRaw()) % uint32_t(n));
}

inline const TrigTables* Trig() {
  return Global<TrigTables>::Get();
}
inline int64_t Cos(const TrigTables& t, int64_t step) {
  return t.Cosine(int(step & 511));
}
inline int64_t Sin(const TrigTables& t, int64_t step) {
  return t.Cosine(int((step - 128) & 511));
}

// The block flights (modes 54 to 67), in their own unit.
[[nodiscard]] int Flight(TransitionFrame& f, int32_t p, int mode);
[[nodiscard]] int DroppingCells(TransitionFrame& f, int32_t p, int32_t size);
[[nodiscard]] int Jitter(TransitionFrame& f, int32_t p, bool falling);

}  // namespace bw::numbered_modes
