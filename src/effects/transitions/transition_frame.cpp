#include "effects/transitions/transition_frame.h"

#include <algorithm>
#include <cstring>

#include "graphics/device/render_item_sprite.h"
#include "graphics/pixel/pixel_kernels.h"
#include "graphics/surface/directdraw_ops.h"
#include "graphics/surface/image_surface.h"

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

// The blit's clipping of an unstretched, unmirrored copy: the source rectangle cut to the
// source's clip rectangle (moving the placement with it), then to the destination's.
void InlineCopy(TransitionFrame& f, const TransitionPiece& p) {
  const Rect r = Intersect(p.source, f.fromClip);
  if (r.IsEmpty()) return;
  const int64_t x = int64_t{p.x} + (r.left - p.source.left);
  const int64_t y = int64_t{p.y} + (r.top - p.source.top);
  const Rect& dc = f.toClip;
  const int64_t left = std::max<int64_t>(x, dc.left), top = std::max<int64_t>(y, dc.top);
  const int64_t right = std::min<int64_t>(x + r.Width(), dc.right);
  const int64_t bottom = std::min<int64_t>(y + r.Height(), dc.bottom);
  if (left >= right || top >= bottom) return;
  const int64_t sx = r.left + (left - x), sy = r.top + (top - y);
  const int width = int(right - left);
  auto* to = reinterpret_cast<uint32_t*>(f.toPixels + f.toPitch * top) + left;
  const auto* from = reinterpret_cast<const uint32_t*>(f.fromPixels + f.fromPitch * sy) + sx;
  const int height = int(bottom - top);
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

// Whether next continues run to the right or downwards, drawn with the same offset.
bool Continues(const TransitionPiece& run, const TransitionPiece& next) {
  const Rect &a = run.source, &b = next.source;
  if (next.x - b.left != run.x - a.left || next.y - b.top != run.y - a.top) return false;
  return (b.top == a.top && b.bottom == a.bottom && b.left == a.right) ||
         (b.left == a.left && b.right == a.right && b.top == a.bottom);
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
    dst->Blit(f.source, p.x, p.y, &r, false);
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
bool CopyCell(TransitionFrame& f, const TransitionPiece& p) {
  const Rect& r = p.source;
  const Rect &from = f.fromClip, &to = f.toClip;
  const int64_t w = int64_t{r.right} - r.left, h = int64_t{r.bottom} - r.top;
  if (w <= 0 || h <= 0 || w > kCellSide || h > kCellSide) return false;
  if (r.left < from.left || r.top < from.top || r.right > from.right || r.bottom > from.bottom)
    return false;
  if (p.x < to.left || p.y < to.top || p.x + w > to.right || p.y + h > to.bottom) return false;
  // A held run goes first: pieces may overlap, and the later one shows.
  if (f.holdsRun) DrawRun(f);
  const Rect drawn{p.x, p.y, int32_t(p.x + w), int32_t(p.y + h)};
  Include(f.touched, drawn);
  auto* at = reinterpret_cast<uint32_t*>(f.toPixels + f.toPitch * p.y) + p.x;
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
      for (int32_t row = 0; row < rows; ++row, at += toPitch, of += fromPitch) {
        std::memcpy(at, of, sizeof(uint32_t) * size_t(w));
      }
  }
  if (!f.changed) {
    f.destination->SetChanged(true);
    f.changed = true;
  }
  return true;
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

  void DrawPieces(TransitionFrame& f, const TransitionPiece* pieces, size_t count) override {
    for (size_t i = 0; i < count; ++i) Draw(f, pieces[i]);
  }

  void EndPieces(TransitionFrame& f) override { DrawRun(f); }

 private:
  static void Draw(TransitionFrame& f, const TransitionPiece& p) {
    if (f.inlineCopy && !p.stretched) {
      // The flights throw most of their blocks off the picture.
      if (Misses(f.toClip, p)) return;
      if (f.cellCopy && CopyCell(f, p)) return;
    }
    DrawOther(f, p);
  }

  // Everything but the cells, apart so that the cells' path stays short.
  [[gnu::noinline]] static void DrawOther(TransitionFrame& f, const TransitionPiece& p) {
    const Rect& r = p.source;
    if (f.kind == kDrawDirectDraw) {
      if (p.stretched) {
        const Rect to{p.x, p.y, p.x + p.size.width, p.y + p.size.height};
        DirectDrawBlt(f.ddTarget, &to, f.ddSource, &r, &f.ddClip, f.key);
      } else {
        DirectDrawBltFast(f.ddTarget, f.ddSource, p.x, p.y, &r, &f.ddClip, f.key);
      }
      return;
    }
    ImageSurface* dst = f.destination;
    const Size extent = p.stretched ? p.size : Size{r.Width(), r.Height()};
    Include(f.touched, Intersect({p.x, p.y, p.x + extent.width, p.y + extent.height},
                                 f.inlineCopy ? f.toClip : *dst->GetClipRectPtr()));
    if (Joinable(f, p)) {
      if (f.holdsRun && Continues(f.run, p)) {
        f.run.source = {f.run.source.left, f.run.source.top, r.right, r.bottom};
        return;
      }
      DrawRun(f);
      f.run = p;
      f.holdsRun = true;
      return;
    }
    DrawRun(f);
    if (p.stretched) {
      if (f.kind == kDrawCopy) {
        dst->StretchBlit(f.source, &p.size, p.x, p.y, &r, false);
      } else {
        dst->StretchAlphaBlit(f.source, &p.size, p.x, p.y, &r, false);
      }
      return;
    }
    if (f.inlineCopy && int64_t{r.Width()} * r.Height() <= kInlinePieceArea) {
      InlineCopy(f, p);
    } else if (f.kind == kDrawCopy) {
      dst->Blit(f.source, p.x, p.y, &r, false);
    } else {
      dst->AlphaBlit(f.source, p.x, p.y, &r, false);
    }
  }
};

}  // namespace

PieceSink& CurrentPieceSink() {
  static DrawingSink own;
  PieceSink* installed = Global<PieceSink>::Get();
  return installed ? *installed : own;
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
      f.toPixels = f.destination->GetPixels(), f.toPitch = f.destination->GetPitch();
      f.fromPixels = source->GetPixels(), f.fromPitch = source->GetPitch();
      f.toClip = *f.destination->GetClipRectPtr(), f.fromClip = *source->GetClipRectPtr();
      f.cellCopy = static_cast<const Surface*>(f.destination) != source;
    }
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
  if (!f.touched.IsEmpty()) f.destination->MarkDirty(f.touched);
}

}  // namespace bw
