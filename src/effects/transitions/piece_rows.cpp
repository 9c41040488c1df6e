#include "effects/transitions/piece_rows.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "effects/transitions/transition_frame.h"
#include "graphics/pixel/alpha_kernels.h"
#include "graphics/pixel/alpha_opacity_four.h"
#include "graphics/pixel/alpha_over_pixel.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/pixel_kernels.h"
#include "graphics/pixel/source_blend_kernels.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

// The rows of one band of one piece, or a span of such parts.
struct Part {
  uint32_t* to;
  const uint32_t* from;
  int32_t width;
};

// Kept from frame to frame so that a frame allocates nothing once the sizes have been seen; only
// the thread that draws the frames uses them.
struct Store {
  std::vector<int32_t> bandOf;  // by row from the first: the band it lies in
  std::vector<int32_t> bandTop;
  std::vector<int32_t> starts;  // each band's first part, and one past the last band's
  std::vector<int32_t> next;
  std::vector<Part> parts;
  std::vector<uint32_t> mask;
};

Store& TheStore() {
  thread_local Store store;
  return store;
}

// Cuts rows [top, bottom) into bands, each row of a band covered by the same pieces: a band starts
// wherever a piece starts or ends. Numbers each row's band and counts into starts how many
// pieces cross each band, summed into where each band's parts start; answers the parts' total.
int32_t CutBands(Store& s, std::span<const ClippedPiece> pieces, int32_t top, int32_t bottom) {
  const size_t rows = size_t(bottom - top);
  s.bandOf.assign(rows + 1, 0);
  for (const ClippedPiece& c : pieces) {
    s.bandOf[size_t(c.top - top)] = 1;
    s.bandOf[size_t(c.top - top + c.height)] = 1;
  }
  s.bandTop.clear();
  int32_t band = -1;
  for (size_t row = 0; row <= rows; ++row) {
    if (s.bandOf[row]) s.bandTop.push_back(top + int32_t(row)), ++band;
    s.bandOf[row] = band;
  }
  // +1 where a piece starts and -1 past its end.
  s.starts.assign(s.bandTop.size(), 0);
  for (const ClippedPiece& c : pieces) {
    ++s.starts[size_t(s.bandOf[size_t(c.top - top)])];
    --s.starts[size_t(s.bandOf[size_t(c.top - top + c.height)])];
  }
  int32_t crossing = 0, total = 0;
  for (int32_t& start : s.starts) {
    crossing += start;
    start = total;
    total += crossing;
  }
  return total;
}

// Pieces at least this wide on average that cut one another into many bands are drawn whole:
// they would join little, and cost a draw per band crossed.
constexpr int64_t kWholePiece = 16;

// Lays out the pieces' parts band by band, each band's in the pieces' order. The frame holds at
// most kHeldPieces: a piece has a part in each band it crosses, so the parts grow with the square
// of the pieces. Answers false, laying out nothing, where the pieces are best drawn one after
// another: each lies below the one before it (the rows of a circle, lines, bands), or they are
// wide and cut one another into many bands.
bool LayOutBands(Store& s, const ClippedPiece* pieces, size_t count, ptrdiff_t toPitch,
                 ptrdiff_t fromPitch) {
  const ClippedPiece* const end = pieces + count;
  int32_t top = INT32_MAX, bottom = INT32_MIN;
  bool oneBand = true, stacked = true;
  for (const ClippedPiece* c = pieces; c != end; ++c) {
    stacked &= c == pieces || c->top >= bottom;
    top = std::min(top, c->top);
    bottom = std::max(bottom, c->top + c->height);
    oneBand &= c->top == pieces->top && c->height == pieces->height;
  }
  if (stacked && !oneBand) return false;
  // A row of cells or blocks, the many: its parts are the pieces.
  if (oneBand) {
    s.bandTop = {top, bottom};
    s.starts = {0, int32_t(count)};
    s.parts.resize(count);
    for (size_t i = 0; i < count; ++i) s.parts[i] = {pieces[i].to, pieces[i].from, pieces[i].width};
    return true;
  }
  const int32_t total = CutBands(s, std::span(pieces, count), top, bottom);
  int64_t widths = 0;
  for (const ClippedPiece& c : std::span(pieces, count)) widths += c.width;
  if (total > 2 * int64_t(count) && widths >= kWholePiece * int64_t(count)) return false;
  s.next.assign(s.starts.begin(), s.starts.end() - 1);
  s.parts.resize(size_t(total));
  for (const ClippedPiece& c : std::span(pieces, count)) {
    const int32_t first = s.bandOf[size_t(c.top - top)];
    const int32_t last = s.bandOf[size_t(c.top - top + c.height)];
    for (int32_t b = first; b < last; ++b) {
      const ptrdiff_t skip = s.bandTop[size_t(b)] - c.top;
      s.parts[size_t(s.next[size_t(b)]++)] = {c.to + skip * toPitch, c.from + skip * fromPitch,
                                              c.width};
    }
  }
  return true;
}

// Each band's parts in order, a part that continues the span so far on either side (the next
// pixels of the same source rows) joining it: they share no pixel, so one draw of both is the
// two draws. Anything else ends the span, as a later part may overlap it. The spans are kept in
// the parts' place.
void JoinSpans(Store& s) {
  Part* parts = s.parts.data();
  int32_t kept = 0;
  for (size_t band = 0; band + 1 < s.starts.size(); ++band) {
    const Part* p = parts + s.starts[band];
    const Part* end = parts + s.starts[band + 1];
    s.starts[band] = kept;
    if (p == end) continue;
    Part run = *p++;
    for (; p != end; ++p) {
      if (p->to == run.to + run.width && p->from == run.from + run.width) {
        run.width += p->width;
      } else if (p->to + p->width == run.to && p->from + p->width == run.from) {
        run = {p->to, p->from, run.width + p->width};
      } else {
        parts[kept++] = run;
        run = *p;
      }
    }
    parts[kept++] = run;
  }
  s.starts.back() = kept;
}

// Bands are drawn this many rows at a time across all their spans: a lone column touches new
// cache lines in every row, and its stride walks a few cache sets until they thrash, while the
// spans of a row share lines. Rows apart from one another may be drawn in any order.
constexpr int32_t kChunkRows = 8;

// Many narrow spans of a band at one offset, apart from one another and left to right (single
// pixels and the smallest cells of a grid or of ordered blocks), are drawn as one: the band's
// whole width four pixels at a time, kept where a span covers it (an all-ones mask), rather than
// span by span. Spans wider than four pixels on average take whole fours of their own more often
// than not, and are drawn apart. Answers false, marking nothing, for spans that do not
// qualify.
constexpr ptrdiff_t kMaskedSpans = 4;
constexpr int64_t kNarrowAverage = 4;
bool MaskSpans(std::vector<uint32_t>& mask, const Part* first, const Part* end) {
  if (end - first < kMaskedSpans) return false;
  int64_t covered = first->width;
  for (const Part* p = first + 1; p != end; ++p) {
    if (p->from - first->from != p->to - first->to || p->to - p[-1].to < p[-1].width) return false;
    covered += p->width;
  }
  const ptrdiff_t width = end[-1].to + end[-1].width - first->to;
  if (covered > kNarrowAverage * (end - first) || 4 * covered < width) return false;
  mask.assign(size_t(width), 0);
  for (const Part* p = first; p != end; ++p)
    std::fill_n(mask.begin() + (p->to - first->to), p->width, ~0u);
  return true;
}

// rows of width pixels, each drawn by four(d, s) where mask is set.
template <typename Four>
void DrawMasked(uint32_t* to, const uint32_t* from, const uint32_t* mask, ptrdiff_t width,
                int32_t rows, ptrdiff_t toPitch, ptrdiff_t fromPitch, const Four& four) {
  const auto load = [](const uint32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };
  for (int32_t row = 0; row < rows; ++row, to += toPitch, from += fromPitch) {
    ptrdiff_t x = 0;
    for (; x + 4 <= width; x += 4) {
      const __m128i m = load(mask + x);
      if (_mm_movemask_epi8(m) == 0) continue;
      const __m128i d = load(to + x);
      const __m128i out = four(d, load(from + x));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x),
                       _mm_or_si128(_mm_and_si128(m, out), _mm_andnot_si128(m, d)));
    }
    for (; x < width; ++x) {
      if (!mask[x]) continue;
      const __m128i d = _mm_cvtsi32_si128(int(to[x])), s = _mm_cvtsi32_si128(int(from[x]));
      to[x] = uint32_t(_mm_cvtsi128_si32(four(d, s)));
    }
  }
}

// The spans [first, end) of one band of rows, apart from one another.
template <typename DrawRect>
void DrawBand(Store& s, const Part* first, const Part* end, int32_t rows, ptrdiff_t toPitch,
              ptrdiff_t fromPitch, DrawRect&& draw) {
  if (end - first == 1) {
    draw(first->to, first->from, first->width, rows);
    return;
  }
  if constexpr (std::remove_cvref_t<DrawRect>::kFour) {
    if (MaskSpans(s.mask, first, end)) {
      DrawMasked(first->to, first->from, s.mask.data(), ptrdiff_t(s.mask.size()), rows, toPitch,
                 fromPitch, [&](__m128i d, __m128i from) { return draw.Four(d, from); });
      return;
    }
  }
  for (int32_t row = 0; row < rows; row += kChunkRows) {
    const int32_t n = std::min(kChunkRows, rows - row);
    for (const Part* p = first; p != end; ++p)
      draw(p->to + row * toPitch, p->from + row * fromPitch, p->width, n);
  }
}

// Draws the bands laid out, or, where there are none, the pieces one after another.
template <typename DrawRect>
void DrawBands(Store& s, const ClippedPiece* pieces, size_t count, bool laidOut, ptrdiff_t toPitch,
               ptrdiff_t fromPitch, DrawRect&& draw) {
  if (!laidOut) {
    for (size_t i = 0; i < count; ++i)
      draw(pieces[i].to, pieces[i].from, pieces[i].width, pieces[i].height);
    return;
  }
  const Part* parts = s.parts.data();
  for (size_t band = 0; band + 1 < s.bandTop.size(); ++band) {
    DrawBand(s, parts + s.starts[band], parts + s.starts[band + 1],
             s.bandTop[band + 1] - s.bandTop[band], toPitch, fromPitch, draw);
  }
}

// Rects are drawn with pitches in pixels.

constexpr int32_t kNarrowCopy = 16;

// A rect copied: the library copy of a length known only at run time starts too slowly for the
// few pixels of a cell, which take four at a time and a last four that may overlap them.
struct CopyRects {
  static constexpr bool kFour = true;
  static __m128i Four(__m128i, __m128i s) { return s; }
  ptrdiff_t toPitch, fromPitch;
  void operator()(uint32_t* to, const uint32_t* from, int32_t width, int32_t rows) const {
    const auto move4 = [](uint32_t* d, const uint32_t* s) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)));
    };
    if (width > kNarrowCopy) {
      // The pictures differ, so no row overlaps its source: the library copy, whose wide forms
      // keep up with the memory where a frame's rows outgrow the caches.
      for (int32_t row = 0; row < rows; ++row, to += toPitch, from += fromPitch)
        std::memcpy(to, from, size_t(width) * 4);
      return;
    }
    for (int32_t row = 0; row < rows; ++row, to += toPitch, from += fromPitch) {
      if (width < 4) {
        for (int32_t x = 0; x < width; ++x) to[x] = from[x];
      } else {
        for (int32_t x = 0; x + 4 < width; x += 4) move4(to + x, from + x);
        move4(to + width - 4, from + width - 4);
      }
    }
  }
};

// Narrower rects are blended a pixel at a time, without a kernel call.
constexpr int32_t kNarrowSpan = 8;

// The alpha blit's blend without a pixel library: alpha cleared.
template <bool kVectorSet>
struct OverRects {
  // The plain set's arithmetic is not the four-pixel one.
  static constexpr bool kFour = kVectorSet;
  static __m128i Four(__m128i d, __m128i s) {
    return pixel_detail::AlphaOverFour(d, s, pixel_detail::AlphaOverWeights(s));
  }
  ptrdiff_t toPitch, fromPitch;
  void operator()(uint32_t* to, const uint32_t* from, int32_t width, int32_t rows) const {
    if (width < kNarrowSpan) {
      pixel_detail::AlphaOverNarrowRows<kVectorSet>(to, from, toPitch, fromPitch, width, rows);
    } else {
      (kVectorSet ? AlphaOverRowsMmx : AlphaOverRows)(to, from, (toPitch - width) * 4,
                                                      (fromPitch - width) * 4, width, rows);
    }
  }
};

// Up to this many, the library's blend is worked out inline, four pixels at a time or, on the
// wide set and from eight, in two eights that meet or overlap.
constexpr int32_t kNarrowLibrarySpan = 16;

// The engine's own pixel library's alpha blend at full opacity: the lerp toward the source by
// the weight of its alpha, the destination's alpha kept.
template <bool kVectorSet>
struct LibraryOverRects {
  // Both kernel sets give the four-pixel bytes.
  static constexpr bool kFour = true;
  static __m128i Four(__m128i d, __m128i s) {
    return pixel_detail::AlphaOpacityFourSkipping(d, s, _mm_set1_epi32(255), true, 0xFFFF);
  }
  ptrdiff_t toPitch, fromPitch;
  bool wide = kVectorSet && WideVectorsEnabled();
  void operator()(uint32_t* to, const uint32_t* from, int32_t width, int32_t rows) const {
    // Both kernel sets give these bytes.
    if (wide && width >= 8 && width <= kNarrowLibrarySpan) {
      pixel_detail::AlphaOpacityNarrowRowsAvx2(to, from, toPitch, fromPitch, width, rows, 255);
    } else if (width <= kNarrowLibrarySpan) {
      pixel_detail::AlphaOpacityNarrowRows(to, from, toPitch, fromPitch, width, rows, 255);
    } else {
      (kVectorSet ? AlphaOpacityRowsMmx : AlphaOpacityRows)(
          to, from, (toPitch - width) * 4, (fromPitch - width) * 4, width, rows, ProductTable[255]);
    }
  }
};

// Calls draw with the rect drawer of the frame's copy or blend.
template <typename Draw>
void WithRects(const TransitionFrame& f, Draw&& draw) {
  const ptrdiff_t to = f.toPitch >> 2, from = f.fromPitch >> 2;
  if (f.kind == kDrawCopy) {
    draw(CopyRects{to, from});
  } else if (f.overKeepsAlpha && f.overVectors) {
    draw(LibraryOverRects<true>{to, from});
  } else if (f.overKeepsAlpha) {
    draw(LibraryOverRects<false>{to, from});
  } else if (f.overVectors) {
    draw(OverRects<true>{to, from});
  } else {
    draw(OverRects<false>{to, from});
  }
}

}  // namespace

void DrawPieceRows(TransitionFrame& f) {
  if (f.heldCount == 0) return;
  Store& s = TheStore();
  const ptrdiff_t to = f.toPitch >> 2, from = f.fromPitch >> 2;
  const ClippedPiece* pieces = f.held.data();
  const size_t count = std::exchange(f.heldCount, 0);
  const bool laidOut = LayOutBands(s, pieces, count, to, from);
  if (laidOut) JoinSpans(s);
  WithRects(f, [&](auto&& rects) { DrawBands(s, pieces, count, laidOut, to, from, rects); });
}

void DrawBandSpans(const TransitionFrame& f, uint32_t* to, const uint32_t* from,
                   const ColumnSpan* spans, size_t count, int32_t rows) {
  if (count == 1) {
    const ColumnSpan& span = spans[0];
    return WithRects(
        f, [&](auto&& rects) { rects(to + span.left, from + span.left, span.width, rows); });
  }
  if (count == 0) return;
  Store& s = TheStore();
  // Spans that touch are one.
  s.parts.resize(count);
  Part* parts = s.parts.data();
  size_t kept = 0;
  parts[0] = {to + spans[0].left, from + spans[0].left, spans[0].width};
  for (size_t i = 1; i < count; ++i) {
    Part& last = parts[kept];
    if (spans[i].left == last.to - to + last.width) {
      last.width += spans[i].width;
    } else {
      parts[++kept] = {to + spans[i].left, from + spans[i].left, spans[i].width};
    }
  }
  WithRects(f, [&](auto&& rects) {
    DrawBand(s, parts, parts + kept + 1, rows, f.toPitch >> 2, f.fromPitch >> 2, rects);
  });
}

void DrawRowSpans(const TransitionFrame& f, const RowSpan* spans, size_t count) {
  WithRects(f, [&](auto&& rects) {
    for (size_t i = 0; i < count; ++i) {
      const RowSpan& s = spans[i];
      rects(reinterpret_cast<uint32_t*>(f.toPixels + f.toPitch * (f.y + s.top)) + f.x + s.left,
            reinterpret_cast<const uint32_t*>(f.fromPixels + f.fromPitch * s.top) + s.left, s.width,
            1);
    }
  });
}

}  // namespace bw
