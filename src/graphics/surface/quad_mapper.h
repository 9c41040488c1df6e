// Texture mapping of a source quadrilateral onto a target quadrilateral, nearest neighbour,
// scanned in bands between the corners' rows. Points come top-left, top-right, bottom-left,
// bottom-right. Positions and source coordinates are 20-bit fractions kept in 64 bits, so
// far-off points do not overflow.
#pragma once

#include <cstdint>

#include "graphics/surface/image_surface.h"

namespace bw {

struct Point {
  int32_t x = 0;
  int32_t y = 0;
};

constexpr int kQuadDone = 0;
constexpr int kQuadNoRowTable = 1;

// edgeFlag set: each span's source steps are one span width long; clear: the last pixel of a
// span samples the right edge exactly. Samples outside the source's clip rectangle leave the
// target alone.
[[nodiscard]] int QuadTextureMap(ImageSurface* target, ImageSurface* source,
                                 const Point targetPoints[4], const Point sourcePoints[4],
                                 const Rect& clip, bool edgeFlag);
[[nodiscard]] int QuadTextureMapKeyed(ImageSurface* target, ImageSurface* source,
                                      const Point targetPoints[4], const Point sourcePoints[4],
                                      const Rect& clip, bool edgeFlag, uint32_t key);
// Lerps the target toward each sample by WeightTable[opacityRow[sample alpha]], alpha kept;
// opacityRow is the ProductTable row of the opacity.
[[nodiscard]] int QuadTextureMapOpacity(ImageSurface* target, ImageSurface* source,
                                        const Point targetPoints[4], const Point sourcePoints[4],
                                        const Rect& clip, bool edgeFlag, const uint8_t* opacityRow);
[[nodiscard]] int QuadTextureMapOpacityMmx(ImageSurface* target, ImageSurface* source,
                                           const Point targetPoints[4], const Point sourcePoints[4],
                                           const Rect& clip, bool edgeFlag,
                                           const uint8_t* opacityRow);

}  // namespace bw
