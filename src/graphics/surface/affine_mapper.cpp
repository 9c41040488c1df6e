#include "graphics/surface/affine_mapper.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/lerp.h"

namespace bw {

using pixel_detail::LerpLanes;
using pixel_detail::LerpPlain;

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

template <typename Write>
int Map(ImageSurface* target, const ImageSurface* source, const LibPoint p[3], const Rect& from,
        uint32_t mirror, Rect* touched, Write write) {
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

  const uint8_t* sourcePixels = source->GetPixels();
  const ptrdiff_t sourcePitch = source->GetPitch();
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
    auto* out = reinterpret_cast<uint32_t*>(target->GetRowPointer(y));
    for (int32_t x = int32_t(lo); x <= int32_t(hi); ++x) {
      const double dx = x + kNudgeX - p[0].x;
      const double u = rowU + dx * uPerX, v = rowV + dx * vPerX;
      if (!(u >= 0 && u < double(w) && v >= 0 && v < double(h))) continue;
      const int64_t su = int64_t(u), sv = int64_t(v);
      const int64_t sx = mirror & kLibMirrorLeftRight ? from.right - 1 - su : from.left + su;
      const int64_t sy = mirror & kLibMirrorUpsideDown ? from.bottom - 1 - sv : from.top + sv;
      if (sx < sourceClip.left || sx >= sourceClip.right || sy < sourceClip.top ||
          sy >= sourceClip.bottom) {
        continue;
      }
      uint32_t sample;
      std::memcpy(&sample, sourcePixels + sy * sourcePitch + 4 * sx, 4);
      if (!write(out + x, sample)) continue;
      box.left = std::min(box.left, x), box.right = std::max(box.right, x + 1);
      box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y + 1);
    }
  }
  if (touched && box.left < box.right) *touched = box;
  return kAffineDone;
}

template <uint32_t (*Lerp)(uint32_t, uint32_t, uint32_t)>
int MapWeighted(ImageSurface* target, const ImageSurface* source, const LibPoint p[3],
                const Rect& from, uint32_t mirror, const uint8_t* opacityRow, Rect* touched) {
  return Map(target, source, p, from, mirror, touched,
             [opacityRow](uint32_t* out, uint32_t sample) {
               *out = Lerp(*out, sample, WeightTable[opacityRow[sample >> 24]][0]);
               return true;
             });
}

}  // namespace

int AffineTextureMap(ImageSurface* target, const ImageSurface* source, const LibPoint corners[3],
                     const Rect& sourceRect, uint32_t mirror, Rect* touched) {
  const uint32_t key = source ? source->GetColorKey() : kNoColorKey;
  return Map(target, source, corners, sourceRect, mirror, touched,
             [key](uint32_t* out, uint32_t sample) {
               if (key != kNoColorKey && sample == key) return false;
               *out = sample;
               return true;
             });
}

int AffineTextureMapOpacity(ImageSurface* target, const ImageSurface* source,
                            const LibPoint corners[3], const Rect& sourceRect, uint32_t mirror,
                            const uint8_t* opacityRow, Rect* touched) {
  return MapWeighted<LerpPlain>(target, source, corners, sourceRect, mirror, opacityRow, touched);
}

int AffineTextureMapOpacityMmx(ImageSurface* target, const ImageSurface* source,
                               const LibPoint corners[3], const Rect& sourceRect, uint32_t mirror,
                               const uint8_t* opacityRow, Rect* touched) {
  return MapWeighted<LerpLanes>(target, source, corners, sourceRect, mirror, opacityRow, touched);
}

}  // namespace bw
