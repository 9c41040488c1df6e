// Quadrilateral mapping, rotation and zoom.
#include <algorithm>

#include "common/global.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface_ops.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/quad_mapper.h"
#include "graphics/surface/rotated_bounds.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"

namespace bw {

using namespace surface_ops;

namespace {

// A script's rectangle may end at the lowest number: its last pixel stops there.
void QuadOf(const Rect& r, Point out[4]) {
  const int32_t right = ClampedSum(r.right, -1), bottom = ClampedSum(r.bottom, -1);
  out[0] = {r.left, r.top};
  out[1] = {right, r.top};
  out[2] = {r.left, bottom};
  out[3] = {right, bottom};
}

// The common steps of both mappers; map(target, source, clip) runs the kernel.
template <typename Map>
int MapAny(ImageSurface* target, const Surface* source, const Point* destQuad, const Rect* clip,
           Map map) {
  if (!target->GetPixels() || !HasPixels(source) || !destQuad) return ImageSurface::kOpNoPixels;
  Rect bounds = clip ? *clip : *target->GetClipRectPtr();
  auto* src = dynamic_cast<ImageSurface*>(const_cast<Surface*>(source));
  if (BitsOf(target) != 32 || BitsOf(source) != 32 || !src) return ImageSurface::kOpBadFormat;
  if (!target->ClipToClipRect(&bounds)) return ImageSurface::kOpDone;
  if (map(src, bounds) != kQuadDone) return ImageSurface::kOpBadFormat;
  Rect box{destQuad[0].x, destQuad[0].y, destQuad[0].x, destQuad[0].y};
  for (int i = 0; i < 4; ++i) {
    box.left = std::min(box.left, destQuad[i].x);
    box.top = std::min(box.top, destQuad[i].y);
    box.right = std::max(box.right, ClampedSum(destQuad[i].x, 1));
    box.bottom = std::max(box.bottom, ClampedSum(destQuad[i].y, 1));
  }
  if (target->ClipToClipRect(&box)) target->MarkDirty(box);
  return ImageSurface::kOpDone;
}

constexpr int kAnchorCentre = 4;

// The corners of the scaled source rectangle turned about the anchor, in 16.16 arithmetic with
// 64-bit products; false for an anchor mode above 4.
struct Turn {
  int64_t width, height, cx, cy;
};
bool MakeTurn(const Surface* source, const Rect* sourceRect, int anchor, int32_t x, int32_t y,
              int32_t zoom, Turn& t) {
  if (anchor < 0 || anchor > kAnchorCentre) return false;
  const int64_t w = sourceRect ? int64_t{sourceRect->right} - sourceRect->left : source->GetWidth();
  const int64_t h =
      sourceRect ? int64_t{sourceRect->bottom} - sourceRect->top : source->GetHeight();
  t.width = (w * zoom) >> 16;
  t.height = (h * zoom) >> 16;
  const int64_t ax[5] = {0, t.width, 0, t.width, t.width >> 1};
  const int64_t ay[5] = {0, 0, t.height, t.height, t.height >> 1};
  t.cx = x + ax[anchor];
  t.cy = y + ay[anchor];
  return true;
}

void TurnCorners(const TrigTables& trig, const Turn& t, int32_t x, int32_t y, int angle,
                 Point out[4]) {
  const int k = NegatedTurn(angle);
  const int64_t c = trig.Cosine(k), s = trig.Cosine((k - 128) & 511);
  const int64_t px[4] = {x, x + t.width, x, x + t.width};
  const int64_t py[4] = {y, y, y + t.height, y + t.height};
  for (int i = 0; i < 4; ++i) {
    const int64_t dx = px[i] - t.cx, dy = py[i] - t.cy;
    out[i] = {int32_t(((dx * c - dy * s) >> 16) + t.cx), int32_t(((dx * s + dy * c) >> 16) + t.cy)};
  }
}

int RotateViaLibrary(ImageSurface* target, const Surface* source, TrigTables& trig, const Turn& t,
                     int32_t x, int32_t y, int angle, const Rect* sourceRect, uint32_t operation,
                     int opacity) {
  if (!trig.EnsureCosineDoubles()) return ImageSurface::kOpBadFormat;
  const double* cosine = trig.CosineDoubles();
  const int k = NegatedTurn(angle);
  const double c = cosine[k], s = cosine[(k - 128) & 511];
  const double px[3] = {double(x), double(x + t.width), double(x)};
  const double py[3] = {double(y), double(y), double(y + t.height)};
  LibPoint points[3];
  for (int i = 0; i < 3; ++i) {
    const double dx = px[i] - double(t.cx), dy = py[i] - double(t.cy);
    points[i] = {dx * c - dy * s + double(t.cx), dx * s + dy * c + double(t.cy)};
  }
  const uint32_t extras[4] = {};
  auto affine = GetPixelLibrary()->Get<AffineRoutine>(kLibAffine);
  return FinishLibraryCall(
      target,
      affine ? affine(target, source, points, sourceRect, operation, 0, opacity, extras) : -1);
}

}  // namespace

int ImageSurface::MapQuad(const Surface* source, const Point* destQuad, const Point* sourceQuad,
                          const Rect* clip, bool edgeFlag) {
  return MapAny(this, source, destQuad, clip, [&](ImageSurface* src, const Rect& bounds) {
    const uint32_t key = source->GetColorKey();
    return key != kNoColorKey
               ? QuadTextureMapKeyed(this, src, destQuad, sourceQuad, bounds, edgeFlag, key)
               : QuadTextureMap(this, src, destQuad, sourceQuad, bounds, edgeFlag);
  });
}

int ImageSurface::MapQuadWithOpacity(const Surface* source, const Point* destQuad,
                                     const Point* sourceQuad, int opacity, const Rect* clip,
                                     bool edgeFlag) {
  return MapAny(this, source, destQuad, clip, [&](ImageSurface* src, const Rect& bounds) {
    return (MmxEnabled() ? QuadTextureMapOpacityMmx : QuadTextureMapOpacity)(
        this, src, destQuad, sourceQuad, bounds, edgeFlag, ProductTable[opacity & 0xFF]);
  });
}

int ImageSurface::QuadBlit(const Surface* source, const Point* quad, const Rect* sourceRect,
                           const Rect* clip) {
  if (!source) return kOpNoPixels;
  Point from[4];
  QuadOf(sourceRect ? *sourceRect : *source->GetClipRectPtr(), from);
  return MapQuad(source, quad, from, clip, false);
}

int ImageSurface::QuadOpacityBlit(const Surface* source, const Point* quad, int opacity,
                                  const Rect* sourceRect, const Rect* clip) {
  if (!source) return kOpNoPixels;
  Point from[4];
  QuadOf(sourceRect ? *sourceRect : *source->GetClipRectPtr(), from);
  return MapQuadWithOpacity(source, quad, from, opacity, clip, false);
}

int ImageSurface::BlitQuadToRect(const Surface* source, const Point* sourceQuad,
                                 const Rect* destRect, const Rect* clip) {
  Point to[4];
  QuadOf(destRect ? *destRect : clip_, to);
  return MapQuad(source, to, sourceQuad, clip, true);
}

int ImageSurface::RotateZoomBlit(const Surface* source, int anchor, int32_t x, int32_t y, int angle,
                                 int32_t zoom, const Rect* sourceRect, const Rect* clip) {
  TrigTables* trig = Global<TrigTables>::Get();
  if (!trig || !GetPixels() || !HasPixels(source)) return kOpNoPixels;
  if (BitsOf(this) != 32 || BitsOf(source) != 32) return kOpBadFormat;
  Turn t;
  if (!MakeTurn(source, sourceRect, anchor, x, y, zoom, t)) return kOpBadParameter;
  if (ActiveLibrary() && source->GetColorKey() == kNoColorKey) {
    return RotateViaLibrary(this, source, *trig, t, x, y, angle, sourceRect,
                            LibraryOperation(kLibOpacity), 255);
  }
  Point corners[4];
  TurnCorners(*trig, t, x, y, angle, corners);
  return QuadBlit(source, corners, sourceRect, clip);
}

int ImageSurface::RotateZoomOpacityBlit(const Surface* source, int anchor, int32_t x, int32_t y,
                                        int angle, int32_t zoom, int opacity,
                                        const Rect* sourceRect, const Rect* clip) {
  TrigTables* trig = Global<TrigTables>::Get();
  if (!trig || !GetPixels() || !HasPixels(source)) return kOpNoPixels;
  Turn t;
  if (!MakeTurn(source, sourceRect, anchor, x, y, zoom, t)) return kOpBadParameter;
  if (ActiveLibrary()) {
    return RotateViaLibrary(this, source, *trig, t, x, y, angle, sourceRect,
                            LibraryOperation(kLibAlpha), opacity & 0xFF);
  }
  Point corners[4];
  TurnCorners(*trig, t, x, y, angle, corners);
  Point from[4];
  QuadOf(sourceRect ? *sourceRect : *source->GetClipRectPtr(), from);
  return MapQuadWithOpacity(source, corners, from, opacity, clip, false);
}

}  // namespace bw
