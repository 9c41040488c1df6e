// Nearest-neighbour mapping of a source rectangle onto the parallelogram given by where its
// top-left, top-right and bottom-left corners land. The corners are the rectangle's edges, not
// its pixel centres. A target pixel is sampled at its centre, which sits on whole coordinates,
// and shows the source pixel under it; a centre lying exactly on an edge belongs to the shape
// below and to the right of that edge (the top-left rule), so quarter turns land every source
// pixel once and shapes sharing an edge never both draw a pixel.
#pragma once

#include <cstdint>

#include "graphics/surface/pixel_library.h"

namespace bw {

constexpr int kAffineDone = 0;
constexpr int kAffineBadArguments = 1;

// Both surfaces 32-bit with pixels and the corners finite, else kAffineBadArguments and nothing
// drawn. mirror holds kLibMirrorLeftRight and kLibMirrorUpsideDown. Draws inside the target's
// clip rectangle; samples outside the source's clip rectangle leave the target alone. *touched
// receives the box of the pixels written, empty for none.
// Copies whole pixels, but not those equal to the source's colour key.
[[nodiscard]] int AffineTextureMap(ImageSurface* target, const ImageSurface* source,
                                   const LibPoint corners[3], const Rect& sourceRect,
                                   uint32_t mirror, Rect* touched);
// Lerps the target toward each sample by WeightTable[opacityRow[sample alpha]], alpha kept;
// opacityRow is the ProductTable row of the opacity. Both forms give the same bytes.
[[nodiscard]] int AffineTextureMapOpacity(ImageSurface* target, const ImageSurface* source,
                                          const LibPoint corners[3], const Rect& sourceRect,
                                          uint32_t mirror, const uint8_t* opacityRow,
                                          Rect* touched);
// Blends the target toward each sample at one opacity as OpacityBlit of the set does (plain: the
// crossfade with weights 255 - opacity and opacity; Mmx: the lerp by W[opacity]), alpha kept;
// samples equal to the source's colour key leave the target alone.
[[nodiscard]] int AffineTextureMapFaded(ImageSurface* target, const ImageSurface* source,
                                        const LibPoint corners[3], const Rect& sourceRect,
                                        uint32_t mirror, int opacity, Rect* touched);
[[nodiscard]] int AffineTextureMapFadedMmx(ImageSurface* target, const ImageSurface* source,
                                           const LibPoint corners[3], const Rect& sourceRect,
                                           uint32_t mirror, int opacity, Rect* touched);
[[nodiscard]] int AffineTextureMapOpacityMmx(ImageSurface* target, const ImageSurface* source,
                                             const LibPoint corners[3], const Rect& sourceRect,
                                             uint32_t mirror, const uint8_t* opacityRow,
                                             Rect* touched);

}  // namespace bw
