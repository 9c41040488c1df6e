#include "graphics/surface/rotated_bounds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/global.h"
#include "platform/trig_tables.h"

namespace bw {

bool ComputeRotatedBounds(RotatedCorners* corners, int32_t x, int32_t y, int angle, double scale,
                          int32_t width, int32_t height, double anchorX, double anchorY,
                          const RotatedBox& box) {
  TrigTables* trig = Global<TrigTables>::Get();
  if (!corners || !trig || !trig->EnsureCosineDoubles()) return false;
  if (!(scale > 0) || !std::isfinite(scale)) return false;
  if ((angle & 511) == 0 && x == 0 && y == 0 && scale == 1.0) return false;
  const double* cosine = trig->CosineDoubles();
  const int k = NegatedTurn(angle);
  const double c = cosine[k];
  const double s = cosine[(k - 128) & 511];
  const double w = width * scale, h = height * scale;
  const double ax = anchorX * scale, ay = anchorY * scale;
  const double px[4] = {0, w, 0, w}, py[4] = {0, 0, h, h};
  double tx[4], ty[4];
  for (int i = 0; i < 4; ++i) {
    const double dx = px[i] - ax, dy = py[i] - ay;
    tx[i] = c * dx - s * dy + ax;
    ty[i] = s * dx + c * dy + ay;
  }
  const double minX = *std::min_element(tx, tx + 4), maxX = *std::max_element(tx, tx + 4);
  const double minY = *std::min_element(ty, ty + 4), maxY = *std::max_element(ty, ty + 4);
  const double boxLeft = std::trunc(anchorX - ax + minX + 0.5) + x;
  const double boxTop = std::trunc(anchorY - ay + minY + 0.5) + y;
  // A value outside 32 bits (or not a number) would be undefined when converted.
  auto fits = [](double v) { return v >= double(INT32_MIN) && v <= double(INT32_MAX); };
  if (!fits(maxX - minX) || !fits(maxY - minY) || !fits(boxLeft) || !fits(boxTop)) return false;
  const int32_t left = int32_t(boxLeft), top = int32_t(boxTop);
  if (box.width) *box.width = int32_t(std::trunc(maxX - minX));
  if (box.height) *box.height = int32_t(std::trunc(maxY - minY));
  if (box.x) *box.x = left;
  if (box.y) *box.y = top;
  for (int i = 0; i < 4; ++i) {
    corners->point[i].x = tx[i] - (minX + 0.5) + (box.x ? 0 : left);
    corners->point[i].y = ty[i] - (minY + 0.5) + (box.y ? 0 : top);
  }
  return true;
}

}  // namespace bw
