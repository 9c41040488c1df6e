#include "effects/filter_effect.h"

namespace bw {

int FilterEffect::Update(uint32_t nowMs) {
  // The layer asks IsFinished; a step the filter refuses leaves its picture as it was.
  (void)Advance(nowMs);
  return 0;
}

void FilterEffect::DrawBand(const FilterBand& band) {
  // An object that cannot draw leaves its area as it was.
  (void)Draw(RequestForBand(band));
}

FilterDrawRequest RequestForBand(const FilterBand& band) {
  const Rect& r = band.band;
  FilterDrawRequest request;
  request.areaX = r.left;
  request.areaY = r.top;
  request.width = r.right - r.left;
  request.height = r.bottom - r.top;
  request.target = band.target;
  request.targetX = r.left;
  request.targetY = r.top;
  request.oldImage = band.first;
  request.oldX = r.left;
  request.oldY = r.top;
  request.newImage = band.second;
  request.newX = r.left;
  request.newY = r.top;
  return request;
}

}  // namespace bw
