#include "graphics/layers/direct_draw_layer.h"

namespace bw {

int64_t DirectDrawLayer::GetSurfaceColorKey() const {
  const uint32_t key = DirectDrawImageSurface::GetColorKey();
  return key == kNoColorKey ? -1 : int64_t{key};
}

float DirectDrawLayer::GetTexU(int32_t x) const {
  return float(TextureCoordinate(x, GetWidth(), contentWidth_));
}

float DirectDrawLayer::GetTexV(int32_t y) const {
  return float(TextureCoordinate(y, GetHeight(), contentHeight_));
}

}  // namespace bw
