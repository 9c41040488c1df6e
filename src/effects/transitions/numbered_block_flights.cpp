// The numbered modes whose blocks fly to their places over the random order table.
#include <emmintrin.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "effects/transitions/numbered_mode_kit.h"
#include "effects/transitions/transition_frame.h"
#include "effects/transitions/transition_random.h"

namespace bw::numbered_modes {
namespace {

// ---- Block flights over the random order table -------------------------------------------------

// Draws the run of count blocks of block row by (h rows) from column `from`, bw apart;
// offsetOf(i, bx) answers where block i goes, relative to its own place. Where they land is
// worked out for the whole run first, and the blocks the sink would not draw anything of are
// left out without a branch on each: they land off the picture at random.
template <bool kFits, typename Offset>
void DrawBlockRun(TransitionFrame& f, int32_t by, int32_t h, int32_t from, int32_t count,
                  int32_t bw, Offset&& offsetOf) {
  std::array<Cell, kRun> kept;
  size_t n = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t bx = from + i * bw, w = std::min(bw, f.width - bx);
    const std::pair<int64_t, int64_t> off = offsetOf(i, bx);
    const int64_t x = f.x + (bx + off.first), y = f.y + (by + off.second);
    kept[n] = {bx, by, w, kFits ? int32_t(x) : Fit(x), kFits ? int32_t(y) : Fit(y)};
    n += !LandsOff(f, w, h, kept[n].x, kept[n].y);
  }
  DrawTransitionCells(f, h, kept.data(), n);
}

// Whether every block's place fits 32 bits as it is: no block flies further than a few times
// the picture's span, or (span)^2 / 512 (mode 59), from its place.
bool PlacesFit(const TransitionFrame& f) {
  constexpr int32_t kSpan = 1 << 14, kPosition = 1 << 29;
  return int64_t{f.width} + f.height <= kSpan && std::abs(int64_t{f.x}) <= kPosition &&
         std::abs(int64_t{f.y}) <= kPosition;
}

template <typename Offset>
void DrawBlockRun(TransitionFrame& f, int32_t by, int32_t h, int32_t from, int32_t count,
                  int32_t bw, Offset&& offsetOf) {
  if (PlacesFit(f)) {
    DrawBlockRun<true>(f, by, h, from, count, bw, offsetOf);
  } else {
    DrawBlockRun<false>(f, by, h, from, count, bw, offsetOf);
  }
}

// Calls run(by, h, from, count) for every run of blocks of bw by bh, row by row from the top.
template <typename Run>
void ForBlockRuns(const TransitionFrame& f, int32_t bw, int32_t bh, Run&& run) {
  for (int32_t by = 0; by < f.height; by += bh) {
    const int32_t h = std::min(bh, f.height - by);
    for (int32_t from = 0; from < f.width;) {
      const int32_t count =
          int32_t(std::min<int64_t>(kRun, (int64_t{f.width} - from + bw - 1) / bw));
      run(by, h, from, count);
      from = int32_t(std::min<int64_t>(f.width, int64_t{from} + int64_t{count} * bw));
    }
  }
}

// Blocks of bw by bh; place(bx, by) answers where the block goes, relative to its own place.
template <typename Place>
int Blocks(TransitionFrame& f, int32_t bw, int32_t bh, Place&& place) {
  ForBlockRuns(f, bw, bh, [&](int32_t by, int32_t h, int32_t from, int32_t count) {
    DrawBlockRun(f, by, h, from, count, bw, [&](int32_t, int32_t bx) { return place(bx, by); });
  });
  return kTransitionStepDone;
}

int64_t Approach(const TransitionFrame& f, int32_t p) {
  const int64_t span = int64_t{f.width} + f.height;
  return span - ((span * p) >> 8);
}

// The block's distance from the centre and the unit vector times 256 toward it.
struct Radial {
  int64_t dx, dy, d, ux, uy;
};
// a / b truncated, for |a / b| <= 256, |a| < 2^53 and b > 0: through doubles, which pipeline
// where integer divides queue. Exact: a non-integer quotient lies at least 1 / b from an
// integer, and the rounding error, at most 256 x 2^-53, stays below that for any b < 2^44.
int64_t UnitQuotient(int64_t a, int64_t b) {
  return int64_t(double(a) / double(b));
}

// Factors (16.16, at most 1 in size) the unit vector's two parts are scaled by before the
// division by the distance: mode 58 turns its blocks' paths by them. kStraight leaves them.
struct Scale {
  int64_t x, y;
};
constexpr Scale kStraight{65536, 65536};

Radial RadialOf(const TransitionFrame& f, int32_t bx, int32_t by, Scale s) {
  Radial r;
  r.dx = bx - f.width / 2, r.dy = by - f.height / 2;
  r.d = int64_t(std::sqrt(double(r.dx * r.dx + r.dy * r.dy)));
  r.ux = r.d ? UnitQuotient((s.x * (r.dx * 256)) >> 16, r.d) : r.dx;
  r.uy = r.d ? UnitQuotient((s.y * (r.dy * 256)) >> 16, r.d) : r.dy;
  return r;
}

// Pictures up to this on both sides have their radials worked out two blocks to a vector: every
// square and scaled offset is an integer below 2^53, exact in a double, and every scaled offset
// over 65536 fits 32 bits; square roots and divisions round alike either way, so the values are
// RadialOf's.
constexpr int32_t kPairedRadialSide = 1 << 22;

// The distances and unit vectors of one block row, at the blocks' indices along it (one more
// than the blocks, for a pair's second half).
struct RowRadials {
  std::vector<int32_t> d, ux, uy;
};

// (v x scale) >> 16 of offsets v, as whole doubles.
__m128d ScaledOffset(__m128d v, int64_t scale) {
  const __m128d t =
      _mm_mul_pd(_mm_mul_pd(v, _mm_set1_pd(double(scale) * 256.0)), _mm_set1_pd(1.0 / 65536.0));
  const __m128d cut = _mm_cvtepi32_pd(_mm_cvttpd_epi32(t));
  // Truncation moved negative values up; the shift rounds down.
  return _mm_sub_pd(cut, _mm_and_pd(_mm_cmpgt_pd(cut, t), _mm_set1_pd(1.0)));
}

// Blocks [begin, end) of block row by, bw apart, two to a vector.
void PairedRadials(const TransitionFrame& f, int32_t by, int32_t bw, Scale scale, size_t begin,
                   size_t end, RowRadials& out) {
  const int64_t dy = by - f.height / 2, cx = f.width / 2;
  const __m128d dyd = _mm_set1_pd(double(dy)), dySquared = _mm_mul_pd(dyd, dyd);
  const __m128d uyTop = ScaledOffset(dyd, scale.y), one = _mm_set1_pd(1.0);
  const __m128d step = _mm_set1_pd(2.0 * bw);
  const int64_t first = int64_t(begin) * bw - cx;
  __m128d dx = _mm_set_pd(double(first + bw), double(first));
  for (size_t k = begin; k < end; k += 2, dx = _mm_add_pd(dx, step)) {
    const __m128d square = _mm_add_pd(_mm_mul_pd(dx, dx), dySquared);
    const __m128i d = _mm_cvttpd_epi32(_mm_sqrt_pd(square));
    // d is 0 only at the centre, where dx and dy are 0 and 0 / 1 gives them.
    const __m128d divisor = _mm_max_pd(_mm_cvtepi32_pd(d), one);
    const __m128i ux = _mm_cvttpd_epi32(_mm_div_pd(ScaledOffset(dx, scale.x), divisor));
    const __m128i uy = _mm_cvttpd_epi32(_mm_div_pd(uyTop, divisor));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&out.d[k]), d);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&out.ux[k]), ux);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&out.uy[k]), uy);
  }
}

// The radials of block row by. Without a turn, a block and its mirror image across the centre
// column share the distance and the vertical part, and their horizontal parts differ in sign
// only (truncation is symmetric): where the blocks mirror one another, the left half is taken
// from the right.
void RadialsOfRow(const TransitionFrame& f, int32_t by, int32_t bw, Scale scale, RowRadials& out) {
  const int64_t cx = f.width / 2;
  const size_t n = size_t((int64_t{f.width} + bw - 1) / bw);
  const size_t right = size_t((cx + bw - 1) / bw);  // the first block with dx >= 0
  PairedRadials(f, by, bw, scale, right, n, out);
  size_t mirrored = right;
  if (scale.x == kStraight.x && (2 * cx) % bw == 0) {
    // Block k mirrors block j - k, which lies at or right of `right` for every k left of it.
    const int64_t j = 2 * cx / bw;
    mirrored = size_t(std::clamp<int64_t>(j - int64_t(n) + 1, 0, int64_t(right)));
    for (size_t k = mirrored; k < right; ++k) {
      const size_t m = size_t(j - int64_t(k));
      out.d[k] = out.d[m], out.ux[k] = -out.ux[m], out.uy[k] = out.uy[m];
    }
  }
  PairedRadials(f, by, bw, scale, 0, mirrored, out);
}

// Blocks of bw by bh placed from their radials: place(bx, by, radial) answers where the block goes,
// relative to its own place.
template <typename Place>
int RadialBlocks(TransitionFrame& f, int32_t bw, int32_t bh, Scale scale, Place&& place) {
  if (f.width > kPairedRadialSide || f.height > kPairedRadialSide) {
    ForBlockRuns(f, bw, bh, [&](int32_t by, int32_t h, int32_t from, int32_t count) {
      DrawBlockRun(f, by, h, from, count, bw,
                   [&](int32_t, int32_t bx) { return place(bx, by, RadialOf(f, bx, by, scale)); });
    });
    return kTransitionStepDone;
  }
  const size_t blocks = size_t((int64_t{f.width} + bw - 1) / bw) + 1;
  RowRadials row{std::vector<int32_t>(blocks), std::vector<int32_t>(blocks),
                 std::vector<int32_t>(blocks)};
  ForBlockRuns(f, bw, bh, [&](int32_t by, int32_t h, int32_t from, int32_t count) {
    if (from == 0) RadialsOfRow(f, by, bw, scale, row);
    const int64_t ry = by - f.height / 2;
    const size_t first = size_t(from / bw);
    DrawBlockRun(f, by, h, from, count, bw, [&](int32_t i, int32_t bx) {
      const size_t k = first + size_t(i);
      return place(bx, by, Radial{bx - f.width / 2, ry, row.d[k], row.ux[k], row.uy[k]});
    });
  });
  return kTransitionStepDone;
}

// Mode 55's random share of the approach along the unit vector, for block row `row`.
std::pair<int64_t, int64_t> Scatter(const uint8_t* table, const Radial& r, int64_t row, int32_t bx,
                                    int64_t o) {
  return {(table[(26 * row + bx) & 255] * r.ux * o) >> 16,
          (table[(1 + 38 * row + bx) & 255] * r.uy * o) >> 16};
}

}  // namespace

int Flight(TransitionFrame& f, int32_t p, int mode) {
  const TrigTables* trig = Trig();
  if (mode >= 57 && mode <= 63 && !trig) return kNeedsTables;
  BuildRandomOrderTable();
  const uint8_t* table = RandomOrderTable();
  const int64_t o = Approach(f, p);
  const int64_t a = (256 - int64_t{p}) * 2;
  switch (mode) {
    case 54:
      return Blocks(f, 4, 2, [&](int32_t bx, int32_t by) {
        return std::pair{(table[(bx + by) & 255] * o) >> 8, (table[(bx + by + 1) & 255] * o) >> 8};
      });
    case 55:
    case 56:
      return RadialBlocks(f, mode == 55 ? 4 : 2, 2, kStraight,
                          [&](int32_t bx, int32_t by, const Radial& r) {
                            return Scatter(table, r, by / 2, bx, o);
                          });
    case 57:
      return RadialBlocks(f, 4, 2, kStraight, [&](int32_t bx, int32_t by, const Radial& r) {
        const auto s = Scatter(table, r, by / 2, bx, o);
        return std::pair{(s.first * Cos(*trig, a)) >> 16, (s.second * Sin(*trig, a)) >> 16};
      });
    case 58:
      // The unit vector's parts scaled by the sine and cosine of a before the division.
      return RadialBlocks(f, 4, 2, {Sin(*trig, a), Cos(*trig, a)},
                          [&](int32_t, int32_t, const Radial& r) {
                            return std::pair{(r.ux * o) >> 8, (r.uy * o) >> 8};
                          });
    case 59:
      return Blocks(f, 4, 2, [&](int32_t bx, int32_t by) {
        const int64_t dx = bx - f.width / 2, dy = by - f.height / 2;
        return std::pair{((dx * Cos(*trig, a >> 2)) * o) >> 24, ((dy * Sin(*trig, a)) * o) >> 24};
      });
    case 63:
      // The block's offset from the centre turned by a, plus mode 55's scatter: both vanish as
      // p nears 256, so the blocks close in on their places.
      return RadialBlocks(f, 4, 4, kStraight, [&](int32_t bx, int32_t by, const Radial& r) {
        const int64_t c = Cos(*trig, a), s = Sin(*trig, a);
        const int64_t tx = (r.dx * c + r.dy * s) >> 16, ty = (r.dy * c - r.dx * s) >> 16;
        const auto scatter = Scatter(table, r, by / 4, bx, o);
        return std::pair{tx - r.dx + scatter.first, ty - r.dy + scatter.second};
      });
    default:  // 60 to 62
      return Blocks(f, 2 << (mode - 60), 2 << (mode - 60), [&](int32_t bx, int32_t by) {
        const int64_t dx = bx - f.width / 2, dy = by - f.height / 2;
        const int64_t turn = 2 * int64_t{p};
        const int64_t c = Cos(*trig, turn), s = Sin(*trig, turn);
        const int64_t tx = (dx * c + dy * s) >> 16, ty = (dy * c - dx * s) >> 16;
        return std::pair{tx - dx, ty - dy};
      });
  }
}

int DroppingCells(TransitionFrame& f, int32_t p, int32_t size) {
  BuildRandomOrderTable();
  const uint8_t* table = RandomOrderTable();
  const int32_t shift = size == 8 ? 4 : 3, stride = size == 8 ? 104 : 208;
  ForCells(f, size, size, [&](int32_t bx, int32_t by, int32_t w, int32_t) {
    const int32_t c = bx / size, r = by / size;
    const int32_t rank = table[(c + stride * r) & 255];
    const int32_t h = std::min((((rank >> 1) + p) >> shift) - size, size);
    if (h <= 0) return;
    At(f, bx, by, bx + w, std::min(by + h, f.height), int64_t{f.x} + bx,
       int64_t{f.y} + by + size - h);
  });
  return kTransitionStepDone;
}

int Jitter(TransitionFrame& f, int32_t p, bool falling) {
  BuildRandomOrderTable();
  const uint8_t* table = RandomOrderTable();
  const int32_t q = (p >> 1) + 1;
  return Blocks(f, 4, 4, [&](int32_t bx, int32_t by) {
    const int64_t c = bx / 4, r = by / 4;
    const int64_t u = table[(c + 13 * r) & 255], v = table[(c + 19 * r) & 255];
    if (falling) return std::pair{((u - 128) * (256 - p)) >> 11, (v * (256 - p)) >> 11};
    return std::pair{(u - 128) / q, (v - 128) / q};
  });
}

}  // namespace bw::numbered_modes
