#include "effects/transitions/transition_frame.h"

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "effects/transitions/piece_rows.h"
#include "graphics/device/render_item_sprite.h"
#include "graphics/pixel/alpha_kernels.h"
#include "graphics/pixel/alpha_over_pixel.h"
#include "graphics/pixel/pixel_kernels.h"
#include "graphics/surface/directdraw_ops.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/image_surface_ops.h"
#include "graphics/surface/pixel_library.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

// Pieces up to this many pixels skip the blit's general path (its checks and clipping record),
// whose cost outweighs the copy of a small piece, for a clipped copy of their own.
constexpr int64_t kInlinePieceArea = 4096;
constexpr int kNarrowPiece = 8;

Rect Intersect(const Rect& a, const Rect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

void Include(Rect& into, const Rect& r) {
  if (r.IsEmpty()) return;
  if (into.IsEmpty()) {
    into = r;
    return;
  }
  into = {std::min(into.left, r.left), std::min(into.top, r.top), std::max(into.right, r.right),
          std::max(into.bottom, r.bottom)};
}

bool Is32WithPixels(const Surface* s) {
  const auto* dib = dynamic_cast<const DibSurface*>(s);
  return dib && dib->GetPixels() && dib->GetBitsPerPixel() == 32;
}

// The blit's clipping of an unstretched, unmirrored piece: the source rectangle cut to the
// source's clip rectangle (moving the placement with it), then to the destination's. False when
// nothing is left.
bool ClipPiece(const TransitionFrame& f, const TransitionPiece& p, ClippedPiece& c) {
  const Rect r = Intersect(p.source, f.fromClip);
  if (r.IsEmpty()) return false;
  const int64_t x = int64_t{p.x} + (r.left - p.source.left);
  const int64_t y = int64_t{p.y} + (r.top - p.source.top);
  const Rect& dc = f.toClip;
  const int64_t left = std::max<int64_t>(x, dc.left), top = std::max<int64_t>(y, dc.top);
  const int64_t right = std::min<int64_t>(x + r.Width(), dc.right);
  const int64_t bottom = std::min<int64_t>(y + r.Height(), dc.bottom);
  if (left >= right || top >= bottom) return false;
  const int64_t sx = r.left + (left - x), sy = r.top + (top - y);
  c.width = int(right - left);
  c.height = int(bottom - top);
  c.left = int32_t(left);
  c.top = int32_t(top);
  c.to = reinterpret_cast<uint32_t*>(f.toPixels + f.toPitch * top) + left;
  c.from = reinterpret_cast<const uint32_t*>(f.fromPixels + f.fromPitch * sy) + sx;
  return true;
}

void InlineCopy(TransitionFrame& f, const TransitionPiece& p) {
  ClippedPiece c;
  if (!ClipPiece(f, p, c)) return;
  uint32_t* to = c.to;
  const uint32_t* from = c.from;
  const int width = c.width, height = c.height;
  if (width <= kNarrowPiece) {
    // The cells and single pixels of the dissolves: a call per row costs more than the copy.
    const ptrdiff_t toPitch = f.toPitch / 4, fromPitch = f.fromPitch / 4;
    for (int row = 0; row < height; ++row, to += toPitch, from += fromPitch) {
      for (int i = 0; i < width; ++i) to[i] = from[i];
    }
  } else {
    CopyRows32Mmx(to, from, f.toPitch - ptrdiff_t{width} * 4, f.fromPitch - ptrdiff_t{width} * 4,
                  width, height);
  }
  f.destination->SetChanged(true);
}

// Whether next continues run on one of its four sides, drawn with the same offset; run grows to
// cover it. Cascades walk their strips from either end. A piece inside out draws nothing, and
// must not pull the run's side back.
bool Extends(TransitionPiece& run, const TransitionPiece& next) {
  Rect& a = run.source;
  const Rect& b = next.source;
  if (b.right <= b.left || b.bottom <= b.top) return false;
  if (next.x - b.left != run.x - a.left || next.y - b.top != run.y - a.top) return false;
  if (b.top == a.top && b.bottom == a.bottom) {
    if (b.left == a.right) return a.right = b.right, true;
    if (b.right == a.left) return a.left = b.left, run.x = next.x, true;
  } else if (b.left == a.left && b.right == a.right) {
    if (b.top == a.bottom) return a.bottom = b.bottom, true;
    if (b.bottom == a.top) return a.top = b.top, run.y = next.y, true;
  }
  return false;
}

// Copies of pieces that touch end to end (a cascade's full strips) are one copy of their union:
// the clip cuts the union as it cuts the pieces, and the source is not the destination.
bool Joinable(const TransitionFrame& f, const TransitionPiece& p) {
  return f.kind == kDrawCopy && !p.stretched && f.key == kNoColorKey &&
         static_cast<const Surface*>(f.destination) != f.source;
}

void CopyPiece(TransitionFrame& f, const TransitionPiece& p) {
  ImageSurface* dst = f.destination;
  const Rect& r = p.source;
  if (f.inlineCopy && int64_t{r.Width()} * r.Height() <= kInlinePieceArea) {
    InlineCopy(f, p);
  } else {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)dst->Blit(f.source, p.x, p.y, &r, false);
  }
}

void DrawRun(TransitionFrame& f) {
  if (!f.holdsRun) return;
  f.holdsRun = false;
  CopyPiece(f, f.run);
}

// Pieces up to this side on both axes may take the cell copy.
constexpr int32_t kCellSide = 16;

template <int Width>
void CopyCellRows(uint32_t* to, const uint32_t* from, ptrdiff_t toPitch, ptrdiff_t fromPitch,
                  int32_t height) {
  for (int32_t row = 0; row < height; ++row, to += toPitch, from += fromPitch) {
    std::memcpy(to, from, sizeof(uint32_t) * Width);
  }
}

// The other widths up to a cell, by four pixels and a last four that may overlap the ones
// before: the library copy of a length known only at run time starts too slowly for a few
// pixels a row. The two pictures differ, so no row overlaps its source.
void CopyNarrowRows(uint32_t* to, const uint32_t* from, ptrdiff_t toPitch, ptrdiff_t fromPitch,
                    int32_t width, int32_t height) {
  if (width < 4) {
    for (int32_t row = 0; row < height; ++row, to += toPitch, from += fromPitch) {
      for (int32_t x = 0; x < width; ++x) to[x] = from[x];
    }
    return;
  }
  const auto move4 = [](uint32_t* d, const uint32_t* s) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)));
  };
  for (int32_t row = 0; row < height; ++row, to += toPitch, from += fromPitch) {
    for (int32_t x = 0; x + 4 < width; x += 4) move4(to + x, from + x);
    move4(to + width - 4, from + width - 4);
  }
}

// The destination is told once per frame that it changed.
void MarkChanged(TransitionFrame& f) {
  if (f.changed) return;
  f.destination->SetChanged(true);
  f.changed = true;
}

// Adds a copied cell's place to the cells' bounds, without a branch.
void IncludeCells(TransitionFrame& f, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Rect& cells = f.cellsTouched;
  cells = {std::min(cells.left, left), std::min(cells.top, top), std::max(cells.right, right),
           std::max(cells.bottom, bottom)};
}

// Whether a piece lands wholly outside the clip rectangle (or is empty): it draws nothing.
bool Misses(const Rect& clip, const TransitionPiece& p) {
  const Rect& r = p.source;
  const int64_t w = int64_t{r.right} - r.left, h = int64_t{r.bottom} - r.top;
  return w <= 0 || h <= 0 || p.x >= clip.right || p.y >= clip.bottom || p.x + w <= clip.left ||
         p.y + h <= clip.top;
}

// The dissolves' cells and single pixels, drawn as they come: for pieces this small the
// clipping of the general path, and even holding them for a joined copy, cost more than the
// copy. Answers false for a piece the cell copy does not take.
bool CopyCell(TransitionFrame& f, const Rect r, const int32_t x, const int32_t y) {
  const Rect &from = f.fromClip, &to = f.toClip;
  const int64_t w = int64_t{r.right} - r.left, h = int64_t{r.bottom} - r.top;
  if (w <= 0 || h <= 0 || w > kCellSide || h > kCellSide) return false;
  if (r.left < from.left || r.top < from.top || r.right > from.right || r.bottom > from.bottom)
    return false;
  if (x < to.left || y < to.top || x + w > to.right || y + h > to.bottom) return false;
  // Pieces held go first: pieces may overlap, and the later one shows.
  if (f.heldCount) DrawPieceRows(f);
  if (f.holdsRun) DrawRun(f);
  IncludeCells(f, x, y, int32_t(x + w), int32_t(y + h));
  auto* at = reinterpret_cast<uint32_t*>(f.toPixels + f.toPitch * y) + x;
  const auto* of = reinterpret_cast<const uint32_t*>(f.fromPixels + f.fromPitch * r.top) + r.left;
  // 32-bit rows: the pitches are whole pixels (a shift, where a division compiled to idiv).
  const ptrdiff_t toPitch = f.toPitch >> 2, fromPitch = f.fromPitch >> 2;
  const int32_t rows = int32_t(h);
  switch (w) {
    case 1:
      CopyCellRows<1>(at, of, toPitch, fromPitch, rows);
      break;
    case 2:
      CopyCellRows<2>(at, of, toPitch, fromPitch, rows);
      break;
    case 4:
      CopyCellRows<4>(at, of, toPitch, fromPitch, rows);
      break;
    case 8:
      CopyCellRows<8>(at, of, toPitch, fromPitch, rows);
      break;
    case 16:
      CopyCellRows<16>(at, of, toPitch, fromPitch, rows);
      break;
    default:
      CopyNarrowRows(at, of, toPitch, fromPitch, int32_t(w), rows);
  }
  MarkChanged(f);
  return true;
}

// Narrower pieces are blended a pixel at a time, without a kernel call per row.
constexpr int kOverRowWidth = 8;

void OverNarrow(const TransitionFrame& f, uint32_t* to, const uint32_t* from, int width,
                int height) {
  const ptrdiff_t toPitch = f.toPitch >> 2, fromPitch = f.fromPitch >> 2;
  if (f.overVectors) {
    pixel_detail::AlphaOverNarrowRows<true>(to, from, toPitch, fromPitch, width, height);
  } else {
    pixel_detail::AlphaOverNarrowRows<false>(to, from, toPitch, fromPitch, width, height);
  }
}

// Kind 1's pieces: the alpha blit's clipping and row kernel without its checks per call, which
// cost more than blending a small piece.
void OverPiece(TransitionFrame& f, const TransitionPiece& p) {
  const Rect& r = p.source;
  Include(f.touched, Intersect({p.x, p.y, p.x + r.Width(), p.y + r.Height()}, f.toClip));
  ClippedPiece c;
  if (!ClipPiece(f, p, c)) return;
  if (c.width < kOverRowWidth) {
    OverNarrow(f, c.to, c.from, c.width, c.height);
  } else {
    f.overRows(c.to, c.from, f.toPitch - ptrdiff_t{c.width} * 4,
               f.fromPitch - ptrdiff_t{c.width} * 4, c.width, c.height);
  }
  MarkChanged(f);
}

// Holds the piece of source columns [left, left + width) of rows [top, top + height) drawn at
// (x, y) where it lies inside both clip rectangles, the most, without the general clipping;
// answers false for any other.
bool HoldInside(TransitionFrame& f, int32_t left, int32_t top, int64_t width, int64_t height,
                int32_t x, int32_t y) {
  const Rect &from = f.fromClip, &to = f.toClip;
  if (width <= 0 || height <= 0 || left < from.left || top < from.top ||
      left + width > from.right || top + height > from.bottom || x < to.left || y < to.top ||
      x + width > to.right || y + height > to.bottom) {
    return false;
  }
  const auto w = int32_t(width), h = int32_t(height);
  IncludeCells(f, x, y, x + w, y + h);
  HoldPieceRows(
      f, {reinterpret_cast<uint32_t*>(f.toPixels + f.toPitch * y) + x,
          reinterpret_cast<const uint32_t*>(f.fromPixels + f.fromPitch * top) + left, w, h, x, y});
  MarkChanged(f);
  return true;
}

// A piece of a frame drawn by rows, held, marked as the blit would mark it.
void HoldRows(TransitionFrame& f, const TransitionPiece& p) {
  const Rect& r = p.source;
  if (HoldInside(f, r.left, r.top, int64_t{r.right} - r.left, int64_t{r.bottom} - r.top, p.x, p.y))
    return;
  Include(f.touched, Intersect({p.x, p.y, p.x + r.Width(), p.y + r.Height()}, f.toClip));
  ClippedPiece c;
  if (!ClipPiece(f, p, c)) return;
  HoldPieceRows(f, c);
  MarkChanged(f);
}

// Kind 1's cells, held for drawing by rows.
void HoldCells(TransitionFrame& f, const int32_t height, const Cell* cells, const size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const Cell& c = cells[i];
    if (HoldInside(f, c.left, c.top, c.width, height, c.x, c.y)) continue;
    TransitionPiece p;
    p.source = {c.left, c.top, c.left + c.width, c.top + height};
    p.x = c.x, p.y = c.y;
    if (!Misses(f.toClip, p)) HoldRows(f, p);
  }
}

class DrawingSink final : public PieceSink {
 public:
  int DrawWhole(TransitionFrame& f) override {
    switch (f.kind) {
      case kDrawCopy:
        return f.destination->Blit(f.source, f.x, f.y, nullptr, false);
      case kDrawAlpha:
        return f.destination->AlphaBlit(f.source, f.x, f.y, nullptr, false);
      default:
        return DirectDrawBltFast(f.ddTarget, f.ddSource, f.x, f.y, f.source->GetClipRectPtr(),
                                 &f.ddClip, f.key);
    }
  }

  void DrawPiece(TransitionFrame& f, const TransitionPiece& p) override { Draw(f, p); }

  // A cell given while the frame's batch is empty.
  static void DrawNow(TransitionFrame& f, const Rect source, const int32_t x, const int32_t y) {
    if (CopyCell(f, source, x, y)) return;
    TransitionPiece p;
    p.source = source;
    p.x = x, p.y = y;
    if (Misses(f.toClip, p)) return;
    if (f.byRows) {
      HoldRows(f, p);
    } else {
      DrawOther(f, p);
    }
  }

  void DrawPieces(TransitionFrame& f, const TransitionPiece* pieces, size_t count) override {
    for (size_t i = 0; i < count; ++i) Draw(f, pieces[i]);
  }

  void EndPieces(TransitionFrame& f) override {
    DrawPieceRows(f);
    DrawRun(f);
  }

 private:
  static void Draw(TransitionFrame& f, const TransitionPiece& p) {
    if (f.byRows && !p.stretched) {
      // The cells of kind 0 are copied at once; what is held goes first.
      if (f.cellCopy && CopyCell(f, p.source, p.x, p.y)) return;
      // The flights throw most of their blocks off the picture.
      if (!Misses(f.toClip, p)) HoldRows(f, p);
      return;
    }
    if (f.inlineCopy && !p.stretched) {
      if (Misses(f.toClip, p)) return;
    } else if (f.inlineOver && !p.stretched) {
      if (!Misses(f.toClip, p)) OverPiece(f, p);
      return;
    }
    DrawOther(f, p);
  }

  // Everything but the cells, apart so that the cells' path stays short.
  [[gnu::noinline]] static void DrawOther(TransitionFrame& f, const TransitionPiece& p) {
    if (f.heldCount) DrawPieceRows(f);
    const Rect& r = p.source;
    if (f.kind == kDrawDirectDraw) {
      if (p.stretched) {
        const Rect to{p.x, p.y, p.x + p.size.width, p.y + p.size.height};
        // A surface without pixels, or an area that misses it, is left as it is.
        (void)DirectDrawBlt(f.ddTarget, &to, f.ddSource, &r, &f.ddClip, f.key);
      } else {
        // A surface without pixels, or an area that misses it, is left as it is.
        (void)DirectDrawBltFast(f.ddTarget, f.ddSource, p.x, p.y, &r, &f.ddClip, f.key);
      }
      return;
    }
    ImageSurface* dst = f.destination;
    const Size extent = p.stretched ? p.size : Size{r.Width(), r.Height()};
    Include(f.touched, Intersect({p.x, p.y, p.x + extent.width, p.y + extent.height},
                                 f.inlineCopy ? f.toClip : *dst->GetClipRectPtr()));
    if (Joinable(f, p)) {
      if (f.holdsRun && Extends(f.run, p)) return;
      DrawRun(f);
      f.run = p;
      f.holdsRun = true;
      return;
    }
    DrawRun(f);
    if (p.stretched) {
      if (f.kind == kDrawCopy) {
        // A surface without pixels, or an area that misses it, is left as it is.
        (void)dst->StretchBlit(f.source, &p.size, p.x, p.y, &r, false);
      } else {
        // A surface without pixels, or an area that misses it, is left as it is.
        (void)dst->StretchAlphaBlit(f.source, &p.size, p.x, p.y, &r, false);
      }
      return;
    }
    if (f.inlineCopy && int64_t{r.Width()} * r.Height() <= kInlinePieceArea) {
      InlineCopy(f, p);
    } else if (f.kind == kDrawCopy) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)dst->Blit(f.source, p.x, p.y, &r, false);
    } else {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)dst->AlphaBlit(f.source, p.x, p.y, &r, false);
    }
  }
};

void TakePixels(TransitionFrame& f) {
  f.toPixels = f.destination->GetPixels(), f.toPitch = f.destination->GetPitch();
  f.fromPixels = f.source->GetPixels(), f.fromPitch = f.source->GetPitch();
  f.toClip = *f.destination->GetClipRectPtr(), f.fromClip = *f.source->GetClipRectPtr();
}

DrawingSink& OwnSink() {
  static DrawingSink own;
  return own;
}

// Spans a row of cells in place reads as, where it does: each cell at its own place in the
// picture, left to right and apart.
size_t CellsAsSpans(const TransitionFrame& f, int32_t height, const Cell* cells, size_t count,
                    ColumnSpan* spans) {
  const int32_t top = cells[0].top;
  if (height <= 0 || top < 0 || int64_t{top} + height > f.height) return 0;
  int64_t reached = 0;
  for (size_t i = 0; i < count; ++i) {
    const Cell& c = cells[i];
    if (c.top != top || c.left < reached || c.width <= 0 || int64_t{c.left} + c.width > f.width ||
        c.x - c.left != f.x || c.y != f.y + top) {
      return 0;
    }
    reached = int64_t{c.left} + c.width;
    spans[i] = {c.left, c.width};
  }
  return count;
}

// Cells a call takes at most: the patterns hand them on a run at a time.
constexpr size_t kSpanCells = 64;

// Draws the pieces given so far, batched, held or in a run, before what is drawn at once.
void DrawEverythingGiven(TransitionFrame& f) {
  FlushTransitionPieces(f);
  if (f.heldCount) DrawPieceRows(f);
  if (f.holdsRun) DrawRun(f);
}

}  // namespace

PieceSink& CurrentPieceSink() {
  PieceSink* installed = Global<PieceSink>::Get();
  return installed ? *installed : OwnSink();
}

void DrawSpansNow(TransitionFrame& f, const int32_t top, const int32_t rows,
                  const ColumnSpan* spans, const size_t count) {
  if (count == 0) return;
  DrawEverythingGiven(f);
  const int32_t y = f.y + top;
  DrawBandSpans(f, reinterpret_cast<uint32_t*>(f.toPixels + f.toPitch * y) + f.x,
                reinterpret_cast<const uint32_t*>(f.fromPixels + f.fromPitch * top), spans, count,
                rows);
  IncludeCells(f, f.x + spans[0].left, y, f.x + spans[count - 1].left + spans[count - 1].width,
               y + rows);
  MarkChanged(f);
}

void DrawRowSpansNow(TransitionFrame& f, const RowSpan* spans, const size_t count) {
  if (count == 0) return;
  DrawEverythingGiven(f);
  DrawRowSpans(f, spans, count);
  int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
  for (size_t i = 0; i < count; ++i) {
    const RowSpan& s = spans[i];
    left = std::min(left, s.left), right = std::max(right, s.left + s.width);
    top = std::min(top, s.top), bottom = std::max(bottom, s.top + 1);
  }
  IncludeCells(f, f.x + left, f.y + top, f.x + right, f.y + bottom);
  MarkChanged(f);
}

void DrawCellsNow(TransitionFrame& f, const int32_t height, const Cell* cells, const size_t count) {
  if (f.spansNow && count > 0 && count <= kSpanCells) {
    std::array<ColumnSpan, kSpanCells> spans;
    if (CellsAsSpans(f, height, cells, count, spans.data()) == count)
      return DrawSpansNow(f, cells[0].top, height, spans.data(), count);
  }
  // Pieces given before go first.
  FlushTransitionPieces(f);
  if (f.kind == kDrawAlpha) return HoldCells(f, height, cells, count);
  for (size_t i = 0; i < count; ++i) {
    const Cell& c = cells[i];
    DrawingSink::DrawNow(f, {c.left, c.top, c.left + c.width, c.top + height}, c.x, c.y);
  }
}

bool LaysRowsNow(const TransitionFrame& f) {
  return f.cellsNow && f.kind == kDrawCopy && f.spansNow;
}

void LayRowsNow(TransitionFrame& f, const int32_t top, const int32_t height) {
  DrawEverythingGiven(f);
  const int32_t y = f.y + top;
  uint8_t* to = f.toPixels + f.toPitch * y + ptrdiff_t{f.x} * 4;
  const uint8_t* from = f.fromPixels + f.fromPitch * top;
  for (int32_t row = 0; row < height; ++row, to += f.toPitch, from += f.fromPitch) {
    std::memcpy(to, from, sizeof(uint32_t) * size_t(f.width));
  }
  IncludeCells(f, f.x, y, f.x + f.width, y + height);
  MarkChanged(f);
}

int OpenTransitionFrame(Surface* destination, const Surface* source, int32_t progress, int32_t x,
                        int32_t y, int kind, Surface* backBuffer, TransitionFrame& f) {
  if (progress <= 0) return kTransitionStepDone;
  if (!source) return kTransitionUnsuitable;
  f.sink = &CurrentPieceSink();
  f.kind = kind;
  f.source = source;
  f.x = x, f.y = y;
  f.width = source->GetWidth(), f.height = source->GetHeight();
  if (kind == kDrawDirectDraw) {
    if (backBuffer) {
      f.ddTarget = DirectDrawSurfaceOf(backBuffer);
      f.ddClip = {0, 0, backBuffer->GetWidth(), backBuffer->GetHeight()};
    } else if (destination) {
      f.ddTarget = DirectDrawSurfaceOf(destination);
      destination->GetClipRect(&f.ddClip);
    }
    if (!f.ddTarget) return kTransitionUnsuitable;
    f.ddSource = DirectDrawSurfaceOf(source);
    f.key = source->GetColorKey();
    f.destWidth = f.ddClip.right, f.destHeight = f.ddClip.bottom;
  } else if (kind == kDrawCopy || kind == kDrawAlpha) {
    f.destination = dynamic_cast<ImageSurface*>(destination);
    if (!f.destination) return kTransitionUnsuitable;
    f.key = source->GetColorKey();
    f.destWidth = destination->GetWidth(), f.destHeight = destination->GetHeight();
    f.inlineCopy = kind == kDrawCopy && f.key == kNoColorKey && Is32WithPixels(destination) &&
                   Is32WithPixels(source);
    if (f.inlineCopy) {
      TakePixels(f);
      f.cellCopy = static_cast<const Surface*>(f.destination) != source;
      f.cellsNow = f.cellCopy && f.sink == &OwnSink();
      f.dropsOff = f.sink == &OwnSink();
    }
    // The engine's own pixel library blends as its kernels do, and may be left out; a library
    // loaded from the game's folder is called for every piece.
    const PixelLibrary* library = surface_ops::ActiveLibrary();
    const bool over = kind == kDrawAlpha && Is32WithPixels(destination) && Is32WithPixels(source) &&
                      (!library || library->IsBuiltIn());
    if (over) {
      TakePixels(f);
      f.inlineOver = !library;
      f.overKeepsAlpha = library != nullptr;
      f.overVectors = MmxEnabled();
      f.overRows = f.overVectors ? AlphaOverRowsMmx : AlphaOverRows;
      f.dropsOff = f.sink == &OwnSink();
    }
    f.byRows = (f.inlineCopy || over) && static_cast<const Surface*>(f.destination) != source &&
               f.sink == &OwnSink();
    if (over) f.cellsNow = f.byRows;
    const Rect &from = f.fromClip, &to = f.toClip;
    f.spansNow = f.byRows && from.left <= 0 && from.top <= 0 && from.right >= f.width &&
                 from.bottom >= f.height && f.x >= to.left && f.y >= to.top &&
                 int64_t{f.x} + f.width <= to.right && int64_t{f.y} + f.height <= to.bottom;
  } else {
    // A kind no blit knows draws nothing; it is reported rather than passed off as done.
    return kTransitionUnsuitable;
  }
  if (progress >= kProgressWhole) return f.sink->DrawWhole(f);
  return kContinueFrame;
}

void SuspendMarking(TransitionFrame& f) {
  if (!f.destination) return;
  f.suspendedList = f.destination->GetActiveDirtyList();
  f.destination->SetActiveDirtyList(nullptr);
  f.suspended = true;
}

void CloseTransitionFrame(TransitionFrame& f) {
  if (!f.suspended) return;
  f.destination->SetActiveDirtyList(f.suspendedList);
  f.suspended = false;
  const Rect& cells = f.cellsTouched;
  if (cells.left < cells.right) Include(f.touched, cells);
  if (!f.touched.IsEmpty()) f.destination->MarkDirty(f.touched);
}

}  // namespace bw
