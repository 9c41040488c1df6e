#include "effects/transitions/numbered_modes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "common/global.h"
#include "effects/transitions/numbered_mode_kit.h"
#include "effects/transitions/transition_frame.h"
#include "effects/transitions/transition_random.h"
#include "effects/transitions/transition_strips.h"
#include "graphics/pixel/color_rows.h"
#include "graphics/pixel/filter_kernels.h"
#include "graphics/pixel/pixel_format.h"
#include "graphics/surface/directdraw_ops.h"
#include "graphics/surface/image_surface.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"

namespace bw {
namespace {

using namespace numbered_modes;

// ---- Mirrors, waves and jitter ----------------------------------------------------------------

int Mirror(TransitionFrame& f, bool rows) {
  if (rows) {
    for (int32_t i = 0; i < f.height; ++i)
      At(f, 0, i, f.width, i + 1, f.x, int64_t{f.y} + f.height - 1 - i);
  } else {
    for (int32_t i = 0; i < f.width; ++i)
      At(f, i, 0, i + 1, f.height, int64_t{f.x} + f.width - 1 - i, f.y);
  }
  return kTransitionStepDone;
}

int Wave(TransitionFrame& f, int32_t p, bool rows) {
  const TrigTables* trig = Trig();
  if (!trig) return kNeedsTables;
  const double a = (256 - p) / 256.0;
  const int32_t count = rows ? f.height : f.width, along = rows ? f.width : f.height;
  for (int32_t i = 0; i < count; ++i) {
    const int64_t n = (256 * int64_t{i}) / count - 128;
    const double factor = double(Cos(*trig, n)) * 2 * a * (1 / 65536.0) + 1.0;
    const int64_t extent = int64_t(factor * along);
    const int64_t shift = int64_t((factor - 1.0) * (along >> 1));
    if (rows) {
      Stretched(f, {0, i, f.width, i + 1}, extent, 1, int64_t{f.x} - shift, int64_t{f.y} + i);
    } else {
      Stretched(f, {i, 0, i + 1, f.height}, 1, extent, int64_t{f.x} + i, int64_t{f.y} - shift);
    }
  }
  return kTransitionStepDone;
}

int RowJitter(TransitionFrame& f, int32_t p) {
  const int32_t n = 256 - p;
  SubtractiveRandom& r = TransitionRandom();
  for (int32_t i = 0; i < f.height; ++i) {
    const int32_t off = DrawBelow(r, n) - (n >> 1);
    At(f, 0, i, f.width, i + 1, int64_t{f.x} + off, int64_t{f.y} + i);
  }
  return kTransitionStepDone;
}

// x mod n for any 32-bit x by multiplications (exact for every x and n >= 1): the jitter draws
// two remainders for every other cell, where a divide would queue.
class Remainder {
 public:
  explicit Remainder(uint32_t n) : n_(n), m_(UINT64_MAX / n + 1) {}
  uint32_t Of(uint32_t x) const {
    return uint32_t((static_cast<unsigned __int128>(m_ * x) * n_) >> 64);
  }

 private:
  uint64_t n_;
  uint64_t m_;
};

int JitteredCells(TransitionFrame& f, int32_t p) {
  const int32_t d = p < 128 ? 10 : p < 200 ? 6 : p < 230 ? 4 : 2;
  const Remainder below{uint32_t(d)};
  // A copy of the generator, put back after: the cells stored between draws could otherwise be
  // the generator's own numbers, for all the compiler knows, and every draw would load afresh.
  SubtractiveRandom r = TransitionRandom();
  // Every place gets one cell: where the rows can be laid first, only the cells that move follow.
  const bool laid = LaysRowsNow(f);
  for (int32_t cy = 0; cy < f.height; cy += 2) {
    const int32_t h = std::min(2, f.height - cy), y = Fit(int64_t{f.y} + cy);
    if (laid) LayRowsNow(f, cy, h);
    CellRow row(f, h);
    for (int32_t cx = 0; cx < f.width; cx += 4) {
      const int32_t w = std::min(4, f.width - cx), x = Fit(int64_t{f.x} + cx);
      if ((Draw(r) & 255) <= p) {
        if (!laid) row.Add({cx, cy, w, x, y});
        continue;
      }
      int32_t dx = int32_t(below.Of(uint32_t(Draw(r))));
      int32_t dy = int32_t(below.Of(uint32_t(Draw(r))));
      if (cx + dx + w > f.width) dx = 0;
      if (cy + dy + h > f.height) dy = 0;
      row.Add({cx + dx, cy + dy, w, x, y});
    }
  }
  TransitionRandom() = r;
  return kTransitionStepDone;
}

// Modes 6 to 10: the threshold of a cell.
int64_t DissolveThreshold(int mode, const TransitionFrame& f, int32_t p, int32_t cx, int32_t cy) {
  const int64_t w = f.width, h = f.height, ramp = 2 * int64_t{p} - 256;
  switch (mode) {
    case 7:
      return ((h - 1 - cy) * 256) / h + ramp;
    case 8:
      return (int64_t{cy} * 256) / h + ramp;
    case 9:
      return ((w - 1 - cx) * 256) / w + ramp;
    case 10:
      return (int64_t{cx} * 256) / w + ramp;
    default:
      return p;
  }
}

int Dissolve(TransitionFrame& f, int32_t p, int mode) {
  SubtractiveRandom& r = TransitionRandom();
  // The thresholds of a row (modes 6 to 8) or of each column (9 and 10), worked out once.
  const bool byColumn = mode >= 9;
  std::vector<int64_t> columns;
  if (byColumn) {
    for (int32_t cx = 0; cx < f.width; cx += 4)
      columns.push_back(DissolveThreshold(mode, f, p, cx, 0));
  }
  for (int32_t cy = 0; cy < f.height; cy += 2) {
    const int32_t y = Fit(int64_t{f.y} + cy);
    const int64_t rowThreshold = byColumn ? 0 : DissolveThreshold(mode, f, p, 0, cy);
    CellRow row(f, std::min(2, f.height - cy));
    size_t k = 0;
    for (int32_t cx = 0; cx < f.width; cx += 4, ++k) {
      const int64_t threshold = byColumn ? columns[k] : rowThreshold;
      row.AddIf({cx, cy, std::min(4, f.width - cx), Fit(int64_t{f.x} + cx), y},
                (Draw(r) & 255) <= threshold);
    }
  }
  return kTransitionStepDone;
}

int CentreDissolve(TransitionFrame& f, int32_t p) {
  const int64_t reach = ((int64_t{f.width} + f.height) * p) >> 8;
  SubtractiveRandom& r = TransitionRandom();
  for (int32_t cy = 0; cy < f.height; cy += 2) {
    const int32_t y = Fit(int64_t{f.y} + cy);
    const double ey = 2.0 * cy - f.height;
    CellRow row(f, std::min(2, f.height - cy));
    for (int32_t cx = 0; cx < f.width; cx += 2) {
      const double ex = 2.0 * cx - f.width;
      const int64_t dist = int64_t(std::sqrt(ey * ey + ex * ex));
      row.AddIf({cx, cy, std::min(2, f.width - cx), Fit(int64_t{f.x} + cx), y},
                (Draw(r) & 255) <= reach - dist);
    }
  }
  return kTransitionStepDone;
}

// Modes 11 to 15.
int GrowingSquare(TransitionFrame& f, int32_t p, int mode) {
  const int64_t w = f.width, h = f.height;
  const int64_t s = (std::max(w, h) * p) >> 8;
  int64_t l = 0, t = 0;
  if (mode == 11) {
    l = std::max<int64_t>((w >> 1) - (s >> 1), 0);
    t = std::max<int64_t>((h >> 1) - (s >> 1), 0);
  } else {
    if (mode == 13 || mode == 15) l = std::max<int64_t>(w - s, 0);
    if (mode == 14 || mode == 15) t = std::max<int64_t>(h - s, 0);
  }
  InPlace(f, l, t, l + std::min(s, w - l), t + std::min(s, h - t));
  return kTransitionStepDone;
}

// A line of a row or column mode: [from, to) along it, line i across.
// Columns [l, r) of row j drawn at once where the frame allows; false where it is to be a piece.
bool SpanNow(TransitionFrame& f, int64_t j, int64_t l, int64_t r) {
  if (!f.spansNow || j < 0 || j >= f.height || l < 0 || l >= r || r > f.width) return false;
  const ColumnSpan span{int32_t(l), int32_t(r - l)};
  DrawSpansNow(f, int32_t(j), 1, &span, 1);
  return true;
}

void Line(TransitionFrame& f, bool rows, int64_t i, int64_t from, int64_t to) {
  if (rows) {
    if (SpanNow(f, i, from, to)) return;
    InPlace(f, from, i, to, i + 1);
  } else {
    InPlace(f, i, from, i + 1, to);
  }
}

int Interlaced(TransitionFrame& f, int32_t p, bool rows) {
  const int64_t along = rows ? f.width : f.height, count = rows ? f.height : f.width;
  const int64_t e = (along * p) >> 8;
  for (int64_t j = 0; j < count; ++j) {
    if (j % 2 == 0) {
      Line(f, rows, j, 0, e);
    } else {
      Line(f, rows, j, along - 1 - e, along);
    }
  }
  return kTransitionStepDone;
}

int InterlacedTwoPhases(TransitionFrame& f, int32_t p, bool rows) {
  const int64_t along = rows ? f.width : f.height, count = rows ? f.height : f.width;
  auto phase = [&](int64_t e, int64_t first) {
    for (int64_t j = first; j < count; j += 2) {
      if (j % 4 == first) {
        Line(f, rows, j, 0, e);
      } else {
        Line(f, rows, j, std::max<int64_t>(along - 1 - e, 0), along);
      }
    }
  };
  phase((along * std::min(p, 128)) >> 7, 0);
  if (p > 128) phase((along * (p - 128)) >> 7, 1);
  return kTransitionStepDone;
}

int FrayedEdge(TransitionFrame& f, int32_t p, bool fromTop) {
  const int64_t w = f.width, h = f.height;
  const int64_t e = (h * p) >> 8;
  const int64_t offsets[6] = {-(w / 9), w / 9, -((2 * w) / 9), (2 * w) / 9, -(w / 3), w / 3};
  if (fromTop) {
    InPlace(f, 0, 0, w, e);
  } else {
    InPlace(f, 0, h - e, w, h);
  }
  for (int k = 0; k < 6; ++k) {
    const int64_t r = fromTop ? e + k : h - e - 1 - k;
    At(f, 0, r, w, r + 1, f.x + offsets[k], f.y + r);
  }
  return kTransitionStepDone;
}

// Modes 23 to 26.
int CosineSlide(TransitionFrame& f, int32_t p, int mode) {
  const TrigTables* trig = Trig();
  if (!trig) return kNeedsTables;
  const int32_t k = mode == 23 || mode == 25 ? 255 - p : p - 255;
  for (int32_t i = 0; i < f.height; ++i) {
    const int32_t dx =
        mode <= 24 ? (trig->Cosine(i % 512) * k * 2) >> 16 : (trig->Cosine((i % 64) * 8) * k) >> 16;
    At(f, 0, i, f.width, i + 1, int64_t{f.x} + dx, int64_t{f.y} + i);
  }
  return kTransitionStepDone;
}

// ---- Circles, grids, bands and blocks -----------------------------------------------------------

int64_t Root(int64_t v) {
  return int64_t(std::sqrt(double(std::max<int64_t>(v, 0))));
}

// The chords of a circle mode, handed on many rows at a time where the frame takes spans at
// once; any other chord is a piece, after those before it.
class Chords {
 public:
  explicit Chords(TransitionFrame& f) : f_(f) {}
  ~Chords() { Flush(); }
  Chords(const Chords&) = delete;
  Chords& operator=(const Chords&) = delete;
  // The chord [l, r) of row j: below 0 it lies on row 0; at or beyond H it draws nothing.
  void Add(int64_t j, int64_t l, int64_t r) {
    if (j >= f_.height) return;
    j = std::max<int64_t>(j, 0);
    if (!f_.spansNow || l < 0 || l >= r || r > f_.width) {
      Flush();
      return InPlace(f_, l, j, r, j + 1);
    }
    spans_[n_++] = {int32_t(j), int32_t(l), int32_t(r - l)};
    if (n_ == spans_.size()) Flush();
  }
  void Centred(int64_t j, int64_t length) {
    const int64_t w = f_.width;
    const int64_t l = std::max<int64_t>((w >> 1) - (length >> 1), 0);
    Add(j, l, l + std::min(length, w - l));
  }
  void Flush() { DrawRowSpansNow(f_, spans_.data(), std::exchange(n_, 0)); }

 private:
  TransitionFrame& f_;
  std::array<RowSpan, 128> spans_;
  size_t n_ = 0;
};

int EdgeCircle(TransitionFrame& f, int32_t p, bool fromTop) {
  const int64_t w = f.width, h = f.height;
  const int64_t dmax = int64_t(2 * std::sqrt(double((w * w) / 4 + h * h)));
  const int64_t d = (dmax * p) >> 8, radius = d >> 1, r2 = (d * d) / 4;
  Chords chords(f);
  for (int64_t k = 0; k < radius; ++k) {
    chords.Centred(fromTop ? k : h - k, int64_t(2 * std::sqrt(double(r2 - k * k))));
  }
  return kTransitionStepDone;
}

int HalfCircle(TransitionFrame& f, int32_t p, bool fromLeft) {
  const int64_t w = f.width, h = f.height;
  const int64_t dmax = int64_t(2 * std::sqrt(double((h * h) / 4 + w * w)));
  const int64_t d = (dmax * p) >> 8, r2 = (d * d) / 4;
  Chords chords(f);
  for (int64_t j = (h >> 1) - (d >> 1); j < (h >> 1) + (d >> 1); ++j) {
    const int64_t e = j - (h >> 1);
    const int64_t length = std::min(Root(r2 - e * e), w);
    if (fromLeft) {
      chords.Add(j, 0, length);
    } else {
      chords.Add(j, w - length, w);
    }
  }
  return kTransitionStepDone;
}

int CentreCircle(TransitionFrame& f, int32_t p) {
  const int64_t h = f.height;
  const int64_t d = ((int64_t{f.width} + h) * p) >> 8, r2 = (d * d) / 4;
  Chords chords(f);
  for (int64_t j = (h >> 1) - (d >> 1); j < (h >> 1) + (d >> 1); ++j) {
    const int64_t e = j - (h >> 1);
    chords.Centred(j, int64_t(2 * std::sqrt(double(std::max<int64_t>(r2 - e * e, 0)))));
  }
  return kTransitionStepDone;
}

int SquareGrid(TransitionFrame& f, int32_t p, int32_t cell) {
  const int32_t s = (cell * p) >> 8;
  // Cells of no size draw nothing; they are given as pieces only to a sink that keeps them.
  if (s <= 0 && f.spansNow) return kTransitionStepDone;
  for (int32_t cy = 0; cy < f.height; cy += cell) {
    SpanRow row(f, cy, std::min(s, f.height - cy));
    for (int32_t cx = 0; cx < f.width; cx += cell) row.Add(cx, cx + std::min(s, f.width - cx));
  }
  return kTransitionStepDone;
}

// Modes 35 to 42.
int Bands(TransitionFrame& f, int32_t p, bool rows, int32_t band, bool fromEnd) {
  const int32_t count = rows ? f.height : f.width, along = rows ? f.width : f.height;
  const int32_t limit = band == 8 ? p >> 5 : p >> 4;
  const auto lit = [&](int32_t i) { return (fromEnd ? band - 1 - i % band : i % band) <= limit; };
  if (!rows) {
    // The columns all cross the picture's height: one band.
    SpanRow columns(f, 0, along);
    for (int32_t i = 0; i < count; ++i) {
      if (lit(i)) columns.Add(i, i + 1);
    }
    return kTransitionStepDone;
  }
  if (f.spansNow) {
    // Rows lit one after another are one copy or blend of whole rows.
    const ColumnSpan whole{0, along};
    for (int32_t i = 0; i < count;) {
      if (!lit(i)) {
        ++i;
        continue;
      }
      const int32_t first = i;
      while (i < count && lit(i)) ++i;
      DrawSpansNow(f, first, i - first, &whole, 1);
    }
    return kTransitionStepDone;
  }
  for (int32_t i = 0; i < count; ++i) {
    if (lit(i)) Line(f, rows, i, 0, along);
  }
  return kTransitionStepDone;
}

int DiagonalStripes(TransitionFrame& f, int32_t p, int32_t period) {
  const int32_t length = period == 8 ? p >> 5 : p >> 4, w = f.width;
  for (int32_t j = 0; j < f.height; ++j) {
    SpanRow row(f, j, 1);
    for (int32_t s = -(j % (period - 1)); s < w; s += period) {
      const int32_t from = std::max(s, 0), to = int32_t(std::min<int64_t>(int64_t{s} + length, w));
      if (from < to) row.Add(from, to);
    }
  }
  return kTransitionStepDone;
}

// Modes 45 to 52: table k serves mode 45 + k.
int OrderedBlocks(TransitionFrame& f, int32_t p, int mode) {
  static constexpr int32_t kCells[kBlockOrderTables] = {1, 1, 2, 2, 4, 4, 8, 8};
  const int k = mode - 45;
  const int32_t c = kCells[k], t = p >> 4;
  const BlockOrder& order = BlockOrderTable(k);
  for (int32_t cy = 0; cy < f.height; cy += c) {
    const int32_t line = ((cy / c) % 4) * 4, y = Fit(int64_t{f.y} + cy);
    CellRow row(f, std::min(c, f.height - cy));
    for (int32_t cx = 0; cx < f.width; cx += c) {
      row.AddIf({cx, cy, std::min(c, f.width - cx), Fit(int64_t{f.x} + cx), y},
                order[size_t(line + (cx / c) % 4)] <= t);
    }
  }
  return kTransitionStepDone;
}

// ---- Cross-fade and filters ---------------------------------------------------------------------

uint32_t Weights(int32_t w) {
  const uint32_t v = uint32_t(w) & 0xFF;
  return v | v << 8 | v << 16;
}

// Where the whole picture lands, for the operations that mark their own area (suspended
// during the frame).
void TouchWhole(TransitionFrame& f) {
  if (!f.destination) return;
  const Rect& clip = *f.destination->GetClipRectPtr();
  f.touched = {std::max(f.x, clip.left), std::max(f.y, clip.top),
               Fit(std::min<int64_t>(int64_t{f.x} + f.width, clip.right)),
               Fit(std::min<int64_t>(int64_t{f.y} + f.height, clip.bottom))};
}

// DirectDraw memory has no weighted blit: unsuitable surfaces, not the unknown mode's answer.
int CrossFade(TransitionFrame& f, int32_t p) {
  if (f.kind == kDrawDirectDraw) return kTransitionUnsuitable;
  TouchWhole(f);
  if (f.kind == kDrawCopy) {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)f.destination->WeightedBlit(f.source, Weights(256 - p), Weights(p - 1), f.x, f.y,
                                      nullptr);
  } else {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)f.destination->AlphaOpacityBlit(0, f.source, p - 1, f.x, f.y, nullptr);
  }
  return kTransitionStepDone;
}

// Where the engine's own sink would copy the whole picture inside both clip rectangles and the
// filter then change every pixel it copied (the invert; a mosaic with blocks to make), the
// picture goes through the filter on its way in: one pass, not a copy and a pass over it.
// False, drawing nothing, elsewhere.
bool FilterInPassing(TransitionFrame& f, int mode, int blockSize, int anchor) {
  if (f.kind != kDrawCopy || !f.spansNow || f.destination->GetColorKey() != kNoColorKey)
    return false;
  const bool invert = mode == 70;
  if (!invert && !MosaicMakesBlocks(f.width, f.height, blockSize)) return false;
  auto* to = reinterpret_cast<uint32_t*>(f.toPixels + f.toPitch * f.y) + f.x;
  const auto* from = reinterpret_cast<const uint32_t*>(f.fromPixels);
  if (invert) {
    const ptrdiff_t row = ptrdiff_t{f.width} * 4;
    (MmxEnabled() ? InvertRowsFromMmx : InvertRowsFrom)(to, from, f.toPitch - row,
                                                        f.fromPitch - row, f.width, f.height, 0);
  } else {
    MosaicBlocks(to, f.toPitch, from, f.fromPitch, f.width, f.height,
                 MosaicGridOf(f.width, f.height, blockSize, anchor));
  }
  return true;
}

// Modes 68 to 70: the whole picture, then a filter over where it landed.
int Filtered(TransitionFrame& f, int32_t p, int mode) {
  const int blockSize = ((255 - p) >> 2) + 1, anchor = mode == 68 ? 0 : 1;
  if (FilterInPassing(f, mode, blockSize, anchor)) {
    TouchWhole(f);
    return kTransitionStepDone;
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)f.sink->DrawWhole(f);
  TouchWhole(f);
  const Rect drawn{f.x, f.y, Fit(int64_t{f.x} + f.width), Fit(int64_t{f.y} + f.height)};
  if (f.kind != kDrawDirectDraw) {
    if (mode == 70) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)f.destination->Invert(0, &drawn);
    } else {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)f.destination->Mosaic(blockSize, anchor, &drawn);
    }
    return kTransitionStepDone;
  }
  const int format = ClassifyPixelFormat(f.ddTarget, nullptr, nullptr);
  host::DdSurfaceDesc desc;
  if (f.ddTarget->Lock(&desc) != host::kDdOk) return kTransitionUnsuitable;
  if (mode == 70) {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)InvertPixelMemory(0, format, desc.surface, desc.pitch, &drawn, &f.ddClip);
  } else {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)MosaicPixelMemory(format, desc.surface, desc.pitch, &drawn, &f.ddClip, blockSize, anchor);
  }
  // Unlocking what was locked just above cannot fail.
  (void)f.ddTarget->Unlock();
  return kTransitionStepDone;
}

// ---- Pinwheels and halves
// -------------------------------------------------------------------------

// One sector of a pinwheel: unit steps along its axis (u) and toward the next axis (v).
struct Sector {
  int ux, uy, vx, vy;
};

// How far the picture reaches from the centre along a unit step.
int64_t Reach(const TransitionFrame& f, int sx, int sy) {
  const int64_t cx = f.width / 2, cy = f.height / 2;
  if (sx > 0) return f.width - 1 - cx;
  if (sx < 0) return cx;
  if (sy > 0) return f.height - 1 - cy;
  return cy;
}

int Pinwheel(TransitionFrame& f, int32_t p, bool clockwise) {
  const TrigTables* trig = Trig();
  if (!trig) return kNeedsTables;
  static constexpr Sector kClockwise[4] = {
      {1, 0, 0, 1}, {0, 1, -1, 0}, {-1, 0, 0, -1}, {0, -1, 1, 0}};
  static constexpr Sector kCounter[4] = {
      {1, 0, 0, -1}, {0, -1, -1, 0}, {-1, 0, 0, 1}, {0, 1, 1, 0}};
  const int64_t c = Cos(*trig, p / 2), s = Sin(*trig, p / 2);
  const int64_t cx = f.width / 2, cy = f.height / 2;
  for (int k = 0; k < 4; ++k) {
    const Sector& e = clockwise ? kClockwise[k] : kCounter[k];
    const int64_t uMax = Reach(f, e.ux, e.uy), vMax = Reach(f, e.vx, e.vy);
    for (int64_t v = 0; v <= vMax; ++v) {
      // Half-open at the axes: the line u = 0 belongs to the previous sector; the centre to the
      // first.
      int64_t u0 = k == 0 && v == 0 ? 0 : 1;
      if (v > 0) {
        if (s <= 0) break;
        u0 = std::max(u0, (v * c + s - 1) / s);
      }
      if (u0 > uMax) {
        if (v > 0) break;
        continue;
      }
      // The line from u0 to uMax at v, as a row or a column of the picture.
      const int64_t x0 = cx + u0 * e.ux + v * e.vx, y0 = cy + u0 * e.uy + v * e.vy;
      const int64_t x1 = cx + uMax * e.ux + v * e.vx, y1 = cy + uMax * e.uy + v * e.vy;
      InPlace(f, std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1, std::max(y0, y1) + 1);
    }
  }
  return kTransitionStepDone;
}

int Halves(TransitionFrame& f, int32_t p, bool rows) {
  const int64_t length = rows ? f.height : f.width, half = length / 2;
  const int64_t s = half * p / 256;
  if (rows) {
    At(f, 0, half - s, f.width, half, f.x, f.y);
    At(f, 0, half, f.width, half + s, f.x, f.y + length - s);
  } else {
    At(f, half - s, 0, half, f.height, f.x, f.y);
    At(f, half, 0, half + s, f.height, f.x + length - s, f.y);
  }
  return kTransitionStepDone;
}

// ---- The table
// ------------------------------------------------------------------------------------

int Pattern(int mode, TransitionFrame& f, int32_t p) {
  if (f.width <= 0 || f.height <= 0) return kTransitionStepDone;
  if (mode <= 1) return Mirror(f, mode == 1);
  if (mode <= 3) return Wave(f, p, mode == 2);
  if (mode == 4) return RowJitter(f, p);
  if (mode == 5) return JitteredCells(f, p);
  if (mode <= 10) return Dissolve(f, p, mode);
  if (mode <= 15) return GrowingSquare(f, p, mode);
  if (mode <= 17) return Interlaced(f, p, mode == 16);
  if (mode <= 19) return InterlacedTwoPhases(f, p, mode == 18);
  if (mode == 20) return CentreDissolve(f, p);
  if (mode <= 22) return FrayedEdge(f, p, mode == 21);
  if (mode <= 26) return CosineSlide(f, p, mode);
  if (mode <= 28) return EdgeCircle(f, p, mode == 27);
  if (mode <= 30) return HalfCircle(f, p, mode == 29);
  if (mode == 31) return CentreCircle(f, p);
  if (mode <= 34) return SquareGrid(f, p, 4 << (mode - 32));
  if (mode <= 42) {
    const int k = mode - 35;
    return Bands(f, p, k >= 4, k % 4 < 2 ? 8 : 16, k % 2 == 1);
  }
  if (mode <= 44) return DiagonalStripes(f, p, mode == 43 ? 8 : 16);
  if (mode <= 52) return OrderedBlocks(f, p, mode);
  if (mode == 53) return CrossFade(f, p);
  if (mode <= 63) return Flight(f, p, mode);
  if (mode <= 65) return DroppingCells(f, p, mode == 64 ? 8 : 16);
  if (mode <= 67) return Jitter(f, p, mode == 67);
  if (mode <= 70) return Filtered(f, p, mode);
  if (mode <= 84) return Pinwheel(f, p, mode == 83);
  return Halves(f, p, mode == 86);
}

template <int Mode>
int Routine(Surface* destination, const Surface* source, int32_t progress, int32_t x, int32_t y,
            int kind, Surface* backBuffer) {
  if constexpr (Mode >= 71 && Mode <= 82) {
    constexpr int k = Mode - 71;
    constexpr bool fromStart = k % 2 == 0;
    if constexpr (k < 8) {
      constexpr int32_t strip = k % 4 < 2 ? 16 : 8;
      return k < 4 ? TransitionCascadeColumns(destination, source, progress, x, y, fromStart, kind,
                                              strip, backBuffer)
                   : TransitionCascadeRows(destination, source, progress, x, y, fromStart, kind,
                                           strip, backBuffer);
    } else {
      return k < 10 ? TransitionSmearColumns(destination, source, progress, x, y, fromStart, kind,
                                             backBuffer)
                    : TransitionSmearRows(destination, source, progress, x, y, fromStart, kind,
                                          backBuffer);
    }
  } else {
    return RunTransitionFrame(destination, source, progress, x, y, kind, backBuffer,
                              [](TransitionFrame& f, int32_t p) { return Pattern(Mode, f, p); });
  }
}

template <size_t... Modes>
constexpr std::array<TransitionRoutine, sizeof...(Modes)> MakeTable(std::index_sequence<Modes...>) {
  return {&Routine<int(Modes)>...};
}

constexpr std::array<TransitionRoutine, kTransitionModes> kRoutines =
    MakeTable(std::make_index_sequence<kTransitionModes>());

}  // namespace

TransitionRoutine NumberedModeRoutine(int mode) {
  if (mode < 0 || mode >= kTransitionModes) return nullptr;
  return kRoutines[size_t(mode)];
}

}  // namespace bw
