#include "graphics/surface/affine_mapper.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "graphics/pixel/blend_kernels.h"
#include "graphics/pixel/source_blend_kernels.h"
#include "graphics/pixel/turned_rows.h"
#include "platform/mmx_flag.h"

namespace bw {

namespace {

// The sampling point sits this far right of and below the centre, far above rounding noise and
// far below a pixel, so a centre on an edge falls to the lower right. The two differ by an
// irrational ratio: no edge through a centre runs along the nudge.
constexpr double kNudgeX = 1.0 / 4096;
constexpr double kNudgeY = 0.6180339887498949 / 4096;

// Narrows [lo, hi] to about where 0 <= a + b * x < limit holds, a pixel wider on each side: the
// exact test is made per pixel, this only skips what lies clearly outside.
void Narrow(double a, double b, double limit, double& lo, double& hi) {
  if (b == 0) {
    if (!(a >= 0 && a < limit)) hi = lo - 1;
    return;
  }
  double x0 = -a / b, x1 = (limit - a) / b;
  if (x0 > x1) std::swap(x0, x1);
  lo = std::max(lo, std::floor(x0) - 1);
  hi = std::min(hi, std::ceil(x1) + 1);
}

// The run of a row whose samples all lie inside the source: write(out, row, first, count)
// draws it and returns the written columns [*lo, *hi], false for none.
template <typename WriteRun>
int Map(ImageSurface* target, const ImageSurface* source, const LibPoint p[3], const Rect& from,
        uint32_t mirror, Rect* touched, WriteRun write) {
  if (touched) *touched = {};
  if (!target || !source || !p || !target->GetPixels() || !source->GetPixels() ||
      target->GetBitsPerPixel() != 32 || source->GetBitsPerPixel() != 32) {
    return kAffineBadArguments;
  }
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(p[i].x) || !std::isfinite(p[i].y)) return kAffineBadArguments;
  }
  const int64_t w = int64_t{from.right} - from.left, h = int64_t{from.bottom} - from.top;
  if (w <= 0 || h <= 0) return kAffineDone;
  // The target point a + s x U + t x V shows source position (s x w, t x h).
  const double ux = p[1].x - p[0].x, uy = p[1].y - p[0].y;
  const double vx = p[2].x - p[0].x, vy = p[2].y - p[0].y;
  const double det = ux * vy - uy * vx;
  const double uPerX = vy / det * double(w), uPerY = -vx / det * double(w);
  const double vPerX = -uy / det * double(h), vPerY = ux / det * double(h);
  if (!std::isfinite(uPerX) || !std::isfinite(uPerY) || !std::isfinite(vPerX) ||
      !std::isfinite(vPerY)) {
    return kAffineDone;  // no area
  }

  Rect clip{0, 0, target->GetWidth(), target->GetHeight()};
  if (!IntersectRects(&clip, clip, *target->GetClipRectPtr())) return kAffineDone;
  Rect sourceClip{0, 0, source->GetWidth(), source->GetHeight()};
  if (!IntersectRects(&sourceClip, sourceClip, *source->GetClipRectPtr())) return kAffineDone;
  const double xs[4] = {p[0].x, p[1].x, p[2].x, p[1].x + vx};
  const double ys[4] = {p[0].y, p[1].y, p[2].y, p[1].y + vy};
  const double top = std::max(std::ceil(*std::min_element(ys, ys + 4) - kNudgeY), double(clip.top));
  const double bottom =
      std::min(std::floor(*std::max_element(ys, ys + 4) - kNudgeY), double(clip.bottom - 1));
  const double left =
      std::max(std::ceil(*std::min_element(xs, xs + 4) - kNudgeX), double(clip.left));
  const double right =
      std::min(std::floor(*std::max_element(xs, xs + 4) - kNudgeX), double(clip.right - 1));
  if (!(top <= bottom && left <= right)) return kAffineDone;

  const ptrdiff_t sourcePitch = source->GetPitch();
  TurnedRow row{};
  row.pixels = source->GetPixels();
  row.pitch = sourcePitch;
  row.uPerX = uPerX, row.vPerX = vPerX;
  row.nudge = kNudgeX, row.originX = p[0].x;
  const bool acrossMirrored = mirror & kLibMirrorLeftRight,
             downMirrored = mirror & kLibMirrorUpsideDown;
  row.columnBase = acrossMirrored ? int64_t{from.right} - 1 : from.left;
  row.columnSign = acrossMirrored ? -1 : 1;
  row.rowBase = downMirrored ? int64_t{from.bottom} - 1 : from.top;
  row.rowSign = downMirrored ? -1 : 1;
  row.smallOffsets = sourcePitch % 4 == 0 && std::abs(int64_t{sourcePitch}) * source->GetHeight() +
                                                     4 * int64_t{source->GetWidth()} <
                                                 int64_t{INT32_MAX};
  Rect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (int32_t y = int32_t(top); y <= int32_t(bottom); ++y) {
    const double dy = y + kNudgeY - p[0].y;
    const double rowU = dy * uPerY, rowV = dy * vPerY;
    // At x: u = uAt0 + x * uPerX, v = vAt0 + x * vPerX.
    const double uAt0 = rowU + (kNudgeX - p[0].x) * uPerX;
    const double vAt0 = rowV + (kNudgeX - p[0].x) * vPerX;
    double lo = left, hi = right;
    Narrow(uAt0, uPerX, double(w), lo, hi);
    Narrow(vAt0, vPerX, double(h), lo, hi);
    if (lo > hi) continue;
    // The sample moves steadily along the row, so the pixels showing the source form one run;
    // its ends are found with the exact test.
    auto inside = [&](int32_t x) {
      const double dx = x + kNudgeX - p[0].x;
      const double u = rowU + dx * uPerX, v = rowV + dx * vPerX;
      if (!(u >= 0 && u < double(w) && v >= 0 && v < double(h))) return false;
      const int64_t sx = row.columnBase + row.columnSign * int64_t(u);
      const int64_t sy = row.rowBase + row.rowSign * int64_t(v);
      return sx >= sourceClip.left && sx < sourceClip.right && sy >= sourceClip.top &&
             sy < sourceClip.bottom;
    };
    int32_t first = int32_t(lo), last = int32_t(hi);
    while (first <= last && !inside(first)) ++first;
    while (last > first && !inside(last)) --last;
    if (first > last) continue;
    row.rowU = rowU, row.rowV = rowV;
    auto* out = reinterpret_cast<uint32_t*>(target->GetRowPointer(y));
    int32_t wroteLo = 0, wroteHi = 0;
    if (!write(out, row, first, last - first + 1, &wroteLo, &wroteHi)) continue;
    box.left = std::min(box.left, wroteLo), box.right = std::max(box.right, wroteHi + 1);
    box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y + 1);
  }
  if (touched && box.left < box.right) *touched = box;
  return kAffineDone;
}

// The samples of a run in a buffer of the calling thread's.
const uint32_t* Samples(const TurnedRow& row, int32_t first, int count) {
  thread_local std::vector<uint32_t> buffer;
  buffer.resize(size_t(count));
  (MmxEnabled() ? TurnedRowSamplesMmx : TurnedRowSamples)(buffer.data(), row, first, count);
  return buffer.data();
}

using RowBlend = void (*)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int,
                          const uint8_t*);

// Each run's samples blended in by the source-alpha row kernel of the set.
int MapWeighted(ImageSurface* target, const ImageSurface* source, const LibPoint p[3],
                const Rect& from, uint32_t mirror, const uint8_t* opacityRow, Rect* touched,
                RowBlend blend) {
  return Map(target, source, p, from, mirror, touched,
             [opacityRow, blend](uint32_t* out, const TurnedRow& row, int32_t first, int count,
                                 int32_t* lo, int32_t* hi) {
               blend(out + first, Samples(row, first, count), 0, 0, count, 1, opacityRow);
               *lo = first, *hi = first + count - 1;
               return true;
             });
}

// Each run blended at one opacity; keyed samples put the target's pixel back afterwards.
template <bool kMmx>
int MapFaded(ImageSurface* target, const ImageSurface* source, const LibPoint p[3],
             const Rect& from, uint32_t mirror, int opacity, Rect* touched) {
  const uint32_t key = source ? source->GetColorKey() : kNoColorKey;
  opacity &= 0xFF;
  return Map(target, source, p, from, mirror, touched,
             [key, opacity](uint32_t* out, const TurnedRow& row, int32_t first, int count,
                            int32_t* lo, int32_t* hi) {
               thread_local std::vector<uint32_t> kept;
               const uint32_t* samples = Samples(row, first, count);
               uint32_t* run = out + first;
               if (key != kNoColorKey) kept.assign(run, run + count);
               if constexpr (kMmx) {
                 OpacityRowsMmx(run, samples, 0, 0, count, 1, opacity);
               } else {
                 CrossfadeRows(run, samples, 0, 0, count, 1, uint32_t(255 - opacity) * 0x010101u,
                               uint32_t(opacity) * 0x010101u);
               }
               *lo = first, *hi = first + count - 1;
               if (key == kNoColorKey) return true;
               *lo = INT32_MAX, *hi = INT32_MIN;
               for (int i = 0; i < count; ++i) {
                 if (samples[i] == key) {
                   run[i] = kept[size_t(i)];
                 } else {
                   *lo = std::min(*lo, first + i), *hi = first + i;
                 }
               }
               return *lo <= *hi;
             });
}

}  // namespace

int AffineTextureMapFaded(ImageSurface* target, const ImageSurface* source,
                          const LibPoint corners[3], const Rect& sourceRect, uint32_t mirror,
                          int opacity, Rect* touched) {
  return MapFaded<false>(target, source, corners, sourceRect, mirror, opacity, touched);
}

int AffineTextureMapFadedMmx(ImageSurface* target, const ImageSurface* source,
                             const LibPoint corners[3], const Rect& sourceRect, uint32_t mirror,
                             int opacity, Rect* touched) {
  return MapFaded<true>(target, source, corners, sourceRect, mirror, opacity, touched);
}

int AffineTextureMap(ImageSurface* target, const ImageSurface* source, const LibPoint corners[3],
                     const Rect& sourceRect, uint32_t mirror, Rect* touched) {
  const uint32_t key = source ? source->GetColorKey() : kNoColorKey;
  return Map(target, source, corners, sourceRect, mirror, touched,
             [key](uint32_t* out, const TurnedRow& row, int32_t first, int count, int32_t* lo,
                   int32_t* hi) {
               if (key == kNoColorKey) {
                 (MmxEnabled() ? TurnedRowSamplesMmx : TurnedRowSamples)(out + first, row, first,
                                                                         count);
                 *lo = first, *hi = first + count - 1;
                 return true;
               }
               const uint32_t* samples = Samples(row, first, count);
               *lo = INT32_MAX, *hi = INT32_MIN;
               for (int i = 0; i < count; ++i) {
                 if (samples[i] == key) continue;
                 out[first + i] = samples[i];
                 *lo = std::min(*lo, first + i), *hi = first + i;
               }
               return *lo <= *hi;
             });
}

int AffineTextureMapOpacity(ImageSurface* target, const ImageSurface* source,
                            const LibPoint corners[3], const Rect& sourceRect, uint32_t mirror,
                            const uint8_t* opacityRow, Rect* touched) {
  return MapWeighted(target, source, corners, sourceRect, mirror, opacityRow, touched,
                     AlphaOpacityRows);
}

int AffineTextureMapOpacityMmx(ImageSurface* target, const ImageSurface* source,
                               const LibPoint corners[3], const Rect& sourceRect, uint32_t mirror,
                               const uint8_t* opacityRow, Rect* touched) {
  return MapWeighted(target, source, corners, sourceRect, mirror, opacityRow, touched,
                     AlphaOpacityRowsMmx);
}

}  // namespace bw
