#include "graphics/text/text_rules.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace bw {

bool FaceNameFits(const char* faceName) {
  return faceName && std::strlen(faceName) < size_t(host::kLfFaceSize);
}

bool HeightTooLarge(int32_t height, const host::GlyphSource& source) {
  return height == INT32_MIN || std::abs(height) > source.MaxHeight();
}

void CopyFaceName(host::LOGFONTA* logFont, const char* faceName) {
  std::memset(logFont->lfFaceName, 0, sizeof logFont->lfFaceName);
  std::memcpy(logFont->lfFaceName, faceName, std::strlen(faceName));
}

int32_t Clamp32(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

uint32_t PackedColor(TextColor c) {
  return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}

void AddDecoration(const Decoration& d, int64_t* width, int64_t* height, int32_t* offsetX,
                   int32_t* offsetY) {
  *offsetX = *offsetY = 0;
  if (d.style == kTextShadow) {
    *width += std::abs(int64_t(d.shadowX));
    *height += std::abs(int64_t(d.shadowY));
    *offsetX = std::min(d.shadowX, 0);
    *offsetY = std::min(d.shadowY, 0);
  } else if (d.style == kTextEdge) {
    *width += 2 * int64_t(d.edgeWidth);
    *height += 2 * int64_t(d.edgeWidth);
    *offsetX = *offsetY = -d.edgeWidth;
  }
}

}  // namespace bw
